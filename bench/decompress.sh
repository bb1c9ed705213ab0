#!/bin/bash
# DecompressFile against gzip -dc on a 64 MB model database. $1: the build's bin folder.
set -euo pipefail
BIN=${1:?bin folder}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
. "$(dirname "$0")/model_bench.inc"
make_model_files

gunzip_to() { gzip -dc "$WORK/model.tcdz" > "$1"; }
REFERENCE=(gunzip_to "$WORK/ref.db")
OURS=("$BIN/zephyr_bench_model" decompress "$WORK/model.tcdz" "$WORK/out.db")
compare_best_of_five
cmp -s "$WORK/ref.db" "$WORK/out.db" || { echo "decompress: output differs" >&2; exit 1; }
tail -n 1 "$WORK/stderr" >&2
echo "bench decompress ratio $(ratio "$ours" "$reference") goal 1.1"
