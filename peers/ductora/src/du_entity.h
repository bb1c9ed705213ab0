// Ductora's parts as entities of their own class in the drawing: DURAPart, DXF name
// "DURAPART", of the application "Ductora". A part's entity knows what it is (Ductora's
// class and type), where it stands (position, direction, normal) and the block it draws,
// and draws what Ductora holds for it. In a DXF file it carries those as its own groups,
// after the proxy graphics that programs without Ductora draw:
//   100 DURAPart, 70 format (1), 1 Ductora class, 3 type, 10 position, 11 direction,
//   210 normal, 2 block (custom parts whose geometry is a block of the drawing)
// Read back with Ductora loaded, the rest of what it draws comes from the project.
#pragma once
#include <functional>
#include <string>
#include <vector>
#include "arxhost.h"
#include "du_shape.h"

class DURAPart : public AcDbEntity {
 public:
  ACRX_DECLARE_MEMBERS(DURAPart);

  std::string partClass;  // "DURACustomPart", "DURAConnectionStub", "DURADuct", "DURAPathwayConnector"
  std::string partType;   // "EWAPART_CUSTOM", ...
  DuVec position, direction{1, 0, 0}, normal{0, 0, 1};
  std::string blockName;  // a custom part's geometry block, or empty
  // What it draws besides its block: a custom part in its own frame (x its direction,
  // z its normal), any other part from its position along the drawing's axes.
  std::vector<DuShape> shapes;
  bool shapesKnown = false;  // false for a part read from a file, until the project gives them

  Acad::ErrorStatus dxfInFields(AcDbDxfFiler* filer) override;
  Acad::ErrorStatus dxfOutFields(AcDbDxfFiler* filer) const override;

 protected:
  Adesk::Boolean subWorldDraw(AcGiWorldDraw* mode) override;
  // Erasing a part erases its connection stubs with it (see du_entity_hooks).
  Acad::ErrorStatus subErase(Adesk::Boolean erasing) override;
};

// What the entities ask of Ductora: the shapes of a part read from a file (false while the
// project does not know it), and the erasing of a part (its stubs go with it).
struct DuEntityHooks {
  std::function<bool(DURAPart& entity)> fill;
  std::function<void(const std::string& handle)> erased;
};
void du_set_entity_hooks(const DuEntityHooks& hooks);

// An entity of the host's own kinds drawing the shape (not in a database; the caller owns it).
AcDbEntity* du_shape_entity(const DuShape& shape);
// The entity takes the part's identity, placement and drawing.
void du_entity_take(DURAPart& entity, const DuPart& part);
// The drawing handle of an entity as Ductora names it ("" for none).
std::string du_entity_handle(const AcDbObject* object);
