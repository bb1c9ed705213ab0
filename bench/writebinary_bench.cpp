// Times DuctoraBridge::writeBinaryData through the Ductora module loaded in a host test
// session: the bridge finds Ductora's running objects as the main module does, and each
// block is handed over as the custom part does (allocBinary, writeBinaryData, freeBinary).
// Usage: writebinary_bench BIN_DIR MACHINE_DIR DATA_FILE LENGTH...
// (MACHINE_DIR: an empty folder for the session's registry hives.)
// Prints one line per length: "length N seconds S": the processor time of the call (this
// process's, so that the other work of a shared machine does not count).
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bridge.h"
#include "adslib.h"
#include "hosttest.h"
#include "rxapi.h"
#include "windows.h"
#include "winhost.h"

namespace {

double processorSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

int fail(const std::string& why) {
  std::fprintf(stderr, "writebinary_bench: %s\n", why.c_str());
  return 1;
}

bool readFile(const char* path, std::vector<unsigned char>& data) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

std::wstring wide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &out[0], n);
  out.resize(size_t(n - 1));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return fail("usage: writebinary_bench BIN_DIR MACHINE_DIR DATA_FILE LENGTH...");
  std::vector<unsigned char> data;
  if (!readFile(argv[3], data)) return fail(std::string("cannot read ") + argv[3]);

  // A machine of its own: Ductora's classes go into its registry, nowhere else.
  winSetMachineFolder(argv[2]);
  cadhost::startTestSession();
  const std::string module = std::string(argv[1]) + "/Ductora.arx";
  if (acedArxLoad(wide(module).c_str()) != RTNORM) return fail("cannot load " + module);
  AcRxFunctionPtr install = acedRegCmds->lookupCmd(L"DUREGISTER");
  if (!install) return fail("Ductora has no DUREGISTER command");
  install();

  int status = 0;
  try {
    DuctoraBridge bridge;
    for (int i = 4; i < argc; ++i) {
      const long length = std::atol(argv[i]);
      if (length < 1 || size_t(length) > data.size()) {
        status = fail(std::string("bad length ") + argv[i]);
        break;
      }
      if (bridge.allocBinary(1, length) != 0) {
        status = fail("allocBinary: " + bridge.lastError());
        break;
      }
      const double start = processorSeconds();
      long code = bridge.writeBinaryData(1, data.data(), length);
      const double took = processorSeconds() - start;
      bridge.freeBinary(1);
      if (code != 0) {
        status = fail("writeBinaryData gave " + std::to_string(code) + ": " + bridge.lastError());
        break;
      }
      std::printf("length %ld seconds %.6f\n", length, took);
    }
  } catch (const char* message) {
    status = fail(message);
  }
  // What the session printed explains a failure; after a good run it is noise.
  const std::string printed = cadhost::takeOutput();
  if (status != 0) std::fprintf(stderr, "%s\n", printed.c_str());
  cadhost::endTestSession();
  return status;
}
