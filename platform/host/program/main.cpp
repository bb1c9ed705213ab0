// The cadhost program: a command line over one drawing, loading application modules.
//   cadhost [--machine DIR] [--load MODULE]... [--script FILE|-] [DRAWING.dxf]
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include "arxhost.h"
#include "hostimpl.h"
#include "hostos.h"
#include "objbase.h"
#include "standin.h"
#include "windows.h"

namespace {
struct Options {
  std::string machine, script, drawing;
  std::vector<std::string> modules;
  bool hasScript = false;
};

int usage(const char* why) {
  std::fprintf(stderr, "cadhost: %s\nusage: cadhost [--machine DIR] [--load MODULE]... [--script FILE|-] [DRAWING.dxf]\n", why);
  return 1;
}

bool parseArgs(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = a + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (a == "--machine") {
      if (!value(o.machine)) return false;
    } else if (a == "--load") {
      std::string m;
      if (!value(m)) return false;
      o.modules.push_back(m);
    } else if (a == "--script") {
      if (!value(o.script)) return false;
      o.hasScript = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      error = "unknown option " + a;
      return false;
    } else if (o.drawing.empty()) {
      o.drawing = a;
    } else {
      error = "more than one drawing given";
      return false;
    }
  }
  return true;
}

// The drawing named on the command line (locked for this session, or read-only when
// another session has it), or a new one. False when it exists and cannot be read.
bool openDrawing(const std::string& path, AcDbDatabase*& db) {
  db = new AcDbDatabase(path.empty() || !cadhost::osPathExists(path));
  if (path.empty()) return true;
  std::wstring wpath = cadhost::fromUtf8(path);
  std::wstring why;
  if (cadhost::openDrawingFile(db, wpath, &why) == Acad::eOk) {
    if (!why.empty()) acutPrintf(L"%s.\n", why.c_str());
    return true;
  }
  acutPrintf(L"Cannot open drawing \"%s\": %s\n", wpath.c_str(), why.c_str());
  delete db;
  db = new AcDbDatabase(true);
  return false;
}

void commandLoop() {
  std::string line;
  while (cadhost::readAnswer("Command: ", line))
    if (!cadhost::runCommandLine(line)) return;
}

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  Options o;
  std::string error;
  if (!parseArgs(argc, argv, o, error)) return usage(error.c_str());
  if (o.machine.empty()) {
    const char* home = std::getenv("HOME");
    o.machine = std::string(home ? home : ".") + "/.cadhost";
  }
  if (cadhost::osMakeFolders(o.machine) != 0 || cadhost::osMakeFolders(o.machine + "/ProgramData") != 0) {
    std::fprintf(stderr, "cadhost: cannot create the machine folder %s\n", o.machine.c_str());
    return 1;
  }
  // Applications change the current directory (the system makes its own folder current),
  // so every path given on the command line is made absolute first.
  o.machine = absolutePath(o.machine);
  if (!o.drawing.empty()) o.drawing = absolutePath(o.drawing);
  if (o.hasScript && o.script != "-") o.script = absolutePath(o.script);
  if (cadhost::osUseMachineFolder(o.machine) != 0) {
    std::fprintf(stderr, "cadhost: this host cannot keep its registry and program data in %s\n", o.machine.c_str());
    return 1;
  }

  FILE* script = nullptr;
  if (o.hasScript && o.script != "-") {
    script = standin::openForReading(o.script);  // kept from the programs the session starts
    if (!script) {
      std::fprintf(stderr, "cadhost: cannot open script %s\n", o.script.c_str());
      return 1;
    }
    cadhost::setScriptInput(script);
  } else if (o.hasScript || !cadhost::osInputIsTerminal()) {
    cadhost::setScriptInput(stdin);
  } else {
    cadhost::setTerminalInput();
  }
  cadhost::installWinHostIo();

  // The command thread is a COM apartment, as a CAD host's main thread is: applications
  // register and find running objects on it.
  const bool com = SUCCEEDED(CoInitialize(nullptr));

  AcDbDatabase* db = nullptr;
  bool opened = openDrawing(o.drawing, db);
  acdbHostApplicationServices()->setWorkingDatabase(db);
  int rc = 0;
  if (!opened && (o.hasScript || !cadhost::osInputIsTerminal())) {
    rc = 1;
  } else {
    for (const std::string& m : o.modules)
      if (cadhost::loadApplication(m, true) != RTNORM) {
        rc = 1;
        break;
      }
    if (rc == 0) commandLoop();
  }
  cadhost::unloadAllApplications();
  acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  delete db;
  if (com) CoUninitialize();
  cadhost::flushOutput();
  if (script) std::fclose(script);
  cadhost::osShutdown();
  return rc;
}
