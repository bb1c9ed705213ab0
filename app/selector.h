// The selector's address and the browser that opens it.
#pragma once
#include <string>
#include "selector_settings.h"
#include "unitrecord.h"

// Builds the address, makes a fresh selectionId and starts the browser: 0, or -1.
int openSelector(const UnitRecord& unit, const SelectorSettings& settings, std::string& selectionId);
