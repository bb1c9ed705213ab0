#!/usr/bin/env bash
# The unit dialog's preview (tekpaint's hidden-line picture) of a 20 000-face model against
# cairo rasterising the same faces and edges without hiding anything, in the same process,
# each run (processor time, best of three within the run). Also times a quarter of the
# model: the growth line is the 20 000-face time against n log n from the quarter (1 is
# n log n; below 1 grows slower).
# Usage: bench/preview.sh BIN_DIR   (BIN_DIR holds preview_bench).
set -euo pipefail
bin=${1:?usage: preview.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$bin/preview_bench" ] || { echo "preview.sh: $bin/preview_bench not built" >&2; exit 1; }

/usr/bin/python3 - "$bin" "$here" <<'PY'
import math, subprocess, sys
bin_dir, here = sys.argv[1:3]
sys.path.insert(0, here)
import benchlib

def run(faces):
    """(faces, preview seconds, cairo seconds) of one preview_bench run."""
    words = subprocess.run([bin_dir + "/preview_bench", str(faces)], stdout=subprocess.PIPE,
                           check=True).stdout.decode().split()
    return int(words[1]), float(words[3]), float(words[5])

ratios, growth = [], []
for _ in range(benchlib.runs()):
    f5, p5, r5 = run(5000)
    f20, p20, r20 = run(20000)
    nlogn = (f20 * math.log(f20)) / (f5 * math.log(f5))
    ratios.append(p20 / r20)
    growth.append((p20 / p5) / nlogn)
print(f"preview {f5} faces: {p5:.3f} s, cairo {r5:.3f} s (last run)")
print(f"preview {f20} faces: {p20:.3f} s, cairo {r20:.3f} s (last run)")
benchlib.report("preview", 2.0, ratios)
benchlib.report("preview_growth", 1.1, growth)
PY
