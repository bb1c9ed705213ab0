#!/usr/bin/python3
"""ZephyrFile end to end on a unit whose 3-D model has about 200 000 display-list elements,
against the same session's save of the drawing it made (QSAVE writes the DXF file).

The model: the sample catalogue with the cross-flow unit's model (AHU-CX) given a plate
pack of 8 334 small boxes, each six faces of four vertices (24 elements), built by the
catalogue's own build into model files beside a copy of the modules. So the whole path
runs as a user's import does: unit file, model database decompressed and checked, model
drawn, block built and inserted, extended data written. The reference is the one step of
the same session whose cost also grows with the model, writing it out.

Usage: zephyrfile.py BIN_DIR   prints the result line of benchlib.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import benchlib  # noqa: E402

BOXES = 8334  # 24 elements each: 200 016 elements besides the unit's own
MODULES = ["Zephyr_Load_R20_x32.arx", "tekcore.dll", "tekshape.dll", "tekpaint.dll", "teksolid.dll",
           "Zephyr_R20_x32.arx", "ZephyrDC.cuix"]
UNIT = os.path.join(SOURCE, "examples", "units", "VH-CX-1200.xml")


def plate_pack():
    """Box statements filling the unit's casing (L 1900, W 800, HT 1150 for the VH-CX-1200)."""
    lines = ["# plate pack for the benchmark: %d boxes" % BOXES]
    for k in range(BOXES):
        i, j, m = k % 100, (k // 100) % 10, k // 1000
        lines.append("box origin=(-L/2+10+%d, -W/2+10+%d, FEET+20+%d) size=(8, 40, 60)" % (i * 18, j * 75, m * 120))
    return "\n".join(lines) + "\n"


def make_module_folder(bin_dir, work):
    """A copy of the modules with model files built from the enlarged catalogue."""
    catalog = os.path.join(work, "catalog")
    shutil.copytree(os.path.join(SOURCE, "catalog"), catalog)
    with open(os.path.join(catalog, "models", "AHU-CX.tsd"), "a") as f:
        f.write(plate_pack())
    module = os.path.join(work, "module")
    os.mkdir(module)
    subprocess.run([os.path.join(bin_dir, "catalog_build"), catalog, module], check=True, stdout=subprocess.DEVNULL)
    for name in MODULES + [n for n in os.listdir(bin_dir) if n.startswith("lib") and ".so" in n]:
        shutil.copy(os.path.join(bin_dir, name), module)
    return module


def session(bin_dir, module, work):
    """One cadhost session on a fresh copy of the sample drawing: (import seconds, save
    seconds, saved drawing). Output is line-buffered, so each line's arrival time is when
    the host wrote it."""
    run = tempfile.mkdtemp(dir=work)
    drawing = os.path.join(run, "plant.dxf")
    shutil.copy(os.path.join(SOURCE, "examples", "plant.dxf"), drawing)
    shutil.copy(os.path.join(SOURCE, "examples", "plant.ductora.xml"), run)
    machine = os.path.join(run, "machine")
    os.mkdir(machine)
    shutil.copy(os.path.join(SOURCE, "examples", "settings.reg"), os.path.join(machine, "user.reg"))
    script = os.path.join(run, "import.scr")
    with open(script, "w") as f:
        f.write("\n".join(["DUREGISTER", "ZephyrFile", UNIT, "0,0", "0", "no", "QSAVE", "QUIT"]) + "\n")
    p = subprocess.Popen(["stdbuf", "-oL", os.path.join(bin_dir, "cadhost"), "--machine", machine,
                          "--load", os.path.join(module, "Zephyr_Load_R20_x32.arx"), "--load", "Ductora.arx",
                          "--script", script, drawing], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    seen = {}
    transcript = []
    for raw in p.stdout:
        now = time.perf_counter()
        text = raw.decode("utf-8", "replace")
        transcript.append(text)
        for mark in ("Command: ZephyrFile", "Command: QSAVE", "Drawing saved as", "Zephyr: Air handling unit"):
            if text.startswith(mark):
                seen.setdefault(mark, now)
    if p.wait() != 0 or len(seen) != 4:
        sys.exit("zephyrfile.py: the import did not run through\n" + "".join(transcript))
    return (seen["Command: QSAVE"] - seen["Command: ZephyrFile"],
            seen["Drawing saved as"] - seen["Command: QSAVE"], drawing)


def block_entities(drawing, name="Zephyr1"):
    """Entities of the block in a saved DXF file, read as group code and value pairs."""
    with open(drawing, encoding="cp1252", errors="replace") as f:
        values = [line.strip() for line in f][1::2]
    count, inside = 0, False
    for k, value in enumerate(values):
        if value == "BLOCK":
            inside = name in values[k + 1:k + 12]
        elif value == "ENDBLK":
            inside = False
        elif inside and value in ("LINE", "CIRCLE", "ELLIPSE", "3DFACE"):
            count += 1
    return count


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="zephyrfile_bench_")
    try:
        module = make_module_folder(bin_dir, work)
        ratios = []
        for _ in range(benchlib.runs()):
            imported, saved, drawing = session(bin_dir, module, work)
            ratios.append(imported / saved)
        print("zephyrfile: block of %d entities, import %.3f s, save %.3f s (last run)"
              % (block_entities(drawing), imported, saved))
        benchlib.report("zephyrfile", 3.0, ratios)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
