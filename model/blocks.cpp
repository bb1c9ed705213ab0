// The block builder: display list to block definition, block names, layers, INSERT.
#include "blocks.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "adslib.h"
#include "dbents.h"
#include "text.h"

namespace {

// Smallest minor/major ratio an ellipse may have in a drawing file (readers refuse less).
const double kMinEllipseRatio = 1e-6;
// Largest cosine between an ellipse's normal and its major axis still taken as square.
const double kEllipseSquareTolerance = 1e-6;
// Characters the host refuses in a symbol name.
const char kBadNameCharacters[] = "<>/\\\":;?*|=`";

AcDbDatabase* workingDatabase() {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  return services ? services->workingDatabase() : nullptr;
}

bool fitsName(const char* text) { return text && std::strlen(text) < (size_t)kBlkPropNameSize; }

// Copies the text into the field, cut to fit (callers check the length beforehand).
void setField(char (&field)[kBlkPropNameSize], const char* text) {
  size_t length = text ? std::strlen(text) : 0;
  if (length >= sizeof field) length = sizeof field - 1;
  if (length) std::memcpy(field, text, length);
  field[length] = '\0';
}

// A name widened for the host, kept for the next call: every entity of a block carries the
// same block and layer names, and widening them again was most of an append's own work.
struct WideName {
  std::string narrow;
  std::wstring wide;
};

const std::wstring& widened(WideName& kept, const char* text) {
  if (kept.narrow != text) {
    kept.wide = widen(text);
    kept.narrow = text;
  }
  return kept.wide;
}

bool isFinite(double v) { return std::isfinite(v); }
bool isFinite(const gm_element& e) { return isFinite(e.x) && isFinite(e.y) && isFinite(e.z); }

AcGePoint3d pointOf(const gm_element& e) { return AcGePoint3d(e.x, e.y, e.z); }
AcGeVector3d vectorOf(const gm_element& e) { return AcGeVector3d(e.x, e.y, e.z); }

// A unit vector of a finite, non-zero element; false for anything else.
bool unitVectorOf(const gm_element& e, AcGeVector3d& unit) {
  if (!isFinite(e)) return false;
  AcGeVector3d v = vectorOf(e);
  double length = v.length();
  if (!(length > 0) || !isFinite(length)) return false;
  unit = v * (1.0 / length);
  return true;
}

// The number of elements that may be read. A negative count or a missing array gives none;
// a count beyond the storage the model library keeps for the list (its third word) is cut
// to that storage, so a lying count never reads past the array.
int32_t readableCount(const gm_model* model) {
  if (!model->items || model->count <= 0) return 0;
  int32_t n = model->count;
  if (model->capacity > 0 && model->capacity < n) n = model->capacity;
  if (n > GM_MODEL_MAX_COUNT) n = GM_MODEL_MAX_COUNT;
  return n;
}

// Walks a display list into one block; each entity is appended on its own.
struct BlockWalk {
  blkprop prop;
  const char* layers[4];
  const gm_element* items;
  int32_t count;

  void selectLayer(int16_t pen) {
    int index = (pen >= 2 && pen <= 4) ? pen - 1 : 0;
    setField(prop.layer, layers[index]);
  }

  void append(AcDbEntity* entity) { block_append_entity(&prop, entity); }

  void line(int32_t from, int32_t to) {
    selectLayer(items[from].pen);
    if (!isFinite(items[from]) || !isFinite(items[to])) return;
    append(new AcDbLine(pointOf(items[from]), pointOf(items[to])));
  }

  // Returns the index after the run: the element behind its 1003, or count + 1 when the run
  // has no end, which ends the walk.
  int32_t lineRun(int32_t i) {
    int32_t j = i + 1;
    for (; j < count; ++j) {
      line(j - 1, j);
      if (items[j].code == GM_RUN_END) break;
    }
    return j + 1;
  }

