#!/usr/bin/env bash
# The main job on the shipped sample: ZephyrFile imports a unit into the sample drawing.
# Usage: demo.sh BIN_FOLDER OUT_FOLDER
set -euo pipefail
bin=$1
out=$2
examples=$(cd "$(dirname "$0")" && pwd)

rm -rf "$out"
mkdir -p "$out/machine"
cp "$examples/plant.dxf" "$out/demo.dxf"
cp "$examples/plant.ductora.xml" "$out/demo.ductora.xml"

# The user's settings as the selector's installer leaves them.
cat > "$out/machine/user.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr\\Any version\\General]
"Language"="en"
"Email"="demo@example.com"
"Password"="demo"
"ServerRootURL"="http://127.0.0.1:8765/selector/"
"StartPage"="login/Ductora.jsp"
"TempFolder"="temp/"
"XMLFilePath"="$examples/units/VH-CX-1200.xml"
REG

out=$(cd "$out" && pwd)
sed -e "s|@EXAMPLES@|$examples|g" -e "s|@OUT@|$out|g" "$examples/demo.scr" > "$out/demo.scr"
"$bin/cadhost" --machine "$out/machine" --load Zephyr_Load_R20_x32.arx --load Ductora.arx \
  --script "$out/demo.scr" "$out/demo.dxf" | tee "$out/demo.txt"

/usr/bin/python3 "$examples/render.py" "$out/demo.dxf" "$out/demo.png"

echo
echo "Drawing:    $out/demo.dxf (plan view in $out/demo.png)"
echo "Ductora:    $out/demo.ductora.xml (journal $out/demo.ductora.log)"
echo "Transcript: $out/demo.txt"
echo "Dialog:     $out/dialog.png (the unit information dialog after the import)"
