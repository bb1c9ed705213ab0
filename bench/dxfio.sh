#!/usr/bin/env bash
# The host opening and saving a drawing of 120 000 entities (bench/dxfio_ezdxf.py makes it
# with ezdxf), against ezdxf's readfile and saveas of the same file, each run.
# Usage: bench/dxfio.sh BIN_DIR   (BIN_DIR holds dxfio_bench).
set -euo pipefail
bin=${1:?usage: dxfio.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$bin/dxfio_bench" ] || { echo "dxfio.sh: $bin/dxfio_bench not built" >&2; exit 1; }
/usr/bin/python3 "$here/dxfio_ezdxf.py" make "$work/plan.dxf"

/usr/bin/python3 - "$bin" "$here" "$work" <<'PY'
import os, subprocess, sys
bin_dir, here, work = sys.argv[1:]
sys.path.insert(0, here)
import benchlib

drawing = work + "/plan.dxf"
ratios = []
for _ in range(benchlib.runs()):
    out = subprocess.run([bin_dir + "/dxfio_bench", drawing, work + "/host.dxf"], stdout=subprocess.PIPE,
                         check=True).stdout.decode().split()
    opened, saved, entities = float(out[1]), float(out[3]), int(out[5])
    reference = float(subprocess.run(["/usr/bin/python3", here + "/dxfio_ezdxf.py", "time", drawing, work + "/ezdxf.dxf"],
                                     stdout=subprocess.PIPE, check=True).stdout.decode())
    ratios.append((opened + saved) / reference)
print(f"dxfio {os.path.getsize(drawing) / 1e6:.1f} MB, {entities} entities: open {opened:.3f} s, save {saved:.3f} s, "
      f"ezdxf {reference:.3f} s (last run)")
benchlib.report("dxfio", 0.03, ratios)
PY
