#!/usr/bin/env bash
# DuctoraBridge::writeBinaryData of a 28 MB block through the Ductora module, against
# `xxd -p` turning the same bytes into hexadecimal text, each run. Also times a quarter
# and a half of the block, so a cost that grows faster than the block shows.
# Usage: bench/writebinary.sh BIN_DIR   (BIN_DIR holds writebinary_bench and Ductora.arx).
set -euo pipefail
bin=${1:?usage: writebinary.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$bin/writebinary_bench" ] || { echo "writebinary.sh: $bin/writebinary_bench not built" >&2; exit 1; }
[ -f "$bin/Ductora.arx" ] || { echo "writebinary.sh: $bin/Ductora.arx not built" >&2; exit 1; }
command -v xxd >/dev/null || { echo "writebinary.sh: xxd is not installed" >&2; exit 1; }

size=$((28 * 1024 * 1024))
head -c "$size" /dev/urandom > "$work/block.bin"
mkdir "$work/machine"

/usr/bin/python3 - "$bin" "$here" "$work" "$size" <<'PY'
import subprocess, sys, time
bin_dir, here, work, size = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
sys.path.insert(0, here)
import benchlib
block = work + "/block.bin"

def ours(*lengths):
    """Seconds of writeBinaryData for each length, in one process."""
    p = subprocess.run([bin_dir + "/writebinary_bench", bin_dir, work + "/machine", block] + [str(n) for n in lengths],
                       stdout=subprocess.PIPE, check=True)
    return [float(line.split()[3]) for line in p.stdout.decode().splitlines()]

def xxd():
    with open(work + "/block.hex", "wb") as out:
        start = time.perf_counter()
        subprocess.run(["xxd", "-p", block], stdout=out, check=True)
        return time.perf_counter() - start

quarter, half = ours(size // 4, size // 2)
ratios = []
for _ in range(benchlib.runs()):
    reference = xxd()
    whole = ours(size)[0]
    ratios.append(whole / reference)
print(f"writeBinaryData {size // 4} bytes: {quarter:.3f} s, {size // 2}: {half:.3f} s, {size}: {whole:.3f} s")
print(f"growth whole/quarter: {whole / quarter:.2f} (linear is 4)")
print(f"xxd -p {size} bytes: {reference:.3f} s (last run)")
benchlib.report("writebinary", 2.0, ratios)
PY
