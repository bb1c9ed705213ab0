// What Ductora draws for its parts: the elements of a display list, and the spigots of
// stubs and the runs of ducts, as simple shapes the drawing turns into its entities.
#pragma once
#include <cstdint>
#include <vector>
#include "du_project.h"

// How far a stub's spigot stands out from its connection, along the connection's direction.
const double kDuSpigotLength = 100;

struct DuShape {
  enum Kind { POINT, LINE, CIRCLE, ELLIPSE, FACE } kind = LINE;
  DuVec p[4];         // POINT: p[0]; LINE: p[0] to p[1]; CIRCLE, ELLIPSE: p[0] the centre; FACE: corners
  int corners = 0;    // FACE: 3 or 4
  bool visible[4] = {true, true, true, true};  // FACE: the edge from corner k to the next
  DuVec normal;       // CIRCLE, ELLIPSE (unit length)
  DuVec axis;         // ELLIPSE: the major axis, its length the major radius
  double radius = 0;  // CIRCLE
  double ratio = 1, start = 0, end = 0;  // ELLIPSE: minor to major, angles in radians
};

// The shapes of a display list of 28-byte elements (code int16, pen int16, x y z doubles,
// little-endian), in the model's own coordinates, read in groups: a 1001 element starts a
// run of lines that a 1003 element ends; 1021 a circle (centre, normal, radius in x);
// 1011 an elliptical arc (centre, normal, major axis, then start, end and ratio); 2001 a
// face of three corners, four when its third element is a 2002; pen 99 on a corner hides
// the edge that starts there. A group cut off by the end of the list is left out, and so
// is anything with numbers that are not finite, beyond kDuMaxCoordinate or of no size.
// At most kDuMaxShapeElements elements are read.
std::vector<DuShape> du_display_list_shapes(const std::vector<uint8_t>& bytes);

// A stub's spigots (kDuSpigotLength out from each connection) or a duct's run from its
// first end to its second, at the connection's size: round as a cylinder (a circle at each
// end, four lines along), rectangular as a box (width across, height along the normal),
// a connection of no size as one line. Coordinates relative to the part's position.
std::vector<DuShape> du_connection_shapes(const DuPart& part);
// What a part draws besides a block it is made of: a custom part its display list (in its
// own frame), a stub or a duct its connection shapes, a duct end or a custom part without
// geometry a point where it stands.
std::vector<DuShape> du_part_shapes(const DuPart& part);
