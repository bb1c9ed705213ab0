"""Setting up a machine for the Zephyr commands in end-to-end tests: the settings hive
texts, a Ductora project beside a drawing, and the modules to load.

A "ready" setup is a drawing NAME.dxf in a fresh folder with NAME.ductora.xml beside it
(a new enough Ductora with systems), Ductora.arx loaded after the loader, and DUREGISTER
as the first command of the script so the classes are installed.
"""
import atexit
import os
import re
import shutil
import tempfile
from xml.sax.saxutils import quoteattr

from cadhost_run import source_dir

LOADER = "Zephyr_Load_R20_x32.arx"
DUCTORA = "Ductora.arx"
MODULES = [LOADER, DUCTORA]
SETTINGS_KEY = "Software\\Ventholm\\Zephyr\\Any version\\General"


def _version_text():
    """The main module's version as its captions show it: the build's four numbers, zeros left out."""
    with open(os.path.join(source_dir(), "CMakeLists.txt"), encoding="utf-8") as f:
        cmake = f.read()
    numbers = [re.search(r"set\(ZEPHYR_VERSION_%s (\d+)\)" % part, cmake).group(1)
               for part in ("MAJOR", "MINOR", "BUILD", "REVISION")]
    return ".".join(n for n in numbers if int(n) != 0)


VERSION_TEXT = _version_text()  # "1.2.5" for 1.2.0.5

# Every setting the commands need, as the selector's installation leaves them.
SETTINGS = {
    "Language": "en",
    "Email": "anna@example.org",
    "Password": "secret",
    "ServerRootURL": "http://127.0.0.1:9/selector/",
    "StartPage": "login/Ductora.jsp",
    "TempFolder": "temp/",
}

SYSTEMS = [(1, 0, "Supply air"), (2, 1, "Extract air"), (3, 2, "Exhaust air"), (4, 3, "Outdoor air")]
SERIES = [("DS-ROUND", "Spiro round", ["100", "125", "160", "200", "250", "315", "400", "500", "630"]),
          ("DS-RECT", "Rectangular", ["300x150", "400x200", "500x300", "600x400", "800x500", "1000x600"])]


_made = []


def remove_at_exit(path):
    """Removes the folder when the test ends; returns it."""
    if not _made:
        atexit.register(lambda: [shutil.rmtree(p, ignore_errors=True) for p in _made])
    _made.append(path)
    return path


def _reg_text(value):
    return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'


def hive(root, values, key=SETTINGS_KEY):
    """A .reg file text: root is "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE"; values maps a
    value name to its text (None: left out). An empty dict gives the key with no values."""
    lines = ["Windows Registry Editor Version 5.00", "", "[%s\\%s]" % (root, key)]
    for name, value in values.items():
        if value is not None:
            lines.append("%s=%s" % (_reg_text(name), _reg_text(value)))
    return "\n".join(lines) + "\n\n"


def user_hive(values):
    return hive("HKEY_CURRENT_USER", values)


def machine_hive(values):
    return hive("HKEY_LOCAL_MACHINE", values)


def settings(**changes):
    """SETTINGS with some values changed (None removes a value)."""
    out = dict(SETTINGS)
    out.update(changes)
    return out


def write_project(path, version=20110101, open_=True, drawing_object=True, application_object=True,
                  systems=SYSTEMS, series=SERIES):
    """Writes a Ductora project file."""
    lines = ['<?xml version="1.0" encoding="UTF-8" ?>',
             '<DuctoraProject version="%d" open="%d">' % (version, 1 if open_ else 0),
             '  <Server drawingObject="%d" applicationObject="%d" />' % (drawing_object, application_object),
             '  <Ductwork>']
    for sid, type_id, name in systems:
        lines.append('    <System id="%d" typeId="%d" name=%s />' % (sid, type_id, quoteattr(name)))
    for sid, name, sizes in series:
        lines.append('    <DuctSerie id=%s name=%s>' % (quoteattr(sid), quoteattr(name)))
        lines += ['      <Size name=%s />' % quoteattr(s) for s in sizes]
        lines.append('    </DuctSerie>')
    lines += ['  </Ductwork>', '  <Parts />', '</DuctoraProject>']
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def project_drawing(name="plant", **project):
    """A drawing path NAME.dxf in a fresh folder with its Ductora project beside it (the
    drawing itself does not exist yet: the host starts a new one that saves there).
    Returns (folder, drawing path); the folder goes when the test ends."""
    folder = remove_at_exit(tempfile.mkdtemp(prefix="zephyr_e2e_"))
    drawing = os.path.join(folder, name + ".dxf")
    write_project(os.path.join(folder, name + ".ductora.xml"), **project)
    return folder, drawing


def read_text(path):
    """A text file in UTF-8, or in UTF-16LE with its byte order mark (as the registry editor
    writes hives), with line ends as "\n"."""
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le").replace("\r\n", "\n")
    return data.decode("utf-8")


def after(text, marker):
    """The part of text after the first marker ("" when it is not there)."""
    i = text.find(marker)
    return text[i + len(marker):] if i >= 0 else ""
