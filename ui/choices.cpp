#include "choices.h"

#include <cstdlib>
#include <iterator>

#include "dialogtables.h"
#include "window.h"

namespace {

void resetCombo(HWND dialog, int id) {
  HWND combo = GetDlgItem(dialog, id);
  ShowWindow(combo, SW_SHOW);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
}

LRESULT addItem(HWND dialog, int id, const std::string& text, LPARAM data) {
  LRESULT index = SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (index >= 0) SendDlgItemMessageA(dialog, id, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
  return index;
}

// The extract plug has no control: it takes the extract's choice made in this dialog.
// Without one (the extract's system was assigned before, its box disabled) the plug keeps
// its own system, or takes the extract's when it has none: it is the extract's plug.
int32_t plugSystem(int32_t own, int32_t extractChoice, int32_t extractSystem) {
  if (extractChoice >= 0) return extractChoice;
  return own >= 0 ? own : extractSystem;
}

}  // namespace

void fillSystemCombo(HWND dialog, int id, int current, const std::list<dc_system>& systems,
                     int typeFilter) {
  resetCombo(dialog, id);
  HWND combo = GetDlgItem(dialog, id);
  if (current == -2) {
    EnableWindow(combo, FALSE);
    return;
  }
  LRESULT selection = -1;
  for (const dc_system& system : systems) {
    if (typeFilter >= 0 && system.typeId != typeFilter) continue;
    LRESULT index = addItem(dialog, id, system.name, system.id);
    if (index < 0) continue;
    if (selection < 0 || system.id == current) selection = index;
  }
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
  EnableWindow(combo, current == -1);
}

void fillDuctSerieCombo(HWND dialog, int id, const std::string& current,
                        const std::list<dc_duct_serie>& ductSeries) {
  resetCombo(dialog, id);
  HWND combo = GetDlgItem(dialog, id);
  const int currentNumber = std::atoi(current.c_str());
  if (currentNumber == -2) {
    EnableWindow(combo, FALSE);
    return;
  }
  LRESULT selection = -1;
  int added = 0;
  for (const dc_duct_serie& serie : ductSeries) {
    LRESULT index = addItem(dialog, id, serie.name, added);
    if (index < 0) continue;
    if (serie.id == current) selection = index;
    ++added;
  }
  if (currentNumber == -1 && added >= 2) selection = 0;
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
  EnableWindow(combo, currentNumber == -1);
}

int readDialogChoices(HWND dialog, UnitRecord* unit) {
  if (!unit || unit->parts.empty()) return -1;
  LRESULT chosen = getComboSelectionData(dialog, IDC_UNIT_SYSTEM);
  if (chosen >= 0) unit->systemId = static_cast<int32_t>(chosen);

  int32_t extractChoice = -1, extractSystem = -1;
  for (auto& entry : unit->parts[0].connections) {
    const ConnectionType type = entry.first;
    DuctConnectionData& data = entry.second;
    if (type < CONN_SUPPLY || type > CONN_EXTRACT_PLUG) continue;
    if (type == CONN_EXTRACT_PLUG) {
      data.systemId = plugSystem(data.systemId, extractChoice, extractSystem);
      continue;
    }
    chosen = getComboSelectionData(dialog, data.modelConnectionId);
    if (chosen >= 0) data.systemId = static_cast<int32_t>(chosen);
    if (type != CONN_EXTRACT) continue;
    if (chosen >= 0) extractChoice = data.systemId;
    extractSystem = data.systemId;
  }

  if (unit->parts.size() >= 2) {
    chosen = getComboSelectionData(dialog, IDC_DUCT_SERIE);
    if (chosen >= 0 && static_cast<size_t>(chosen) < unit->ductSeries.size()) {
      auto serie = unit->ductSeries.begin();
      std::advance(serie, chosen);
      unit->componentDuctSerieId = serie->id;
    }
  }
  return 0;
}

const char* missingChoice(const UnitRecord& unit) {
  bool complete = unit.systemId >= 0;
  // Only the connections the unit's model has are asked for: those have a place here.
  for (const MainConnection& main : kMainConnections) {
    auto found = unit.parts[0].connections.find(main.type);
    if (found != unit.parts[0].connections.end() && hasConnectionControl(found->second.modelConnectionId) &&
        found->second.systemId < 0)
      complete = false;
  }
  if (!complete) return "Ductora system can not be empty";
  if (unit.parts.size() > 1 && std::atoi(unit.componentDuctSerieId.c_str()) < 0)
    return "Ductora duct series for duct componets can not be empty";
  return nullptr;
}
