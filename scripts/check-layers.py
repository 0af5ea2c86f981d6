#!/usr/bin/python3
"""Keeps the source folders layered: a folder includes only its own headers
and those of the folders below it,

    html < search < links < ui < search/ui, links/ui < app

where search/ui and links/ui stand side by side and include neither each
other. The crawl core (html, search, links) and the headless programs (cli,
bar) include no Qt header and no desktop folder. The few includes that run
back up on purpose are listed in ALLOWED; any other one fails the check.

    check-layers.py [SOURCE_DIR]

Prints every include that runs back up, marked "allowed" or "FORBIDDEN", and
exits 1 when one is forbidden.
"""
import os
import pathlib
import re
import sys

# Folder -> rank; a file may include folders of a lower rank, and its own.
LAYERS = {
    "html": 0,
    "search": 1,
    "links": 2,
    "ui": 3,
    "search/ui": 4,
    "links/ui": 4,
    "app": 5,
}
CORE = {"html", "search", "links"}
# Programs without a window: they build on the core alone.
HEADLESS = {"cli", "bar"}
SOURCE_SUFFIXES = {".h", ".cpp"}

# (including file, included file): why the include runs back up.
ALLOWED = {
    # The link filter works on the crawl's items and counts its drops in the
    # crawl's tally.
    ("html/UrlResolution.cpp", "search/SearchItem.h"): "PrepareFetchUrl takes a SearchItem",
    ("html/UrlResolution.cpp", "search/LinkDrops.h"): "the link filter reports dropped links",
    # A page holds its main window and reaches the other pages and the status
    # bar through it.
    ("links/ui/CToolBarCtrlPage.cpp", "app/CMainWindow.h"): "a page holds its main window",
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.MULTILINE)


def folder_of(relative_path):
    """The layer folder (or headless program folder) a path lies in, or None."""
    parts = pathlib.PurePosixPath(relative_path).parts
    if len(parts) >= 3 and "/".join(parts[:2]) in LAYERS:
        return "/".join(parts[:2])
    if len(parts) >= 2 and (parts[0] in LAYERS or parts[0] in HEADLESS):
        return parts[0]
    return None


def resolve(root, including, name):
    """The repository path an include names: written from the top when its
    first folder exists there, else next to the including file."""
    first = name.split("/", 1)[0]
    if "/" in name and first not in (".", "..") and (root / first).is_dir():
        return name
    return os.path.normpath(str(pathlib.PurePosixPath(including).parent / name))


def is_allowed_step(source_folder, target_folder):
    if target_folder is None or target_folder == source_folder:
        return True
    if source_folder in HEADLESS:
        return target_folder in CORE
    if target_folder in HEADLESS:
        return False
    return LAYERS[target_folder] < LAYERS[source_folder]


def upward_includes(root):
    """Every include that breaks the layering, as (file, included) pairs;
    a Qt header in a core or headless file is named as it is written."""
    root = pathlib.Path(root)
    found = []
    for path in sorted(root.rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
            continue
        relative = path.relative_to(root).as_posix()
        source_folder = folder_of(relative)
        if source_folder is None:
            continue
        for quote, name in INCLUDE.findall(path.read_text(errors="replace")):
            if quote == "<":
                if (source_folder in CORE or source_folder in HEADLESS) and name.startswith("Q"):
                    found.append((relative, name))
                continue
            target = resolve(root, relative, name)
            if not is_allowed_step(source_folder, folder_of(target)):
                found.append((relative, target))
    return found


def check(root, allowed=None):
    """Returns (forbidden, unused allow-list entries) and prints the report."""
    allowed = ALLOWED if allowed is None else allowed
    found = upward_includes(root)
    forbidden = [pair for pair in found if pair not in allowed]
    for pair in found:
        why = allowed.get(pair)
        print(f"{pair[0]} -> {pair[1]}: " + (f"allowed ({why})" if why else "FORBIDDEN"))
    unused = sorted(set(allowed) - set(found))
    for pair in unused:
        print(f"note: {pair[0]} no longer includes {pair[1]}; drop it from ALLOWED")
    return forbidden, unused


def main(argv):
    root = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).resolve().parents[1]
    forbidden, _ = check(root)
    if forbidden:
        print(f"{len(forbidden)} include(s) run back up the layers "
              "html < search < links < ui < search/ui, links/ui < app")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
