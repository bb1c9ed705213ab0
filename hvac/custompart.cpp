#include "custompart.h"

#include <string>

#include "bridge.h"
#include "adslib.h"
#include "dbents.h"
#include "device.h"
#include "ductoracalls.h"
#include "report.h"
#include "text.h"
#include "xmlwriter.h"

namespace {

const char* const kTooOld = "Ductora version is too old";
const char* const kCustomPart = "EWAPART_CUSTOM";
const long kModelBuffer = 1;  // the one byte buffer in use
const size_t kBlockNameBytes = 128;

// An object opened here, closed on every way out.
struct OpenedObject {
  AcDbObject* object = nullptr;
  ~OpenedObject() {
    if (object) object->close();
  }
};

std::string escaped(const char* text) { return xmlStringWriter::xmlEscape(text ? text : ""); }

// Type, system, placement and product code: the elements both requests begin with.
void appendPartHead(xmlStringWriter& request, int systemId, const AcGePoint3d& position,
                    const AcGeVector3d& direction, const AcGeVector3d& normal, const char* productCode) {
  request.xmlAppend("<CreatePart>");
  request.xmlAppend("<Part>");
  request.xmlAppend("<Type><Define>EWAPART_CUSTOM</Define></Type>");
  request.xmlAppendf("<System><ID>%d</ID></System>", systemId);
  appendWcs(request, "Position", position.x, position.y, position.z);
  appendWcs(request, "Direction", direction.x, direction.y, direction.z);
  appendWcs(request, "Normal", normal.x, normal.y, normal.z);
  if (productCode && *productCode)
    request.xmlAppendf("<Productcode>%s</Productcode>", escaped(productCode).c_str());
}

void appendPartType(xmlStringWriter& request, const char* description) {
  if (description && *description) {
    const std::string text = escaped(description);
    request.xmlAppendf("<CustomPartType>%s</CustomPartType>", text.c_str());
    request.xmlAppendf("<Description>%s</Description>", text.c_str());
  } else {
    request.xmlAppend("<CustomPartType>Special</CustomPartType>");
  }
}

void appendLayer(xmlStringWriter& request, const char* layer) {
  request.xmlAppendf("<Geometry><Layer><Name>%s</Name></Layer></Geometry>", escaped(layer).c_str());
}

void appendPartTail(xmlStringWriter& request) {
  request.xmlAppend("</Part>");
  request.xmlAppend("</CreatePart>");
}

// Hands the display list to the new part through byte buffer 1. A refusal after the
// buffer was made frees it again before the task ends with the server's reason.
void sendDisplayList(DuctoraBridge& bridge, const std::string& handle, const gm_model& list) {
  const long size = static_cast<long>(list.count) * static_cast<long>(sizeof(gm_element));
  requireDone(bridge, bridge.allocBinary(kModelBuffer, size));
  long code = bridge.writeBinaryData(kModelBuffer, list.items, size);
  if (code == 0)
    code = bridge.setNumber(handle.c_str(), "/Part/Geometry/Source[0]/gm_model/binvar",
                            static_cast<double>(kModelBuffer));
  if (code != 0) {
    const std::string reason = bridge.lastError();
    bridge.freeBinary(kModelBuffer);
    throw reason;
  }
  requireDone(bridge, bridge.freeBinary(kModelBuffer));
}

bool isCustomPart(DuctoraBridge& bridge, const AcDbObjectId& id) {
  const std::string handle = handleText(id);
  std::string type;
  return !handle.empty() && bridge.getString(handle.c_str(), "/Part/Type/Define", type) == 0 &&
         type == kCustomPart;
}

int partFromModel(int16_t productDb, int systemId, const GraphicalPart& part, std::string& handle) {
  DeviceModel model;
  if (model.draw(productDb, part.name.c_str()) < 0) throw "Can't get gm_model";
  return dc_custom_part_from_model(&model.list, systemId, part.position, part.direction, part.normal,
                                   part.name.c_str(), "0", part.description.c_str(), handle);
}

}  // namespace

AcDbObjectId dc_drawing_object(const std::string& handle) {
  AcDbObjectId id;
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  const AcDbHandle h(widen(handle).c_str());
  if (!db || h.isNull() || db->getAcDbObjectId(id, false, h) != Acad::eOk) return AcDbObjectId();
  return id;
}

int dc_create_custom_part(int16_t productDb, int systemId, GraphicalPart& part) {
  int result = -1;
  try {
    DuctoraBridge bridge;
    requireDuctoraVersion(bridge, kDuctoraPackageVersion,
                          "Can't initialize Ductora interface Ductora version is too old");
    if (!part.blockRefId.isNull() && isCustomPart(bridge, part.blockRefId)) return 0;

    std::string handle;
    if (!part.blockRefId.isNull())
      result = dc_custom_part_from_block(part.blockRefId, systemId, part.name.c_str(),
                                         part.description.c_str(), handle);
    else
      result = partFromModel(productDb, systemId, part, handle);

    // A failed creation leaves the handle empty and is reported once more here.
    const AcDbObjectId created = dc_drawing_object(handle);
    if (created.isNull()) throw "Can't get ACAD object id";
    part.blockRefId = created;
  } catch (...) {
    reportCurrentException("Can't get duct connection data from Ductora");
  }
  return result;
}

