// The demand the CAD program sends in the start page's address: the user's login, the
// heat-exchanger type, airflow and pressure of the four duct connections, the selection id
// and the plug-in version. The pages carry it on in their forms under the same keys.
#pragma once
#include <functional>
#include <string>

#include "catalog_units.h"

const double kSelMostAirflow = 1.0e5;   // l/s accepted in a demand
const double kSelMostPressure = 1.0e5;  // Pa accepted in a demand
const size_t kSelSelectionIdLength = 32;

// Address keys of the numbers, in catalog::UnitConnection order.
extern const char* const kSelAirflowKeys[catalog::kUnitConnections];   // "supqv", "extqv", ...
extern const char* const kSelPressureKeys[catalog::kUnitConnections];  // "supdp", "extdp", ...

struct SelDemand {
  std::string language;     // "lang"
  std::string email;        // "email"
  std::string password;     // "passw"
  std::string exchanger;    // "hex": "cross", "rotary" or "counter" (any letter case)
  double airflow[catalog::kUnitConnections] = {};   // l/s; 0 for a skipped connection
  double pressure[catalog::kUnitConnections] = {};  // Pa
  std::string selectionId;  // "dcsid"
  std::string plugVersion;  // "plugVers"
};

// The first value of an address or form key, or null when the key is absent.
using SelParam = std::function<const std::string*(const char* key)>;

// Reads a demand. An absent number counts as 0 (a skipped connection). 0 read; -1 when a
// number is not a finite value from 0 to its bound or the selection id is not 32
// hexadecimal digits, with error saying which, in the user's words.
int sel_read_demand(const SelParam& param, SelDemand& out, std::string& error);

bool sel_is_selection_id(const std::string& text);
