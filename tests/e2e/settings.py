"""Guards the settings the commands read: user over machine, size bounds, missing values, ZephyrFile's remembered file."""
import os
import re

from cadhost_run import check, make_machine, run_cadhost
from zephyr_setup import (MODULES, VERSION_TEXT, after, machine_hive, project_drawing, read_text, settings,
                          user_hive)

USER_KEY = "[HKEY_CURRENT_USER\\Software\\Ventholm\\Zephyr\\Any version]"


def run(script, user=None, machine=None):
    """Runs the commands with a ready Ductora project; returns (transcript, machine folder)."""
    folder, drawing = project_drawing()
    rc, out, machine_dir = run_cadhost("DUREGISTER\n" + script + "\nQUIT", loads=MODULES, drawing=drawing,
                                       machine=make_machine(user, machine, parent=folder))
    check(rc == 0, "exit code %d" % rc, out)
    check("Could not" not in out and "Ductora systems can not" not in out, "Ductora is ready", out)
    return out, machine_dir


def dialog(out):
    """The lines the open-file dialog printed, from its title to its prompt."""
    m = re.search(r'Open file "[^\n]*"\n(  [^\n]*\n)*File name: ', out)
    check(m is not None, "the open-file dialog is shown", out)
    return m.group(0)


def stored_value(hive_text, name):
    """(type, bytes) of a value in a .reg text as the registry stores it: "text" values in
    UTF-16LE with their zero, hex(N): as written."""
    joined = re.sub(r"\\\n\s*", "", hive_text)
    m = re.search(r'^"%s"=(.*)$' % re.escape(name), joined, re.M)
    if not m:
        return None, None
    value = m.group(1)
    if value.startswith('"'):
        text = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        return 1, (text + "\0").encode("utf-16-le")
    h = re.match(r"hex\(([0-9a-f]+)\):(.*)", value)
    if h:
        digits = h.group(2).split(",") if h.group(2) else []
        return int(h.group(1), 16), bytes(int(d, 16) for d in digits)
    return value, None


# A value only in the machine's hive is used; the user's own value wins over it; a user
# without the key gets it created, with no values in it.
machine_path = "/srv/units/machine/VH-CX-1200.xml"
user_path = "/home/anna/units/VH-RX-2500.xml"
out, machine_dir = run("ZephyrFile\n*cancel*", machine=machine_hive(settings(XMLFilePath=machine_path)))
shown = dialog(out)
check("  Folder: /srv/units/machine/\n" in shown and ("  File: %s\n" % machine_path) in shown,
      "the machine's remembered file is used", out)
check("Registry settings is missing" not in out, "required settings from the machine's hive", out)
user_hive_text = read_text(os.path.join(machine_dir, "user.reg"))
check(USER_KEY in user_hive_text, "the user's key is created", user_hive_text)
check(not re.search(r"^(\"|@)", user_hive_text, re.M), "the user's new key holds no values", user_hive_text)

out, _ = run("ZephyrFile\n*cancel*", user=user_hive({"XMLFilePath": user_path}),
             machine=machine_hive(settings(XMLFilePath=machine_path)))
shown = dialog(out)
check("  Folder: /home/anna/units/\n" in shown and ("  File: %s\n" % user_path) in shown,
      "the user's remembered file wins", out)

# 256 bytes with the terminating zero are read whole; 257 bytes read as empty.
longest_path = "/srv/" + "u" * (255 - len("/srv/") - len("/unit.xml")) + "/unit.xml"  # 255 bytes
out, _ = run("ZephyrFile\n*cancel*", user=user_hive(settings(XMLFilePath=longest_path)))
check(("  File: %s\n" % longest_path) in dialog(out), "a 256-byte value is read whole", out)
out, _ = run("ZephyrFile\n*cancel*", user=user_hive(settings(XMLFilePath=longest_path + "x")))
shown = dialog(out)
check("  File:" not in shown and "  Folder: \n" in shown, "a 257-byte value reads as empty", out)

