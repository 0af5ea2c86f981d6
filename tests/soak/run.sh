#!/usr/bin/env bash
# Keep-alive soak: crawls a generated documentation site served by nginx on
# loopback (keep-alive on, gzip, autoindex, redirects, slow answers) and checks
# that the crawl ends cleanly and fetches every page exactly once.
#
#   run.sh QUILLEX_CLI [CONNECTIONS...]     (default connections: 64 300)
#   run.sh --desktop CHECK_PROGRAM
#
# --desktop crawls the site once at 64 connections through the desktop
# program's window (tests/ui/desktop_crawl_check) on a private X server under
# a window manager, and passes when that program's checks hold.
#
# Environment: SOAK_DIR     site folder to reuse (generated there if empty)
#              QX_SOAK_TIMEOUT  time limit of one crawl in seconds (120)
#              QX_SOAK_KEEP     keep the work folder with logs and outputs
set -euo pipefail

desktop=
if [[ ${1:-} == --desktop ]]; then
    desktop=${2:-}
    set -- "$desktop"
fi
if [[ $# -lt 1 ]]; then
    echo "usage: $0 QUILLEX_CLI [CONNECTIONS...] | --desktop CHECK_PROGRAM" >&2
    exit 2
fi
cli=$1
shift
if [[ ! -x $cli ]]; then
    echo "soak: $cli is not an executable file" >&2
    exit 2
fi
connections=("$@")
if [[ ${#connections[@]} -eq 0 ]]; then
    connections=(64 300)
fi
for n in "${connections[@]}"; do
    if ! [[ $n =~ ^[1-9][0-9]*$ ]]; then
        echo "soak: connection count '$n' is not a positive number" >&2
        exit 2
    fi
done
limit=${QX_SOAK_TIMEOUT:-120}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
python=/usr/bin/python3
nginx=/usr/sbin/nginx

work=$(mktemp -d "${TMPDIR:-/tmp}/qx-soak.XXXXXX")
nginx_pid=

stop_nginx() {
    [[ -n $nginx_pid ]] || return 0
    local workers
    workers=$(pgrep -P "$nginx_pid" 2>/dev/null || true)
    kill -TERM "$nginx_pid" 2>/dev/null || true
    local i
    for ((i = 0; i < 50; i++)); do
        kill -0 "$nginx_pid" 2>/dev/null || break
        sleep 0.1
    done
    # A master that did not stop in 5 s takes its workers down with it.
    if kill -0 "$nginx_pid" 2>/dev/null; then
        kill -KILL "$nginx_pid" $workers 2>/dev/null || true
    fi
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=
}

cleanup() {
    stop_nginx
    if [[ -n ${QX_SOAK_KEEP:-} ]]; then
        echo "soak: work folder kept: $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# ---- the site ---------------------------------------------------------------

site=${SOAK_DIR:-$work/site}
if [[ ! -s $site/manifest.tsv ]]; then
    "$python" "$here/gen_site.py" "$site" >"$work/gen.log"
fi
for f in manifest.tsv locations.conf www/index.html; do
    if [[ ! -e $site/$f ]]; then
        echo "soak: $site has no $f" >&2
        exit 1
    fi
done
site=$(cd "$site" && pwd)
expected=$(wc -l <"$site/manifest.tsv")

# ---- nginx ------------------------------------------------------------------

ng=$work/nginx
mkdir -p "$ng/logs" "$ng/temp"
access_log=$ng/logs/access.log

free_port() {
    "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

write_config() {
    local port=$1 user_line=
    # nginx runs its workers as "nobody" unless told otherwise, and nobody
    # may not read a private temp folder.
    if [[ $EUID -eq 0 ]]; then
        user_line="user root;"
    fi
    cat >"$ng/nginx.conf" <<EOF
$user_line
worker_processes 1;
pid $ng/nginx.pid;
error_log $ng/logs/error.log warn;
events { worker_connections 1024; }
http {
    types {
        text/html html;
        text/plain txt md;
        text/css css;
        application/gzip gz;
        application/octet-stream bin;
    }
    default_type application/octet-stream;
    log_format soak '\$request_uri \$status \$connection \$connection_requests \$msec \$sent_http_content_type';
    access_log $access_log soak;
    client_body_temp_path $ng/temp/body;
    proxy_temp_path $ng/temp/proxy;
    fastcgi_temp_path $ng/temp/fastcgi;
    uwsgi_temp_path $ng/temp/uwsgi;
    scgi_temp_path $ng/temp/scgi;
    sendfile on;
    # Connections are kept, and the server still closes them now and then:
    # after 100 requests or 5 s idle.
    keepalive_timeout 5s;
    keepalive_requests 100;
    gzip on;
    gzip_types text/plain;
    gzip_comp_level 1;
    server {
        listen 127.0.0.1:$port;
        server_name localhost;
        root $site/www;
        index index.html;
        include $site/locations.conf;
    }
}
EOF
}

port_open() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

start_nginx() {
    local attempt port i
    for ((attempt = 0; attempt < 5; attempt++)); do
        port=$(free_port)
        write_config "$port"
        "$nginx" -p "$ng/" -c "$ng/nginx.conf" -e "$ng/logs/error.log" -g 'daemon off;' \
            >>"$ng/logs/nginx.out" 2>&1 &
        nginx_pid=$!
        for ((i = 0; i < 50; i++)); do
            if ! kill -0 "$nginx_pid" 2>/dev/null; then
                break
            fi
            if port_open "$port"; then
                PORT=$port
                return 0
            fi
            sleep 0.1
        done
        stop_nginx
    done
    echo "soak: nginx did not start; its error log:" >&2
    tail -n 20 "$ng/logs/error.log" "$ng/logs/nginx.out" >&2 || true
    return 1
}

start_nginx
echo "soak: nginx on 127.0.0.1:$PORT serving $site ($expected expected requests)"

# ---- one crawl --------------------------------------------------------------

# Compares the access log with the manifest. Writes "kind<TAB>path<TAB>detail"
# lines, one per offence.
compare_log() {
    awk -F'\t' '
        FNR == NR { want[$1] = $2; next }
        {
            split($0, f, " ")
            count[f[1]]++
            statuses[f[1]] = statuses[f[1]] (count[f[1]] > 1 ? "," : "") f[2]
        }
        END {
            for (p in want) {
                if (!(p in count)) {
                    print "never\t" p "\texpected " want[p]
                } else if (count[p] > 1) {
                    print "repeated\t" p "\t" count[p] " times: " statuses[p]
                } else if (statuses[p] != want[p]) {
                    print "status\t" p "\tgot " statuses[p] ", expected " want[p]
                }
            }
            for (p in count) {
                if (!(p in want)) {
                    if (count[p] > 1) {
                        print "repeated-other\t" p "\t" count[p] " times: " statuses[p]
                    } else {
                        print "unexpected\t" p "\t" statuses[p]
                    }
                }
            }
        }' "$site/manifest.tsv" "$access_log" | LC_ALL=C sort
}

signal_name() {
    local rc=$1
    if ((rc > 128 && rc < 160)); then
        echo " (SIG$(kill -l $((rc - 128)) 2>/dev/null || echo '?'))"
    fi
}

# Every "CONNECTION FAILED" scan row (tab-separated: scan, title, URL,
# result, reason) must say what nginx logged for its path: "HTTP N" for a
# status N, "not text: TYPE" or "no content type" for a 200 answer. A path
# nginx redirected is judged by its target's line, so it is let pass.
# Writes "reason<TAB>path<TAB>detail" lines, one per disagreement.
check_reasons() {
    awk -F'\t' -v prefix="http://127.0.0.1:$PORT" '
        FNR == NR {
            split($0, f, " ")
            type = $0
            for (i = 0; i < 5; i++) sub(/^[^ ]+ /, "", type)
            status[f[1]] = f[2]
            ctype[f[1]] = type
            next
        }
        $1 == "scan" && $4 == "CONNECTION FAILED" {
            path = substr($3, length(prefix) + 1)
            if (path == "") path = "/"
            s = status[path]
            if (s ~ /^30/) next
            if ($5 == "HTTP " s) next
            if (s == "200" && ctype[path] == "-" && $5 == "no content type") next
            if (s == "200" && $5 == "not text: " ctype[path]) next
            print "reason\t" path "\tsaid \"" $5 "\", nginx logged " s " " ctype[path]
        }' "$access_log" "$1"
}

failed_runs=0

run_once() {
    local n=$1
    local out=$work/run-$n.out err=$work/run-$n.err offences=$work/run-$n.offences
    local -a failures=()
    : >"$access_log"

    local started ended rc
    started=$(date +%s.%N)
    set +e
    timeout --kill-after=10 "$limit" "$cli" --search the --max-connections "$n" \
        --engine-timing 10,1 "http://127.0.0.1:$PORT/" >"$out" 2>"$err"
    rc=$?
    set -e
    ended=$(date +%s.%N)
    # nginx logs a request that the client cut off once it notices.
    sleep 0.5

    local timed_out
    timed_out=$(awk -v a="$started" -v b="$ended" -v l="$limit" 'BEGIN { print (b - a >= l - 0.5) ? 1 : 0 }')
    # timeout answers 124 after its TERM, 137 when it had to KILL as well.
    if ((rc == 124 || (rc == 137 && timed_out))); then
        failures+=("exit: no end within ${limit}s (stopped by timeout, status $rc)")
    elif ((rc != 0)); then
        failures+=("exit: status $rc$(signal_name "$rc")")
    fi
    if ! grep -q 'Search finished' "$err"; then
        failures+=("finish: no 'Search finished' line on stderr")
    fi
    local status_line remaining
    status_line=$(grep -E '^Scanned: [0-9]+ +Remaining: -?[0-9]+' "$err" | tail -n 1 || true)
    if [[ -z $status_line ]]; then
        failures+=("remaining: no 'Scanned: N  Remaining: M ...' line on stderr")
    else
        remaining=$(sed -E 's/.*Remaining: (-?[0-9]+).*/\1/' <<<"$status_line")
        if [[ $remaining != 0 ]]; then
            failures+=("remaining: last status line has Remaining $remaining, not 0: '$status_line'")
        fi
    fi
    local sanitizer
    sanitizer=$(grep -m 3 -E 'ERROR: AddressSanitizer|WARNING: ThreadSanitizer|runtime error:|LeakSanitizer' "$err" || true)
    if [[ -n $sanitizer ]]; then
        failures+=("sanitizer: $(grep -c -E 'ERROR: AddressSanitizer|WARNING: ThreadSanitizer|runtime error:|LeakSanitizer' "$err") report line(s), first: ${sanitizer//$'\n'/ | }")
    fi

    compare_log >"$offences"
    check_reasons "$out" >>"$offences"
    local kind label count examples
    for kind in never repeated status repeated-other unexpected reason; do
        count=$(awk -F'\t' -v k="$kind" '$1 == k' "$offences" | wc -l)
        ((count > 0)) || continue
        case $kind in
            never) label="manifest paths never requested" ;;
            repeated) label="manifest paths requested more than once" ;;
            status) label="manifest paths answered with another status" ;;
            repeated-other) label="paths outside the manifest requested more than once" ;;
            unexpected) label="paths outside the manifest requested" ;;
            reason) label="failure rows whose reason disagrees with nginx" ;;
        esac
        examples=$(awk -F'\t' -v k="$kind" '$1 == k && shown++ < 5 { print "    " $2 "  (" $3 ")" }' "$offences")
        failures+=("access log: $count $label, first:"$'\n'"$examples")
    done

    local requests distinct seconds
    requests=$(wc -l <"$access_log")
    distinct=$(cut -d' ' -f1 "$access_log" | sort -u | wc -l)
    seconds=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')
    if ((${#failures[@]} == 0)); then
        echo "soak connections=$n: PASS  requests $requests (distinct $distinct of $expected expected)" \
            " $(grep -c $'\tCONNECTION FAILED\t' "$out" || true) failure rows agree with nginx  ${seconds}s"
        return 0
    fi
    failed_runs=$((failed_runs + 1))
    echo "soak connections=$n: FAIL  requests $requests (distinct $distinct of $expected expected)  ${seconds}s"
    local f
    for f in "${failures[@]}"; do
        echo "  FAILED $f"
    done
    echo "  stderr tail:"
    grep -v '^$' "$err" | tail -n 8 | cut -c1-200 | sed 's/^/    /'
}

if [[ -n $desktop ]]; then
    "$here/../ui/with_window_manager.sh" "$desktop" "http://127.0.0.1:$PORT/" the 64 10,1 "$limit"
    exit
fi

for n in "${connections[@]}"; do
    run_once "$n"
done
if ((failed_runs > 0)); then
    echo "soak: $failed_runs of ${#connections[@]} run(s) failed"
    exit 1
fi
echo "soak: all ${#connections[@]} run(s) passed"
