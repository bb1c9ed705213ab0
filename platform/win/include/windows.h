// The Windows stand-in: the subset of Win32 that the system and its tests call.
#pragma once
#include "wintypes.h"
#include "winbase_api.h"   // registry, files, modules, resources, text conversion, shell
#include "winuser_api.h"   // windows, dialogs, controls, message boxes, open-file dialog
#include "wingdi_api.h"    // device contexts, pens, brushes, text on cairo
