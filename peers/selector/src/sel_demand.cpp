#include "sel_demand.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const kSelAirflowKeys[catalog::kUnitConnections] = {"supqv", "extqv", "outqv", "exhqv"};
const char* const kSelPressureKeys[catalog::kUnitConnections] = {"supdp", "extdp", "outdp", "exhdp"};

namespace {

const char* const kConnectionNames[catalog::kUnitConnections] = {"supply", "extract", "outdoor", "exhaust"};

// The C library reads numbers in the classic locale here: the program never sets another.
bool readNumber(const std::string* text, double most, double& out) {
  if (!text || text->empty()) {
    out = 0;
    return true;
  }
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(text->c_str(), &end);
  if (errno || end != text->c_str() + text->size() || !std::isfinite(v) || v < 0 || v > most) return false;
  out = v;
  return true;
}

std::string value(const SelParam& param, const char* key) {
  const std::string* v = param(key);
  return v ? *v : std::string();
}

}  // namespace

bool sel_is_selection_id(const std::string& text) {
  if (text.size() != kSelSelectionIdLength) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

int sel_read_demand(const SelParam& param, SelDemand& out, std::string& error) {
  SelDemand d;
  d.language = value(param, "lang");
  d.email = value(param, "email");
  d.password = value(param, "passw");
  d.exchanger = value(param, "hex");
  for (char& c : d.exchanger) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  d.selectionId = value(param, "dcsid");
  d.plugVersion = value(param, "plugVers");
  for (int c = 0; c < catalog::kUnitConnections; ++c) {
    if (!readNumber(param(kSelAirflowKeys[c]), kSelMostAirflow, d.airflow[c])) {
      error = std::string("The ") + kConnectionNames[c] + " airflow \"" + value(param, kSelAirflowKeys[c]) +
              "\" is not a number of litres per second.";
      return -1;
    }
    if (!readNumber(param(kSelPressureKeys[c]), kSelMostPressure, d.pressure[c])) {
      error = std::string("The ") + kConnectionNames[c] + " pressure \"" + value(param, kSelPressureKeys[c]) +
              "\" is not a number of pascals.";
      return -1;
    }
  }
  if (!sel_is_selection_id(d.selectionId)) {
    error = "The selection id \"" + d.selectionId +
            "\" is not 32 hexadecimal digits. Please start the selection again from the CAD program.";
    return -1;
  }
  out = d;
  return 0;
}
