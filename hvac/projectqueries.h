// What the open Ductora project offers: readiness, its systems and duct series, and the
// manufacturer's duct series added to it.
#pragma once
#include <cstdint>
#include <list>
#include "unitrecord.h"

// The version every command requires of Ductora, and how it is shown to the user.
const long kRequiredDuctoraVersion = 20080105;
extern const char* const kRequiredDuctoraVersionText;  // "2008.5"

// True when Ductora answers, is at least minVersion and has a project with systems;
// otherwise prints why, shows it in a message box and returns false.
bool dc_check_ready(long minVersion, const char* versionText);
// 0 done (also when nothing was missing); -1 failed, declined, or productDb negative.
int dc_add_duct_series(int16_t productDb);
// 0 filled; -1 failed (the list keeps what was read before the failure).
int dc_get_systems(std::list<dc_system>& systems);
int dc_get_duct_series(std::list<dc_duct_serie>& ductSeries);
