// Run-time classes: each class's descriptor, its parent and its DXF name.
#include "dbents.h"
#include "dbmain.h"
#include "hostimpl.h"
#include "rxapi.h"

bool AcRxClass::isDerivedFrom(const AcRxClass* other) const {
  for (const AcRxClass* c = this; c; c = c->m_parent)
    if (c == other) return true;
  return false;
}

AcRxObject::~AcRxObject() = default;

AcRxClass* AcRxObject::desc() {
  static AcRxClass cls(L"AcRxObject", nullptr, "");
  return &cls;
}
AcRxClass* AcRxObject::isA() const { return desc(); }
bool AcRxObject::isKindOf(const AcRxClass* cls) const { return isA()->isDerivedFrom(cls); }

#define HOST_RX_CLASS(CLASS, PARENT, DXF)                  \
  AcRxClass* CLASS::desc() {                               \
    static AcRxClass cls(L## #CLASS, PARENT::desc(), DXF); \
    return &cls;                                           \
  }                                                        \
  AcRxClass* CLASS::isA() const { return desc(); }

HOST_RX_CLASS(AcGiDrawable, AcRxObject, "")
HOST_RX_CLASS(AcDbObject, AcGiDrawable, "")
HOST_RX_CLASS(AcDbEntity, AcDbObject, "")
HOST_RX_CLASS(AcDbSymbolTableRecord, AcDbObject, "")
HOST_RX_CLASS(AcDbSymbolTable, AcDbObject, "TABLE")
HOST_RX_CLASS(AcDbBlockTableRecord, AcDbSymbolTableRecord, "BLOCK_RECORD")
HOST_RX_CLASS(AcDbBlockTable, AcDbSymbolTable, "TABLE")
HOST_RX_CLASS(AcDbLayerTableRecord, AcDbSymbolTableRecord, "LAYER")
HOST_RX_CLASS(AcDbLayerTable, AcDbSymbolTable, "TABLE")
HOST_RX_CLASS(AcDbLinetypeTableRecord, AcDbSymbolTableRecord, "LTYPE")
HOST_RX_CLASS(AcDbLinetypeTable, AcDbSymbolTable, "TABLE")
HOST_RX_CLASS(AcDbRegAppTableRecord, AcDbSymbolTableRecord, "APPID")
HOST_RX_CLASS(AcDbRegAppTable, AcDbSymbolTable, "TABLE")
HOST_RX_CLASS(AcDbLine, AcDbEntity, "LINE")
HOST_RX_CLASS(AcDbPoint, AcDbEntity, "POINT")
HOST_RX_CLASS(AcDbCircle, AcDbEntity, "CIRCLE")
HOST_RX_CLASS(AcDbEllipse, AcDbEntity, "ELLIPSE")
HOST_RX_CLASS(AcDbFace, AcDbEntity, "3DFACE")
HOST_RX_CLASS(AcDbBlockReference, AcDbEntity, "INSERT")
HOST_RX_CLASS(AcDbForeignObject, AcDbObject, "")
HOST_RX_CLASS(AcDbForeignEntity, AcDbEntity, "")
HOST_RX_CLASS(AcRxDictionary, AcRxObject, "")
HOST_RX_CLASS(AcRxService, AcRxObject, "")
HOST_RX_CLASS(AcRxDynamicLinker, AcRxObject, "")
HOST_RX_CLASS(AcEdCommandStack, AcRxObject, "")
