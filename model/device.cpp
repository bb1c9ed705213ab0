// The device block and the connection geometry of a graphical part.
#include "device.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "blocks.h"
#include "dbents.h"
#include "devicedraw.h"
#include "tekcore.h"
#include "tekshape.h"
#include "text.h"

namespace {

const int kAttrModelParameters = 1507;
const int kAttrDescription = 9552;
// The attribute buffer of the product database; a text that fills it is read again into a
// larger one, up to the last size, so a long text is never cut silently.
const int kAttributeBufferSize = 1024;
const int kAttributeBufferLimit = 1 << 20;
// Room the database may leave unused when it cuts a text at a character boundary.
const int kCutSlack = 4;

// Attribute `number` of the product (object class "OTP"). The item count as the database
// gives it; the whole text in `text` when found.
int16_t readAttribute(int16_t db, const char* product, int number, std::string& text) {
  text.clear();
  for (int size = kAttributeBufferSize;; size *= 2) {
    std::vector<char> buffer(size, '\0');
    int16_t count = 0;
    tc_get_attribute(db, "OTP", product, number, &count, buffer.data(), size);
    buffer[size - 1] = '\0';
    size_t length = std::strlen(buffer.data());
    if (count <= 0 || length + kCutSlack < (size_t)size - 1 || size >= kAttributeBufferLimit) {
      if (count > 0) text.assign(buffer.data(), length);
      return count;
    }
  }
}

bool isModelConnectionType(int type) {
  switch (type) {
    case CONN_SUPPLY:
    case CONN_EXTRACT:
    case CONN_OUTDOOR:
    case CONN_EXHAUST:
    case CONN_EXTRACT_PLUG:
    case CONN_SUPPLY_IN:
    case CONN_SUPPLY_OUT:
    case CONN_EXTRACT_IN:
    case CONN_EXTRACT_OUT:
      return true;
    default:
      return false;
  }
}

// Width (or diameter) and height of the model's connections: D, else B and H.
void connectionSize(const char* params, int& first, int& second) {
  first = 0;
  second = 0;
  if (GetParamValue(params, "D", &first) != 0) {
    GetParamValue(params, "B", &first);
    GetParamValue(params, "H", &second);
  }
}

// Reads connection n (1..8) of the model into the part. 0 when read or when the model has
// none under "Pn"; else the negative result, its message printed.
int readConnection(int n, const char* params, const gm_model* list, GraphicalPart& part) {
  char name[16];
  std::snprintf(name, sizeof name, "P%d", n);
  int type = 0;
  if (GetParamValue(params, name, &type) != 0 || type == 0) return 0;
  const char* product = part.name.c_str();
  if (!isModelConnectionType(type)) {
    printMessage("Zephyr: Wrong duct connection type = %d for device '%s'.\n", type, product);
    return -7;
  }
  int first, second;
  connectionSize(params, first, second);
  if (first == 0 && second == 0) {
    printMessage("Zephyr: Can't get dimensions of duct connection %d for device '%s'.\n",
                 200 + n, product);
    return -8;
  }
  int point = type == CONN_EXTRACT_PLUG ? 249 : 200 + n;
  gm_point position;
  gm_vector direction, normal;
  if (gm_get_connection(list, (int16_t)point, &position, &direction, &normal, nullptr, nullptr,
                        nullptr, nullptr) != 0) {
    printMessage("Zephyr: Can't get position of duct connection %d for device '%s'.\n",
                 200 + n, product);
    return -9;
  }
  gm_point p;
  gm_vector d, v;
  gm_point_copy(&p, &position);
  gm_vector_copy(&d, &direction);
  gm_vector_copy(&v, &normal);
  DuctConnectionData& entry = part.connections[(ConnectionType)type];
  entry.position.set(p.x, p.y, p.z);
  entry.direction.set(d.x, d.y, d.z);
  entry.normal.set(v.x, v.y, v.z);
  entry.size.x = first;
  entry.size.y = second;
  entry.modelConnectionId = point;
  return 0;
}

// The drawings of the living SharedDeviceDrawings, by database handle and product.
struct SharedDrawing {
  int16_t productDb;
  std::string product;
  gm_model list;
};
std::deque<SharedDrawing>* sharedDrawings = nullptr;  // a deque: kept lists never move

}  // namespace

SharedDeviceDrawings::SharedDeviceDrawings() {
  if (sharedDrawings) return;
  sharedDrawings = new std::deque<SharedDrawing>();
  owner_ = true;
}

SharedDeviceDrawings::~SharedDeviceDrawings() {
  if (!owner_) return;
  for (SharedDrawing& d : *sharedDrawings) gm_model_free(&d.list);
  delete sharedDrawings;
  sharedDrawings = nullptr;
}

DeviceModel::DeviceModel() {
  std::memset(&list, 0, sizeof list);
  gm_model_init(&list);
}

