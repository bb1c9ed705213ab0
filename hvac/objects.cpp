#include "objects.h"

#include "custompart.h"
#include "ducts.h"
#include "placement.h"
#include "stubs.h"
#include "text.h"

namespace {

// One unit connection that the component sits on: the component takes the parent
// connection's system and airflow, is placed and made (for its first connection type
// only), gets its branch stub and the duct from the parent connection.
void createOnConnection(UnitRecord& unit, GraphicalPart& parent, GraphicalPart& component, ConnectionType type,
                        bool first) {
  ConnectionMap::iterator parentConnection = findConnection(parent.connections, type, true);
  if (parentConnection == parent.connections.end()) {
    printMessage("Zephyr: Can't find parent connection with type '%s' for external part.\n",
                 connectionTypeName(type).c_str());
    return;
  }
  const DuctConnectionData& from = parentConnection->second;

  ConnectionType inletType = type;
  ConnectionMap::iterator inlet = findConnection(component.connections, inletType, false);
  if (inlet == component.connections.end()) {
    printMessage("Zephyr: Can't find connection with type '%s' for external part type '%s'.\n",
                 connectionTypeName(type).c_str(), connectionTypeName(inletType).c_str());
    return;
  }
  inlet->second.systemId = from.systemId;
  inlet->second.airflow = from.airflow;

  ConnectionType outletType = type;
  ConnectionMap::iterator outlet = findConnection(component.connections, outletType, true);
  if (outlet == component.connections.end()) {
    printMessage("Zephyr: Can't find connection with type %s for external part type '%s'.\n",
                 connectionTypeName(type).c_str(), connectionTypeName(outletType).c_str());
    return;
  }
  outlet->second.systemId = from.systemId;
  outlet->second.airflow = from.airflow;

  if (first) {
    dc_place_external_part(&parent, &from, &component, &inlet->second, unit.externalComponentDistance);
    dc_create_custom_part(unit.productDb, unit.systemId, component);
  }
  dc_create_branch(component, inlet->second, outlet->second);
  dc_connect_by_duct(parent, from, component, inlet->second, unit.componentDuctSerieId, type);
}

}  // namespace

int dc_create_objects(UnitRecord* unit, bool unitOnly) {
  if (!unit || unit->parts.empty() || unit->parts[0].blockRefId.isNull()) return -1;
  dc_create_custom_part(unit->productDb, unit->systemId, unit->parts[0]);
  dc_create_connection_stubs(unit->parts[0]);
  if (unitOnly) return 0;

  for (size_t index = 1; index < unit->parts.size(); ++index) {
    GraphicalPart& component = unit->parts[index];
    // The reader attaches a component only to a part before it.
    if (component.attachedTo < 0 || static_cast<size_t>(component.attachedTo) >= index) continue;
    GraphicalPart& parent = unit->parts[static_cast<size_t>(component.attachedTo)];
    for (size_t t = 0; t < component.connectionTypes.size(); ++t)
      createOnConnection(*unit, parent, component, component.connectionTypes[t], t == 0);
  }
  return 0;
}
