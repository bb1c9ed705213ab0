"""Guards the readiness check: each way Ductora is not ready is named, shown in a box, and ends the command first."""
import os

from cadhost_run import check, make_machine, run_cadhost
from zephyr_setup import DUCTORA, LOADER, MODULES, VERSION_TEXT, after, project_drawing

NO_SYSTEMS = "Ductora systems can not be found. Please, open Ductora project."
TOO_OLD = "Ductora version 2008.5 or newer is required."


def refused(text, register=True, loads=MODULES, machine=None, **project):
    """Runs Zephyr and ZephyrFile on a drawing with the given project and checks that each
    prints the text, shows it in a warning box and ends there."""
    folder, drawing = project_drawing(**project)
    script = ("DUREGISTER\n" if register else "") + "Zephyr\nok\nZephyrFile\nok\nQUIT"
    rc, out, _ = run_cadhost(script, loads=loads, drawing=drawing, machine=machine or make_machine(parent=folder))
    check(rc == 0, "exit code %d" % rc, out)
    for command in ("Zephyr", "ZephyrFile"):
        expected = ('\nZephyr: %s\nMessage box "Zephyr %s"\nWarning: %s\nAnswer (ok): ok\nCommand: '
                    % (text, VERSION_TEXT, text))
        check(after(out, "Command: %s\n" % command).startswith(expected),
              "%s: \"%s\" printed, in a message box, then the command ends" % (command, text), out)
    # The registry holds no settings: reaching them would say so.
    check("Registry settings is missing" not in out, "the check comes before the settings", out)
    return out


# No classes installed: Ductora runs, but DUREGISTER was never run on this machine.
refused("Could not find DuraComSrv.Drawing installed", register=False)

# Installed, but Ductora is not loaded in this session.
folder, drawing = project_drawing()
machine = make_machine(parent=folder)
rc, out, _ = run_cadhost("DUREGISTER", loads=[DUCTORA], drawing=drawing, machine=machine)
check(rc == 0 and "are installed" in out, "classes installed", out)
refused("Could not get running instance of DuraComSrv.Drawing", register=False, loads=[LOADER], machine=machine)

# One of the two running objects switched off in the project.
refused("Could not get running instance of DuraComSrv.Drawing", drawing_object=False)
refused("Could not get running instance of DuraComSrv.Ductora", application_object=False)

# Too old a Ductora: the version text is the one the commands ask for.
refused(TOO_OLD, version=20080104)
refused(TOO_OLD, version=2005087)

# A project without systems, and a closed project.
refused(NO_SYSTEMS, systems=[])
refused(NO_SYSTEMS, open_=False)

# The oldest Ductora that will do, with one system: the check passes and the commands go
# on to the settings (which this machine does not have).
folder, drawing = project_drawing(version=20080105, systems=[(7, 0, "Supply air")], series=[])
rc, out, _ = run_cadhost("DUREGISTER\nZephyr\nZephyrFile\nQUIT", loads=MODULES, drawing=drawing,
                         machine=make_machine(parent=folder))
check(rc == 0, "exit code %d" % rc, out)
check("Message box" not in out, "no warning for a ready Ductora", out)
for command in ("Zephyr", "ZephyrFile"):
    check(after(out, "Command: %s\n" % command).startswith("Registry settings is missing: ServerRootURL"),
          "%s goes on to the settings" % command, out)
journal = os.path.join(folder, "plant.ductora.log")
with open(journal, encoding="utf-8") as f:
    lines = f.read().splitlines()
counts = [l for l in lines if "Count(/Project/Ductwork/System)" in l]
check(len(counts) == 2 and all(" -> 0" in l for l in counts), "one systems count per command", "\n".join(lines))
print("ok")
