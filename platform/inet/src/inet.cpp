// WinINet-shaped downloads on libcurl's multi interface: one transfer per handle, driven
// from the caller's thread inside InternetOpenUrlA and InternetReadFile.
#include "wininet.h"

#include <curl/curl.h>
#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <strings.h>
#include <string>
#include <vector>

#include "windows.h"

namespace {

// Unread body bytes beyond this make the transfer wait (libcurl stops reading the socket).
const size_t kHighWater = 256 * 1024;
// libcurl's receive buffer, also the largest piece one write callback delivers.
const long kReceiveBuffer = 64 * 1024;
// The system's own limits: a connection attempt, and a transfer that stalls completely.
const long kConnectTimeoutSeconds = 60;
const long kStallSeconds = 60;
// Redirects followed for one address; a longer chain (or a loop) is a failed open.
const long kMaxRedirects = 5;

enum HandleKind { kSession = 1, kTransfer = 2 };

struct Handle {
  HandleKind kind;
  explicit Handle(HandleKind k) : kind(k) {}
  virtual ~Handle() = default;
};

struct Session : Handle {
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  std::string proxy;
  std::string proxyBypass;
  Session() : Handle(kSession) {}
};

struct Transfer : Handle {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headers = nullptr;
  std::vector<char> pending;  // received, not yet read: pending[head..]
  size_t head = 0;
  bool paused = false;
  bool headDone = false;  // the final answer's head has arrived
  bool location = false;  // the head being read names a Location
  bool done = false;
  CURLcode result = CURLE_OK;
  Transfer() : Handle(kTransfer) {}
  ~Transfer() override {
    if (multi && easy) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }
  size_t unread() const { return pending.size() - head; }
};

std::mutex liveMutex;
std::set<Handle*> live;

void track(Handle* h) {
  std::lock_guard<std::mutex> lock(liveMutex);
  live.insert(h);
}

// The handle when it is open and of the kind asked for, else null (ERROR_INVALID_HANDLE).
template <class T>
T* lookup(HINTERNET h, HandleKind kind) {
  std::lock_guard<std::mutex> lock(liveMutex);
  auto it = live.find(static_cast<Handle*>(h));
  if (it == live.end() || (*it)->kind != kind) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return static_cast<T*>(*it);
}

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

DWORD errorOf(CURLcode code) {
  switch (code) {
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION: return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_ABORTED;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  Transfer* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  if (t->unread() >= kHighWater) {
    t->paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (t->head == t->pending.size()) {
    t->pending.clear();
    t->head = 0;
  } else if (t->head > t->pending.size() / 2) {
    t->pending.erase(t->pending.begin(), t->pending.begin() + static_cast<long>(t->head));
    t->head = 0;
  }
  t->pending.insert(t->pending.end(), data, data + n);
  t->headDone = true;
  return n;
}

bool startsNoCase(const char* data, size_t n, const char* prefix) {
  size_t k = std::strlen(prefix);
  return n >= k && strncasecmp(data, prefix, k) == 0;
}

// The blank line that ends a head: the answer's head is final unless it is an interim
// (1xx) answer or a redirect (3xx with a Location, not 304). A redirect is libcurl's to
// follow; one it cannot follow (a dead address, another scheme, too many) fails the
// transfer before any final head, so the open fails instead of giving the 3xx as the file.
size_t onHeader(char* data, size_t size, size_t count, void* user) {
  Transfer* t = static_cast<Transfer*>(user);
  size_t n = size * count;
  if (startsNoCase(data, n, "HTTP/")) t->location = false;
  if (startsNoCase(data, n, "Location:")) t->location = true;
  if (n <= 2 && (n == 0 || data[0] == '\r' || data[0] == '\n')) {
    long status = 0;
    curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
    bool redirect = status >= 300 && status < 400 && status != 304 && t->location;
    if (status >= 200 && !redirect) t->headDone = true;
  }
  return n;
}

// One round of the transfer: let libcurl work, wait for the socket when it had nothing.
void pump(Transfer* t) {
  int running = 0;
  size_t before = t->unread();
  curl_multi_perform(t->multi, &running);
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(t->multi, &left)) {
    if (msg->msg == CURLMSG_DONE) {
      t->done = true;
      t->result = msg->data.result;
    }
  }
  if (!t->done && t->unread() == before && !t->paused)
    curl_multi_poll(t->multi, nullptr, 0, 1000, nullptr);
}

bool isLoopbackHost(const char* url) {
  CURLU* parts = curl_url();
  if (!parts) return false;
  bool loopback = false;
  char* host = nullptr;
  if (curl_url_set(parts, CURLUPART_URL, url, 0) == CURLUE_OK &&
      curl_url_get(parts, CURLUPART_HOST, &host, 0) == CURLUE_OK && host) {
    std::string h(host);
    std::transform(h.begin(), h.end(), h.begin(), [](unsigned char c) { return std::tolower(c); });
    loopback = h == "localhost" || h.rfind("127.", 0) == 0 || h == "[::1]" || h == "::1";
  }
  curl_free(host);
  curl_url_cleanup(parts);
  return loopback;
}

// Extra request headers: lines separated by CR LF (or LF); empty lines are skipped.
curl_slist* headerList(LPCSTR headers, DWORD length) {
  if (!headers) return nullptr;
  std::string text = length == static_cast<DWORD>(-1) ? std::string(headers) : std::string(headers, length);
  curl_slist* list = nullptr;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) list = curl_slist_append(list, line.c_str());
    start = end + 1;
  }
  return list;
}

