#!/usr/bin/env bash
# Records FOLDER as the program folder ([Main] Path) in the per-user settings
# file, unless a Path is already set there. The folder holds engines.qeg and
# the help file. Other settings in the file are kept; the file is replaced in
# one step so that a failure leaves it as it was.
#
# Every program finds the program folder in this order (links/ProgramFolder.h,
# docs/internals/program-folder.md), and this script only ever fills step 1:
#   1. [Main] Path of $XDG_CONFIG_HOME/Quillex/Quillex.ini (else
#      ~/.config/...), when set and not empty;
#   2. share/quillex beside the running program, when it holds engines.qeg or
#      qxhlp.html;
#   3. the running program's own folder, when it holds one of them;
#   4. none: the current directory.
# "Set" is judged as QSettings reads the file: the last Path of [Main] counts,
# quotes group, an unquoted ';' starts a comment.
#
#   scripts/set-program-folder.sh FOLDER
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
folder=$1
case "$folder" in
  *'"'* | *'\'* | *$'\n'* | *$'\r'*)
    echo "set-program-folder: a folder name with quotes, backslashes or line breaks is not recorded: $folder" >&2
    exit 1 ;;
esac

config_home=${XDG_CONFIG_HOME:-}
if [ -z "$config_home" ]; then
  if [ -z "${HOME:-}" ]; then
    echo "set-program-folder: neither XDG_CONFIG_HOME nor HOME is set" >&2
    exit 1
  fi
  config_home="$HOME/.config"
fi
settings="$config_home/Quillex/Quillex.ini"
mkdir -p "$(dirname "$settings")"
[ -f "$settings" ] || : >"$settings"

# A Path already in [Main] wins: the user (or an earlier install) chose it.
if awk '
  /^[ \t]*\[/ {
    line = $0; gsub(/[ \t\r]/, "", line); sub(/\].*/, "]", line); main = (line == "[Main]"); next
  }
  main && /^[ \t]*Path[ \t]*=/ {
    value = $0; sub(/^[^=]*=[ \t]*/, "", value); sub(/\r$/, "", value)
    if (value ~ /^"/) { sub(/^"/, "", value); sub(/".*/, "", value) }
    else { sub(/;.*/, "", value); sub(/[ \t]+$/, "", value) }
    if (value == "@Invalid()") value = ""
    last = value
  }
  END { exit last != "" ? 0 : 1 }' "$settings"; then
  echo "Program folder already set in $settings"
  exit 0
fi

# QSettings reads a text starting with '@' from a doubled '@'.
value=$folder
case "$value" in
  @*) value="@$value" ;;
esac

tmp=$(mktemp "$settings.XXXXXX")
trap 'rm -f "$tmp"' EXIT
# Into the first [Main] section, dropping an empty Path there; or a new
# section at the end.
awk -v path="$value" '
  /^[ \t]*\[/ {
    line = $0; gsub(/[ \t\r]/, "", line); sub(/\].*/, "]", line)
    inMain = (line == "[Main]")
    print
    if (inMain && !done) { print "Path=\"" path "\""; done = 1 }
    next
  }
  inMain && /^[ \t]*Path[ \t]*=/ { next }
  { print }
  END {
    if (!done) {
      if (NR > 0) print ""
      print "[Main]"
      print "Path=\"" path "\""
    }
  }' "$settings" >"$tmp"
chmod --reference="$settings" "$tmp" 2>/dev/null || true
mv "$tmp" "$settings"
trap - EXIT
echo "Program folder $folder recorded in $settings"
