#!/usr/bin/env bash
# Makes the sample drawing plant.dxf and its Ductora project plant.ductora.xml: a project
# with systems of every type and two duct series (project-template.ductora.xml), and four
# duct ends (supply, extract, outdoor, exhaust) the unit can serve.
# Usage: make_plant.sh BIN_FOLDER
set -euo pipefail
bin=$1
examples=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples/project-template.ductora.xml" "$work/plant.ductora.xml"
"$bin/cadhost" --machine "$work/machine" --load Ductora.arx --script "$examples/plant.scr" "$work/plant.dxf"
cp "$work/plant.dxf" "$work/plant.ductora.xml" "$examples/"
