// GUIDs as text and the lookup of a class by its ProgID in the machine registry.
#include <cstdio>
#include <string>
#include <vector>
#include "objbase.h"
#include "windows.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {
int hexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at text[pos].
bool readHex(LPCWSTR text, size_t pos, int digits, uint32_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int v = hexValue(text[pos + i]);
    if (v < 0) return false;
    value = (value << 4) | uint32_t(v);
  }
  return true;
}
}  // namespace

HRESULT CLSIDFromString(LPCWSTR text, LPCLSID clsid) {
  if (!text || !clsid) return E_INVALIDARG;
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters, exactly.
  for (size_t i = 0; i < 38; ++i)
    if (text[i] == 0) return CO_E_CLASSSTRING;
  if (text[38] != 0 || text[0] != L'{' || text[37] != L'}' || text[9] != L'-' ||
      text[14] != L'-' || text[19] != L'-' || text[24] != L'-')
    return CO_E_CLASSSTRING;
  GUID g;
  uint32_t v;
  if (!readHex(text, 1, 8, v)) return CO_E_CLASSSTRING;
  g.Data1 = v;
  if (!readHex(text, 10, 4, v)) return CO_E_CLASSSTRING;
  g.Data2 = uint16_t(v);
  if (!readHex(text, 15, 4, v)) return CO_E_CLASSSTRING;
  g.Data3 = uint16_t(v);
  static const size_t bytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!readHex(text, bytePos[i], 2, v)) return CO_E_CLASSSTRING;
    g.Data4[i] = uint8_t(v);
  }
  *clsid = g;
  return S_OK;
}

int StringFromGUID2(REFGUID guid, LPWSTR buffer, int size) {
  if (!buffer || size < 39) return 0;
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                unsigned(guid.Data1), unsigned(guid.Data2), unsigned(guid.Data3),
                guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  for (int i = 0; i < 39; ++i) buffer[i] = wchar_t(text[i]);
  return 39;
}

HRESULT CLSIDFromProgID(LPCWSTR progId, LPCLSID clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  int narrowSize = WideCharToMultiByte(CP_ACP, 0, progId, -1, nullptr, 0, nullptr, nullptr);
  if (narrowSize <= 1) return CO_E_CLASSSTRING;
  std::vector<char> name(static_cast<size_t>(narrowSize), 0);
  WideCharToMultiByte(CP_ACP, 0, progId, -1, name.data(), narrowSize, nullptr, nullptr);
  // A ProgID is one key name: a separator would reach into another key.
  for (char c : name)
    if (c == '\\') return CO_E_CLASSSTRING;

  std::string subKey = std::string(name.data()) + "\\CLSID";
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return CO_E_CLASSSTRING;
  char data[128] = {0};
  DWORD type = 0, size = sizeof data - 1;
  LONG rc = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(data), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return CO_E_CLASSSTRING;
  data[size] = 0;
  wchar_t wide[64] = {0};
  size_t n = 0;
  for (; data[n] && n < 63; ++n) wide[n] = wchar_t(static_cast<unsigned char>(data[n]));
  if (data[n]) return CO_E_CLASSSTRING;
  return CLSIDFromString(wide, clsid) == S_OK ? S_OK : CO_E_CLASSSTRING;
}
