"""Guards against the user's own drawings losing anything when the host opens and saves
them, and against saves that never settle (the host once dropped TEXT, MTEXT, LWPOLYLINE,
HATCH, linetype dashes, header variables and the OBJECTS section, read every file as code
page 1252, refused comments, R12 to R14 and binary files, and wrote angles so that a second
save differed from the first). The corpus is made here by the writers at hand: ezdxf in
every version it writes (R12 to R2018, every entity kind, blocks with attributes,
dimensions, hatches, layouts), binary files from ezdxf, dxflib (its header ending early),
code pages 1251 and 1252, UTF-8, and a file with comments and CR LF line ends. Each drawing
is opened by cadhost and saved twice: the second save is byte-identical to the first, and
the first holds every group of the original, compared object by object by handle. Most
then get a unit from a Latin-1 unit file with ZephyrFile, are saved with QSAVE, and are
compared with the original by ezdxf and by a second reader, dxflib. The settings come from
a registry editor export in UTF-16LE used as system.reg."""
import collections
import os
import re
import shutil
import subprocess

import ezdxf

import dxf_groups

from cadhost_run import bin_dir, check, make_machine, run_cadhost, source_dir
from zephyr_setup import MODULES, SETTINGS, SETTINGS_KEY, project_drawing

DESCRIPTION = ("L\u00fcftungsger\u00e4t mit Kreuzstrom-W\u00e4rmetauscher, " * 40)[:1000]
MACHINE_ONLY = ("$HANDSEED", "$EXTMIN", "$EXTMAX")
EZDXF_SETS = ("$TDCREATE",)  # ezdxf 0.18 sets it to the time of loading


# --- the corpus ---------------------------------------------------------------------------

def every_kind(doc):
    """Every entity kind ezdxf writes for R2000, blocks with attributes, dimensions,
    hatches, layouts, a dashed layer and extended data of another application; numbers
    that are not the host's own form (an angle of 33.3 degrees, 0.0001)."""
    doc.header["$INSUNITS"] = 6
    doc.header["$MEASUREMENT"] = 1
    doc.layers.add("Walls", color=3, linetype="DASHED")
    doc.appids.new("OTHERAPP")
    msp = doc.modelspace()
    line = msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "Walls", "lineweight": 50, "thickness": 2})
    line.set_xdata("OTHERAPP", [(1000, "kept"), (1002, "{"), (1004, b"\x0a\x0b"), (1071, 7), (1002, "}"),
                                (1010, (1, 2, 3)), (1040, 2.5), (1040, 0.0001)])
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
    ref = msp.add_blockref("TAG", (20, 20), dxfattribs={"rotation": 33.3, "xscale": 1.5})
    ref.add_attrib("NAME", "pump-1", (20, 20))
    nested = doc.blocks.new("NESTED")
    nested.add_blockref("TAG", (1, 1))
    msp.add_blockref("NESTED", (30, 30), dxfattribs={"rotation": 30})
    msp.add_circle((1, 2, 3), 4, dxfattribs={"extrusion": (0.6, 0.0, 0.8)})
    paper = doc.layout("Layout1")
    paper.add_line((0, 0), (100, 100))
    paper.add_blockref("TAG", (50, 50)).add_attrib("NAME", "on paper", (50, 50))
    paper.add_polyline2d([(0, 0), (5, 5), (9, 0)])
    doc.layouts.new("Second").add_circle((10, 10), 5)
    image_def = doc.add_image_def(filename="plan.png", size_in_pixel=(640, 360))
    msp.add_image(image_def, insert=(0, 0), size_in_units=(6.4, 3.6))


def r12_kinds(doc):
    """What R12 has: lines, arcs, text, polylines and polyface meshes, faces, blocks with
    attributes, a dimension, paper space; no handles' owners, no subclass markers."""
    doc.layers.add("Walls", color=3, linetype="DASHED")
    doc.appids.new("OTHERAPP")
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0), dxfattribs={"layer": "Walls", "thickness": 2}).set_xdata(
        "OTHERAPP", [(1000, "kept"), (1040, 2.5)])
    msp.add_circle((5, 5), 2)
    msp.add_arc((5, 5), 3, 0, 90)
    msp.add_text("Ventil", dxfattribs={"height": 2.5}).set_pos((1, 1))
    msp.add_polyline2d([(0, 0), (1, 2), (3, 4)])
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (3, 4, 5)])
    msp.add_polyface().append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0)])
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)])
    msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 0)])
    tag = doc.blocks.new("TAG")
    tag.add_circle((0, 0), 1)
    tag.add_attdef("NAME", (0, 0), dxfattribs={"height": 1})
    msp.add_blockref("TAG", (20, 20), dxfattribs={"rotation": 33.3}).add_attrib("NAME", "pump-1", (20, 20))
    msp.add_linear_dim(base=(0, 5), p1=(0, 0), p2=(10, 0)).render()
    doc.layout("Layout1").add_line((0, 0), (100, 100))


