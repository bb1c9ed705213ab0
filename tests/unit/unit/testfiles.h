// Shared helpers of the unit data tests: test files, scratch files and the download double.
#pragma once
#include <string>

namespace testfiles {
// The text of a file under tests/unit/unit/data.
std::string readData(const std::string& name);
std::string dataPath(const std::string& name);
// text with the first occurrence of from replaced by to (the test fails when from is missing).
std::string replaced(std::string text, const std::string& from, const std::string& to);
// Writes text into a new file of a scratch folder removed at exit; returns its path.
std::string writeScratch(const std::string& text);

// What the download double does: the addresses it was asked for, whether its target
// existed at the call, and what it answers.
struct DownloadLog {
  std::string lastAddress;
  std::string lastTarget;
  bool targetExisted = false;
  int calls = 0;
  int result = 1;  // returned; the body is written only when not negative
  long status = 200;  // the answer's HTTP status when result is not negative
  std::string body;
};
DownloadLog& downloads();
}  // namespace testfiles
