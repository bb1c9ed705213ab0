"""Guards against a Ductora stand-in whose registration, duct ends or project file do not
survive a session: DUREGISTER, DUPROJECT, DUCTEND, DULIST, save, and a second session on
the saved drawing; against a project written apart from its drawing (it is written when
the drawing is saved, and only then); and against a project file beside the drawing that
crashes the host (nested deep behind "/>" in values) or is refused for its comments."""
import os
import tempfile
import xml.etree.ElementTree as ET
from cadhost_run import run_cadhost, make_machine, ezdxf_read, check
from zephyr_setup import remove_at_exit

work = remove_at_exit(tempfile.mkdtemp(prefix="ductora_e2e_"))
drawing = os.path.join(work, "plant.dxf")
project = os.path.join(work, "plant.ductora.xml")
journal = os.path.join(work, "plant.ductora.log")
machine = make_machine()

rc, out, _ = run_cadhost("\n".join([
    "DUREGISTER",
    "DUPROJECT", "System", "3", "0", "Supply air",
    "DUPROJECT", "System", "4", "1", "Extract air",
    "DUPROJECT", "Serie", "SR", "Spiro", "100;125;160",
    "DUCTEND", "1000,2000", "3", "120", "350",
    "DUCTEND", "3000,2000", "99", "10", "10",
    "DULIST",
    "QSAVE",
    "QUIT",
]), loads=["Ductora.arx"], drawing=drawing, machine=machine)
check(rc == 0, "exit code %d" % rc, out)
check("DuraComSrv.Drawing and DuraComSrv.Ductora are installed." in out, "classes installed", out)
check("The project has no system 99." in out, "a duct end of an unknown system is refused", out)
with open(os.path.join(machine, "system.reg"), encoding="utf-8") as f:
    hive = f.read()
check("[HKEY_LOCAL_MACHINE\\Software\\Classes\\DuraComSrv.Ductora\\CLSID]" in hive, "class key in system.reg", hive)

root = ET.parse(project).getroot()
parts = root.findall("./Parts/Part")
check(len(parts) == 1, "one duct end in the project", out)
end = parts[0]
check(end.get("class") == "DURAPathwayConnector" and end.get("type") == "EWAPART_UNTYPEDFITTING",
      "duct end class and type", out)
check(end.get("system") == "3" and end.get("pressure") == "120" and end.get("airflow") == "350",
      "duct end values", out)
check([s.get("name") for s in root.findall("./Ductwork/System")] == ["Supply air", "Extract air"], "systems", out)
handle = end.get("handle")
check(("duct end %s created" % handle) in out, "the handle is announced", out)

info = ezdxf_read(drawing)
check(not info["errors"], "ezdxf audit: %s" % info["errors"], out)
points = [e for e in info["entities"] if e["handle"].upper() == handle]
check(len(points) == 1 and points[0]["type"] == "DURAPART" and points[0]["proxy"] == ["POINT"] and
      points[0]["extents"][0] == [1000, 2000, 0], "the duct end is a part of the drawing, shown as a point: %s"
      % points, out)
check("DUCTORA" in points[0]["xdata"], "the part carries DUCTORA extended data", out)

with open(journal, encoding="utf-8") as f:
    lines = f.read().splitlines()
check(any(l.startswith("AddDuctEnd position=1000,2000,0 system=3") and l.endswith('-> 0 handle="%s"' % handle)
          for l in lines), "journal line of the duct end", "\n".join(lines))

# A session that changes the project but does not save the drawing leaves both files as
# they were; its journal keeps what happened.
with open(project, encoding="utf-8") as f:
    saved = f.read()
rc, out, _ = run_cadhost("\n".join(["DUCTEND", "5000,2000", "4", "80", "100", "DULIST"]), loads=["Ductora.arx"],
                         drawing=drawing, machine=machine)
check(rc == 0 and "changed since saved" in out, "an unsaved change is shown", out)
with open(project, encoding="utf-8") as f:
    check(f.read() == saved, "the project is written only with the drawing", out)
with open(journal, encoding="utf-8") as f:
    check("AddDuctEnd position=5000,2000,0 system=4" in f.read(), "the journal has the unsaved call", out)

# A second session on the saved drawing finds the same part alive; SAVEAS takes the
# project along to the drawing's new name.
copy = os.path.join(work, "copy.dxf")
rc, out, _ = run_cadhost("\n".join([
    "DULIST",
    "DUPROJECT", "Applicationobject", "Off",
    "DULIST",
    "QSAVE",
    "SAVEAS " + copy,
]), loads=["Ductora.arx"], drawing=drawing, machine=machine)
check(rc == 0, "exit code %d" % rc, out)
check(("  %s DURAPathwayConnector EWAPART_UNTYPEDFITTING system 3 pressure 120 Pa airflow 350 l/s\n" % handle) in out,
      "the duct end is listed after reload", out)
check("(erased)" not in out, "the duct end's entity is still in the drawing", out)
check("drawing object on, application object off" in out, "the application object is switched off", out)
check(ET.parse(project).getroot().find("Server").get("applicationObject") == "0", "switch saved", out)
check(len(ET.parse(project).getroot().findall("./Parts/Part")) == 1, "the unsaved duct end never reached the project")
check(ET.parse(os.path.join(work, "copy.ductora.xml")).getroot().find("Server").get("applicationObject") == "0",
      "SAVEAS writes the project beside the new drawing", out)

# Erasing the duct end's entity in the drawing: Ductora no longer counts it as alive.
rc, out, _ = run_cadhost("\n".join(["ERASE", "#" + handle, "DULIST"]), loads=["Ductora.arx"], drawing=drawing,
                         machine=machine)
check(rc == 0, "exit code %d" % rc, out)
check(("  %s DURAPathwayConnector" % handle) in out and "(erased)" in out, "the erased duct end is marked", out)

# Comments ahead of the project are no nesting: the project still reads.
with open(project, encoding="utf-8") as f:
    saved = f.read()
noted = saved.replace("?>", "?>" + "<!-- a note -->" * 20, 1)
check(noted != saved, "the saved project starts with a declaration", saved)
with open(project, "w", encoding="utf-8") as f:
    f.write(noted)
rc, out, _ = run_cadhost("DULIST", loads=["Ductora.arx"], drawing=drawing, machine=machine)
check(rc == 0 and "cannot be read" not in out, "a project behind 20 comments is read (exit %d)" % rc, out)
check(("  %s DURAPathwayConnector" % handle) in out, "its duct end is listed", out)

# A crafted project nested 100 000 deep behind "/>" in its values: refused, not parsed.
crafted = '<?xml version="1.0"?>' + '<a x="/>">' * 100000
with open(project, "w", encoding="utf-8") as f:
    f.write(crafted)
rc, out, _ = run_cadhost("DULIST", loads=["Ductora.arx"], drawing=drawing, machine=machine)
check(rc == 0, "the host survives the crafted project (exit %d)" % rc, out)
check("The Ductora project file %s cannot be read: the file is nested too deeply to be a Ductora project."
      % project in out, "the crafted project is refused in Ductora's words", out)
with open(project, encoding="utf-8") as f:
    check(f.read() == crafted, "the unreadable project is left as it was", out)
print("ok")
