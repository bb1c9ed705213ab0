#!/usr/bin/env bash
# The selector's start page under a burst of requests against python3 -m http.server serving
# the same page, alone and with 40 slow clients connected (bench/selector_bench.py says
# how). Usage: bench/selector.sh BIN_DIR
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/selector_bench.py" "${1:?usage: selector.sh BIN_DIR}"
