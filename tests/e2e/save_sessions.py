"""Guards against saves that cost a session's work: a second session on a drawing that
saved over the first one's save, a save over a file changed on disk, SAVEAS onto a name
whose Ductora project loaded that old project over the session's, a drawing opened at the
top of the handle range that saved into one the host refused, saves that deleted the
user's files named like temporaries, a save that replaced the link the drawing was opened
through, and a FIFO in the project's place that hung the host."""
import os
import re
import shutil
import stat
import subprocess
import time

from cadhost_run import bin_dir, check, make_machine, run_cadhost, source_dir

machine = make_machine(user_reg="Windows Registry Editor Version 5.00\n")
drawing, project = (os.path.join(machine, "plant" + x) for x in (".dxf", ".ductora.xml"))
for name in ("plant.dxf", "plant.ductora.xml"):
    shutil.copy(os.path.join(source_dir(), "examples", name), machine)
dead = subprocess.Popen(["true"])
dead.wait()
theirs = ["plant.dxf.tmp12", "plant.dxf.tmp12-abcdef", ".user.reg.backup", "user.reg.tmp7"]
for name in theirs + [".plant.dxf.saving-%d-abcdefgh" % dead.pid]:
    with open(os.path.join(machine, name), "w") as f:
        f.write("the user's own")


def feed(p, script_lines, ready):
    """Gives a session that stays open more lines, and waits until it has done them."""
    p.stdin.write(("\n".join(script_lines) + "\n").encode())
    p.stdin.flush()
    for _ in range(600):
        if ready():
            return p
        time.sleep(0.1)
    check(False, "a session does its work")


def start(script_lines, ready=lambda: os.path.exists(drawing + ".lock")):
    return feed(subprocess.Popen([os.path.join(bin_dir(), "cadhost"), "--machine", machine, "--load", "Ductora.arx",
                                  "--load", "hostapp_B.arx", "--script", "-", drawing], cwd=machine,
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT),
                script_lines, ready)


def finish(p, script_lines):
    out, _ = p.communicate(("\n".join(script_lines) + "\n").encode(), timeout=300)
    return out.decode()


def count(path, text):
    return open(path).read().count(text) if os.path.exists(path) else 0


# Two sessions: the second opens read-only, keeps its own project and saves only under
# another name, while the first saves as often as it likes.
parts = count(project, "<Part ")
first = start(["DUCTEND", "1000,2000", "1", "100", "200"])
second = start(["DUREGISTER"], lambda: count(os.path.join(machine, "system.reg"), "DuraComSrv") > 0)
feed(first, ["QSAVE"], lambda: count(project, "<Part ") == parts + 1)
out = finish(second, ["DULIST", "DUCTEND", "2000,2000", "1", "100", "200", "QSAVE", "SAVEAS copy.dxf", "LINE", "0,0",
                      "1,1", "", "QSAVE", "QUIT"])
check("is opened read-only, since it is open in another session: cadhost process %d" % first.pid in out,
      "the second session says the drawing is read-only and who has it", out)
check("Cannot save the drawing: %s was opened read-only" % drawing in out and out.count("Drawing saved as") == 2,
      "QSAVE is refused, SAVEAS and QSAVE of the copy work", out)
check("(erased)" not in out and count(os.path.join(machine, "copy.ductora.xml"), "<Part ") == parts + 1,
      "the second session keeps its own project, not the one the first saved", out)
out = finish(first, ["HostAppSettingB", "first", "QSAVE", "QUIT"])
check(out.count("Drawing saved as %s" % drawing) == 2 and "setting written" in out, "the first session saves", out)
check(not os.path.exists(drawing + ".lock"), "the lock goes with its session")

# A file changed on disk since it was opened is not overwritten; SAVEAS keeps the session's work.
# The setting is written once the session has read the drawing, not when it takes the lock.
session = start(["LINE", "0,0", "2,2", "", "HostAppSettingB", "opened"],
                lambda: count(os.path.join(machine, "user.reg"), "opened") > 0)
with open(drawing, "a") as f:
    f.write("\n")
