"""Running the cadhost program in end-to-end tests.

run_cadhost() makes a fresh machine folder (optionally with user.reg / system.reg text),
runs <ZEPHYR_BIN>/cadhost with --machine, --load ... and a script, and returns the exit
code and the transcript. With ZEPHYR_WIN_BIN naming the 64-bit Windows build's bin folder,
it runs cadhost.exe there under Wine instead (cadhost-wine), and a module of ZEPHYR_BIN is
loaded as the Windows module of the same name; a session that Wine cannot start fails the
test. ezdxf_audit() and ezdxf_entities() read a saved drawing with
ezdxf in Debian's /usr/bin/python3.
"""
import atexit
import json
import os
import shutil
import subprocess
import sys
import tempfile

EZDXF_PYTHON = "/usr/bin/python3"


def bin_dir():
    return os.environ.get("ZEPHYR_BIN", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin"))


def source_dir():
    return os.environ.get("ZEPHYR_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))


def win_bin_dir():
    """The Windows build's bin folder when sessions run under Wine, else None."""
    return os.environ.get("ZEPHYR_WIN_BIN") or None


def host_module(path):
    """The module path as the session's host loads it: under Wine, a module of the Linux
    bin folder is the Windows build's module of that name."""
    win = win_bin_dir()
    if win and os.path.isabs(path) and os.path.dirname(os.path.realpath(path)) == os.path.realpath(bin_dir()):
        return os.path.join(win, os.path.basename(path))
    return path


# The model files the Linux build makes beside its main module (the Windows build has no
# catalogue of its own): placed beside the Windows main module too, as an installation with
# local model files has them.
MODEL_FILES = ("Duratcd.ddtz", "Ventholm_14a.tcdz")


def _place_model_files(win):
    for name in MODEL_FILES:
        source, target = os.path.join(bin_dir(), name), os.path.join(win, name)
        if os.path.exists(source) and (not os.path.exists(target) or
                                       os.path.getmtime(target) < os.path.getmtime(source)):
            temporary = "%s.%d" % (target, os.getpid())
            shutil.copy2(source, temporary)
            os.replace(temporary, target)  # tests side by side never see half a file


# cadhost-wine's status when Wine, Xvfb or the prefix could not be had.
WINE_CANNOT_START = 125

_machines = []
atexit.register(lambda: [shutil.rmtree(m, ignore_errors=True) for m in _machines])


def make_machine(user_reg=None, system_reg=None, parent=None):
    """A fresh machine folder with the given registry hive texts, removed when the test
    ends; returns its path."""
    machine = tempfile.mkdtemp(prefix="cadhost_machine_", dir=parent)
    _machines.append(machine)
    for name, text in (("user.reg", user_reg), ("system.reg", system_reg)):
        if text is not None:
            with open(os.path.join(machine, name), "w", encoding="utf-8") as f:
                f.write(text)
    return machine


def run_cadhost(script, loads=(), drawing=None, machine=None, user_reg=None, system_reg=None,
                cwd=None, env=None, timeout=300, extra_args=()):
    """Runs cadhost with the script text; returns (exit code, transcript, machine folder).

    The transcript is standard output followed by standard error."""
    if machine is None:
        machine = make_machine(user_reg, system_reg)
    script_path = os.path.join(machine, "script.scr")
    with open(script_path, "w", encoding="utf-8") as f:
        f.write(script if script.endswith("\n") or not script else script + "\n")
    win = win_bin_dir()
    args = [os.path.join(win, "cadhost-wine") if win else os.path.join(bin_dir(), "cadhost"), "--machine", machine]
    for module in loads:
        args += ["--load", host_module(module)]
    args += ["--script", script_path]
    args += list(extra_args)
    if drawing is not None:
        args.append(drawing)
    run_env = dict(os.environ)
    if env:
        for key, value in env.items():
            if value is None:
                run_env.pop(key, None)
            else:
                run_env[key] = value
    if win:  # the runner stops a hanging session itself and reports its transcript so far
        _place_model_files(win)
        run_env["CADHOST_WINE_TIMEOUT"] = str(timeout)
        timeout += 60
    p = subprocess.run(args, cwd=cwd or machine, env=run_env, stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=timeout)
    transcript = p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace")
    if win:
        transcript = transcript.replace("\r\n", "\n")  # a Windows console program's line ends
        check(p.returncode != WINE_CANNOT_START, "the session could not start under Wine", transcript)
        check(p.returncode != 124, "the session under Wine did not end in time", transcript)
    return p.returncode, transcript, machine


_READER = r"""
import json, sys, ezdxf
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
out = {"errors": [str(e.message) for e in auditor.errors],
       "fixes": [str(e.message) for e in auditor.fixes],
       "entities": [], "blocks": {}}
from ezdxf import bbox
def entity(e):
    xd = {}
    if e.xdata:
        for app, tags in e.xdata.data.items():
            xd[app] = [[t.code, t.value if not isinstance(t.value, tuple) else list(t.value)] for t in tags][1:]
    # An entity ezdxf does not know (a custom one) keeps its groups as read.
    layer = e.dxf.layer if e.dxf.hasattr("layer") else e.xtags.get_subclass("AcDbEntity").get_first_value(8, "0")
    out = {"type": e.dxftype(), "handle": e.dxf.handle, "layer": layer, "xdata": xd}
    if e.proxy_graphic:  # what programs without the entity's class draw
        shown = list(e.virtual_entities())
        box = bbox.extents(shown)
        out["proxy"] = sorted(v.dxftype() for v in shown)
        out["extents"] = [list(box.extmin), list(box.extmax)] if box.has_data else []
    return out
for e in doc.modelspace():
    out["entities"].append(entity(e))
for b in doc.blocks:
    if not b.name.startswith("*"):
        out["blocks"][b.name] = [entity(e) for e in b]
print(json.dumps(out))
"""


def ezdxf_read(path):
    """ezdxf's view of a drawing: audit errors and fixes, model-space entities, blocks."""
    p = subprocess.run([EZDXF_PYTHON, "-c", _READER, path], stdout=subprocess.PIPE,
                       stderr=subprocess.PIPE, timeout=600)
    if p.returncode != 0:
        raise AssertionError("ezdxf could not read %s:\n%s" % (path, p.stderr.decode("utf-8", "replace")))
    return json.loads(p.stdout.decode("utf-8"))


def ezdxf_audit(path):
    """(True, []) when ezdxf loads the drawing and audit() finds no error."""
    info = ezdxf_read(path)
    return not info["errors"], info["errors"]


_DRAWN = r"""
import json, sys, ezdxf
from ezdxf.addons.drawing import Frontend, RenderContext
from ezdxf.addons.drawing.backend import Backend
out = {}
class Recorder(Backend):
    def add(self, *points):
        d = out.setdefault(self.entity_stack[0][0].dxf.handle.upper(), {"lines": 0, "min": [1e300] * 2, "max": [-1e300] * 2})
        d["lines"] += 1
        for p in points:
            for i in range(2):
                d["min"][i], d["max"][i] = min(d["min"][i], p[i]), max(d["max"][i], p[i])
    def draw_point(self, pos, properties): self.add(pos)
    def draw_line(self, start, end, properties): self.add(start, end)
    def draw_filled_polygon(self, points, properties): self.add(*points)
    def draw_text(self, *args, **kwargs): pass
    def get_font_measurements(self, *args, **kwargs): return None
    def get_text_line_width(self, *args, **kwargs): return 0.0
    def set_background(self, color): pass
    def clear(self): pass
doc = ezdxf.readfile(sys.argv[1])
Frontend(RenderContext(doc), Recorder()).draw_layout(doc.modelspace(), finalize=True)
print(json.dumps(out))
"""


def ezdxf_drawn(path):
    """What ezdxf's drawing add-on draws of each model-space entity, by handle: how many lines
    and points, and their extents in plan ([x, y] min and max)."""
    p = subprocess.run([EZDXF_PYTHON, "-c", _DRAWN, path], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=600)
    if p.returncode != 0:
        raise AssertionError("ezdxf could not draw %s:\n%s" % (path, p.stderr.decode("utf-8", "replace")))
    return json.loads(p.stdout.decode("utf-8"))


def ezdxf_entities(path):
    return ezdxf_read(path)["entities"]


def check(condition, message, transcript=""):
    """Fails the test with the message and the transcript."""
    if not condition:
        sys.stderr.write("FAILED: %s\n--- transcript ---\n%s\n" % (message, transcript))
        sys.exit(1)
