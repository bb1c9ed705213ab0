"""Guards the selector's export end to end: the scripted browser logs in (also when the
password in the address splits the query), exports the best fit or a named unit and refuses
a unit that cannot serve; the selector serves the stored file and the model files as they
are; and ZephyrFile imports the export with the demand's airflows and pressures."""
import os
import subprocess
import urllib.request
import xml.etree.ElementTree as ET

from cadhost_run import bin_dir, check, ezdxf_read, run_cadhost
from selector_run import SELECTION_ID, Selector
from zephyr_setup import MODULES, project_drawing, settings, user_hive

SECOND_ID = "FEDCBA9876543210FEDCBA9876543210"
THIRD_ID = "00112233445566778899AABBCCDDEEFF"


def browse(*args):
    p = subprocess.run([os.path.join(bin_dir(), "selector_browser")] + list(args), stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=120)
    return p.returncode, p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace")


def fetch(url):
    opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
    with opener.open(url, timeout=30) as r:
        return r.read()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


sel = Selector()
# "se&cret=1" splits the query at "&": the selector reads the password "se" and asks for a login.
address = sel.address(email="anna@example.org", passw="se&cret=1")
rc, out = browse(address)
check(rc == 1 and "asks for a login" in out and "password is wrong" in out, "a split password asks for a login", out)
check(not os.path.exists(sel.temp_file()), "nothing exported without a login", out)
rc, out = browse("--email", "anna@example.org", "--password", "se&cret=1", address)
check(rc == 0 and "exported VH-CX-1200" in out, "the best fit is exported after the login", out)

stored = read_bytes(sel.temp_file())
unit = ET.fromstring(stored)
check(unit.findtext("UnitId") == "VH-CX-1200", "UnitId", stored)
for element, pressure in (("Supply", "250"), ("Extract", "220"), ("Outdoor", "80"), ("Exhaust", "90")):
    check(unit.findtext(element + "/Airflow") == "320.5" and unit.findtext(element + "/Pressure") == pressure,
          "%s carries the demand" % element, stored)
check([e.text for e in unit.findall("Supply/ExternalComponentID")] == ["VH-SIL-315", "VH-HTR-315"],
      "the supply's components in order", stored)
database_url = unit.findtext("ModelDatabaseFileUrl")
check(database_url == sel.root + "Ventholm_14a.tcdz", "the model database is the selector's own", database_url)
check(fetch(sel.root + "temp/%s.XML" % SELECTION_ID) == stored, "the export is served as stored")
check(fetch(database_url) == read_bytes(os.path.join(bin_dir(), "Ventholm_14a.tcdz")), "the model database is served")
check(fetch(sel.root + "Duratcd.ddtz") == read_bytes(os.path.join(bin_dir(), "Duratcd.ddtz")),
      "the model dictionary is served")

rc, out = browse("--unit", "VH-CX-1800", sel.address(dcsid=SECOND_ID))
check(rc == 0 and ET.parse(sel.temp_file(SECOND_ID)).getroot().findtext("UnitId") == "VH-CX-1800",
      "a named unit that serves is exported", out)
rc, out = browse("--unit", "VH-RX-2500", sel.address(dcsid=THIRD_ID))
check(rc == 1 and "VH-RX-2500 cannot serve this demand: it has a rotary heat exchanger" in out,
      "a unit that cannot serve is refused with its reason", out)
check(not os.path.exists(sel.temp_file(THIRD_ID)), "and nothing is exported", out)

# The CAD program imports the export.
folder, drawing = project_drawing()
rc, out, _ = run_cadhost("\n".join(["DUREGISTER", "ZephyrFile", sel.temp_file(), "4000,2000", "0", "no", "QSAVE", "QUIT"]),
                         loads=MODULES, drawing=drawing, user_reg=user_hive(settings(ServerRootURL=sel.root)))
check(rc == 0 and "Zephyr: Air handling unit VH-CX-1200." in out and "Zephyr: Supply duct component VH-SIL-315." in out,
      "ZephyrFile reads the export", out)
info = ezdxf_read(drawing)
check(not info["errors"], "ezdxf audit: %s" % info["errors"], out)
zeph = [e["xdata"]["ZEPH"] for e in info["entities"] if e["type"] == "INSERT" and "ZEPH" in e["xdata"]]
check(len(zeph) == 1, "one unit in the drawing", out)
items = dict(str(v).partition("=")[::2] for _, v in zeph[0])
check(items.get("U.ID") == "VH-CX-1200" and items.get("U.MODELDBURL") == database_url, "the unit's identity", items)
for key, pressure in (("SUP1", 250), ("EXT1", 220), ("OUT1", 80), ("EXH1", 90)):
    check(abs(float(items.get("C.%s.QV" % key, "nan")) - 320.5) < 0.01 and
          abs(float(items.get("C.%s.DP" % key, "nan")) - pressure) < 0.01,
          "C.%s carries the demand's airflow and pressure" % key, items)

rc = sel.stop()
check(rc == 0, "the selector stops cleanly on SIGTERM (exit %s)" % rc, sel.stderr)
log = sel.access_log()
for line in ("GET /selector/login/Ductora.jsp 200", "POST /selector/export 200",
             "GET /selector/temp/%s.XML 200" % SELECTION_ID, "GET /selector/Ventholm_14a.tcdz 200"):
    check(line in log, "the access log has %r" % line, log)
check("se&cret" not in log and "cret" not in log, "no password in the access log", log)
print("ok")
