#!/usr/bin/env bash
# Polite crawling benchmark: the documentation tree of this machine
# (/usr/share/doc, with nginx's autoindex) behind nginx's rate limiter on
# 127.0.0.1: 10 requests/s per client, burst 20, refusals answered 429 with
# "Retry-After: 1". quillex-cli crawls it from / with Max Depth 1, kept on the
# loopback server by its Include URL filter, once with its defaults and once
# with --polite; wget2 (the peer, robots.txt read, 5 threads) crawls the same
# depth. For each it prints the requests, the pages served (200), the 429
# answers, pages lost (their last answer a 429), "CONNECTION FAILED" rows
# caused by 429, robots.txt requests, the crawl's duration and its pages/s.
#
#   bench/polite/run.sh [--nodelay] [--skip-wget2]
#
# --nodelay refuses every request beyond the burst at once (limit_req ...
# nodelay) instead of holding up to 20 of them back, as CDNs tend to do.
#
# Environment: QX_CLI (a built quillex-cli; default build/cli/quillex-cli),
# BENCH_DIR (default /tmp/qx-polite-bench), PORT (default 18090), QX_LIMIT
# (seconds before a crawl is stopped; default 900).
set -euo pipefail

cd "$(dirname "$0")/../.."
ROOT=$(pwd)
NODELAY=""
RUN_WGET2=1
while [ $# -gt 0 ]; do
  case "$1" in
    --nodelay) NODELAY=" nodelay"; shift ;;
    --skip-wget2) RUN_WGET2=0; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

QX_CLI=${QX_CLI:-$ROOT/build/cli/quillex-cli}
BENCH_DIR=${BENCH_DIR:-/tmp/qx-polite-bench}
PORT=${PORT:-18090}
QX_LIMIT=${QX_LIMIT:-900}
SEARCH_ITEM=zqxjvkwnotthere
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$QX_CLI" ] || { echo "no quillex-cli at $QX_CLI (set QX_CLI)" >&2; exit 2; }

NGX="$BENCH_DIR/nginx"
rm -rf "$NGX"
mkdir -p "$NGX/tmp"
ACCESS_LOG="$NGX/access.log"
cat >"$NGX/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $NGX/nginx.pid;
error_log $NGX/error.log warn;
events { worker_connections 1024; }
http {
  include /etc/nginx/mime.types;
  default_type text/plain;
  log_format timed '\$msec \$status \$request_uri';
  access_log $ACCESS_LOG timed;
  client_body_temp_path $NGX/tmp/body;
  proxy_temp_path $NGX/tmp/proxy;
  fastcgi_temp_path $NGX/tmp/fastcgi;
  uwsgi_temp_path $NGX/tmp/uwsgi;
  scgi_temp_path $NGX/tmp/scgi;
  limit_req_zone \$binary_remote_addr zone=perclient:1m rate=10r/s;
  map \$status \$retry_after { 429 1; default ""; }
  server {
    listen 127.0.0.1:$PORT;
    root /usr/share/doc;
    autoindex on;
    limit_req zone=perclient burst=20$NODELAY;
    limit_req_status 429;
    add_header Retry-After \$retry_after always;
  }
}
CONF
"$NGINX" -p "$NGX" -c "$NGX/nginx.conf" -e "$NGX/error.log" &
NGINX_PID=$!
cleanup() {
  kill "$NGINX_PID" 2>/dev/null || true
  wait "$NGINX_PID" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do
  curl -sf -o /dev/null "http://127.0.0.1:$PORT/" && break
  sleep 0.1
done
START_URL="http://127.0.0.1:$PORT/"
# The limiter's bucket refills in 2 s; each crawl starts with it full.
settle() { sleep 3; : >"$ACCESS_LOG"; kill -USR1 "$NGINX_PID" 2>/dev/null || true; sleep 0.2; }

# report NAME OUT SECONDS : figures of the crawl whose nginx log lines are in
# $ACCESS_LOG and whose quillex-cli output (if any) is OUT.
report() {
  local name=$1 out=$2 seconds=$3
  local requests ok refused lost robots failed429 rate
  requests=$(wc -l <"$ACCESS_LOG")
  ok=$(awk '$2 == 200' "$ACCESS_LOG" | wc -l)
  refused=$(awk '$2 == 429' "$ACCESS_LOG" | wc -l)
  lost=$(awk '{ last[$3] = $2 } END { n = 0; for (u in last) if (last[u] == 429) n++; print n }' \
    "$ACCESS_LOG")
  robots=$(awk '$3 == "/robots.txt"' "$ACCESS_LOG" | wc -l)
  failed429="-"
  if [ -n "$out" ]; then
    failed429=$(awk -F'\t' '$1 == "scan" && $4 == "CONNECTION FAILED" && $5 == "HTTP 429"' "$out" | wc -l)
  fi
  rate=$(awk -v n="$ok" -v s="$seconds" 'BEGIN { printf "%.2f", (s > 0 ? n / s : 0) }')
  printf '%-16s %8s %8s %8s %8s %10s %8s %8ss %9s\n' "$name" "$requests" "$ok" "$refused" "$lost" \
    "$failed429" "$robots" "$seconds" "$rate"
}

# crawl NAME ARGS... : one quillex-cli crawl of the tree.
crawl() {
  local name=$1; shift
  settle
  local began ended
  began=$(date +%s.%N)
  timeout -s INT "$QX_LIMIT" "$QX_CLI" --search "$SEARCH_ITEM" --max-depth 1 \
    --include "127.0.0.1:$PORT" --include-url "$@" "$START_URL" \
    >"$BENCH_DIR/$name.out" 2>"$BENCH_DIR/$name.err" || true
  ended=$(date +%s.%N)
  cp "$ACCESS_LOG" "$BENCH_DIR/$name.access.log"
  report "$name" "$BENCH_DIR/$name.out" "$(awk -v a="$began" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')"
}

echo "nginx: limit_req 10 r/s, burst 20${NODELAY:+, nodelay}, 429 with Retry-After: 1; root /usr/share/doc"
printf '%-16s %8s %8s %8s %8s %10s %8s %9s %9s\n' crawl requests 200 429 lost "failed429" robots time "pages/s"
crawl quillex-default
grep -h "slow down" "$BENCH_DIR/quillex-default.err" | head -1 | sed 's/^/  hint: /' || true
crawl quillex-polite --polite

if [ "$RUN_WGET2" = 1 ]; then
  settle
  WGET_DIR=$(mktemp -d /tmp/qx-polite-wget2.XXXXXX)
  began=$(date +%s.%N)
  # Max Depth 1 fetches the start page, its links and their links: depth 2.
  timeout -s INT "$QX_LIMIT" wget2 -q -r -l 2 --max-threads=5 --delete-after \
    --no-parent -P "$WGET_DIR" "$START_URL" || true
  ended=$(date +%s.%N)
  rm -rf "$WGET_DIR"
  cp "$ACCESS_LOG" "$BENCH_DIR/wget2.access.log"
  report wget2 "" "$(awk -v a="$began" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')"
fi
