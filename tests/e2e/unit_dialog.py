"""Guards the unit information dialog through cadhost: ZephyrFile ends in it, ZephyrView finds
the unit again in the saved drawing, Cancel and the close box change nothing (lost stubs too),
the extract plug keeps its stub, two connections ask for two systems, a cancelled import's
components are made later, and bad input (an object that is no unit, Ductora too old, a
5000-character description, a unit whose model is gone from the database) gets the system's
own words, loses nothing and opens no dialog that OK could never close."""
import os
import re
import shutil
import subprocess
import json

from cadhost_run import EZDXF_PYTHON, bin_dir, check, make_machine, run_cadhost, source_dir, win_bin_dir
from pictures import count, png_pixels
from selector_fixture import private_install
from zephyr_setup import (MODULES, SERIES, SYSTEMS, VERSION_TEXT, project_drawing, read_text, settings,
                          user_hive, write_project)

UNITS = os.path.join(source_dir(), "examples", "units")
CAPTION = "Dialog \"Zephyr %s - Unit's information\"" % VERSION_TEXT
PROJECT_SYSTEMS = SYSTEMS + [(5, 0, "Supply air 2")]
WRITES = ("SetString", "SetNumber", "SetPoint", "CreatePart", "CreateConnectionStub", "Manage", "WriteBinary",
          "UpdateView")

_READER = r"""
import json, re, sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
out = {"errors": [str(e.message) for e in doc.audit().errors], "units": {}, "inserts": []}
for e in doc.modelspace():
    if e.dxftype() == "INSERT":
        out["inserts"].append(e.dxf.handle)
    if not e.has_xdata("ZEPH"):
        continue
    items = []
    for t in e.get_xdata("ZEPH"):
        if t.code != 1000:
            continue
        value = re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), t.value)
        if value.startswith("=") and items:   # a long value goes on in items "=" + the next part
            items[-1] += value[1:]
        else:
            items.append(value)
    out["units"][e.dxf.handle] = dict(i.split("=", 1) for i in items)
print(json.dumps(out))
"""


def read_drawing(drawing, out=""):
    """ezdxf's view: the ZEPH items of every object carrying them, by handle, and the block
    references; the drawing passes ezdxf's audit."""
    p = subprocess.run([EZDXF_PYTHON, "-c", _READER, drawing], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=600)
    check(p.returncode == 0, "ezdxf reads the drawing", p.stderr.decode("utf-8", "replace"))
    info = json.loads(p.stdout.decode("utf-8"))
    check(not info["errors"], "ezdxf audit: %s" % info["errors"], out)
    return info


def units_in(drawing, out=""):
    return read_drawing(drawing, out)["units"]


def unit_data(units, unit_id):
    """The data of every object carrying the unit, without the handles of its Ductora stubs
    (the Ductora objects made on OK add those)."""
    return [{k: v for k, v in u.items() if not k.endswith(".DCH")} for u in units.values()
            if u.get("U.ID") == unit_id]


def dialogs(out):
    """Every dialog the transcript shows, as the text from its caption to the next prompt."""
    return re.findall(r"(Dialog \"[^\n]*\n(?:  [^\n]*\n|        [^\n]*\n)*)", out)


def list_lines(dialog):
    return re.findall(r"^        (.*)$", dialog, re.M)


def journal_writes(journal, since):
    """Calls that change the Ductora project, in the journal after byte `since`."""
    return [line for line in journal[since:].splitlines() if line.startswith(WRITES)]


def made_since(since, kind="Create"):
    return [w for w in journal_writes(read_text(journal), since) if w.startswith(kind)]


def package(handle):
    return re.search(r'<Part handle="%s"[^>]*partList="([^"]*)"' % handle, read_text(project)).group(1)


def run(script, drawing, machine, loads=MODULES):
    rc, out, _ = run_cadhost("\n".join(["DUREGISTER"] + script + ["QUIT"]), loads=loads, drawing=drawing,
                             machine=machine)
    check(rc == 0, "exit code %d" % rc, out)
    return out


