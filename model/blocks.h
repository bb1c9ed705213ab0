// The block builder: a block definition in the working drawing from a model's display list,
// free block names, layers on demand, block references through the host's INSERT command,
// and the two small selection helpers of the module.
#pragma once
#include "adesk.h"
#include "acge.h"
#include "dbmain.h"
#include "tekshape.h"

class AcDbEntity;

// The four block functions are exported by the main module under their own names (C
// linkage, so that another module finds them by name); their C++ argument and result
// types are the host's own, passed as the host passes them.
#define ZEPHYR_EXPORT ACHOST_EXPORT

// Longest block, layer or linetype name the builder carries (the record's fields hold it
// with the terminator).
const int kBlkPropNameSize = 256;

// What travels with every entity appended to a block.
struct blkprop {
  char blockName[kBlkPropNameSize];  // block definition the entity goes into
  char layer[kBlkPropNameSize];      // "" = the entity's layer is not set
  char linetype[kBlkPropNameSize];   // "" = the entity's linetype is not set
  Adesk::UInt16 color;               // colour index; 256 = ByLayer
};

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif
extern "C" {

// A new block named blockName holding the display list's lines, circles, elliptical arcs
// and 3-D faces; pens 2, 3 and 4 put an entity on layer2..layer4, any other pen on layer1.
// The id of the new block table record, or the null id when the block was not created (no
// drawing, a name taken or too long, no display list). Elements whose numbers cannot make a
// valid entity (not finite, zero normal or axis, bad radius or ratio) are left out.
ZEPHYR_EXPORT AcDbObjectId block_build_from_a2d(const char* blockName, const char* layer1,
                                                const char* layer2, const char* layer3,
                                                const char* layer4, const gm_model* model);

// Inserts a reference to the block with the host's "_.INSERT" command. With pickPoint the
// user gives the insertion point, and the rotation too when pickRotation; otherwise the
// reference stands at point with the rotation (degrees) and no input is asked. Scale applies
// to X and Y. The id of the new reference, or the null id (cancelled, refused, bad numbers).
ZEPHYR_EXPORT AcDbObjectId block_insertblockref(const char* blockName, const char* layer,
                                                bool pickPoint, AcGePoint3d point,
                                                bool pickRotation, double rotation, double scale);

// The first name prefix + n (n = 1 .. 99998) that no block of the drawing has, written to
// name, which must hold the prefix, five digits and the terminator. 0 found; -1 failed.
ZEPHYR_EXPORT int block_get_free_blkname(const char* prefix, char* name);

// Makes sure the layer exists: a new one gets the colour index and the linetype
// "CONTINUOUS"; an existing one is left as it is. 0 exists or created; -1 failed.
ZEPHYR_EXPORT int layer_create(const char* layer, int color);

}  // extern "C"
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

// Appends a new entity to the block the record names, with the record's layer, colour and
// linetype. 0 appended; -1 block table not readable; -2 block not found or not writable;
// -3 append refused; -4 layer not created; -5 no entity. On failure the entity is deleted.
int block_append_entity(const blkprop* prop, AcDbEntity* entity);

// Erases a block definition (with its entities) that nothing refers to. 0 erased; -1 it
// cannot be opened for write.
int block_erase_definition(const AcDbObjectId& blockId);

// The drawing's last entity, or the null id.
AcDbObjectId block_get_last_entity();

// Lets the user pick one object (prompt cut to 127 characters) and opens it in the mode.
// The open object (the caller closes it), or null when nothing was picked or it won't open.
AcDbObject* select_one_object(const char* prompt, AcDb::OpenMode mode);
