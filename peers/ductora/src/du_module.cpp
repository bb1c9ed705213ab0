// Ductora.arx: the application module. On load it reads the drawing's project, puts its
// automation objects in the running object table (as the project's switches say), adds
// its commands and listens for the drawing's saves (the project is written with the
// drawing); on unload it takes them out again.
#include <climits>
#include <cstdio>
#include <exception>
#include <string>
#include "aced.h"
#include "arxhost.h"
#include "du_com.h"
#include "du_entity.h"
#include "du_host.h"
#include "du_internal.h"
#include "du_text.h"
#include "windows.h"

namespace {
const ACHAR* kGroup = L"DUCTORA_CMDS";
DuServer* g_server = nullptr;

void print(const std::string& text) { acutPrintf(L"%ls", du_wide(text).c_str()); }

bool askText(const ACHAR* prompt, std::string& out) {
  ACHAR buf[4096];
  if (acedGetString(1, prompt, buf, 4096) != RTNORM) return false;
  out = du_narrow(buf);
  return true;
}

// A whole number from lo to hi; asked again until it is one, false on Escape.
bool askWhole(const ACHAR* prompt, long lo, long hi, int& value) {
  for (;;) {
    std::string text;
    if (!askText(prompt, text)) return false;
    int v = 0;
    if (du_parse_int(text, v) && v >= lo && v <= hi) {
      value = v;
      return true;
    }
    print("Requires a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + ".\n");
  }
}

// The project is written when the drawing is: after each save the host makes.
struct SaveReactor : AcEditorReactor {
  void saveComplete(AcDbDatabase* db, const ACHAR* actualName) override {
    if (!g_server || !actualName || db != acdbHostApplicationServices()->workingDatabase()) return;
    try {
      if (du_drawing_saved(*g_server, du_narrow(actualName)) != DU_OK)
        print("Ductora: the project was not saved with the drawing: " + g_server->lastError + "\n");
    } catch (const std::exception& e) {
      print(std::string("Ductora: the project was not saved with the drawing: ") + e.what() + "\n");
    }
  }
  // What the command asked of Ductora is in the journal when the command has ended.
  void commandEnded(const ACHAR*) override {
    if (g_server) du_journal_flush(*g_server);
  }
};
SaveReactor* g_reactor = nullptr;

// A command's work; nothing it throws reaches the host.
void guarded(void (*work)()) {
  try {
    work();
  } catch (const std::exception& e) {
    print(std::string("Ductora: the command failed: ") + e.what() + "\n");
  }
}

void applySwitches() {
  du_sync(*g_server);
  du_register_objects(g_server, g_server->project.drawingObject, g_server->project.applicationObject);
}

std::string guidText(const CLSID& clsid) {
  wchar_t buf[40];
  StringFromGUID2(clsid, buf, 40);
  return du_narrow(buf);
}

bool installClass(const char* progId, const CLSID& clsid) {
  HKEY key = nullptr;
  std::string subKey = std::string(progId) + "\\CLSID";
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  std::string value = guidText(clsid);
  LONG rc = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           DWORD(value.size() + 1));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void doRegister() {
  if (installClass(kProgIdDrawing, CLSID_DuraComSrvDrawing) && installClass(kProgIdDuctora, CLSID_DuraComSrvDuctora))
    print("Ductora: DuraComSrv.Drawing and DuraComSrv.Ductora are installed.\n");
  else
    print("Ductora: the classes could not be written to the registry.\n");
}

void doDuctEnd() {
  ads_point p;
  int system = 0;
  ads_real pressure = 0, airflow = 0;
  if (acedGetPoint(nullptr, L"\nDuct end position: ", p) != RTNORM) return;
  if (!askWhole(L"\nSystem id: ", INT_MIN, INT_MAX, system)) return;
  if (acedGetReal(L"\nPressure demand [Pa]: ", &pressure) != RTNORM) return;
  if (acedGetReal(L"\nAirflow [l/s]: ", &airflow) != RTNORM) return;
  std::string handle;
  if (du_add_duct_end(*g_server, DuVec{p[0], p[1], p[2]}, system, pressure, airflow, handle) == DU_OK)
    print("Ductora: duct end " + handle + " created.\n");
  else
    print("Ductora: " + g_server->lastError + "\n");
}

std::string partLine(const DuPart& p) {
  bool alive = !g_server->hooks.entityAlive || g_server->hooks.entityAlive(p);
  std::string line = "  " + p.handle + " " + p.className + " " + p.typeDefine + " system " +
                     std::to_string(p.systemId);
  if (p.className == "DURAPathwayConnector")
    line += " pressure " + du_format_number(p.pressure) + " Pa airflow " + du_format_number(p.airflow) + " l/s";
  if (!p.functionName.empty()) line += " function " + p.functionName + " parent " + p.parentPart;
  if (!p.partList.empty()) line += " package [" + p.partList + "]";
  return line + (alive ? "" : " (erased)") + "\n";
}

void doList() {
  du_sync(*g_server);
  const DuProject& p = g_server->project;
  if (g_server->projectBroken) {
    print(g_server->brokenReason + "\n");
    return;
  }
  std::string out = "Ductora project " + (g_server->projectPath.empty() ? "(unnamed drawing)" : g_server->projectPath) +
                    "\nVersion " + std::to_string(p.version) + ", " + (p.open ? "open" : "closed") +
                    ", drawing object " + (p.drawingObject ? "on" : "off") + ", application object " +
                    (p.applicationObject ? "on" : "off") + (g_server->dirty ? ", changed since saved" : "") +
                    (p.refuse.empty() ? "" : "\nRefuses: " + p.refuse) + "\nSystems: " + std::to_string(p.systems.size()) +
                    "\n";
  for (const DuSystem& s : p.systems)
    out += "  " + std::to_string(s.id) + " type " + s.typeId + " " + s.name + "\n";
  out += "Duct series: " + std::to_string(p.series.size()) + "\n";
  for (const DuSerie& s : p.series) {
    out += "  " + s.id + " " + s.name + ":";
    for (const std::string& z : s.sizes) out += " " + z;
    out += "\n";
  }
  out += "Parts: " + std::to_string(p.parts.size()) + "\n";
  for (const DuPart& part : p.parts) out += partLine(part);
  print(out);
}

bool askOnOff(const ACHAR* prompt, bool& value) {
  ACHAR kw[32];
  acedInitGet(1, L"On Off");
  if (acedGetKword(prompt, kw, 32) != RTNORM) return false;
  value = std::wstring(kw) == L"On";
  return true;
}

// Changes one setting of the project: version, open state, a system, a duct serie, or
// one of the two running-object switches.
void doProject() {
  du_sync(*g_server);
  if (g_server->projectBroken) {
    print(g_server->brokenReason + "\n");
    return;
  }
  ACHAR kw[64];
  acedInitGet(1, L"Version Open Close System Serie Drawingobject Applicationobject Refuse");
  if (acedGetKword(L"\nProject [Version/Open/Close/System/Serie/Drawingobject/Applicationobject/Refuse]: ", kw, 64) !=
      RTNORM)
    return;
  std::wstring choice = kw;
  DuProject& p = g_server->project;
  if (choice == L"Version") {
    int v = 0;
    if (!askWhole(L"\nVersion number: ", 0, INT_MAX, v)) return;
    p.version = v;
  } else if (choice == L"Open" || choice == L"Close") {
    p.open = choice == L"Open";
  } else if (choice == L"System") {
    DuSystem s;
    int type = 0;
    if (!askWhole(L"\nSystem id: ", INT_MIN, INT_MAX, s.id) ||
        !askWhole(L"\nSystem type id: ", 0, kDuMaxSystemTypeId, type) || !askText(L"\nSystem name: ", s.name))
      return;
    s.typeId = std::to_string(type);
    bool replaced = false;
    for (DuSystem& old : p.systems)
      if (old.id == s.id) old = s, replaced = true;
    if (!replaced) p.systems.push_back(s);
  } else if (choice == L"Serie") {
    DuSerie s;
    std::string sizes;
    if (!askText(L"\nSerie id: ", s.id) || !askText(L"\nSerie name: ", s.name) ||
        !askText(L"\nSizes (separated by ;): ", sizes))
      return;
    if (s.id.empty()) return print("Ductora: a duct serie needs an id.\n");
    size_t pos = 0;
    while (pos < sizes.size()) {
      size_t end = sizes.find(';', pos);
      if (end == std::string::npos) end = sizes.size();
      if (end > pos) s.sizes.push_back(sizes.substr(pos, end - pos));
      pos = end + 1;
    }
    if (DuSerie* old = du_find_serie(p, s.id)) *old = s;
    else p.series.push_back(s);
  } else if (choice == L"Drawingobject") {
    if (!askOnOff(L"\nDrawing object [On/Off]: ", p.drawingObject)) return;
  } else if (choice == L"Applicationobject") {
    if (!askOnOff(L"\nApplication object [On/Off]: ", p.applicationObject)) return;
  } else if (choice == L"Refuse") {
    std::string rules;
    if (!askText(L"\nRefuse calls (METHOD [QUERY or KIND] [#N]; ... or none): ", rules)) return;
    if (du_set_refusals(*g_server, rules == "none" ? "" : rules) != DU_OK)
      return print("Ductora: " + g_server->lastError + "\n");
  }
  g_server->dirty = true;
  applySwitches();
  print("Ductora: project updated (saved with the drawing).\n");
}

// A part read from the drawing draws what the project holds for it.
bool fillEntity(DURAPart& entity) {
  if (!g_server) return false;
  if (!g_server->loaded) du_sync(*g_server);
  const DuPart* part = du_find_part(g_server->project, du_entity_handle(&entity));
  if (!part || part->className != entity.partClass) return false;
  du_entity_take(entity, *part);
  return true;
}

void partErased(const std::string& handle) {
  if (g_server) du_part_erased(*g_server, handle);
}

void cmdRegister() { guarded(doRegister); }
void cmdDuctEnd() { guarded(doDuctEnd); }
void cmdList() { guarded(doList); }
void cmdProject() { guarded(doProject); }

void addCommands() {
  AcEdCommandStack* stack = acedRegCmds;
  if (!stack) return;
  stack->addCommand(kGroup, L"DUREGISTER", L"DUREGISTER", ACRX_CMD_MODAL, cmdRegister);
  stack->addCommand(kGroup, L"DUCTEND", L"DUCTEND", ACRX_CMD_MODAL, cmdDuctEnd);
  stack->addCommand(kGroup, L"DULIST", L"DULIST", ACRX_CMD_MODAL, cmdList);
  stack->addCommand(kGroup, L"DUPROJECT", L"DUPROJECT", ACRX_CMD_MODAL, cmdProject);
}
}  // namespace

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  switch (msg) {
    case AcRx::kInitAppMsg:
      if (!g_server) g_server = new DuServer;
      g_server->hooks = du_host_hooks();
      if (AcRxDynamicLinker* linker = acrxDynamicLinker) {
        linker->unlockApplication(appId);
        linker->registerAppMDIAware(appId);
      }
      addCommands();
      du_set_entity_hooks({fillEntity, partErased});
      DURAPart::rxInit();
      acrxBuildClassHierarchy();
      if (!g_reactor) g_reactor = new SaveReactor;
      if (AcEditor* editor = acedEditor) editor->addReactor(g_reactor);
      applySwitches();
      break;
    case AcRx::kLoadDwgMsg:
      if (g_server) {
        du_reset(*g_server);
        applySwitches();
      }
      break;
    case AcRx::kUnloadAppMsg:
      if (AcEditor* editor = acedEditor) editor->removeReactor(g_reactor);
      delete g_reactor;
      g_reactor = nullptr;
      // The parts in the drawing are kept as they would be saved, before the code goes.
      deleteAcRxClass(DURAPart::desc());
      du_set_entity_hooks({});
      if (g_server) {
        du_register_objects(g_server, false, false);
        if (AcEdCommandStack* stack = acedRegCmds) stack->removeGroup(kGroup);
        delete g_server;
        g_server = nullptr;
      }
      break;
    default:
      break;
  }
  return AcRx::kRetOK;
}

ACRX_DEFINE_API_VERSION