bool configure(Transfer* t, const Session* s, LPCSTR url, DWORD flags) {
  CURL* e = t->easy;
  bool ok = curl_easy_setopt(e, CURLOPT_URL, url) == CURLE_OK;
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBuffer);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  if (!s->agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, s->agent.c_str());
  if (s->accessType == INTERNET_OPEN_TYPE_DIRECT) {
    curl_easy_setopt(e, CURLOPT_PROXY, "");
  } else if (s->accessType == INTERNET_OPEN_TYPE_PROXY) {
    curl_easy_setopt(e, CURLOPT_PROXY, s->proxy.c_str());
    if (!s->proxyBypass.empty()) curl_easy_setopt(e, CURLOPT_NOPROXY, s->proxyBypass.c_str());
  }
  // A server on this machine is never reached through a proxy.
  if (isLoopbackHost(url)) curl_easy_setopt(e, CURLOPT_NOPROXY, "*");
  if (flags & INTERNET_FLAG_PRAGMA_NOCACHE) t->headers = curl_slist_append(t->headers, "Pragma: no-cache");
  if (t->headers) curl_easy_setopt(e, CURLOPT_HTTPHEADER, t->headers);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, t);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, t);
  return ok;
}

}  // namespace

extern "C" {

BOOL InternetGetConnectedState(LPDWORD flags, DWORD reserved) {
  const char* offline = std::getenv("ZEPHYR_OFFLINE");
  if (offline && std::strcmp(offline, "1") == 0) {
    if (flags) *flags = INTERNET_CONNECTION_OFFLINE;
    return FALSE;
  }
  DWORD state = 0;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (ifaddrs* a = list; a; a = a->ifa_next) {
      if ((a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING) && !(a->ifa_flags & IFF_LOOPBACK)) {
        state |= INTERNET_CONNECTION_LAN;
        break;
      }
    }
    freeifaddrs(list);
  }
  if (flags) *flags = state;
  return TRUE;
}

HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags) {
  if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT &&
      accessType != INTERNET_OPEN_TYPE_PROXY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (accessType == INTERNET_OPEN_TYPE_PROXY && (!proxy || !*proxy)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  initCurlOnce();
  Session* s = new Session;
  s->agent = agent ? agent : "";
  s->accessType = accessType;
  if (accessType == INTERNET_OPEN_TYPE_PROXY) {
    s->proxy = proxy;
    s->proxyBypass = proxyBypass ? proxyBypass : "";
  }
  track(s);
  return s;
}

HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR context) {
  Session* s = lookup<Session>(session, kSession);
  if (!s) return nullptr;
  if (!url || !*url) {
    SetLastError(ERROR_INTERNET_INVALID_URL);
    return nullptr;
  }
  Transfer* t = new Transfer;
  t->easy = curl_easy_init();
  t->multi = curl_multi_init();
  if (!t->easy || !t->multi) {
    delete t;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  t->headers = headerList(headers, headersLength);
  if (!configure(t, s, url, flags) || curl_multi_add_handle(t->multi, t->easy) != CURLM_OK) {
    delete t;
    SetLastError(ERROR_INTERNET_INTERNAL_ERROR);
    return nullptr;
  }
  while (!t->headDone && !t->done) pump(t);
  if (t->done && t->result != CURLE_OK && !t->headDone) {
    DWORD error = errorOf(t->result);
    delete t;
    SetLastError(error);
    return nullptr;
  }
  track(t);
  return t;
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD) {
  Transfer* t = lookup<Transfer>(request, kTransfer);
  if (!t) return FALSE;
  if (!length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((infoLevel & ~HTTP_QUERY_FLAG_NUMBER) != HTTP_QUERY_STATUS_CODE) {
    SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return FALSE;
  }
  long status = 0;
  curl_easy_getinfo(t->easy, CURLINFO_RESPONSE_CODE, &status);
  if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
    if (!buffer || *length < sizeof(DWORD)) {
      *length = sizeof(DWORD);
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    *static_cast<DWORD*>(buffer) = static_cast<DWORD>(status);
    *length = sizeof(DWORD);
    return TRUE;
  }
  const std::string text = std::to_string(status);
  if (!buffer || *length < text.size() + 1) {
    *length = static_cast<DWORD>(text.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  *length = static_cast<DWORD>(text.size());
  return TRUE;
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read) {
  Transfer* t = lookup<Transfer>(file, kTransfer);
  if (!t) return FALSE;
  if (!read || (!buffer && toRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *read = 0;
  if (toRead == 0) return TRUE;
  while (t->unread() == 0 && !t->done) pump(t);
  if (t->unread() == 0) {
    if (t->result == CURLE_OK) return TRUE;
    SetLastError(errorOf(t->result));
    return FALSE;
  }
  size_t n = std::min<size_t>(toRead, t->unread());
  std::memcpy(buffer, t->pending.data() + t->head, n);
  t->head += n;
  *read = static_cast<DWORD>(n);
  if (t->paused && t->unread() < kHighWater) {
    t->paused = false;
    curl_easy_pause(t->easy, CURLPAUSE_CONT);  // may deliver the held-back piece at once
  }
  return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
  Handle* h = nullptr;
  {
    std::lock_guard<std::mutex> lock(liveMutex);
    auto it = live.find(static_cast<Handle*>(handle));
    if (it == live.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    h = *it;
    live.erase(it);
  }
  delete h;
  return TRUE;
}

}  // extern "C"
