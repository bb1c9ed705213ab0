"""Guards the second half of Zephyr: after Import the exported unit is fetched from the
selector's server by its selection id (or the local "zephyr.xml" is taken); an answer
that is no unit (nothing exported yet, a web page, another status) is named and the
accept dialog comes again, so Export then Import works in the same command, while Close
still ends it; a bad unit file ends the command with the reader's message and nothing
inserted; a whole run on the sample plant, with a server address that does not end in
"/", inserts the unit with the picked demand in its extended data."""
import os
import re
import shutil
import tempfile
import xml.etree.ElementTree as ET

from cadhost_run import check, ezdxf_read, make_machine, run_cadhost, source_dir
from selector_fixture import LoopbackSelector, browser_command, private_install
from zephyr_setup import VERSION_TEXT, read_text, remove_at_exit, settings, user_hive

EXAMPLES = os.path.join(source_dir(), "examples")
SKIP_ALL = ["", "", "", "", ""]  # Enter at the type prompt and at the four picks
PICK_ALL = ["2000,5000", "2000,1000", "12000,5000", "12000,1000"]

selector = LoopbackSelector()
folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_download_"))
install, modules = private_install()


def unit_copy(name, target):
    """An example unit file whose model database is on the loopback server."""
    tree = ET.parse(os.path.join(EXAMPLES, "units", name))
    tree.getroot().find("ModelDatabaseFileUrl").text = selector.model_url
    tree.write(target, encoding="UTF-8", xml_declaration=True)
    return target


def session(script, env=None, root=None):
    """Runs the script on a fresh copy of the sample plant; returns the transcript, ezdxf's
    view of the saved drawing and the addresses the browser got."""
    global last_work
    work = last_work = tempfile.mkdtemp(dir=folder)
    record = os.path.join(work, "addresses.txt")
    drawing = os.path.join(work, "plant.dxf")
    shutil.copy(os.path.join(EXAMPLES, "plant.dxf"), drawing)
    shutil.copy(os.path.join(EXAMPLES, "plant.ductora.xml"), work)
    run_env = {"BROWSER": browser_command(record, selector, os.path.join(EXAMPLES, "units", "VH-CX-1200.xml")),
               "TMPDIR": work}
    run_env.update(env or {})
    machine = make_machine(user_hive(settings(ServerRootURL=root or selector.root)), parent=work)
    rc, out, _ = run_cadhost("\n".join(["DUREGISTER"] + script + ["QSAVE", "QUIT"]), loads=modules,
                             drawing=drawing, machine=machine, env=run_env)
    check(rc == 0, "exit code %d" % rc, out)
    info = ezdxf_read(drawing)
    check(not info["errors"], "ezdxf audit: %s" % info["errors"], out)
    return out, info, read_text(record).splitlines() if os.path.exists(record) else []


def ids_of(addresses):
    return [re.search(r"&dcsid=([0-9A-F]{32})&", a).group(1) for a in addresses]


def inserts(info):
    return [e for e in info["entities"] if e["type"] == "INSERT"]


# Offline: the download says so and the drawing keeps what it had.
out, info, _ = session(["Zephyr"] + SKIP_ALL + ["*wait*", "click 1"], env={"ZEPHYR_OFFLINE": "1"})
check("Dialog: click 1\nError DownloadFile: There is no connection to internet\nCommand: QSAVE" in out,
      "no connection ends the command after the download's message", out)
check(inserts(info) == [] and selector.unit_requests() == [], "nothing is fetched or inserted", out)

# A zephyr.xml beside the main module is taken instead of a download; ZephyrFile's own
# file wins over it.
local = unit_copy("VH-RX-2500.xml", os.path.join(install, "zephyr.xml"))
chosen = unit_copy("VH-CX-1200.xml", os.path.join(folder, "chosen.xml"))
out, info, _ = session(["Zephyr"] + SKIP_ALL + ["click 1", "3000,3000", "0", "no", "ZephyrFile", chosen, "9000,3000", "0", "no"])
os.remove(local)
check("Dialog: click 1\nZephyr: Local data '%s' used.\nZephyr: Air handling unit VH-RX-2500.\n" % local in out,
      "Zephyr reads the local file with a word", out)
check(out.count("Local data") == 1 and "Zephyr: Air handling unit VH-CX-1200.\n" in out,
      "ZephyrFile reads the chosen file", out)
