#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the program folder: the
# engines file, help page and icons are there and [Main] Path names it; a
# second install elsewhere keeps the recorded folder. The search bar's host
# is registered and starts the installed program through the program folder.
# What only the package installs (host manifests for every user) stays out.
#
#   tests/install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" HOME="$work/home"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first prefix" >/dev/null
folder="$work/first prefix/share/quillex"
for file in engines.qeg qxhlp.html quillex.png; do
  [ -s "$folder/$file" ] || fail "$file missing from the program folder"
done
settings="$XDG_CONFIG_HOME/Quillex/Quillex.ini"
grep -qxF "Path=\"$folder\"" "$settings" || fail "Path not recorded: $(cat "$settings")"

if [ -e "$build/bar/qxbar-host" ]; then
  host="$work/first prefix/lib/quillex/qxbar-host"
  [ -x "$host" ] || fail "the search bar's host is missing"
  for browser in chromium firefox; do
    [ -s "$folder/extension-$browser/manifest.json" ] && [ -s "$folder/quillex-search-bar-$browser.zip" ] ||
      fail "the search bar for $browser is missing from the program folder"
  done
  for manifest in "$XDG_CONFIG_HOME/chromium/NativeMessagingHosts" \
      "$XDG_CONFIG_HOME/google-chrome/NativeMessagingHosts" "$HOME/.mozilla/native-messaging-hosts"; do
    grep -qF "\"path\": \"$host\"" "$manifest/quillex.qxbar.json" || fail "host not registered in $manifest"
  done
fi
if [ -e "$work/first prefix/bin/quillex" ] && [ -e "$build/bar/qxbar-host" ]; then
  [ "$(readlink -f "$folder/quillex")" = "$(readlink -f "$work/first prefix/bin/quillex")" ] ||
    fail "the program folder does not name the program"
  # The installed host starts what Path + "/quillex" names: here a stand-in
  # put in place of the installed program.
  printf '#!/bin/sh\nprintf "%%s|" "$@" > "%s"\n' "$work/started" >"$work/first prefix/bin/quillex"
  /usr/bin/python3 -c 'import struct, sys
body = b"{\"type\":\"launch\",\"words\":\" red  cars \"}"
sys.stdout.buffer.write(struct.pack("=I", len(body)) + body)' |
    "$host" chrome-extension://dffpecacjnjdpnkfmpildbalhjpaohkc/ >/dev/null
  for _ in $(seq 100); do [ -s "$work/started" ] && break; sleep 0.1; done
  [ "$(cat "$work/started" 2>/dev/null)" = "red  cars|" ] || fail "the installed program was not started"
fi

[ ! -e "$work/first prefix/etc" ] && [ ! -e "$work/first prefix/share/doc" ] &&
  [ ! -e "$work/first prefix/lib/mozilla" ] ||
  fail "a user's install holds the package's system files"

cmake --install "$build" --prefix "$work/second" >/dev/null
grep -qxF "Path=\"$folder\"" "$settings" || fail "a second install replaced the Path"

# Staging for a package touches no user settings.
rm -rf "$settings" "$XDG_CONFIG_HOME/chromium" "$HOME/.mozilla"
DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
[ ! -e "$settings" ] || fail "a DESTDIR install wrote the user's settings"
[ ! -e "$HOME/.mozilla" ] && [ ! -e "$XDG_CONFIG_HOME/chromium" ] ||
  fail "a DESTDIR install registered the search bar"
[ -s "$work/stage/usr/share/quillex/engines.qeg" ] || fail "staged engines file missing"
echo "install test passed"
