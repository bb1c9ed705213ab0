#include "xdata_links.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "text.h"
#include "xdata.h"

namespace {

const char* const kComponentKey = "U.PENDCOMP";
// More components than any unit has: a list this long is damaged, not read.
const int kMaxComponents = 1000;

// The unit's object, opened here and closed on every way out.
struct OpenedUnit {
  AcDbObject* object = nullptr;
  OpenedUnit(const AcDbObjectId& id, AcDb::OpenMode mode) {
    if (id.isNull() || acdbOpenAcDbObject(object, id, mode) != Acad::eOk) object = nullptr;
  }
  ~OpenedUnit() {
    if (object) object->close();
  }
  OpenedUnit(const OpenedUnit&) = delete;
  OpenedUnit& operator=(const OpenedUnit&) = delete;
};

std::string componentKey(int n) { return kComponentKey + std::to_string(n); }

void removeComponents(AcDbObject* object) {
  for (int n = 1; n <= kMaxComponents; ++n)
    if (xdata_remove_key(object, kUnitXDataApp, componentKey(n).c_str()) <= 0) break;
}

std::string componentText(const GraphicalPart& component) {
  // A letter that is no printable character would not survive the store, nor separate.
  const unsigned char alignment = static_cast<unsigned char>(component.alignment);
  const char shown = std::isgraph(alignment) ? component.alignment : '?';
  const ConnectionType type = component.connectionTypes.empty() ? CONN_NONE : component.connectionTypes[0];
  return std::to_string(static_cast<int>(type)) + " " + std::to_string(component.attachedTo) + " " + shown + " " +
         component.name;
}

// A component from its kept text; false when the text is no component of a list whose
// parts so far number `parts`.
bool readComponent(const std::string& text, size_t parts, std::vector<GraphicalPart>& into) {
  int type = 0, attachedTo = 0, consumed = 0;
  char alignment = 0;
  if (std::sscanf(text.c_str(), "%d %d %c %n", &type, &attachedTo, &alignment, &consumed) != 3 || consumed == 0 ||
      static_cast<size_t>(consumed) >= text.size())
    return false;
  if (type <= CONN_NONE || attachedTo < 0 || static_cast<size_t>(attachedTo) >= parts) return false;
  GraphicalPart component(text.substr(static_cast<size_t>(consumed)), alignment);
  component.attachedTo = attachedTo;
  component.connectionTypes.push_back(static_cast<ConnectionType>(type));
  into.push_back(component);
  return true;
}

}  // namespace

int xdata_forget_lost_stubs(UnitRecord* unit) {
  if (!unit || unit->parts.empty()) return -1;
  OpenedUnit unitObject(unit->parts[0].blockRefId, AcDb::kForWrite);
  if (!unitObject.object) return -1;
  for (const auto& entry : unit->parts[0].connections) {
    const char* prefix = xdata_connection_prefix(entry.first);
    if (prefix && entry.second.dcHandle.empty())
      xdata_remove_key(unitObject.object, kUnitXDataApp, (std::string(prefix) + ".DCH").c_str());
  }
  return 0;
}

int xdata_write_components(UnitRecord* unit) {
  if (!unit || unit->parts.empty()) return -1;
  OpenedUnit unitObject(unit->parts[0].blockRefId, AcDb::kForWrite);
  if (!unitObject.object) return -1;
  removeComponents(unitObject.object);
  for (size_t index = 1; index < unit->parts.size(); ++index) {
    const std::string text = componentText(unit->parts[index]);
    if (xdata_set_text(unitObject.object, kUnitXDataApp, componentKey(static_cast<int>(index)).c_str(),
                       text.c_str()) != 0) {
      removeComponents(unitObject.object);
      printMessage("Zephyr: The external components can't be kept with the unit: ZephyrView will not make them.\n");
      return -2;
    }
  }
  return 0;
}

int xdata_read_components(UnitRecord* unit) {
  if (!unit || unit->parts.empty()) return -1;
  OpenedUnit unitObject(unit->parts[0].blockRefId, AcDb::kForRead);
  if (!unitObject.object) return -1;
  std::vector<GraphicalPart> components;
  std::string text;
  for (int n = 1; xdata_get_text(unitObject.object, kUnitXDataApp, componentKey(n).c_str(), text) >= 0; ++n) {
    if (n > kMaxComponents || !readComponent(text, unit->parts.size() + components.size(), components)) {
      printMessage("Zephyr: The unit's external components kept in the drawing can't be read: they are not made.\n");
      return -1;
    }
  }
  unit->parts.insert(unit->parts.end(), components.begin(), components.end());
  return static_cast<int>(components.size());
}

int xdata_remove_components(const AcDbObjectId& unitObject) {
  OpenedUnit opened(unitObject, AcDb::kForWrite);
  if (!opened.object) return -1;
  removeComponents(opened.object);
  return 0;
}
