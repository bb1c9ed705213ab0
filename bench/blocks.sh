#!/usr/bin/env bash
# block_build_from_a2d plus the drawing's save, against ezdxf building and saving the same
# entities, each run. Usage: bench/blocks.sh BIN_DIR   (BIN_DIR holds blocks_bench).
set -euo pipefail
bin=${1:?usage: blocks.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$bin/blocks_bench" ] || { echo "blocks.sh: $bin/blocks_bench not built" >&2; exit 1; }

/usr/bin/python3 - "$bin" "$here" "$work" <<'PY'
import subprocess, sys
bin_dir, here, work = sys.argv[1:]
sys.path.insert(0, here)
import benchlib

def host(elements):
    """(build seconds, save seconds, entities) of blocks_bench."""
    out = subprocess.run([bin_dir + "/blocks_bench", str(elements), "%s/host_%d.dxf" % (work, elements)],
                         stdout=subprocess.PIPE, check=True).stdout.decode().split()
    return float(out[1]), float(out[3]), int(out[5])

def ezdxf(elements):
    out = subprocess.run(["/usr/bin/python3", here + "/blocks_ezdxf.py", str(elements), work + "/ezdxf.dxf"],
                         stdout=subprocess.PIPE, check=True).stdout.decode().split()
    return float(out[0]), int(out[1])

b50, s50, n50 = host(50000)
ratios = []
for _ in range(benchlib.runs()):
    b200, s200, n200 = host(200000)
    e200, en200 = ezdxf(200000)
    if n200 != en200:
        sys.exit(f"blocks.sh: host made {n200} entities, ezdxf {en200}")
    ratios.append((b200 + s200) / e200)
print(f"blocks 50000 elements: {n50} entities, build {b50:.3f} s, save {s50:.3f} s")
print(f"blocks 200000 elements: {n200} entities, build {b200:.3f} s, save {s200:.3f} s (last run)")
print(f"blocks build time 200000/50000: {b200 / b50:.2f} (linear is 4)")
print(f"ezdxf 200000 elements: {e200:.3f} s (last run)")
benchlib.report("blocks", 0.05, ratios)
PY
