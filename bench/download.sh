#!/bin/bash
# DownloadFile against curl -o for a 768 MB file from a loopback server, large enough that
# one run lasts more than a second. $1: the build's bin folder.
set -euo pipefail
BIN=${1:?bin folder}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
SERVER=""
trap '[ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; rm -rf "$WORK"' EXIT
head -c $((768 * 1024 * 1024)) /dev/urandom > "$WORK/model.tcdz"

PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$WORK" "$PORT" >/dev/null 2>&1 &
SERVER=$!
URL="http://127.0.0.1:$PORT/model.tcdz"
for _ in $(seq 100); do curl -s -o /dev/null --noproxy '*' -r 0-0 "$URL" && break; sleep 0.1; done

/usr/bin/python3 "$HERE/benchlib.py" compare download 1.3 \
  -- curl -s --noproxy '*' -o "$WORK/ref.tcdz" "$URL" \
  -- "$BIN/zephyr_bench_model" download "$URL" "$WORK/out.tcdz"
cmp -s "$WORK/ref.tcdz" "$WORK/out.tcdz" || { echo "download: output differs" >&2; exit 1; }
