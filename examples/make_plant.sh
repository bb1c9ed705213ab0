#!/usr/bin/env bash
# Makes the sample drawing plant.dxf and its Ductora project plant.ductora.xml: the plant
# room's walls, door, louvres and duct runs (plant_plan.py), a project with systems of
# every type and two duct series (project-template.ductora.xml), and the four duct ends
# (supply, extract, outdoor, exhaust) at the ends of the runs, added by Ductora.
# Usage: make_plant.sh BIN_FOLDER
set -euo pipefail
bin=$1
examples=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 "$examples/plant_plan.py" "$work/plant.dxf"
cp "$examples/project-template.ductora.xml" "$work/plant.ductora.xml"
"$bin/cadhost" --machine "$work/machine" --load Ductora.arx --script "$examples/plant.scr" "$work/plant.dxf"
cp "$work/plant.dxf" "$work/plant.ductora.xml" "$examples/"
