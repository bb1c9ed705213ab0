// Download of an address into a local file.
#pragma once

// Fetches url into the file saveFileName (created anew, an existing file overwritten).
// 1 when the body ended normally; 0 when a read from the server failed part way (what
// came so far is in the file); negative, after an "Error DownloadFile: " message:
// -1 a parameter missing or the file cannot be created, -2 no connection to the internet,
// -3 no internet session, -4 the address cannot be opened, -5/-6 the file cannot be
// written, -7 the answer is larger than 1 GB (the file is removed); -100 any other
// failure. Any other failed download may leave a partial file.
// With httpStatus, the answer's HTTP status goes there too: 0 when the download ended
// before an answer came, or the answer has none.
int DownloadFile(const char* url, const char* saveFileName, long* httpStatus);
inline int DownloadFile(const char* url, const char* saveFileName) { return DownloadFile(url, saveFileName, nullptr); }