  void circle(int32_t i) {
    selectLayer(items[i].pen);
    AcGeVector3d normal;
    double radius = items[i + 2].x;
    if (!isFinite(items[i]) || !unitVectorOf(items[i + 1], normal) || !isFinite(radius) ||
        !(radius > 0))
      return;
    append(new AcDbCircle(pointOf(items[i]), normal, radius));
  }

  void ellipse(int32_t i) {
    selectLayer(items[i].pen);
    const gm_element& numbers = items[i + 3];
    AcGeVector3d normal, majorDirection;
    if (!isFinite(items[i]) || !unitVectorOf(items[i + 1], normal) ||
        !unitVectorOf(items[i + 2], majorDirection) || !isFinite(numbers))
      return;
    double ratio = numbers.z;
    if (ratio < kMinEllipseRatio || ratio > 1.0) return;
    if (std::fabs(normal.dotProduct(majorDirection)) > kEllipseSquareTolerance) return;
    append(new AcDbEllipse(pointOf(items[i]), normal, vectorOf(items[i + 2]), ratio, numbers.x,
                           numbers.y));
  }

  // Returns the number of vertices the face took (3 or 4).
  int32_t face(int32_t i) {
    int32_t vertices = (items[i + 2].code == GM_FACE_VERTEX && i + 3 < count) ? 4 : 3;
    bool visible[4] = {false, false, false, false};
    for (int32_t k = 0; k < vertices; ++k) visible[k] = items[i + k].pen != GM_PEN_INVISIBLE;
    selectLayer(items[i].pen);
    for (int32_t k = 0; k < vertices; ++k)
      if (!isFinite(items[i + k])) return vertices;
    AcDbFace* entity;
    if (vertices == 4)
      entity = new AcDbFace(pointOf(items[i]), pointOf(items[i + 1]), pointOf(items[i + 2]),
                            pointOf(items[i + 3]), visible[0], visible[1], visible[2], visible[3]);
    else  // the host repeats the third corner: edge 2 has no length, edge 3 closes the triangle
      entity = new AcDbFace(pointOf(items[i]), pointOf(items[i + 1]), pointOf(items[i + 2]),
                            visible[0], visible[1], visible[2], visible[2]);
    append(entity);
    return vertices;
  }

  void run() {
    int32_t i = 0;
    while (i < count) {
      switch (items[i].code) {
        case GM_RUN_START:
          i = lineRun(i);
          break;
        case GM_CIRCLE:
          if (i + 3 <= count) {
            circle(i);
            i += 3;
          } else {
            i += 1;
          }
          break;
        case GM_ARC:
          if (i + 4 <= count) {
            ellipse(i);
            i += 4;
          } else {
            i += 1;
          }
          break;
        case GM_FACE:
          i += (i + 3 <= count) ? face(i) : 1;
          break;
        default:
          i += 1;
      }
    }
  }
};

bool validSymbolName(const char* name) {
  if (!name || !*name || !fitsName(name)) return false;
  for (const unsigned char* p = (const unsigned char*)name; *p; ++p)
    if (*p < 32 || std::strchr(kBadNameCharacters, *p)) return false;
  return true;
}

AcDbObjectId createBlockRecord(AcDbDatabase* db, const char* blockName) {
  AcDbBlockTable* table = nullptr;
  if (db->getBlockTable(table, AcDb::kForWrite) != Acad::eOk || !table) return AcDbObjectId();
  AcDbBlockTableRecord* record = new AcDbBlockTableRecord();
  AcDbObjectId id;
  if (record->setName(widen(blockName).c_str()) != Acad::eOk ||
      table->add(id, record) != Acad::eOk) {
    delete record;
    table->close();
    return AcDbObjectId();
  }
  table->close();
  record->close();
  return id;
}

}  // namespace

