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
  // Like draw, but within a SharedDeviceDrawings the product's drawing made earlier in it
  // is read again instead of drawn anew. drawn() is the list to read either way.
  int drawShared(int16_t productDb, const char* product);
  const gm_model* drawn() const { return shared ? shared : &list; }
  const gm_model* shared = nullptr;
};

// While one lives, device_get_connections and device_insert_block draw each product's
// model once and read that drawing again: the steps of one import (the connections of
// every part, then the unit's block) meet the same model without drawing it twice. Each
// step's results and messages stay as without it; a drawing that fails is not kept, so
// the next step tries again and says so again. The drawings are freed with it. One at a
// time: a second while the first lives shares nothing of its own.
class SharedDeviceDrawings {
 public:
  SharedDeviceDrawings();
  ~SharedDeviceDrawings();
  SharedDeviceDrawings(const SharedDeviceDrawings&) = delete;
  SharedDeviceDrawings& operator=(const SharedDeviceDrawings&) = delete;

 private:
  bool owner_ = false;
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
