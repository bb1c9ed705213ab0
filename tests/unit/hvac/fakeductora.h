// A Ductora server of the tests' own: registered and running in this process, it answers
// from tables the test fills and records every call it receives.
#pragma once
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DuraComSrv.h"

struct FakeCall {
  std::string method;
  std::string handle, query, text;  // text arguments as received (wide -> narrow)
  unsigned storedLength = 0;        // stored length of the query (or request) string
  long offset = 0;                  // WriteBinary offset; AllocBinary size
};

class FakeDuctora {
 public:
  // Installs the two classes in the machine registry (fresh machine folder per program).
  static void install();
  static void uninstall();
  // Registers the running objects; drawingOnly leaves the application object out.
  void start(bool drawingOnly = false);
  void stop();
  ~FakeDuctora() { stop(); }

  long version = 20110101;
  std::map<std::string, std::string> strings;  // query -> value; missing = refused
  std::map<std::string, double> numbers;
  std::vector<FakeCall> calls;
  std::map<std::string, std::array<double, 3>> points;
  // Calls refused whatever the tables hold: "Method" or "Method query" ("SetString
  // /Part/Package/PartList", "CreateConnectionStub", "AllocBinary").
  std::set<std::string> refused;
  std::string partHandle = "2A";  // handle of every created part
  long nextStub = 0x2B;           // handle of the next created stub, counted up
  long refusal = 7;                             // result of a refused call
  unsigned long drawingReferences() const;      // references held on the drawing object

  struct Objects;
  Objects* objects = nullptr;
};
