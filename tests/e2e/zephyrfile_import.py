"""Guards ZephyrFile's import: the unit's block, placed as the user said, its ZEPH data, a clean saved drawing;
Escape at the insertion point leaves no block behind."""
import json
import math
import os
import re
import subprocess
import xml.etree.ElementTree as ET

from cadhost_run import EZDXF_PYTHON, check, make_machine, run_cadhost, source_dir, win_bin_dir
from zephyr_setup import MODULES, project_drawing, read_text, settings, user_hive

UNITS = os.path.join(source_dir(), "examples", "units")
FIRST = os.path.join(UNITS, "VH-CX-1200.xml")
SECOND = os.path.join(UNITS, "VH-RX-2500.xml")
DRAWN = {"LINE", "CIRCLE", "ELLIPSE", "3DFACE"}

_READER = r"""
import collections, json, sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
out = {"errors": [str(e.message) for e in auditor.errors], "blocks": {}, "inserts": [], "triangles": {}}
for b in doc.blocks:
    if not b.name.startswith("*"):
        out["blocks"][b.name] = dict(collections.Counter(e.dxftype() for e in b))
        # invisible-edge flags (group 70) of the 3-vertex faces: corners 3 and 4 the same
        out["triangles"][b.name] = [f.dxf.invisible for f in b.query("3DFACE") if f.dxf.vtx2 == f.dxf.vtx3]
for e in doc.modelspace().query("INSERT"):
    xdata = [t.value for t in e.get_xdata("ZEPH")] if e.has_xdata("ZEPH") else []
    out["inserts"].append({"name": e.dxf.name, "insert": list(e.dxf.insert), "rotation": e.dxf.rotation,
                           "xdata": xdata})
print(json.dumps(out))
"""


