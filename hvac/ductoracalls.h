// Shared steps of the tasks that create Ductora objects: the server versions they need
// and the way a refusal ends a task (thrown, then reported by the task's own handler).
#pragma once
#include <string>
#include "bridge.h"
#include "xmlwriter.h"

// Server versions: custom parts from a block or a model; connection stubs and branches;
// product packages, the unit's custom part and ducts.
const long kDuctoraPartsVersion = 2005087;
const long kDuctoraStubsVersion = 2006080;
const long kDuctoraPackageVersion = 20071001;

// The server's version; ends the task with the message when it is older than minimum.
inline long requireDuctoraVersion(DuctoraBridge& bridge, long minimum, const char* message) {
  const long version = bridge.version();
  if (version < minimum) throw message;
  return version;
}

// The message of the stub, branch and duct tasks for an old server.
const char* const kDuctoraTooOldForObjects =
    "Can't initialize Ductora interface. Ductora version is too old";

// Ends the task with the server's own reason when it refused (code not 0).
inline void requireDone(DuctoraBridge& bridge, long code) {
  if (code != 0) throw bridge.lastError();
}

// "<Element><WCS>x y z</WCS></Element>", six decimals each.
inline void appendWcs(xmlStringWriter& writer, const char* element, double x, double y, double z) {
  writer.xmlAppendf("<%s><WCS>%f %f %f</WCS></%s>", element, x, y, z, element);
}

// A duct size in whole millimetres, truncated toward zero (kept within int).
inline int wholeMillimetres(double size) {
  if (size != size) return 0;
  if (size >= 2147483647.0) return 2147483647;
  if (size <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int>(size);
}

// Shape 1 with Width and Height when the height is at least 1e-6, else shape 0 with the
// Diameter (the width).
inline void appendDuctSize(xmlStringWriter& writer, double width, double height) {
  const bool rectangular = height >= 1e-6;
  writer.xmlAppendf("<Shape><ID>%d</ID></Shape>", rectangular ? 1 : 0);
  if (rectangular)
    writer.xmlAppendf("<Width>%d</Width><Height>%d</Height>", wholeMillimetres(width), wholeMillimetres(height));
  else
    writer.xmlAppendf("<Diameter>%d</Diameter>", wholeMillimetres(width));
}
