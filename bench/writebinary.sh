#!/usr/bin/env bash
# DuctoraBridge::writeBinaryData of a 28 MB block through the Ductora module, against
# `xxd -p` turning the same bytes into hexadecimal text. Also times a quarter and a half
# of the block, so a cost that grows faster than the block shows.
# Usage: bench/writebinary.sh BIN_DIR   (BIN_DIR holds writebinary_bench and Ductora.arx).
set -euo pipefail
bin=${1:?usage: writebinary.sh BIN_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$bin/writebinary_bench" ] || { echo "writebinary.sh: $bin/writebinary_bench not built" >&2; exit 1; }
[ -f "$bin/Ductora.arx" ] || { echo "writebinary.sh: $bin/Ductora.arx not built" >&2; exit 1; }
command -v xxd >/dev/null || { echo "writebinary.sh: xxd is not installed" >&2; exit 1; }

size=$((28 * 1024 * 1024))
head -c "$size" /dev/urandom > "$work/block.bin"
mkdir "$work/machine"

# Best of three runs for each, so one slow moment of a shared machine does not decide.
/usr/bin/python3 - "$bin" "$work" "$size" <<'PY'
import subprocess, sys, time
bin_dir, work, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
block = work + "/block.bin"

xxd = []
for _ in range(3):
    with open(work + "/block.hex", "wb") as out:
        start = time.perf_counter()
        subprocess.run(["xxd", "-p", block], stdout=out, check=True)
        xxd.append(time.perf_counter() - start)

lengths = [size // 4, size // 2] + [size] * 3
p = subprocess.run([bin_dir + "/writebinary_bench", bin_dir, work + "/machine", block] + [str(n) for n in lengths],
                   stdout=subprocess.PIPE, check=True)
times = {}
for line in p.stdout.decode().splitlines():
    _, length, _, seconds = line.split()
    times.setdefault(int(length), []).append(float(seconds))
quarter, half, whole, best_xxd = min(times[size // 4]), min(times[size // 2]), min(times[size]), min(xxd)
print(f"writeBinaryData {size // 4} bytes: {quarter:.3f} s, {size // 2}: {half:.3f} s, {size}: {whole:.3f} s")
print(f"growth whole/quarter: {whole / quarter:.2f} (linear is 4)")
print(f"xxd -p {size} bytes: {best_xxd:.3f} s")
print(f"bench writebinary ratio {whole / best_xxd:.4f} goal 2.0")
PY