AcDbObjectId block_build_from_a2d(const char* blockName, const char* layer1, const char* layer2,
                                  const char* layer3, const char* layer4, const gm_model* model) {
  const char* layers[4] = {layer1 ? layer1 : "", layer2 ? layer2 : "", layer3 ? layer3 : "",
                           layer4 ? layer4 : ""};
  if (!model || !blockName || !*blockName || !fitsName(blockName)) return AcDbObjectId();
  for (const char* layer : layers)
    if (!fitsName(layer)) return AcDbObjectId();
  AcDbDatabase* db = workingDatabase();
  if (!db) return AcDbObjectId();

  BlockWalk walk;
  setField(walk.prop.blockName, blockName);
  setField(walk.prop.layer, layers[0]);
  setField(walk.prop.linetype, "");
  walk.prop.color = 256;
  for (int k = 0; k < 4; ++k) walk.layers[k] = layers[k];
  walk.items = model->items;
  walk.count = readableCount(model);

  AcDbObjectId id = createBlockRecord(db, blockName);
  if (id.isNull()) return id;
  walk.run();
  return id;
}

int block_append_entity(const blkprop* prop, AcDbEntity* entity) {
  static thread_local WideName layerName, blockName;
  if (!entity) return -5;
  AcDbDatabase* db = workingDatabase();
  if (!prop || !db) {
    delete entity;
    return prop ? -1 : -2;
  }
  if (prop->layer[0]) {
    if (layer_create(prop->layer, 7) != 0) {
      delete entity;
      return -4;
    }
    entity->setLayer(widened(layerName, prop->layer).c_str(), true, false);
  }
  entity->setColorIndex(prop->color, true);
  if (prop->linetype[0]) entity->setLinetype(widen(prop->linetype).c_str(), true);

  AcDbBlockTable* table = nullptr;
  if (db->getBlockTable(table, AcDb::kForRead) != Acad::eOk || !table) {
    delete entity;
    return -1;
  }
  AcDbBlockTableRecord* block = nullptr;
  if (table->getAt(widened(blockName, prop->blockName).c_str(), block, AcDb::kForWrite, false) != Acad::eOk ||
      !block) {
    table->close();
    delete entity;
    return -2;
  }
  table->close();
  Acad::ErrorStatus es = block->appendAcDbEntity(entity);
  block->close();
  if (es != Acad::eOk) {
    delete entity;
    return -3;
  }
  entity->close();
  return 0;
}

int block_get_free_blkname(const char* prefix, char* name) {
  if (!prefix || !name || !fitsName(prefix)) return -1;
  AcDbDatabase* db = workingDatabase();
  AcDbBlockTable* table = nullptr;
  if (!db || db->getBlockTable(table, AcDb::kForRead) != Acad::eOk || !table) return -1;
  char candidate[kBlkPropNameSize + 8];
  for (int n = 1;; ++n) {
    if (n >= 99999) {
      table->close();
      return -1;
    }
    std::snprintf(candidate, sizeof candidate, "%s%d", prefix, n);
    if (!table->has(widen(candidate).c_str())) break;
  }
  table->close();
  std::memcpy(name, candidate, std::strlen(candidate) + 1);
  return 0;
}

int layer_create(const char* layer, int color) {
  static thread_local WideName layerName;
  if (!validSymbolName(layer)) return -1;
  AcDbDatabase* db = workingDatabase();
  AcDbLayerTable* layers = nullptr;
  if (!db || db->getLayerTable(layers, AcDb::kForWrite) != Acad::eOk || !layers) return -1;
  const std::wstring& name = widened(layerName, layer);
  if (layers->has(name.c_str())) {
    layers->close();
    return 0;
  }
  AcDbLayerTableRecord* record = new AcDbLayerTableRecord();
  record->setName(name.c_str());
  record->setIsFrozen(false);
  record->setIsOff(false);
  record->setVPDFLT(false);
  record->setIsLocked(false);
  AcCmColor layerColor;
  layerColor.setColorIndex((Adesk::UInt16)color);
  record->setColor(layerColor);

  AcDbLinetypeTable* linetypes = nullptr;
  if (db->getLinetypeTable(linetypes, AcDb::kForRead) != Acad::eOk || !linetypes) {
    delete record;
    layers->close();
    return -1;
  }
  AcDbObjectId continuous;
  if (linetypes->getAt(L"CONTINUOUS", continuous) == Acad::eOk)
    record->setLinetypeObjectId(continuous);
  linetypes->close();
  if (layers->add(record) != Acad::eOk) {
    delete record;
    layers->close();
    return -1;
  }
  record->close();
  layers->close();
  return 0;
}

