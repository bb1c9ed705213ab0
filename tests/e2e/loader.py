"""Guards the start-up sequence: the loader's module lines and order, the menu from the
program-data folder or beside the loader, an install folder named like "x.arx.d", a
missing library stopping the sequence, and the commands of the main module appearing and
disappearing with it."""
import os
import shutil
import tempfile

from cadhost_run import bin_dir, check, run_cadhost

MODULES = ["tekcore.dll", "tekshape.dll", "tekpaint.dll", "teksolid.dll", "Zephyr_R20_x32.arx"]
LOADER = "Zephyr_Load_R20_x32.arx"

# Normal start: five module lines in order, the success line, and the three commands.
probe = "cwdprobe_%d.dxf" % os.getpid()
# ZephyrView without Ductora: its message box, then no settings.
rc, out, machine = run_cadhost("\n".join(["ZephyrView", "ok", "SAVEAS " + probe, "MENU"]),
                               loads=[LOADER], env={"PROGRAMDATA": None})
check(rc == 0, "exit code %d" % rc, out)
positions = [out.find("module: %s\n" % m) for m in MODULES]
check(all(p >= 0 for p in positions) and positions == sorted(positions), "module lines in order", out)
check("\nZephyr succesfully loaded.\n" in out, "success line", out)
check("Unknown command" not in out, "ZephyrView is a command", out)
saved = os.path.join(bin_dir(), probe)
check(os.path.exists(saved), "the main module's folder is the current directory", out)
os.remove(saved)
check('Menu "Zephyr" (%s)' % os.path.join(os.path.realpath(bin_dir()), "ZephyrDC.cuix") in out,
      "the menu beside the loader is loaded when PROGRAMDATA is unset", out)
check("Failed to load" not in out, "no menu failure", out)

# The menu in the machine-wide program-data folder wins.
program_data = tempfile.mkdtemp(prefix="programdata_")
menu_folder = os.path.join(program_data, "Ventholm", "ZephyrDC Ductora plugin")
os.makedirs(menu_folder)
shutil.copy(os.path.join(bin_dir(), "ZephyrDC.cuix"), menu_folder)
rc, out, _ = run_cadhost("MENU", loads=[LOADER], env={"PROGRAMDATA": program_data})
check(menu_folder in out.replace("\\", "/"), "the program-data menu is used", out)
shutil.rmtree(program_data)



def install(folder, names):
    """Copies the named files and the platform libraries the modules link into the folder."""
    for name in names + [n for n in os.listdir(bin_dir()) if n.startswith("lib") and ".so" in n]:
        shutil.copy(os.path.join(bin_dir(), name), folder)


# Installed in a folder whose name holds ".arx": the modules are told apart by their own
# file names, so the libraries load as libraries and the main module as an application.
parent = tempfile.mkdtemp(prefix="loader_folder_")
folder = os.path.join(parent, "x.arx.d")
os.makedirs(folder)
install(folder, [LOADER, "ZephyrDC.cuix"] + MODULES)
rc, out, _ = run_cadhost("MENU\nZephyrView", loads=[os.path.join(folder, LOADER)], env={"PROGRAMDATA": None})
check("\nZephyr succesfully loaded.\n" in out and "cannot load" not in out, "all five modules load", out)
check('Menu "Zephyr" (%s)' % os.path.join(os.path.realpath(folder), "ZephyrDC.cuix") in out,
      "the menu beside the loader in x.arx.d", out)
check("Unknown command" not in out, "the main module's commands are there", out)
shutil.rmtree(parent)

# A loader alone in a folder: no menu anywhere, and teksolid.dll missing.
alone = tempfile.mkdtemp(prefix="loader_alone_")
# The loader with three of the four libraries, and the platform libraries it links.
install(alone, [LOADER, "tekcore.dll", "tekshape.dll", "tekpaint.dll"])
rc, out, _ = run_cadhost("Zephyr", loads=[os.path.join(alone, LOADER)], env={"PROGRAMDATA": None})
check("Failed to load ZephyrDC.cuix" in out, "menu failure reported", out)
check(all("module: %s\n" % m in out for m in MODULES[:4]), "four module lines", out)
check("module: Zephyr_R20_x32.arx" not in out, "the main module is not tried", out)
expected = "cannot load dll-module <%s>" % (alone + "\\" + "TEKSOLID.DLL").upper()
check(expected in out, "library error with the upper-cased path", out)
check("Errors in modules - Application not loaded\n" in out, "sequence stopped", out)
check("succesfully loaded" not in out, "no success line", out)
check('Unknown command "ZEPHYR"' in out, "no commands without the main module", out)
shutil.rmtree(alone)
print("ok")