root = "http://127.0.0.1:9/selector/"
root_255 = root[:-len("selector/")] + "s" * (255 - len(root)) + "selector/"  # 255 bytes
out, _ = run("Zephyr", user=user_hive(settings(ServerRootURL=root_255)))
check("Registry settings is missing" not in out, "a 256-byte server address is accepted", out)
out, _ = run("Zephyr", user=user_hive(settings(ServerRootURL=root_255 + "x")))
check("Registry settings is missing: ServerRootURL" in out, "a 257-byte server address is missing", out)

# A missing required setting is named, and Zephyr ends there: no prompt, no other message.
for name in ("ServerRootURL", "StartPage", "TempFolder"):
    for value in (None, ""):
        out, _ = run("Zephyr\nZephyrFile", user=user_hive(settings(**{name: value})))
        for command in ("Zephyr", "ZephyrFile"):
            rest = after(out, "Command: %s\n" % command)
            check(rest.startswith("Registry settings is missing: %s\n" % name + "Command: "),
                  "%s %s: the message and nothing else before the next command" % (command, name), out)
        check(out.count("Registry settings is missing") == 2, "only the first missing setting is named", out)
# The optional settings may be missing.
out, _ = run("ZephyrFile\n*cancel*", user=user_hive(settings(Language=None, Email=None, Password=None)))
check("Registry settings is missing" not in out, "optional settings may be absent", out)
dialog(out)

# A user hive that does not parse is reported, never rewritten, and the user's key cannot
# be made: the command finds no settings and ends.
broken = user_hive(settings()).replace('"TempFolder"="temp/"', '"TempFolder"=dword:temp')
out, machine_dir = run("ZephyrFile\nZephyr", user=broken, machine=machine_hive(settings()))
check(out.count("user.reg line 9") == 1, "the broken hive is reported once", out)
check(after(out, "Command: ZephyrFile\n").count("Registry settings is missing: ServerRootURL\nCommand: ") == 2,
      "both commands end at the settings", out)
check(read_text(os.path.join(machine_dir, "user.reg")) == broken, "the broken hive is left as it was", out)

# ZephyrFile: the title, the remembered file's folder; Escape and an unknown file change nothing.
units, _ = project_drawing()
remembered = os.path.join(units, "VH-CX-3000.xml")
before_hive = user_hive(settings(XMLFilePath=remembered))
out, machine_dir = run("ZephyrFile\n%s\n*cancel*" % os.path.join(units, "no-such-unit.xml"), user=before_hive)
shown = dialog(out)
check(shown.startswith('Open file "Zephyr %s Open xml file"\n' % VERSION_TEXT), "the dialog's title", out)
check(("  Folder: %s/\n" % units) in shown and "  Types: XML (*.xml)\n" in shown, "folder and filter", out)
check("File not found" in out, "a file that does not exist is asked again", out)
check(after(out, "File name: *cancel*\n").startswith("Command: QUIT"), "Escape ends silently", out)
check(stored_value(read_text(os.path.join(machine_dir, "user.reg")), "XMLFilePath") ==
      (1, (remembered + "\0").encode("utf-16-le")), "the remembered file stays", out)

# A chosen file is remembered, without a terminating zero, even when it is not a unit file;
# the next dialog starts from it.
folder, _ = project_drawing()
chosen = os.path.join(folder, "Zentralgerät", "not-a-unit.xml")
os.makedirs(os.path.dirname(chosen))
with open(chosen, "w", encoding="utf-8") as f:
    f.write("<Other><Name>no unit here</Name></Other>\n")
out, machine_dir = run("ZephyrFile\n%s\nZephyrFile\n*cancel*" % chosen, user=before_hive)
check("Zephyr: Failed to import data from Zephyr" in out, "reading the chosen file fails", out)
kind, data = stored_value(read_text(os.path.join(machine_dir, "user.reg")), "XMLFilePath")
check(kind == 1 and data == chosen.encode("utf-16-le"), "stored as text without its zero: %r %r" % (kind, data),
      out)
second = re.findall(r'Open file "[^\n]*"\n(?:  [^\n]*\n)*File name: ', out)
check(len(second) == 2 and ("  File: %s\n" % chosen) in second[1] and
      ("  Folder: %s/\n" % os.path.dirname(chosen)) in second[1], "the next dialog starts from the chosen file", out)
print("ok")
