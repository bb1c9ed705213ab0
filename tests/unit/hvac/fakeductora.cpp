#include "fakeductora.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "text.h"
#include "windows.h"

using namespace DURACOMSRVLib;

namespace {

const CLSID kDrawingClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x01}};
const CLSID kDuctoraClass = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x02}};

std::string text(BSTR s) { return s ? narrow(s) : std::string(); }

BSTR reply(const std::string& s) {
  std::wstring w = widen(s);
  return SysAllocStringLen(w.c_str(), static_cast<UINT>(w.size()));
}

template <class Interface>
struct Counted : Interface {
  ULONG references = 1;
  const IID* own;
  explicit Counted(const IID* iid) : own(iid) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == *own) {
      *object = this;
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }  // the test owns the memory
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPWSTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

struct Drawing : Counted<IDrawing> {
  Drawing() : Counted<IDrawing>(&IID_IDrawing) {}
};

struct Server : Counted<IDuctora200711> {
  FakeDuctora& fake;
  explicit Server(FakeDuctora& f) : Counted<IDuctora200711>(&IID_IDuctora200711), fake(f) {}

  void record(const char* method, BSTR handle, BSTR query, BSTR value = nullptr, long offset = 0) {
    FakeCall call;
    call.method = method;
    call.handle = text(handle);
    call.query = text(query);
    call.text = text(value);
    call.storedLength = query ? SysStringLen(query) : 0;
    call.offset = offset;
    fake.calls.push_back(call);
  }
  bool refuses(const char* method, BSTR query = nullptr) const {
    return fake.refused.count(method) || fake.refused.count(std::string(method) + " " + text(query));
  }
  LONG verdict(const char* method, BSTR query = nullptr) const { return refuses(method, query) ? fake.refusal : 0; }
  HRESULT get_Version(LONG* v) override { *v = fake.version; return S_OK; }
  HRESULT get_LastError(BSTR* m) override { *m = reply("The fake refused it."); return S_OK; }
  HRESULT GetString(BSTR h, BSTR q, BSTR* value, LONG* result) override {
    record("GetString", h, q);
    auto it = fake.strings.find(text(q));
    *value = reply(it == fake.strings.end() ? "" : it->second);
    *result = it == fake.strings.end() ? fake.refusal : verdict("GetString", q);
    return S_OK;
  }
  HRESULT SetString(BSTR h, BSTR q, BSTR v, LONG* result) override {
    record("SetString", h, q, v);
    *result = verdict("SetString", q);
    return S_OK;
  }
  HRESULT GetNumber(BSTR h, BSTR q, double* value, LONG* result) override {
    record("GetNumber", h, q);
    auto it = fake.numbers.find(text(q));
    if (it != fake.numbers.end()) *value = it->second;
    *result = it == fake.numbers.end() ? fake.refusal : verdict("GetNumber", q);
    return S_OK;
  }
  HRESULT SetNumber(BSTR h, BSTR q, double, LONG* result) override {
    record("SetNumber", h, q);
    *result = verdict("SetNumber", q);
    return S_OK;
  }
  HRESULT GetPoint(BSTR h, BSTR q, double* x, double* y, double* z, LONG* result) override {
    record("GetPoint", h, q);
    auto it = fake.points.find(text(q));
    if (it != fake.points.end()) {
      *x = it->second[0];
      *y = it->second[1];
      *z = it->second[2];
    }
    *result = it == fake.points.end() ? fake.refusal : verdict("GetPoint", q);
    return S_OK;
  }
  HRESULT SetPoint(BSTR h, BSTR q, double, double, double, LONG* result) override {
    record("SetPoint", h, q);
    *result = 0;
    return S_OK;
  }
  HRESULT CreatePart(BSTR r, BSTR* handle, LONG* result) override {
    record("CreatePart", nullptr, r);
    *result = verdict("CreatePart");
    *handle = reply(*result ? "" : fake.partHandle);
    return S_OK;
  }
  HRESULT CreatePartInBlock(BSTR, BSTR*, LONG*) override { return E_NOTIMPL; }
  HRESULT UpdateView(LONG*) override { return E_NOTIMPL; }
  HRESULT CreateConnectionStub(BSTR r, BSTR* handle, LONG* result) override {
    record("CreateConnectionStub", nullptr, r);
    *result = verdict("CreateConnectionStub");
    char stub[20];
    std::snprintf(stub, sizeof stub, "%lX", fake.nextStub);
    if (!*result) ++fake.nextStub;
    *handle = reply(*result ? "" : stub);
    return S_OK;
  }
  HRESULT AllocBinary(LONG, LONG size, LONG* result) override {
    record("AllocBinary", nullptr, nullptr, nullptr, size);
    *result = verdict("AllocBinary");
    return S_OK;
  }
  HRESULT WriteBinary(LONG, LONG offset, BSTR hex, LONG* result) override {
    record("WriteBinary", nullptr, nullptr, hex, offset);
    *result = verdict("WriteBinary");
    return S_OK;
  }
  HRESULT FreeBinary(LONG, LONG* result) override {
    record("FreeBinary", nullptr, nullptr);
    *result = verdict("FreeBinary");
    return S_OK;
  }
  HRESULT ManageProductData(BSTR r, LONG* result) override {
    record("ManageProductData", nullptr, r);
    *result = 0;
    return S_OK;
  }
  HRESULT ManageProjectData(BSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT ManageSystemData(BSTR, LONG*) override { return E_NOTIMPL; }
};

void setClass(const char* progId, const CLSID& clsid) {
  HKEY key = nullptr;
  const std::string path = std::string(progId) + "\\CLSID";
  RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  wchar_t wide[64];
  StringFromGUID2(clsid, wide, 64);
  const std::string value = narrow(wide);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
}

void clearClass(const char* progId) {
  HKEY key = nullptr;
  const std::string path = std::string(progId) + "\\CLSID";
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, nullptr);
  RegCloseKey(key);
}

}  // namespace

