// The two import commands: each step returns a signed code, a negative one ends the
// command after the step's own message, and nothing already written is undone.
#include <cstring>
#include <string>

#include "acceptdialog.h"
#include "commands.h"
#include "device.h"
#include "openmodeldb.h"
#include "picking.h"
#include "projectqueries.h"
#include "rxapi.h"
#include "selector.h"
#include "tekcore.h"
#include "text.h"
#include "unitdialog.h"
#include "unitxml.h"
#include "window.h"
#include "windows.h"
#include "xdata.h"
#include "xdata_links.h"

namespace {

// The product database is the command's own: closed when the command ends.
struct ProductDbGuard {
  UnitRecord& unit;
  ~ProductDbGuard() {
    if (unit.productDb >= 0) tc_close_database(unit.productDb);
    unit.productDb = -1;
  }
};

// Steps shared by both imports once the unit is read: model database, connection
// geometry, block, extended data and the unit information dialog.
void importUnit(UnitRecord& unit, const SelectorSettings& settings) {
  ProductDbGuard guard{unit};
  if (openModelDatabase(unit, settings) < 0) return;
  {
    SharedDeviceDrawings shared;  // the unit's model drawn once for its connections and its block
    devices_get_connections(&unit);
    if (device_insert_block(unit.productDb, unit.parts[0]) < 0) return;
  }
  if (xdata_write_unit(&unit) < 0) return;
  // Kept until the dialog's OK makes them, so that a cancelled import does not lose them.
  xdata_write_components(&unit);
  showUnitInformation(&unit, nullptr);
}

// The folder part of a path, separator included ("" when it has none).
std::string folderOf(const char* path) {
  const char* cut = std::strrchr(path, '\\');
  const char* slash = std::strrchr(path, '/');
  if (!cut || (slash && slash > cut)) cut = slash;
  return cut ? std::string(path, cut + 1) : std::string();
}

}  // namespace

void Zephyr() {
  SelectorSettings settings;
  UnitRecord unit;
  std::string selectionId;
  if (!dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText)) return;
  if (readSettings(settings) < 0) return;
  if (pickDuctConnections(unit) < 0) return;
  if (openSelector(unit, settings, selectionId) < 0) return;
  // Import before the export (or after a refusal in the browser) leaves the picks in place:
  // the dialog comes again until a unit arrives, or the user closes it.
  int read = kNoExportedUnit;
  while (read == kNoExportedUnit) {
    if (showAcceptDialog() < 0) return;
    read = readUnitXml(unit, settings, selectionId, nullptr);
  }
  if (read < 0) return;
  importUnit(unit, settings);
}

void ZephyrFile() {
  SelectorSettings settings;
  UnitRecord unit;
  const std::string selectionId;
  if (!dc_check_ready(kRequiredDuctoraVersion, kRequiredDuctoraVersionText)) return;
  if (readSettings(settings) < 0) return;

  char path[MAX_PATH] = {0};
  std::strncpy(path, settings.XMLFilePath.c_str(), MAX_PATH - 1);
  const std::string initialFolder = folderOf(path);
  const std::string title = "Zephyr " + getModuleVersionText(nullptr) + " Open xml file";
  if (!showOpenFileDialog(adsw_acadMainWnd(), "XML (*.xml)|*.xml||", initialFolder.c_str(), path,
                          "xml", title.c_str()))
    return;
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;

  settings.XMLFilePath = path;
  saveXmlFilePath(settings);
  if (readUnitXml(unit, settings, selectionId, path) < 0) return;
  importUnit(unit, settings);
}