out = finish(session, ["QSAVE", "SAVEAS mine.dxf", "QUIT"])
check("was changed on disk since this session opened it" in out and "Drawing saved as mine.dxf" in out,
      "the save over the changed file is refused, SAVEAS works", out)
check(open(drawing).read().endswith("EOF\n\n"), "the changed file stands", out)

# SAVEAS onto a name whose project exists carries the session's project there.
old = os.path.join(machine, "old.ductora.xml")
with open(old, "w") as f:
    f.write('<?xml version="1.0"?>\n<DuctoraProject version="20110101"/>\n')
rc, out, _ = run_cadhost("SAVEAS old.dxf\nDULIST\n", loads=["Ductora.arx"], drawing=os.path.join(machine, "mine.dxf"),
                         machine=machine)
check("(erased)" not in out and open(old).read() == open(os.path.join(machine, "mine.ductora.xml")).read(),
      "the session's project went along", out)

# The user's files named like temporaries stay; a dead save's temporary goes.
left = sorted(n for n in os.listdir(machine) if ".tmp" in n or ".saving-" in n or n.startswith(".user"))
check(left == sorted(theirs), "only the dead save's temporary was removed: %s" % left)

# A drawing opened through a symbolic link is saved into the file the link names.
real = os.path.join(machine, "real", "plant.dxf")
os.mkdir(os.path.dirname(real))
os.rename(drawing, real)
os.symlink(os.path.join("real", "plant.dxf"), drawing)
lines = open(real).read().count("\nLINE\n")
rc, out, _ = run_cadhost("LINE\n7,7\n8,8\n\nQSAVE\n", machine=machine, drawing=drawing)
check(os.path.islink(drawing) and open(real).read().count("\nLINE\n") == lines + 1 and
      os.listdir(os.path.dirname(real)) == ["plant.dxf"], "the link stays and its file has the save", out)

# A FIFO in the project's place is refused, not waited on.
fifo = os.path.join(machine, "pipe.ductora.xml")
os.mkfifo(fifo)
rc, out, _ = run_cadhost("DULIST\nQSAVE\n", loads=["Ductora.arx"], drawing=os.path.join(machine, "pipe.dxf"),
                         machine=machine, timeout=60)
check("cannot be read: it is not a plain file" in out and "Drawing saved" in out and
      stat.S_ISFIFO(os.stat(fifo).st_mode), "the FIFO is refused and left as it is", out)

# Handles: a drawing at the top of the range opens, saves and opens again, and a new object
# past the limit is refused with a line; one that would run out of handles is refused at open.
top = os.path.join(machine, "top.dxf")
text = open(os.path.join(machine, "copy.dxf")).read()
text = re.sub(r"(\n  0\nLINE\n  5\n)[0-9A-F]+", r"\g<1>3FFFFFFFFFFFFFFE", text, 1)
with open(top, "w") as f:
    f.write(re.sub(r"(\$HANDSEED\n  5\n)[0-9A-F]+", r"\g<1>3FFFFFFFFFFFFFFF", text))
rc, out, _ = run_cadhost("LINE\n0,0\n3,3\n\nLINE\n0,0\n4,4\n\nQSAVE\n", machine=machine, drawing=top)
check(out.count("no handle left for a new object") == 1 and "Drawing saved" in out, "the second line is refused", out)
rc, out, _ = run_cadhost("QUIT\n", machine=machine, drawing=top)
check(rc == 0, "the saved drawing opens again", out)
with open(os.path.join(machine, "full.dxf"), "w") as f:
    f.write("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n3FFFFFFFFFFFFFFF\n  8\n0\n 10\n0\n 20\n0\n 30\n0\n"
            " 11\n1\n 21\n1\n 31\n0\n  0\nENDSEC\n  0\nEOF\n")
rc, out, _ = run_cadhost("QUIT\n", machine=machine, drawing=os.path.join(machine, "full.dxf"))
check(rc == 1 and "the drawing would run out of handles" in out, "a drawing without room is refused", out)
print("ok")
