"""Guards against drawings that ezdxf refuses or that lose handles or extended data
when the host saves and reopens them, and against extended data beyond the real host's
limits (255 bytes in one text) being taken."""
import os
import re
import subprocess

import ezdxf

from cadhost_run import bin_dir, run_cadhost, ezdxf_read, check

LONG = "U.DESC=" + "\u00e9" * 300 + "x" * 700
FULL = "U.DESC=" + "\u00e9" * 124  # 255 bytes in the process's code page, UTF-8

script = "\n".join([
    "BEDIT Unit1",
    "LINE", "0,0", "100,0", "100,50", "",
    "CIRCLE", "50,25", "10",
    "ELLIPSE", "50,25", "80,25", "5",
    "3DFACE", "0,0", "100,0", "100,50", "0,50",
    "BCLOSE",
    "INSERT", "Unit1", "1000,500", "1", "1", "90",
    "XDATA", "1000,500", "ZEPH", "U.ID=42", "U.CODE=\u00c4rger \u20ac \u4e2d", FULL, "",
    "XDATA", "1000,500", "ZEPH", "U.ID=43", LONG, "",
    "LIST", "1000,500",
    "SAVEAS plant.dxf",
    "QUIT",
])
rc, out, machine = run_cadhost(script)
check(rc == 0, "drawing script exit code %d" % rc, out)
check(out.count("Extended data not set.") == 1, "the text beyond 255 bytes is refused", out)
path = os.path.join(machine, "plant.dxf")
check(os.path.exists(path), "the drawing was saved", out)

info = ezdxf_read(path)
check(not info["errors"], "ezdxf audit errors: %s" % info["errors"], out)
inserts = [e for e in info["entities"] if e["type"] == "INSERT"]
check(len(inserts) == 1, "one block reference in model space", out)
kinds = sorted(e["type"] for e in info["blocks"]["Unit1"])
check(kinds == ["3DFACE", "CIRCLE", "ELLIPSE", "LINE", "LINE"], "block contents %s" % kinds, out)
texts = [v for code, v in inserts[0]["xdata"]["ZEPH"] if code == 1000]
# ezdxf keeps characters outside code page 1252 in the file's \U+XXXX form.
check("U.CODE=\u00c4rger \u20ac \\U+4E2D" in texts, "non-ASCII text seen by ezdxf: %s" % texts[:2], out)
check(all(len(t) <= 255 for t in texts), "every 1000 group within 255 characters", out)

# What R2000 readers other than ezdxf expect of a new drawing: its extents and a view that
# shows them, millimetres, layers with lineweight and plot style, the plot style dictionary.
doc = ezdxf.readfile(path)
lo, hi = doc.header["$EXTMIN"], doc.header["$EXTMAX"]
check(doc.header["$INSUNITS"] == 4 and doc.header["$MEASUREMENT"] == 1, "millimetres, metric", out)
check(abs(lo[0] - 950) < 1e-6 and abs(hi[0] - 1000) < 1e-6 and abs(lo[1] - 500) < 1e-6 and abs(hi[1] - 600) < 1e-6,
      "extents of the rotated reference: %s %s" % (lo, hi), out)
view = doc.viewports.get("*Active")[0]
check(abs(view.dxf.center[0] - 975) < 1e-6 and abs(view.dxf.center[1] - 550) < 1e-6 and
      view.dxf.height * min(1, view.dxf.aspect_ratio) >= 100, "the view shows the content", out)
styles = doc.rootdict["ACAD_PLOTSTYLENAME"]
layer = doc.layers.get("0")
check(layer.dxf.lineweight == -3 and doc.entitydb[layer.dxf.plotstyle_handle] is styles["Normal"],
      "layer 0 names the Normal plot style", out)
p = subprocess.run([os.path.join(bin_dir(), "dxfcheck"), path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
check(p.returncode == 0 and b"entity * INSERT Unit1 0" in p.stdout, "dxflib reads the drawing", p.stderr.decode())

handle = inserts[0]["handle"]
listing_before = out[out.index("Select object: 1000,500"):out.index("Command: SAVEAS")]
rc2, out2, _ = run_cadhost("LIST\n#%s\nQUIT\n" % handle, machine=machine, drawing=path)
check(rc2 == 0, "reopen exit code %d" % rc2, out2)
listing_after = out2[out2.index("INSERT  handle"):out2.index("Command: QUIT")]
check("INSERT  handle %s" % handle in listing_before, "LIST before saving names handle %s" % handle, out)
check(listing_before[listing_before.index("INSERT"):] == listing_after,
      "same handle, geometry and extended data after reopening", out + out2)
check('1000 "%s"' % FULL in listing_after and "U.ID=43" not in listing_after,
      "the 255-byte item comes back whole; the refused data left the object as it was", out2)
print("ok")
