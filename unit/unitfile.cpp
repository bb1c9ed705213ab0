#include "unitfile.h"

#include "download.h"
#include "modulepath.h"
#include "text.h"
#include "windows.h"

namespace {

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
  const std::string address = settings.ServerRootURL + settings.TempFolder + selectionId + ".XML";
  if (DownloadFile(address.c_str(), target.c_str()) < 0) return -1;
  path = target;
  return 0;
}
