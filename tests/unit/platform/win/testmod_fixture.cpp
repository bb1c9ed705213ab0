// A module with a version record, resources (testmod.rc) and one function, loaded by the
// tests.
#include "windows.h"

extern "C" __attribute__((visibility("default"))) int zwinTestAnswer() { return 42; }
