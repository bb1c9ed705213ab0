// Selection of the catalogue's air-handling units for a demand.
//
// A unit has two fans: the supply fan moves outdoor air to the supply duct, the extract fan
// extract air to the exhaust duct. Each fan must move the larger airflow of its two
// connections within the unit's airflow range and have the sum of their two pressure
// demands left for the ducts at that airflow (its fan curve runs straight between the
// catalogue's three points). A fan whose connections were both skipped (airflow 0) is
// not checked. Sound power follows the fan laws: 50 lg(airflow / nominal airflow) dB on
// top of the catalogue's nominal figures.
#pragma once
#include <string>
#include <vector>

#include "sel_catalog.h"
#include "sel_demand.h"

enum SelFan { SEL_SUPPLY_FAN, SEL_EXTRACT_FAN, SEL_FANS };

struct SelFanPoint {
  bool given = false;     // some airflow was asked of this fan
  double airflow = 0;     // m3/h
  double needed = 0;      // Pa the ducts need
  double available = 0;   // Pa the unit has left at that airflow (0 outside its range)
};

struct SelChoice {
  const SelUnit* unit = nullptr;
  bool serves = false;
  std::vector<std::string> reasons;  // why it cannot serve, in the user's words
  double load = 0;                   // the busier fan's airflow / nominal airflow; 0 when none given
  SelFanPoint fans[SEL_FANS];
  double velocity[catalog::kUnitConnections] = {};  // m/s in each connection
  double sound[catalog::kUnitConnections][catalog::kOctaveBands] = {};  // dB at the operating point
  double surrounding[catalog::kOctaveBands] = {};
  double soundA[catalog::kUnitConnections] = {};  // the same, A-weighted totals in dB(A)
  double surroundingA = 0;
};

// Every unit of the catalogue judged against the demand: the units that serve it first,
// best fit first (load nearest 100 %; by nominal airflow when no airflow was given), then
// the others in catalogue order. Each choice points into catalogue.
std::vector<SelChoice> sel_select(const SelCatalog& catalogue, const SelDemand& demand);

// "cross-flow", "rotary", "counter-flow", or the text itself for another type.
std::string sel_exchanger_name(const std::string& type);

// Airflow in m3/h from l/s.
inline double sel_m3h(double litresPerSecond) { return litresPerSecond * 3.6; }
