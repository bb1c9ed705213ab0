// tekpaint: draws display lists (gm_model) as a picture, seen along a view direction.
//
// A drawing context holds a scene (copies of display lists), materials, pens, the view
// direction and a view window. Painting projects the scene orthographically: the view
// direction points from the scene toward the viewer (as a CAD view point), screen up
// follows the world Z axis. Faces are filled with their material colour, shaded by their
// angle to the light, back to front (painter's algorithm, large faces in pieces). Then
// the visible edges of faces (pen 1001) and the lines, circles and arcs (the pen of their
// element) are drawn where no face in front of them covers them.
// Face colour: the material numbered by the face's first pen, else material 1, else grey.
//
// View record (ten doubles, tp_get_view / tp_set_view): 0, 1 centre of the view window
// (view units: model units across and up the screen); 2, 3 its width and height; 4..6 the
// view direction; 7 the depth offset of lines; 8, 9 the picture size in pixels.
// Pen widths: above 0 in pixels; below 0 in eighths of a pixel (-16 = 2 pixels); every
// line is at least one pixel wide.
#pragma once
#include <stdint.h>

#include "tekshape.h"
#include "windows.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tp_context tp_context;

enum {
  TP_BACKGROUND = 0,  // fill the picture with the background colour first
  TP_FACES = 1,       // fill faces
  TP_EDGES = 2        // draw the visible edges of faces
};

// Flags of a scene object (tp_add_model).
enum {
  TP_OBJECT_ORIENTED = 64  // its faces run counter-clockwise seen from outside: faces
                           // turned away from the viewer are not filled
};

// A context for a picture of width x height pixels whose top-left corner is (x, y) in the
// device context. Sizes may be 0 (a context that only holds a scene). Null for negative
// sizes or when out of memory.
tp_context* tp_create_without_wnd(int x, int y, int width, int height);
void tp_destroy(tp_context* ctx);

// Material `number` (>= 1): kind (0 = none), colour (red | green << 8 | blue << 16),
// flags, ambient and diffuse shares (0..1). 0, or -1 for bad arguments.
int tp_define_material(tp_context* ctx, int number, int32_t kind, int32_t colour,
                       int16_t flags, double ambient, double diffuse);
// Pen `number` with style (0 solid), width and colour. 0, or -1.
int tp_define_pen(tp_context* ctx, int number, int style, int width, int red, int green, int blue);
// Width and colour of pen `number` (defined if it was not). 0, or -1.
int tp_set_pen_width(tp_context* ctx, int number, int width, int red, int green, int blue);
// The view window by its corners in view units. 0, or -1 for an empty window.
int tp_set_window(tp_context* ctx, double xmin, double ymin, double xmax, double ymax);
int tp_set_background(tp_context* ctx, int red, int green, int blue);
// Switches a TP_ feature on or off (all are on in a new context). 0, or -1.
int tp_enable(tp_context* ctx, int feature);
int tp_disable(tp_context* ctx, int feature);
// Lines, circles, arcs and edges count as lying `offset` model units farther from the
// viewer than they are when faces hide them: a negative offset keeps a line drawn on a
// face in front of it.
int tp_set_depth_offset(tp_context* ctx, double offset);

// Adds a copy of the display list as scene object `number`, moved by origin (may be
// null), replacing an object of the same number. The reserved arguments: pass 0; flags:
// TP_OBJECT_ORIENTED, other bits are kept. 0, or -1 (bad arguments, out of memory).
int tp_add_model(tp_context* ctx, int number, const double origin[3], int reserved1,
                 int reserved2, const gm_model* model, int flags);
// The direction from the scene toward the viewer (need not be unit). 0, or -1 for a zero
// or not finite vector (the view stays).
int tp_set_view_direction(tp_context* ctx, double x, double y, double z);
// Recomputes the projection after the direction changed. 0, or -1.
int tp_update_view(tp_context* ctx);
// Sets the view window around the whole scene with a small margin, in the picture's
// proportions. 0; -1 when the scene is empty (the window stays).
int tp_fit_view(tp_context* ctx);
// Reads / writes the view record (see above). tp_set_view takes indices 0..3 and, when
// not zero, the direction 4..6. 0, or -1 (bad record: nothing changes).
int tp_get_view(const tp_context* ctx, double view[10]);
int tp_set_view(tp_context* ctx, const double view[10]);

// Paints the scene into the device context with GDI. 0, or -1 (no context or no DC).
int tp_paint(tp_context* ctx, HDC hdc);

// Painting through callbacks, for pictures made without GDI. Points are pixels
// (x, y pairs); colours are red | green << 8 | blue << 16.
typedef struct tp_painter {
  void* user;
  void (*clear)(void* user, uint32_t colour);
  void (*polygon)(void* user, const double* xy, int count, uint32_t fill);
  void (*line)(void* user, double x0, double y0, double x1, double y1, uint32_t colour,
               double width);
} tp_painter;
// 0, or -1 (no context or painter).
int tp_render(tp_context* ctx, const tp_painter* painter);

#ifdef __cplusplus
}
#endif
