#include "picking.h"

#include <strings.h>

#include <string>

#include "adslib.h"
#include "bridge.h"
#include "report.h"
#include "text.h"

namespace {

// The oldest Ductora that answers the duct end queries.
const long kPickingDuctoraVersion = 2005087;
// The host's answer buffer of the type prompt, in characters.
const size_t kKeywordBufferSize = 131;

const char* const kDuctEndClass = "DURAPathwayConnector";
const char* const kDuctEndType = "EWAPART_UNTYPEDFITTING";

struct ConnectionPrompt {
  ConnectionType type;
  const char* name;  // as the prompt names the connection
  const char* prompt;
};

const ConnectionPrompt kConnectionPrompts[] = {
    {CONN_SUPPLY, "supply", "Select supply duct connection or press <Enter> to skip\n"},
    {CONN_EXTRACT, "extract", "Select extract duct connection or press <Enter> to skip\n"},
    {CONN_OUTDOOR, "outdoor", "Select outdoor duct connection or press <Enter> to skip\n"},
    {CONN_EXHAUST, "exhaust", "Select exhaust duct connection or press <Enter> to skip\n"},
};

// True when the duct end serves another connection of this run already (said so).
bool pickedBefore(const PickedDuctEnds* picked, ConnectionType type, const std::string& handle) {
  if (!picked) return false;
  for (const auto& entry : *picked) {
    if (entry.first == type || entry.second != handle) continue;
    for (const ConnectionPrompt& connection : kConnectionPrompts)
      if (connection.type == entry.first)
        printMessage("Zephyr: This duct end is already picked for the %s connection.\n", connection.name);
    return true;
  }
  return false;
}

// The heat-exchanger type the user chose; false when the user cancelled.
bool askHeatExchanger(std::string& type) {
  for (;;) {
    ACHAR answer[kKeywordBufferSize] = {0};
    acedInitGet(0, L"Cross Rotary cOunter");
    const int status = acedGetKword(L"<Cross>/Rotary/cOunter: ", answer, kKeywordBufferSize);
    if (status != RTNORM && status != RTNONE) return false;  // cancelled, or no input left
    const std::string keyword = status == RTNORM ? narrow(answer) : std::string();
    if (strcasecmp(keyword.c_str(), "Rotary") == 0) type = "rotary";
    else if (strcasecmp(keyword.c_str(), "cOunter") == 0) type = "counter";
    else if (strcasecmp(keyword.c_str(), "Cross") == 0 || keyword.empty()) type = "cross";
    else continue;
    return true;
  }
}

// True when the picked object is a duct end of the untyped-fitting kind. An object that
// Ductora does not know is asked again without a word; a Ductora part of another class or
// type with "Wrong object selected.".
bool isDuctEnd(DuctoraBridge& bridge, const char* handle) {
  std::string value;
  if (bridge.getString(handle, "/Part/Class/Name", value) != 0) return false;
  if (value != kDuctEndClass) {
    printMessage("Wrong object selected.\n");
    return false;
  }
  if (bridge.getString(handle, "/Part/Type/Define", value) != 0) return false;
  if (value != kDuctEndType) {
    printMessage("Wrong object selected.\n");
    return false;
  }
  return true;
}

// Reads the duct end's system, pressure demand and airflow into the entry; -1 after the
// message of the value that cannot be read.
int readDuctEnd(DuctoraBridge& bridge, const char* handle, DuctConnectionData& entry) {
  double system = 0, pressure = 0, airflow = 0;
  if (bridge.getNumber(handle, "/Part/System/ID", system) != 0) {
    printMessage("Can't get Ductora system of selected object.\n");
    return -1;
  }
  if (bridge.getNumber(handle, "/Part/p_SizingFlow/Pa", pressure) != 0) {
    printMessage("Can't get pressure demand of selected object.\n");
    return -1;
  }
  if (bridge.getNumber(handle, "/Part/qv_SizingFlow/ls", airflow) != 0) {
    printMessage("Can't get airflow of selected object.\n");
    return -1;
  }
  entry.systemId = static_cast<int32_t>(system);
  entry.pressure = pressure;
  entry.airflow = airflow;
  return 0;
}

}  // namespace

AcDbObjectId selectDuctEnd(const char* prompt) {
  ads_name entity = {0, 0};
  ads_point picked = {0, 0, 0};
  const int status = acedEntSel(widen(prompt).c_str(), entity, picked);
  if (status == RTCAN) throw "Cancelled";
  AcDbObjectId id;
  if (status != RTNORM || acdbGetObjectId(id, entity) != Acad::eOk) return AcDbObjectId::kNull;
  return id;
}

int pickConnection(ConnectionMap& connections, ConnectionType type, const char* prompt,
                   PickedDuctEnds* picked) {
  auto entry = connections.find(type);
  if (entry == connections.end()) return 0;
  try {
    DuctoraBridge bridge;
    if (bridge.version() < kPickingDuctoraVersion) throw "Ductora version is too old";
    for (;;) {
      const AcDbObjectId id = selectDuctEnd(prompt);
      if (id.isNull()) return 0;
      const std::string handle = handleText(id);
      if (!isDuctEnd(bridge, handle.c_str()) || pickedBefore(picked, type, handle)) continue;
      if (picked) (*picked)[type] = handle;
      return readDuctEnd(bridge, handle.c_str(), entry->second);
    }
  } catch (...) {
    reportCurrentException("Can't get duct connection data from Ductora");
    return -1;
  }
}

int pickDuctConnections(UnitRecord& unit) {
  if (!askHeatExchanger(unit.heatExchanger)) return -1;
  printMessage("%s\n", unit.heatExchanger.c_str());
  PickedDuctEnds picked;
  for (const ConnectionPrompt& connection : kConnectionPrompts)
    if (pickConnection(unit.parts[0].connections, connection.type, connection.prompt, &picked) < 0) return -1;
  return 0;
}