DeviceModel::~DeviceModel() { gm_model_free(&list); }

int DeviceModel::draw(int16_t productDb, const char* product) {
  return device_draw(nullptr, nullptr, nullptr, &list, productDb, product, "OTP", nullptr, nullptr, nullptr, 0, 0, 5,
                     true, 7, 1.0, 0.0, 0.0);
}

int DeviceModel::drawShared(int16_t productDb, const char* product) {
  if (!sharedDrawings) return draw(productDb, product);
  for (const SharedDrawing& d : *sharedDrawings)
    if (d.productDb == productDb && d.product == product) {
      shared = &d.list;
      return 0;
    }
  const int result = draw(productDb, product);
  if (result < 0) return result;
  // The list moves into the share; this one starts empty again.
  sharedDrawings->push_back(SharedDrawing{productDb, product, list});
  std::memset(&list, 0, sizeof list);
  gm_model_init(&list);
  shared = &sharedDrawings->back().list;
  return result;
}

int GetParamValue(const char* params, const char* name, int* value) {
  if (!params || !name || !value) {
    printMessage("Zephyr: GetParamValue wrong parameters params = %p, name = %p, value = %p.\n",
                 (const void*)params, (const void*)name, (const void*)value);
    return -1;
  }
  *value = 0;
  std::string key = std::string(name) + "=";
  const char* found = std::strstr(params, key.c_str());
  if (!found) return -1;
  // strtol rather than atoi: the same reading, but a number out of range is clamped
  // instead of undefined.
  long number = std::strtol(found + key.size(), nullptr, 10);
  if (number > INT_MAX) number = INT_MAX;
  if (number < INT_MIN) number = INT_MIN;
  *value = (int)number;
  return 0;
}

int device_insert_block(int16_t productDb, GraphicalPart& part) {
  const char* product = part.name.c_str();
  std::string params;
  if (readAttribute(productDb, product, kAttrModelParameters, params) <= 0) {
    printMessage("Zephyr: Can't get teksolid parameters for device %s.\n", product);
    return -4;
  }
  DeviceModel model;
  if (model.drawShared(productDb, part.name.c_str()) < 0) return -5;
  if (!part.blockRefId.isNull()) return 0;
  char blockName[128];
  if (block_get_free_blkname("Zephyr", blockName) != 0) {
    printMessage("Zephyr: Can't get free block name for device '%s'.\n", product);
    return -6;
  }
  const AcDbObjectId block = block_build_from_a2d(blockName, "0", "0", "0", "0", model.drawn());
  if (block.isNull()) {
    printMessage("Zephyr: Can't create block for device '%s'.\n", product);
    return -6;
  }
  AcDbObjectId reference =
      block_insertblockref(blockName, "0", true, AcGePoint3d::kOrigin, true, 0.0, 1.0);
  if (reference.isNull()) {
    // The user did not place the unit: its block would stay in the drawing unused.
    block_erase_definition(block);
    return -6;
  }
  part.blockRefId = reference;

  AcDbObject* object = nullptr;
  if (acdbOpenAcDbObject(object, reference, AcDb::kForRead) != Acad::eOk || !object) {
    printMessage("Zephyr: Can't open block reference object for writing.\n");
    return -7;
  }
  AcDbBlockReference* blockRef = AcDbBlockReference::cast(object);
  if (!blockRef) {
    printMessage("Zephyr: Can't get block reference.\n");
    object->close();
    return -8;
  }
  // The X direction turns about the world Z axis, whatever the reference's normal.
  AcGeVector3d xDirection(1, 0, 0);
  xDirection.rotateBy(blockRef->rotation(), AcGeVector3d::kZAxis);
  part.position = blockRef->position();
  part.normal = blockRef->normal();
  part.direction = xDirection;
  object->close();
  return 0;
}

int device_get_connections(int16_t productDb, GraphicalPart& part) {
  const char* product = part.name.c_str();
  std::string description;
  if (readAttribute(productDb, product, kAttrDescription, description) <= 0 ||
      description.empty())
    printMessage("Zephyr: No AID_DESCRIPTIONGBR for device '%s'.\n", product);
  else
    part.description = description;

  std::string params;
  if (readAttribute(productDb, product, kAttrModelParameters, params) <= 0) {
    printMessage("Zephyr: Can't get teksolid parameters for device '%s'.\n", product);
    return -4;
  }
  DeviceModel model;
  if (model.drawShared(productDb, part.name.c_str()) < 0) return -5;
  int result = 0;
  for (int n = 1; n <= 8 && result == 0; ++n)
    result = readConnection(n, params.c_str(), model.drawn(), part);
  return result;
}

int devices_get_connections(UnitRecord* record) {
  if (!record) return -1;
  for (GraphicalPart& part : record->parts) device_get_connections(record->productDb, part);
  return 0;
}
