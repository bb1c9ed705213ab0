"""Guards against a Ductora that takes what the real application refuses, and against its
parts getting lost between sessions. One session sends, through the system's bridge, what
a careless client would: a duct of another shape than its serie, duct ends away from the
connection they name or of another size or system, a stub of no size, a package naming a
part that is not the part's own stub, a second duct on a joined connection; each is refused
with a reason that names what and where, in the journal as in the reply. Version numbers
beyond 16 bits are taken; erasing a part erases its stubs. The saved parts are entities of
their own class that ezdxf audits clean and whose proxy graphics its drawing add-on draws;
without Ductora they are saved back unchanged, with it they are read back as parts, picked
by a point on them, and unloading Ductora keeps them as they were."""
import os
import re
import tempfile

from cadhost_run import check, ezdxf_drawn, ezdxf_read, make_machine, run_cadhost
from zephyr_setup import read_text, remove_at_exit

LOADS = ["Ductora.arx", "dcobjects_app.arx"]
folder = remove_at_exit(tempfile.mkdtemp(prefix="ductora_checks_"))
drawing, log = os.path.join(folder, "checks.dxf"), os.path.join(folder, "checks.ductora.log")
machine = make_machine()


def custom(x):
    return ("<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID></System><Position><WCS>"
            "%d 0 0</WCS></Position><Direction><WCS>1 0 0</WCS></Direction><Normal><WCS>0 0 1</WCS></Normal></Part>"
            "</CreatePart>" % x)


def connection(x, dx, diameter=315):
    return ("<Connection><Position><WCS>%d 0 0</WCS></Position><Direction><WCS>%d 0 0</WCS></Direction><Normal><WCS>"
            "0 0 1</WCS></Normal><Shape><ID>0</ID></Shape><Diameter>%d</Diameter></Connection>" % (x, dx, diameter))


def stub(function, parent, connections):
    return ("<CreateConnectionStub><Function><Name>%s</Name></Function><ParentPart>%s</ParentPart><System><ID>3</ID>"
            "</System><Connections>%s</Connections></CreateConnectionStub>" % (function, parent, connections))


def duct(a, xa, b, xb, system=3, serie="DS-ROUND", size="<Shape><ID>0</ID></Shape><Diameter>315</Diameter>"):
    return ("<CreatePart><Part><Type><Define>EWAPART_DUCT</Define></Type><Connection><ConnectedTo>%s</ConnectedTo>"
            "<Position><WCS>%d 0 0</WCS></Position></Connection><Connection><ConnectedTo>%s</ConnectedTo><Position>"
            "<WCS>%d 0 0</WCS></Position></Connection><System><ID>%d</ID><Type><ID>0</ID></Type></System><Normal><WCS>"
            "0 0 1</WCS></Normal><Serie><ID>%s</ID></Serie>%s</Part></CreatePart>" % (a, xa, b, xb, system, serie, size))


def request(method, text, handle="", query=""):
    return ["DCREQUEST", method] + ([handle, query] if method == "SetString" else []) + [text]


def results(out):
    """(result, handle, error) of each DCREQUEST in order."""
    found = []
    for m in re.finditer(r"dcrequest: result (-?\d+) handle (\w*)\n(?:dcrequest: error ([^\n]*)\n)?", out):
        found.append((int(m.group(1)), m.group(2), m.group(3) or ""))
    return found


# ---- the parts a client makes: a unit U with a Fan stub F, a component C with a branch B ----
setup = ["DUREGISTER", "DUPROJECT", "System", "3", "0", "Supply air", "DUPROJECT", "System", "4", "1", "Extract air",
         "DUPROJECT", "System", "70000", "7", "2", "Exhaust air",
         "DUPROJECT", "Serie", "DS-ROUND", "Spiro", "250;315", "DUPROJECT", "Serie", "DS-RECT", "Rect", "400x200"]
made = request("CreatePart", custom(0)) + request("CreatePart", custom(2800))
rc, out, _ = run_cadhost("\n".join(setup + made + ["QSAVE", "QUIT"]), loads=LOADS, drawing=drawing, machine=machine)
(_, U, _), (_, C, _) = results(out)
check("Requires a whole number from 0 to 3." in out and
      '<System id="70000" typeId="2" name="Exhaust air" />' in read_text(drawing[:-4] + ".ductora.xml"),
      "a system type the project file cannot hold is asked again; a system id beyond 16 bits is taken", out)
rc, out, _ = run_cadhost("\n".join(request("CreateConnectionStub", stub("Fan", U, connection(1000, 1))) +
                                   request("CreateConnectionStub", stub("NBranch", C, connection(2300, -1) +
                                                                        connection(3300, 1))) + ["QSAVE", "QUIT"]),
                         loads=LOADS, drawing=drawing, machine=machine)
(_, F, _), (_, B, _) = results(out)
check(rc == 0 and all(h for h in (U, C, F, B)), "the parts are made", out)

