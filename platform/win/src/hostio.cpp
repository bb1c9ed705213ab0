// The host hooks: machine folder and the host's input and output.
#include "winhost.h"
#include "base_internal.h"
#include <cstdio>
#include <mutex>

namespace {

WinHostIo& hostIo() {
  static WinHostIo io;
  return io;
}

std::string& machineFolder() {
  static std::string folder;
  return folder;
}

}  // namespace

void winSetHostIo(const WinHostIo& io) { hostIo() = io; }

const WinHostIo& winHostIo() { return hostIo(); }

void winSetMachineFolder(const std::string& folder) {
  machineFolder() = folder;
  zwin::resetRegistryHives();
}

const std::string& winMachineFolder() { return machineFolder(); }

namespace zwin {

void reportToHost(const std::string& text) {
  const WinHostIo& io = hostIo();
  if (io.print) {
    io.print(text);
  } else {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  }
}

}  // namespace zwin
