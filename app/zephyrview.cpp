// The ZephyrView command: the unit information dialog for a unit the user picks.
#include "commands.h"
#include "rxapi.h"
#include "unitdialog.h"

void ZephyrView() { showUnitInformation(nullptr, adsw_acadMainWnd()); }