def read_drawing(path):
    p = subprocess.run([EZDXF_PYTHON, "-c", _READER, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=600)
    check(p.returncode == 0, "ezdxf reads the drawing", p.stderr.decode("utf-8", "replace"))
    return json.loads(p.stdout.decode("utf-8"))


def xdata_items(values):
    """The "KEY=value" texts of the ZEPH extended data as a dict."""
    items = {}
    for v in values:
        key, sep, value = v.partition("=")
        check(sep == "=", "extended data item %r is KEY=value" % v)
        items[key] = value
    return items


def check_unit_data(items, unit_file, out):
    """The extended data carries the unit file's values."""
    root = ET.parse(unit_file).getroot()
    text = lambda name: root.findtext(name).strip()
    check(items.get("U.ID") == text("UnitId"), "U.ID", out)
    check(items.get("U.CODE") == text("UnitCode"), "U.CODE", out)
    check(items.get("U.ZEOID") == text("ZephyrObjectId"), "U.ZEOID", out)
    check(items.get("U.DESC") == text("UnitDescription"), "U.DESC", out)
    check(items.get("U.ITEMCODE") == text("UnitItemCode"), "U.ITEMCODE", out)
    check(items.get("U.MODELDBURL") == text("ModelDatabaseFileUrl"), "U.MODELDBURL", out)
    check(re.fullmatch(r"\d+", items.get("U.ZEVER", "")) is not None, "U.ZEVER is the record's version", out)
    for element, key in (("Supply", "SUP1"), ("Extract", "EXT1"), ("Outdoor", "OUT1"), ("Exhaust", "EXH1")):
        connection = root.find(element)
        if connection is None:
            continue
        for child, suffix in (("Airflow", "QV"), ("Pressure", "DP")):
            stored = items.get("C.%s.%s" % (key, suffix))
            check(stored is not None and abs(float(stored) - float(connection.findtext(child))) < 0.01,
                  "C.%s.%s is the file's %s" % (key, suffix, child.lower()), out)
        check(items.get("C.%s.SNDGEN" % key) == connection.findtext("Sound/Generation").strip(),
              "C.%s.SNDGEN" % key, out)


folder, drawing = project_drawing()
temp = os.path.join(folder, "temp")
os.mkdir(temp)
rc, out, machine = run_cadhost("\n".join([
    "DUREGISTER",
    "ZephyrFile", FIRST, "*cancel*",
    "ZephyrFile", FIRST, "6000,2500", "90", "yes", "click 2",
    "ZephyrFile", SECOND, "-1500.5,800,0", "-30", "click 2",
    "QSAVE", "QUIT"]), loads=MODULES, drawing=drawing, machine=make_machine(user_hive(settings()), parent=folder),
    env={"TMP": temp})
check(rc == 0, "exit code %d" % rc, out)
check(os.listdir(temp) == [], "the model files go at the end, and nothing beside them stays: %s" % os.listdir(temp),
      out)
check("Zephyr: Air handling unit VH-CX-1200." in out and "Zephyr: Air handling unit VH-RX-2500." in out,
      "both unit files are read", out)
check("Database is updated" not in out and "Failed" not in out, "the model database opens", out)
check(os.path.exists(drawing), "the drawing is saved", out)

info = read_drawing(drawing)
check(not info["errors"], "ezdxf audit: %s" % info["errors"], out)
inserts = {i["name"]: i for i in info["inserts"]}
check(sorted(inserts) == ["Zephyr1", "Zephyr2"] and sorted(info["blocks"]) == ["Zephyr1", "Zephyr2"],
      "one block and reference per placed import, named by the first free number: %s %s"
      % (sorted(inserts), sorted(info["blocks"])), out)
for name, unit_file, point, rotation in (("Zephyr1", FIRST, (6000, 2500, 0), 90),
                                         ("Zephyr2", SECOND, (-1500.5, 800, 0), -30)):
    block = info["blocks"].get(name, {})
    check(sum(block.values()) > 0 and set(block) <= DRAWN and "3DFACE" in block,
          "%s holds the unit's model: %s" % (name, block), out)
    # A triangle's closing edge (corner 4 back to corner 1) is hidden exactly when the edge
    # from its third corner is: the visible airflow arrows are drawn whole.
    triangles = info["triangles"][name]
    check(all(bool(f & 4) == bool(f & 8) for f in triangles), "%s triangle edge flags: %s"
          % (name, sorted(set(triangles))), out)
    ref = inserts[name]
    check(all(abs(a - b) < 1e-6 for a, b in zip(ref["insert"], point)), "%s at %s: %s" % (name, point, ref["insert"]),
          out)
    check(abs(math.remainder(ref["rotation"] - rotation, 360)) < 1e-6, "%s rotated %s: %s"
          % (name, rotation, ref["rotation"]), out)
    check_unit_data(xdata_items(ref["xdata"]), unit_file, out)
check(0 in info["triangles"]["Zephyr1"], "the VH-CX-1200's arrows are triangles with every edge visible: %s"
      % sorted(set(info["triangles"]["Zephyr1"])), out)

# A second session on the saved drawing: Enter takes the remembered file, the new block
# gets the next free name, and the earlier references keep their data. TMPDIR names a
# folder that does not exist: the temporary files go to the user's own folder instead.
rc, out, _ = run_cadhost("\n".join(["DUREGISTER", "ZephyrFile", "", "0,0", "0", "click 2", "QSAVE", "QUIT"]),
                         loads=MODULES, drawing=drawing, machine=machine,
                         env={"TMP": None, "TEMP": None, "TMPDIR": os.path.join(folder, "missing")})
check(rc == 0 and "Zephyr: Air handling unit VH-RX-2500." in out, "the remembered file is imported again", out)
again = read_drawing(drawing)
check(not again["errors"], "ezdxf audit after the second session: %s" % again["errors"], out)
check(sorted(i["name"] for i in again["inserts"]) == ["Zephyr1", "Zephyr2", "Zephyr3"], "Zephyr3 is added", out)
check(again["blocks"]["Zephyr1"] == info["blocks"]["Zephyr1"], "Zephyr1's block is kept", out)
check([i for i in again["inserts"] if i["name"] == "Zephyr1"] == [inserts["Zephyr1"]], "Zephyr1's reference is kept",
      out)

hive = re.sub(r"\\\n\s*", "", read_text(os.path.join(machine, "user.reg")))
if win_bin_dir():
    # Windows names the chosen file with its drive, and its RegSetValueExA stores the zero
    # after text whose count left it out (the byte after the data), so the value is plain text.
    stored = re.search(r'^"XMLFilePath"="(.*)"$', hive, re.M)
    check(stored is not None and stored.group(1) == "Z:" + SECOND.replace("/", "\\\\"),
          "the last unit file is remembered", hive)
else:
    stored = re.search(r'^"XMLFilePath"=hex\(1\):([0-9a-f,]*)$', hive, re.M)
    check(stored is not None and bytes(int(d, 16) for d in stored.group(1).split(",")) == SECOND.encode("utf-16-le"),
          "the last unit file is remembered (as text is stored: UTF-16LE)", hive)
print("ok")
