"""ezdxf building and saving the entities of blocks_bench's display list.

Usage: blocks_ezdxf.py ELEMENTS OUT.dxf   prints "SECONDS ENTITIES".
"""
import sys
import time

import ezdxf

GROUP_ELEMENTS = 18


def main():
    elements, out = int(sys.argv[1]), sys.argv[2]
    start = time.perf_counter()
    doc = ezdxf.new("R2000")
    for name in ("L2", "L3", "L4"):
        doc.layers.add(name, color=7)
    block = doc.blocks.new("Zephyr1")
    for k in range(elements // GROUP_ELEMENTS):
        x, y = (k % 100) * 10.0, (k // 100) * 10.0
        block.add_line((x, y, 0), (x + 5, y, 0), dxfattribs={"layer": "0"})
        block.add_line((x + 5, y, 0), (x + 5, y + 5, 0), dxfattribs={"layer": "0"})
        block.add_line((x + 5, y + 5, 0), (x, y + 5, 0), dxfattribs={"layer": "L2"})
        block.add_circle((x + 2.5, y + 2.5, 1), 2, dxfattribs={"layer": "L3"})
        block.add_ellipse((x + 2.5, y + 2.5, 2), (3, 0, 0), 0.5, 0, 3.14159,
                          dxfattribs={"layer": "L4"})
        face = block.add_3dface([(x, y, 3), (x + 5, y, 3), (x + 5, y + 5, 3), (x, y + 5, 3)],
                                dxfattribs={"layer": "0"})
        face.set_edge_visibility(1, False)
        block.add_3dface([(x, y, 4), (x + 5, y, 4), (x + 5, y + 5, 4), (x + 5, y + 5, 4)],
                         dxfattribs={"layer": "L2"})
    doc.modelspace().add_blockref("Zephyr1", (0, 0, 0))
    doc.saveas(out)
    print(f"{time.perf_counter() - start:.4f} {len(block)}")


if __name__ == "__main__":
    main()
