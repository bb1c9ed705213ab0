// The running object table of the process: registrations of running objects by class.
#include <mutex>
#include <vector>
#include "objbase.h"

namespace {
struct Registration {
  DWORD id;
  CLSID clsid;
  IUnknown* object;
  bool strong;  // holds a reference until revoked
};

struct RunningObjectTable {
  std::mutex lock;
  std::vector<Registration> entries;
  DWORD nextId = 1;
  int initCount = 0;
};

RunningObjectTable& table() {
  static RunningObjectTable* rot = new RunningObjectTable;  // lives until the process ends
  return *rot;
}
}  // namespace

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* registration) {
  if (!object) return E_INVALIDARG;
  if (registration) *registration = 0;
  RunningObjectTable& rot = table();
  std::lock_guard<std::mutex> guard(rot.lock);
  if (rot.initCount == 0) return CO_E_NOTINITIALIZED;
  bool strong = (flags & ACTIVEOBJECT_WEAK) == 0;
  if (strong) object->AddRef();
  Registration r{rot.nextId++, clsid, object, strong};
  if (r.id == 0) r.id = rot.nextId++;
  rot.entries.push_back(r);
  if (registration) *registration = r.id;
  return S_OK;
}

HRESULT RevokeActiveObject(DWORD registration, void* reserved) {
  Registration found{};
  {
    RunningObjectTable& rot = table();
    std::lock_guard<std::mutex> guard(rot.lock);
    auto it = rot.entries.begin();
    for (; it != rot.entries.end(); ++it)
      if (it->id == registration) break;
    if (it == rot.entries.end()) return E_INVALIDARG;
    found = *it;
    rot.entries.erase(it);
  }
  // Released outside the lock: the object may revoke or register others as it ends.
  if (found.strong) found.object->Release();
  return S_OK;
}

HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  RunningObjectTable& rot = table();
  std::lock_guard<std::mutex> guard(rot.lock);
  if (rot.initCount == 0) return CO_E_NOTINITIALIZED;
  for (const Registration& r : rot.entries) {
    if (r.clsid == clsid) {
      r.object->AddRef();
      *object = r.object;
      return S_OK;
    }
  }
  return MK_E_UNAVAILABLE;
}

HRESULT CoInitialize(LPVOID reserved) {
  RunningObjectTable& rot = table();
  std::lock_guard<std::mutex> guard(rot.lock);
  return rot.initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  RunningObjectTable& rot = table();
  std::lock_guard<std::mutex> guard(rot.lock);
  if (rot.initCount > 0) --rot.initCount;
}
