#!/usr/bin/python3
"""Builds the search bar extension for one browser: the files of extension/
with the manifest.json that this browser wants, unpacked into OUT_DIR and
packed into ZIP.

    make_extension.py chromium|firefox SOURCE_DIR OUT_DIR ZIP

Chromium wants a service worker and the `key` that fixes its extension ID;
Firefox wants background scripts and its gecko ID, and warns about the other
browser's properties. manifest.parts.json holds what both share and each
browser's own part.
"""
import json
import pathlib
import shutil
import sys
import zipfile

BROWSERS = ("chromium", "firefox")
PARTS = "manifest.parts.json"
# Fixed times keep the zip the same from build to build.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)


def merged(common, part):
    result = dict(common)
    for name, value in part.items():
        if isinstance(value, dict) and isinstance(result.get(name), dict):
            result[name] = merged(result[name], value)
        else:
            result[name] = value
    return result


def manifest_for(browser, parts):
    return merged(parts["common"], parts[browser])


def extension_files(source):
    return sorted(p for p in source.rglob("*") if p.is_file() and p.name != PARTS)


def build(browser, source, out_dir, zip_path):
    parts = json.loads((source / PARTS).read_text(encoding="utf-8"))
    manifest = json.dumps(manifest_for(browser, parts), indent=2) + "\n"
    if out_dir.exists():
        shutil.rmtree(out_dir)
    out_dir.mkdir(parents=True)
    entries = [("manifest.json", manifest.encode("utf-8"))]
    for path in extension_files(source):
        relative = path.relative_to(source)
        (out_dir / relative).parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(path, out_dir / relative)
        entries.append((relative.as_posix(), path.read_bytes()))
    (out_dir / "manifest.json").write_text(manifest, encoding="utf-8")
    partial = zip_path.with_name(zip_path.name + ".part")
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, data in sorted(entries):
            info = zipfile.ZipInfo(name, ZIP_TIME)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, data)
    partial.replace(zip_path)


def main(argv):
    if len(argv) != 5 or argv[1] not in BROWSERS:
        print("usage: make_extension.py chromium|firefox SOURCE_DIR OUT_DIR ZIP", file=sys.stderr)
        return 2
    build(argv[1], pathlib.Path(argv[2]), pathlib.Path(argv[3]), pathlib.Path(argv[4]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
