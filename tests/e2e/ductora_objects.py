"""Guards the unit's Ductora objects made after ZephyrFile on the sample plant (through the
test command DCOBJECTS): requests sent exactly as Ductora reads them (the journal keeps
each whole), the unit's block replaced by its custom part drawing that block where it
stood, stubs packaged in connection order, components placed on their duct's line with
branches and ducts, each part drawn in the saved drawing where Ductora holds it, the
unit's part picked by a point on it, reruns that replace or drop stubs, server refusals
that are reported while nothing half-made enters the record, and odd component lists."""
import json
import os
import re
import shutil
import subprocess
import xml.etree.ElementTree as ET

from cadhost_run import EZDXF_PYTHON, check, ezdxf_read, make_machine, run_cadhost, source_dir
from zephyr_setup import MODULES, read_text, remove_at_exit, settings, user_hive

import tempfile

UNIT = os.path.join(source_dir(), "examples", "units", "VH-CX-1200.xml")
LOADS = MODULES + ["dcobjects_app.arx"]
UNIT_TYPE = "Air handling unit with cross-flow heat exchanger, 1200 m3/h, round connections at both ends"


def plant():
    folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_objects_"))
    for name in ("plant.dxf", "plant.ductora.xml"):
        shutil.copy(os.path.join(source_dir(), "examples", name), folder)
    return folder, os.path.join(folder, "plant.dxf")


def dcobjects(pick, unit_file, unit_system, systems, serie, unit_only):
    """The answers of one DCOBJECTS run; systems: supply, extract, outdoor, exhaust, plug."""
    return ["DCOBJECTS", pick, unit_file, unit_system] + systems + [serie, unit_only]


