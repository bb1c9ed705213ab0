// The selection data of an air-handling unit in the catalogue: what the web selector
// selects by and exports. Read from one product's attributes, named by their source keys
// (products.ini explains each key); the catalogue build checks every unit with it, the
// selector reads its units with it.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace catalog {

const int kOctaveBands = 8;             // 63 Hz to 8 kHz
const int kUnitConnections = 4;         // the order of UnitConnection
const int kMaxComponentsPerDuct = 8;    // external components on one duct
const double kMostAirflow = 1.0e6;      // m3/h, a bound for the catalogue's figures
const double kMostPressure = 1.0e5;     // Pa
const double kMostSound = 200.0;        // dB
const double kMostComponentDistance = 1.0e5;  // mm

enum UnitConnection { UNIT_SUPPLY, UNIT_EXTRACT, UNIT_OUTDOOR, UNIT_EXHAUST };

// "supply", "extract", "outdoor", "exhaust": the suffix of the per-connection keys.
extern const char* const kUnitConnectionKeys[kUnitConnections];

struct ComponentRef {
  std::string id;
  char alignment = 0;  // 'H' and the like when given, 0 when not
};

// The three points of a fan: least, nominal and most airflow.
enum FanPoint { FAN_LEAST, FAN_NOMINAL, FAN_MOST };

struct UnitData {
  std::string exchanger;         // "cross", "rotary" or "counter"
  double airflow[3] = {0, 0, 0};   // m3/h at FAN_LEAST, FAN_NOMINAL, FAN_MOST, rising
  double pressure[3] = {0, 0, 0};  // Pa left for the ducts at those airflows, falling
  std::string code, item, object;
  double surrounding[kOctaveBands] = {};
  double sound[kUnitConnections][kOctaveBands] = {};        // into each duct at nominal airflow
  double attenuation[kUnitConnections][kOctaveBands] = {};
  std::vector<ComponentRef> components[kUnitConnections];
  double componentDistance = 0;  // mm; 0 when the catalogue gives none
  int diameter = 0;              // mm of round connections, or 0
  int width = 0, height = 0;     // mm of rectangular connections, or 0
};

using Attributes = std::map<std::string, std::string>;

// True when the product is an air-handling unit (it names its heat exchanger).
bool isUnit(const Attributes& attributes);

// Reads a unit's selection data. 0 read; -1 when a key is missing or malformed, with
// error naming the key and the fault.
int readUnitData(const Attributes& attributes, UnitData& out, std::string& error);

// The whole-millimetre value of NAME in a parameter text "A=1;NAME=250;...", or fallback.
int parameterValue(const std::string& parameters, const std::string& name, int fallback);

// Free cross-section of one connection in m2 (0 when unsized).
double connectionArea(const UnitData& unit);

}  // namespace catalog
