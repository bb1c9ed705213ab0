"""Guards the unit's Ductora objects against a server that refuses a step: with the
project's refusal rules (DUPROJECT Refuse), one session refuses each kind of request
and query DCOBJECTS sends, and then each of its calls in turn ("#N"). Every refusal is
reported in the system's words with Ductora's reason, nothing refused enters the project,
and after the drawing's save the project reads back and agrees with the drawing: each of
its parts is an entity carrying Ductora's data, each drawn block exists."""
import os
import re
import shutil
import tempfile
import xml.etree.ElementTree as ET

from cadhost_run import check, ezdxf_read, make_machine, run_cadhost, source_dir
from zephyr_setup import MODULES, read_text, remove_at_exit, settings, user_hive

UNIT = os.path.join(source_dir(), "examples", "units", "VH-CX-1200.xml")
LOADS = MODULES + ["dcobjects_app.arx"]
REFUSED = "Ductora refuses this call, as its project asks (refuse rule \"%s\")."

# A rule for each kind of call DCOBJECTS makes, and the message the system gives for it.
NAMED = [
    ("CreatePart EWAPART_CUSTOM #1", "Zephyr: Can't create custom object " + REFUSED),
    ("SetString /Part/Geometry/Source[0]/Block/Name", "Zephyr: Can't create custom object " + REFUSED),
    ("CreatePart EWAPART_CUSTOM #2", "Zephyr: Can't create custom object " + REFUSED),
    ("AllocBinary #1", "Zephyr: Can't create custom object " + REFUSED),
    ("WriteBinary #2", "Zephyr: Can't create custom object " + REFUSED),
    ("SetNumber /Part/Geometry/Source[0]/gm_model/binvar #1", "Zephyr: Can't create custom object " + REFUSED),
    ("FreeBinary #1", "Zephyr: Can't create custom object " + REFUSED),
    ("SetString /Part/Geometry/Linetypedef[0] #1", "Zephyr: Can't set line type definitions to part " + REFUSED),
    ("CreateConnectionStub Fan #2", "Zephyr: Failed to create duct connections Can't create duct connection " + REFUSED),
    ("SetString /Part/Package/PartList #1", "Zephyr: Failed to create duct connections Can't clear Ductora product "
                                            "package"),
    ("SetString /Part/Package/PartList #2", "Zephyr: Failed to create duct connections Can't create Ductora product "
                                            "package"),
    ("SetString /Part/Package/Behaviour/MOVE #1", "Zephyr: Failed to create duct connections Can't set Ductora product "
                                                  "package MOVE bahaviour"),
    ("GetString /Part/Package/PartList #1", "Zephyr: Failed to create nbrunch Can't get Ductora product package"),
    ("CreateConnectionStub NBranch #1", "Zephyr: Failed to create nbrunch Can't create nbrunch " + REFUSED),
    ("CreatePart EWAPART_DUCT #1", "Zephyr: Failed to create pipe " + REFUSED),
]
# Refused calls whose failure the system takes as an answer, without a message: the check
# whether the unit is already a custom part.
SILENT = {("GetString", "/Part/Type/Define")}


def journal(path):
    """(method, arguments text, result, error text) of each journal line."""
    calls = []
    for line in read_text(path).splitlines():
        head, _, tail = line.partition(" -> ")
        method, _, args = head.partition(" ")
        m = re.match(r"(-?\d+)(.*)", tail)
        error = re.search(r' error="((?:[^"\\]|\\.)*)"$', tail)
        calls.append((method, args, int(m.group(1)) if m and method != "LastError" else 0,
                      error.group(1).replace('\\"', '"') if error else ""))
    return calls


def counted(calls):
    return [c for c in calls if c[0] not in ("Version", "LastError", "DrawingSaved")]


folder = remove_at_exit(tempfile.mkdtemp(prefix="ductora_refusals_"))
for name in ("plant.dxf", "plant.ductora.xml"):
    shutil.copy(os.path.join(source_dir(), "examples", name), folder)
drawing, project, log = (os.path.join(folder, n) for n in ("plant.dxf", "plant.ductora.xml", "plant.ductora.log"))
machine = make_machine(user_hive(settings()), parent=folder)


