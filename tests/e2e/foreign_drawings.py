"""Guards against the user's own drawings losing anything when the host opens them, the
system imports a unit into them and they are saved (the host once dropped TEXT, MTEXT,
LWPOLYLINE, HATCH, linetype dashes, header variables and the OBJECTS section, read every
file as code page 1252 and refused comments). Each drawing of a corpus that ezdxf makes
here (every entity kind it writes for R2000, blocks with attributes, dimensions, hatches,
layouts, code pages 1251 and 1252, an R2007 file, a file with comments and CR LF line ends)
is opened by cadhost, gets a unit from a Latin-1 unit file with ZephyrFile, is saved with
QSAVE, and is compared with the original by ezdxf and by a second reader, dxflib. The
settings come from a registry editor export in UTF-16LE used as system.reg."""
import collections
import os
import re
import shutil
import subprocess

import ezdxf

from cadhost_run import bin_dir, check, make_machine, run_cadhost, source_dir
from zephyr_setup import MODULES, SETTINGS, SETTINGS_KEY, project_drawing

DESCRIPTION = ("L\u00fcftungsger\u00e4t mit Kreuzstrom-W\u00e4rmetauscher, " * 40)[:1000]
MACHINE_ONLY = ("$HANDSEED", "$EXTMIN", "$EXTMAX")
EZDXF_SETS = ("$TDCREATE",)  # ezdxf 0.18 sets it to the time of loading


# --- the corpus ---------------------------------------------------------------------------

def every_kind(doc):
    """Every entity kind ezdxf writes for R2000, blocks with attributes, dimensions,
    hatches, layouts, a dashed layer and extended data of another application."""
    doc.header["$INSUNITS"] = 6
    doc.header["$MEASUREMENT"] = 1
    doc.layers.add("Walls", color=3, linetype="DASHED")
    doc.appids.new("OTHERAPP")
    msp = doc.modelspace()
    line = msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "Walls", "lineweight": 50, "thickness": 2})
    line.set_xdata("OTHERAPP", [(1000, "kept"), (1002, "{"), (1004, b"\x0a\x0b"), (1071, 7), (1002, "}"),
                                (1010, (1, 2, 3)), (1040, 2.5)])
    msp.add_circle((5, 5), 2)
    msp.add_arc((5, 5), 3, 0, 90)
    msp.add_point((3, 3))
    msp.add_ellipse((0, 0), major_axis=(3, 0), ratio=0.5)
    msp.add_text("Ventil", dxfattribs={"height": 2.5}).set_pos((1, 1))
    msp.add_mtext("Zeile 1\\PZeile 2", dxfattribs={"char_height": 1})
    msp.add_lwpolyline([(0, 0), (1, 1), (2, 0)], close=True)
    msp.add_polyline2d([(0, 0), (1, 2), (3, 4)])
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (3, 4, 5)])
    msp.add_polymesh((3, 3))
    face = msp.add_polyface()
    face.append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0)])
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)])
    msp.add_trace([(0, 0), (1, 0), (0, 1), (1, 1)])
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 0)])
    msp.add_spline([(0, 0), (1, 1), (2, 0), (3, 1)])
    hatch = msp.add_hatch(color=2)
    hatch.paths.add_polyline_path([(0, 0), (4, 0), (4, 4)], is_closed=True)
    pattern = msp.add_hatch(color=3)
    pattern.set_pattern_fill("ANSI31", scale=0.5)
    pattern.paths.add_polyline_path([(10, 0), (14, 0), (14, 4)], is_closed=True)
    msp.add_ray((0, 0), (1, 1))
    msp.add_xline((0, 0), (1, 0))
    msp.add_leader([(0, 0), (2, 2), (4, 2)])
    msp.add_linear_dim(base=(0, 5), p1=(0, 0), p2=(10, 0)).render()
    msp.add_radius_dim(center=(20, 20), radius=3, angle=45).render()
    tag = doc.blocks.new("TAG")
    tag.add_circle((0, 0), 1)
    tag.add_attdef("NAME", (0, 0), dxfattribs={"height": 1})
    ref = msp.add_blockref("TAG", (20, 20))
    ref.add_attrib("NAME", "pump-1", (20, 20))
    nested = doc.blocks.new("NESTED")
    nested.add_blockref("TAG", (1, 1))
    msp.add_blockref("NESTED", (30, 30), dxfattribs={"rotation": 30})
    paper = doc.layout("Layout1")
    paper.add_line((0, 0), (100, 100))
    paper.add_blockref("TAG", (50, 50)).add_attrib("NAME", "on paper", (50, 50))
    paper.add_polyline2d([(0, 0), (5, 5), (9, 0)])
    doc.layouts.new("Second").add_circle((10, 10), 5)
    image_def = doc.add_image_def(filename="plan.png", size_in_pixel=(640, 360))
    msp.add_image(image_def, insert=(0, 0), size_in_units=(6.4, 3.6))