int dc_custom_part_from_block(const AcDbObjectId& blockRefId, int systemId, const char* productCode,
                              const char* description, std::string& handle) {
  handle.clear();
  if (blockRefId.isNull()) return 0;
  OpenedObject reference, record;
  try {
    DuctoraBridge bridge;
    requireDuctoraVersion(bridge, kDuctoraPartsVersion, kTooOld);
    if (acdbOpenAcDbObject(reference.object, blockRefId, AcDb::kForWrite) != Acad::eOk) {
      reference.object = nullptr;
      throw "Can't open block reference object for writing";
    }
    AcDbBlockReference* blockRef = AcDbBlockReference::cast(reference.object);
    if (!blockRef) throw "CanCan't get block reference";
    if (acdbOpenAcDbObject(record.object, blockRef->blockTableRecord(), AcDb::kForRead) != Acad::eOk) {
      record.object = nullptr;
      throw "Can't open block reference object for reading";
    }
    AcDbBlockTableRecord* block = AcDbBlockTableRecord::cast(record.object);
    if (!block) throw "Can't get block";

    // The X direction turns about the world Z axis, whatever the reference's normal.
    AcGeVector3d direction = AcGeVector3d::kXAxis;
    direction.rotateBy(blockRef->rotation(), AcGeVector3d::kZAxis);
    ACHAR* layer = blockRef->layer();
    const std::string layerName = layer ? narrow(layer) : std::string();
    acutDelString(layer);

    xmlStringWriter request;
    appendPartHead(request, systemId, blockRef->position(), direction, blockRef->normal(), productCode);
    appendLayer(request, layerName.c_str());
    appendPartType(request, description);
    appendPartTail(request);
    requireDone(bridge, bridge.createPart(request.text(), handle));

    ACHAR* wideName = nullptr;
    if (block->getName(wideName) != Acad::eOk || !wideName) throw "Can't get block name";
    char name[kBlockNameBytes] = {0};
    toNarrow(wideName, name, sizeof name);
    acutDelString(wideName);
    requireDone(bridge, bridge.setString(handle.c_str(), "/Part/Geometry/Source[0]/Block/Name", name));

    blockRef->erase(true);
    return 0;
  } catch (...) {
    reportCurrentException("Can't create custom object");
    return -1;
  }
}

int dc_custom_part_from_model(const gm_model* list, int systemId, const AcGePoint3d& position,
                              const AcGeVector3d& direction, const AcGeVector3d& normal,
                              const char* productCode, const char* layer, const char* description,
                              std::string& handle) {
  handle.clear();
  if (!list) return -1;
  try {
    DuctoraBridge bridge;
    requireDuctoraVersion(bridge, kDuctoraPartsVersion, kTooOld);
    xmlStringWriter request;
    appendPartHead(request, systemId, position, direction, normal, productCode);
    appendPartType(request, description);
    appendLayer(request, layer);
    appendPartTail(request);
    requireDone(bridge, bridge.createPart(request.text(), handle));
    sendDisplayList(bridge, handle, *list);
  } catch (...) {
    reportCurrentException("Can't create custom object");
    return -1;
  }
  dc_set_linetypes(handle.c_str());
  return 0;
}

int dc_set_linetypes(const char* handle) {
  try {
    DuctoraBridge bridge;
    requireDuctoraVersion(bridge, kDuctoraPartsVersion, kTooOld);
    xmlStringWriter definition;
    definition.xmlAppend("<Linetypedef>");
    for (int pen = 1; pen <= 4; ++pen) {
      definition.xmlAppendf("<Linetype id=\"%d\">", pen);
      definition.xmlAppend("<Layer><Name>0</Name></Layer>");
      definition.xmlAppend("</Linetype>");
    }
    definition.xmlAppend("</Linetypedef>");
    requireDone(bridge, bridge.setString(handle, "/Part/Geometry/Linetypedef[0]", definition.text()));
    return 0;
  } catch (...) {
    reportCurrentException("Can't set line type definitions to part");
    return -1;
  }
}

AcGeMatrix3d dc_part_transform(const AcDbObjectId& id) {
  AcGeMatrix3d placement;
  OpenedObject opened;
  try {
    if (acdbOpenAcDbObject(opened.object, id, AcDb::kForRead) != Acad::eOk) {
      opened.object = nullptr;
      throw "Can't open object for reading";
    }
    if (AcDbBlockReference* blockRef = AcDbBlockReference::cast(opened.object)) {
      placement = blockRef->blockTransform();
    } else {
      DuctoraBridge bridge;
      const std::string handle = handleText(id);
      if (!handle.empty()) {
        AcGePoint3d origin;
        AcGeVector3d x, z;
        if (bridge.getPoint(handle.c_str(), "/Part/Position/WCS", origin.x, origin.y, origin.z) != 0)
          throw "Can't get position";
        if (bridge.getPoint(handle.c_str(), "/Part/Direction/WCS", x.x, x.y, x.z) != 0)
          throw "Can't get direction";
        if (bridge.getPoint(handle.c_str(), "/Part/Normal/WCS", z.x, z.y, z.z) != 0)
          throw "Can't get normal";
        placement.setCoordSystem(origin, x, z.crossProduct(x), z);
      }
    }
  } catch (...) {
    reportCurrentException("Can't get duct connection data from Ductora");
  }
  return placement;
}

void dc_take_placement(GraphicalPart& part) {
  AcGeVector3d y;
  dc_part_transform(part.blockRefId).getCoordSystem(part.position, part.direction, y, part.normal);
}
