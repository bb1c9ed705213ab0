#include "stubs.h"

#include <cmath>
#include <string>

#include "bridge.h"
#include "custompart.h"
#include "dbmain.h"
#include "ductoracalls.h"
#include "report.h"
#include "text.h"

namespace {

const char* const kPartList = "/Part/Package/PartList";
const char* const kMoveBehaviour = "/Part/Package/Behaviour/MOVE";

void addToPackage(std::string& packageList, const std::string& handle) {
  if (!packageList.empty()) packageList += " ";
  packageList += handle;
}

void writePackage(DuctoraBridge& bridge, const std::string& handle, const std::string& packageList) {
  if (bridge.setString(handle.c_str(), kPartList, packageList.c_str()) != 0)
    throw "Can't create Ductora product package";
  if (bridge.setString(handle.c_str(), kMoveBehaviour, "All") != 0)
    throw "Can't set Ductora product package MOVE bahaviour";
}

bool soundGiven(const double* values) {
  if (!values) return false;
  double sum = 0.0;
  for (int band = 0; band < kSoundBands; ++band) sum += values[band];
  return sum > 0.0;
}

void appendSound(xmlStringWriter& writer, const char* kind, const double* values) {
  if (!soundGiven(values)) return;
  writer.xmlAppendf("<Sound><%s><dB>%f %f %f %f %f %f %f %f</dB></%s></Sound>", kind, values[0], values[1],
                    values[2], values[3], values[4], values[5], values[6], values[7], kind);
}

// A stub is replaced when the connection lost its system, or when it is a "Fan" stub of
// another system; a stub that does not answer is kept as it is.
bool stubToDrop(DuctoraBridge& bridge, const std::string& stub, int systemId) {
  if (systemId < 0) return true;
  std::string function;
  double stubSystem = 0;
  return bridge.getString(stub.c_str(), "/Part/ExternalPart/Function/Name", function) == 0 && function == "Fan" &&
         bridge.getNumber(stub.c_str(), "/Part/System/ID", stubSystem) == 0 &&
         std::trunc(stubSystem) != static_cast<double>(systemId);
}

// Erases the stub from the drawing and forgets it. A stub the user erased already counts
// as gone, so that a connection whose system was taken away is not refused on every run.
void dropStub(DuctConnectionData& connection) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (!db) throw "Can't get working database";
  AcDbObjectId id;
  if (db->getAcDbObjectId(id, false, AcDbHandle(widen(connection.dcHandle).c_str())) != Acad::eOk)
    throw "Can't get ACAD object id for duct connection";
  AcDbObject* stub = nullptr;
  const Acad::ErrorStatus opened = acdbOpenAcDbObject(stub, id, AcDb::kForWrite);
  if (opened != Acad::eOk && opened != Acad::eWasErased)
    throw "Can't open Ductora duct connection object for writing";
  connection.systemId = -1;
  connection.dcHandle.clear();
  if (opened != Acad::eOk) return;
  stub->erase(true);
  stub->close();
}

// The request of a new stub for one of the unit's connections; false when the connection
// gets none (an extract plug on another connection point).
bool unitStubRequest(xmlStringWriter& request, ConnectionType type, const DuctConnectionData& connection,
                     const std::string& unitHandle, int systemId, const AcGeMatrix3d& placement) {
  const std::vector<Ductora_Connection> list{dc_world_connection(connection, placement)};
  if (type == CONN_EXTRACT_PLUG) {
    if (connection.modelConnectionId != kExtractPlugConnectionPoint) return false;
    dc_stub_request(request, "Plug", unitHandle.c_str(), systemId, nullptr, nullptr, list);
  } else {
    dc_stub_request(request, "Fan", unitHandle.c_str(), systemId, connection.soundGeneration,
                    connection.soundAttenuation, list);
  }
  return true;
}

}  // namespace

Ductora_Connection dc_world_connection(const DuctConnectionData& connection, const AcGeMatrix3d& placement) {
  AcGePoint3d position = connection.position;
  AcGeVector3d direction = connection.direction, normal = connection.normal;
  position.transformBy(placement);
  direction.transformBy(placement);
  normal.transformBy(placement);
  Ductora_Connection world;
  for (unsigned axis = 0; axis < 3; ++axis) {
    world.position[axis] = position[axis];
    world.direction[axis] = direction[axis];
    world.normal[axis] = normal[axis];
    world.size[axis] = connection.size[axis];
  }
  return world;
}

