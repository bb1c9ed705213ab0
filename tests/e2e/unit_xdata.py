"""Guards against unit data lost or cut when a drawing is saved and reopened: the unit's
extended data (a 1000-byte description among it) must come back whole through the
system's own reader, and ezdxf must see it as 1001/1000 groups."""
import os
from cadhost_run import run_cadhost, ezdxf_read, check

rc, out, machine = run_cadhost("\n".join([
    "LINE", "0,0", "100,0", "",
    "UNITXWRITE",
    "SAVEAS unit.dxf",
    "QUIT",
]), loads=["unitxdata_app.arx"])
check(rc == 0, "writing script exit code %d" % rc, out)
check("unitxdata: write 0" in out, "the unit was written", out)
path = os.path.join(machine, "unit.dxf")
check(os.path.exists(path), "the drawing was saved", out)

info = ezdxf_read(path)
check(not info["errors"], "ezdxf audit errors: %s" % info["errors"], out)
lines = [e for e in info["entities"] if e["type"] == "LINE"]
check(len(lines) == 1 and "ZEPH" in lines[0]["xdata"], "the line carries ZEPH data", out)
groups = lines[0]["xdata"]["ZEPH"]
check(all(code in (1000, 1002) for code, _ in groups), "only 1000 groups (and the host's 1002 "
      "brackets round a long item) after the 1001 group: %s" % groups[:3], out)
check(all(len(value) <= 255 for code, value in groups if code == 1000), "1000 groups within 255", out)
texts = [value for code, value in groups if code == 1000]
check(any(t.startswith("U.ID=VH-CX-1200") for t in texts), "U.ID seen by ezdxf", out)
check(any(t.startswith("C.SUP1.QV=1200.46") for t in texts), "airflow with two decimals", out)

handle = lines[0]["handle"]
rc2, out2, _ = run_cadhost("UNITXREAD\n#%s\nQUIT\n" % handle, loads=["unitxdata_app.arx"],
                           machine=machine, drawing=path)
check(rc2 == 0, "reading script exit code %d" % rc2, out2)
check("unitxdata: read 0 id VH-CX-1200 code CX1200 airflow 1200.46 handle 2F distance 950" in out2,
      "the record read back from the reopened drawing", out2)
check("unitxdata: description 1000 bytes, whole" in out2, "the long description comes back whole", out2)
print("ok")