def by_ezdxf(version, fill, fmt="asc"):
    def make(path):
        doc = ezdxf.new(version, setup=True)
        fill(doc)
        doc.saveas(path, fmt=fmt)
    return make


def as_version(acadver, make):
    """An R2000 drawing stated as R13 or R14, whose files have the same groups."""
    def older(path):
        make(path)
        with open(path, encoding="cp1252") as f:
            text = f.read()
        with open(path, "w", encoding="cp1252") as f:
            f.write(text.replace("$ACADVER\n  1\nAC1015\n", "$ACADVER\n  1\n%s\n" % acadver, 1))
    return older


def by_dxflib(version):
    def make(path):
        subprocess.run([os.path.join(bin_dir(), "dxfcheck"), "--write", version, path], check=True, timeout=60)
    return make


def in_code_page(encoding, layer, text):
    def make(doc):
        doc.encoding = encoding
        doc.layers.add(layer)
        doc.modelspace().add_line((0, 0), (1, 1), dxfattribs={"layer": layer})
        doc.modelspace().add_text(text, dxfattribs={"layer": layer})
    return make


UPGRADED = "Drawing upgraded from R12 (AC1009) to R2000 (AC1015)."
TEXT_NOW = "Saved as text DXF (the drawing was opened as binary DXF)."
LATE_HEADER = "header variables after the end of the HEADER section, read as part of it."

# Name, maker, what the first save says, whether a unit is imported into it as well.
CORPUS = [("R%s" % v, by_ezdxf("R" + v, every_kind), [], v in ("2000", "2018"))
          for v in ("2000", "2004", "2007", "2010", "2013", "2018")] + [
    ("R12", by_ezdxf("R12", r12_kinds), [UPGRADED], True),
    ("binary-R12", by_ezdxf("R12", r12_kinds, fmt="bin"), [UPGRADED, TEXT_NOW], False),
    ("R13", as_version("AC1012", by_ezdxf("R2000", every_kind)), [UPGRADED.replace("R12 (AC1009)", "R13 (AC1012)")], False),
    ("R14", as_version("AC1014", by_ezdxf("R2000", every_kind)), [UPGRADED.replace("R12 (AC1009)", "R14 (AC1014)")], False),
    ("binary-R2010", by_ezdxf("R2010", every_kind, fmt="bin"), [TEXT_NOW], True),
    ("dxflib-R12", by_dxflib("R12"), [LATE_HEADER, UPGRADED], False),
    ("dxflib-R2000", by_dxflib("R2000"), [LATE_HEADER], True),
    ("cyrillic", by_ezdxf("R2000", in_code_page("cp1251", "\u0421\u0442\u0435\u043d\u044b", "\u041f\u0440\u0438\u0432\u0435\u0442")), [],
     True),
    ("latin", by_ezdxf("R2000", in_code_page("cp1252", "W\u00e4nde", "Gr\u00f6\u00dfe")), [], True),
    ("unicode", by_ezdxf("R2007", in_code_page("utf8", "\u914d\u7ba1", "\u30c0\u30af\u30c8")), [], True),
]


def with_comments(make):
    """The file as another writer may leave it: comments before and between its groups,
    CR LF line ends."""
    def damaged(path):
        make(path)
        with open(path, encoding="cp1252", newline="") as f:
            lines = f.read().split("\n")
        out = ["999", "written by another program"]
        for i in range(0, len(lines) - 1, 2):
            if lines[i].strip() == "0" and lines[i + 1] in ("SECTION", "LINE", "ENDSEC"):
                out += ["999", "comment before " + lines[i + 1]]
            out += lines[i:i + 2]
        with open(path, "w", encoding="cp1252", newline="") as f:
            f.write("\r\n".join(out) + "\r\n")
    return damaged


CORPUS.append(("comments", with_comments(by_ezdxf("R2000", in_code_page("cp1252", "Notes", "x"))), [], True))


# --- comparing ----------------------------------------------------------------------------

