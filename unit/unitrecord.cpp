#include "unitrecord.h"

#include <cstdlib>
#include <cstring>

UnitRecord::UnitRecord() {
  parts.emplace_back("", 'D');
  ConnectionMap& connections = parts[0].connections;
  for (ConnectionType type : {CONN_SUPPLY, CONN_EXHAUST, CONN_EXTRACT, CONN_OUTDOOR, CONN_EXTRACT_PLUG})
    connections.emplace(type, DuctConnectionData());
}

std::string connectionTypeName(ConnectionType type) {
  switch (type) {
    case CONN_NONE: return "CONN_NONE";
    case CONN_SUPPLY: return "CONN_SUPPLY";
    case CONN_EXTRACT: return "CONN_EXTRACT";
    case CONN_OUTDOOR: return "CONN_OUTDOOR";
    case CONN_EXHAUST: return "CONN_EXHAUST";
    case CONN_EXTRACT_PLUG: return "CONN_EXTRACT_PLUG";
    case CONN_SUPPLY_IN: return "CONN_SUPPLY_IN";
    case CONN_SUPPLY_OUT: return "CONN_SUPPLY_OUT";
    case CONN_EXTRACT_IN: return "CONN_EXTRACT_IN";
    case CONN_EXTRACT_OUT: return "CONN_EXTRACT_OUT";
  }
  return "Unknown connection type " + std::to_string(static_cast<int32_t>(type));
}

bool isSupplyPath(ConnectionType type) {
  return type == CONN_SUPPLY || type == CONN_OUTDOOR || type == CONN_SUPPLY_IN ||
         type == CONN_SUPPLY_OUT;
}

bool isExtractPath(ConnectionType type) {
  return type == CONN_EXTRACT || type == CONN_EXHAUST || type == CONN_EXTRACT_IN ||
         type == CONN_EXTRACT_OUT;
}

// Prefers the component's inlet or outlet of the path; otherwise the type itself.
static ConnectionMap::iterator lookUpOnPath(ConnectionMap& connections, ConnectionType& type,
                                            ConnectionType inlet, ConnectionType outletType,
                                            bool outlet) {
  ConnectionType preferred = outlet ? outletType : inlet;
  auto it = connections.find(preferred);
  if (it != connections.end()) {
    type = preferred;
    return it;
  }
  return connections.find(type);
}

ConnectionMap::iterator findConnection(ConnectionMap& connections, ConnectionType& type,
                                       bool outlet) {
  if (isSupplyPath(type))
    return lookUpOnPath(connections, type, CONN_SUPPLY_IN, CONN_SUPPLY_OUT, outlet);
  if (isExtractPath(type))
    return lookUpOnPath(connections, type, CONN_EXTRACT_IN, CONN_EXTRACT_OUT, outlet);
  return connections.end();
}

dc_duct_serie_size ductSerieSizeFromName(const char* name) {
  dc_duct_serie_size size;
  if (!name) return size;
  size.width = std::atoi(name);
  const char* x = std::strchr(name, 'x');
  if (x) size.height = std::atoi(x + 1);
  return size;
}
