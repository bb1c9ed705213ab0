// Inside tekpaint: the drawing context.
#pragma once
#include "tekpaint.h"

#include <map>
#include <memory>
#include <vector>

namespace tekpaint {

struct Material {
  int32_t kind = 0;
  uint32_t colour = 0;
  double ambient = 0.45, diffuse = 0.55;
};

struct Pen {
  uint32_t colour = 0;
  int width = -1;
};

// A display list of the scene: the context's own copy of the list it was given.
struct SceneObject {
  gm_model items;
  double origin[3] = {0, 0, 0};
  int flags = 0;
  SceneObject() { gm_model_init(&items); }
  SceneObject(const SceneObject&) = delete;
  SceneObject& operator=(const SceneObject&) = delete;
  ~SceneObject() { gm_model_free(&items); }
};

// Screen basis of a view direction: right, up, toward the viewer.
struct Basis {
  gm_vector u{1, 0, 0}, v{0, 1, 0}, w{0, 0, 1};
};

Basis basisFor(const gm_vector& direction);
uint32_t rgb(int r, int g, int b);

}  // namespace tekpaint

struct tp_context {
  int x = 0, y = 0, width = 0, height = 0;
  std::map<int, tekpaint::Material> materials;
  std::map<int, tekpaint::Pen> pens;
  std::map<int, std::unique_ptr<tekpaint::SceneObject>> objects;
  uint32_t background = 0xFFFFFF;
  bool features[3] = {true, true, true};
  double depthOffset = 0;
  gm_vector direction{-1, -1, 1};
  tekpaint::Basis basis;
  double cx = 0, cy = 0, viewWidth = 100, viewHeight = 100;
};
