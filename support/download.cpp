#include "download.h"

#include <vector>

#include "text.h"
#include "windows.h"
#include "wininet.h"

namespace {

// A failed step: the text of the "Error DownloadFile" message and the result.
struct DownloadError {
  const char* text;
  int result;
};

// Pieces of 64 KB: every piece is one write to the file, and 1 KB pieces made a 64 MB
// download spend more time in writes than in the transfer.
const DWORD kReadSize = 64 * 1024;

// Largest answer accepted: a server that never ends its answer would otherwise fill the
// disk. The largest file fetched, the compressed model database, stays far below it.
const unsigned long long kMaxDownloadSize = 1024ULL * 1024 * 1024;

// The final answer's status; 0 when it has none.
long answerStatus(HINTERNET address) {
  DWORD status = 0;
  DWORD length = sizeof status;
  if (!HttpQueryInfoA(address, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr))
    return 0;
  return static_cast<long>(status);
}

}  // namespace

int DownloadFile(const char* url, const char* saveFileName, long* httpStatus) {
  if (httpStatus) *httpStatus = 0;
  HANDLE file = INVALID_HANDLE_VALUE;
  HINTERNET session = nullptr;
  HINTERNET address = nullptr;
  int result = 0;
  bool tooLarge = false;
  try {
    if (!url) throw DownloadError{"Wrong parameter Url == NULL\n", -1};
    if (!saveFileName) throw DownloadError{"Wrong parameter SaveFileName == NULL\n", -1};
    file = CreateFileA(saveFileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw DownloadError{"Can't create file", -1};

    DWORD state = 0;
    if (!InternetGetConnectedState(&state, 0)) throw DownloadError{"There is no connection to internet", -2};
    session = InternetOpenA("http generic", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session) throw DownloadError{"Can't establish connection to internet", -3};
    address = InternetOpenUrlA(session, url, nullptr, 0,
                               INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0);
    if (!address) throw DownloadError{"Can't open file from internet", -4};
    if (httpStatus) *httpStatus = answerStatus(address);

    std::vector<char> buffer(kReadSize);
    unsigned long long total = 0;
    for (;;) {
      DWORD got = 0;
      BOOL ok = InternetReadFile(address, buffer.data(), kReadSize, &got);
      if (!ok || got == 0) {
        // A failed read part way is no error here: whoever reads the file decides.
        result = ok ? 1 : 0;
        break;
      }
      total += got;
      if (total > kMaxDownloadSize) {
        tooLarge = true;
        throw DownloadError{"File is larger than 1 GB", -7};
      }
      DWORD written = 0;
      if (!WriteFile(file, buffer.data(), got, &written, nullptr)) throw DownloadError{"Can't write to file", -5};
      if (written < got) throw DownloadError{"Can't write to file", -6};
    }
  } catch (const DownloadError& error) {
    printMessage("Error DownloadFile: %s\n", error.text);
    result = error.result;
  } catch (...) {
    printMessage("Error downloading file\n");
    result = -100;
  }
  if (address) InternetCloseHandle(address);
  if (session) InternetCloseHandle(session);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (tooLarge) DeleteFileA(saveFileName);  // what came so far is of no use
  return result;
}
