"""Guards the README against commands that fail as written: every command of its fenced
blocks, untagged or tagged `sh`, `bash` or `shell` (but `./run ...`, which builds), runs in
a copy of the project whose build/ is this build and whose out/ holds what `./run demo`
leaves, one command at a time from the project folder. It must end with status 0 and
print no failure: the host goes on after a failed command, so its status alone says
little. Blocks tagged otherwise (`text`) are not run."""
import os
import re
import shutil
import subprocess
import tempfile

from cadhost_run import bin_dir, check, source_dir
from zephyr_setup import remove_at_exit

RUN_TAGS = ("", "sh", "bash", "shell")
# Words of a failure in the host's transcript or a program's output.
FAILURE_WORDS = ("Unknown command", "not found", "Error", "Failed", "cannot", "Traceback")


def fenced_commands(text):
    """The commands of the runnable fenced blocks: continuation lines joined, comments and
    blank lines left out."""
    commands = []
    for tag, body in re.findall(r"^```(\w*)[^\n]*\n(.*?)^```", text, re.M | re.S):
        if tag not in RUN_TAGS:
            continue
        for command in body.replace("\\\n", " ").splitlines():
            command = command.strip()
            if command and not command.startswith("#"):
                commands.append(command)
    return commands


source = os.path.realpath(source_dir())
with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
    commands = fenced_commands(f.read())
check(any(c.startswith("build/bin/cadhost") for c in commands), "the README shows a cadhost command: %s" % commands)

# A fresh project: the sources without any build or output folder, this build as build/.
clone = os.path.join(remove_at_exit(tempfile.mkdtemp(prefix="zephyr_readme_")), "zephyr")
shutil.copytree(source, clone, symlinks=True,
                ignore=lambda folder, names: [n for n in names if folder == source and
                                              (n.startswith("build") or n in (".git", "out"))])
os.symlink(os.path.dirname(os.path.realpath(bin_dir())), os.path.join(clone, "build"))
# What `./run demo` does after building.
demo = subprocess.run([os.path.join(clone, "examples", "demo.sh"), os.path.join(clone, "build", "bin"),
                       os.path.join(clone, "out")], cwd=clone, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                      stdin=subprocess.DEVNULL, timeout=600)
check(demo.returncode == 0, "the demo runs", demo.stdout.decode("utf-8", "replace"))

for command in commands:
    if command.startswith("./run"):
        continue
    # ezdxf is a Debian package: only Debian's interpreter is sure to have it.
    check(not re.match(r"(env )?python3? ", command), "README names /usr/bin/python3: %s" % command)
    p = subprocess.run(["bash", "-c", "set -euo pipefail; " + command], cwd=clone, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL, timeout=300)
    out = p.stdout.decode("utf-8", "replace")
    check(p.returncode == 0, "README command runs as written (status %d): %s" % (p.returncode, command), out[-4000:])
    failures = [w for w in FAILURE_WORDS if w in out]
    check(not failures, "README command prints %s: %s" % (failures, command), out[-4000:])
print("ok: %d commands" % len(commands))
