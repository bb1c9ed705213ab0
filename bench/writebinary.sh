#!/usr/bin/env bash
# DuctoraBridge::writeBinaryData of a 28 MB block through the Ductora module, against
# `xxd -p` turning the same bytes into hexadecimal text, each run; both in processor time
# (the driver's own, and xxd's as the child it was), so that a shared machine's load does
# not count. Each run also times a quarter and a half of the block in the same process:
# the growth line is the whole against the quarter (linear is 4).
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
import resource, subprocess, sys
bin_dir, here, work, size = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
sys.path.insert(0, here)
import benchlib
block = work + "/block.bin"
WARM_UP = 65536  # the first call of a process also pays for what any first call does

def ours(*lengths):
    """Processor seconds of writeBinaryData for each length, in one process."""
    p = subprocess.run([bin_dir + "/writebinary_bench", bin_dir, work + "/machine", block, str(WARM_UP)] +
                       [str(n) for n in lengths], stdout=subprocess.PIPE, check=True)
    return [float(line.split()[3]) for line in p.stdout.decode().splitlines()][1:]

def children():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime

def xxd():
    """Processor seconds of `xxd -p` over the block."""
    with open(work + "/block.hex", "wb") as out:
        before = children()
        subprocess.run(["xxd", "-p", block], stdout=out, check=True)
        return children() - before

ratios, growth = [], []
for _ in range(benchlib.runs()):
    reference = xxd()
    quarter, half, whole = ours(size // 4, size // 2, size)
    ratios.append(whole / reference)
    growth.append(whole / quarter)
print(f"writeBinaryData {size // 4} bytes: {quarter:.3f} s, {size // 2}: {half:.3f} s, {size}: {whole:.3f} s (last run)")
print(f"xxd -p {size} bytes: {reference:.3f} s (last run)")
benchlib.report("writebinary", 0.5, ratios)
benchlib.report("writebinary_growth", 4.4, growth)
PY
