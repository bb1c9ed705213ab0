// The selector's address and the browser that opens it. The address carries the login
// settings, the heat-exchanger type, the airflow and pressure demand of the four duct
// connections, a fresh selection id and the plug-in version; every value goes in as it
// stands (no escaping), numbers with two decimals and a point.
#pragma once
#include <cstdint>
#include <string>
#include "selector_settings.h"
#include "unitrecord.h"
#include "windows.h"

// Prints "Zephyr: starting internet browser.", builds the address with a selection id
// made from the system's tick count, and opens it in the browser owned by the host's main
// window. 0 when the browser was started; -1 when it cannot be started.
int openSelector(const UnitRecord& unit, const SelectorSettings& settings, std::string& selectionId);

// The complete address for the tick count (server address and start page joined by one
// "/"); selectionId becomes the id it carries.
std::string selectorAddress(const UnitRecord& unit, const SelectorSettings& settings, uint32_t tickCount,
                            std::string& selectionId);

// The selection id: the MD5 digest of the address so far (up to the "extdp=" value)
// followed by the tick count as signed decimal, as 32 upper-case hexadecimal digits.
// Empty when the digest cannot be made.
std::string makeSelectionId(const std::string& addressSoFar, uint32_t tickCount);

// Asks the shell to open the address ("open", SW_RESTORE) with owner as parent. 0 started;
// -1 when the shell refused, or after "OpenWebBrowser: Wrong parameter Url == NULL" for a
// null address.
int OpenWebBrowser(const char* url, HWND owner);
