// The flow around the unit information dialog: the unit read back from the drawing, the
// project's systems and duct series, the dialog, and the Ductora objects on OK.
#include <cmath>
#include <string>

#include "bridge.h"
#include "custompart.h"
#include "device.h"
#include "objects.h"
#include "openmodeldb.h"
#include "projectqueries.h"
#include "report.h"
#include "selector_settings.h"
#include "tekcore.h"
#include "text.h"
#include "unitdialog.h"
#include "xdata.h"
#include "xdata_links.h"

namespace {

// ZephyrView opens the product database itself, so it closes it again on every way out.
struct OwnProductDb {
  UnitRecord& unit;
  bool owned;
  ~OwnProductDb() {
    if (owned && unit.productDb >= 0) tc_close_database(unit.productDb);
    if (owned) unit.productDb = -1;
  }
};

// A system id as Ductora gives it (a number), truncated; -1 for one that is no id.
int32_t systemIdOf(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return -1;
  return static_cast<int32_t>(value);
}

// The system of a Ductora part when its text at `query` is `expected`; false otherwise.
bool assignedSystem(DuctoraBridge& bridge, const std::string& handle, const char* query,
                    const char* expected, int32_t& systemId) {
  if (handle.empty()) return false;
  std::string text;
  double number = 0;
  if (bridge.getString(handle.c_str(), query, text) != 0 || text != expected) return false;
  if (bridge.getNumber(handle.c_str(), "/Part/System/ID", number) != 0) return false;
  systemId = systemIdOf(number);
  return true;
}

const char* const kCustomPart = "EWAPART_CUSTOM";
const char* const kFunctionQuery = "/Part/ExternalPart/Function/Name";
const char* const kFanFunction = "Fan";
const char* const kPlugFunction = "Plug";

bool isInDrawing(const AcDbObjectId& id) { return !id.isNull() && !id.isErased(); }

// The extract plug's stub is kept nowhere in the drawing: it is the "Plug" stub in the
// unit's product package.
void findPlugStub(DuctoraBridge& bridge, const std::string& unitHandle, DuctConnectionData& plug) {
  std::string package;
  if (bridge.getString(unitHandle.c_str(), "/Part/Package/PartList", package) != 0) return;
  size_t start = 0;
  while (start < package.size()) {
    size_t end = package.find(' ', start);
    if (end == std::string::npos) end = package.size();
    const std::string stub = package.substr(start, end - start);
    start = end + 1;
    if (!stub.empty() && assignedSystem(bridge, stub, kFunctionQuery, kPlugFunction, plug.systemId)) {
      plug.dcHandle = stub;
      return;
    }
  }
}

// The connections of the unit and of its components from the model database. Without
// the unit's own the dialog would show no place to assign a system: the flow ends.
bool readConnections(UnitRecord& unit) {
  GraphicalPart& part = unit.parts[0];
  if (device_get_connections(unit.productDb, part) < 0) {
    printMessage("Zephyr: The duct connections of unit %s can't be read from the model database: the unit "
                 "information is not shown.\n",
                 part.name.c_str());
    return false;
  }
  for (size_t index = 1; index < unit.parts.size(); ++index) device_get_connections(unit.productDb, unit.parts[index]);
  return true;
}

// A negative step ends the flow after its own message.
bool readProjectLists(UnitRecord& unit) {
  return refreshSystemsFromDuctora(unit) >= 0 && dc_add_duct_series(unit.productDb) >= 0 &&
         dc_get_systems(unit.systems) >= 0 && dc_get_duct_series(unit.ductSeries) >= 0;
}

}  // namespace

int refreshSystemsFromDuctora(UnitRecord& unit) {
  try {
    DuctoraBridge bridge;
    GraphicalPart& part = unit.parts.at(0);
    unit.systemId = -1;
    if (!isInDrawing(part.blockRefId)) return -1;
    const std::string unitHandle = handleText(part.blockRefId);
    const bool unitPart = assignedSystem(bridge, unitHandle, "/Part/Type/Define", kCustomPart, unit.systemId);
    for (auto& entry : part.connections) {
      DuctConnectionData& data = entry.second;
      if (entry.first == CONN_EXTRACT_PLUG) continue;
      if (assignedSystem(bridge, data.dcHandle, kFunctionQuery, kFanFunction, data.systemId)) continue;
      // A stub erased from the drawing leaves its connection free for a new one; the
      // drawing forgets it on OK. A stub still there keeps its place whatever it answers.
      if (!data.dcHandle.empty() && !isInDrawing(dc_drawing_object(data.dcHandle))) data.dcHandle.clear();
    }
    auto plug = part.connections.find(CONN_EXTRACT_PLUG);
    if (unitPart && plug != part.connections.end() && plug->second.dcHandle.empty())
      findPlugStub(bridge, unitHandle, plug->second);
    return 0;
  } catch (...) {
    reportCurrentException("Can't get duct connection data from Ductora");
    return -1;
  }
}

void showUnitInformation(UnitRecord* given, HWND parent) {
  SelectorSettings settings;
  UnitRecord own;
  const bool fromView = given == nullptr;
  UnitRecord& unit = fromView ? own : *given;

  // Without Ductora no system can be assigned, so the dialog could never be confirmed.
  if (!dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText)) {
    printMessage("Zephyr: Ductora is needed to assign the unit's systems: the unit information is not shown.\n");
    return;
  }
  if (readSettings(settings) < 0) return;
  if (pickUnitReference(unit) < 0) return;
  if (xdata_read_unit(&unit) < 0) {
    printMessage("Selected object is not an Zephyr unit.\n");
    return;
  }
  // Components of an import whose dialog was cancelled are made by this OK.
  const bool pendingComponents = fromView && xdata_read_components(&unit) > 0;
  if (pendingComponents) dc_take_placement(unit.parts[0]);  // they are placed from the unit
  OwnProductDb database{unit, fromView};
  if (fromView && openModelDatabase(unit, settings) < 0) return;
  if (!readConnections(unit)) return;
  if (!readProjectLists(unit)) return;

  if (runUnitDialog(unit, parent) != 0) return;
  const bool unitOnly = fromView && !pendingComponents;
  if (dc_create_objects(&unit, unitOnly) < 0) return;
  xdata_write_unit(&unit);
  xdata_forget_lost_stubs(&unit);
  if (!unitOnly) xdata_remove_components(unit.parts[0].blockRefId);
}
