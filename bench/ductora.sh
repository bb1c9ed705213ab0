#!/usr/bin/env bash
# Ductora's set calls against TinyXML alone, in the same process, each run: 10 000 set
# calls through the automation interface and the drawing's save (which writes the
# project once), against 10 000 edits of the loaded project file and one save by TinyXML,
# on a project of 50 parts with a 2.8 MB display list.
# Usage: bench/ductora.sh BIN_DIR   (BIN_DIR holds ductora_bench).
set -euo pipefail
bin=${1:?usage: ductora.sh BIN_DIR}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[ -x "$bin/ductora_bench" ] || { echo "ductora.sh: $bin/ductora_bench not built" >&2; exit 1; }

/usr/bin/python3 - "$bin" "$here" "$work" <<'PY'
import os, shutil, subprocess, sys
bin_dir, here, work = sys.argv[1:4]
sys.path.insert(0, here)
import benchlib
ratios = []
for run in range(benchlib.runs()):
    folder = os.path.join(work, str(run))
    os.mkdir(folder)
    p = subprocess.run([bin_dir + "/ductora_bench", folder], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if p.returncode != 0:
        sys.exit("ductora_bench failed:\n" + p.stderr.decode())
    words = p.stdout.decode().split()
    ours, reference = float(words[1]), float(words[3])
    ratios.append(ours / reference)
    shutil.rmtree(folder)
print(p.stderr.decode().strip().replace("ductora_bench: ", "ours: "))
print(f"10000 set calls and one save: {ours:.3f} s; TinyXML's edits and save: {reference:.3f} s (last run)")
benchlib.report("ductora", 1.2, ratios)
PY
