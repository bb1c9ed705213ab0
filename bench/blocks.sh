#!/usr/bin/env bash
# block_build_from_a2d plus the drawing's save, against ezdxf building and saving the same
# entities. Usage: bench/blocks.sh BIN_DIR   (BIN_DIR holds blocks_bench).
set -euo pipefail
bin=${1:?usage: blocks.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$bin/blocks_bench" ] || { echo "blocks.sh: $bin/blocks_bench not built" >&2; exit 1; }

run_host() { # elements -> "build save entities"
  "$bin/blocks_bench" "$1" "$work/host_$1.dxf" | awk '{print $2, $4, $6}'
}

read -r b50 s50 n50 < <(run_host 50000)
read -r b200 s200 n200 < <(run_host 200000)
read -r e200 en200 < <(/usr/bin/python3 "$here/blocks_ezdxf.py" 200000 "$work/ezdxf.dxf")

/usr/bin/python3 - "$b50" "$s50" "$n50" "$b200" "$s200" "$n200" "$e200" "$en200" <<'PY'
import sys
b50, s50, n50, b200, s200, n200, e200, en200 = sys.argv[1:]
b50, s50, b200, s200, e200 = map(float, (b50, s50, b200, s200, e200))
if int(n200) != int(en200):
    sys.exit(f"blocks.sh: host made {n200} entities, ezdxf {en200}")
print(f"blocks 50000 elements: {n50} entities, build {b50:.3f} s, save {s50:.3f} s")
print(f"blocks 200000 elements: {n200} entities, build {b200:.3f} s, save {s200:.3f} s")
growth = b200 / b50 if b50 > 0 else 0.0
print(f"blocks build time 200000/50000: {growth:.2f} (linear is 4)")
print(f"ezdxf 200000 elements: {e200:.3f} s")
print(f"bench blocks ratio {(b200 + s200) / e200:.4f} goal 0.05")
PY
