// Times Ductora's set calls against TinyXML alone, on a project of 50 parts, one of them
// holding a display list of 2.8 MB:
//   ours       10 000 SetString / SetNumber calls through the automation interface (texts
//              as the bridge sends them, journal line and all), then the drawing's save,
//              which writes the project once;
//   reference  the same project file loaded into a TiXmlDocument, 10 000 edits of a
//              part's attribute (the part found by its handle), then one SaveFile.
// Usage: ductora_bench WORK_DIR   (an empty folder)
// Prints "ours S reference S" in seconds.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>
#include <tinyxml.h>
#include "DuraComSrv.h"
#include "du_com.h"
#include "du_internal.h"
#include "windows.h"

namespace {
const int kCalls = 10000;
const int kModelElements = 100000;  // 2.8 MB

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int fail(const std::string& why) {
  std::fprintf(stderr, "ductora_bench: %s\n", why.c_str());
  return 1;
}

// Text as the bridge sends it: the stored length counts the terminating zero.
BSTR bridgeText(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  BSTR s = SysAllocStringLen(nullptr, UINT(n));
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, s, n);
  return s;
}

std::string customPart(int i) {
  char place[96];
  std::snprintf(place, sizeof place, "%d %d 0", 1000 * i, 500 * (i % 7));
  return std::string("<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>1</ID></System>"
                     "<Position><WCS>") + place + "</WCS></Position><Direction><WCS>1 0 0</WCS></Direction><Normal>"
                     "<WCS>0 0 1</WCS></Normal><Productcode>VH-SIL-315</Productcode><CustomPartType>Round duct "
                     "silencer</CustomPartType><Description>Round duct silencer 315 mm</Description><Geometry><Layer>"
                     "<Name>0</Name></Layer></Geometry></Part></CreatePart>";
}

std::string fanStub(const std::string& parent) {
  return "<CreateConnectionStub><Function><Name>Fan</Name></Function><ParentPart>" + parent +
         "</ParentPart><System><ID>1</ID></System><Sound><Generation><dB>62 66 71 74 73 70 65 58</dB></Generation>"
         "</Sound><Connections><Connection><Position><WCS>0 0 0</WCS></Position><Direction><WCS>0 1 0</WCS>"
         "</Direction><Normal><WCS>0 0 1</WCS></Normal><Shape><ID>0</ID></Shape><Diameter>315</Diameter>"
         "</Connection></Connections></CreateConnectionStub>";
}

// A project of 25 custom parts with a Fan stub each, the first with the big display list.
bool buildProject(DuServer& s, std::vector<std::string>& parts) {
  du_sync(s);  // the project of the (new) drawing
  s.project.systems = {{1, "0", "Supply air"}};
  for (int i = 0; i < 25; ++i) {
    std::string part, stub;
    if (du_create_part(s, customPart(i), part) != DU_OK) return false;
    if (du_create_connection_stub(s, fanStub(part), stub) != DU_OK) return false;
    parts.push_back(part);
    parts.push_back(stub);
  }
  std::vector<uint8_t> model(size_t(kModelElements) * 28);
  for (size_t i = 0; i < model.size(); ++i) model[i] = uint8_t(i * 7);
  if (du_alloc_binary(s, 1, long(model.size())) != DU_OK) return false;
  s.binaries[1].bytes = model;
  return du_set_number(s, parts[0], "/Part/Geometry/Source[0]/gm_model/binvar", 1) == DU_OK &&
         du_free_binary(s, 1) == DU_OK;
}

double timeOurs(DuServer& s, const std::vector<std::string>& parts, const std::string& drawing) {
  DURACOMSRVLib::IDuctora200711* app = du_new_application_object(&s);
  std::vector<BSTR> handles;
  for (const std::string& h : parts) handles.push_back(bridgeText(h));
  BSTR list = bridgeText("/Part/Package/PartList"), move = bridgeText("/Part/Package/Behaviour/MOVE");
  BSTR system = bridgeText("/Part/System/ID"), all = bridgeText("All");
  const double start = now();
  for (int i = 0; i < kCalls; ++i) {
    const size_t p = size_t(i) % handles.size();
    LONG result = 0;
    if (i % 3 == 0) {  // a custom part's package: its stub
      BSTR value = bridgeText(parts[p | 1]);
      app->SetString(handles[p & ~size_t(1)], list, value, &result);
      SysFreeString(value);
    } else if (i % 3 == 1) {
      app->SetString(handles[p], move, all, &result);
    } else {
      app->SetNumber(handles[p], system, 1.0, &result);
    }
    if (result != 0) std::fprintf(stderr, "ductora_bench: call %d refused: %s\n", i, s.lastError.c_str());
  }
  const double calls = now();
  du_drawing_saved(s, drawing);
  const double seconds = now() - start;
  std::fprintf(stderr, "ductora_bench: %d calls %.3f s, save %.3f s\n", kCalls, calls - start, now() - calls);
  for (BSTR h : handles) SysFreeString(h);
  for (BSTR b : {list, move, system, all}) SysFreeString(b);
  app->Release();
  return seconds;
}

double timeReference(const std::string& project, const std::vector<std::string>& parts, const std::string& copy) {
  TiXmlDocument doc;
  if (!doc.LoadFile(project.c_str())) return -1;
  TiXmlElement* list = doc.RootElement()->FirstChildElement("Parts");
  const double start = now();
  for (int i = 0; i < kCalls; ++i) {
    const size_t p = size_t(i) % parts.size();
    const std::string& handle = parts[i % 3 == 0 ? p & ~size_t(1) : p];
    TiXmlElement* part = list->FirstChildElement("Part");
    while (part && handle != part->Attribute("handle")) part = part->NextSiblingElement("Part");
    if (!part) return -1;
    if (i % 3 == 0) part->SetAttribute("partList", parts[p | 1]);
    else if (i % 3 == 1) part->SetAttribute("move", "All");
    else part->SetAttribute("system", 1);
  }
  if (!doc.SaveFile(copy.c_str())) return -1;
  return now() - start;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return fail("usage: ductora_bench WORK_DIR");
  const std::string work = argv[1];
  const std::string drawing = work + "/bench.dxf";
  DuServer server;
  server.hooks.drawingPath = [&] { return drawing; };
  unsigned next = 0x100;
  server.hooks.createEntity = [&](const DuPart&, std::string&) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", next++);
    return std::string(buf);
  };
  std::vector<std::string> parts;
  if (!buildProject(server, parts)) return fail("cannot build the project: " + server.lastError);
  if (du_drawing_saved(server, drawing) != DU_OK) return fail(server.lastError);

  const double reference = timeReference(work + "/bench.ductora.xml", parts, work + "/reference.xml");
  if (reference < 0) return fail("TinyXML cannot load, edit or save the project");
  const double ours = timeOurs(server, parts, drawing);
  std::printf("ours %.6f reference %.6f\n", ours, reference);
  return 0;
}