folder, drawing = project_drawing(systems=PROJECT_SYSTEMS)
project = drawing[:-4] + ".ductora.xml"
journal = drawing[:-4] + ".ductora.log"
machine = make_machine(user_hive(settings()), parent=folder)
snapshot = os.path.join(folder, "dialog.png")

# --- ZephyrFile ends in the dialog; the user picks the second supply system and confirms.
out = run(["ZephyrFile", os.path.join(UNITS, "VH-CX-1200.xml"), "6000,2500", "90", "yes",
           "snapshot " + snapshot, "select 205 Supply air 2", "click 1", "QSAVE"], drawing, machine)
shown = dialogs(out)
check(len(shown) == 1 and shown[0].startswith(CAPTION), "the import ends in the unit dialog", out)
first = shown[0]
for line in ('[210] combo box, selected "Supply air": "Supply air", "Extract air", "Exhaust air", "Outdoor air", '
             '"Supply air 2"\n',
             '[201] combo box, selected "Outdoor air": "Outdoor air"\n',
             '[202] combo box, selected "Exhaust air": "Exhaust air"\n',
             '[205] combo box, selected "Supply air": "Supply air", "Supply air 2"\n',
             '[206] combo box, selected "Extract air": "Extract air"\n',
             '[301] text "Outdoor"', '[302] text "Exhaust"', '[305] text "Supply"', '[306] text "Extract"',
             '[312] text "Unit\'s duct serie"', '[211] combo box, selected "Spiro round"'):
    check(line in first, "the dialog shows %r" % line, first)
check(not re.search(r"\[(203|204|207|208|303|304|307|308|310)\]", first),
      "places without a connection stay hidden", first)
lines = list_lines(first)
check(lines[:2] == ["Unit\tVH-CX-1200",
                    "     Description\tAir handling unit with cross-flow heat exchanger, 1200 m3/h, round connections at both ends"]
      and "          Size (mm)\t315" in lines and len(lines) == 36, "the information list: %s" % lines[:3], first)
check("Message box" not in out.split("Dialog:", 1)[1], "OK closes at once with every system chosen", out)

width, height, rows = png_pixels(snapshot)
check((width, height) == (818, 643), "the snapshot is the dialog's size: %dx%d" % (width, height), out)
grey = lambda p: p == (128, 128, 128)
below = 1 if win_bin_dir() else 0  # Wine's list box puts its lines a pixel lower
check(count(rows, (20, 391 + below, 780, 392 + below), grey) > 700 and
      count(rows, (20, 410 + below, 780, 411 + below), grey) > 700, "list lines are framed in grey, neighbours sharing a line")
check(count(rows, (290, 395, 400, 408), lambda p: sum(p) < 300) > 20, "the unit id stands in the value column")
picture = (294, 125, 522, 317)
check(count(rows, picture, lambda p: p[2] > 180 and p[0] < 60 and p[1] < 60) > 500,
      "the preview shows the unit with its blue edges")
info = read_drawing(drawing, out)
units = info["units"]
handle = [h for h, u in units.items() if u.get("U.ID") == "VH-CX-1200"]
check(len(handle) == 1, "the unit's part carries its data", out)
handle = handle[0]
imported = unit_data(units, "VH-CX-1200")
check(all(u.get("C.SUP1.QV") == "333.30" and u.get("U.CODE") == "AX-CX-1200-R" for u in imported),
      "the unit's data is kept", str(imported))

def without_packages(text):
    """The project file's text without the product package lists, which OK rebuilds."""
    return re.sub(r' (partList|move)="[^"]*"', "", text)


# --- ZephyrView on the saved drawing: the same unit, read back from the drawing alone; OK
# changes nothing the user did not change (the unit's package is rebuilt, the same).
before_project = read_text(project)
out = run(["ZephyrView", "#" + handle, "click 1", "QSAVE"], drawing, machine)
check(without_packages(read_text(project)) == without_packages(before_project),
      "the project is unchanged apart from the rebuilt package", read_text(project))
