// A test application that makes a unit's Ductora objects without the unit information
// dialog, as the dialog does on OK:
//   DCOBJECTS
//     Select unit:                        the unit's block reference or Ductora part
//     Unit file for external components:  a unit XML file whose components join the
//                                         record (Enter: none)
//     Unit system / Supply system / Extract system / Outdoor system / Exhaust system /
//     Extract plug system:                Ductora system ids (Enter: -1, none)
//     Component duct serie:               serie id for the component ducts (Enter: "-1")
//     Unit only [Yes/No]:                 Yes as ZephyrView does (Enter: No)
// It reads the unit back from its extended data, opens the model database, reads the
// connection geometry, calls dc_create_objects, writes the extended data on the unit's
// object again and prints the record ("dcobjects: ..." lines).
//   DCREQUEST
//     Call [CreatePart/CreateConnectionStub/SetString]:  one call through the bridge
//     Handle: / Query: (SetString)  Text:  the part, the query and the value, or the request
// prints "dcrequest: result N handle H" and, when refused, "dcrequest: error TEXT".
#include <string>

#include "adslib.h"
#include "arxhost.h"
#include "blocks.h"
#include "bridge.h"
#include "custompart.h"
#include "device.h"
#include "modeldb.h"
#include "objects.h"
#include "openmodeldb.h"
#include "selector_settings.h"
#include "tekcore.h"
#include "text.h"
#include "unitxml.h"
#include "xdata.h"

