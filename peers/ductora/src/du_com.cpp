// The COM face of the server: BSTR arguments become UTF-8 texts, results become fresh
// BSTRs, and every method forwards to the server functions of du_server.h.
#include "du_com.h"
#include <atomic>
#include <new>
#include <vector>
#include "du_internal.h"
#include "windows.h"

using namespace DURACOMSRVLib;

const CLSID CLSID_DuraComSrvDrawing = {0x7e3b2a10, 0x5c4d, 0x4e8f, {0x9a, 0x6b, 0x1d, 0x2c, 0x3e, 0x4f, 0x5a, 0x01}};
const CLSID CLSID_DuraComSrvDuctora = {0x7e3b2a10, 0x5c4d, 0x4e8f, {0x9a, 0x6b, 0x1d, 0x2c, 0x3e, 0x4f, 0x5a, 0x02}};
const char* const kProgIdDrawing = "DuraComSrv.Drawing";
const char* const kProgIdDuctora = "DuraComSrv.Ductora";

namespace {
// A text argument: its stored length may count a terminating zero (callers that size
// the string from the converted text include it); one trailing zero is dropped. A zero
// inside the text is refused rather than silently cutting what follows.
bool argText(BSTR text, std::string& out) {
  out.clear();
  UINT n = SysStringLen(text);
  // The bridge allocates one character per byte of its text plus the terminator, so a
  // non-ASCII text arrives with several trailing zeros: all of them end the text.
  while (n > 0 && text[n - 1] == 0) --n;
  for (UINT i = 0; i < n; ++i)
    if (text[i] == 0) return false;
  if (n == 0) return true;
  int size = WideCharToMultiByte(CP_UTF8, 0, text, int(n), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return false;
  out.resize(size_t(size));
  WideCharToMultiByte(CP_UTF8, 0, text, int(n), &out[0], size, nullptr, nullptr);
  return true;
}

BSTR resultText(const std::string& text) {
  if (text.empty()) return SysAllocStringLen(nullptr, 0);
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return SysAllocStringLen(nullptr, 0);
  BSTR out = SysAllocStringLen(nullptr, UINT(n));
  if (out) MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out, n);
  return out;
}

// The COM plumbing both server objects share: Object is the final class (deleted when the
// last reference goes), Base its interface, ownIid that interface's identifier.
template <class Object, class Base, const IID& ownIid>
class ObjectBase : public Base {
 public:
  explicit ObjectBase(DuServer* server) : m_server(server) {}

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != ownIid) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<Base*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++m_refs; }
  ULONG Release() override {
    ULONG n = --m_refs;
    if (n == 0) delete static_cast<Object*>(this);
    return n;
  }

  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPWSTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  std::atomic<ULONG> m_refs{1};
  DuServer* m_server;
};

class DrawingObject final : public ObjectBase<DrawingObject, IDrawing, IID_IDrawing> {
 public:
  using ObjectBase::ObjectBase;
};

