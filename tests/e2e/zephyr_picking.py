"""Guards the first half of Zephyr on the sample plant: the heat-exchanger type, the duct
ends picked (others asked again, with a word for other Ductora parts and ends taken), the
address the browser gets (fourteen pairs, values unescaped), and the accept dialog's
Escape and Close ending the command with no download."""
import os
import re
import shutil
import subprocess
import tempfile

from cadhost_run import EZDXF_PYTHON, check, make_machine, run_cadhost, source_dir
from selector_fixture import LoopbackSelector, browser_command
from zephyr_setup import MODULES, VERSION_TEXT, after, remove_at_exit, settings, user_hive

EXAMPLES = os.path.join(source_dir(), "examples")
PASSWORD = "pa&ss=w0rd"
SUPPLY = "Select supply duct connection or press <Enter> to skip\n"
EXTRACT = "Select extract duct connection or press <Enter> to skip\n"

folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_picking_"))
drawing = os.path.join(folder, "plant.dxf")
project = os.path.join(folder, "plant.ductora.xml")
shutil.copy(os.path.join(EXAMPLES, "plant.dxf"), drawing)
shutil.copy(os.path.join(EXAMPLES, "plant.ductora.xml"), project)

# Two lines of the supply run become Ductora parts that are not duct ends: a duct, and a
# pathway connector of another type (entities carrying Ductora's data, as its parts do).
MARK_PARTS = """import ezdxf, sys
doc = ezdxf.readfile(sys.argv[1])
lines = list(doc.modelspace().query('LINE[layer=="M-SUPPLY"]'))[:2]
if 'DUCTORA' not in doc.appids:
    doc.appids.new('DUCTORA')
for line, (cls, kind) in zip(lines, [('DURAStraightDuct', 'EWAPART_DUCT'),
                                     ('DURAPathwayConnector', 'EWAPART_ENDCAP')]):
    line.set_xdata('DUCTORA', [(1000, cls), (1000, kind)])
doc.save()
print(' '.join(line.dxf.handle for line in lines))
"""
p = subprocess.run([EZDXF_PYTHON, "-c", MARK_PARTS, drawing], stdout=subprocess.PIPE, check=True)
duct, cap = p.stdout.decode().split()[:2]
with open(project, encoding="utf-8") as f:
    text = f.read()
text = text.replace("</Parts>", (
    '<Part handle="%s" class="DURAStraightDuct" type="EWAPART_DUCT" system="1" />\n'
    '<Part handle="%s" class="DURAPathwayConnector" type="EWAPART_ENDCAP" system="1" pressure="1" airflow="1" />\n'
    "</Parts>") % (duct, cap))
with open(project, "w", encoding="utf-8") as f:
    f.write(text)

selector = LoopbackSelector()
record = os.path.join(folder, "addresses.txt")
unit_file = os.path.join(EXAMPLES, "units", "VH-CX-1200.xml")
script = [
    "DUREGISTER",
    "Zephyr", "", "", "", "", "", "escape", "*wait*",
    "Zephyr", "o", "7000,6000", "#" + duct, "#" + cap, "2000,5000", "2000,5000", "2000,1000", "12000,5000",
    "12000,1000",
    "*wait*", "close",
    "Zephyr", "COUNTER", "*cancel*",
    "QUIT"]
machine = make_machine(user_hive(settings(ServerRootURL=selector.root, Password=PASSWORD)), parent=folder)
rc, out, _ = run_cadhost("\n".join(script), loads=MODULES, drawing=drawing, machine=machine,
                         env={"BROWSER": browser_command(record, selector, unit_file), "TMPDIR": folder})
selector.stop()
check(rc == 0, "exit code %d" % rc, out)
runs = out.split("Command: Zephyr\n")[1:]
check(len(runs) == 3, "three runs", out)

check(runs[0].startswith("<Cross>/Rotary/cOunter: \ncross\n" + SUPPLY + "\n"), "Enter chooses cross", out)
check("Wrong object" not in runs[0] and "Zephyr: starting internet browser.\nDialog \"Zephyr %s\"\n" % VERSION_TEXT
      in runs[0], "the browser starts and the accept dialog shows the version", out)

second = runs[1]
check(second.startswith("<Cross>/Rotary/cOunter: o\ncounter\n"), "o chooses counter", out)
check(second.count(SUPPLY) == 4, "the supply duct end is asked for until one is picked", out)
asked = second.split(SUPPLY)
check(asked[2] == "#%s\nWrong object selected.\n" % duct and asked[3] == "#%s\nWrong object selected.\n" % cap,
      "a Ductora part of another class or type is refused with a word", out)
check(asked[1] == "7000,6000\n", "an object Ductora does not know is asked again silently", out)
extract = second.split(EXTRACT)
check(len(extract) == 3 and extract[1] == "2000,5000\nZephyr: This duct end is already picked for the supply "
      "connection.\n", "the supply's duct end is refused for the extract, with a word", out)

third = runs[2]
check(third.startswith("<Cross>/Rotary/cOunter: COUNTER\ncounter\n"), "COUNTER chooses counter", out)
check(third.endswith(SUPPLY + "*cancel*\n*Cancel*\n\nZephyr: Can't get duct connection data from Ductora Cancelled\n"
                     "Command: QUIT\n"), "cancelling a pick ends the command with its report", out)

with open(record, encoding="utf-8") as f:
    addresses = f.read().splitlines()
check(len(addresses) == 2, "the browser is started once per run that gets so far: %s" % addresses, out)
pattern = re.escape(selector.root + "login/Ductora.jsp?lang=en&email=anna@example.org&passw=" + PASSWORD + "&hex=") + \
    r"(\w+)&supqv=(.*)&supdp=(.*)&exhqv=(.*)&exhdp=(.*)&outqv=(.*)&outdp=(.*)&extqv=(.*)&extdp=(.*)" \
    r"&dcsid=([0-9A-F]{32})&plugVers=200811"
found = [re.fullmatch(pattern, a) for a in addresses]
check(all(found), "fourteen pairs in order, the password unescaped: %s" % addresses, out)
check(found[0].groups()[:9] == ("cross",) + ("0.00",) * 8, "skipped connections send 0.00: %s" % addresses[0], out)
check(found[1].groups()[:9] == ("counter", "360.00", "250.00", "340.00", "90.00", "360.00", "80.00", "340.00",
                                "220.00"), "the picked duct ends' airflow and pressure: %s" % addresses[1], out)
check(found[0].group(10) != found[1].group(10), "each run has a selection id of its own", out)
check(after(runs[0], "Dialog: escape\n") == "Command: *wait*\nEvery program started through the shell has ended.\n" and after(runs[1], "Dialog: close\n") == "",
      "Escape and Close end the command without a word", out)
check(selector.unit_requests() == [], "no unit is downloaded: %s" % selector.log, out)
print("ok")
