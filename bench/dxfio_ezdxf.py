"""The drawing of bench dxfio, and ezdxf reading and saving it.

Usage: dxfio_ezdxf.py make OUT.dxf     writes the drawing: 120 000 entities of the kinds a
                                       plan holds (lines, circles, arcs, ellipses, faces,
                                       points, texts, polylines, block references with
                                       attributes) on 24 layers, some with extended data
       dxfio_ezdxf.py time IN.dxf OUT.dxf   prints "SECONDS" for readfile + saveas
"""
import random
import sys
import time

import ezdxf

ENTITIES = 120000


def make(path):
    rng = random.Random(7)
    doc = ezdxf.new("R2000")
    layers = ["L" + "0123456789ABCDEFGHIJKLMN"[i] for i in range(24)]
    for i, name in enumerate(layers):
        doc.layers.add(name, color=1 + i % 7)
    doc.appids.new("PLANNER")
    valve = doc.blocks.new("VALVE")
    valve.add_circle((0, 0), 50)
    valve.add_line((-50, 0), (50, 0))
    valve.add_attdef("TAG", (0, 60), dxfattribs={"height": 25})
    msp = doc.modelspace()

    def xy():
        return round(rng.uniform(0, 99), 1), round(rng.uniform(0, 99), 1)

    made = 0
    while made < ENTITIES:
        attribs = {"layer": rng.choice(layers)}
        kind = made % 20
        x, y = xy()
        other = made % 40 >= 20
        if kind < 15:
            line = msp.add_line((x, y), (x + round(rng.uniform(-9, 9), 1), y), dxfattribs=attribs)
            if kind == 0 and other:
                line.set_xdata("PLANNER", [(1000, "run %d" % made), (1040, round(rng.uniform(0, 9), 2))])
        elif kind == 15 and not other:
            msp.add_circle((x, y), round(rng.uniform(0.5, 5), 1), dxfattribs=attribs)
        elif kind == 15:
            msp.add_arc((x, y), round(rng.uniform(0.5, 5), 1), rng.randrange(360), rng.randrange(360), dxfattribs=attribs)
        elif kind == 16 and not other:
            msp.add_ellipse((x, y), major_axis=(round(rng.uniform(1, 4), 1), 0), ratio=0.5, dxfattribs=attribs)
        elif kind == 16:
            msp.add_3dface([(x, y, 0), (x + 10, y, 0), (x + 10, y + 10, 0), (x, y + 10, 0)], dxfattribs=attribs)
        elif kind == 17:
            msp.add_point((x, y), dxfattribs=attribs)
        elif kind == 18 and not other:
            msp.add_text("Zuluft %d" % made, dxfattribs=dict(attribs, height=2.5)).set_pos((x, y))
        elif kind == 18:
            msp.add_lwpolyline([(x, y), (x + 50, y), (x + 50, y + 30)], dxfattribs=attribs)
        else:
            ref = msp.add_blockref("VALVE", (x, y), dxfattribs=dict(attribs, rotation=rng.randrange(360)))
            ref.add_attrib("TAG", "V-%d" % made, (x, y + 60))
            made += 2  # its attribute and the end of its attributes
        made += 1
    doc.saveas(path)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "time":
        start = time.perf_counter()
        ezdxf.readfile(sys.argv[2]).saveas(sys.argv[3])
        print("%.4f" % (time.perf_counter() - start))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
