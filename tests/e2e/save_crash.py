"""Guards against saves that a crash turns into lost or littered files: the host is killed
(SIGKILL) at random moments while it writes a registry hive and saves a 17 MB drawing with
its Ductora project, again and again; every file is then the old one or the new one,
whole, and no temporary file of a dead process survives the next save (before, every kill
left a NAME.dxf.tmpPID of up to 17 MB, and a hive temporary, behind)."""
import os
import random
import re
import signal
import subprocess
import time

from cadhost_run import bin_dir, make_machine, run_cadhost, check

KILLS = 14
# About 17 MB of drawing; 4 MB in the sanitizers' build, whose sessions run several times
# slower: the kills still fall across whole sessions, saves included, in a quarter of the time.
LINES = 34000 if os.environ.get("ZEPHYR_SANITIZE") == "ON" else 137000

machine = make_machine(user_reg="Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\HostApp]\n\"Setting\"=\"first\"\n")
drawing = os.path.join(machine, "big.dxf")
hive = os.path.join(machine, "user.reg")
project = os.path.join(machine, "big.ductora.xml")

# A drawing the host wrote, grown to 17 MB by lines of its own kind.
rc, out, _ = run_cadhost("LINE\n0,0\n1,1\n\nQSAVE\n", machine=machine, drawing=drawing)
check(rc == 0 and os.path.exists(drawing), "the small drawing is saved", out)
text = open(drawing).read()
start = text.index("\n  0\nLINE\n", text.index("ENTITIES"))
end = text.index("\n  0\n", start + 5)
owner = re.search(r"\n330\n([0-9A-F]+)\n", text[start:end]).group(1)
lines = "".join("\n  0\nLINE\n  5\n%X\n330\n%s\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\n%d.5\n 20\n%d.25\n"
                " 30\n0.0\n 11\n%d.125\n 21\n1.0\n 31\n0.0" % (0x100000 + i, owner, i, 3 * i, i + 7)
                for i in range(LINES))
text = text[:start] + lines + text[end:]
text = re.sub(r"(\$HANDSEED\n  5\n)[0-9A-F]+", lambda m: m.group(1) + "%X" % (0x100000 + LINES), text)
with open(drawing, "w") as f:
    f.write(text)
check(os.path.getsize(drawing) > LINES * 120, "the drawing is %d MB (%d bytes)" % (LINES // 8000, os.path.getsize(drawing)))


def session(i):
    """A script that writes the hive and saves twice, the drawing a line longer and the
    project's version number higher each time."""
    return ("HostAppSettingB\nrun %d a\nLINE\n%d,-1\n%d,-2\n\nDUPROJECT\nVersion\n%d\nQSAVE\n"
            "HostAppSettingB\nrun %d b\nLINE\n%d,-3\n%d,-4\n\nDUPROJECT\nVersion\n%d\nQSAVE\nQUIT\n"
            % (i, i, i, 2 * i, i, i, i, 2 * i + 1))


def start(i):
    script = os.path.join(machine, "session.scr")
    with open(script, "w") as f:
        f.write(session(i))
    args = [os.path.join(bin_dir(), "cadhost"), "--machine", machine, "--load", "hostapp_B.arx", "--load", "Ductora.arx",
            "--script", script, drawing]
    return subprocess.Popen(args, cwd=machine, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def line_count():
    with open(drawing, "rb") as f:
        data = f.read()
    check(data.endswith(b"\n  0\nEOF\n"), "the drawing is whole (it ends in EOF)")
    return data.count(b"\n  0\nLINE\n")


def setting():
    with open(hive, "rb") as f:
        data = f.read()
    text = data[2:].decode("utf-16-le") if data.startswith(b"\xff\xfe") else data.decode("utf-8")
    check(text.startswith("Windows Registry Editor Version 5.00") and text.endswith("\n"), "the hive is whole", text)
    values = re.findall(r'"Setting"="([^"]*)"', text)
    check(len(values) == 1, "the hive holds its setting once", text)
    return values[0]


def version():
    with open(project, "rb") as f:
        text = f.read().decode("utf-8")
    check(text.rstrip().endswith("</DuctoraProject>"), "the project is whole", text[-200:])
    return int(re.search(r'<DuctoraProject version="(\d+)"', text).group(1))


def temporaries():
    return sorted(n for n in os.listdir(machine) if ".saving-" in n)


# One session to its end: how long a session takes on this build (the sanitizers' is slower).
began = time.monotonic()
p = start(0)
check(p.wait(timeout=600) == 0, "an unkilled session ends normally")
duration = time.monotonic() - began
lines = line_count()
value = setting()
number = version()
check(value == "run 0 b" and number == 1 and temporaries() == [], "the session saved everything and left nothing")

random.seed(os.getpid())
for i in range(1, KILLS + 1):
    p = start(i)
    time.sleep(random.uniform(0.05, 0.95) * duration)
    p.send_signal(signal.SIGKILL)
    p.wait()
    now = line_count()
    check(now in (lines, lines + 1, lines + 2), "kill %d: the drawing is an old or new one (%d lines, %d before)" %
          (i, now, lines))
    lines = now
    before, value = value, setting()
    check(value in (before, "run %d a" % i, "run %d b" % i), "kill %d: the setting is an old or new one" % i)
    before, number = number, version()
    check(number in (before, 2 * i, 2 * i + 1), "kill %d: the project is an old or new one (version %d)" % (i, number))
    # At most the temporaries of the session just killed: the earlier ones went at its saves.
    left = temporaries()
    check(all(sum(n.startswith("." + name + ".") for n in left) <= 1 for name in ("big.dxf", "user.reg", "big.ductora.xml")),
          "kill %d: temporaries of dead sessions survive: %s" % (i, left))

p = start(KILLS + 1)
check(p.wait(timeout=600) == 0, "the session after the kills ends normally")
check(temporaries() == [], "no temporary survives a finished save: %s" % temporaries())
check(setting() == "run %d b" % (KILLS + 1) and line_count() == lines + 2 and version() == 2 * KILLS + 3,
      "the last session's changes are saved")
rc, out, _ = run_cadhost("QUIT\n", machine=machine, drawing=drawing)
check(rc == 0, "the drawing opens after the kills", out)
print("ok")