def in_code_page(encoding, layer, text):
    def make(doc):
        doc.encoding = encoding
        doc.layers.add(layer)
        doc.modelspace().add_line((0, 0), (1, 1), dxfattribs={"layer": layer})
        doc.modelspace().add_text(text, dxfattribs={"layer": layer})
    return make


def with_comments(path):
    """The file as another writer may leave it: comments before and between its groups,
    CR LF line ends."""
    with open(path, encoding="cp1252", newline="") as f:
        lines = f.read().split("\n")
    out = ["999", "written by another program"]
    for i in range(0, len(lines) - 1, 2):
        if lines[i].strip() == "0" and lines[i + 1] in ("SECTION", "LINE", "ENDSEC"):
            out += ["999", "comment before " + lines[i + 1]]
        out += lines[i:i + 2]
    with open(path, "w", encoding="cp1252", newline="") as f:
        f.write("\r\n".join(out) + "\r\n")


CORPUS = [
    ("kinds", "R2000", every_kind, None),
    ("cyrillic", "R2000", in_code_page("cp1251", "\u0421\u0442\u0435\u043d\u044b", "\u041f\u0440\u0438\u0432\u0435\u0442"), None),
    ("latin", "R2000", in_code_page("cp1252", "W\u00e4nde", "Gr\u00f6\u00dfe"), None),
    ("unicode", "R2007", in_code_page("utf8", "\u914d\u7ba1", "\u30c0\u30af\u30c8"), None),
    ("comments", "R2000", in_code_page("cp1252", "Notes", "x"), with_comments),
]


# --- comparing ----------------------------------------------------------------------------

def unescape(text):
    """A text as ezdxf 0.18 gives it, with the file's \\U+XXXX escapes decoded."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)


def value_of(v):
    return [round(x, 9) for x in v] if isinstance(v, tuple) or hasattr(v, "xyz") else v


def described(e):
    """Everything ezdxf reads of an entity, table entry or object; of the active viewport
    not its view, which the host moves when it does not show the drawing's content."""
    attribs = {k: value_of(v) for k, v in e.dxfattribs().items()}
    if e.dxftype() == "VPORT" and e.dxf.name.upper() == "*ACTIVE":
        attribs.pop("center", None)
        attribs.pop("height", None)
    xdata = {}
    if e.xdata:
        for app, tags in e.xdata.data.items():
            xdata[app] = [(t.code, value_of(t.value)) for t in tags]
    extra = {}
    if e.dxftype() == "LTYPE":
        extra["pattern"] = [(t.code, t.value) for t in e.pattern_tags.tags]
    return e.dxftype(), attribs, xdata, extra


def compare(original, saved, out):
    """Every object of the original is in the saved drawing under its handle, as it was;
    every header variable is there with its value."""
    before, after = ezdxf.readfile(original), ezdxf.readfile(saved)
    seed = int(before.header["$HANDSEED"], 16)
    lost, changed = [], []
    for handle, e in before.entitydb.items():
        if not e.is_alive or int(handle, 16) >= seed:
            continue  # made by ezdxf while loading, not in the file
        other = after.entitydb.get(handle)
        if other is None:
            lost.append((handle, e.dxftype()))
        elif described(e) != described(other):
            changed.append((handle, described(e), described(other)))
    check(not lost, "%s: every object is kept: %s lost" % (original, lost[:10]), out)
    check(not changed, "%s: every object keeps its values: %s" % (original, changed[:3]), out)
    for name in before.header.varnames():
        if name not in MACHINE_ONLY + EZDXF_SETS:
            check(str(before.header.get(name)) == str(after.header.get(name)),
                  "%s: header %s kept: %r, %r" % (original, name, before.header.get(name), after.header.get(name)), out)
    auditor = after.audit()
    check(not auditor.errors, "%s: ezdxf audit: %s" % (saved, [e.message for e in auditor.errors]), out)
    return after


