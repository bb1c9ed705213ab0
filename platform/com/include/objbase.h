// The COM stand-in: GUIDs, BSTR strings, class lookup by ProgID, the running object
// table, and the IUnknown and IDispatch interfaces with their real method order.
#pragma once
#include "wintypes.h"

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;
typedef CLSID* LPCLSID;
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_NOINTERFACE ((HRESULT)0x80004002L)
#define E_POINTER ((HRESULT)0x80004003L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_UNEXPECTED ((HRESULT)0x8000FFFFL)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3L)
#define MK_E_UNAVAILABLE ((HRESULT)0x800401E3L)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define ACTIVEOBJECT_STRONG 0x0
#define ACTIVEOBJECT_WEAK 0x1

typedef OLECHAR* BSTR;
typedef OLECHAR* LPOLESTR;
typedef double DATE;
typedef long DISPID;
typedef unsigned long LCID;
struct DISPPARAMS;
struct VARIANT;
struct EXCEPINFO;
struct ITypeInfo;

// BSTR: a 32-bit byte length stored just before the text, and a terminating zero after it.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);  // length in characters
BSTR SysAllocString(const OLECHAR* text);
UINT SysStringLen(BSTR text);                                // characters, 0 for null
UINT SysStringByteLen(BSTR text);
void SysFreeString(BSTR text);

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
  // No virtual destructor: objects end through Release, and the interface's slots stay
  // those of the real platform (IUnknown 0 to 2, IDispatch 3 to 6).
};
typedef IUnknown* LPUNKNOWN;

struct IDispatch : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                                  DISPID* ids) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;
};

extern const IID IID_IUnknown;
extern const IID IID_IDispatch;

// The class a ProgID names, from HKEY_CLASSES_ROOT\<ProgID>\CLSID of the machine registry;
// CO_E_CLASSSTRING when the ProgID is not installed.
HRESULT CLSIDFromProgID(LPCWSTR progId, LPCLSID clsid);
// Text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back.
HRESULT CLSIDFromString(LPCWSTR text, LPCLSID clsid);
int StringFromGUID2(REFGUID guid, LPWSTR buffer, int size);

// The process-wide running object table. Registering keeps a reference (strong) until
// revoked; GetActiveObject gives an added reference, MK_E_UNAVAILABLE when not running.
// Both need COM initialized (CoInitialize), else CO_E_NOTINITIALIZED, as on Windows.
HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* registration);
HRESULT RevokeActiveObject(DWORD registration, void* reserved);
HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object);

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
