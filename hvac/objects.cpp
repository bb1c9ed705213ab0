#include "objects.h"

#include <cctype>
#include <vector>

#include "custompart.h"
#include "ducts.h"
#include "placement.h"
#include "stubs.h"
#include "text.h"

namespace {

// Says why a component cannot be placed; nothing of it is made.
void reportUnplaced(const GraphicalPart& component, int placed) {
  const char* name = component.name.c_str();
  if (placed == kPlacementNoInletFrame) {
    printMessage("Zephyr: External component %s is left out: its inlet gives no direction to place it by.\n", name);
    return;
  }
  const unsigned char alignment = static_cast<unsigned char>(component.alignment);
  if (std::isprint(alignment))
    printMessage("Zephyr: External component %s is left out: its alignment '%c' can't be placed.\n", name,
                 component.alignment);
  else
    printMessage("Zephyr: External component %s is left out: its alignment (code %u) can't be placed.\n", name,
                 alignment);
}

// One unit connection that the component sits on: the component takes the parent
// connection's system and airflow, is placed and made (for its first connection type
// only), gets its branch stub and the duct from the parent connection. False when the
// component was not placed (said why), so nothing of it is made.
bool createOnConnection(UnitRecord& unit, GraphicalPart& parent, GraphicalPart& component, ConnectionType type,
                        bool first) {
  ConnectionMap::iterator parentConnection = findConnection(parent.connections, type, true);
  if (parentConnection == parent.connections.end()) {
    printMessage("Zephyr: Can't find parent connection with type '%s' for external part.\n",
                 connectionTypeName(type).c_str());
    return !first;
  }
  const DuctConnectionData& from = parentConnection->second;

  ConnectionType inletType = type;
  ConnectionMap::iterator inlet = findConnection(component.connections, inletType, false);
  if (inlet == component.connections.end()) {
    printMessage("Zephyr: Can't find connection with type '%s' for external part type '%s'.\n",
                 connectionTypeName(type).c_str(), connectionTypeName(inletType).c_str());
    return !first;
  }
  inlet->second.systemId = from.systemId;
  inlet->second.airflow = from.airflow;

  ConnectionType outletType = type;
  ConnectionMap::iterator outlet = findConnection(component.connections, outletType, true);
  if (outlet == component.connections.end()) {
    printMessage("Zephyr: Can't find connection with type %s for external part type '%s'.\n",
                 connectionTypeName(type).c_str(), connectionTypeName(outletType).c_str());
    return !first;
  }
  outlet->second.systemId = from.systemId;
  outlet->second.airflow = from.airflow;

  if (first) {
    const int placed =
        dc_place_external_part(&parent, &from, &component, &inlet->second, unit.externalComponentDistance);
    if (placed < 0) {
      reportUnplaced(component, placed);
      return false;
    }
    dc_create_custom_part(unit.productDb, unit.systemId, component);
  }
  dc_create_branch(component, inlet->second, outlet->second);
  dc_connect_by_duct(parent, from, component, inlet->second, unit.componentDuctSerieId, type);
  return true;
}

}  // namespace

int dc_create_objects(UnitRecord* unit, bool unitOnly) {
  if (!unit || unit->parts.empty() || unit->parts[0].blockRefId.isNull()) return -1;
  dc_create_custom_part(unit->productDb, unit->systemId, unit->parts[0]);
  dc_create_connection_stubs(unit->parts[0]);
  if (unitOnly) return 0;

  // A component is placed from the one before it on its duct: after one that was not
  // placed, the rest of that duct's chain has no place either.
  std::vector<bool> placed(unit->parts.size(), false);
  placed[0] = true;
  for (size_t index = 1; index < unit->parts.size(); ++index) {
    GraphicalPart& component = unit->parts[index];
    // The reader attaches a component only to a part before it.
    if (component.attachedTo < 0 || static_cast<size_t>(component.attachedTo) >= index) continue;
    const size_t parentIndex = static_cast<size_t>(component.attachedTo);
    GraphicalPart& parent = unit->parts[parentIndex];
    if (!placed[parentIndex]) {
      printMessage("Zephyr: External component %s is left out: %s before it on its duct is not placed.\n",
                   component.name.c_str(), parent.name.c_str());
      continue;
    }
    placed[index] = !component.connectionTypes.empty();
    for (size_t t = 0; t < component.connectionTypes.size() && placed[index]; ++t)
      placed[index] = createOnConnection(*unit, parent, component, component.connectionTypes[t], t == 0);
  }
  return 0;
}
