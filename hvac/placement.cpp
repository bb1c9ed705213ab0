#include "placement.h"

#include <cfloat>

#include "tekshape.h"

namespace {

gm_vector vectorOf(const AcGeVector3d& v) { return gm_vector{v.x, v.y, v.z}; }

// A frame at origin with the X axis along direction, the Z axis along normal and the Y
// axis normal x direction.
gm_frame frameOf(const AcGePoint3d& origin, const AcGeVector3d& direction, const AcGeVector3d& normal) {
  gm_vector x = vectorOf(direction), z = vectorOf(normal), y;
  gm_vector_cross(&z, &x, &y);
  gm_frame frame;
  gm_frame_init(&frame);
  gm_frame_set_origin(&frame, origin.x, origin.y, origin.z);
  gm_frame_set_xaxis(&frame, x.x, x.y, x.z);
  gm_frame_set_yaxis(&frame, y.x, y.y, y.z);
  gm_frame_set_zaxis(&frame, z.x, z.y, z.z);
  return frame;
}

gm_frame translationAlongX(double offset) {
  gm_frame frame;
  gm_frame_init(&frame);
  gm_frame_set_origin(&frame, offset, 0.0, 0.0);
  return frame;
}

// accumulated := accumulated x factor
void multiplyInto(gm_frame& accumulated, const gm_frame& factor) {
  gm_frame_multiply(&accumulated, &factor, &accumulated);
}

// A half-turn about Z: the X and Y axes reversed.
void reverseXY(gm_frame& frame) {
  double x[3], y[3];
  gm_frame_get_xaxis(&frame, x);
  gm_frame_get_yaxis(&frame, y);
  gm_frame_set_xaxis(&frame, -x[0], -x[1], -x[2]);
  gm_frame_set_yaxis(&frame, -y[0], -y[1], -y[2]);
}

// Beside the parent along its X direction, in the parent's orientation. The inlet stands
// in line with the parent connection and at its height: the component's axes are the
// parent's, so the inlet's place in the component is its offset in the parent's axes too.
gm_frame besideParent(const GraphicalPart& parent, const DuctConnectionData& parentConnection,
                      const GraphicalPart& component, const DuctConnectionData& inlet, double distance) {
  double parentBox[EXTENT_COUNT], componentBox[EXTENT_COUNT];
  double offset = 0.0;
  if (dc_connection_extents(&parent, parentBox) == 0) {
    const double componentSize =
        dc_connection_extents(&component, componentBox) == 0 ? componentBox[EXTENT_LARGEST] : 0.0;
    offset = 0.75 * parentBox[EXTENT_LARGEST] + 0.75 * componentSize + distance;
  }
  if (parentConnection.position.x < 0) offset = -offset;
  gm_frame result = frameOf(parent.position, parent.direction, parent.normal);
  gm_frame beside;
  gm_frame_init(&beside);
  gm_frame_set_origin(&beside, offset, parentConnection.position.y - inlet.position.y,
                      parentConnection.position.z - inlet.position.z);
  multiplyInto(result, beside);
  return result;
}

// Parent placement x parent connection x distance along it, turned to face back, x the
// inverse of the inlet's own frame: the inlet lands on the connection's line.
bool facingParentConnection(const GraphicalPart& parent, const DuctConnectionData& parentConnection,
                            const DuctConnectionData& inlet, double distance, gm_frame& result) {
  gm_frame inverseInlet;
  const gm_frame inletFrame = frameOf(inlet.position, inlet.direction, inlet.normal);
  if (gm_frame_invert(&inletFrame, &inverseInlet) != 0) return false;
  gm_frame_init(&result);
  multiplyInto(result, frameOf(parent.position, parent.direction, parent.normal));
  multiplyInto(result, frameOf(parentConnection.position, parentConnection.direction, parentConnection.normal));
  multiplyInto(result, translationAlongX(distance));
  reverseXY(result);
  multiplyInto(result, inverseInlet);
  return true;
}

}  // namespace

int dc_connection_extents(const GraphicalPart* part, double extents[EXTENT_COUNT]) {
  if (!part) return -1;
  if (part->connections.empty()) return -2;
  for (int axis = 0; axis < 3; ++axis) {
    extents[2 * axis] = DBL_MAX;
    extents[2 * axis + 1] = -DBL_MAX;
  }
  for (const auto& entry : part->connections) {
    for (unsigned axis = 0; axis < 3; ++axis) {
      const double value = entry.second.position[axis];
      if (value < extents[2 * axis]) extents[2 * axis] = value;
      if (value > extents[2 * axis + 1]) extents[2 * axis + 1] = value;
    }
  }
  extents[EXTENT_LARGEST] = 0.0;
  for (int axis = 0; axis < 3; ++axis) {
    extents[EXTENT_SIZE_X + axis] = extents[2 * axis + 1] - extents[2 * axis];
    if (extents[EXTENT_SIZE_X + axis] > extents[EXTENT_LARGEST]) extents[EXTENT_LARGEST] = extents[EXTENT_SIZE_X + axis];
  }
  return 0;
}

int dc_place_external_part(const GraphicalPart* parent, const DuctConnectionData* parentConnection,
                           GraphicalPart* component, const DuctConnectionData* inlet, double distance) {
  if (!parent) return -1;
  if (!parentConnection) return -2;
  if (!component) return -3;
  if (!inlet) return -4;
  gm_frame result;
  switch (component->alignment) {
    case 'H':
      result = besideParent(*parent, *parentConnection, *component, *inlet, distance);
      break;
    case 'D':
      if (!facingParentConnection(*parent, *parentConnection, *inlet, distance, result)) return kPlacementNoInletFrame;
      break;
    case 'V':
      return -50;
    default:
      return -100;
  }
  double origin[3], x[3], z[3];
  gm_frame_get_origin(&result, origin);
  gm_frame_get_xaxis(&result, x);
  gm_frame_get_zaxis(&result, z);
  component->position.set(origin[0], origin[1], origin[2]);
  component->direction.set(x[0], x[1], x[2]);
  component->normal.set(z[0], z[1], z[2]);
  return 0;
}
