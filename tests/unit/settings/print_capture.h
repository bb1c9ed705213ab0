// What the code under test printed with printMessage, and a fresh machine folder.
#pragma once
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include "hosttest.h"
#include "winhost.h"

std::string takePrinted();

struct MachineFolder {
  std::string path;
  MachineFolder() {
    char name[] = "/tmp/zsettings-test-XXXXXX";
    path = mkdtemp(name);
    winSetMachineFolder(path);
    cadhost::startTestSession();
  }
  ~MachineFolder() {
    cadhost::endTestSession();
    winSetMachineFolder("");
    std::system(("rm -rf '" + path + "'").c_str());
  }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path + "/" + name, std::ios::binary) << text;
    winSetMachineFolder(path);  // read again on next use
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};
