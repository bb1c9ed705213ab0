"""Draws the architectural and duct background of the sample plant room into a new DXF
drawing: walls with their thickness, a door, wall openings with louvres for the outdoor
and exhaust air, and the four duct runs that end where the unit's connections will be.
Only entities the CAD host keeps (LINE, CIRCLE, ELLIPSE) on layers of their own; the
duct ends themselves are added by Ductora (make_plant.sh).
Usage: plant_plan.py OUT.dxf"""
import math
import sys

import ezdxf

ROOM = (0.0, 0.0, 14000.0, 6000.0)  # inside faces of the walls, mm
WALL = 300.0
DOOR = (6500.0, 1000.0)  # x of the hinge side, leaf width (bottom wall)
DUCT = 315.0  # diameter of the four duct runs
OPENING = 600.0  # wall opening around a duct
# The duct ends (where Ductora's duct ends go) and where each run leaves the room:
# outside the building on the left, the louvres in the right wall.
RUNS = {
    "M-SUPPLY": ((2000.0, 5000.0), -2500.0, -1),   # from the unit to the building
    "M-EXTRACT": ((2000.0, 1000.0), -2500.0, +1),  # from the building to the unit
    "M-OUTDOOR": ((12000.0, 5000.0), 14300.0, -1),  # from the louvre to the unit
    "M-EXHAUST": ((12000.0, 1000.0), 14300.0, +1),  # from the unit to the louvre
}
LAYERS = {"A-WALL": 7, "A-DOOR": 30, "A-LOUVRE": 3, "M-SUPPLY": 5, "M-EXTRACT": 2, "M-OUTDOOR": 4,
          "M-EXHAUST": 1, "M-PLINTH": 8}

doc = ezdxf.new("R2000")
for name, color in LAYERS.items():
    doc.layers.add(name, color=color)
msp = doc.modelspace()


def line(a, b, layer):
    msp.add_line(a, b, dxfattribs={"layer": layer})


def polyline(points, layer, closed=False):
    pts = list(points) + ([points[0]] if closed else [])
    for a, b in zip(pts, pts[1:]):
        line(a, b, layer)


def wall_face(fixed, lo, hi, gaps, vertical):
    """One face of a wall from lo to hi along x (or y), broken at the gaps."""
    cuts = [lo] + [v for g in sorted(gaps) for v in g] + [hi]
    for a, b in zip(cuts[::2], cuts[1::2]):
        if b > a:
            line((fixed, a) if vertical else (a, fixed), (fixed, b) if vertical else (b, fixed), "A-WALL")


def walls():
    x0, y0, x1, y1 = ROOM
    door = [(DOOR[0], DOOR[0] + DOOR[1])]
    left = [(y - OPENING / 2, y + OPENING / 2) for (_, y), end, _ in RUNS.values() if end < x0]
    right = [(y - OPENING / 2, y + OPENING / 2) for (_, y), end, _ in RUNS.values() if end > x1]
    wall_face(y0, x0, x1, door, False)
    wall_face(y0 - WALL, x0 - WALL, x1 + WALL, door, False)
    wall_face(y1, x0, x1, [], False)
    wall_face(y1 + WALL, x0 - WALL, x1 + WALL, [], False)
    wall_face(x0, y0, y1, left, True)
    wall_face(x0 - WALL, y0 - WALL, y1 + WALL, left, True)
    wall_face(x1, y0, y1, right, True)
    wall_face(x1 + WALL, y0 - WALL, y1 + WALL, right, True)
    for a, b in door:  # jambs
        line((a, y0), (a, y0 - WALL), "A-WALL")
        line((b, y0), (b, y0 - WALL), "A-WALL")
    for x in (x0, x1):
        for a, b in left if x == x0 else right:
            for y in (a, b):
                line((x, y), (x + (-WALL if x == x0 else WALL), y), "A-WALL")
    for a, b in right:  # louvre blades in the opening
        for i in range(1, 6):
            y = a + i * (b - a) / 6
            line((x1, y - 40), (x1 + WALL, y + 40), "A-LOUVRE")
        line((x1 + WALL, a), (x1 + WALL, b), "A-LOUVRE")


def door():
    hinge, width = DOOR
    line((hinge, ROOM[1]), (hinge, ROOM[1] + width), "A-DOOR")  # the leaf, open
    msp.add_ellipse((hinge, ROOM[1]), major_axis=(width, 0), ratio=1.0, start_param=0, end_param=math.pi / 2,
                    dxfattribs={"layer": "A-DOOR"})


def arrow(x, y, direction, layer):
    tip = x + direction * 250
    polyline([(x - direction * 250, y), (tip, y)], layer)
    polyline([(tip - direction * 120, y + 80), (tip, y), (tip - direction * 120, y - 80)], layer)


def duct_runs():
    r = DUCT / 2
    for layer, ((x, y), end, flow) in RUNS.items():
        lo, hi = sorted((x, end))
        line((lo, y - r), (hi, y - r), layer)
        line((lo, y + r), (hi, y + r), layer)
        line((x, y - r - 40), (x, y + r + 40), layer)  # the flange the unit connects to
        if end < 0:  # the run goes on into the building: a break mark
            polyline([(end, y - r - 60), (end + 60, y - 40), (end - 60, y + 40), (end, y + r + 60)], layer)
        arrow((x + end) / 2 + (600 if end < 0 else 0), y, flow, layer)


def plinth():
    """The concrete plinth the unit stands on, and a floor drain beside it."""
    polyline([(4800, 2200), (9200, 2200), (9200, 3800), (4800, 3800)], "M-PLINTH", closed=True)
    msp.add_circle((10000, 3000), 120, dxfattribs={"layer": "M-PLINTH"})
    msp.add_circle((10000, 3000), 60, dxfattribs={"layer": "M-PLINTH"})


walls()
door()
plinth()
duct_runs()
doc.saveas(sys.argv[1])