def dxflib_view(path, out):
    p = subprocess.run([os.path.join(bin_dir(), "dxfcheck"), path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=300)
    check(p.returncode == 0, "dxflib reads %s: %s" % (path, p.stderr.decode("utf-8", "replace")), out)
    return collections.Counter(line for line in p.stdout.split(b"\n")
                               if line and not any(line.startswith(b"variable " + v.encode()) for v in MACHINE_ONLY))


def unit_description(doc, out):
    """The unit's U.DESC from its ZEPH items, continuation items ("=" + the next part) joined."""
    refs = [e for e in doc.modelspace().query("INSERT") if e.dxf.name.startswith("Zephyr")]
    check(len(refs) == 1 and refs[0].has_xdata("ZEPH"), "the unit's reference with its data", out)
    texts = [unescape(t.value) for t in refs[0].get_xdata("ZEPH") if t.code == 1000]
    check(all(len(t.encode("utf-8")) <= 255 for t in texts), "every item within the host's 255 bytes", out)
    for i, t in enumerate(texts):
        if t.startswith("U.DESC="):
            value = t[len("U.DESC="):]
            for more in texts[i + 1:]:
                if not more.startswith("="):
                    break
                value += more[1:]
            return value
    return None


# --- the run ---------------------------------------------------------------------------------

def regedit_export(values):
    """The selector's settings as the registry editor exports them: UTF-16LE with a byte
    order mark, CR LF line ends, a text value as REG_EXPAND_SZ in hex(2) UTF-16LE."""
    lines = ["Windows Registry Editor Version 5.00", "",
             "[HKEY_LOCAL_MACHINE\\%s]" % SETTINGS_KEY.replace("Software", "SOFTWARE")]
    for name, value in values.items():
        if name == "TempFolder":
            data = (value + "\0").encode("utf-16-le")
            lines.append('"%s"=hex(2):%s' % (name, ",".join("%02x" % b for b in data)))
        else:
            lines.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
    return b"\xff\xfe" + ("\r\n".join(lines) + "\r\n\r\n").encode("utf-16-le")


unit_folder, _ = project_drawing("units")
unit_file = os.path.join(unit_folder, "latin1-unit.xml")
with open(os.path.join(source_dir(), "examples", "units", "VH-CX-1200.xml"), encoding="utf-8") as f:
    unit_xml = f.read()
unit_xml = unit_xml.replace('encoding="UTF-8"', 'encoding="ISO-8859-1"')
unit_xml = re.sub(r"<UnitDescription>[^<]*</UnitDescription>", "<UnitDescription>%s</UnitDescription>" % DESCRIPTION,
                  unit_xml)
with open(unit_file, "wb") as f:
    f.write(unit_xml.encode("iso-8859-1"))

machine = make_machine(parent=unit_folder)
settings = dict(SETTINGS, Email="anna.m\u00fcller@example.org")
with open(os.path.join(machine, "system.reg"), "wb") as f:
    f.write(regedit_export(settings))

for name, version, fill, damage in CORPUS:
    folder, drawing = project_drawing(name)
    doc = ezdxf.new(version, setup=True)
    fill(doc)
    doc.saveas(drawing)
    if damage:
        damage(drawing)
    original = os.path.join(folder, "original.dxf")
    shutil.copyfile(drawing, original)

    rc, out, _ = run_cadhost("\n".join(["DUREGISTER", "ZephyrFile", unit_file, "5000,5000", "0", "no", "QSAVE", "QUIT"]),
                             loads=MODULES, drawing=drawing, machine=machine)
    check(rc == 0 and "Drawing saved" in out, "%s: opened, unit imported and saved (exit %d)" % (name, rc), out)
    check("Registry settings is missing" not in out, "the settings come from the registry editor's export", out)
    check("Zephyr: Air handling unit VH-CX-1200." in out, "%s: the Latin-1 unit file is read" % name, out)

    saved = compare(original, drawing, out)
    check(unit_description(saved, out) == DESCRIPTION, "%s: the unit's 1000-character description comes back "
          "whole, its umlauts unchanged" % name, out)
    before, after = dxflib_view(original, out), dxflib_view(drawing, out)
    missing = before - after
    check(not missing, "%s: dxflib finds everything of the original: %s missing" % (name, list(missing)[:10]), out)
    check(after[b"entity * INSERT Zephyr1 0"] == 1, "%s: dxflib finds the unit's reference" % name, out)
    if name == "kinds":
        check(after[b"linetype DASHED 2"] == 1, "the dashed linetype keeps its two dashes", out)
        check(saved.header["$INSUNITS"] == 6, "the drawing's own units are kept", out)
    if name == "cyrillic":
        check("\u0421\u0442\u0435\u043d\u044b" in [layer.dxf.name for layer in saved.layers] and
              saved.header["$DWGCODEPAGE"] == "ANSI_1251", "the Cyrillic layer in its code page", out)
print("ok")
