#!/usr/bin/env bash
# Large and hostile foreign files against references of the same size: 40 000 layers
# against 40 000 lines on one layer, a hive of 40 000 sibling keys against 40 000 keys in
# 200 groups, a pick in blocks nested three times on 14 levels against opening that
# drawing, and refusing blocks that insert each other against the same opening.
# Usage: bench/foreign.sh BIN_DIR   (BIN_DIR holds foreign_bench).
set -euo pipefail
bin=${1:?usage: foreign.sh BIN_DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -x "$bin/foreign_bench" ] || { echo "foreign.sh: $bin/foreign_bench not built" >&2; exit 1; }

"$bin/foreign_bench" "$work" | while read -r name seconds reference; do
  echo "foreign $name: $seconds s, reference $reference s"
  /usr/bin/python3 -c "import sys; n, t, r = sys.argv[1:]; print('bench foreign_%s ratio %.2f goal %s' % (n, float(t) / max(float(r), 1e-6), {'layers': '2', 'keys': '2', 'picks': '2', 'cycle': '1'}[n]))" \
    "$name" "$seconds" "$reference"
done
