"""Guards the second half of Zephyr: after Import the exported unit is fetched from the
selector's server by its selection id (or the local "zephyr.xml" is taken), an answer that
is no unit brings the accept dialog back with a word, a bad unit file ends the command with
the reader's message and nothing inserted, and a whole run on the sample plant inserts the
unit with the picked demand in its extended data."""
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
    view of the saved drawing and the selection ids of the addresses the browser got."""
    work = tempfile.mkdtemp(dir=folder)
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
    addresses = read_text(record) if os.path.exists(record) else ""
    check(all(a.startswith(root + "/login/Ductora.jsp?") for a in addresses.splitlines()) if root else True,
          "the start page stands below the server address", addresses)
    kept = [n for n in os.listdir(work) if n.startswith("Zep")]  # downloads the reader was given
    return out, info, re.findall(r"&dcsid=([0-9A-F]{32})&", addresses), kept


def inserts(info):
    return [e for e in info["entities"] if e["type"] == "INSERT"]


# Offline: the download says so and the drawing keeps what it had.
out, info, ids, _ = session(["Zephyr"] + SKIP_ALL + ["*wait*", "click 1"], env={"ZEPHYR_OFFLINE": "1"})
check("Dialog: click 1\nError DownloadFile: There is no connection to internet\nCommand: QSAVE" in out,
      "no connection ends the command after the download's message", out)
check(inserts(info) == [] and selector.unit_requests() == [], "nothing is fetched or inserted", out)

# A zephyr.xml beside the main module is taken instead of a download; ZephyrFile's own
# file wins over it.
local = unit_copy("VH-RX-2500.xml", os.path.join(install, "zephyr.xml"))
chosen = unit_copy("VH-CX-1200.xml", os.path.join(folder, "chosen.xml"))
out, info, ids, _ = session(["Zephyr"] + SKIP_ALL + ["click 1", "3000,3000", "0", "no", "ZephyrFile", chosen, "9000,3000", "0", "no"])
os.remove(local)
check("Dialog: click 1\nZephyr: Local data '%s' used.\nZephyr: Air handling unit VH-RX-2500.\n" % local in out,
      "Zephyr reads the local file with a word", out)
check(out.count("Local data") == 1 and "Zephyr: Air handling unit VH-CX-1200.\n" in out,
      "ZephyrFile reads the chosen file", out)
check(len(inserts(info)) == 2 and selector.unit_requests() == [], "both units inserted, nothing downloaded", out)

# Bad unit files, then answers that are no unit (the dialog again; Close ends the fourth
# run), then a whole run that picks the four duct ends; the server address lacks its "/".
selector.answers = ["empty", "huge", "cut", "html", "page", "busy"]
bad_run = ["Zephyr"] + SKIP_ALL + ["*wait*", "click 1"]
out, info, ids, kept = session(bad_run * 4 + ["click 1", "close", "Zephyr", "rotary"] + PICK_ALL +
                               ["*wait*", "click 1", "click 1", "7000,3000", "0", "no"], root=selector.root[:-1])
runs = out.split("Command: Zephyr\n")[1:]
check(len(runs) == 5, "five runs", out)
check(selector.unit_requests() == ["/selector/temp/%s.XML" % i for i in ids[:3] + ids[3:4] * 2 + ids[4:] * 2],
      "each Import fetches the unit exported under its run's id: %s %s" % (selector.log, ids), out)
for run, why in zip(runs[:3], ("an empty answer", "a 50 MB answer", "an answer cut short")):
    message = run.split("Dialog: click 1\n")[1]
    check(re.fullmatch(r"\nZephyr: Failed to import data from Zephyr[^\n]*\n", message) is not None,
          "%s ends the command with the reader's message: %r" % (why, message), out)
check("document empty" in runs[0] and "larger than 16777216 bytes" in runs[1] and "(line " in runs[2],
      "the reader says what is wrong with the answer", out)
again = "\nDialog \"Zephyr %s\"\n" % VERSION_TEXT
for k, message in ((3, "Nothing has been exported for this selection yet: export the unit in the browser, then click "
                       "Import."),
                   (3, "The selector answered with a web page instead of the unit: see the browser, then click Import "
                       "again."),
                   (4, "The selector answered 503 instead of sending the unit: see the browser, then click Import "
                       "again.")):
    check("Dialog: click 1\nZephyr: %s%s" % (message, again) in runs[k], "named, then the dialog: %s" % message, out)
check(runs[3].endswith("Dialog: close\n") and len(kept) == 4,
      "Close ends the run; answers that are no unit are not kept (the reader's files are: %s)" % kept, out)

check("Zephyr: Air handling unit VH-CX-1200.\n" in runs[4], "the exported unit is read", out)
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
