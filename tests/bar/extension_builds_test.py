#!/usr/bin/python3
"""The two builds of the search bar extension: each manifest has what its
browser needs and nothing of the other browser's, both agree with the IDs
that the host allows (bar/host/BarIdentity.h) and with each other, and each
zip holds exactly its unpacked folder.

    extension_builds_test.py BUILD_BAR_DIR BAR_IDENTITY_H
"""
import base64
import hashlib
import json
import pathlib
import re
import sys
import zipfile

# Per browser: manifest paths that must be there, and paths that must not.
EXPECTED = {
    "chromium": {
        "has": [("background", "service_worker"), ("key",)],
        "lacks": [("background", "scripts"), ("browser_specific_settings",)],
    },
    "firefox": {
        "has": [("background", "scripts"), ("browser_specific_settings", "gecko", "id")],
        "lacks": [("background", "service_worker"), ("key",)],
    },
}


def lookup(manifest, path):
    value = manifest
    for name in path:
        if not isinstance(value, dict) or name not in value:
            return None
        value = value[name]
    return value


def chromium_id(key):
    digest = hashlib.sha256(base64.b64decode(key)).hexdigest()[:32]
    return digest.translate(str.maketrans("0123456789abcdef", "abcdefghijklmnop"))


def identity(header, name):
    match = re.search(name + r'\s*=\s*"([^"]+)"', header)
    return match.group(1) if match else None


def unpacked_files(folder):
    return {p.relative_to(folder).as_posix(): p.read_bytes()
            for p in folder.rglob("*") if p.is_file()}


def check_build(bar, browser, failures):
    folder = bar / f"extension-{browser}"
    manifest = json.loads((folder / "manifest.json").read_text())
    for path in EXPECTED[browser]["has"]:
        if lookup(manifest, path) is None:
            failures.append(f"{browser}: manifest lacks {'.'.join(path)}")
    for path in EXPECTED[browser]["lacks"]:
        if lookup(manifest, path) is not None:
            failures.append(f"{browser}: manifest has the other browser's {'.'.join(path)}")
    files = unpacked_files(folder)
    with zipfile.ZipFile(bar / f"quillex-search-bar-{browser}.zip") as archive:
        zipped = {name: archive.read(name) for name in archive.namelist()}
    if zipped != files:
        failures.append(f"{browser}: the zip differs from the unpacked folder: "
                        f"{sorted(set(zipped) ^ set(files))}")
    return manifest, files


def main():
    bar = pathlib.Path(sys.argv[1])
    header = pathlib.Path(sys.argv[2]).read_text()
    failures = []
    chromium, chromium_files = check_build(bar, "chromium", failures)
    firefox, firefox_files = check_build(bar, "firefox", failures)

    key = chromium.get("key")
    if key and chromium_id(key) != identity(header, "kChromiumId"):
        failures.append(f"chromium: the key gives ID {chromium_id(key)}, not the host's")
    gecko = lookup(firefox, ("browser_specific_settings", "gecko", "id"))
    if gecko != identity(header, "kFirefoxId"):
        failures.append(f"firefox: gecko ID {gecko} is not the host's")

    # Apart from the browsers' own parts, one extension.
    def shared(manifest):
        return {k: v for k, v in manifest.items()
                if k not in ("background", "key", "browser_specific_settings")}
    if shared(chromium) != shared(firefox):
        failures.append("the two manifests differ beyond the browsers' own parts")
    chromium_files.pop("manifest.json")
    firefox_files.pop("manifest.json")
    if chromium_files != firefox_files:
        failures.append("the two builds hold different files")

    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print("extension builds test passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
