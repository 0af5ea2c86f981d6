#!/usr/bin/env bash
# Crawl benchmark: quillex-cli against wget2 and httrack on a generated static
# site served by nginx on 127.0.0.1. Prints pages fetched, pages/s, CPU seconds
# per 1,000 pages and peak RSS for each, and the ratios to quillex-cli. For
# quillex-cli and the desktop program it also prints the design ceiling of
# the crawl it just ran and the share of it reached (see ceiling() below).
#
#   bench/crawl/run.sh [--pages N] [--skip-httrack] [--skip-wget2] [--skip-1000] [--desktop]
#                      [--offscreen]
#
# --desktop also crawls through the desktop program's search page
# (bench/ui/desktop_crawl_bench, under Xvfb when xvfb-run is there) with the
# same settings as quillex-cli, at 64 connections and (unless --skip-1000)
# at 1,000. --offscreen runs them without a display server instead: under
# Xvfb, Qt's X11 platform also loads the machine's OpenGL (with Mesa's
# software renderer, about 60 MB of LLVM), which the peak RSS then includes.
#
# Environment: QX_CLI (a built quillex-cli; default: build it in build-bench),
# QX_LIMIT / HTTRACK_LIMIT (seconds before a crawl is stopped; 300 / 120),
# BENCH_DIR (work folder; default /tmp/qx-crawl-bench), PORT (default 18080).
set -euo pipefail

cd "$(dirname "$0")/../.."
ROOT=$(pwd)
PAGES=20000
RUN_HTTRACK=1
RUN_1000=1
RUN_DESKTOP=0
RUN_WGET2=1
OFFSCREEN=0
while [ $# -gt 0 ]; do
  case "$1" in
    --pages) PAGES=$2; shift 2 ;;
    --skip-httrack) RUN_HTTRACK=0; shift ;;
    --skip-1000) RUN_1000=0; shift ;;
    --desktop) RUN_DESKTOP=1; shift ;;
    --skip-wget2) RUN_WGET2=0; shift ;;
    --offscreen) OFFSCREEN=1; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

BENCH_DIR=${BENCH_DIR:-/tmp/qx-crawl-bench}
PORT=${PORT:-18080}
SEARCH_ITEM=zqxjvkwnotthere
LINKS=20     # links on every generated page
REVS=10      # engine round period (ms) of the crawls
mkdir -p "$BENCH_DIR"