shown = dialogs(out)
check(len(shown) == 1 and shown[0].startswith(CAPTION), "ZephyrView shows the dialog", out)
check(list_lines(shown[0]) == lines, "the unit reads back exactly as imported", shown[0])
check("[211]" not in shown[0] and "[312]" not in shown[0], "the unit alone has no duct serie to choose", shown[0])
check("Select unit:#%s" % handle in out, "the unit is picked", out)
units = units_in(drawing, out)
check(unit_data(units, "VH-CX-1200") == imported, "OK without changes keeps the unit's data", out)

# --- Stubs that do not answer keep their links: Cancel changes nothing, OK makes no twins.
before_project, before_journal = read_text(project), len(read_text(journal))
refuse = ["DUPROJECT", "Refuse", "GetString /Part/ExternalPart/Function/Name"]
out = run(refuse + ["ZephyrView", "#" + handle, "close", "ZephyrView", "#" + handle, "click 1", "DUPROJECT", "Refuse",
                    "none", "QSAVE"], drawing, machine)
check(len(dialogs(out)) == 2 and "Message box" not in out, "both dialogs end quietly", out)
check(not made_since(before_journal), "no stub is made again", read_text(journal))
check(without_packages(read_text(project)) == without_packages(before_project) and units_in(drawing, out) == units,
      "the drawing and the project keep the stubs", out)

# --- A stub gone from the drawing: Cancel keeps its link; its system is chosen anew, OK makes
# a new stub with it, and the rebuilt package names it in its connection's place.
supply_stub = units[handle]["C.SUP1.DCH"]
out = run(["ERASE", "#" + supply_stub, "", "ZephyrView", "#" + handle, "close", "QSAVE"], drawing, machine)
check(len(dialogs(out)) == 1 and units_in(drawing, out) == units, "Cancel keeps the lost stub's link", out)
before_journal = len(read_text(journal))
out = run(["ZephyrView", "#" + handle, "select 205 Supply air", "click 1", "QSAVE"], drawing, machine)
shown = dialogs(out)
check(len(shown) == 1 and '[205] combo box, selected "Supply air": "Supply air", "Supply air 2"' in shown[0]
      and '[206] combo box (disabled), selected "Extract air"' in shown[0],
      "the supply system can be chosen again, the extract's stays", shown[0])
stubs = [line for line in journal_writes(read_text(journal), before_journal) if line.startswith("CreateConnectionStub")]
check(len(stubs) == 1 and "<Function><Name>Fan</Name></Function>" in stubs[0] and "<System><ID>1</ID></System>" in stubs[0],
      "one new Fan stub with the chosen system", "\n".join(stubs))
units = units_in(drawing, out)
new_stub = units[handle].get("C.SUP1.DCH", "")
unit_part = re.search(r'<Part handle="%s"[^>]*partList="([^"]*)"' % handle, read_text(project))
check(new_stub and new_stub != supply_stub and unit_part and unit_part.group(1).split()[0] == new_stub
      and supply_stub not in unit_part.group(1).split(), "the package names the new stub first", read_text(project))

# --- The close box acts as Cancel: nothing in the drawing or the project changes.
before_project, before_journal = read_text(project), len(read_text(journal))
out = run(["ZephyrView", "#" + handle, "close", "QSAVE"], drawing, machine)
check(len(dialogs(out)) == 1 and "Message box" not in out, "Cancel ends quietly", out)
check(read_text(project) == before_project, "the project is unchanged", out)
check(journal_writes(read_text(journal), before_journal) == [], "nothing is sent to Ductora", read_text(journal))
check(units_in(drawing, out) == units, "the drawing is unchanged", out)

