#!/usr/bin/env bash
# The unit dialog's preview (tekpaint's hidden-line picture) of a 20 000-face model against
# cairo rasterising the same faces and edges without hiding anything, in the same run. Also
# times a quarter of the model, so a cost that grows faster than n log n shows.
# Usage: bench/preview.sh BIN_DIR   (BIN_DIR holds preview_bench).
set -euo pipefail
bin=${1:?usage: preview.sh BIN_DIR}
[ -x "$bin/preview_bench" ] || { echo "preview.sh: $bin/preview_bench not built" >&2; exit 1; }

read -r _ f5 _ p5 _ r5 < <("$bin/preview_bench" 5000)
read -r _ f20 _ p20 _ r20 < <("$bin/preview_bench" 20000)

/usr/bin/python3 - "$f5" "$p5" "$r5" "$f20" "$p20" "$r20" <<'PY'
import math, sys
f5, f20 = int(sys.argv[1]), int(sys.argv[4])
p5, r5, p20, r20 = map(float, (sys.argv[2], sys.argv[3], sys.argv[5], sys.argv[6]))
print(f"preview {f5} faces: {p5:.3f} s, cairo {r5:.3f} s")
print(f"preview {f20} faces: {p20:.3f} s, cairo {r20:.3f} s")
nlogn = (f20 * math.log(f20)) / (f5 * math.log(f5))
print(f"preview time {f20}/{f5} faces: {p20 / p5:.2f} (n log n is {nlogn:.2f})")
print(f"bench preview ratio {p20 / r20:.4f} goal 3")
PY