# ---- what is refused, then what is taken ----
refused = [
    (duct(F, 1000, B, 2300, serie="DS-RECT"),
     'The duct serie "DS-RECT" is rectangular, the duct round 315 (/CreatePart/Part/Shape/ID).'),
    (duct(F, 1000, B, 2200),
     "End 2 of the duct is at 2200 0 0, not where %s is joined (2300 0 0; 3300 0 0) "
     "(/CreatePart/Part/Connection[2])." % B),
    (duct(F, 1000, B, 2300, serie="DS-ROUND", size="<Shape><ID>0</ID></Shape><Diameter>250</Diameter>"),
     "End 1 of the duct is round 250, the connection of %s it meets round 315 (/CreatePart/Part/Connection[1])." % F),
    (duct(F, 1000, B, 2300, system=4),
     "The duct is of system 4, %s at its end 1 of system 3 (/CreatePart/Part/Connection[1])." % F),
    (duct(U, 0, "", 500), "End 1 of the duct meets %s, a DURACustomPart; a duct joins connection stubs and duct ends "
                          "(/CreatePart/Part/Connection[1])." % U),
]
script = []
for text, _ in refused:
    script += request("CreatePart", text)
script += request("CreateConnectionStub", stub("Fan", U, connection(0, -1, 0)))
script += request("SetString", B, U, "/Part/Package/PartList")
script += request("SetString", F, U, "/Part/Package/PartList")
script += request("CreatePart", duct(F, 1000, B, 2300))
script += request("CreatePart", duct(F, 1000, "", 500))
script += ["DUPROJECT", "Version", "4294967296", "20110101", "ERASE", "#" + U, "DULIST", "QSAVE", "QUIT"]
rc, out, _ = run_cadhost("\n".join(script), loads=LOADS, drawing=drawing, machine=machine)
answers = results(out)
check(rc == 0 and len(answers) == len(refused) + 5, "every request answered", out)
D = answers[len(refused) + 3][1]
expected = [e for _, e in refused] + [
    "Connection 1 of the stub has no size: its <Diameter> must not be 0 "
    "(/CreateConnectionStub/Connections/Connection[1]).",
    "The package of %s cannot list %s: it is not a connection stub made on %s (/Part/Package/PartList)." % (U, B, U),
    "", "", "The connection of %s at 1000 0 0 is joined to the duct %s already (/CreatePart/Part/Connection[1])." % (F, D)]
check([a[2] for a in answers] == expected, "each refusal says what and where: %s" % answers, out)
check([a[0] != 0 for a in answers] == [e != "" for e in expected], "only the sound requests are taken", out)
journal = read_text(log)
for text in expected:
    check(not text or ('error="%s"' % text.replace('"', '\\"')) in journal, "the journal has the refusal: %s" % text)
check("Requires a whole number from 0 to 2147483647." in out and "\nVersion 20110101, open" in out,
      "a version beyond 16 bits is taken, one beyond 32 refused", out)
erased = {h: "(erased)" in re.search(r"\n  %s [^\n]*" % h, out).group(0) for h in (U, F, C, B, D)}
check('Erased handle="%s" -> 0 stubs="%s"' % (U, F) in journal and erased == {U: True, F: True, C: False, B: False,
                                                                              D: False},
      "the unit's erasing took its stub, not the duct: %s" % erased, out)

# ---- the saved parts: entities of their own class, drawn by other readers ----
info = ezdxf_read(drawing)
check(not info["errors"], "ezdxf audit: %s" % info["errors"])
parts = {e["handle"].upper(): e for e in info["entities"] if e["type"] == "DURAPART"}
check(sorted(parts) == sorted([C, B, D]), "the parts left are saved as DURAPART entities: %s" % sorted(parts))
shown = ezdxf_drawn(drawing)
check(all(shown.get(h, {}).get("lines", 0) > 0 for h in parts), "the drawing add-on draws every part: %s" % shown)
run_x = [shown[D]["min"][0], shown[D]["max"][0]]
check(abs(run_x[0] - 1000) < 1e-6 and abs(run_x[1] - 2300) < 1e-6 and abs(shown[D]["max"][1] - 157.5) < 1e-6,
      "the duct is drawn from the stub to the branch at its size: %s" % shown[D])
saved = read_text(drawing)
check(saved.count("CLASS\n  1\nDURAPART\n  2\nDURAPart\n  3\nDuctora\n") == 1, "its class is in CLASSES once")

# Without Ductora the parts are saved back as they were; with it they are parts again,
# picked by a point on them, and kept as they were when Ductora goes.
rc, out, _ = run_cadhost("QSAVE", drawing=drawing, machine=machine)
check(rc == 0 and read_text(drawing) == saved, "saved without Ductora, the drawing is unchanged", out)
rc, out, _ = run_cadhost("\n".join(["DULIST", "LIST", "1650,157.5", "ARXUNLOAD Ductora.arx", "QSAVE"]),
                         loads=LOADS, drawing=drawing, machine=machine)
listed = {h: re.search(r"\n  %s [^\n]*" % h, out) for h in (C, B, D)}
check(rc == 0 and all(m and "(erased)" not in m.group(0) for m in listed.values()) and
      ("DURAPART  handle %s" % D) in out, "read back, the parts are alive and the duct is picked", out)
check(read_text(drawing) == saved, "unloading Ductora keeps the parts as they were", out)
print("ok")