def journal(path, start=0):
    """The journal's calls from line `start` on: (method, {argument: value}, result, {out: value})."""
    token = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|\S+)')
    unquote = lambda v: re.sub(r'\\(.)', lambda m: {"n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)),
                               v[1:-1]) if v.startswith('"') else v
    calls = []
    for line in read_text(path).splitlines()[start:]:
        head, _, tail = line.partition(" -> ")
        method, _, head = head.partition(" ")
        result, _, outs = tail.partition(" ")
        if method == "LastError":
            result, outs = 0, "text=" + tail
        calls.append((method, {k: unquote(v) for k, v in token.findall(head)}, int(result),
                      {k: unquote(v) for k, v in token.findall(outs)}))
    return calls


def record(out):
    """The record that DCOBJECTS printed: [(name, object handle, {type: (system, stub)})]."""
    parts = []
    for line in out.splitlines():
        m = re.match(r"dcobjects: part \d+ (\S+) object (\S*) at", line)
        if m:
            parts.append((m.group(1), m.group(2), {}))
        m = re.match(r"dcobjects:   (\w+) system (-?\d+) stub '(\w*)'", line)
        if m:
            parts[-1][2][m.group(1)] = (int(m.group(2)), m.group(3))
    return parts


_PARTS = r"""
import json, sys, ezdxf
from ezdxf import bbox
from ezdxf.math import Matrix44, Vec3
doc = ezdxf.readfile(sys.argv[1])
out = {}
for e in doc.modelspace().query("DURAPART"):
    own = {t.code: t.value for t in e.xtags.get_subclass("DURAPart")}
    box = bbox.extents(e.virtual_entities())
    part = {"class": own[1], "block": own.get(2, ""), "position": list(own[10]), "direction": list(own[11]),
            "kinds": sorted(v.dxftype() for v in e.virtual_entities()), "min": list(box.extmin),
            "max": list(box.extmax)}
    if part["block"]:  # where the block stands in the part's frame, x its direction and z its normal
        x, z = Vec3(own[11]).normalize(), Vec3(own[210]).normalize()
        frame = Matrix44.ucs(x, z.cross(x), z, Vec3(own[10]))
        block = bbox.extents(doc.blocks.get(part["block"]))
        lo, hi = block.extmin, block.extmax
        corners = [Vec3(hi.x if k & 1 else lo.x, hi.y if k & 2 else lo.y, hi.z if k & 4 else lo.z) for k in range(8)]
        placed = bbox.BoundingBox(frame.transform_vertices(corners))
        part["block_min"], part["block_max"] = list(placed.extmin), list(placed.extmax)
    out[e.dxf.handle.upper()] = part
inserts = [i.dxf.name for i in doc.modelspace().query("INSERT")]
print(json.dumps({"parts": out, "inserts": inserts}))
"""


def drawn(path):
    """The Ductora parts of the drawing by handle, as a program without Ductora sees them:
    their own groups (class, block, position, direction), the kinds of what their proxy
    graphics draw and its extents (and for a part drawn from a block, that block's extents
    in the part's frame); and the blocks model space inserts."""
    p = subprocess.run([EZDXF_PYTHON, "-c", _PARTS, path], stdout=subprocess.PIPE, check=True)
    return json.loads(p.stdout.decode("utf-8"))


def inside(point, box, slack=1.0):
    return all(lo - slack <= v <= hi + slack for v, lo, hi in zip(point, box["min"], box["max"]))


def wcs(request, element, index=0):
    return re.findall(r"<%s><WCS>([^<]*)</WCS></%s>" % (element, element), request)[index]


def numbers(text):
    return [float(v) for v in text.split()]


def requests(calls, method, marker=""):
    return [(args["request"], outs.get("handle", ""), result) for m, args, result, outs in calls
            if m == method and marker in args["request"]]


# ---- a unit with three external components, systems on its four connections ----
folder, drawing = plant()
log = os.path.join(folder, "plant.ductora.log")
machine = make_machine(user_hive(settings()), parent=folder)
rc, out, _ = run_cadhost("\n".join(["DUREGISTER", "ZephyrFile", UNIT, "6000,2500", "90", "no"] +
                                   dcobjects("6000,2500", UNIT, "1", ["1", "2", "4", "3", ""], "DS-ROUND", "") +
                                   ["QSAVE", "QUIT"]), loads=LOADS, drawing=drawing, machine=machine)
check(rc == 0 and "dcobjects: result 0" in out, "DCOBJECTS runs", out)
objects_run = out.split("Command: DCOBJECTS", 1)[-1]  # the import's dialog flow was declined before it
check("Zephyr: Can't" not in objects_run and "\nZephyr: Failed" not in objects_run, "no step fails", out)
parts = record(out)
check([p[0] for p in parts] == ["VH-CX-1200", "VH-SIL-315", "VH-HTR-315", "VH-DMP-315"], "four parts", out)
unit, stubs = parts[0][1], parts[0][2]
calls = journal(log)
journal_text = read_text(log)

made = requests(calls, "CreatePart", "EWAPART_CUSTOM")
check(made[0] == ("<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>1</ID></System>"
                  "<Position><WCS>6000.000000 2500.000000 0.000000</WCS></Position>"
                  "<Direction><WCS>0.000000 1.000000 0.000000</WCS></Direction>"
                  "<Normal><WCS>0.000000 0.000000 1.000000</WCS></Normal><Productcode>VH-CX-1200</Productcode>"
                  "<Geometry><Layer><Name>0</Name></Layer></Geometry><CustomPartType>%s</CustomPartType>"
                  "<Description>%s</Description></Part></CreatePart>" % (UNIT_TYPE, UNIT_TYPE), unit, 0),
      "the unit's part from its block, layer before the part type: %s" % (made[0],), journal_text)
check('SetString handle="%s" query="/Part/Geometry/Source[0]/Block/Name" value="Zephyr1" -> 0' % unit in journal_text,
      "the block is the unit's geometry", journal_text)
for request, handle, _ in made[1:]:
    check(re.search(r"</Normal><Productcode>VH-\w+-315</Productcode><CustomPartType>([^<]+)</CustomPartType>"
                    r"<Description>\1</Description><Geometry><Layer><Name>0</Name></Layer></Geometry></Part>", request),
          "a component's part from its model, layer last: %s" % request)
    # Its display list in 10240-byte chunks, then the buffer handed over and freed.
    i = next(n for n, c in enumerate(calls) if c[0] == "CreatePart" and c[3].get("handle") == handle)
    size = calls[i + 1][2] == 0 and int(calls[i + 1][1]["size"])
    chunks = [(int(c[1]["offset"]), len(c[1]["hexText"])) for c in calls[i + 2:] if c[0] == "WriteBinary"]
    expected = [(o, 2 * min(10240, size - o)) for o in range(0, size, 10240)]
    check(size and size % 28 == 0 and chunks[:len(expected)] == expected, "display list of %s: %s" % (handle, chunks))
    after = [c[0] for c in calls[i + 2 + len(expected):] if c[0] != "Version"][:3]
    check(after == ["SetNumber", "FreeBinary", "SetString"], "binvar, free, line types: %s" % after)

fans = requests(calls, "CreateConnectionStub", "<Name>Fan</Name>")
check([numbers(re.search(r"<System><ID>(\d+)", r).group(1)) for r, _, _ in fans] == [[1], [2], [4], [3]],
      "one Fan stub per connection, in connection order", journal_text)
check(fans[0][0].startswith("<CreateConnectionStub><Function><Name>Fan</Name></Function><ParentPart>%s</ParentPart>"
                            "<System><ID>1</ID></System><Sound><Generation><dB>62.000000 66.000000 71.000000 74.000000"
                            " 73.000000 70.000000 65.000000 58.000000</dB></Generation></Sound><Sound><Attenuation>"
                            "<dB>4.000000 7.000000 12.000000 18.000000 22.000000 24.000000 20.000000 15.000000</dB>"
                            "</Attenuation></Sound><Connections><Connection><Position>" % unit)
      and fans[0][0].endswith("<Shape><ID>0</ID></Shape><Diameter>315</Diameter></Connection></Connections>"
                              "</CreateConnectionStub>"), "the supply stub's request: %s" % fans[0][0])
package = " ".join(h for _, h, _ in fans)
check([stubs[t][1] for t in ("CONN_SUPPLY", "CONN_EXTRACT", "CONN_OUTDOOR", "CONN_EXHAUST")] == package.split()
      and stubs["CONN_EXTRACT_PLUG"] == (-1, ""), "the record holds the stubs: %s" % stubs, out)
check('SetString handle="%s" query="/Part/Package/PartList" value="%s" -> 0\nSetString handle="%s" '
      'query="/Part/Package/Behaviour/MOVE" value="All" -> 0' % (unit, package, unit) in journal_text,
      "the unit's package lists its stubs and moves as a whole", journal_text)

# Each component stands 1300 ahead of the connection it sits on, facing back; a duct joins them.
branches = requests(calls, "CreateConnectionStub", "<Name>NBranch</Name>")
ducts = requests(calls, "CreatePart", "EWAPART_DUCT")
check(len(branches) == 3 and len(ducts) == 3, "three branches and three ducts", journal_text)
for (start_request, start_stub), (branch, branch_stub, _), (duct, _, duct_rc), system, type_id in zip(
        [(fans[0][0], fans[0][1]), (branches[0][0], branches[0][1]), (fans[1][0], fans[1][1])], branches, ducts,
        [1, 1, 2], [0, 0, 1]):
    a, direction = wcs(start_request, "Position", -1), numbers(wcs(start_request, "Direction", -1))
    b, inlet_direction = wcs(branch, "Position"), numbers(wcs(branch, "Direction"))
    ahead = [p + 1300 * d for p, d in zip(numbers(a), direction)]
    check(all(abs(x - y) < 1e-5 for x, y in zip(numbers(b), ahead)) and
          all(abs(x + y) < 1e-9 for x, y in zip(inlet_direction, direction)), "inlet %s faces %s from 1300 ahead"
          % (b, a), journal_text)
    check(duct_rc == 0 and duct == (
        "<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type><Connection><ConnectedTo>%s</ConnectedTo>"
        "<Position><WCS>%s</WCS></Position></Connection><Connection><ConnectedTo>%s</ConnectedTo><Position><WCS>%s"
        "</WCS></Position></Connection><System><ID>%d</ID><Type><ID>%d</ID></Type></System><Normal><WCS>0.000000 "
        "0.000000 1.000000</WCS></Normal><Serie><ID>DS-ROUND</ID></Serie><Shape><ID>0</ID></Shape><Diameter>315"
        "</Diameter></Part></CreatePart>" % (start_stub, a, branch_stub, b, system, type_id)), "duct: %s" % duct)

project = {p.get("handle"): p for p in ET.parse(os.path.join(folder, "plant.ductora.xml")).getroot().iter("Part")}
check(project[unit].get("block") == "Zephyr1" and project[unit].get("partList") == package, "the unit in the project")
for name, handle, connections in parts[1:]:
    branch = connections[sorted(connections)[0]][1]
    check(project[handle].get("productCode") == name and project[handle].find("gm_model") is not None and
          project[handle].get("partList") == branch and project[branch].get("function") == "NBranch",
          "%s with its display list and its branch in its package" % name)
info = ezdxf_read(drawing)
check(not info["errors"], "ezdxf audit: %s" % info["errors"])
entities = {e["handle"]: e for e in info["entities"]}
shown = drawn(drawing)
refs = shown["parts"]
unit_ref = refs.get(unit, {})
check(unit_ref.get("block") == "Zephyr1" and unit_ref["position"] == [6000, 2500, 0] and
      unit_ref["direction"] == [0, 1, 0] and "DUCTORA" in entities[unit]["xdata"] and "Zephyr1" not in shown["inserts"] and
      all(abs(a - b) < 1e-6 for a, b in zip(unit_ref["min"] + unit_ref["max"],
                                             unit_ref["block_min"] + unit_ref["block_max"])),
      "the unit's part shows its block where the reference stood, and the reference is gone: %s" % unit_ref)
for name, handle, connections in parts[1:]:
    ref, branch = refs.get(handle, {}), connections[sorted(connections)[0]][1]
    ends = [numbers(wcs(r, "Position", k)) for r, h, _ in branches if h == branch for k in (0, 1)]
    check(ref.get("class") == "DURACustomPart" and not ref["block"] and "POLYLINE" in ref["kinds"] and len(ends) == 2
          and all(inside(p, ref) for p in ends), "%s shows its model between its inlet and outlet: %s" % (name, ref))
for request, handle, _ in fans:
    ref = refs.get(handle, {})
    size = [hi - lo for lo, hi in zip(ref.get("min", [0] * 3), ref.get("max", [0] * 3))]
    check(ref.get("kinds") == ["POLYLINE"] * 6 and
          abs(sorted(size)[1] - 315) < 1e-6 and inside(numbers(wcs(request, "Position")), ref),
          "a stub shows a 315 spigot at its connection: %s" % ref)
for request, handle, _ in ducts:
    ref = refs.get(handle, {})
    check(ref.get("kinds") == ["POLYLINE"] * 6 and
          all(inside(numbers(wcs(request, "Position", k)), ref) for k in (0, 1)),
          "a duct shows its run from end to end: %s" % ref)
check(all(h in entities and "DUCTORA" in entities[h]["xdata"] for h in project if h in journal_text),
      "every part made is in the saved drawing")

# ---- rerun of the unit alone: the supply system changes to 5 ----
start = len(calls)
rc, out, _ = run_cadhost("\n".join(dcobjects("6000,2500", "", "1", ["5", "2", "4", "3", ""], "", "Yes") +
                                   ["QSAVE", "QUIT"]), loads=LOADS, drawing=drawing, machine=machine)
again = journal(log, start)
check(record(out)[0][1] == unit, "the unit's part is picked by a point on it", out)
new = requests(again, "CreateConnectionStub")
check(rc == 0 and not requests(again, "CreatePart") and len(new) == 1 and "<System><ID>5</ID>" in new[0][0],
      "only the supply stub is made again", out)
package = " ".join([new[0][1]] + package.split()[1:])
check(("SetString", {"handle": unit, "query": "/Part/Package/PartList", "value": package}, 0, {}) in again,
      "the package is rebuilt in connection order: %s" % package, out)
check(fans[0][1] not in {e["handle"] for e in ezdxf_read(drawing)["entities"]}, "the old supply stub is erased")

# ---- an older Ductora (2007.10.0): the extract system is taken away ----
text = read_text(os.path.join(folder, "plant.ductora.xml"))
with open(os.path.join(folder, "plant.ductora.xml"), "w", encoding="utf-8") as f:
    f.write(text.replace('version="20110101"', 'version="20071000"', 1))
start += len(again)
rc, out, _ = run_cadhost("\n".join(dcobjects("#" + unit, "", "1", ["5", "", "4", "3", ""], "", "Yes") +
                                   ["QSAVE", "QUIT"]), loads=LOADS, drawing=drawing, machine=machine)
older = journal(log, start)
check("\nZephyr: Can't get duct connection data from Ductora Can't initialize Ductora interface Ductora version is "
      "too old\n" in out and "Failed to create duct connections" not in out, "only the custom part step is refused", out)
check(record(out)[0][2]["CONN_EXTRACT"] == (-1, "") and not any(c[0] == "CreateConnectionStub" for c in older) and
      not any("Package" in c[1].get("query", "") for c in older), "the extract stub is dropped, no package kept", out)

# ---- refusals: an unknown unit system, then supply without system and an unknown serie ----
folder, drawing = plant()
log = os.path.join(folder, "plant.ductora.log")
rc, out, _ = run_cadhost("\n".join(
    ["DUREGISTER", "ZephyrFile", UNIT, "6000,2500", "0", "no"] +
    dcobjects("6000,2500", "", "99", ["1", "2", "", "", ""], "", "Yes") + ["PRINTMARK"] +
    dcobjects("6000,2500", UNIT, "1", ["", "2", "", "", ""], "NOPE", "") + ["QSAVE", "QUIT"]),
    loads=LOADS, drawing=drawing, machine=make_machine(user_hive(settings()), parent=folder))
first, second = out.split("PRINTMARK", 1)
check("\nZephyr: Can't create custom object The project has no system 99.\n"
      "\nZephyr: Can't get duct connection data from Ductora Can't get ACAD object id\n"
      "\nZephyr: Failed to create duct connections Can't clear Ductora product package\n" in first,
      "a refused part is reported twice, then its stubs fail", first)
reference = record(first)[0]
check(reference[1] and all(s == (-1, "") or s[1] == "" for s in reference[2].values()),
      "the record keeps the block reference and no stub", first)
check(second.count("\nZephyr: Failed to create nbrunch Can't create nbrunch The project has no system -1.\n") == 2 and
      "\nZephyr: Failed to create pipe The project has no duct serie \"NOPE\".\n" in second, "refusals reported", second)
parts = record(second)
check(parts[0][1] != reference[1] and parts[1][2]["CONN_SUPPLY_IN"] == (-1, "") and
      parts[3][2]["CONN_EXTRACT_IN"][1] != "", "the walk goes on past refused branches and ducts", second)
supply_duct = requests(journal(log), "CreatePart", "EWAPART_DUCT")[0][0]
check(supply_duct.startswith("<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type><Connection><ConnectedTo>"
                             "</ConnectedTo>"), "a connection without stub sends an empty ConnectedTo", supply_duct)
check(not ezdxf_read(drawing)["errors"], "ezdxf audit after refusals")

# ---- the silencer beside the unit ('H') and named on the outdoor duct too, the damper 'V' ----
folder, drawing = plant()
log = os.path.join(folder, "plant.ductora.log")
odd = os.path.join(folder, "odd.xml")
with open(UNIT, encoding="utf-8") as f, open(odd, "w", encoding="utf-8") as o:
    text = f.read().replace(">VH-SIL-315<", ' alignment="H">VH-SIL-315<')
    o.write(text.replace(">VH-DMP-315<", ' alignment="V">VH-DMP-315<').replace(
        "<Pressure>80</Pressure>", "<Pressure>80</Pressure><ExternalComponentID>VH-SIL-315</ExternalComponentID>"))
rc, out, _ = run_cadhost("\n".join(["DUREGISTER", "ZephyrFile", UNIT, "6000,2500", "90", "no"] +
                                   dcobjects("6000,2500", odd, "1", ["1", "2", "4", "3", ""], "DS-ROUND", "") +
                                   ["QSAVE", "QUIT"]), loads=LOADS, drawing=drawing,
                         machine=make_machine(user_hive(settings()), parent=folder))
objects_run = out.split("Command: DCOBJECTS", 1)[-1]
check(rc == 0 and objects_run.count("Zephyr: Outdoor duct component VH-SIL-315 is named twice: only its first place "
                                    "is kept.\n") == 1 and objects_run.count("duct component VH-SIL-315") == 2,
      "the second naming is reported once and ignored", out)
check(objects_run.count("Zephyr: External component VH-DMP-315 is left out: its alignment 'V' can't be placed.\n") == 1
      and "\nZephyr: Can't" not in objects_run, "the 'V' damper is reported once, nothing is refused", out)
calls = journal(log)
check(not any("VH-DMP-315" in r or rc for r, _, rc in requests(calls, "CreatePart")), "nothing at the origin",
      read_text(log))
fans = requests(calls, "CreateConnectionStub", "<Name>Fan</Name>")
branches = requests(calls, "CreateConnectionStub", "<Name>NBranch</Name>")
check(len(branches) == 2 and all("<System><ID>1</ID>" in r for r, _, _ in branches),
      "one branch each for silencer and heater, both on the supply's system", read_text(log))
a, direction = numbers(wcs(fans[0][0], "Position")), numbers(wcs(fans[0][0], "Direction"))
b = numbers(wcs(branches[0][0], "Position"))
ahead = sum((y - x) * d for x, y, d in zip(a, b, direction))
check(ahead > 0 and all(abs(x + ahead * d - y) < 1e-5 for x, y, d in zip(a, b, direction)),
      "the 'H' silencer's inlet stands on the supply's axis at its height: %s from %s" % (b, a), read_text(log))
ducts = requests(calls, "CreatePart", "EWAPART_DUCT")
check(len(ducts) == 2 and "<ConnectedTo>%s</ConnectedTo>" % fans[0][1] in ducts[0][0] and
      "<ConnectedTo>%s</ConnectedTo>" % branches[0][1] in ducts[0][0], "a duct joins the unit and the silencer",
      read_text(log))
print("ok")
