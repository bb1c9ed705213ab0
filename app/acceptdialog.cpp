// Placeholder until the accept dialog is built.
#include "acceptdialog.h"

#include "text.h"

int showAcceptDialog() {
  printMessage("\nZephyr: The accept dialog is not available in this build.\n");
  return -1;
}
