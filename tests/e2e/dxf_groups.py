"""The groups of a DXF file (text or binary) by object handle, for comparing a drawing
with its saved copy group by group: header variables, comments, and every object that has
a handle with its type and, per group code, its values in order (numbers as numbers,
binary data as hexadecimal digits)."""
import io

from ezdxf.lldxf.tagger import ascii_tags_loader, binary_tags_loader

REALS = ((10, 59), (110, 149), (210, 239), (460, 469), (1010, 1059))
INTEGERS = ((60, 99), (160, 179), (270, 299), (370, 389), (400, 409), (420, 459), (1060, 1071))


def value(code, v):
    if isinstance(v, bytes):
        return v.hex().upper()
    if any(a <= code <= b for a, b in REALS):
        return float(v)
    if any(a <= code <= b for a, b in INTEGERS):
        return int(v)
    return v


def tags(path):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"AutoCAD Binary DXF"):
        return binary_tags_loader(data)
    text = data.decode("utf-8", "surrogateescape")
    return ascii_tags_loader(io.StringIO(text, newline=None), skip_comments=False)


class Drawing:
    def __init__(self, path):
        self.header, self.objects, self.comments = {}, {}, []
        obj, variable, in_header = None, None, False
        for code, v in tags(path):
            if code == 999:
                self.comments.append(v)
            elif code == 0:
                obj, in_header = {"type": v, "groups": {}}, False
            elif obj is None:
                continue
            elif obj["type"] == "SECTION" and code == 2 and not obj["groups"] and not in_header:
                in_header = v == "HEADER"
                obj["groups"][2] = [v]
            elif in_header:
                if code == 9:
                    variable = self.header.setdefault(v, [])
                else:
                    variable.append((code, value(code, v)))
            elif code in (5, 105) and "handle" not in obj and not (code == 5 and obj["type"] == "DIMSTYLE"):
                obj["handle"] = v.upper()
                self.objects[obj["handle"]] = obj
            else:
                obj["groups"].setdefault(code, []).append(value(code, v))


def differences(original, saved, allowed):
    """What the saved drawing lost or changed of the original: objects by handle, each group
    code's values, header variables, comments. allowed(obj, code, before, after) excuses a
    change the host makes on purpose."""
    before, after = Drawing(original), Drawing(saved)
    found = []
    for handle, obj in before.objects.items():
        other = after.objects.get(handle)
        if other is None or other["type"] != obj["type"]:
            found.append("%s %s: %s" % (handle, obj["type"], "lost" if other is None else "now " + other["type"]))
            continue
        for code, values in obj["groups"].items():
            now = other["groups"].get(code)
            if now != values and not allowed(obj, code, values, now):
                found.append("%s %s group %d: %r -> %r" % (handle, obj["type"], code, values[:6], (now or [])[:6]))
    for name, values in before.header.items():
        now = after.header.get(name)
        if now != values and not allowed({"type": "HEADER", "name": name}, 9, values, now):
            found.append("header %s: %r -> %r" % (name, values, now))
    if before.comments != after.comments:
        found.append("comments: %r -> %r" % (before.comments, after.comments))
    return found
