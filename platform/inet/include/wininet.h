// The internet stand-in: the WinINet subset the system downloads with, on libcurl.
// Handles are opaque; each one opened must be closed with InternetCloseHandle. Functions
// return what the real ones do (a handle or null, BOOL) and leave the reason of a failure
// in GetLastError() (ERROR_INTERNET_ codes, or ERROR_INVALID_HANDLE/_PARAMETER).
#pragma once
#include "wintypes.h"

typedef void* HINTERNET;
typedef ULONG_PTR DWORD_PTR;

// InternetOpenA access types.
#define INTERNET_OPEN_TYPE_PRECONFIG 0  // the system's proxy settings (http_proxy, no_proxy, ...)
#define INTERNET_OPEN_TYPE_DIRECT 1     // no proxy
#define INTERNET_OPEN_TYPE_PROXY 3      // the proxy given to InternetOpenA

// InternetOpenUrlA flags. There is no cache, so the cache flags change nothing: every
// address is always fetched from its server and nothing is stored. There is no UI either.
#define INTERNET_FLAG_RELOAD 0x80000000
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100  // sends "Pragma: no-cache"
#define INTERNET_FLAG_NO_UI 0x00000200

// InternetGetConnectedState flags.
#define INTERNET_CONNECTION_MODEM 0x01
#define INTERNET_CONNECTION_LAN 0x02
#define INTERNET_CONNECTION_PROXY 0x04
#define INTERNET_CONNECTION_OFFLINE 0x20
#define INTERNET_CONNECTION_CONFIGURED 0x40

// HttpQueryInfoA levels: the answer's status code, as text or (with the flag) a DWORD.
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_FLAG_NUMBER 0x20000000

// Error codes.
#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_UNRECOGNIZED_SCHEME 12006L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L

#ifdef __cplusplus
extern "C" {
#endif

// FALSE (flags INTERNET_CONNECTION_OFFLINE) when the environment has ZEPHYR_OFFLINE=1.
// Otherwise TRUE, with INTERNET_CONNECTION_LAN when a network interface other than
// loopback is up; a machine with loopback alone still counts as connected, since local
// servers are reachable and the system then learns more from the transfer itself.
BOOL InternetGetConnectedState(LPDWORD flags, DWORD reserved);

// A session handle, or null. The agent name is sent as the User-Agent; flags: pass 0.
HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);

// Starts fetching an http or https address (redirects followed) and waits for the
// answer's head. The transfer handle, or null when the address is malformed or of
// another scheme, or the server cannot be reached. The answer's status is not examined:
// its body is what InternetReadFile gives. headers: extra request header lines
// separated by "\r\n", length (DWORD)-1 for a zero-terminated text. context is unused.
HINTERNET InternetOpenUrlA(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength,
                           DWORD flags, DWORD_PTR context);

// Of a transfer handle, only HTTP_QUERY_STATUS_CODE: the final answer's status (after
// redirects) as a DWORD with HTTP_QUERY_FLAG_NUMBER, else as decimal text with its
// terminator. *length is the buffer's size in bytes, on return the bytes written (text:
// without the terminator). FALSE with ERROR_INSUFFICIENT_BUFFER and the size needed in
// *length for a buffer too small, ERROR_HTTP_HEADER_NOT_FOUND for any other level.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, LPDWORD length, LPDWORD index);

// Reads the next bytes of the body, at most toRead, blocking until at least one arrives.
// TRUE with *read > 0: data; TRUE with *read 0: the body ended normally; FALSE: the
// transfer failed (connection lost, body shorter than announced, timed out). Memory
// stays bounded whatever the body's size: the transfer waits while unread data piles up.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, LPDWORD read);

// Closes a session or transfer handle. A session's transfers stay usable until closed
// themselves. FALSE (ERROR_INVALID_HANDLE) for a handle not open.
BOOL InternetCloseHandle(HINTERNET handle);

#ifdef __cplusplus
}
#endif
