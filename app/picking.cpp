// Placeholder until duct-end picking is built.
#include "picking.h"

#include "text.h"

int pickDuctConnections(UnitRecord&) {
  printMessage("\nZephyr: Picking duct connections is not available in this build.\n");
  return -1;
}
