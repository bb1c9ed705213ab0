// Ductora's automation server as its type library describes it: the drawing object and
// the application interface IDuctora200711, methods in their fixed order after the three
// IUnknown and four IDispatch entries, with COM's calling convention. Every method's last
// "result" is the server's own verdict (0 = done); after a refusal LastError describes it.
#pragma once
#include "objbase.h"

namespace DURACOMSRVLib {

struct IDrawing : IDispatch {};

struct IDuctora200711 : IDispatch {
  virtual HRESULT STDMETHODCALLTYPE get_Version(LONG* version) = 0;                                      // 1
  virtual HRESULT STDMETHODCALLTYPE get_LastError(BSTR* message) = 0;                                    // 2
  virtual HRESULT STDMETHODCALLTYPE GetString(BSTR handle, BSTR query, BSTR* value, LONG* result) = 0;   // 3
  virtual HRESULT STDMETHODCALLTYPE SetString(BSTR handle, BSTR query, BSTR value, LONG* result) = 0;    // 4
  virtual HRESULT STDMETHODCALLTYPE GetNumber(BSTR handle, BSTR query, double* value, LONG* result) = 0; // 5
  virtual HRESULT STDMETHODCALLTYPE SetNumber(BSTR handle, BSTR query, double value, LONG* result) = 0;  // 6
  virtual HRESULT STDMETHODCALLTYPE GetPoint(BSTR handle, BSTR query, double* x, double* y, double* z,
                                             LONG* result) = 0;                                          // 7
  virtual HRESULT STDMETHODCALLTYPE SetPoint(BSTR handle, BSTR query, double x, double y, double z,
                                             LONG* result) = 0;                                          // 8
  virtual HRESULT STDMETHODCALLTYPE CreatePart(BSTR request, BSTR* handle, LONG* result) = 0;            // 9
  virtual HRESULT STDMETHODCALLTYPE CreatePartInBlock(BSTR request, BSTR* handle, LONG* result) = 0;     // 10
  virtual HRESULT STDMETHODCALLTYPE UpdateView(LONG* result) = 0;                                        // 11
  virtual HRESULT STDMETHODCALLTYPE CreateConnectionStub(BSTR request, BSTR* handle, LONG* result) = 0;  // 12
  virtual HRESULT STDMETHODCALLTYPE AllocBinary(LONG id, LONG size, LONG* result) = 0;                   // 13
  virtual HRESULT STDMETHODCALLTYPE WriteBinary(LONG id, LONG offset, BSTR hexText, LONG* result) = 0;   // 14
  virtual HRESULT STDMETHODCALLTYPE FreeBinary(LONG id, LONG* result) = 0;                               // 15
  virtual HRESULT STDMETHODCALLTYPE ManageProductData(BSTR request, LONG* result) = 0;                   // 16
  virtual HRESULT STDMETHODCALLTYPE ManageProjectData(BSTR request, LONG* result) = 0;                   // 17
  virtual HRESULT STDMETHODCALLTYPE ManageSystemData(BSTR request, LONG* result) = 0;                    // 18
};

// Interface identifiers of the server's type library.
inline const IID IID_IDrawing = {0x5a1c7e21, 0x3b0d, 0x4f6e, {0x9a, 0x41, 0x2c, 0x77, 0x10, 0xd3, 0x8e, 0x01}};
inline const IID IID_IDuctora200711 = {0x5a1c7e21, 0x3b0d, 0x4f6e, {0x9a, 0x41, 0x2c, 0x77, 0x10, 0xd3, 0x8e, 0x07}};

}  // namespace DURACOMSRVLib
