#include "sel_select.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace catalog;

namespace {

// A-weighting of the octave bands 63 Hz to 8 kHz.
const double kAWeighting[kOctaveBands] = {-26.2, -16.1, -8.6, -3.2, 0.0, 1.2, 1.0, -1.1};
// The two connections of each fan.
const UnitConnection kFanConnections[SEL_FANS][2] = {{UNIT_SUPPLY, UNIT_OUTDOOR}, {UNIT_EXTRACT, UNIT_EXHAUST}};
const char* const kFanNames[SEL_FANS] = {"supply fan", "extract fan"};

std::string format(const char* fmt, double a, double b = 0, double c = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

// Pressure left for the ducts at airflow q inside the range: straight between the points.
double availablePressure(const UnitData& u, double q) {
  int i = q <= u.airflow[FAN_NOMINAL] ? FAN_LEAST : FAN_NOMINAL;
  double t = (q - u.airflow[i]) / (u.airflow[i + 1] - u.airflow[i]);
  return u.pressure[i] + t * (u.pressure[i + 1] - u.pressure[i]);
}

double aWeighted(const double* bands) {
  double sum = 0;
  for (int b = 0; b < kOctaveBands; ++b) sum += std::pow(10.0, (bands[b] + kAWeighting[b]) / 10.0);
  return 10.0 * std::log10(sum);
}

void checkFan(const UnitData& u, const SelDemand& d, SelFan fan, SelChoice& c) {
  SelFanPoint& p = c.fans[fan];
  UnitConnection a = kFanConnections[fan][0], b = kFanConnections[fan][1];
  p.airflow = sel_m3h(std::max(d.airflow[a], d.airflow[b]));
  p.needed = d.pressure[a] + d.pressure[b];
  p.given = p.airflow > 0;
  if (!p.given) return;
  c.load = std::max(c.load, p.airflow / u.airflow[FAN_NOMINAL]);
  std::string name = kFanNames[fan];
  if (p.airflow < u.airflow[FAN_LEAST]) {
    c.reasons.push_back(name + format(": %.0f m³/h is below the least airflow of %.0f m³/h", p.airflow,
                                      u.airflow[FAN_LEAST]));
  } else if (p.airflow > u.airflow[FAN_MOST]) {
    c.reasons.push_back(name + format(": %.0f m³/h is above the most airflow of %.0f m³/h", p.airflow,
                                      u.airflow[FAN_MOST]));
  } else {
    p.available = availablePressure(u, p.airflow);
    if (p.available < p.needed)
      c.reasons.push_back(name + format(": the ducts need %.0f Pa, the unit has %.0f Pa left at %.0f m³/h",
                                        p.needed, p.available, p.airflow));
  }
}

// Sound at the operating point: each fan's connections by its own airflow ratio, the
// surroundings by the busier fan's.
void soundAt(const UnitData& u, SelChoice& c) {
  double ratio[SEL_FANS], busiest = 1;
  for (int f = 0; f < SEL_FANS; ++f) {
    ratio[f] = c.fans[f].given ? c.fans[f].airflow / u.airflow[FAN_NOMINAL] : 1.0;
    busiest = f == 0 ? ratio[f] : std::max(busiest, ratio[f]);
  }
  for (int f = 0; f < SEL_FANS; ++f)
    for (UnitConnection k : kFanConnections[f]) {
      for (int b = 0; b < kOctaveBands; ++b) c.sound[k][b] = std::round(u.sound[k][b] + 50.0 * std::log10(ratio[f]));
      c.soundA[k] = aWeighted(c.sound[k]);
    }
  for (int b = 0; b < kOctaveBands; ++b) c.surrounding[b] = std::round(u.surrounding[b] + 50.0 * std::log10(busiest));
  c.surroundingA = aWeighted(c.surrounding);
}

SelChoice judge(const SelUnit& unit, const SelDemand& d) {
  SelChoice c;
  c.unit = &unit;
  const UnitData& u = unit.data;
  if (u.exchanger != d.exchanger)
    c.reasons.push_back("it has a " + sel_exchanger_name(u.exchanger) + " heat exchanger, the demand asks for " +
                        (d.exchanger.empty() ? std::string("none") : sel_exchanger_name(d.exchanger)));
  checkFan(u, d, SEL_SUPPLY_FAN, c);
  checkFan(u, d, SEL_EXTRACT_FAN, c);
  double area = connectionArea(u);
  for (int k = 0; k < kUnitConnections; ++k) c.velocity[k] = area > 0 ? d.airflow[k] / 1000.0 / area : 0;
  soundAt(u, c);
  c.serves = c.reasons.empty();
  return c;
}

bool betterFit(const SelChoice& a, const SelChoice& b) {
  double fa = a.load > 0 ? std::fabs(a.load - 1) : a.unit->data.airflow[FAN_NOMINAL];
  double fb = b.load > 0 ? std::fabs(b.load - 1) : b.unit->data.airflow[FAN_NOMINAL];
  return fa < fb;
}

}  // namespace

std::string sel_exchanger_name(const std::string& type) {
  if (type == "cross") return "cross-flow";
  if (type == "counter") return "counter-flow";
  return type;
}

std::vector<SelChoice> sel_select(const SelCatalog& catalogue, const SelDemand& demand) {
  std::vector<SelChoice> out;
  for (const SelUnit& unit : catalogue.units) out.push_back(judge(unit, demand));
  std::stable_partition(out.begin(), out.end(), [](const SelChoice& c) { return c.serves; });
  auto serving = std::find_if(out.begin(), out.end(), [](const SelChoice& c) { return !c.serves; });
  std::stable_sort(out.begin(), serving, betterFit);
  return out;
}
