#include "unitfile.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "download.h"
#include "modulepath.h"
#include "text.h"
#include "windows.h"

namespace {

// How much of an answer is looked at to tell a web page from a unit file.
const size_t kAnswerHeadBytes = 1024;

bool isFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A new unique name in the user's temporary folder; the empty file the system makes for
// it is deleted at once so the download creates it afresh.
bool makeDownloadTarget(std::string& target) {
  char folder[MAX_PATH + 1] = {0};
  DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length > MAX_PATH) return false;
  char name[MAX_PATH + 1] = {0};
  if (GetTempFileNameA(folder, "Zephyr", 0, name) == 0) return false;
  DeleteFileA(name);
  target = name;
  return true;
}

const long kHttpOk = 200;
const long kHttpNotFound = 404;

// True when the text, after a byte order mark, blanks and an XML declaration, opens an
// HTML page.
bool opensWebPage(const std::string& head) {
  size_t at = head.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  auto skipBlanks = [&] {
    while (at < head.size() && std::isspace(static_cast<unsigned char>(head[at]))) ++at;
  };
  skipBlanks();
  if (head.compare(at, 5, "<?xml") == 0) {
    const size_t end = head.find("?>", at);
    if (end == std::string::npos) return false;
    at = end + 2;
    skipBlanks();
  }
  auto opensWith = [&](const char* tag) { return strncasecmp(head.c_str() + at, tag, std::strlen(tag)) == 0; };
  return opensWith("<!doctype html") || opensWith("<html");
}

// The start of a file, at most `size` bytes ("" when it cannot be read).
std::string fileHead(const std::string& path, size_t size) {
  std::string head(size, '\0');
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::string();
  head.resize(std::fread(&head[0], 1, size, file));
  std::fclose(file);
  return head;
}

// Whether the selector's answer can be the exported unit; when not, says what the
// selector answered instead. An answer without a status, or a unit file the reader then
// finds faults in, is the reader's to judge.
bool isExportedUnit(long status, const std::string& path) {
  if (status == kHttpNotFound) {
    printMessage("Zephyr: Nothing has been exported for this selection yet: export the unit in the browser, "
                 "then click Import.\n");
    return false;
  }
  if (status != 0 && status != kHttpOk) {
    printMessage("Zephyr: The selector answered %ld instead of sending the unit: see the browser, then click "
                 "Import again.\n", status);
    return false;
  }
  if (opensWebPage(fileHead(path, kAnswerHeadBytes))) {
    printMessage("Zephyr: The selector answered with a web page instead of the unit: see the browser, then click "
                 "Import again.\n");
    return false;
  }
  return true;
}

}  // namespace

int locateUnitFile(const SelectorSettings& settings, const std::string& selectionId,
                   const char* fileName, std::string& path) {
  if (fileName && *fileName && isFile(fileName)) {
    path = fileName;
    return 0;
  }
  // Without a module folder there is no override to look for (not the file system's root).
  const std::string folder = mainModuleFolder();
  const std::string local = folder + "/zephyr.xml";
  if (!folder.empty() && isFile(local.c_str())) {
    printMessage("Zephyr: Local data '%s' used.\n", local.c_str());
    path = local;
    return 0;
  }
  std::string target;
  if (!makeDownloadTarget(target)) {
    printMessage("Zephyr: Can't create a temporary file for the unit data.\n");
    return -1;
  }
  const std::string folderAddress = joinAddress(settings.ServerRootURL, settings.TempFolder);
  const std::string address = joinAddress(folderAddress, selectionId + ".XML");
  long status = 0;
  if (DownloadFile(address.c_str(), target.c_str(), &status) < 0) return -1;
  if (!isExportedUnit(status, target)) {
    DeleteFileA(target.c_str());
    return kNoExportedUnit;
  }
  path = target;
  return 0;
}
