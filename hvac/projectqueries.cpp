#include "projectqueries.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bridge.h"
#include "modeldb.h"
#include "report.h"
#include "rxapi.h"
#include "tekcore.h"
#include "text.h"
#include "window.h"
#include "windows.h"
#include "xmlwriter.h"

const char* const kRequiredDuctoraVersionText = "2008.5";

namespace {

const long kSystemsVersion = 2005087;
const char* const kNoSystems = "Ductora systems can not be found. Please, open Ductora project.";
const char* const kProject = "";  // the empty handle addresses the open project

std::string indexed(const char* format, int i, int j = 0) {
  char query[160];
  std::snprintf(query, sizeof query, format, i, j);
  return query;
}

int countOf(DuctoraBridge& bridge, const char* query, const char* failure, bool zeroIsFailure) {
  double count = 0;
  if (bridge.getNumber(kProject, query, count) != 0) throw failure;
  if (count < 0 || (zeroIsFailure && count <= 0)) throw failure;
  return static_cast<int>(count);
}

void requireVersion(DuctoraBridge& bridge, long minimum) {
  if (bridge.version() < minimum) throw "Ductora version is too old";
}

void showWarning(const char* text) {
  MessageBoxA(adsw_acadMainWnd(), text, productTitle().c_str(),
              MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL);
}

// Name of a "MAS" record, trailing blanks and line ends removed.
std::string trimmedEnd(const char* text) {
  std::string s(text);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

std::vector<std::string> projectSerieNames(DuctoraBridge& bridge) {
  const int count = countOf(bridge, "Count(/Project/Ductwork/DuctSerie)",
                            "Ductora duct serie can not be found. Please, open Ductora project.", false);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    std::string name;
    if (bridge.getString(kProject, indexed("/Project/Ductwork/DuctSerie[%i]/Name", i).c_str(), name) != 0)
      throw "Can't get Name of Ductora duct serie";
    names.push_back(name);
  }
  return names;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names)
    if (n == name) return true;
  return false;
}

void sendCatalogueRequest(DuctoraBridge& bridge, const char* serieKey) {
  xmlStringWriter request;
  request.xmlAppend("<ManageProductData>");
  request.xmlAppend("<Function><Name>Add</Name></Function>");
  request.xmlAppendf("<TCD><Filename>%s</Filename></TCD>",
                     xmlStringWriter::xmlEscape(modelDatabasePath()).c_str());
  request.xmlAppend("<TCDClass><Name>DuctSerie</Name></TCDClass>");
  request.xmlAppendf("<Serie><ID>%s</ID></Serie>",
                     xmlStringWriter::xmlEscape(trimmedEnd(serieKey).c_str()).c_str());
  request.xmlAppend("</ManageProductData>");
  if (bridge.manageProductData(request.text()) != 0) throw bridge.lastError();
}

