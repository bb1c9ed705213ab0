// The place of an external duct component next to the unit (or next to the component it
// is attached to), computed before its custom part is made from its model.
#pragma once
#include "unitrecord.h"

// The box of a part's connection points (model coordinates), ten numbers in this order.
enum ConnectionExtent {
  EXTENT_MIN_X, EXTENT_MAX_X, EXTENT_MIN_Y, EXTENT_MAX_Y, EXTENT_MIN_Z, EXTENT_MAX_Z,
  EXTENT_SIZE_X, EXTENT_SIZE_Y, EXTENT_SIZE_Z, EXTENT_LARGEST,
  EXTENT_COUNT
};

// 0 with the box filled; -1 no part; -2 the part has no connections (box untouched).
int dc_connection_extents(const GraphicalPart* part, double extents[EXTENT_COUNT]);

// Writes the component's position, direction and normal by its alignment:
//   'H' beside the parent along the parent's X direction, on the side of the parent
//       connection, 0.75 x each part's largest connection extent + distance away, in the
//       parent's orientation, its inlet in line with the parent connection and at its
//       height;
//   'D' with its inlet `distance` ahead of the parent connection on the connection's line,
//       facing back toward it.
// 0 placed; -1 no parent, -2 no parent connection, -3 no component, -4 no inlet;
// kPlacementNoInletFrame the inlet's frame cannot be inverted (its direction and normal
// are parallel or zero); -50 alignment 'V'; -100 any other alignment. Nothing is changed
// unless the result is 0.
const int kPlacementNoInletFrame = -5;
int dc_place_external_part(const GraphicalPart* parent, const DuctConnectionData* parentConnection,
                           GraphicalPart* component, const DuctConnectionData* inlet, double distance);
