#include "bridge.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "objbase.h"
#include "windows.h"

using DURACOMSRVLib::IDrawing;
using DURACOMSRVLib::IDuctora200711;

namespace {

// A wide copy for the server. Its stored length counts the terminating zero, as the
// server has always received it. Null text (or no memory) gives a null string.
BSTR toServerText(const char* text) {
  if (!text) return nullptr;
  const int bytes = static_cast<int>(std::strlen(text));
  BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(bytes + 1));
  if (!wide) return nullptr;
  MultiByteToWideChar(CP_ACP, 0, text, bytes + 1, wide, bytes + 1);
  return wide;
}

// The server's text as ANSI text, whole: the buffer is sized by the converter's own
// answer, so a non-ASCII name that needs more bytes than characters is not cut.
std::string fromServerText(BSTR text) {
  const UINT n = text ? SysStringLen(text) : 0;
  if (n == 0) return std::string();
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string result(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(n), &result[0], needed, nullptr, nullptr);
  result.resize(std::strlen(result.c_str()));  // up to the first zero
  return result;
}

// The bytes as upper-case hexadecimal digits, high digit first, two characters a byte.
void writeHex(const unsigned char* bytes, size_t n, char* out) {
  static const struct Pairs {
    char text[256][2];
    Pairs() {
      static const char kDigits[] = "0123456789ABCDEF";
      for (int b = 0; b < 256; ++b) {
        text[b][0] = kDigits[b >> 4];
        text[b][1] = kDigits[b & 0x0F];
      }
    }
  } pairs;
  for (size_t i = 0; i < n; ++i) std::memcpy(out + 2 * i, pairs.text[bytes[i]], 2);
}

// Frees the wide strings the bridge made for one call, on every path.
struct ServerTexts {
  std::vector<BSTR> texts;
  BSTR add(const char* text) {
    texts.push_back(toServerText(text));
    return texts.back();
  }
  ~ServerTexts() {
    for (BSTR t : texts) SysFreeString(t);
  }
};

// A returned string handed over to the caller's text, then freed.
void takeServerText(BSTR& returned, std::string& out) {
  out = fromServerText(returned);
  SysFreeString(returned);
  returned = nullptr;
}

template <class Interface>
Interface* runningInterface(const wchar_t* progId, const IID& iid, const char* notInstalled,
                            const char* notRunning, const char* noInterface) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(progId, &clsid))) throw notInstalled;
  IUnknown* instance = nullptr;
  if (GetActiveObject(clsid, nullptr, &instance) != S_OK || !instance) throw notRunning;
  Interface* result = nullptr;
  HRESULT hr = instance->QueryInterface(iid, reinterpret_cast<void**>(&result));
  instance->Release();
  if (hr != S_OK || !result) throw noInterface;
  return result;
}

}  // namespace

DuctoraConnection::DuctoraConnection() {
  drawing = runningInterface<IDrawing>(
      L"DuraComSrv.Drawing", DURACOMSRVLib::IID_IDrawing,
      "Could not find DuraComSrv.Drawing installed",
      "Could not get running instance of DuraComSrv.Drawing",
      "Could not find DURACOMSRVLib::IID_IDrawing");
  try {
    ductora = runningInterface<IDuctora200711>(
        L"DuraComSrv.Ductora", DURACOMSRVLib::IID_IDuctora200711,
        "Could not find DuraComSrv.Ductora installed",
        "Could not get running instance of DuraComSrv.Ductora",
        "Could not find DURACOMSRVLib::IID_IDuctora200711");
  } catch (...) {
    drawing->Release();
    drawing = nullptr;
    throw;
  }
}

DuctoraConnection::~DuctoraConnection() {
  if (drawing) drawing->Release();
  drawing = nullptr;
  if (ductora) ductora->Release();
  ductora = nullptr;
}

DuctoraBridge::DuctoraBridge() : connection(new (std::nothrow) DuctoraConnection()) {}

DuctoraBridge::~DuctoraBridge() { delete connection; }

#define DUCTORA_OR_RETURN(value)                              \
  IDuctora200711* server = connection ? connection->ductora : nullptr; \
  if (!server) return value

long DuctoraBridge::version() {
  DUCTORA_OR_RETURN(0);
  LONG v = 0;
  if (FAILED(server->get_Version(&v))) return 0;
  return v;
}

