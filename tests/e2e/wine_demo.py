"""Guards the demo on the real platform's interfaces: the demo's Zephyr session under Wine with
the Windows build must leave the same unit as on Linux: the same ZEPH data on the unit's
part (its stubs' handles and the selector's port aside), the same blocks entity by entity,
and a Ductora project with the same parts, stubs, packages and ducts. A difference means a
stand-in reads the platform otherwise than Wine does."""
import json
import os
import re
import struct
import subprocess
import tempfile
import xml.etree.ElementTree as ET

from cadhost_run import EZDXF_PYTHON, bin_dir, check, source_dir
from zephyr_setup import remove_at_exit

WINE_BIN = os.environ.get("ZEPHYR_WIN_BIN") or os.path.join(source_dir(), "build-win64", "bin")

_READER = r"""
import json, sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
def attribs(e):
    out = {k: (list(v) if isinstance(v, tuple) or hasattr(v, "x") else v)
           for k, v in e.dxf.all_existing_dxf_attribs().items() if k not in ("handle", "owner")}
    return [e.dxftype(), json.loads(json.dumps(out, default=list))]
units = [[t.value for t in e.get_xdata("ZEPH")] for e in doc.modelspace() if e.has_xdata("ZEPH")]
blocks = {b.name: [attribs(e) for e in b] for b in doc.blocks if b.name.startswith("Zephyr")}
print(json.dumps({"units": units, "blocks": blocks}))
"""


def alike(a, b):
    """Equal, numbers within 1e-9 mm: the C libraries' sines differ in the last bits."""
    if isinstance(a, float) or isinstance(b, float):
        return isinstance(a, (int, float)) and isinstance(b, (int, float)) and abs(a - b) <= 1e-9 * max(1, abs(a))
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(alike(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return a.keys() == b.keys() and all(alike(a[k], b[k]) for k in a)
    return a == b


def run_demo(out, windows):
    env = dict(os.environ)
    env.pop("ZEPHYR_WIN_BIN", None)
    if windows:
        env["ZEPHYR_WIN_BIN"] = WINE_BIN
    p = subprocess.run([os.path.join(source_dir(), "examples", "demo.sh"), bin_dir(), out], env=env,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=900)
    transcript = p.stdout.decode("utf-8", "replace")
    check(p.returncode == 0, "the demo runs %s (status %d)" % ("under Wine" if windows else "on Linux", p.returncode),
          transcript)
    return transcript


def drawing(out):
    p = subprocess.run([EZDXF_PYTHON, "-c", _READER, os.path.join(out, "demo.dxf")], stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=600)
    check(p.returncode == 0, "ezdxf reads %s" % out, p.stderr.decode("utf-8", "replace"))
    info = json.loads(p.stdout.decode("utf-8"))
    # A stub's handle is the drawing's business, the selector's port the machine's.
    info["units"] = [[re.sub(r"^(C\.\w+\.DCH)=.*", r"\1=", re.sub(r"//127\.0\.0\.1:\d+/", "//127.0.0.1/", v))
                      for v in unit] for unit in info["units"]]
    return info


HANDLE_ATTRIBUTES = ("handle", "parent", "partList", "from", "to", "stub", "part")


def project(out):
    """The project's parts in order: element, attributes and children, without handles."""
    root = ET.parse(os.path.join(out, "demo.ductora.xml")).getroot()

    def shape(e):
        attributes = {k: v for k, v in e.attrib.items() if k not in HANDLE_ATTRIBUTES}
        text = (e.text or "").strip()
        if e.tag == "gm_model":  # a display list: 28-byte elements (code, flags, three numbers)
            raw = bytes.fromhex(text)
            text = [list(struct.unpack_from("<hh3d", raw, k)) for k in range(0, len(raw) - 27, 28)]
        return [e.tag, attributes, text, [shape(c) for c in e]]
    return [shape(p) for p in root.iter("Part")]


folder = remove_at_exit(tempfile.mkdtemp(prefix="wine_demo_"))
linux_out, wine_out = os.path.join(folder, "linux"), os.path.join(folder, "wine")
run_demo(linux_out, False)
transcript = run_demo(wine_out, True)

linux, wine = drawing(linux_out), drawing(wine_out)
check(len(linux["units"]) == 1 and wine["units"] == linux["units"],
      "the same ZEPH data:\n%s\n%s" % (linux["units"], wine["units"]), transcript)
check(sorted(wine["blocks"]) == sorted(linux["blocks"]) and linux["blocks"], "the same blocks: %s %s" %
      (sorted(linux["blocks"]), sorted(wine["blocks"])), transcript)
for name, entities in linux["blocks"].items():
    other = wine["blocks"][name]
    check(len(other) == len(entities), "block %s: %d entities, under Wine %d" % (name, len(entities), len(other)))
    for k, (a, b) in enumerate(zip(entities, other)):
        check(alike(a, b), "block %s, entity %d:\n%s\n%s" % (name, k, a, b))

linux_parts, wine_parts = project(linux_out), project(wine_out)
kinds = {p[1].get("class") for p in linux_parts}
check({"DURACustomPart", "DURAConnectionStub", "DURADuct"} <= kinds, "the Linux project has parts, stubs and ducts: %s"
      % kinds)
for k, (a, b) in enumerate(zip(linux_parts, wine_parts)):
    check(alike(a, b), "part %d:\n%s\n%s" % (k, str(a)[:2000], str(b)[:2000]))
check(len(wine_parts) == len(linux_parts), "%d parts, under Wine %d" % (len(linux_parts), len(wine_parts)))
print("ok")
