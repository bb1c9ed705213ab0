// tekshape: points, vectors, 4 x 4 frames and the gm_model display list.
//
// Points and vectors are three doubles. A frame is a 4 x 4 matrix of doubles (128 bytes)
// acting on column vectors: column 0 is the X axis, 1 the Y axis, 2 the Z axis, 3 the
// origin, and the bottom row is 0 0 0 1. m[row][col].
//
// A display list (gm_model) is an array of 28-byte elements. Element groups:
//   1001 run start point, 1002 further run points, 1003 run end point   (line run)
//   1021 centre, 1022 normal, 1023 x = radius                          (circle)
//   1011 centre, 1012 unit normal, 1013 major axis vector,
//   1014 x = start angle, y = end angle (radians), z = minor/major ratio (elliptical arc)
//   2001 first face vertex, 2002 further vertices, 2003 last vertex     (face, 3 or 4 vertices;
//        a quad is 2001 2002 2002 2003, a triangle 2001 2002 2003; pen 99 on a vertex hides
//        the edge that starts there)
//   3001 connection point: pen = its number (201..208, 249), x y z = position;
//   3002 direction (unit vector), 3003 normal (unit vector)
// Pens 1..4 select layers; 99 on a face vertex marks an invisible edge.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct gm_point { double x, y, z; } gm_point;
typedef struct gm_vector { double x, y, z; } gm_vector;
typedef struct gm_frame { double m[4][4]; } gm_frame;

#pragma pack(push, 1)
typedef struct gm_element {
  int16_t code;
  int16_t pen;
  double x, y, z;
} gm_element;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(gm_element) == 28, "gm_element is 28 bytes, packed");
static_assert(sizeof(gm_frame) == 128, "gm_frame is 128 bytes");
#else
_Static_assert(sizeof(gm_element) == 28, "gm_element is 28 bytes, packed");
_Static_assert(sizeof(gm_frame) == 128, "gm_frame is 128 bytes");
#endif

// items: count elements, contiguous. capacity is kept by the library; callers only read
// items and count.
typedef struct gm_model {
  gm_element* items;
  int32_t count;
  int32_t capacity;
} gm_model;

enum {
  GM_RUN_START = 1001, GM_RUN_POINT = 1002, GM_RUN_END = 1003,
  GM_ARC = 1011, GM_ARC_NORMAL = 1012, GM_ARC_MAJOR = 1013, GM_ARC_ANGLES = 1014,
  GM_CIRCLE = 1021, GM_CIRCLE_NORMAL = 1022, GM_CIRCLE_RADIUS = 1023,
  GM_FACE = 2001, GM_FACE_VERTEX = 2002, GM_FACE_LAST = 2003,
  GM_CONNECTION = 3001, GM_CONNECTION_DIR = 3002, GM_CONNECTION_NORMAL = 3003,
  GM_PEN_INVISIBLE = 99,
  GM_COPY_REPLACE = 0, GM_COPY_APPEND = 4
};

// Largest number of elements a display list holds.
#define GM_MODEL_MAX_COUNT 50000000

// ---- display list ----
// An empty list; whatever the three words held before is not looked at.
void gm_model_init(gm_model* model);
// Releases all storage; the list is empty afterwards (and may be reused).
void gm_model_free(gm_model* model);
// Appends one element. 0, or -1 (no list, out of memory or the list is full: unchanged).
int gm_model_add(gm_model* model, int16_t code, int16_t pen, double x, double y, double z);
// Appends a copy of the element. 0 or -1 as gm_model_add.
int gm_model_add_element(gm_model* model, const gm_element* element);
// Makes room for `extra` more elements, so that as many appends need no memory: 0, or -1
// (no list, out of memory or beyond GM_MODEL_MAX_COUNT: unchanged).
int gm_model_reserve(gm_model* model, int64_t extra);
// Drops the elements from `count` on (a count at or beyond the list's changes nothing).
void gm_model_truncate(gm_model* model, int32_t count);
// option GM_COPY_APPEND (4): appends copies of all of src's elements to dst.
// option GM_COPY_REPLACE (0): dst's elements are replaced by copies of src's.
// 0; -1 missing list, unknown option or out of memory (dst unchanged). src may be dst.
int gm_model_copy(const gm_model* src, gm_model* dst, int option);
// Finds connection point `number`: an element 3001 with pen = number followed by its 3002
// direction and 3003 normal. 0 with the three filled (any of them may be null); -1 when
// the list holds no complete group for that number (outputs untouched). The four
// trailing arguments are reserved: pass 0.
int gm_get_connection(const gm_model* model, int16_t number, gm_point* position,
                      gm_vector* direction, gm_vector* normal,
                      void* reserved1, void* reserved2, void* reserved3, void* reserved4);
// Appends a connection-point group (3001, 3002, 3003). 0 or -1.
int gm_model_add_connection(gm_model* model, int16_t number, const gm_point* position,
                            const gm_vector* direction, const gm_vector* normal);

// ---- points and vectors ----
void gm_point_copy(gm_point* target, const gm_point* source);
void gm_vector_copy(gm_vector* target, const gm_vector* source);
// out = a x b (out may be a or b).
void gm_vector_cross(const gm_vector* a, const gm_vector* b, gm_vector* out);
double gm_vector_dot(const gm_vector* a, const gm_vector* b);
double gm_vector_length(const gm_vector* v);
// Scales v to the given length: 0; -1 for a zero (or not finite) vector, which stays as it is.
int gm_vector_set_length(gm_vector* v, double length);

// ---- frames ----
// Identity.
void gm_frame_init(gm_frame* frame);
void gm_frame_copy(gm_frame* target, const gm_frame* source);
// out = a * b: b applied first, then a; i.e. b's placement expressed in a's frame.
// out may be a or b.
void gm_frame_multiply(const gm_frame* a, const gm_frame* b, gm_frame* out);
// out = inverse of source. 0; -1 when source is singular (out untouched). out may be source.
int gm_frame_invert(const gm_frame* source, gm_frame* out);
// Replace the origin or an axis (the column as given, not normalised).
void gm_frame_set_origin(gm_frame* frame, double x, double y, double z);
void gm_frame_set_xaxis(gm_frame* frame, double x, double y, double z);
void gm_frame_set_yaxis(gm_frame* frame, double x, double y, double z);
void gm_frame_set_zaxis(gm_frame* frame, double x, double y, double z);
void gm_frame_get_origin(const gm_frame* frame, double out[3]);
void gm_frame_get_xaxis(const gm_frame* frame, double out[3]);
void gm_frame_get_yaxis(const gm_frame* frame, double out[3]);
void gm_frame_get_zaxis(const gm_frame* frame, double out[3]);
// out = frame applied to the point (with the origin) / to the vector (without it).
void gm_frame_transform_point(const gm_frame* frame, const gm_point* in, gm_point* out);
void gm_frame_transform_vector(const gm_frame* frame, const gm_vector* in, gm_vector* out);

#ifdef __cplusplus
}
#endif