# --- tools -----------------------------------------------------------------
scripts/install-deps.sh --bench
if [ ! -x /usr/bin/time ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get install -y -qq time >/dev/null
fi
NGINX=$(command -v nginx || echo /usr/sbin/nginx)

if [ -z "${QX_CLI:-}" ]; then
  cmake -S "$ROOT" -B "$ROOT/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DQX_BUILD_GUI=OFF >/dev/null
  cmake --build "$ROOT/build-bench" --parallel 2 --target quillex-cli >/dev/null
  QX_CLI="$ROOT/build-bench/cli/quillex-cli"
fi

# --- the site ----------------------------------------------------------------
SITE="$BENCH_DIR/site-$PAGES"
if [ ! -f "$SITE/.complete" ]; then
  echo "Generating $PAGES pages in $SITE ..."
  rm -rf "$SITE"
  python3 bench/crawl/gen_site.py "$SITE" --pages "$PAGES" --links "$LINKS"
  touch "$SITE/.complete"
fi

# --- nginx -------------------------------------------------------------------
NGX="$BENCH_DIR/nginx"
rm -rf "$NGX"
mkdir -p "$NGX/tmp"
ACCESS_LOG="$NGX/access.log"
cat >"$NGX/nginx.conf" <<EOF
daemon off;
worker_processes 2;
pid $NGX/nginx.pid;
error_log $NGX/error.log warn;
events { worker_connections 8192; }
http {
  include /etc/nginx/mime.types;
  default_type text/html;
  log_format timed '\$msec \$status';
  access_log $ACCESS_LOG timed;
  sendfile on;
  keepalive_requests 100000;
  client_body_temp_path $NGX/tmp/body;
  proxy_temp_path $NGX/tmp/proxy;
  fastcgi_temp_path $NGX/tmp/fastcgi;
  uwsgi_temp_path $NGX/tmp/uwsgi;
  scgi_temp_path $NGX/tmp/scgi;
  server {
    listen 127.0.0.1:$PORT backlog=4096;
    root $SITE;
    index index.html;
  }
}
EOF
"$NGINX" -p "$NGX" -c "$NGX/nginx.conf" -e "$NGX/error.log" &
NGINX_PID=$!
cleanup() {
  kill "$NGINX_PID" 2>/dev/null || true
  wait "$NGINX_PID" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://127.0.0.1:$PORT/index.html" && break
  sleep 0.1
done
START_URL="http://127.0.0.1:$PORT/index.html"

# --- measuring ---------------------------------------------------------------
declare -A RATE SPAN_RATE CPU RSS FETCHED

# run NAME COMMAND... : runs the command under /usr/bin/time -v and records
# pages fetched (requests in nginx's access log), pages/s over the whole run,
# pages/s over the fetching span (first to last request: a search ends seven
# engine rounds after its queue has been emptied, which takes two passes of
# at most 1,000 entries per round over every queued link), CPU s per 1,000
# pages and peak RSS. It also prints the processor time the virtual
# machine's host took from this machine meanwhile ("steal" in /proc/stat):
# runs that wait on thread hand-overs, like the desktop program's at 1,000
# connections, slow down far more than the stolen time itself.
# Writes the time and the processors' total line of /proc/stat ten times a
# second until killed: a read and a sleep, so that it takes next to nothing
# from the crawl it watches.
sample_processors() {
  local line
  while read -r line </proc/stat; do
    echo "$EPOCHREALTIME $line"
    sleep 0.1
  done
}
# steal_during SAMPLES : the processor seconds the host took between the
# first and the last sample.
steal_during() {
  awk -v hz="$(getconf CLK_TCK)" 'NR == 1 { first = $10 } { last = $10 }
    END { printf "%.2f", (NR > 1 ? (last - first) / hz : 0) }' "$1"
}
# busy_while FROM TO SAMPLES : the share of processor time neither idle nor
# taken by the host between two epoch times, from the samples nearest inside.
busy_while() {
  awk -v from="$1" -v to="$2" '
    $1 >= from && first == "" { first = $0 }
    $1 <= to { last = $0 }
    function busy_and_total(line, parts,   i, total) {
      split(line, parts, " ")
      total = 0
      for (i = 3; i <= 10; i++) total += parts[i]
      parts["idle"] = parts[6] + parts[7] + parts[10]
      return total
    }
    END {
      if (first == "" || last == "" || first == last) { print "n/a"; exit }
      t1 = busy_and_total(first, a); t2 = busy_and_total(last, b)
      if (t2 <= t1) { print "n/a"; exit }
      printf "%.0f%%", 100 * (1 - (b["idle"] - a["idle"]) / (t2 - t1))
    }' "$3"
}
run() {
  local name=$1; shift
  local timing="$BENCH_DIR/$name.time"
  : >"$ACCESS_LOG"
  kill -USR1 "$NGINX_PID"  # reopen the log
  sleep 0.2
  echo "--- $name: $*" >&2
  local sampler
  sample_processors >"$BENCH_DIR/$name.cpu" &
  sampler=$!
  /usr/bin/time -v -o "$timing" "$@" >"$BENCH_DIR/$name.out" 2>"$BENCH_DIR/$name.err" || true
  kill "$sampler" 2>/dev/null; wait "$sampler" 2>/dev/null || true
  sleep 0.3
  local pages elapsed user sys rss
  pages=$(grep -c ' 200$' "$ACCESS_LOG" || true)
  local span first_request last_request
  read -r first_request last_request < <(awk '$2 == 200 {
      if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1 }
    END { printf "%.3f %.3f\n", min, max }' "$ACCESS_LOG")
  span=$(awk -v a="$first_request" -v b="$last_request" 'BEGIN { printf "%.3f", b - a }')
  elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$timing" |
    awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
  user=$(awk -F': ' '/User time/ {print $2}' "$timing")
  sys=$(awk -F': ' '/System time/ {print $2}' "$timing")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$timing")
  FETCHED[$name]=$pages
  RATE[$name]=$(awk -v p="$pages" -v t="$elapsed" 'BEGIN { printf "%.0f", (t > 0 ? p / t : 0) }')
  SPAN_RATE[$name]=$(awk -v p="$pages" -v t="$span" 'BEGIN { printf "%.0f", (t > 0 ? p / t : 0) }')
  CPU[$name]=$(awk -v p="$pages" -v u="$user" -v s="$sys" \
    'BEGIN { printf "%.3f", (p > 0 ? (u + s) * 1000 / p : 0) }')
  RSS[$name]=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
  printf '%-16s pages %6d  %7.2f s  %6d pages/s  %7.3f CPU s/1000 pages  %7.1f MB peak RSS\n' \
    "$name" "$pages" "$elapsed" "${RATE[$name]}" "${CPU[$name]}" "${RSS[$name]}"
  # What follows the last request is mostly the engine clearing the entries
  # still queued (duplicates and done pages) at its pace of rounds.
  printf '%-16s fetching span %7.2f s  %6d pages/s; %.2f s more to the end\n' "" "$span" \
    "${SPAN_RATE[$name]}" "$(awk -v e="$elapsed" -v s="$span" 'BEGIN { printf "%.2f", e - s }')"
  printf '%-16s processor time taken by the host (steal): %s s\n' "" \
    "$(steal_during "$BENCH_DIR/$name.cpu")"
  # Near 100% the fetching is bound by the processors (the crawler's and the
  # server's together); well below it, by waits between threads.
  printf '%-16s processors busy while fetching: %s of %d\n' "" \
    "$(busy_while "$first_request" "$last_request" "$BENCH_DIR/$name.cpu")" "$(nproc)"
}

# ceiling NAME CONNECTIONS : the pages/s the engine's pacing allows for the
# crawl NAME just made, and the share of it reached. Every fetched page of the
# site queued LINKS entries, so the crawl created 1 + LINKS x pages entries.
# Each entry needs one examination that counts against the round's allowance
# (started, or marked done as a duplicate), and one more when it is removed
# after it is done. Below 1,000 connections a round counts at most
# CONNECTIONS examinations and removals past that allowance are free; at
# 1,000 and more a round examines at most 1,000 entries, removals included.
ceiling() {
  local name=$1 cap=$2
  local pages=${FETCHED[$name]}
  awk -v p="$pages" -v l="$LINKS" -v cap="$cap" -v revs="$REVS" \
    -v rate="${RATE[$name]}" -v span="${SPAN_RATE[$name]}" -v name="$name" 'BEGIN {
      entries = 1 + l * p
      per_round = cap < 1000 ? cap : 1000
      needed = cap < 1000 ? entries : 2 * entries
      allowed = per_round * 1000 / revs
      ceil = (needed > 0 ? p * allowed / needed : 0)
      printf "%-16s %d queue entries, %d examinations needed, %d allowed per s:\n", "", entries, needed, allowed
      printf "%-16s design ceiling %6.0f pages/s, share %5.1f%% (%5.1f%% over the fetching span)\n", "",
        ceil, (ceil > 0 ? 100 * rate / ceil : 0), (ceil > 0 ? 100 * span / ceil : 0)
    }'
}

# counted_ceiling NAME CONNECTIONS : the same from the examinations the engine
# reports it counted (--engine-stats). Below 1,000 connections a removal also
# counts when the round's allowance is not yet used up, which the estimate
# above leaves out, so this is the ceiling the rule really sets for the crawl.
counted_ceiling() {
  local name=$1 cap=$2 stats
  stats=$(grep -o 'Engine: [0-9]* rounds, [0-9]* examinations' "$BENCH_DIR/$name.err" || true)
  [ -n "$stats" ] || return 0
  echo "$stats" | awk -v p="${FETCHED[$name]}" -v cap="$cap" -v revs="$REVS" \
    -v rate="${RATE[$name]}" '{
      rounds = $2; counted = $4
      allowed = (cap < 1000 ? cap : 1000) * 1000 / revs
      ceil = (counted > 0 ? p * allowed / counted : 0)
      printf "%-16s engine: %d rounds, %d examinations counted: ceiling %6.0f pages/s, share %5.1f%%\n", "",
        rounds, counted, ceil, (ceil > 0 ? 100 * rate / ceil : 0)
    }'
}

