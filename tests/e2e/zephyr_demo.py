"""Guards Zephyr end to end as the demo runs it: the web selector started on a free port,
Zephyr on a copy of the sample plant picks the four duct ends, the scripted browser
exports the best fit under the selection id, Import fetches it and the model files from
the selector (the plug-in is installed without copies of them), the unit is placed with
the picked demand in its data, the unit dialog is drawn and accepted, and the unit becomes
a Ductora part with its stubs, components and ducts; ezdxf audits the saved drawing clean."""
import os
import re
import subprocess
import tempfile
import xml.etree.ElementTree as ET

from cadhost_run import bin_dir, check, ezdxf_read, source_dir
from zephyr_setup import read_text, remove_at_exit

out_dir = os.path.join(remove_at_exit(tempfile.mkdtemp(prefix="zephyr_demo_")), "out")
demo = subprocess.run([os.path.join(source_dir(), "examples", "demo.sh"), bin_dir(), out_dir],
                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=600)
transcript = demo.stdout.decode("utf-8", "replace")
check(demo.returncode == 0, "the demo runs (status %d)" % demo.returncode, transcript)

# The selector saw a person's session: the page, the export, Import's fetch, the model files.
journal = read_text(os.path.join(out_dir, "demo.ductora.log"))
access = read_text(os.path.join(out_dir, "selector", "access.log"))
exported = os.listdir(os.path.join(out_dir, "selector", "temp"))
check(len(exported) == 1 and re.fullmatch(r"[0-9A-F]{32}\.XML", exported[0]), "one unit exported: %s" % exported)
for request in ("GET /selector/login/Ductora.jsp 200", "POST /selector/export 200",
                "GET /selector/temp/%s 200" % exported[0], "GET /selector/Duratcd.ddtz 200",
                "GET /selector/Ventholm_14a.tcdz 200"):
    check(request in access, "the selector's log holds %r" % request, access)
check("Local models database" not in transcript and "Local data" not in transcript,
      "nothing is taken from beside the main module", transcript)

# The export carries the demand the four picks read from Ductora.
root = ET.parse(os.path.join(out_dir, "selector", "temp", exported[0])).getroot()
demand = {"Supply": (360, 250), "Extract": (340, 220), "Outdoor": (360, 80), "Exhaust": (340, 90)}
for element, (airflow, pressure) in demand.items():
    node = root.find(element)
    check(node is not None and abs(float(node.findtext("Airflow")) - airflow) < 0.01
          and abs(float(node.findtext("Pressure")) - pressure) < 0.01,
          "the export's %s carries the picked demand" % element, ET.tostring(root, encoding="unicode"))

# The unit in the drawing: its data with the demand, on the Ductora part that took its place.
info = ezdxf_read(os.path.join(out_dir, "demo.dxf"))
check(not info["errors"], "ezdxf audit: %s" % info["errors"], transcript)
units = []
for e in info["entities"]:
    items = [v for code, v in e["xdata"].get("ZEPH", []) if code == 1000]
    if items:
        units.append(dict(i.split("=", 1) for i in items if "=" in i and not i.startswith("=")))
check(len(units) == 1 and units[0].get("U.ID") == root.findtext("UnitId"), "one unit, the exported one", str(units))
for key, element in (("SUP1", "Supply"), ("EXT1", "Extract"), ("OUT1", "Outdoor"), ("EXH1", "Exhaust")):
    airflow, pressure = demand[element]
    check(abs(float(units[0]["C.%s.QV" % key]) - airflow) < 0.01 and abs(float(units[0]["C.%s.DP" % key]) - pressure)
          < 0.01, "C.%s carries the demand" % key, str(units[0]))
    check(re.fullmatch(r"[0-9A-F]+", units[0].get("C.%s.DCH" % key, "")), "C.%s names its Ductora stub" % key,
          str(units[0]))

# The dialog was shown and drawn; OK made the Ductora objects.
check("Dialog \"Zephyr" in transcript and "Snapshot written to" in transcript, "the unit dialog is shown", transcript)
with open(os.path.join(out_dir, "dialog.png"), "rb") as f:
    check(f.read(8) == b"\x89PNG\r\n\x1a\n", "the dialog's picture is a PNG")
for request in ("<Type><Define>EWAPART_CUSTOM</Define></Type>", "<Function><Name>Fan</Name></Function>",
                "<Function><Name>NBranch</Name></Function>", "<Type><Define>EWAPART_DUCT</Define></Type>"):
    check(request in journal, "Ductora received %s" % request, journal[-3000:])
print("ok")