// Walks table "MAS" and adds each serie the project lacks, after one question.
void addMissingSeries(DuctoraBridge& bridge, int16_t productDb, tc_record*& record) {
  const std::vector<std::string> inProject = projectSerieNames(bridge);
  bool asked = false;
  for (record = tc_first_record(productDb, "MAS"); record;) {
    char nameBuffer[64] = {0};
    int16_t found = 0;
    tc_get_record_attribute(productDb, record, 1501, &found, nameBuffer, sizeof nameBuffer);
    const std::string name = trimmedEnd(nameBuffer);
    if (!name.empty() && !contains(inProject, name)) {
      if (!asked) {
        asked = true;
        if (MessageBoxA(adsw_acadMainWnd(),
                        "Zephyr duct series do not exists in current DUctora project\n"
                        "Add Zephyr pipe series?",
                        productTitle().c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
          throw "";
      }
      char key[TC_KEY_SIZE] = {0};
      tc_get_record_key(productDb, record, 0, key);
      sendCatalogueRequest(bridge, key);
    }
    tc_record* next = tc_next_record(productDb, record);
    tc_release_record(record);
    record = next;
  }
}

}  // namespace

bool dc_check_ready(long minVersion, const char* versionText) {
  try {
    DuctoraBridge bridge;
    if (bridge.version() < minVersion) throw "";
    countOf(bridge, "Count(/Project/Ductwork/System)", kNoSystems, true);
    return true;
  } catch (const char* message) {
    char text[128];
    if (message && *message)
      std::snprintf(text, sizeof text, "%s", message);
    else
      std::snprintf(text, sizeof text, "Ductora version %s or newer is required.", versionText ? versionText : "");
    printMessage("\n%s: %s\n", "Zephyr", text);
    showWarning(text);
    return false;
  } catch (...) {
    reportCurrentException("Ductora is not ready");
    return false;
  }
}

int dc_get_systems(std::list<dc_system>& systems) {
  systems.clear();
  try {
    DuctoraBridge bridge;
    requireVersion(bridge, kSystemsVersion);
    const int count = countOf(bridge, "Count(/Project/Ductwork/System)", kNoSystems, true);
    for (int i = 0; i < count; ++i) {
      dc_system system;
      double id = 0;
      if (bridge.getNumber(kProject, indexed("/Project/Ductwork/System[%i]/ID", i).c_str(), id) != 0)
        throw "Can't get ID of Ductora System";
      system.id = static_cast<int32_t>(id);
      std::string typeId;
      if (bridge.getString(kProject, indexed("/Project/Ductwork/System[%i]/Type/ID", i).c_str(), typeId) != 0)
        throw "Can't get type id of Ductora System";
      system.typeId = std::atoi(typeId.c_str());
      if (bridge.getString(kProject, indexed("/Project/Ductwork/System[%i]/Name", i).c_str(), system.name) != 0)
        throw "Can't get Name of Ductora System";
      systems.push_back(system);
    }
    return 0;
  } catch (...) {
    reportCurrentException("Can't get Ductora systems");
    return -1;
  }
}

int dc_get_duct_series(std::list<dc_duct_serie>& ductSeries) {
  ductSeries.clear();
  try {
    DuctoraBridge bridge;
    requireVersion(bridge, kRequiredDuctoraVersion);
    const int count = countOf(bridge, "Count(/Project/Ductwork/DuctSerie)",
                              "Ductora duct series can not be found. Please, open Ductora project.", true);
    for (int i = 0; i < count; ++i) {
      dc_duct_serie serie;
      if (bridge.getString(kProject, indexed("/Project/Ductwork/DuctSerie[%i]/ID", i).c_str(), serie.id) != 0)
        throw "Can't get ID of Ductora duct serie";
      if (bridge.getString(kProject, indexed("/Project/Ductwork/DuctSerie[%i]/Name", i).c_str(), serie.name) != 0)
        throw "Can't get Name of Ductora duct serie";
      for (int j = 0;; ++j) {
        std::string sizeName;
        if (bridge.getString(kProject, indexed("/Project/Ductwork/DuctSerie[%i]/Size[%i]/Name", i, j).c_str(),
                             sizeName) != 0)
          break;
        serie.sizes.push_back(ductSerieSizeFromName(sizeName.c_str()));
      }
      ductSeries.push_back(serie);
    }
    return 0;
  } catch (...) {
    reportCurrentException("Can't get Ductora duct series");
    return -1;
  }
}

int dc_add_duct_series(int16_t productDb) {
  if (productDb < 0) return -1;
  tc_record* record = nullptr;
  bool scanning = false;
  try {
    DuctoraBridge bridge;
    requireVersion(bridge, kRequiredDuctoraVersion);
    scanning = tc_begin_scan(productDb) == 0;
    addMissingSeries(bridge, productDb, record);
    if (scanning) tc_end_scan(productDb);
    return 0;
  } catch (...) {
    reportCurrentException("Failed to update duct series");
    tc_release_record(record);
    if (scanning) tc_end_scan(productDb);
    return -1;
  }
}
