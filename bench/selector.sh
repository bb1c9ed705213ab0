#!/bin/bash
# The selector's start page (login, selection and the page, per request) under a burst of
# concurrent requests, against the same page served as a static file by python3 -m
# http.server, with the same burst from curl: 2000 requests, 16 at a time, each on a
# connection of its own (more at once overflow the static server's accept queue of 5, and
# the times measure its clients' connection retries). Ratio: time of the selector / time of
# the static server.
# Goal 0.5: the page is computed per request, but in compiled code with a worker pool,
# where the static server reads a file in an interpreter; at half the static server's
# time the selector answers a demo's or a test's burst without being the slow part.
# $1: the build's bin folder.
set -euo pipefail
BIN=${1:?bin folder}
WORK=$(mktemp -d)
SELECTOR=""
STATIC=""
HERE=$(cd "$(dirname "$0")" && pwd)
trap '[ -n "$SELECTOR" ] && kill "$SELECTOR" 2>/dev/null; [ -n "$STATIC" ] && kill "$STATIC" 2>/dev/null; wait; rm -rf "$WORK"' EXIT

REQUESTS=2000
AT_ONCE=16
QUERY="lang=en&email=demo@example.com&passw=demo&hex=cross&supqv=320.50&supdp=250.00&exhqv=320.50&exhdp=90.00"
QUERY+="&outqv=320.50&outdp=80.00&extqv=320.50&extdp=220.00&dcsid=0123456789ABCDEF0123456789ABCDEF&plugVers=200811"

mkdir -p "$WORK/selector" "$WORK/static/selector/login"
echo "demo@example.com demo" > "$WORK/selector/accounts.txt"
"$BIN/selector" --port 0 "$WORK/selector" > "$WORK/selector.out" 2>> "$WORK/stderr" &
SELECTOR=$!
for _ in $(seq 100); do grep -q "listening at" "$WORK/selector.out" && break; sleep 0.05; done
ROOT=$(sed -n 's/^selector: listening at //p' "$WORK/selector.out")
[ -n "$ROOT" ] || { echo "selector: did not start" >&2; cat "$WORK/stderr" >&2; exit 1; }
PAGE="login/Ductora.jsp?$QUERY"
curl -sf --noproxy '*' -o "$WORK/static/selector/login/Ductora.jsp" "$ROOT$PAGE"

PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$WORK/static" "$PORT" >/dev/null 2>&1 &
STATIC=$!
STATIC_ROOT="http://127.0.0.1:$PORT/selector/"
for _ in $(seq 100); do curl -sf -o /dev/null --noproxy '*' "$STATIC_ROOT$PAGE" && break; sleep 0.1; done

# A curl configuration of the burst against one server.
burst_config() { # ROOT FILE
  for _ in $(seq $REQUESTS); do printf 'url = "%s%s"\noutput = "/dev/null"\n' "$1" "$PAGE"; done > "$2"
}
burst_config "$ROOT" "$WORK/ours.cfg"
burst_config "$STATIC_ROOT" "$WORK/reference.cfg"
BURST=(curl -s --no-progress-meter --noproxy '*' --parallel --parallel-immediate --parallel-max $AT_ONCE -H "Connection: close")

# Every request of a burst must be answered in full by both, or the times mean nothing.
for side in ours reference; do
  ok=$("${BURST[@]}" -w '%{http_code}\n' -K "$WORK/$side.cfg" | grep -c '^200$' || true)
  [ "$ok" -eq $REQUESTS ] || { echo "selector: $side answered $ok of $REQUESTS" >&2; exit 1; }
done

echo "selector: $REQUESTS requests, $AT_ONCE at once, each side in turn" >&2
/usr/bin/python3 "$HERE/benchlib.py" compare selector 0.5 \
  -- "${BURST[@]}" -K "$WORK/reference.cfg" \
  -- "${BURST[@]}" -K "$WORK/ours.cfg"
