#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the program folder: the
# engines file, help page and icons are there and [Main] Path names it; a
# second install elsewhere keeps the recorded folder.
#
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first prefix" >/dev/null
folder="$work/first prefix/share/quillex"
for file in engines.qeg qxhlp.html quillex.png; do
  [ -s "$folder/$file" ] || fail "$file missing from the program folder"
done
settings="$XDG_CONFIG_HOME/Quillex/Quillex.ini"
grep -qxF "Path=\"$folder\"" "$settings" || fail "Path not recorded: $(cat "$settings")"

cmake --install "$build" --prefix "$work/second" >/dev/null
grep -qxF "Path=\"$folder\"" "$settings" || fail "a second install replaced the Path"

# Staging for a package touches no user settings.
rm -f "$settings"
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
[ ! -e "$settings" ] || fail "a DESTDIR install wrote the user's settings"
[ -s "$work/stage/usr/share/quillex/engines.qeg" ] || fail "staged engines file missing"
echo "install test passed"