def scenario(k, rule):
    """One unit placed far from the others, the rule set, its objects made."""
    point = "%d,30000" % (20000 + 10000 * k)
    return (["DUPROJECT", "Refuse", "none", "ZephyrFile", UNIT, point, "90", "no", "DUPROJECT", "Refuse", rule,
             "DCOBJECTS", point, UNIT, "1", "1", "2", "4", "3", "", "DS-ROUND", "", "MARK%d" % k])


# A first run without refusals counts the calls DCOBJECTS makes.
rc, out, _ = run_cadhost("\n".join(["DUREGISTER"] + scenario(0, "none") + ["QUIT"]), loads=LOADS, drawing=drawing,
                         machine=machine)
check(rc == 0 and "dcobjects: result 0" in out and "\nZephyr: Can't" not in out, "a run without refusals", out)
calls = journal(log)
# The import's own project queries (its readiness check, the dialog flow's duct series) end
# before DCOBJECTS starts; DCOBJECTS asks only about parts.
ready = max(i for i, c in enumerate(calls) if "/Project/" in c[1])
total = len(counted(calls[ready + 1:]))
check(total > 30, "DCOBJECTS makes its calls: %d" % total, out)
os.remove(log)

rules = [rule for rule, _ in NAMED] + ["#%d" % n for n in range(1, total + 1)]
script = ["DUREGISTER"]
for k, rule in enumerate(rules, 1):
    script += scenario(k, rule)
rc, out, _ = run_cadhost("\n".join(script + ["DUPROJECT", "Refuse", "none", "QSAVE", "QUIT"]), loads=LOADS,
                         drawing=drawing, machine=machine, timeout=600)
check(rc == 0, "exit code %d" % rc, out)
sections = re.split(r'Unknown command "MARK\d+"', out)
check(len(sections) == len(rules) + 1, "every scenario ran", out)

# Each refused call of the journal, in scenario order.
refusals = [c for c in journal(log) if c[2] == 10]
check(len(refusals) >= len(rules), "each rule refused a call: %d of %d" % (len(refusals), len(rules)))
for k, (rule, message) in enumerate(NAMED):
    expected = message % rule if "%s" in message else message
    check(expected + "\n" in sections[k], "%s: the system says \"%s\"" % (rule, expected), sections[k])
for k in range(len(NAMED), len(rules)):
    section, rule = sections[k], rules[k]
    refused = [c for c in refusals if c[3] == REFUSED % rule]
    check(len(refused) == 1, "%s refuses one call" % rule, section)
    method, args = refused[0][0], refused[0][1]
    query = re.search(r'query="([^"]*)"', args)
    check("dcobjects: result 0" in section, "%s: the walk goes on to its end" % rule, section)
    if (method, query.group(1) if query else "") in SILENT:
        continue
    tail = section[section.rfind("Command: DCOBJECTS"):]
    check(re.search(r"\nZephyr: (Can't|Failed)[^\n]*\n", tail), "%s (%s) is reported" % (rule, method), tail)

# Nothing refused was made; what was made is in the saved drawing, drawn and alive.
parts = {p.get("handle"): p for p in ET.parse(project).getroot().iter("Part")}
created = set(re.findall(r'-> 0 handle="(\w+)"', read_text(log)))
check(created <= set(parts), "every part Ductora made is in the saved project")
check(set(parts) - created == {"89", "8A", "8B", "8C"}, "and nothing else but the plant's duct ends: %s"
      % sorted(set(parts) - created))
info = ezdxf_read(drawing)
check(not info["errors"], "ezdxf audit: %s" % info["errors"])
entities = {e["handle"].upper(): e for e in info["entities"]}
check(all(h in entities and entities[h]["xdata"].get("DUCTORA", [[0, ""]])[0][1] == p.get("class")
          for h, p in parts.items()), "every part of the project is an entity with its Ductora data")
rc, out, _ = run_cadhost("DULIST", loads=["Ductora.arx"], drawing=drawing, machine=machine)
check(rc == 0 and "cannot be read" not in out and "(erased)" not in out and
      ("Parts: %d\n" % len(parts)) in out, "the saved project reads back whole", out)
print("ok")
