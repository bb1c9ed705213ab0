#include "unitxml.h"

#include <cmath>
#include <cstdlib>

#include "unitfile.h"
#include "report.h"
#include "rxapi.h"
#include "text.h"
#include "window.h"
#include "windows.h"
#include "xmlwrap.h"

namespace {

const char* const kImportFailed = "Failed to import data from Zephyr";
const double kDefaultComponentDistance = 1300.0;
const double kSmallestComponentDistance = 0.001;

// Thrown for a unit file without "UnitId": reported without a detail text.
struct MissingUnitId {};

struct MainConnection {
  ConnectionType type;
  const char* label;  // the element's name, and the name in messages
};
const MainConnection kMainConnections[] = {
    {CONN_SUPPLY, "Supply"},
    {CONN_EXTRACT, "Extract"},
    {CONN_OUTDOOR, "Outdoor"},
    {CONN_EXHAUST, "Exhaust"},
};

// Eight numbers from the element's text, split at each blank (the parser has condensed
// white space); false when fewer than eight are there. Fields beyond the eighth are ignored.
bool readBands(const TiXmlElement& element, double (&bands)[kSoundBands]) {
  const std::string text = xmlwrap::text(element);
  int taken = 0;
  size_t start = 0;
  while (taken < kSoundBands && start <= text.size()) {
    size_t blank = text.find(' ', start);
    if (blank == std::string::npos) blank = text.size();
    bands[taken++] = std::atof(text.substr(start, blank - start).c_str());
    start = blank + 1;
  }
  return taken == kSoundBands;
}

bool isNamed(const UnitRecord& unit, const std::string& id) {
  for (const GraphicalPart& part : unit.parts)
    if (part.name == id) return true;
  return false;
}

void readConnection(UnitRecord& unit, const TiXmlElement& root, const MainConnection& which) {
  const TiXmlElement& element = xmlwrap::child(root, which.label);
  DuctConnectionData& data = unit.parts[0].connections[which.type];
  data.airflow = std::atof(xmlwrap::text(xmlwrap::child(element, "Airflow")).c_str());
  data.pressure = std::atof(xmlwrap::text(xmlwrap::child(element, "Pressure")).c_str());
  const TiXmlElement& sound = xmlwrap::child(element, "Sound");
  if (!readBands(xmlwrap::child(sound, "Generation"), data.soundGeneration))
    throw std::string("Can't get all of ") + which.label + " sound generation values";
  if (!readBands(xmlwrap::child(sound, "Attenuation"), data.soundAttenuation))
    throw std::string("Can't get all of ") + which.label + " sound attenuation values";

  // Components are named from the unit outward: each new one sits on the one before. A
  // component belongs to one chain: named again (here or on another duct), it would be a
  // second branch on the same part, so only its first place is kept.
  int last = 0;
  for (const TiXmlElement* component = element.FirstChildElement("ExternalComponentID"); component;
       component = component->NextSiblingElement("ExternalComponentID")) {
    const std::string id = xmlwrap::text(*component);
    if (isNamed(unit, id)) {
      printMessage("Zephyr: %s duct component %s is named twice: only its first place is kept.\n", which.label,
                   id.c_str());
      continue;
    }
    printMessage("Zephyr: %s duct component %s.\n", which.label, id.c_str());
    const std::string alignment = xmlwrap::attribute(*component, "alignment", "D");
    GraphicalPart part(id, alignment.empty() ? 'D' : alignment[0]);
    part.attachedTo = last;
    part.connectionTypes.push_back(which.type);
    unit.parts.push_back(part);
    last = static_cast<int>(unit.parts.size()) - 1;
  }
}

// Yes to go on, or No: -5.
int askToContinue(const std::string& warning) {
  const std::string text = warning + "\nContinue?";
  const std::string title = productTitle();
  int answer =
      MessageBoxA(adsw_acadMainWnd(), text.c_str(), title.c_str(), MB_YESNO | MB_ICONEXCLAMATION);
  return answer == IDNO ? -5 : 0;
}

}  // namespace

void readUnitDocument(UnitRecord& unit, const std::string& path) {
  TiXmlDocument doc;
  xmlwrap::loadFile(doc, path);
  const TiXmlElement& root = xmlwrap::rootElement(doc);

  if (const TiXmlElement* warning = xmlwrap::findChild(root, "Warning"))
    unit.warningText = xmlwrap::textOr(*warning);

  const TiXmlElement* unitId = xmlwrap::findChild(root, "UnitId");
  if (!unitId) throw MissingUnitId();
  unit.parts[0].name = xmlwrap::text(*unitId);
  printMessage("Zephyr: Air handling unit %s.\n", unit.parts[0].name.c_str());

  unit.unitCode = xmlwrap::text(xmlwrap::child(root, "UnitCode"));
  unit.objectId = xmlwrap::text(xmlwrap::child(root, "ZephyrObjectId"));
  unit.itemCode = xmlwrap::text(xmlwrap::child(root, "UnitItemCode"));
  unit.description = xmlwrap::text(xmlwrap::child(root, "UnitDescription"));
  unit.modelDatabaseUrl = xmlwrap::text(xmlwrap::child(root, "ModelDatabaseFileUrl"));

  double distance = 0;
  if (const TiXmlElement* element = xmlwrap::findChild(root, "ExternalComponentDistance"))
    distance = std::atof(xmlwrap::textOr(*element).c_str());
  // Missing, zero, negative or not a usable number: the standard distance.
  if (!(distance >= kSmallestComponentDistance) || !std::isfinite(distance))
    distance = kDefaultComponentDistance;
  unit.externalComponentDistance = distance;

  const TiXmlElement& surrounding = xmlwrap::child(root, "Surrounding");
  const TiXmlElement& sound = xmlwrap::child(surrounding, "Sound");
  if (!readBands(xmlwrap::child(sound, "Generation"), unit.surroundingSound))
    throw std::string("Can't get all of surrounding sound values");

  for (const MainConnection& which : kMainConnections)
    if (unit.parts[0].connections.count(which.type)) readConnection(unit, root, which);
}

int readUnitXml(UnitRecord& unit, const SelectorSettings& settings, const std::string& selectionId,
                const char* localFile) {
  std::string path;
  const int located = locateUnitFile(settings, selectionId, localFile, path);
  if (located < 0) return located;
  int result = 0;
  try {
    readUnitDocument(unit, path);
  } catch (...) {
    reportCurrentException(kImportFailed);
    result = -1;
  }
  if (!unit.warningText.empty() && askToContinue(unit.warningText) < 0) return -5;
  return result;
}
