// The system registry: a dictionary holding the command stack, the service dictionary,
// the dynamic linker and the editor.
#include <map>
#include "aced.h"
#include "hostimpl.h"
#include "rxapi.h"

struct AcRxDictionary::Impl {
  std::map<std::wstring, AcRxObject*> entries;
};

AcRxDictionary::~AcRxDictionary() {
  if (!m_impl) return;
  for (auto& e : m_impl->entries) delete e.second;
  delete m_impl;
}

AcRxObject* AcRxDictionary::at(const ACHAR* key) const {
  if (!m_impl || !key) return nullptr;
  auto it = m_impl->entries.find(key);
  return it == m_impl->entries.end() ? nullptr : it->second;
}

AcRxObject* AcRxDictionary::atPut(const ACHAR* key, AcRxObject* object) {
  if (!key) return nullptr;
  if (!m_impl) m_impl = new Impl;
  AcRxObject*& slot = m_impl->entries[key];
  AcRxObject* old = slot;
  slot = object;
  return old;
}

AcRxObject* AcRxDictionary::remove(const ACHAR* key) {
  if (!m_impl || !key) return nullptr;
  auto it = m_impl->entries.find(key);
  if (it == m_impl->entries.end()) return nullptr;
  AcRxObject* o = it->second;
  m_impl->entries.erase(it);
  return o;
}

bool AcRxDictionary::has(const ACHAR* key) const { return at(key) != nullptr; }

AcRxDictionary* acrxSysRegistry() {
  // Never destroyed: applications may still reach it while the process ends.
  static AcRxDictionary* registry = [] {
    auto* r = new AcRxDictionary;
    r->atPut(ACRX_COMMAND_DOCK, new AcEdCommandStack);
    r->atPut(ACRX_SERVICE_DICTIONARY, new AcRxDictionary);
    r->atPut(ACRX_DYNAMIC_LINKER, new AcRxDynamicLinker);
    r->atPut(ACAD_EDITOR_OBJ, new AcEditor);
    return r;
  }();
  return registry;
}

static AcRxDictionary* services() {
  return AcRxDictionary::cast(acrxSysRegistry()->at(ACRX_SERVICE_DICTIONARY));
}

AcRxObject* acrxRegisterService(const ACHAR* serviceName) {
  if (!serviceName) return nullptr;
  if (AcRxObject* existing = services()->at(serviceName)) return existing;
  auto* service = new AcRxService;
  services()->atPut(serviceName, service);
  return service;
}

bool acrxServiceIsRegistered(const ACHAR* serviceName) { return services()->has(serviceName); }

// --- registered commands -------------------------------------------------------------

namespace {
struct Command {
  std::wstring global, local;
  AcRxFunctionPtr function;
};
struct Group {
  std::wstring name;
  std::vector<Command> commands;
};
std::vector<Group>& groups() {
  static std::vector<Group> g;
  return g;
}
Group* findGroup(const ACHAR* name) {
  for (Group& g : groups())
    if (cadhost::equalsNoCase(g.name, name)) return &g;
  return nullptr;
}
}  // namespace

Acad::ErrorStatus AcEdCommandStack::addCommand(const ACHAR* groupName, const ACHAR* globalName,
                                               const ACHAR* localName, Adesk::Int32, AcRxFunctionPtr function,
                                               AcEdUIContext*, int, HINSTANCE, AcEdCommand**) {
  if (!groupName || !globalName || !*globalName || !function) return Acad::eInvalidInput;
  Group* g = findGroup(groupName);
  if (!g) {
    groups().push_back({groupName, {}});
    g = &groups().back();
  }
  for (const Command& c : g->commands)
    if (cadhost::equalsNoCase(c.global, globalName)) return Acad::eDuplicateKey;
  g->commands.push_back({globalName, localName ? localName : globalName, function});
  return Acad::eOk;
}

Acad::ErrorStatus AcEdCommandStack::removeCmd(const ACHAR* groupName, const ACHAR* globalName) {
  Group* g = groupName && globalName ? findGroup(groupName) : nullptr;
  if (!g) return Acad::eKeyNotFound;
  for (auto it = g->commands.begin(); it != g->commands.end(); ++it)
    if (cadhost::equalsNoCase(it->global, globalName)) {
      g->commands.erase(it);
      return Acad::eOk;
    }
  return Acad::eKeyNotFound;
}

Acad::ErrorStatus AcEdCommandStack::removeGroup(const ACHAR* groupName) {
  if (!groupName) return Acad::eInvalidInput;
  for (auto it = groups().begin(); it != groups().end(); ++it)
    if (cadhost::equalsNoCase(it->name, groupName)) {
      groups().erase(it);
      return Acad::eOk;
    }
  return Acad::eKeyNotFound;
}

// The group added last is searched first, as the host's command stack does.
AcRxFunctionPtr AcEdCommandStack::lookupCmd(const ACHAR* name) const {
  if (!name) return nullptr;
  for (auto g = groups().rbegin(); g != groups().rend(); ++g)
    for (const Command& c : g->commands)
      if (cadhost::equalsNoCase(c.global, name) || cadhost::equalsNoCase(c.local, name)) return c.function;
  return nullptr;
}

bool AcEdCommandStack::hasGroup(const ACHAR* groupName) const { return groupName && findGroup(groupName); }
