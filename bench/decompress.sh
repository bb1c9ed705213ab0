#!/bin/bash
# DecompressFile against gzip -dc on a 64 MB model database. $1: the build's bin folder.
set -euo pipefail
BIN=${1:?bin folder}
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
. "$HERE/model_bench.inc"
make_model_files

/usr/bin/python3 "$HERE/benchlib.py" compare decompress 1.1 \
  -- sh -c 'gzip -dc "$1" > "$2"' gunzip "$WORK/model.tcdz" "$WORK/ref.db" \
  -- "$BIN/zephyr_bench_model" decompress "$WORK/model.tcdz" "$WORK/out.db"
cmp -s "$WORK/ref.db" "$WORK/out.db" || { echo "decompress: output differs" >&2; exit 1; }
