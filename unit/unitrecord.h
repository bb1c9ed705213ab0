// The unit while a command works on it: identification, sound, duct connections,
// external duct components, and the Ductora systems and duct series offered for it.
#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>
#include "acge.h"
#include "dbmain.h"

enum ConnectionType : int32_t {
  CONN_NONE = 0,
  CONN_SUPPLY = 1,
  CONN_EXTRACT = 2,
  CONN_OUTDOOR = 3,
  CONN_EXHAUST = 4,
  CONN_EXTRACT_PLUG = 5,
  CONN_SUPPLY_IN = 11,
  CONN_SUPPLY_OUT = 12,
  CONN_EXTRACT_IN = 21,
  CONN_EXTRACT_OUT = 22,
};

const int kSoundBands = 8;

// One duct connection of a part.
class DuctConnectionData {
 public:
  std::string dcHandle;             // Ductora connection stub, hexadecimal handle; "" = none
  int32_t systemId = -1;            // Ductora system; -1 = none
  double airflow = 0;               // l/s
  double pressure = 0;              // Pa
  double soundGeneration[kSoundBands] = {0, 0, 0, 0, 0, 0, 0, 0};   // dB per octave band
  double soundAttenuation[kSoundBands] = {0, 0, 0, 0, 0, 0, 0, 0};  // dB per octave band
  AcGePoint3d position;             // model coordinates of the part
  AcGeVector3d direction;
  AcGeVector3d normal;
  AcGePoint3d size;                 // x width or diameter, y height (0 = round)
  int32_t modelConnectionId = 0;    // connection point number in the product model
};

typedef std::map<ConnectionType, DuctConnectionData> ConnectionMap;

// The unit itself (parts[0]) or one external duct component.
class GraphicalPart {
 public:
  GraphicalPart(const std::string& name, char alignment) : name(name), alignment(alignment) {}

  std::string name;                 // product id
  char alignment;                   // 'D', 'H' or 'V' for an external component
  AcDbObjectId blockRefId;          // block reference, later the Ductora custom part
  AcGePoint3d position;
  AcGeVector3d direction;
  AcGeVector3d normal;
  ConnectionMap connections;
  int32_t attachedTo = 0;           // index in UnitRecord::parts; 0 = the unit
  std::vector<ConnectionType> connectionTypes;  // unit connections this component sits on
  std::string description;
};

struct dc_system {
  int32_t id = 0;
  int32_t typeId = 0;
  std::string name;
};

struct dc_duct_serie_size {
  int32_t width = 0;   // or diameter
  int32_t height = 0;  // 0 for a round size
};

struct dc_duct_serie {
  std::string id;
  std::string name;
  std::vector<dc_duct_serie_size> sizes;
};

// One duct connection of a Ductora part in world coordinates; round when height < 1e-6.
class Ductora_Connection {
 public:
  double position[3] = {0, 0, 0};
  double direction[3] = {0, 0, 0};
  double normal[3] = {0, 0, 0};
  double size[3] = {0, 0, 0};
};

class UnitRecord {
 public:
  UnitRecord();

  std::string version = "200811";
  std::string heatExchanger = "cross";
  std::string unitCode;
  std::string objectId;
  std::string description;
  std::string itemCode;
  double surroundingSound[kSoundBands] = {0, 0, 0, 0, 0, 0, 0, 0};
  double externalComponentDistance = 1300.0;
  int32_t systemId = -1;
  std::string componentDuctSerieId = "-1";
  std::string modelDatabaseUrl;
  std::string warningText;
  std::list<dc_system> systems;
  std::list<dc_duct_serie> ductSeries;
  int16_t productDb = -1;
  std::vector<GraphicalPart> parts;  // parts[0] is the unit
};

// "CONN_SUPPLY" ... or "Unknown connection type N".
std::string connectionTypeName(ConnectionType type);

// Looks a connection up, preferring an external component's inlet (outlet when outlet is
// true) on the same air path; type becomes the type found. end() when there is none.
ConnectionMap::iterator findConnection(ConnectionMap& connections, ConnectionType& type,
                                       bool outlet);

// Width and height from a duct size name: "400x200" gives 400 and 200, "315" 315 and 0.
dc_duct_serie_size ductSerieSizeFromName(const char* name);

bool isSupplyPath(ConnectionType type);
bool isExtractPath(ConnectionType type);
