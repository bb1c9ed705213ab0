"""Guards against crashes or silent acceptance on bad input: an unreadable drawing, a
missing module, script lines that the current prompt cannot use, Escape at prompts, a
menu file nested 200 000 deep, a pipe in place of a hive,
a script without line ends, and a script handed on to the programs the session starts."""
import os
import stat
import subprocess
import time
from cadhost_run import bin_dir, run_cadhost, make_machine, check

# A drawing that is not DXF: message, exit 1, script not run.
machine = make_machine()
bad = os.path.join(machine, "bad.dxf")
with open(bad, "w") as f:
    f.write("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\nnot-a-number\n  0\nENDSEC\n  0\nEOF\n")
rc, out, _ = run_cadhost("LINE\n0,0\n1,1\n\nQSAVE\n", machine=machine, drawing=bad)
check(rc == 1, "unreadable drawing exits 1 (got %d)" % rc, out)
check('Cannot open drawing' in out and "line 8" in out and "not a number" in out, "the reason with its line", out)
check("Command:" not in out, "the script did not run", out)
with open(bad) as f:
    check("not-a-number" in f.read(), "the bad drawing is left as it was", out)

# A missing module: exit 1.
rc, out, _ = run_cadhost("QUIT\n", loads=["no_such_module.arx"])
check(rc == 1, "missing module exits 1 (got %d)" % rc, out)
check("no_such_module.arx" in out, "the missing module is named", out)

# A file that is not a module.
machine = make_machine()
fake = os.path.join(machine, "fake.arx")
with open(fake, "w") as f:
    f.write("not an ELF file")
rc, out, _ = run_cadhost("QUIT\n", loads=[fake], machine=machine)
check(rc == 1 and "not an application module" in out, "a non-module is refused clearly", out)

# Bad lines at prompts: message and the prompt again; *cancel* ends the command.
script = "\n".join([
    "FROBNICATE",
    "CIRCLE", "abc", "1,2,3,4", "5,5", "x", "-2", "3",
    "INSERT", "NoSuchBlock",
    "LINE", "0,0", "*cancel*",
    "LIST", "500,500", "",
])
drawing = os.path.join(make_machine(), "new.dxf")
rc, out, _ = run_cadhost(script, drawing=drawing)
check(rc == 0, "bad lines do not end the session (exit %d)" % rc, out)
check('Unknown command "FROBNICATE".  Press F1 for help.' in out, "unknown command message", out)
check("Specify center point for circle: abc\nInvalid point.\nSpecify center point for circle: 1,2,3,4\nInvalid point.\n"
      "Specify center point for circle: 5,5\n" in out, "bad points are asked again", out)
check("Specify radius of circle: x\nRequires numeric value.\n" in out, "bad number asked again", out)
check("Value must be positive." in out, "negative radius refused", out)
check('Block "NoSuchBlock" not found.' in out, "unknown block named", out)
check("*Cancel*" in out, "Escape at a prompt", out)
check(not os.path.exists(drawing), "nothing saved unless told", out)

# A menu nested 200 000 deep in the program-data folder: refused unread, and the loader
# takes the menu beside it instead.
program_data = make_machine()
menu_folder = os.path.join(program_data, "Ventholm", "ZephyrDC Ductora plugin")
os.makedirs(menu_folder)
with open(os.path.join(menu_folder, "ZephyrDC.cuix"), "w") as f:
    f.write('<Menu name="Deep">' + "<a>" * 200000)
rc, out, _ = run_cadhost("MENU", loads=["Zephyr_Load_R20_x32.arx"], env={"PROGRAMDATA": program_data})
check(rc == 0, "the deep menu does not end the host (exit %d)" % rc, out)
check('Menu "Deep"' not in out and 'Menu "Zephyr"' in out, "the deep menu is refused, the loader's own taken", out)
# A script of 1 MB without a line end: the host reads at most 64 KB of one line and ends
# the input there (memory grew with the file before), and saves nothing.
machine = make_machine()
script_path = os.path.join(machine, "noline.scr")
with open(script_path, "wb") as f:
    f.write(b"LINE " + b"x" * (1024 * 1024))
p = subprocess.run([os.path.join(bin_dir(), "cadhost"), "--machine", machine, "--script", script_path],
                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
out = p.stdout.decode("utf-8", "replace")
check(p.returncode == 0, "an overlong line ends the session normally (exit %d)" % p.returncode, out[:2000])
check("input line is longer than 65536 bytes; input ends here" in out, "the overlong line is named", out[:2000])
check(len(out) < 200 * 1024, "the line is not echoed whole (%d bytes)" % len(out), out[:2000])

# The browser does not get the script's descriptor: it lists its open files.
machine = make_machine()
listing = os.path.join(machine, "fds.txt")
browser = os.path.join(machine, "browser.sh")
with open(browser, "w") as f:
    f.write('#!/bin/sh\nls -l /proc/$$/fd > "%s.part"; mv "%s.part" "%s"\n' % (listing, listing, listing))
os.chmod(browser, stat.S_IRWXU)
rc, out, machine = run_cadhost("HostAppBrowseA\nQUIT\n", loads=["hostapp_A.arx"], machine=machine,
                               env={"BROWSER": browser})
check("hostapp A: browser started" in out, "the browser is started", out)
for _ in range(200):
    if os.path.exists(listing):
        break
    time.sleep(0.05)
check(os.path.exists(listing), "the browser wrote its open files", out)
with open(listing) as f:
    fds = f.read()
check("script.scr" not in fds, "the script is not open in the browser:\n" + fds, out)

# A pipe in the place of the machine's hive is refused at once (the host waited on it for ever).
machine = make_machine()
os.mkfifo(os.path.join(machine, "system.reg"))
rc, out, _ = run_cadhost("DUREGISTER\nQUIT\n", loads=["Ductora.arx"], machine=machine, timeout=60)
check(rc == 0 and "system.reg: Invalid argument; it is left as it is" in out, "a pipe is no hive", out)
print("ok")
