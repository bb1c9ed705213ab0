// The host on Linux (hostos.h): the Windows stand-in keeps the registry, the dialogs and
// the shell's programs; glibc's iconv converts code pages.
#include "hostos.h"

#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include "hostimpl.h"
#include "winhost.h"

// The Windows stand-in may not be linked into every program that uses the runtime.
void winSetHostIo(const WinHostIo& io) __attribute__((weak));
int winWaitForShellPrograms(unsigned timeoutMs) __attribute__((weak));
void winSetMachineFolder(const std::string& folder) __attribute__((weak));
void winShutdownGraphics() __attribute__((weak));

namespace cadhost {

int osUseMachineFolder(const std::string& folder) {
  if (!winSetMachineFolder) return -1;
  winSetMachineFolder(folder);
  return 0;
}

int osMakeFolders(const std::string& path) {
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = path.find('/', pos + 1);
    const std::string folder = path.substr(0, pos);
    if (!folder.empty() && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  }
  return 0;
}

bool osPathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool osInputIsTerminal() { return isatty(0) != 0; }

int osInstallDialogDriver() {
  if (!winSetHostIo) return -1;
  WinHostIo hostIo;
  hostIo.readLine = [](const std::string& prompt, std::string& answer) { return readAnswer(prompt, answer); };
  hostIo.print = [](const std::string& text) { printUtf8(text); };
  winSetHostIo(hostIo);
  return 0;
}

int osWaitForShellPrograms(unsigned timeoutMs) {
  return winWaitForShellPrograms ? winWaitForShellPrograms(timeoutMs) : 0;
}

void osShutdown() {
  if (winShutdownGraphics) winShutdownGraphics();  // cairo's caches, so leak checks see only real leaks
}

struct OsCodePage {
  iconv_t toWide = (iconv_t)-1, fromWide = (iconv_t)-1;
  ~OsCodePage() {
    if (toWide != (iconv_t)-1) iconv_close(toWide);
    if (fromWide != (iconv_t)-1) iconv_close(fromWide);
  }
};

std::shared_ptr<OsCodePage> osOpenCodePage(int number) {
  // glibc's names: CP1250 ... CP950; Johab has a name of its own.
  const std::string name = number == 1361 ? "JOHAB" : "CP" + std::to_string(number);
  auto page = std::make_shared<OsCodePage>();
  page->toWide = iconv_open("WCHAR_T", name.c_str());
  page->fromWide = iconv_open(name.c_str(), "WCHAR_T");
  if (page->toWide == (iconv_t)-1 || page->fromWide == (iconv_t)-1) return nullptr;
  return page;
}

void osDecode(OsCodePage& page, std::string_view bytes, std::wstring& out) {
  iconv(page.toWide, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  wchar_t buf[256];
  // A converter may hold back the last character it read (code page 1258 waits for a
  // combining mark to follow): it is taken out before a byte is copied and at the end.
  auto takeHeldBack = [&] {
    char* to = reinterpret_cast<char*>(buf);
    size_t toLeft = sizeof buf;
    iconv(page.toWide, nullptr, nullptr, &to, &toLeft);
    out.append(buf, (wchar_t*)to - buf);
  };
  while (inLeft > 0) {
    char* to = reinterpret_cast<char*>(buf);
    size_t toLeft = sizeof buf;
    size_t r = iconv(page.toWide, &in, &inLeft, &to, &toLeft);
    out.append(buf, (wchar_t*)to - buf);
    if (r == (size_t)-1 && errno != E2BIG) {
      // A byte the code page does not define, or a cut double-byte character.
      takeHeldBack();
      out += (wchar_t)(unsigned char)*in;
      ++in;
      --inLeft;
    }
  }
  takeHeldBack();
}

bool osEncode(OsCodePage& page, wchar_t c, std::string& out) {
  char buf[8];
  char* in = reinterpret_cast<char*>(&c);
  size_t inLeft = sizeof c;
  char* o = buf;
  size_t outLeft = sizeof buf;
  iconv(page.fromWide, nullptr, nullptr, nullptr, nullptr);
  if (iconv(page.fromWide, &in, &inLeft, &o, &outLeft) == (size_t)-1 || inLeft ||
      iconv(page.fromWide, nullptr, nullptr, &o, &outLeft) == (size_t)-1)
    return false;
  out.append(buf, o - buf);
  return true;
}

}  // namespace cadhost
