#include "modeldb.h"

#include <zlib.h>

#include <cstring>

#include "download.h"
#include "modulepath.h"
#include "selector_settings.h"
#include "text.h"
#include "windows.h"

namespace {

const char kDictionaryFileName[] = "Duratcd.ddtz";
const char kDatabaseFileName[] = "Ventholm_14a.tcdz";
const unsigned kChunkSize = 1024;
// zlib's own input buffer; larger than its default so that inflate runs in long strides.
const unsigned kGzipBufferSize = 128 * 1024;

// Largest decompressed model file accepted. The sample catalogue's database is well under
// a megabyte and a manufacturer's whole range a few hundred; beyond this a file is taken
// for a compression bomb, which would otherwise fill the temporary folder.
const long long kMaxModelFileSize = 512LL * 1024 * 1024;

// Files SQLite may leave beside a database it opened for writing; the library opens the
// copies immutable, but a copy someone else opened may still have them.
const char* const kDatabaseCompanions[] = {"-wal", "-shm", "-journal"};

char dictionaryPath[MAX_PATH] = "";
char databasePath[MAX_PATH] = "";

std::string localFolderOverride;
bool localFolderOverridden = false;

void deleteAndClear(char* path) {
  if (path[0]) {
    DeleteFileA(path);
    for (const char* suffix : kDatabaseCompanions) DeleteFileA((std::string(path) + suffix).c_str());
  }
  path[0] = '\0';
}

bool fileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The module-folder copy of a model file, or "" when there is none.
std::string localCopy(const char* fileName) {
  std::string folder = localFolderOverridden ? localFolderOverride : mainModuleFolder();
  if (folder.empty()) return std::string();
  std::string path = folder + "/" + fileName;
  return fileExists(path) ? path : std::string();
}

// A fresh temporary file name (the file itself is not left behind): "" when the system
// cannot make one, which the following create or download then reports.
void makeTempName(char* name) {
  char folder[MAX_PATH] = "";
  name[0] = '\0';
  DWORD n = GetTempPathA(MAX_PATH, folder);
  if (n == 0 || n >= MAX_PATH) return;
  if (GetTempFileNameA(folder, "Zephyr", 0, name) == 0) {
    name[0] = '\0';
    return;
  }
  DeleteFileA(name);
}

// The output file, created anew and open for writing; INVALID_HANDLE_VALUE on failure. In a
// shared temporary folder someone else may have put a file of theirs, a link or a pipe at
// the name since it was made free: CreateFileA then refuses it rather than empty it.
HANDLE createOutput(const char* name) {
  return CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Decompresses `source` into a new temporary file named in `target`; a downloaded source
// is deleted whatever the outcome. false (target emptied) when decompression failed.
bool decompressInto(const std::string& source, bool downloaded, char* target) {
  makeTempName(target);
  int result = DecompressFile(source.c_str(), target);
  if (downloaded) DeleteFileA(source.c_str());
  if (result < 0) {
    DeleteFileA(target);
    target[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

int retrieveModelDatabase(const std::string& modelDatabaseUrl, const SelectorSettings& settings) {
  deleteAndClear(dictionaryPath);
  std::string source = localCopy(kDictionaryFileName);
  bool downloaded = source.empty();
  if (!downloaded) {
    printMessage("Zephyr: Local models database dictionary used.\n");
  } else {
    char temp[MAX_PATH];
    makeTempName(temp);
    source = temp;
    std::string address = joinAddress(settings.ServerRootURL, kDictionaryFileName);
    if (DownloadFile(address.c_str(), source.c_str()) < 0) {
      DeleteFileA(source.c_str());
      printMessage("Zephyr: Failed to download models database dictionary '%s'.\n", address.c_str());
      return -1;
    }
  }
  if (!decompressInto(source, downloaded, dictionaryPath)) return -2;

  deleteAndClear(databasePath);
  source = localCopy(kDatabaseFileName);
  downloaded = source.empty();
  if (!downloaded) {
    printMessage("Zephyr: Local models database used '%s'\n", source.c_str());
  } else {
    char temp[MAX_PATH];
    makeTempName(temp);
    source = temp;
    if (DownloadFile(modelDatabaseUrl.c_str(), source.c_str()) < 0) {
      DeleteFileA(source.c_str());
      printMessage("Zephyr: Failed to download models database '%s'\n", modelDatabaseUrl.c_str());
      return -3;
    }
  }
  if (!decompressInto(source, downloaded, databasePath)) return -4;
  return 0;
}

int DecompressFile(const char* infilename, const char* outfilename) {
  if (!infilename) {
    printMessage("Zephyr: Failed to DecompressFile infilename == NULL\n");
    return -1;
  }
  if (!outfilename) {
    printMessage("Zephyr: Failed to DecompressFile outfilename == NULL\n");
    return -2;
  }
  gzFile in = gzopen(infilename, "rb");
  if (!in) {
    printMessage("Zephyr: Failed to gzopen file %s\n", infilename);
    return -3;
  }
  gzbuffer(in, kGzipBufferSize);
  HANDLE out = createOutput(outfilename);
  if (out == INVALID_HANDLE_VALUE) {
    gzclose(in);
    printMessage("Zephyr: Failed to fopen file %s\n", outfilename);
    return -4;
  }
  int result = 0;
  char buffer[kChunkSize];
  int got = 0;
  long long written = 0;
  while ((got = gzread(in, buffer, kChunkSize)) > 0) {
    written += got;
    DWORD done = 0;
    if (written > kMaxModelFileSize || !WriteFile(out, buffer, static_cast<DWORD>(got), &done, nullptr) ||
        done < static_cast<DWORD>(got)) {
      printMessage("Zephyr: Failed to fwrite to file %s\n", outfilename);
      result = -5;
      break;
    }
  }
  if (result == 0) {
    // A truncated or damaged stream ends the loop like a normal end: only the stream's
    // error state tells them apart.
    int error = Z_OK;
    gzerror(in, &error);
    if (got < 0 || error != Z_OK) {
      printMessage("Zephyr: Failed to fogzreadpen file %s\n", infilename);
      result = -6;
    }
  }
  gzclose(in);
  if (!CloseHandle(out) && result == 0) {
    printMessage("Zephyr: Failed to fwrite to file %s\n", outfilename);
    result = -5;
  }
  if (result != 0) DeleteFileA(outfilename);  // no half-written model file stays behind
  return result;
}

const char* modelDictionaryPath() { return dictionaryPath; }
const char* modelDatabasePath() { return databasePath; }

void deleteModelFiles() {
  deleteAndClear(dictionaryPath);
  deleteAndClear(databasePath);
}

void setLocalModelFolderForTests(const std::string& folder) {
  localFolderOverride = folder;
  localFolderOverridden = !folder.empty();
}
