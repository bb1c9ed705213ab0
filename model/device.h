// The device block and the connection geometry of a unit's graphical parts: the part's
// model drawn into a block and inserted by the user, and its duct connections read from
// the product model into the part's connection map.
#pragma once
#include <cstdint>
#include "tekshape.h"
#include "unitrecord.h"

// A product's 3-D model drawn into a display list of its own (device_draw's mode 5, view
// 7, without category), freed on every way out.
struct DeviceModel {
  gm_model list;
  DeviceModel();
  ~DeviceModel();
  DeviceModel(const DeviceModel&) = delete;
  DeviceModel& operator=(const DeviceModel&) = delete;
  // device_draw's result: negative after its message when the model cannot be drawn.
  int draw(int16_t productDb, const char* product);
};

// The integer after the first "name=" in a "name=value;name=value" text (also at the end of
// a longer name), as atoi reads it; into value. 0 found; -1 not found or an argument missing.
int GetParamValue(const char* params, const char* name, int* value);

// Draws the part's model, builds a block "ZephyrN" from it and lets the user insert and
// turn it; the reference's id, position, X direction and normal go into the part.
// 0 done or already inserted; -4 no model parameters; -5 model not drawn; -6 block not
// created or not inserted (a cancelled insertion prints nothing and takes the new block
// out of the drawing again); -7 reference not opened; -8 the object is not a block
// reference.
int device_insert_block(int16_t productDb, GraphicalPart& part);

// Reads the part's description and its up to eight duct connections (type, size, position,
// direction, normal in model coordinates) into the part's connection map. 0 done; -4 no
// model parameters; -5 model not drawn; -7 wrong connection type; -8 connection without
// size; -9 connection point not in the model. Connections read before a failure stay.
int device_get_connections(int16_t productDb, GraphicalPart& part);

// device_get_connections over every part of the record (failures print their own message).
// 0; -1 when no record is given.
int devices_get_connections(UnitRecord* record);