# --- An object that is no unit.
out = run(["DUCTEND", "-3000,-3000", "1", "100", "200", "ZephyrView", "-3000,-3000"], drawing, machine)
check("Zephyr: Can't load xdata U.ID" in out and "Selected object is not an Zephyr unit.\n" in out
      and not dialogs(out), "a duct end is no unit: no dialog", out)

# --- Ductora too old: no system could be assigned, so no dialog is shown that OK could never
# close; nothing is asked, sent or written.
text = read_text(project)
with open(project, "w", encoding="utf-8") as f:
    f.write(re.sub(r'version="\d+"', 'version="20070101"', text, count=1))
before_journal = len(read_text(journal))
out = run(["ZephyrView", "ok", "QSAVE"], drawing, machine)
check("Ductora version 2008.5 or newer is required.\nMessage box" in out and
      "Answer (ok): ok\nZephyr: Ductora is needed to assign the unit's systems: the unit information is not shown.\n"
      "Command: QSAVE" in out and not dialogs(out), "the readiness message, then the end of the command", out)
check(journal_writes(read_text(journal), before_journal) == [], "nothing is sent", out)
check(units_in(drawing, out) == units, "nothing is written", out)
with open(project, "w", encoding="utf-8") as f:
    f.write(text)

# --- A unit with a 5000-character description: cut on screen, whole in the drawing.
long_text = "Aerix CF 1500 Plug, " + "\u00e4\u00f6\u00fc counter-flow " * 300
long_text = long_text[:5000]
unit_file = os.path.join(folder, "long.xml")
with open(os.path.join(UNITS, "VH-CF-1500P.xml"), encoding="utf-8") as f:
    xml = f.read()
with open(unit_file, "w", encoding="utf-8") as f:
    f.write(re.sub(r"<UnitDescription>.*</UnitDescription>", "<UnitDescription>%s</UnitDescription>" % long_text,
                   xml))
out = run(["ZephyrFile", unit_file, "0,8000", "0", "click 1", "QSAVE"], drawing, machine)
shown = dialogs(out)
check(len(shown) == 1, "the long unit is shown", out)
description = [line for line in list_lines(shown[0]) if line.startswith("     Description\t")]
check(len(description) == 1 and 1000 < len(description[0].encode("utf-8")) <= 1023
      and long_text.startswith(description[0].split("\t", 1)[1]), "the list line is cut at a whole character",
      shown[0])
check("[211]" not in shown[0] and "[312]" not in shown[0], "a unit without components has no duct serie", shown[0])
info = read_drawing(drawing, out)
long_unit = unit_data(info["units"], "VH-CF-1500P")
check(long_unit and all(u["U.DESC"] == long_text for u in long_unit), "the drawing keeps the whole description", out)
long_handle = [h for h, u in info["units"].items() if u.get("U.ID") == "VH-CF-1500P"]
plug_package = package(long_handle[0])
plug = re.findall(r'<Part handle="(\w+)"[^>]*function="Plug"', read_text(project))
check(len(plug) == 1 and plug[0] in plug_package.split(), "the plug's stub is in the unit's package", plug_package)
out = run(["ZephyrView", "#" + long_handle[0], "click 1", "QSAVE"], drawing, machine)
check(unit_data(units_in(drawing, out), "VH-CF-1500P") == long_unit, "and still after ZephyrView and OK", out)
check(package(long_handle[0]) == plug_package, "the plug keeps its stub and place in the package", read_text(project))

# --- Cancel at the import's dialog keeps the external components with the unit; ZephyrView
# makes them on OK, once, and the unit then carries them no more.
out = run(["ZephyrFile", os.path.join(UNITS, "VH-CX-1200.xml"), "14000,2500", "90", "click 2", "QSAVE"], drawing,
          machine)
pending = [(h, u) for h, u in units_in(drawing, out).items() if "U.PENDCOMP1" in u]
check(len(pending) == 1 and [pending[0][1].get("U.PENDCOMP%d" % n) for n in (1, 2, 3, 4)] ==
      ["1 0 D VH-SIL-315", "1 1 D VH-HTR-315", "2 0 D VH-DMP-315", None], "the cancelled unit keeps its components",
      str(pending))
