// The flow around the unit information dialog: the unit read back from the drawing, the
// project's systems and duct series, the dialog, and the Ductora objects on OK.
#include <cmath>
#include <string>

#include "bridge.h"
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

// A negative step ends the flow after its own message.
bool readProjectLists(UnitRecord& unit) {
  return refreshSystemsFromDuctora(unit) >= 0 && dc_add_duct_series(unit.productDb) >= 0 &&
         dc_get_systems(unit.systems) >= 0 && dc_get_duct_series(unit.ductSeries) >= 0;
}

}  // namespace

int refreshSystemsFromDuctora(UnitRecord& unit) {
  AcDbObject* object = nullptr;
  try {
    DuctoraBridge bridge;
    GraphicalPart& part = unit.parts.at(0);
    unit.systemId = -1;
    assignedSystem(bridge, handleText(part.blockRefId), "/Part/Type/Define", "EWAPART_CUSTOM",
                   unit.systemId);
    if (acdbOpenAcDbObject(object, part.blockRefId, AcDb::kForWrite) != Acad::eOk || !object) {
      object = nullptr;
      return -1;
    }
    for (auto& entry : part.connections) {
      DuctConnectionData& data = entry.second;
      assignedSystem(bridge, data.dcHandle, "/Part/ExternalPart/Function/Name", "Fan", data.systemId);
      if (data.systemId != -1 || data.dcHandle.empty()) continue;
      if (const char* prefix = xdata_connection_prefix(entry.first))
        xdata_remove_key(object, kUnitXDataApp, (std::string(prefix) + ".DCH").c_str());
      data.dcHandle.clear();
    }
    object->close();
    return 0;
  } catch (...) {
    if (object) object->close();
    reportCurrentException("Can't get duct connection data from Ductora");
    return -1;
  }
}

void showUnitInformation(UnitRecord* given, HWND parent) {
  SelectorSettings settings;
  UnitRecord own;
  const bool fromView = given == nullptr;
  UnitRecord& unit = fromView ? own : *given;

  const bool ductora = dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText);
  if (readSettings(settings) < 0) return;
  if (pickUnitReference(unit) < 0) return;
  if (xdata_read_unit(&unit) < 0) {
    printMessage("Selected object is not an Zephyr unit.\n");
    return;
  }
  OwnProductDb database{unit, fromView};
  if (fromView && openModelDatabase(unit, settings) < 0) return;
  if (ductora && !readProjectLists(unit)) return;
  if (devices_get_connections(&unit) < 0) return;

  if (runUnitDialog(unit, parent) != 0 || !ductora) return;
  if (dc_create_objects(&unit, fromView) >= 0) xdata_write_unit(&unit);
}
