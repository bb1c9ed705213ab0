#include "ducts.h"

#include "bridge.h"
#include "custompart.h"
#include "ductoracalls.h"
#include "report.h"

int dc_duct_system_type(ConnectionType type) { return isSupplyPath(type) ? 0 : 1; }

int dc_connect_by_duct(const GraphicalPart& parent, const DuctConnectionData& parentConnection,
                       const GraphicalPart& component, const DuctConnectionData& inlet,
                       const std::string& serieId, ConnectionType parentType) {
  if (parentConnection.size.distanceTo(inlet.size) > kDuctSizeTolerance) return 0;
  try {
    DuctoraBridge bridge;
    requireDuctoraVersion(bridge, kDuctoraPackageVersion, kDuctoraTooOldForObjects);

    const AcGeMatrix3d parentPlacement = dc_part_transform(parent.blockRefId);
    AcGePoint3d a = parentConnection.position;
    AcGeVector3d directionA = parentConnection.direction;
    a.transformBy(parentPlacement);
    directionA.transformBy(parentPlacement);

    const AcGeMatrix3d componentPlacement = dc_part_transform(component.blockRefId);
    AcGePoint3d b = inlet.position;
    AcGeVector3d directionB = inlet.direction, normalB = inlet.normal;
    b.transformBy(componentPlacement);
    directionB.transformBy(componentPlacement);
    normalB.transformBy(componentPlacement);

    if (!directionA.isEqualTo(-directionB)) return 0;      // not facing each other
    if (directionA.angleTo(b - a) > kDuctLineAngle) return 0;  // not on one line

    xmlStringWriter endA, endB;
    dc_duct_end_pair(endA, endB, parentConnection.dcHandle.c_str(), a, inlet.dcHandle.c_str(), b);
    dc_create_duct(endA.text(), endB.text(), parentConnection.systemId, dc_duct_system_type(parentType), normalB,
                   serieId.c_str(), parentConnection.size.x, parentConnection.size.y, parentConnection.size.z,
                   0.0, false);
    return 0;
  } catch (...) {
    reportCurrentException("Can't connect connections by duct");
    return -1;
  }
}

void dc_duct_end_pair(xmlStringWriter& endA, xmlStringWriter& endB, const char* handleA,
                      const AcGePoint3d& pointA, const char* handleB, const AcGePoint3d& pointB) {
  endA.clear();
  endB.clear();
  endA.xmlAppendf("<ConnectedTo>%s</ConnectedTo>", xmlStringWriter::xmlEscape(handleA ? handleA : "").c_str());
  appendWcs(endA, "Position", pointA.x, pointA.y, pointA.z);
  endB.xmlAppendf("<ConnectedTo>%s</ConnectedTo>", xmlStringWriter::xmlEscape(handleB ? handleB : "").c_str());
  appendWcs(endB, "Position", pointB.x, pointB.y, pointB.z);
}

std::string dc_create_duct(const char* endA, const char* endB, int systemId, int systemTypeId,
                           const AcGeVector3d& normal, const char* serieId, double width, double height,
                           double /*depth*/, double bendCoefficient, bool locked) {
  xmlStringWriter request;
  request.xmlAppend("<CreatePart>");
  request.xmlAppend("<Part>");
  request.xmlAppend("<Type><Define>EWAPART_DUCT</Define></Type>");
  request.xmlAppendf("<Connection>%s</Connection>", endA);
  request.xmlAppendf("<Connection>%s</Connection>", endB);
  request.xmlAppend("<System>");
  request.xmlAppendf("<ID>%d</ID>", systemId);
  request.xmlAppendf("<Type><ID>%d</ID></Type>", systemTypeId);
  request.xmlAppend("</System>");
  appendWcs(request, "Normal", normal.x, normal.y, normal.z);
  request.xmlAppendf("<Serie><ID>%s</ID></Serie>", serieId);
  appendDuctSize(request, width, height);
  if (bendCoefficient != 0.0) request.xmlAppendf("<Bend><RDCoefficient>%f</RDCoefficient></Bend>", bendCoefficient);
  if (locked) request.xmlAppend("<Locked><Size>1</Size></Locked>");
  request.xmlAppend("</Part>");
  request.xmlAppend("</CreatePart>");

  std::string handle;
  try {
    DuctoraBridge bridge;
    requireDuctoraVersion(bridge, kDuctoraPackageVersion, kDuctoraTooOldForObjects);
    requireDone(bridge, bridge.createPart(request.text(), handle));
  } catch (...) {
    reportCurrentException("Failed to create pipe");
    handle.clear();
  }
  return handle;
}
