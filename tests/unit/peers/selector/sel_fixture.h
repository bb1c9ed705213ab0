// A small catalogue of made-up units with round figures, for the selector's tests.
#pragma once
#include "sel_catalog.h"

namespace seltest {

inline SelUnit unit(const char* id, const char* exchanger, double least, double nominal, double most,
                    double pLeast, double pNominal, double pMost, int diameter, int width = 0, int height = 0) {
  SelUnit u;
  u.id = id;
  u.name = std::string("Unit ") + id;
  u.description = std::string("Test unit ") + id;
  catalog::UnitData& d = u.data;
  d.exchanger = exchanger;
  d.airflow[0] = least, d.airflow[1] = nominal, d.airflow[2] = most;
  d.pressure[0] = pLeast, d.pressure[1] = pNominal, d.pressure[2] = pMost;
  d.code = std::string("C-") + id;
  d.item = "1001";
  d.object = "4711";
  d.diameter = diameter, d.width = width, d.height = height;
  for (int b = 0; b < catalog::kOctaveBands; ++b) {
    d.surrounding[b] = 40 + b;
    d.sound[catalog::UNIT_SUPPLY][b] = 85;
    d.sound[catalog::UNIT_EXTRACT][b] = 60 + b;
    d.sound[catalog::UNIT_OUTDOOR][b] = 62 + b;
    d.sound[catalog::UNIT_EXHAUST][b] = 64 + b;
    for (int k = 0; k < catalog::kUnitConnections; ++k) d.attenuation[k][b] = 2 + b + k;
  }
  return u;
}

// CX-1200 (with external components), CX-1800, CX-3000 and RX-1000.
inline SelCatalog catalogue() {
  SelCatalog cat;
  cat.units.push_back(unit("CX-1200", "cross", 500, 1200, 1500, 560, 420, 300, 315));
  cat.units.back().data.components[catalog::UNIT_SUPPLY] = {{"SIL-315", 0}, {"HTR-315", 'H'}};
  cat.units.back().data.components[catalog::UNIT_EXTRACT] = {{"DMP-315", 0}};
  cat.units.back().data.componentDistance = 1300;
  cat.units.push_back(unit("CX-1800", "cross", 700, 1800, 2200, 600, 450, 320, 400));
  cat.units.push_back(unit("CX-3000", "cross", 1500, 3000, 3600, 600, 450, 330, 0, 500, 300));
  cat.units.push_back(unit("RX-1000", "rotary", 400, 1000, 1250, 450, 320, 220, 250));
  for (const char* id : {"SIL-315", "HTR-315", "DMP-315"}) cat.components[id] = SelComponent{id, id, id};
  return cat;
}

}  // namespace seltest
