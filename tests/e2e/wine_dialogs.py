"""Guards the script's dialog driver against the real dialog manager: one script answers the
main module's two dialogs, message boxes and the open-file dialog in cadhost and in
cadhost.exe under Wine, up to a dialog that ignores Cancel at the end of the script. The two
transcripts must read alike, every control must stand within a pixel of where Wine's dialog
manager puts it, and the pictures (one taken as the dialog opens) must be the same size with
the painted picture in the same place. Before, the Windows stand-in measured dialogs in
6 x 13 base units where the same font gives 6 x 12, and cadhost.exe could not answer a
dialog at all."""
import os
import re
import tempfile

from cadhost_run import bin_dir, check, run_cadhost, source_dir
from pictures import count, png_pixels
from zephyr_setup import LOADER, remove_at_exit

WINE_BIN = os.path.join(source_dir(), "build-win64", "bin")
UNITS = os.path.join(source_dir(), "examples", "units")


def script(folder):
    return "\n".join([
        "UNITDIALOG", "snapshot %s/unit.png" % folder, "layout", "select 201 Extract air", "select 201 Nothing", "select 203 Supply air", "click 456",
        "frobnicate", "click 1", "maybe", "no", "close",
        "ACCEPTDIALOG", "layout", "snapshot %s/accept.png" % folder, "escape",
        "BOXES", "yes", "maybe", "*cancel*", "ok",
        "OPENFILE", UNITS, "nothere.xml", os.path.join(UNITS, "VH-CX-1200.xml"), "OPENFILE", UNITS, "*cancel*",
        "STUBBORN"]) + "\n"


def run_wine(text):
    """The session in cadhost.exe under Wine, with the Windows build of each module."""
    os.environ["ZEPHYR_WIN_BIN"] = WINE_BIN
    try:
        rc, out, _ = run_cadhost(text, loads=[LOADER, os.path.join(bin_dir(), "dialogapp.arx")])
    finally:
        del os.environ["ZEPHYR_WIN_BIN"]
    return rc, out


def session(out):
    """The transcript from the first command on, with paths in one form (Wine shows the
    folder through its drive Z: with backslashes) and without Wine's own notes ("wine: ...",
    when the file dialog asks for the label of drive Z:)."""
    out = out[out.index("Command: UNITDIALOG"):]
    out = re.sub(r"Z:\\[^\n]*", lambda m: m.group(0)[2:].replace("\\", "/"), out)
    return [line for line in out.splitlines() if not line.startswith("wine: ")]


def layouts(lines):
    """Each layout line's rectangles, dialog by dialog: {id: (left, top, width, height)}."""
    found, current = [], None
    for line in lines:
        m = re.match(r"  \[(\S+)\] (-?\d+),(-?\d+) (\d+)x(\d+)$", line)
        if line.endswith("Dialog: layout"):
            current = []
            found.append(current)
        elif m and current is not None:
            current.append((m.group(1), tuple(int(v) for v in m.groups()[1:])))
        else:
            current = None
    return found


linux_folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_dialogs_linux_"))
wine_folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_dialogs_wine_"))
rc, linux_out, _ = run_cadhost(script(linux_folder), loads=[LOADER, os.path.join(bin_dir(), "dialogapp.arx")])
check(rc == 0, "cadhost runs the dialogs: exit %d" % rc, linux_out)
check(os.path.exists(os.path.join(WINE_BIN, "cadhost-wine")), "the Windows host is built (./run windows)", WINE_BIN)
rc, wine_out = run_wine(script(wine_folder))
check(rc == 0, "cadhost.exe runs the dialogs under Wine: exit %d" % rc, wine_out)

linux, wine = session(linux_out), session(wine_out)
# The two transcripts line by line, the layouts apart (compared within a pixel below).
plain = lambda lines: [l for l in lines if not re.match(r"  \[\S+\] -?\d+,-?\d+ \d+x\d+$", l)]
for number, (a, b) in enumerate(zip(plain(linux), plain(wine))):
    check(a == b.replace(wine_folder, linux_folder), "line %d reads alike:\n  Linux: %s\n  Wine:  %s" % (number, a, b),
          "\n".join(wine))
check(len(plain(linux)) == len(plain(wine)), "the transcripts have as many lines", "\n".join(wine))
for needed in ("dialogapp: 201 chose item 1", "Control 201 has no item \"Nothing\".", "Control 203 is disabled.",
               "Control 456 is not a button.", "Answer (yes/no): maybe", "Question: Take the unit?",
               "dialogapp: DLG_VIEW_XDATA gives 2", "dialogapp: box gives 6", "Warning: Go on?", "dialogapp: box gives 2",
               "Error: Go on?", "File not found: %s/nothere.xml" % UNITS, "dialogapp: open gives 1 VH-CX-1200.xml",
               "dialogapp: open gives 0 ", "dialogapp: DLG_ACCEPT_CHANGES gives 2",
               "Input ended: the dialog is closed with Cancel."):
    check(needed in linux, "the session shows %r" % needed, "\n".join(linux))

linux_layouts, wine_layouts = layouts(linux), layouts(wine)
check(len(linux_layouts) == 2 and len(wine_layouts) == 2, "both dialogs print their layout", "\n".join(wine))
for mine, real in zip(linux_layouts, wine_layouts):
    check([i for i, _ in mine] == [i for i, _ in real], "the same controls are shown", (mine, real))
    for (control, a), (_, b) in zip(mine, real):
        check(all(abs(x - y) <= 1 for x, y in zip(a, b)),
              "control %s stands where the dialog manager puts it: %s here, %s in Wine" % (control, a, b))
for name in ("unit.png", "accept.png"):
    mine, real = png_pixels(os.path.join(linux_folder, name)), png_pixels(os.path.join(wine_folder, name))
    check(mine[:2] == real[:2], "%s has the real dialog's size: %s here, %s in Wine" % (name, mine[:2], real[:2]))
# The unit dialog's picture control is painted blue 20 pixels inside its edges: in both
# pictures the blue stands there (client area at 3, 22 inside the frame and caption).
left, top = 3 + 290 + 20, 22 + 102 + 20
inside = (left + 2, top + 2, left + 230 - 40 - 2, top + 194 - 40 - 2)
blue = lambda p: p[2] > 200 and p[0] < 60 and p[1] < 60
for folder in (linux_folder, wine_folder):
    rows = png_pixels(os.path.join(folder, "unit.png"))[2]
    check(count(rows, inside, blue) == (inside[2] - inside[0]) * (inside[3] - inside[1]),
          "the painted picture stands where its control is in %s/unit.png" % folder)