namespace {

struct Connection {
  ConnectionType type;
  const char* prompt;
  const char* xdataKey;  // the stub's handle in the extended data; null: not stored
};
const Connection kConnections[] = {
    {CONN_SUPPLY, "Supply system <-1>: ", "C.SUP1.DCH"},
    {CONN_EXTRACT, "Extract system <-1>: ", "C.EXT1.DCH"},
    {CONN_OUTDOOR, "Outdoor system <-1>: ", "C.OUT1.DCH"},
    {CONN_EXHAUST, "Exhaust system <-1>: ", "C.EXH1.DCH"},
    {CONN_EXTRACT_PLUG, "Extract plug system <-1>: ", nullptr},
};

struct ProductDb {
  UnitRecord& unit;
  ~ProductDb() {
    if (unit.productDb >= 0) tc_close_database(unit.productDb);
    unit.productDb = -1;
  }
};

// -1 for Enter; false for Escape.
bool askSystem(const char* prompt, int& system) {
  int value = -1;
  const int rc = acedGetInt(widen(prompt).c_str(), &value);
  if (rc != RTNORM && rc != RTNONE) return false;
  system = rc == RTNORM ? value : -1;
  return true;
}

bool askText(const char* prompt, std::string& text) {
  ACHAR buffer[512] = {0};
  const int rc = acedGetString(1, widen(prompt).c_str(), buffer, 512);
  if (rc != RTNORM && rc != RTNONE) return false;
  text = narrow(buffer);
  return true;
}

// The external components of a unit file, as the file import puts them in the record.
bool addComponents(UnitRecord& unit, const SelectorSettings& settings, const std::string& path) {
  if (path.empty()) return true;
  UnitRecord file;
  if (readUnitXml(file, settings, "", path.c_str()) < 0) return false;
  unit.parts.insert(unit.parts.end(), file.parts.begin() + 1, file.parts.end());
  return true;
}

// The extended data again on the unit's object; a stub that is gone loses its key.
void storeUnit(UnitRecord& unit) {
  printMessage("dcobjects: xdata %d\n", xdata_write_unit(&unit));
  AcDbObject* object = nullptr;
  if (acdbOpenAcDbObject(object, unit.parts[0].blockRefId, AcDb::kForWrite) != Acad::eOk) return;
  for (const Connection& c : kConnections)
    if (c.xdataKey && unit.parts[0].connections[c.type].dcHandle.empty())
      xdata_remove_key(object, kUnitXDataApp, c.xdataKey);
  object->close();
}

void printRecord(const UnitRecord& unit) {
  for (size_t i = 0; i < unit.parts.size(); ++i) {
    const GraphicalPart& part = unit.parts[i];
    printMessage("dcobjects: part %zu %s object %s at %.3f,%.3f,%.3f\n", i, part.name.c_str(),
                 handleText(part.blockRefId).c_str(), part.position.x, part.position.y, part.position.z);
    for (const auto& entry : part.connections)
      printMessage("dcobjects:   %s system %d stub '%s'\n", connectionTypeName(entry.first).c_str(),
                   entry.second.systemId, entry.second.dcHandle.c_str());
  }
}

void createObjects() {
  AcDbObject* picked = select_one_object("Select unit:", AcDb::kForRead);
  if (!picked) return;
  UnitRecord unit;
  unit.parts[0].blockRefId = picked->objectId();
  picked->close();
  if (xdata_read_unit(&unit) < 0) return;
  dc_take_placement(unit.parts[0]);

  SelectorSettings settings;
  std::string unitFile;
  if (readSettings(settings) < 0 || !askText("Unit file for external components <none>: ", unitFile) ||
      !addComponents(unit, settings, unitFile))
    return;
  ProductDb guard{unit};
  if (openModelDatabase(unit, settings) < 0) return;
  devices_get_connections(&unit);

  if (!askSystem("Unit system <-1>: ", unit.systemId)) return;
  for (const Connection& c : kConnections)
    if (!askSystem(c.prompt, unit.parts[0].connections[c.type].systemId)) return;
  std::string serie;
  if (!askText("Component duct serie <-1>: ", serie)) return;
  unit.componentDuctSerieId = serie.empty() ? "-1" : serie;
  acedInitGet(0, L"Yes No");
  ACHAR answer[16] = {0};
  const int rc = acedGetKword(L"Unit only [Yes/No] <No>: ", answer, 16);
  if (rc != RTNORM && rc != RTNONE) return;
  const bool unitOnly = rc == RTNORM && narrow(answer) == "Yes";

  printMessage("dcobjects: result %d\n", dc_create_objects(&unit, unitOnly));
  storeUnit(unit);
  printRecord(unit);
}

std::string ask(const ACHAR* prompt) {
  ACHAR buf[65536];
  return acedGetString(1, prompt, buf, 65536) == RTNORM ? narrow(buf) : "";
}

void sendRequest() {
  acedInitGet(1, L"CreatePart CreateConnectionStub SetString");
  ACHAR call[32] = {0};
  if (acedGetKword(L"Call [CreatePart/CreateConnectionStub/SetString]: ", call, 32) != RTNORM) return;
  const std::string method = narrow(call);
  const std::string handleIn = method == "SetString" ? ask(L"Handle: ") : "";
  const std::string query = method == "SetString" ? ask(L"Query: ") : "";
  const std::string text = ask(L"Text: ");
  try {
    DuctoraBridge bridge;
    std::string handle;
    const long rc = method == "CreatePart"             ? bridge.createPart(text.c_str(), handle)
                    : method == "CreateConnectionStub" ? bridge.createConnectionStub(text.c_str(), handle)
                                                       : bridge.setString(handleIn.c_str(), query.c_str(), text.c_str());
    printMessage("dcrequest: result %ld handle %s\n", rc, handle.c_str());
    if (rc != 0) printMessage("dcrequest: error %s\n", bridge.lastError().c_str());
  } catch (const char* why) {
    printMessage("dcrequest: %s\n", why);
  }
}
}  // namespace

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  if (msg == AcRx::kInitAppMsg) {
    acedRegCmds->addCommand(L"DCOBJECTS_CMDS", L"DCOBJECTS", L"DCOBJECTS", ACRX_CMD_MODAL, createObjects);
    acedRegCmds->addCommand(L"DCOBJECTS_CMDS", L"DCREQUEST", L"DCREQUEST", ACRX_CMD_MODAL, sendRequest);
    acrxDynamicLinker->unlockApplication(appId);
    acrxDynamicLinker->registerAppMDIAware(appId);
  } else if (msg == AcRx::kUnloadAppMsg) {
    acedRegCmds->removeGroup(L"DCOBJECTS_CMDS");
    deleteModelFiles();
  }
  return AcRx::kRetOK;
}

ACRX_DEFINE_API_VERSION
