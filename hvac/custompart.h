// The unit's graphical parts as Ductora custom parts ("EWAPART_CUSTOM"): made from the
// inserted block reference (which the part then replaces in the drawing) or from the
// product's model, and the placement of such an object for stubs and ducts.
#pragma once
#include <cstdint>
#include <string>
#include "acge.h"
#include "dbmain.h"
#include "tekshape.h"
#include "unitrecord.h"

// Makes the part's custom part once: from its block reference when it has one, else from
// its product model at its position, direction and normal; the new part's id then
// replaces part.blockRefId. 0 done, or nothing to do (already a custom part); -1 failed
// (reported under "Can't get duct connection data from Ductora", or by the creating step).
int dc_create_custom_part(int16_t productDb, int systemId, GraphicalPart& part);

// A custom part whose geometry is the reference's block, placed where the reference
// stands; the reference is erased once Ductora has the part and its block name. handle is
// the new part's ("" unless it was created). 0 done (also for the null id: nothing done);
// -1 failed (reported under "Can't create custom object").
int dc_custom_part_from_block(const AcDbObjectId& blockRefId, int systemId, const char* productCode,
                              const char* description, std::string& handle);

// A custom part whose geometry is the display list, sent as count x 28 bytes, with the
// four line types. 0 done; -1 no list (no message) or failed (reported under "Can't create
// custom object"; a part already created stays in Ductora).
int dc_custom_part_from_model(const gm_model* list, int systemId, const AcGePoint3d& position,
                              const AcGeVector3d& direction, const AcGeVector3d& normal,
                              const char* productCode, const char* layer, const char* description,
                              std::string& handle);

// Gives the pens 1 to 4 of the part's display list the layer "0". 0 done; -1 failed
// (reported under "Can't set line type definitions to part").
int dc_set_linetypes(const char* handle);

// The drawing object of a Ductora handle text (an erased one too); the null id when the
// drawing has none.
AcDbObjectId dc_drawing_object(const std::string& handle);

// The object's local frame in world coordinates: a block reference's block transform, or
// a Ductora part's position, direction and normal (Y = normal x direction). The identity
// when nothing can be read (reported under "Can't get duct connection data from Ductora").
AcGeMatrix3d dc_part_transform(const AcDbObjectId& id);

// The part's position, X direction and normal from the placement of its object
// (dc_part_transform of blockRefId), as the insertion gives them to a new unit.
void dc_take_placement(GraphicalPart& part);