class ApplicationObject final
    : public ObjectBase<ApplicationObject, IDuctora200711, IID_IDuctora200711> {
 public:
  using ObjectBase::ObjectBase;

  HRESULT get_Version(LONG* version) override {
    if (!version) return E_POINTER;
    return guard("Version", nullptr, [&] { *version = LONG(du_version(*m_server)); });
  }
  HRESULT get_LastError(BSTR* message) override {
    if (!message) return E_POINTER;
    *message = nullptr;
    return guard("LastError", nullptr, [&] { *message = resultText(du_last_error(*m_server)); });
  }
  HRESULT GetString(BSTR handle, BSTR query, BSTR* value, LONG* result) override {
    if (!value || !result) return E_POINTER;
    *value = nullptr;
    return guard("GetString", result, [&] {
      std::string h, q, v;
      if (!args(handle, query, h, q, "GetString", result)) return;
      *result = LONG(du_get_string(*m_server, h, q, v));
      *value = resultText(v);
    });
  }
  HRESULT SetString(BSTR handle, BSTR query, BSTR value, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("SetString", result, [&] {
      std::string h, q, v;
      if (!args(handle, query, h, q, "SetString", result)) return;
      if (!argText(value, v)) return refuse("SetString", result);
      *result = LONG(du_set_string(*m_server, h, q, v));
    });
  }
  HRESULT GetNumber(BSTR handle, BSTR query, double* value, LONG* result) override {
    if (!value || !result) return E_POINTER;
    return guard("GetNumber", result, [&] {
      std::string h, q;
      if (!args(handle, query, h, q, "GetNumber", result)) return;
      *result = LONG(du_get_number(*m_server, h, q, *value));
    });
  }
  HRESULT SetNumber(BSTR handle, BSTR query, double value, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("SetNumber", result, [&] {
      std::string h, q;
      if (!args(handle, query, h, q, "SetNumber", result)) return;
      *result = LONG(du_set_number(*m_server, h, q, value));
    });
  }
  HRESULT GetPoint(BSTR handle, BSTR query, double* x, double* y, double* z, LONG* result) override {
    if (!x || !y || !z || !result) return E_POINTER;
    return guard("GetPoint", result, [&] {
      std::string h, q;
      if (!args(handle, query, h, q, "GetPoint", result)) return;
      DuVec p{*x, *y, *z};
      *result = LONG(du_get_point(*m_server, h, q, p));
      *x = p.x;
      *y = p.y;
      *z = p.z;
    });
  }
  HRESULT SetPoint(BSTR handle, BSTR query, double x, double y, double z, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("SetPoint", result, [&] {
      std::string h, q;
      if (!args(handle, query, h, q, "SetPoint", result)) return;
      *result = LONG(du_set_point(*m_server, h, q, DuVec{x, y, z}));
    });
  }
  HRESULT CreatePart(BSTR request, BSTR* handle, LONG* result) override {
    return create(request, handle, result, "CreatePart", du_create_part);
  }
  HRESULT CreatePartInBlock(BSTR request, BSTR* handle, LONG* result) override {
    return unsupported(request, handle, result, "CreatePartInBlock");
  }
  HRESULT UpdateView(LONG* result) override { return unsupported(nullptr, nullptr, result, "UpdateView"); }
  HRESULT CreateConnectionStub(BSTR request, BSTR* handle, LONG* result) override {
    return create(request, handle, result, "CreateConnectionStub", du_create_connection_stub);
  }
  HRESULT AllocBinary(LONG id, LONG size, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("AllocBinary", result, [&] { *result = LONG(du_alloc_binary(*m_server, id, size)); });
  }
  HRESULT WriteBinary(LONG id, LONG offset, BSTR hexText, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("WriteBinary", result, [&] {
      std::string hex;
      if (!argText(hexText, hex)) return refuse("WriteBinary", result);
      *result = LONG(du_write_binary(*m_server, id, offset, hex));
    });
  }
  HRESULT FreeBinary(LONG id, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("FreeBinary", result, [&] { *result = LONG(du_free_binary(*m_server, id)); });
  }
  HRESULT ManageProductData(BSTR request, LONG* result) override {
    if (!result) return E_POINTER;
    return guard("ManageProductData", result, [&] {
      std::string r;
      if (!argText(request, r)) return refuse("ManageProductData", result);
      *result = LONG(du_manage_product_data(*m_server, r));
    });
  }
  HRESULT ManageProjectData(BSTR request, LONG* result) override {
    return unsupported(request, nullptr, result, "ManageProjectData");
  }
  HRESULT ManageSystemData(BSTR request, LONG* result) override {
    return unsupported(request, nullptr, result, "ManageSystemData");
  }

 private:
  // Runs a method's work; nothing it throws leaves the method. Out of memory gives
  // E_OUTOFMEMORY, anything else E_UNEXPECTED; lastError and the journal say so when
  // they still can.
  template <class Work>
  HRESULT guard(const char* method, LONG* result, Work work) {
    try {
      work();
      return S_OK;
    } catch (const std::bad_alloc&) {
      note(method, result, DU_NO_MEMORY, "Ductora ran out of memory.");
      return E_OUTOFMEMORY;
    } catch (...) {
      note(method, result, DU_NO_MEMORY, "Ductora failed inside the call.");
      return E_UNEXPECTED;
    }
  }
  void note(const char* method, LONG* result, long code, const char* message) noexcept {
    if (result) *result = LONG(code);
    try {
      du_refuse_call(*m_server, method, code, message);
    } catch (...) {
    }
  }
  void refuse(const char* method, LONG* result) {
    *result = LONG(du_refuse_call(*m_server, method, DU_BAD_VALUE, "A text given to Ductora holds a zero character."));
  }
  bool args(BSTR handle, BSTR query, std::string& h, std::string& q, const char* method, LONG* result) {
    if (argText(handle, h) && argText(query, q)) return true;
    refuse(method, result);
    return false;
  }
  HRESULT create(BSTR request, BSTR* handle, LONG* result, const char* method,
                 long (*call)(DuServer&, const std::string&, std::string&)) {
    if (!handle || !result) return E_POINTER;
    *handle = nullptr;
    return guard(method, result, [&] {
      std::string r, h;
      if (argText(request, r)) *result = LONG(call(*m_server, r, h));
      else refuse(method, result);
      *handle = resultText(h);
    });
  }
  HRESULT unsupported(BSTR request, BSTR* handle, LONG* result, const char* method) {
    if (!result) return E_POINTER;
    if (handle) *handle = nullptr;
    return guard(method, result, [&] {
      std::string r;
      argText(request, r);
      *result = LONG(du_not_supported(*m_server, method, r));
      if (handle) *handle = resultText("");
    });
  }
};

struct Registrations {
  DWORD drawing = 0;
  DWORD application = 0;
};
Registrations g_registrations;

void setRegistered(DWORD& registration, bool wanted, IUnknown* (*make)(DuServer*), const CLSID& clsid,
                   DuServer* server) {
  if (!wanted && registration) {
    RevokeActiveObject(registration, nullptr);
    registration = 0;
  } else if (wanted && !registration) {
    IUnknown* object = make(server);
    if (!object) return;
    if (RegisterActiveObject(object, clsid, ACTIVEOBJECT_STRONG, &registration) != S_OK) registration = 0;
    object->Release();  // the table holds it now
  }
}
}  // namespace

IDrawing* du_new_drawing_object(DuServer* server) { return new (std::nothrow) DrawingObject(server); }
IDuctora200711* du_new_application_object(DuServer* server) {
  return new (std::nothrow) ApplicationObject(server);
}

void du_register_objects(DuServer* server, bool drawingObject, bool applicationObject) {
  setRegistered(g_registrations.drawing, drawingObject,
                [](DuServer* s) -> IUnknown* { return du_new_drawing_object(s); }, CLSID_DuraComSrvDrawing, server);
  setRegistered(g_registrations.application, applicationObject,
                [](DuServer* s) -> IUnknown* { return du_new_application_object(s); }, CLSID_DuraComSrvDuctora,
                server);
}