ratio() {  # ratio A B : A's pages/s over B's, whole run (over the fetching span)
  awk -v a="${RATE[$1]}" -v b="${RATE[$2]}" -v sa="${SPAN_RATE[$1]}" -v sb="${SPAN_RATE[$2]}" \
    'BEGIN { printf "%.2f (%.2f)", (b > 0 ? a / b : 0), (sb > 0 ? sa / sb : 0) }'
}

echo "Site: $PAGES pages at $START_URL"
# A crawl that does not finish by itself is stopped like Ctrl-C after
# QX_LIMIT seconds; its rate is measured over that time.
QX_LIMIT=${QX_LIMIT:-300}
run quillex-64 timeout -s INT "$QX_LIMIT" "$QX_CLI" --search "$SEARCH_ITEM" --engine-timing "$REVS,1" --max-connections 64 \
  --engine-stats "$START_URL"
ceiling quillex-64 64
counted_ceiling quillex-64 64
QX_ROWS=$(grep -c '^scan' "$BENCH_DIR/quillex-64.out" || true)
DISTINCT=$(awk -F'\t' '$1 == "scan" { print $3 }' "$BENCH_DIR/quillex-64.out" | sort -u | wc -l)
echo "                 (quillex-cli listed $QX_ROWS scanned pages, $DISTINCT distinct URLs)"