def unescape(text):
    """A text as ezdxf 0.18 gives it, with the file's \\U+XXXX escapes decoded."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)


def value_of(v):
    return [round(x, 9) for x in v] if isinstance(v, tuple) or hasattr(v, "xyz") else v


def described(e, seed):
    """Everything ezdxf reads of an entity, table entry or object; of the active viewport
    not its view, which the host moves when it does not show the drawing's content; not
    the owners, materials and plot styles that ezdxf makes up while loading (at or above
    the file's handle seed) where the file names none."""
    attribs = {k: value_of(v) for k, v in e.dxfattribs().items()
               if not (k in ("owner", "material_handle", "plotstyle_handle") and int(v, 16) >= seed)}
    if e.dxftype() == "VPORT" and e.dxf.name.upper() == "*ACTIVE":
        attribs.pop("center", None)
        attribs.pop("height", None)
    xdata = {}
    if e.xdata:
        for app, tags in e.xdata.data.items():
            xdata[app] = [(t.code, value_of(t.value)) for t in tags]
    extra = {}
    if e.dxftype() == "LTYPE":
        extra["pattern"] = [(t.code, t.value) for t in e.pattern_tags.tags if t.code != 5]
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
        else:
            # What the original says stays; a value it left out (an owner) may be added.
            kind, attribs, xdata, extra = described(e, seed)
            now = described(other, int(after.header["$HANDSEED"], 16))
            if (kind, xdata, extra) != (now[0], now[2], now[3]) or any(now[1].get(k) != v for k, v in attribs.items()):
                changed.append((handle, described(e, seed), now))
    check(not lost, "%s: every object is kept: %s lost" % (original, lost[:10]), out)
    check(not changed, "%s: every object keeps its values: %s" % (original, changed[:3]), out)
    # The variables the file has (ezdxf makes up others while loading); an upgrade's version.
    for name in dxf_groups.Drawing(original).header:
        if name not in MACHINE_ONLY + EZDXF_SETS + ("$ACADVER",):
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

def allowed(obj, code, before, after):
    """What a save changes on purpose: the values the host keeps (handle seed, extents, a
    table's count of records), the view of the active viewport when it does not show the
    drawing, and R12's version and names of the layouts' blocks in a file it upgrades."""
    if obj["type"] == "HEADER":
        return obj["name"] in MACHINE_ONLY or (obj["name"] == "$ACADVER" and after == [(1, "AC1015")])
    if obj["type"] == "TABLE":
        return code == 70
    if obj["type"] == "VPORT" and obj["groups"].get(2, [""])[0].upper() == "*ACTIVE":
        return code in (12, 22, 40)
    if obj["type"] == "BLOCK" and code in (2, 3):
        return [v.upper() for v in before] in (["$MODEL_SPACE"], ["$PAPER_SPACE"]) and \
            [v.upper() for v in after] == ["*" + before[0][1:].upper()]
    return False


for name, make, said, imported in CORPUS:
    folder, drawing = project_drawing(name)
    make(drawing)
    original = os.path.join(folder, "original.dxf")
    shutil.copyfile(drawing, original)

    second = os.path.join(folder, "second.dxf")
    rc, out, _ = run_cadhost("QSAVE\nSAVEAS %s\nQUIT" % second, drawing=drawing)
    check(rc == 0 and out.count("Drawing saved as") == 2, "%s: opened and saved twice (exit %d)" % (name, rc), out)
    for line in said:
        check(out.count(line) == 1, "%s: the first save alone says %r" % (name, line), out)
    with open(drawing, "rb") as f, open(second, "rb") as g:
        check(f.read() == g.read(), "%s: the second save is byte-identical to the first" % name, out)
    lost = dxf_groups.differences(original, drawing, allowed)
    check(not lost, "%s: the save keeps every group of the original: %s" % (name, lost[:8]), out)
    if not imported:
        continue

    shutil.copyfile(original, drawing)
    rc, out, _ = run_cadhost("\n".join(["DUREGISTER", "ZephyrFile", unit_file, "5000,5000", "0", "no", "QSAVE", "QUIT"]),
                             loads=MODULES, drawing=drawing, machine=machine)
    check(rc == 0 and "Drawing saved" in out, "%s: opened, unit imported and saved (exit %d)" % (name, rc), out)
    check("Registry settings is missing" not in out, "the settings come from the registry editor's export", out)
    check("Zephyr: Air handling unit VH-CX-1200." in out, "%s: the Latin-1 unit file is read" % name, out)

    saved = compare(original, drawing, out)
    check(unit_description(saved, out) == DESCRIPTION, "%s: the unit's 1000-character description comes back "
          "whole, its umlauts unchanged" % name, out)
    before, after = dxflib_view(original, out), dxflib_view(drawing, out)
    if name.endswith("R12"):  # the version and R12's names of the layouts' blocks are R2000's now
        before -= collections.Counter([b"variable $ACADVER AC1009", b"block $Model_Space", b"block $Paper_Space"])
    missing = before - after
    check(not missing, "%s: dxflib finds everything of the original: %s missing" % (name, list(missing)[:10]), out)
    check(after[b"entity * INSERT Zephyr1 0"] == 1, "%s: dxflib finds the unit's reference" % name, out)
    if name == "R2000":
        check(after[b"linetype DASHED 2"] == 1, "the dashed linetype keeps its two dashes", out)
        check(saved.header["$INSUNITS"] == 6, "the drawing's own units are kept", out)
    if name == "cyrillic":
        check("\u0421\u0442\u0435\u043d\u044b" in [layer.dxf.name for layer in saved.layers] and
              saved.header["$DWGCODEPAGE"] == "ANSI_1251", "the Cyrillic layer in its code page", out)
print("ok")
