// Ductora inside the CAD host: its parts as entities of the working drawing, and text
// between the host's wide strings and Ductora's UTF-8.
#pragma once
#include <string>
#include "du_server.h"

std::wstring du_wide(const std::string& text);
std::string du_narrow(const std::wstring& text);

// Hooks that reach the host's working drawing.
DuDrawingHooks du_host_hooks();