if [ "$RUN_DESKTOP" = 1 ]; then
  QX_DESKTOP=${QX_DESKTOP:-$ROOT/build/bench/ui/desktop_crawl_bench}
  if [ ! -x "$QX_DESKTOP" ]; then
    scripts/build.sh >/dev/null
  fi
  if [ "$OFFSCREEN" -eq 0 ] && command -v xvfb-run >/dev/null; then
    DISPLAY_RUN=(xvfb-run -a)
  else
    DISPLAY_RUN=(env QT_QPA_PLATFORM=offscreen)
  fi
  run desktop-64 "${DISPLAY_RUN[@]}" "$QX_DESKTOP" "$START_URL" "$SEARCH_ITEM" 64 "$REVS,1" "$QX_LIMIT"
  ceiling desktop-64 64
fi

if [ "$RUN_WGET2" = 1 ]; then
  WGET_DIR=$(mktemp -d /tmp/qx-wget2.XXXXXX)
  run wget2-64 wget2 -q -r -l 0 --max-threads=64 --robots=off --delete-after \
    --no-host-directories -P "$WGET_DIR" "$START_URL"
  rm -rf "$WGET_DIR"
fi

if [ "$RUN_HTTRACK" = 1 ]; then
  HT_DIR=$(mktemp -d /tmp/qx-httrack.XXXXXX)
  # httrack waits for each link's type in turn and crawls at a few pages per
  # second here, so it gets a time limit; its rate is measured over that time.
  run httrack-64 timeout -s INT "${HTTRACK_LIMIT:-120}" httrack "$START_URL" -O "$HT_DIR" \
    -c64 -%c1000 -%! -%N0 -r9999 -s0 -q -Q -I0
  rm -rf "$HT_DIR"
fi

if [ "$RUN_1000" = 1 ]; then
  run quillex-1000 timeout -s INT "$QX_LIMIT" "$QX_CLI" --search "$SEARCH_ITEM" --engine-timing "$REVS,1" \
    --max-connections 1000 --engine-stats "$START_URL"
  ceiling quillex-1000 1000
  counted_ceiling quillex-1000 1000
  if [ "$RUN_DESKTOP" = 1 ]; then
    run desktop-1000 "${DISPLAY_RUN[@]}" "$QX_DESKTOP" "$START_URL" "$SEARCH_ITEM" 1000 "$REVS,1" \
      "$QX_LIMIT"
    ceiling desktop-1000 1000
  fi
  if [ "$RUN_WGET2" = 1 ]; then
    WGET_DIR=$(mktemp -d /tmp/qx-wget2.XXXXXX)
    run wget2-1000 wget2 -q -r -l 0 --max-threads=1000 --robots=off --delete-after \
      --no-host-directories -P "$WGET_DIR" "$START_URL"
    rm -rf "$WGET_DIR"
  fi
fi

echo
echo "Ratios (pages/s of the other tool / pages/s of quillex-cli; whole run (fetching span)):"
[ "$RUN_WGET2" = 1 ] && echo "  wget2   at 64: $(ratio wget2-64 quillex-64)"
[ "$RUN_HTTRACK" = 1 ] && echo "  httrack at 64: $(ratio httrack-64 quillex-64)"
[ "$RUN_DESKTOP" = 1 ] && echo "  desktop at 64: $(ratio desktop-64 quillex-64)"
if [ "$RUN_1000" = 1 ]; then
  [ "$RUN_WGET2" = 1 ] &&
    echo "  wget2 at 1000 threads / quillex-cli at 1000 connections: $(ratio wget2-1000 quillex-1000)"
  [ "$RUN_DESKTOP" = 1 ] &&
    echo "  desktop at 1000: $(ratio desktop-1000 quillex-1000)"
fi
echo
echo "Targets: quillex-cli >= 95% of the design ceiling at 64 connections and >= 85% at 1000,"
echo "         <= 0.15 CPU s per 1000 pages and <= 100 MB peak RSS; the desktop program"
echo "         >= 0.95 of quillex-cli's pages/s at 64 and >= 0.90 at 1000, <= 0.3 CPU s per"
echo "         1000 pages and <= 200 MB peak RSS."
