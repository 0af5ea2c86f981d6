#!/usr/bin/env bash
# The Debian package's round trip: builds it from the build folder (build/,
# or BUILD_DIR), installs it with dpkg, runs the installed programs with no
# [Main] Path set (so they must find /usr/share/quillex themselves), removes
# it with dpkg -r and checks that nothing of its file list is left. Needs
# root or sudo; it installs and removes the package quillex on this machine.
#
#   tests/package/run.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
server=""
installed=0
# Installed files that the test puts a stand-in in place of for a while.
replaced=(/usr/share/quillex/engines.qeg /usr/bin/quillex)
restore() {
  for file in "${replaced[@]}"; do
    local kept="$work/kept.$(basename "$file")"
    [ -e "$kept" ] || continue
    $SUDO cp -p "$kept" "$file" && rm -f "$kept"
  done
}
replace() {  # installed-file stand-in
  cp -p "$1" "$work/kept.$(basename "$1")"
  $SUDO cp "$2" "$1"
}
cleanup() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  restore
  # A failed run does not leave the package on the machine.
  [ "$installed" -eq 0 ] || $SUDO dpkg -P quillex >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# Packaging writes nothing into the settings or browser folders of the user
# who builds the package.
mkdir -p "$work/builder"
deb=$(HOME="$work/builder" XDG_CONFIG_HOME="$work/builder/config" scripts/package.sh | tail -n 1)
version=$(dpkg-deb -f "$deb" Version)
echo "package: $deb"
for written in config/Quillex config/chromium config/google-chrome .mozilla; do
  [ ! -e "$work/builder/$written" ] || fail "packaging wrote into the builder's $written"
done

# The package's file list, and which of its folders are there before it.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/contents"
while read -r path; do
  [ -d "$path" ] && echo "$path"
done <"$work/contents" >"$work/folders-before" || true

installed=1
$SUDO dpkg -i "$deb" >/dev/null 2>&1 ||
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -f -y -qq >/dev/null
[ "$(dpkg-query -W -f='${Status} ${Version}' quillex)" = "install ok installed $version" ] ||
  fail "the package is not installed"

# A user with no settings: no Path, no browser folders of their own.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"

[ "$(quillex-cli --version)" = "quillex-cli ${version}" ] ||
  fail "quillex-cli --version says $(quillex-cli --version)"
for page in quillex quillex-cli qxbar-host; do
  [ -s "/usr/share/man/man1/$page.1.gz" ] || fail "no man page for $page"
done
# The browsers find the host without --register.
for manifest in /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts \
    /usr/lib/mozilla/native-messaging-hosts; do
  grep -qF '"path": "/usr/lib/quillex/qxbar-host"' "$manifest/quillex.qxbar.json" ||
    fail "no host manifest in $manifest"
done

# A loopback site.
mkdir -p "$work/site/se"
printf '<html><title>Cats</title><body>black cats <a href="b.html">more</a></body></html>' \
  >"$work/site/index.html"
printf '<html><title>B</title><body>white cats</body></html>' >"$work/site/b.html"
printf '<html><title>Engine</title><body>cats found</body></html>' >"$work/site/se/cats"
/usr/bin/python3 - "$work/site" "$work/port" "$work/requests" 2>/dev/null <<'PY' &
import functools, http.server, os, sys
class Logged(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        with open(sys.argv[3], "a") as log:
            log.write(self.path + "\n")
handler = functools.partial(Logged, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
with open(sys.argv[2] + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(sys.argv[2] + ".tmp", sys.argv[2])
server.serve_forever()
PY
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
site="127.0.0.1:$(cat "$work/port")"

# A crawl with the installed quillex-cli, kept on the loopback site.
quillex-cli --search cats --include "$site" --include-url --max-depth 1 --engine-timing 10,1 \
  "http://$site/index.html" >"$work/crawl" 2>"$work/crawl.err" || fail "crawl: $(cat "$work/crawl.err")"
grep -qF "match	B	http://$site/b.html	" "$work/crawl" || fail "crawl found no match on b.html: $(cat "$work/crawl")"

# The command-line search reads the installed engines file: here a loopback
# engine put in place of the shipped ones.
printf 'http://%s/se/|search -1 -1\r\n' "$site" >"$work/engines.qeg"
replace /usr/share/quillex/engines.qeg "$work/engines.qeg"
quillex-cli --command-line "cats $site" --include-url --engine-timing 10,1 >/dev/null 2>"$work/se.err" ||
  fail "command-line search: $(cat "$work/se.err")"
grep -q '^/se/cats+' "$work/requests" || fail "the installed engines file was not used"

# The installed host, started as Chromium starts it, launches the program
# that the installed program folder names: a stand-in in its place.
printf '#!/bin/sh\nprintf "%%s|" "$@" > "%s"\n' "$work/started" >"$work/stand-in"
chmod 755 "$work/stand-in"
replace /usr/bin/quillex "$work/stand-in"
/usr/bin/python3 -c 'import struct, sys
body = b"{\"type\":\"launch\",\"words\":\" red  cars \"}"
sys.stdout.buffer.write(struct.pack("=I", len(body)) + body)' |
  /usr/lib/quillex/qxbar-host chrome-extension://dffpecacjnjdpnkfmpildbalhjpaohkc/ >"$work/reply"
for _ in $(seq 100); do [ -s "$work/started" ] && break; sleep 0.1; done
[ "$(cat "$work/started" 2>/dev/null)" = "red  cars|" ] || fail "the host did not start the program"
# Back to the package's own files before it goes.
restore
$SUDO dpkg --verify quillex || fail "the package's files changed"

$SUDO dpkg -r quillex >/dev/null
left=()
while read -r path; do
  [ -e "$path" ] || [ -L "$path" ] || continue
  # Folders that were there before (/usr, /etc, ...) stay.
  [ -d "$path" ] && grep -qxF "$path" "$work/folders-before" && continue
  left+=("$path")
done <"$work/contents"
[ ${#left[@]} -eq 0 ] || fail "left behind after dpkg -r: ${left[*]}"
status=$(dpkg-query -W -f='${Status}' quillex 2>/dev/null || true)
case "$status" in
  "" | *not-installed) ;;
  *) fail "after dpkg -r the package is \"$status\"" ;;
esac
installed=0
echo "package round trip passed"