AcDbObjectId block_insertblockref(const char* blockName, const char* layer, bool pickPoint,
                                  AcGePoint3d point, bool pickRotation, double rotation,
                                  double scale) {
  if (!blockName || !*blockName) return AcDbObjectId();
  // Numbers the INSERT command cannot take would give a reference no drawing file can hold.
  if (!isFinite(scale) || scale == 0 || !isFinite(rotation)) return AcDbObjectId();
  char rotationText[32];
  int written = std::snprintf(rotationText, sizeof rotationText, "%f", rotation);
  if (written < 0 || written >= (int)sizeof rotationText) return AcDbObjectId();

  std::wstring name = widen(blockName);
  int status;
  if (!pickPoint) {
    if (!isFinite(point.x) || !isFinite(point.y) || !isFinite(point.z)) return AcDbObjectId();
    ads_point at = {point.x, point.y, point.z};
    status = acedCommandS(RTSTR, L"_.INSERT", RTSTR, name.c_str(), RTPOINT, at, RTREAL, scale,
                          RTREAL, scale, RTREAL, rotation, RTNONE);
  } else {
    std::wstring rotationWide = widen(rotationText);
    status = acedCommandS(RTSTR, L"_.INSERT", RTSTR, name.c_str(), RTSTR, PAUSE, RTREAL, scale,
                          RTREAL, scale, RTSTR, pickRotation ? PAUSE : rotationWide.c_str(),
                          RTNONE);
  }
  if (status != RTNORM) return AcDbObjectId();

  AcDbObjectId reference = block_get_last_entity();
  if (reference.isNull()) return reference;
  if (layer_create(layer, 7) != 0) return reference;
  AcDbEntity* entity = nullptr;
  if (acdbOpenAcDbEntity(entity, reference, AcDb::kForWrite) == Acad::eOk && entity) {
    entity->setLayer(widen(layer).c_str(), true, false);
    entity->close();
  }
  return reference;
}

int block_erase_definition(const AcDbObjectId& blockId) {
  AcDbObject* block = nullptr;
  if (blockId.isNull() || acdbOpenAcDbObject(block, blockId, AcDb::kForWrite) != Acad::eOk || !block) return -1;
  const Acad::ErrorStatus erased = block->erase(true);
  block->close();
  return erased == Acad::eOk ? 0 : -1;
}

AcDbObjectId block_get_last_entity() {
  ads_name selection, entity;
  if (acedSSGet(L"L", nullptr, nullptr, nullptr, selection) != RTNORM) return AcDbObjectId();
  AcDbObjectId id;
  if (acedSSName(selection, 0, entity) != RTNORM || acdbGetObjectId(id, entity) != Acad::eOk)
    id.setNull();
  acedSSFree(selection);
  return id;
}

AcDbObject* select_one_object(const char* prompt, AcDb::OpenMode mode) {
  std::wstring selectPrompt = widen(prompt ? prompt : "").substr(0, 127);
  const ACHAR* prompts[2] = {selectPrompt.c_str(), L""};
  ads_name selection, entity;
  if (acedSSGet(L":$:S", prompts, nullptr, nullptr, selection) != RTNORM) return nullptr;
  int status = acedSSName(selection, 0, entity);
  acedSSFree(selection);
  AcDbObjectId id;
  if (status != RTNORM || acdbGetObjectId(id, entity) != Acad::eOk) return nullptr;
  AcDbObject* object = nullptr;
  if (acdbOpenAcDbObject(object, id, mode) != Acad::eOk) return nullptr;
  return object;
}
