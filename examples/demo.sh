#!/usr/bin/env bash
# The main job on the shipped sample: Zephyr picks the four duct ends of the sample plant,
# the web selector (started here) offers the units that serve them, a scripted browser
# exports the best fit, and the unit is imported, placed on its plinth and made a Ductora
# part with its stubs, components and ducts.
# Usage: demo.sh BIN_FOLDER OUT_FOLDER
# With ZEPHYR_WIN_BIN set to the 64-bit Windows build's bin folder, the session runs there
# under Wine (cadhost-wine) with the Windows modules; the selector and the scripted browser
# stay the Linux ones of BIN_FOLDER.
set -euo pipefail
bin=$(cd "$1" && pwd)
out=$2
host_bin=$bin host=cadhost
if [ -n "${ZEPHYR_WIN_BIN:-}" ]; then
  host_bin=$(cd "$ZEPHYR_WIN_BIN" && pwd) host=cadhost-wine
fi
examples=$(cd "$(dirname "$0")" && pwd)

# A fresh folder, except for the Windows demo's results that ./run windows leaves inside it.
mkdir -p "$out"
find "$out" -mindepth 1 -maxdepth 1 ! -name windows -exec rm -rf {} +
mkdir -p "$out/machine" "$out/selector"
out=$(cd "$out" && pwd)
cp "$examples/plant.dxf" "$out/demo.dxf"
cp "$examples/plant.ductora.xml" "$out/demo.ductora.xml"

# The manufacturer's selector, on any free port of this machine, with the demo's account.
echo "demo@example.com demo" > "$out/selector/accounts.txt"
"$bin/selector" --port 0 "$out/selector" > "$out/selector/stdout.txt" 2> "$out/selector/stderr.txt" &
selector=$!
trap 'kill -TERM $selector 2>/dev/null; wait $selector 2>/dev/null || true' EXIT
root=""
for _ in $(seq 100); do
  root=$(sed -n 's/^selector: listening at //p' "$out/selector/stdout.txt")
  [ -n "$root" ] && break
  kill -0 $selector 2>/dev/null || break
  sleep 0.1
done
if [ -z "$root" ]; then
  echo "the selector did not start:" >&2
  cat "$out/selector/stderr.txt" >&2
  exit 1
fi

# The plug-in installed as on a user's machine: the modules and libraries only, so the model
# files come from the selector's server and not from copies beside the main module.
install="$out/install"
mkdir -p "$install"
for name in Zephyr_Load_R20_x32.arx Zephyr_R20_x32.arx ZephyrDC.cuix tekcore.dll tekshape.dll tekpaint.dll \
            teksolid.dll; do
  cp "$host_bin/$name" "$install/"
done
[ "$host" = cadhost-wine ] || cp "$bin"/lib*.so* "$install/"

# The user's settings as the selector's installer leaves them.
sed "s|^\"ServerRootURL\"=.*|\"ServerRootURL\"=\"$root\"|" "$examples/settings.reg" > "$out/machine/user.reg"

# The person at the browser: logs in, takes the best fit and exports it.
export BROWSER="$bin/selector_browser --email demo@example.com --password demo"

sed -e "s|@EXAMPLES@|$examples|g" -e "s|@OUT@|$out|g" "$examples/demo.scr" > "$out/demo.scr"
"$host_bin/$host" --machine "$out/machine" --load "$install/Zephyr_Load_R20_x32.arx" --load Ductora.arx \
  --script "$out/demo.scr" "$out/demo.dxf" | tee "$out/demo.txt"

/usr/bin/python3 "$examples/render.py" "$out/demo.dxf" "$out/demo.png"

echo
echo "Drawing:    $out/demo.dxf (plan view in $out/demo.png)"
echo "Ductora:    $out/demo.ductora.xml (journal $out/demo.ductora.log)"
echo "Transcript: $out/demo.txt"
echo "Dialog:     $out/dialog.png (the unit information dialog after the import)"
echo "Selector:   $out/selector/access.log (every request), temp/ (the exported unit)"
