// Placeholder until the selector address and browser launch are built.
#include "selector.h"

#include "text.h"

int openSelector(const UnitRecord&, const SelectorSettings&, std::string&) {
  printMessage("\nZephyr: The web selector is not available in this build.\n");
  return -1;
}