struct FakeDuctora::Objects {
  Drawing drawing;
  Server server;
  DWORD drawingCookie = 0, serverCookie = 0;
  bool serverRunning = false;
  explicit Objects(FakeDuctora& f) : server(f) {}
};

void FakeDuctora::install() {
  setClass("DuraComSrv.Drawing", kDrawingClass);
  setClass("DuraComSrv.Ductora", kDuctoraClass);
}

void FakeDuctora::uninstall() {
  clearClass("DuraComSrv.Drawing");
  clearClass("DuraComSrv.Ductora");
}

void FakeDuctora::start(bool drawingOnly) {
  stop();
  objects = new Objects(*this);
  CoInitialize(nullptr);  // the test's thread, as the host's, is a COM apartment
  RegisterActiveObject(&objects->drawing, kDrawingClass, ACTIVEOBJECT_STRONG, &objects->drawingCookie);
  if (!drawingOnly) {
    RegisterActiveObject(&objects->server, kDuctoraClass, ACTIVEOBJECT_STRONG, &objects->serverCookie);
    objects->serverRunning = true;
  }
}

void FakeDuctora::stop() {
  if (!objects) return;
  RevokeActiveObject(objects->drawingCookie, nullptr);
  if (objects->serverRunning) RevokeActiveObject(objects->serverCookie, nullptr);
  delete objects;
  objects = nullptr;
  CoUninitialize();
}

unsigned long FakeDuctora::drawingReferences() const { return objects ? objects->drawing.references : 0; }

#include <gtest/gtest.h>
#include <stdlib.h>
#include "winhost.h"

namespace {
// Every test of this program works in one fresh machine folder with both classes installed.
struct MachineFolder : ::testing::Environment {
  void SetUp() override {
    char folder[] = "/tmp/zephyr-hvac-XXXXXX";
    winSetMachineFolder(mkdtemp(folder));
    FakeDuctora::install();
  }
};
::testing::Environment* const gMachine = ::testing::AddGlobalTestEnvironment(new MachineFolder);
}  // namespace