std::string DuctoraBridge::lastError() {
  DUCTORA_OR_RETURN(std::string());
  BSTR message = nullptr;
  if (FAILED(server->get_LastError(&message))) return std::string();
  std::string text;
  takeServerText(message, text);
  return text;
}

long DuctoraBridge::getString(const char* handle, const char* query, std::string& value) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  BSTR out = nullptr;
  LONG result = 0;
  if (FAILED(server->GetString(in.add(handle), in.add(query), &out, &result))) return -2;
  takeServerText(out, value);
  return result;
}

long DuctoraBridge::setString(const char* handle, const char* query, const char* value) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->SetString(in.add(handle), in.add(query), in.add(value), &result))) return -2;
  return result;
}

long DuctoraBridge::getNumber(const char* handle, const char* query, double& value) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->GetNumber(in.add(handle), in.add(query), &value, &result))) return -2;
  return result;
}

long DuctoraBridge::setNumber(const char* handle, const char* query, double value) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->SetNumber(in.add(handle), in.add(query), value, &result))) return -2;
  return result;
}

long DuctoraBridge::getPoint(const char* handle, const char* query, double& x, double& y, double& z) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->GetPoint(in.add(handle), in.add(query), &x, &y, &z, &result))) return -2;
  return result;
}

long DuctoraBridge::setPoint(const char* handle, const char* query, double x, double y, double z) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->SetPoint(in.add(handle), in.add(query), x, y, z, &result))) return -2;
  return result;
}

long DuctoraBridge::createPart(const char* request, std::string& handle) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  BSTR out = nullptr;
  LONG result = 0;
  if (FAILED(server->CreatePart(in.add(request), &out, &result))) return -2;
  takeServerText(out, handle);
  return result;
}

long DuctoraBridge::createConnectionStub(const char* request, std::string& handle) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  BSTR out = nullptr;
  LONG result = 0;
  if (FAILED(server->CreateConnectionStub(in.add(request), &out, &result))) return -2;
  takeServerText(out, handle);
  return result;
}

long DuctoraBridge::manageProductData(const char* request) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->ManageProductData(in.add(request), &result))) return -2;
  return result;
}

long DuctoraBridge::allocBinary(long id, long size) {
  DUCTORA_OR_RETURN(-1);
  LONG result = 0;
  if (FAILED(server->AllocBinary(static_cast<LONG>(id), static_cast<LONG>(size), &result))) return -2;
  return result;
}

long DuctoraBridge::writeBinary(long id, long offset, const char* hexText) {
  DUCTORA_OR_RETURN(-1);
  ServerTexts in;
  LONG result = 0;
  if (FAILED(server->WriteBinary(static_cast<LONG>(id), static_cast<LONG>(offset), in.add(hexText), &result)))
    return -2;
  return result;
}

long DuctoraBridge::freeBinary(long id) {
  DUCTORA_OR_RETURN(-1);
  LONG result = 0;
  if (FAILED(server->FreeBinary(static_cast<LONG>(id), &result))) return -2;
  return result;
}

long DuctoraBridge::writeBinaryData(long id, const void* data, long length) {
  DUCTORA_OR_RETURN(-1);
  if (!data || length < 1) return -4;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  std::string hex;
  for (long offset = 0; offset < length; offset += kBinaryChunk) {
    const long n = length - offset < kBinaryChunk ? length - offset : kBinaryChunk;
    hex.resize(static_cast<size_t>(2 * n));
    writeHex(bytes + offset, static_cast<size_t>(n), &hex[0]);
    const long code = writeBinary(id, offset, hex.c_str());
    if (code != 0) return code;
  }
  return 0;
}

long DuctoraBridge::writeBinaryFile(long id, const char* path) {
  DUCTORA_OR_RETURN(-1);
  if (!path || !*path) return -4;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), std::fclose);
  if (!file) return -6;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return -6;
  const long length = std::ftell(file.get());
  if (length < 0) return -6;
  std::rewind(file.get());
  std::unique_ptr<unsigned char[]> data(new (std::nothrow) unsigned char[static_cast<size_t>(length) + 1]);
  if (!data) return -7;
  const size_t read = std::fread(data.get(), 1, static_cast<size_t>(length), file.get());
  data[read] = 0;
  return writeBinaryData(id, data.get(), static_cast<long>(read));
}