void dc_stub_request(xmlStringWriter& writer, const char* function, const char* parentHandle, int systemId,
                     const double* soundGeneration, const double* soundAttenuation,
                     const std::vector<Ductora_Connection>& connections) {
  writer.clear();
  writer.xmlAppend("<CreateConnectionStub>");
  writer.xmlAppendf("<Function><Name>%s</Name></Function>", function);
  writer.xmlAppendf("<ParentPart>%s</ParentPart>", parentHandle);
  writer.xmlAppendf("<System><ID>%d</ID></System>", systemId);
  appendSound(writer, "Generation", soundGeneration);
  appendSound(writer, "Attenuation", soundAttenuation);
  writer.xmlAppend("<Connections>");
  for (const Ductora_Connection& c : connections) {
    writer.xmlAppend("<Connection>");
    appendWcs(writer, "Position", c.position[0], c.position[1], c.position[2]);
    appendWcs(writer, "Direction", c.direction[0], c.direction[1], c.direction[2]);
    appendWcs(writer, "Normal", c.normal[0], c.normal[1], c.normal[2]);
    appendDuctSize(writer, c.size[0], c.size[1]);
    writer.xmlAppend("</Connection>");
  }
  writer.xmlAppend("</Connections>");
  writer.xmlAppend("</CreateConnectionStub>");
}

int dc_create_connection_stubs(GraphicalPart& unit) {
  try {
    DuctoraBridge bridge;
    const std::string unitHandle = handleText(unit.blockRefId);
    const long version = requireDuctoraVersion(bridge, kDuctoraStubsVersion, kDuctoraTooOldForObjects);
    const bool packages = version >= kDuctoraPackageVersion;
    std::string packageList;
    if (packages && bridge.setString(unitHandle.c_str(), kPartList, "") != 0)
      throw "Can't clear Ductora product package";
    const AcGeMatrix3d placement = dc_part_transform(unit.blockRefId);

    for (ConnectionMap::iterator it = unit.connections.begin(); it != unit.connections.end(); ++it) {
      DuctConnectionData& connection = it->second;
      const int systemId = connection.systemId;
      if (!connection.dcHandle.empty()) {
        if (!stubToDrop(bridge, connection.dcHandle, systemId)) {
          addToPackage(packageList, connection.dcHandle);
          continue;
        }
        dropStub(connection);
      }
      xmlStringWriter request;
      if (systemId < 0 || !unitStubRequest(request, it->first, connection, unitHandle, systemId, placement))
        continue;
      std::string stub;
      if (bridge.createConnectionStub(request.text(), stub) != 0)
        throw std::string("Can't create duct connection ") + bridge.lastError();
      connection.dcHandle = stub;
      connection.systemId = systemId;
      if (!stub.empty()) addToPackage(packageList, stub);
    }
    if (packages) writePackage(bridge, unitHandle, packageList);
    return 0;
  } catch (...) {
    reportCurrentException("Failed to create duct connections");
    return -1;
  }
}

int dc_create_branch(GraphicalPart& component, DuctConnectionData& inlet, DuctConnectionData& outlet) {
  try {
    DuctoraBridge bridge;
    const std::string componentHandle = handleText(component.blockRefId);
    const long version = requireDuctoraVersion(bridge, kDuctoraStubsVersion, kDuctoraTooOldForObjects);
    const bool packages = version >= kDuctoraPackageVersion;
    std::string packageList;
    if (packages && bridge.getString(componentHandle.c_str(), kPartList, packageList) != 0)
      throw "Can't get Ductora product package";
    const AcGeMatrix3d placement = dc_part_transform(component.blockRefId);
    const std::vector<Ductora_Connection> list{dc_world_connection(inlet, placement),
                                               dc_world_connection(outlet, placement)};
    xmlStringWriter request;
    dc_stub_request(request, "NBranch", componentHandle.c_str(), inlet.systemId, inlet.soundGeneration,
                    inlet.soundAttenuation, list);
    std::string stub;
    if (bridge.createConnectionStub(request.text(), stub) != 0)
      throw std::string("Can't create nbrunch ") + bridge.lastError();
    inlet.dcHandle = stub;
    outlet.dcHandle = stub;
    if (!stub.empty()) addToPackage(packageList, stub);
    if (packages) writePackage(bridge, componentHandle, packageList);
    return 0;
  } catch (...) {
    reportCurrentException("Failed to create nbrunch");
    return -1;
  }
}
