// Custom classes of application modules. A module defines its class with
//   ACRX_DXF_DEFINE_MEMBERS(CLASS, PARENT, AcDb::kDHL_CURRENT, AcDb::kMReleaseCurrent,
//                           PROXY_FLAGS, DXFNAME, L"Application")
// (CLASS declares ACRX_DECLARE_MEMBERS), calls CLASS::rxInit() and
// acrxBuildClassHierarchy() when it loads, and deleteAcRxClass(CLASS::desc()) when it
// unloads. An entity class then lives in drawings: it is written to DXF with its class in
// the CLASSES section, its own groups (dxfOutFields) and proxy graphics (its worldDraw),
// and read back as that class (dxfInFields).
// While the module is not loaded its entities are kept as read and written back unchanged:
// entities of a drawing read before the class was added become objects of the class when it
// is added, and objects of a class being deleted are kept as they would be written.
#pragma once
#include "rxobject.h"

namespace AcDb {
enum AcDbDwgVersion { kDHL_CURRENT = 0 };
enum MaintenanceReleaseVersion { kMReleaseCurrent = 0 };
}  // namespace AcDb

// What a program without the class may do with its objects (group 90 of the CLASSES entry).
struct AcDbProxyEntity {
  enum ProxyFlags {
    kNoOperation = 0,
    kEraseAllowed = 0x1,
    kTransformAllowed = 0x2,
    kColorChangeAllowed = 0x4,
    kLayerChangeAllowed = 0x8,
    kLinetypeChangeAllowed = 0x10,
    kLinetypeScaleChangeAllowed = 0x20,
    kVisibilityChangeAllowed = 0x40,
    kCloningAllowed = 0x80,
    kLineWeightChangeAllowed = 0x100,
    kPlotStyleNameChangeAllowed = 0x200,
  };
};

#define ACRX_DXF_DEFINE_MEMBERS(CLASS, PARENT, DWG_VERSION, MAINT_VERSION, PROXY_FLAGS, DXF_NAME, APP)     \
  AcRxClass* CLASS::desc() {                                                                             \
    static AcRxClass cls(L## #CLASS, PARENT::desc(), #DXF_NAME,                                          \
                         [] { return static_cast<AcRxObject*>(new CLASS); }, APP, PROXY_FLAGS);          \
    return &cls;                                                                                         \
  }                                                                                                      \
  AcRxClass* CLASS::isA() const { return desc(); }                                                       \
  void CLASS::rxInit() { acrxRegisterClass(CLASS::desc()); }

// Adds a module's class (rxInit calls it): its DXF name then reads as the class. A second
// class of the same DXF name is not added.
ACHOST_API void acrxRegisterClass(AcRxClass* cls);
// After a module's classes are added; the host needs nothing more.
ACHOST_API void acrxBuildClassHierarchy();
// Takes a module's class out (before the module's code goes): its objects in every open
// drawing are kept as they would be written, as objects the host does not model.
ACHOST_API void deleteAcRxClass(AcRxClass* cls);
