#include "selector.h"

#include <iomanip>
#include <locale>
#include <sstream>

#include "md5.h"
#include "rxapi.h"
#include "text.h"

namespace {

// Two decimals with a point, whatever locale the host runs in.
std::string twoDecimals(double value) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << std::fixed << std::setprecision(2) << value;
  return text.str();
}

const DuctConnectionData* connectionOf(const UnitRecord& unit, ConnectionType type) {
  if (unit.parts.empty()) return nullptr;
  auto found = unit.parts[0].connections.find(type);
  return found == unit.parts[0].connections.end() ? nullptr : &found->second;
}

// "KEYqv=AIRFLOW&KEYdp=PRESSURE" of one connection; 0.00 for a connection the unit lacks.
void appendDemand(std::string& address, const UnitRecord& unit, ConnectionType type, const char* key) {
  const DuctConnectionData* connection = connectionOf(unit, type);
  address += std::string("&") + key + "qv=" + twoDecimals(connection ? connection->airflow : 0);
  address += std::string("&") + key + "dp=" + twoDecimals(connection ? connection->pressure : 0);
}

}  // namespace

std::string makeSelectionId(const std::string& addressSoFar, uint32_t tickCount) {
  const std::string hashed = addressSoFar + std::to_string(static_cast<int32_t>(tickCount));
  unsigned char digest[kMd5DigestSize];
  if (md5Digest(hashed.data(), hashed.size(), digest) != 0) return std::string();
  static const char kDigits[] = "0123456789ABCDEF";
  std::string id;
  for (size_t i = 0; i < kMd5DigestSize; ++i) {
    id += kDigits[digest[i] >> 4];
    id += kDigits[digest[i] & 15];
  }
  return id;
}

std::string selectorAddress(const UnitRecord& unit, const SelectorSettings& settings, uint32_t tickCount,
                            std::string& selectionId) {
  std::string address = joinAddress(settings.ServerRootURL, settings.StartPage) + "?";
  address += "lang=" + settings.Language;
  address += "&email=" + settings.Email;
  address += "&passw=" + settings.Password;
  address += "&hex=" + unit.heatExchanger;
  appendDemand(address, unit, CONN_SUPPLY, "sup");
  appendDemand(address, unit, CONN_EXHAUST, "exh");
  appendDemand(address, unit, CONN_OUTDOOR, "out");
  appendDemand(address, unit, CONN_EXTRACT, "ext");
  selectionId = makeSelectionId(address, tickCount);
  address += "&dcsid=" + selectionId;
  address += "&plugVers=" + unit.version;
  return address;
}

int openSelector(const UnitRecord& unit, const SelectorSettings& settings, std::string& selectionId) {
  printMessage("Zephyr: starting internet browser.\n");
  const std::string address = selectorAddress(unit, settings, GetTickCount(), selectionId);
  return OpenWebBrowser(address.c_str(), adsw_acadMainWnd());
}

int OpenWebBrowser(const char* url, HWND owner) {
  if (!url) {
    printMessage("OpenWebBrowser: Wrong parameter Url == NULL\n");
    return -1;
  }
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = owner;
  info.lpVerb = "open";
  info.lpFile = url;
  info.lpParameters = "";
  info.lpDirectory = nullptr;
  info.nShow = SW_RESTORE;
  if (!ShellExecuteExA(&info)) return -1;
  // The browser is never waited for; its handle is only closed.
  if (info.hProcess) CloseHandle(info.hProcess);
  return 0;
}
