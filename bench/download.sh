#!/bin/bash
# DownloadFile against curl -o for a 64 MB file from a loopback server. $1: the build's bin folder.
set -euo pipefail
BIN=${1:?bin folder}
WORK=$(mktemp -d)
SERVER=""
trap '[ -n "$SERVER" ] && kill "$SERVER" 2>/dev/null; rm -rf "$WORK"' EXIT
. "$(dirname "$0")/model_bench.inc"
make_model_files

PORT=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 -m http.server --bind 127.0.0.1 --directory "$WORK" "$PORT" >/dev/null 2>&1 &
SERVER=$!
URL="http://127.0.0.1:$PORT/model.tcdz"
for _ in $(seq 100); do curl -s -o /dev/null --noproxy '*' "$URL" && break; sleep 0.1; done

REFERENCE=(curl -s --noproxy '*' -o "$WORK/ref.tcdz" "$URL")
OURS=("$BIN/zephyr_bench_model" download "$URL" "$WORK/out.tcdz")
compare_best_of_five
cmp -s "$WORK/ref.tcdz" "$WORK/out.tcdz" || { echo "download: output differs" >&2; exit 1; }
tail -n 1 "$WORK/stderr" >&2
echo "bench download ratio $(ratio "$ours" "$reference") goal 1.3"
