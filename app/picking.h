// The user's choice of heat-exchanger type and of the duct ends the unit will serve.
#pragma once
#include "unitrecord.h"

// 0 when all four connections were picked or skipped; -1 cancelled or Ductora unreachable.
int pickDuctConnections(UnitRecord& unit);