before_journal = len(read_text(journal))
out = run(["ZephyrView", "#" + pending[0][0], "click 1", "QSAVE"], drawing, machine)
made = "\n".join(made_since(before_journal))
check('[211] combo box, selected "Spiro round"' in dialogs(out)[0], "the components' duct serie is asked", out)
check(len(re.findall("<Productcode>VH-(SIL|HTR|DMP)-315<", made)) == 3 and made.count("<Name>NBranch<") == 3 and
      made.count("EWAPART_DUCT") == 3, "the three components with their branches and ducts", made)
made_unit = [h for h, u in units_in(drawing, out).items() if u.get("U.CODE") == "AX-CX-1200-R" and h not in units]
check(len(made_unit) == 1 and "U.PENDCOMP1" not in units_in(drawing, out)[made_unit[0]], "no components kept now", out)
before_journal = len(read_text(journal))
out = run(["ZephyrView", "#" + made_unit[0], "click 1", "QSAVE"], drawing, machine)
check("[211]" not in dialogs(out)[0] and not made_since(before_journal), "a second ZephyrView makes nothing", out)

# --- A unit with two connections (from a catalogue of its own beside a copy of the modules):
# OK asks for the systems of those two only.
install, own_modules = private_install()
catalog = os.path.join(folder, "catalog")
shutil.copytree(os.path.join(source_dir(), "catalog"), catalog)
with open(os.path.join(catalog, "products.ini"), "a", encoding="utf-8") as f:
    f.write("\n[OTP VH-SU-600]\nname = Ventholm supply unit 600\nmodel = AHU-CX\n"
            "parameters = P1=3;P2=1;D=250;L=1500;W=700;HT=800;LAY=0\ndescription = Outdoor and supply connections\n")
subprocess.run([os.path.join(bin_dir(), "catalog_build"), catalog, install], check=True, stdout=subprocess.DEVNULL)
two = os.path.join(folder, "two.xml")
with open(os.path.join(UNITS, "VH-CX-1200.xml"), encoding="utf-8") as f, open(two, "w", encoding="utf-8") as t:
    t.write(re.sub(r"<ExternalComponentID>[^<]*</ExternalComponentID>", "", f.read()).replace("CX-1200", "SU-600"))
before_journal = len(read_text(journal))
out = run(["ZephyrFile", two, "0,-8000", "0", "click 1", "QSAVE"], drawing, machine, loads=own_modules)
shown = dialogs(out)
check(len(shown) == 1 and '[201] combo box, selected "Outdoor air"' in shown[0] and
      '[202] combo box, selected "Supply air"' in shown[0] and not re.search(r"\[20[3-8]\]", shown[0]),
      "the two connections' places", out)
check("Message box" not in out.split("Dialog:", 1)[1] and len(made_since(before_journal, "CreateConnectionStub")) == 2,
      "OK closes with the two systems and makes their two stubs", out)

# --- A unit whose model is gone from the database: the dialog opens with an empty picture
# and the command line says why.
lost = os.path.join(folder, "lost.dxf")
with open(drawing, "rb") as f:
    dxf = f.read()
check(b"U.ID=VH-CX-1200" in dxf, "the unit's id is in the drawing file")
with open(lost, "wb") as f:
    f.write(dxf.replace(b"U.ID=VH-CX-1200", b"U.ID=VH-CX-0000"))
shutil.copy(project, os.path.join(folder, "lost.ductora.xml"))
out = run(["ZephyrView", "#" + handle], lost, machine)
check("Zephyr: Can't get teksolid parameters for device 'VH-CX-0000'.\nZephyr: The duct connections of unit "
      "VH-CX-0000 can't be read from the model database: the unit information is not shown.\nCommand: QUIT" in out
      and not dialogs(out), "the command line says why, and no dialog opens that OK could never close", out)
print("ok")
