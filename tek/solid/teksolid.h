// teksolid: parametric product models, built from a model data block (text).
//
// The data block, one statement a line, '#' starts a comment:
//   teksolid 1                         first statement: the format
//   param NAME = INTEGER               a named integer parameter with its default
//   linewidth = NUMBER                 line width of the model (default 0)
//   view = (x, y, z)                   the model's own view direction, from the model toward
//                                      the viewer (default (-1, -1, 1))
//   material kind=N colour=(r, g, b) flags=N ambient=X diffuse=X
//   box       origin=(x,y,z) size=(dx,dy,dz)
//   cylinder  base=(x,y,z) axis=(x,y,z) radius=R length=L
//   circle    centre=(x,y,z) normal=(x,y,z) radius=R
//   arc       centre=(x,y,z) normal=(x,y,z) major=(x,y,z) start=DEG end=DEG ratio=X
//   line      points=((x,y,z), (x,y,z), ...) [closed=1]
//   face      points=((x,y,z), (x,y,z), (x,y,z) [, (x,y,z)])
//   connection slot=N at=(x,y,z) dir=(x,y,z) normal=(x,y,z) [diameter=D] [rect=(B, H)]
//              [collar=LEN]
// Every drawing statement also takes pen=N (1..4) and when=EXPR (drawn only when EXPR is
// not 0). Values are expressions over numbers, declared parameter names, + - * / and
// parentheses; a value beyond +-1e9 or a division by zero makes the model unusable.
// A connection in slot N (1..8) takes its type from parameter PN: 0 leaves it out, 5 is
// connection point 249, any other type connection point 200 + N. Without an explicit
// rect its diameter defaults to parameter D, and its rectangle to (B, H), when the model
// declares them: a diameter above 0 draws a circle, else a rectangle B wide (across,
// along dir x normal) and H high (along the normal).
// The parameter "cat" (default 1) is always declared: decorative detail says when=cat.
//
// Display-list codes written by ts_draw: see tekshape.h. A box is six 4-vertex faces with
// visible edges in its pen. A cylinder is a circle at each end in its pen plus 16 side
// faces and two caps of 16 triangles, all their edges hidden (pen 99, so these faces
// carry no layer pen). A connection is its outline (circle, or a closed line run for a
// rectangle), its collar when it has one (a capped tube, or four side faces for a
// rectangle), and its connection-point group (3001, 3002, 3003): the position at the
// collar's outer end, the direction pointing out of the product, the normal made square
// to the direction.
// The faces of boxes, cylinders and collars run counter-clockwise seen from outside; a
// face statement keeps its points' order (give them counter-clockwise as seen from where
// the face is meant to be seen).
// Default pens: box, cylinder, face 1; connection 2; line, circle, arc 3.
#pragma once
#include <stdint.h>

#include "tekshape.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ts_model ts_model;

// A material record, 45 bytes packed. kind 0 means "no material".
#pragma pack(push, 1)
typedef struct ts_material {
  int32_t kind;     // 1 plain surface
  int32_t colour;   // red | green << 8 | blue << 16
  int16_t flags;
  double ambient;   // share of the colour seen without light, 0..1
  double diffuse;   // share that follows the light, 0..1
  char reserved[19];
} ts_material;
#pragma pack(pop)
#ifdef __cplusplus
static_assert(sizeof(ts_material) == 45, "ts_material is 45 bytes");
#endif

// Largest data block accepted, in bytes.
#define TS_MAX_BLOCK_SIZE (1 << 20)

// Builds a model from a data block (flags: pass 0). The model, or null when the block does
// not parse or its defaults do not evaluate. count = number of drawing statements (0 on
// failure; count may be null).
ts_model* ts_create_model(int flags, const void* data, long size, int16_t* count);
// Sets a parameter from its decimal integer text (blanks around it allowed).
// 0; -1 no such parameter or an argument missing; -2 the value is not an integer within
// +-1e9; -3 the model would not evaluate with it. On failure nothing changes.
int ts_set_parameter(ts_model* model, const char* name, const char* value);
// The parameter's current value into *value: 0, or -1 when there is no such parameter.
int ts_get_parameter(const ts_model* model, const char* name, long* value);
void ts_free_model(ts_model* model);

// Number of materials of the model (0 for null).
int ts_material_count(const ts_model* model);
// Material `index` (0-based) into *out: 0, or -1 when there is none (out zeroed).
int ts_get_material(const ts_model* model, int index, ts_material* out);
// The model's line width (0 when the block names none, or for null).
double ts_line_width(const ts_model* model);
// Checks the model evaluates with its current parameters: 0, or -1.
int ts_prepare(ts_model* model);
// Appends the model's geometry to the display list: 0, or -1 (nothing appended).
int ts_draw(ts_model* model, gm_model* out);
// The model's own view direction into out[3]: 0, or -1 for null arguments.
int ts_default_view(const ts_model* model, double out[3]);

#ifdef __cplusplus
}
#endif
