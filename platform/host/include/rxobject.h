// Run-time classes: every object of the host knows its class, each class its parent, its
// DXF name and, for a class a module adds, how to make one and which application it is of.
#pragma once
#include "adesk.h"

class AcRxObject;

class ACHOST_API AcRxClass {
 public:
  typedef AcRxObject* (*PseudoConstructor)();
  AcRxClass(const ACHAR* name, AcRxClass* parent, const char* dxfName, PseudoConstructor create = nullptr,
            const ACHAR* appName = nullptr, int proxyFlags = 0)
      : m_name(name), m_parent(parent), m_dxfName(dxfName), m_create(create), m_appName(appName),
        m_proxyFlags(proxyFlags) {}
  const ACHAR* name() const { return m_name; }
  AcRxClass* myParent() const { return m_parent; }
  const char* dxfName() const { return m_dxfName; }
  bool isDerivedFrom(const AcRxClass* other) const;
  // A new object of the class; null for a class that cannot be made by name.
  AcRxObject* create() const { return m_create ? m_create() : nullptr; }
  // The application a custom class belongs to (null for the host's own classes), and what
  // other programs may do with its objects when the application is not there.
  const ACHAR* appName() const { return m_appName; }
  int proxyFlags() const { return m_proxyFlags; }

 private:
  const ACHAR* m_name;
  AcRxClass* m_parent;
  const char* m_dxfName;
  PseudoConstructor m_create;
  const ACHAR* m_appName;
  int m_proxyFlags;
};

#define ACRX_DECLARE_MEMBERS(CLASS)                                             \
  static AcRxClass* desc();                                                     \
  static void rxInit();                                                         \
  static CLASS* cast(const AcRxObject* p) {                                     \
    return (p && p->isKindOf(CLASS::desc())) ? const_cast<CLASS*>(static_cast<const CLASS*>(p)) \
                                             : nullptr;                         \
  }                                                                             \
  AcRxClass* isA() const override

class ACHOST_API AcRxObject {
 public:
  virtual ~AcRxObject();
  static AcRxClass* desc();
  virtual AcRxClass* isA() const;
  bool isKindOf(const AcRxClass* cls) const;
};
