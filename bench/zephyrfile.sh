#!/usr/bin/env bash
# ZephyrFile end to end on a 200 000-element model against the same session's DXF save
# (bench/zephyrfile.py says how the model is made). Usage: bench/zephyrfile.sh BIN_DIR
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/zephyrfile.py" "${1:?usage: zephyrfile.sh BIN_DIR}"
