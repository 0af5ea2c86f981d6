#!/usr/bin/python3
"""The layering check on small made-up source trees: each case writes one
including file (and the file it includes) and says whether the include must
be reported as running back up.

    check_layers_test.py CHECK_LAYERS_PY
"""
import contextlib
import importlib.util
import io
import pathlib
import sys
import tempfile

# (including file, its include line, included file to create, forbidden?)
CASES = [
    ("html/A.cpp", '#include "search/B.h"', "search/B.h", True),
    ("search/A.cpp", '#include "html/B.h"', "html/B.h", False),
    ("search/A.cpp", '#include "search/ui/B.h"', "search/ui/B.h", True),
    ("links/A.cpp", '#include "ui/B.h"', "ui/B.h", True),
    ("ui/A.cpp", '#include "links/B.h"', "links/B.h", False),
    ("ui/A.cpp", '#include "app/B.h"', "app/B.h", True),
    ("ui/A.cpp", '#include "links/ui/B.h"', "links/ui/B.h", True),
    ("search/ui/A.cpp", '#include "links/ui/B.h"', "links/ui/B.h", True),
    ("links/ui/A.cpp", '#include "search/ui/B.h"', "search/ui/B.h", True),
    ("links/ui/A.cpp", '#include "ui/B.h"', "ui/B.h", False),
    ("search/ui/A.cpp", '#include "B.h"', "search/ui/B.h", False),
    ("html/A.cpp", '#include "../search/B.h"', "search/B.h", True),
    ("app/A.cpp", '#  include "search/ui/B.h"', "search/ui/B.h", False),
    ("app/A.h", '#include "links/ui/B.h"', "links/ui/B.h", False),
    ("links/A.cpp", "#include <QString>", None, True),
    ("search/A.h", "#include <QObject>", None, True),
    ("search/A.cpp", "#include <queue>", None, False),
    ("ui/A.cpp", "#include <QString>", None, False),
    ("cli/A.cpp", '#include "search/B.h"', "search/B.h", False),
    ("cli/A.cpp", '#include "ui/B.h"', "ui/B.h", True),
    ("bar/host/A.cpp", '#include "app/B.h"', "app/B.h", True),
    ("app/A.cpp", '#include "cli/B.h"', "cli/B.h", True),
]


def load(script):
    found = importlib.util.spec_from_file_location("check_layers", script)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def run_check(layers, files, allowed):
    with tempfile.TemporaryDirectory() as temp:
        root = pathlib.Path(temp)
        for name, text in files.items():
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(text)
        with contextlib.redirect_stdout(io.StringIO()):
            return layers.check(root, allowed)


def main(argv):
    layers = load(argv[1])
    failures = []
    for including, line, included, expect in CASES:
        files = {including: line + "\n"}
        if included:
            files[included] = "#pragma once\n"
        forbidden, _ = run_check(layers, files, {})
        if bool(forbidden) != expect:
            failures.append(f"{including}: {line}: expected {'forbidden' if expect else 'allowed'}, "
                            f"got {forbidden}")

    # An allow-listed include passes, and an entry no longer used is named.
    files = {"html/A.cpp": '#include "search/B.h"\n', "search/B.h": ""}
    allowed = {("html/A.cpp", "search/B.h"): "why", ("html/C.cpp", "search/B.h"): "gone"}
    forbidden, unused = run_check(layers, files, allowed)
    if forbidden or unused != [("html/C.cpp", "search/B.h")]:
        failures.append(f"allow-list: forbidden {forbidden}, unused {unused}")

    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