check(len(inserts(info)) == 2 and selector.unit_requests() == [], "both units inserted, nothing downloaded", out)

# Answers that are no unit: each is named in the designer's words and the accept dialog
# comes again with the picks kept; Close still ends the command.
selector.answers = ["html", "page", "busy"]
out, info, addresses = session(["Zephyr"] + SKIP_ALL + ["*wait*", "click 1", "click 1", "click 1", "close"])
dialog = "Dialog \"Zephyr %s\"\n" % VERSION_TEXT
asked = out.split(dialog)
check(len(asked) == 5, "the accept dialog is shown four times", out)
for text, message in zip(asked[1:4], (
        "Zephyr: Nothing has been exported for this selection yet: export the unit in the browser, then click Import.",
        "Zephyr: The selector answered with a web page instead of the unit: see the browser, then click Import again.",
        "Zephyr: The selector answered 503 instead of sending the unit: see the browser, then click Import again.")):
    check(text.endswith("click 1\n" + message + "\n"), "the answer is named: %s" % message, out)
check("Dialog: close\nCommand: QSAVE\n" in asked[4] and inserts(info) == [], "Close ends the command", out)
check(selector.unit_requests() == ["/selector/temp/%s.XML" % ids_of(addresses)[0]] * 3,
      "each Import fetches the selection's unit: %s" % selector.log, out)
check(not [n for n in os.listdir(last_work) if n.startswith("Zep")],
      "answers that are no unit are not kept", out)
selector.log.clear()

# Bad unit files end the command, then a whole run that picks the four duct ends and is
# told at its first Import that nothing is exported yet. The server address has no "/" at
# its end: every address below it still takes exactly one.
selector.answers = ["empty", "huge", "cut", "html"]
bad_run = ["Zephyr"] + SKIP_ALL + ["*wait*", "click 1"]
out, info, addresses = session(bad_run * 3 + ["Zephyr", "rotary"] + PICK_ALL +
                               ["*wait*", "click 1", "click 1", "7000,3000", "0", "no"],
                               root=selector.root.rstrip("/"))
ids = ids_of(addresses)
runs = out.split("Command: Zephyr\n")[1:]
check(len(runs) == 4, "four runs", out)
check(all(a.startswith(selector.root + "login/Ductora.jsp?lang=") for a in addresses),
      "the browser gets the start page below the server address: %s" % addresses, out)
check(selector.unit_requests() == ["/selector/temp/%s.XML" % i for i in ids + ids[-1:]],
      "each run fetches the unit exported under its own id: %s %s" % (selector.log, ids), out)
for run, why in zip(runs[:3], ("an empty answer", "a 50 MB answer", "an answer cut short")):
    message = run.split("Dialog: click 1\n")[1]
    check(re.fullmatch(r"\nZephyr: Failed to import data from Zephyr[^\n]*\n", message) is not None,
          "%s ends the command with the reader's message: %r" % (why, message), out)
check("document empty" in runs[0] and "larger than 16777216 bytes" in runs[1] and "(line " in runs[2],
      "the reader says what is wrong with the answer", out)

check("Zephyr: Nothing has been exported for this selection yet" in runs[3] and
      "Zephyr: Air handling unit VH-CX-1200.\n" in runs[3], "the second Import reads the exported unit", out)
units = inserts(info)
check(len(units) == 1, "only the whole run inserts a unit: %s" % units, out)
items = dict(v.partition("=")[::2] for code, v in units[0]["xdata"].get("ZEPH", []) if code == 1000)
check(items.get("U.ID") == "VH-CX-1200", "the unit's data is on its reference: %s" % items, out)
for key, airflow, pressure in (("SUP1", 360, 250), ("EXT1", 340, 220), ("OUT1", 360, 80), ("EXH1", 340, 90)):
    check(abs(float(items.get("C.%s.QV" % key, "nan")) - airflow) < 0.01 and
          abs(float(items.get("C.%s.DP" % key, "nan")) - pressure) < 0.01,
          "C.%s carries the picked duct end's demand: %s" % (key, items), out)
check("/selector/Duratcd.ddtz" in selector.log and "/selector/models/Ventholm_14a.tcdz" in selector.log,
      "the model files come from the server", out)
selector.stop()
print("ok")
