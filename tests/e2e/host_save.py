"""Guards against saves that cost the user a drawing or a file: drawings the host opened
that saved into files it could not open again (an empty layer name, a block named with NUL
bytes, a handle at the top of the range saved past it, a block name written longer than the reader
takes), a save that made a 0600 drawing 0644, and writers that followed a symbolic link
planted at their path."""
import os
import shutil
import stat

from cadhost_run import make_machine, run_cadhost, ezdxf_read, check, source_dir

corpus = os.path.join(source_dir(), "tests", "fuzz", "corpus", "dxf")


def opened_and_saved(name):
    """The corpus drawing copied, opened and saved by the host, then opened again."""
    machine = make_machine()
    drawing = os.path.join(machine, name)
    shutil.copy(os.path.join(corpus, name), drawing)
    rc, out, _ = run_cadhost("QSAVE\n", machine=machine, drawing=drawing)
    if rc == 0:
        again, out2, _ = run_cadhost("QUIT\n", machine=machine, drawing=drawing)
        check(again == 0, name + ": the saved drawing opens again", out2)
    return rc, out, drawing


# An entity on a layer without a name is on layer 0: the drawing saves and opens again.
rc, out, drawing = opened_and_saved("empty-layer-name.dxf")
check(rc == 0, "a drawing with an empty layer name opens", out)
info = ezdxf_read(drawing)
check(not info["errors"], "ezdxf audits the saved drawing clean: %s" % info["errors"])
check([e["layer"] for e in info["entities"] if e["handle"] == "C"] == ["0"], "the line is on layer 0", str(info))

# A handle just below the host's limit: the drawing saves into one that opens again.
rc, out, drawing = opened_and_saved("handle-3fff.dxf")
check(rc == 0 and "Drawing saved" in out, "a drawing with the highest handle there is opens and saves", out)

# Drawings that could not be saved into one that opens are refused when opened, unchanged.
for name, reason in (("block-name-nul.dxf", "a name with a NUL character"),
                     ("block-name-control-chars.dxf", "a text longer than 4681 characters")):
    rc, out, drawing = opened_and_saved(name)
    check(rc == 1 and reason in out, name + ": refused with the reason", out)
    with open(drawing, "rb") as f, open(os.path.join(corpus, name), "rb") as g:
        check(f.read() == g.read(), name + ": left as it was", out)

# The longest name the host takes, in the characters written longest (each as a surrogate
# pair escape in the drawing's code page), saves and opens again; one more is refused.
longest = "\U0001F600" * 4681
machine = make_machine()
drawing = os.path.join(machine, "names.dxf")
rc, out, _ = run_cadhost("BEDIT %s\nPOINT\n0,0\nBCLOSE\nBEDIT %sx\nSAVEAS names.dxf\n" % (longest, longest),
                         machine=machine)
check(rc == 0 and "Invalid block name." in out, "a name one character too long is refused", out[-500:])
rc, out, _ = run_cadhost("INSERT %s\n5,5\n1\n1\n0\nQSAVE\n" % longest, machine=machine, drawing=drawing)
check(rc == 0 and "not found" not in out, "the drawing opens with the longest name whole and saves", out[-500:])
check(list(ezdxf_read(drawing)["blocks"]) == ["\\U+D83D\\U+DE00" * 4681], "ezdxf reads the name as written")

# A save keeps the mode of the drawing and of the registry hive it replaces.
machine = make_machine(user_reg="Windows Registry Editor Version 5.00\n")
drawing = os.path.join(machine, "private.dxf")
rc, out, _ = run_cadhost("LINE\n0,0\n1,1\n\nQSAVE\n", machine=machine, drawing=drawing)
os.chmod(drawing, 0o600)
os.chmod(os.path.join(machine, "user.reg"), 0o640)
rc, out, _ = run_cadhost("HostAppSettingB\nkept\nQSAVE\n", loads=["hostapp_B.arx"], machine=machine, drawing=drawing)
check("setting written" in out and "Drawing saved" in out, "the setting and the drawing are saved", out)
check(stat.S_IMODE(os.stat(drawing).st_mode) == 0o600, "the drawing stays 0600 (%o)" % os.stat(drawing).st_mode, out)
check(stat.S_IMODE(os.stat(os.path.join(machine, "user.reg")).st_mode) == 0o640, "the hive stays 0640", out)

# Links planted at the drawing, at the hive and at a temporary's name (as older saves named
# them) are replaced or passed over, never written through.
machine = make_machine()
victims = {"linked.dxf": "not yours", "user.reg": "Windows Registry Editor Version 5.00\n",
           "linked.dxf.tmp1": "not yours either"}
for name, text in victims.items():
    with open(os.path.join(machine, name + ".victim"), "w") as f:
        f.write(text)
    os.symlink(os.path.join(machine, name + ".victim"), os.path.join(machine, name))
rc, out, _ = run_cadhost("HostAppSettingB\nlinked\nLINE\n0,0\n1,1\n\nSAVEAS linked.dxf\n", loads=["hostapp_B.arx"],
                         machine=machine)
check("setting written" in out and "Drawing saved" in out, "the setting and the drawing are saved", out)
for name, text in victims.items():
    with open(os.path.join(machine, name + ".victim")) as f:
        check(f.read() == text, "the target of the link at %s is untouched" % name, out)
check(not os.path.islink(os.path.join(machine, "linked.dxf")) and not os.path.islink(os.path.join(machine, "user.reg")),
      "the drawing and the hive are files of their own", out)
check(os.path.islink(os.path.join(machine, "linked.dxf.tmp1")), "a link that is no save's temporary is left alone", out)
print("ok")
