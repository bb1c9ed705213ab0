"""Draws a drawing's model space into a PNG (plan view), so a person can look at it.
Usage: render.py DRAWING.dxf OUT.png"""
import sys

import ezdxf
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from ezdxf.addons.drawing import Frontend, RenderContext  # noqa: E402
from ezdxf.addons.drawing.matplotlib import MatplotlibBackend  # noqa: E402

doc = ezdxf.readfile(sys.argv[1])
errors = doc.audit().errors
fig = plt.figure(figsize=(12, 6))
ax = fig.add_axes([0, 0, 1, 1])
Frontend(RenderContext(doc), MatplotlibBackend(ax)).draw_layout(doc.modelspace())
fig.savefig(sys.argv[2], dpi=100)
print("%s: %d audit errors, picture %s" % (sys.argv[1], len(errors), sys.argv[2]))
