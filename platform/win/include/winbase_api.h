// Registry, files, modules, resources, version records, text conversion, process and
// shell of the Windows stand-in. Results follow the real functions: registry calls return
// an error code (ERROR_SUCCESS 0); the others return BOOL, a count, a handle or a null
// pointer, and on failure leave the reason in GetLastError().
// Paths may use "\\" or "/"; each component is matched exactly first and otherwise
// without regard to letter case, as on Windows.
#pragma once
#include "wintypes.h"

// ---- Error codes (GetLastError and registry results) ----
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_TOO_MANY_OPEN_FILES 4L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_WRITE_FAULT 29L
#define ERROR_READ_FAULT 30L
#define ERROR_GEN_FAILURE 31L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_HANDLE_EOF 38L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_BUFFER_OVERFLOW 111L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_INVALID_NAME 123L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_DIR_NOT_EMPTY 145L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_DIRECTORY 267L
#define ERROR_NOACCESS 998L
#define ERROR_REGISTRY_CORRUPT 1015L
#define ERROR_REGISTRY_IO_FAILED 1016L
#define ERROR_KEY_DELETED 1018L
#define ERROR_NO_ASSOCIATION 1155L
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_CANT_RESOLVE_FILENAME 1921L
#define ERROR_INVALID_WINDOW_HANDLE 1400L

DWORD GetLastError(void);
void SetLastError(DWORD code);

// ---- Registry ----
// Predefined keys. HKEY_CLASSES_ROOT is HKEY_LOCAL_MACHINE\Software\Classes.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define READ_CONTROL 0x00020000L
#define KEY_READ (READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY)
#define KEY_WRITE (READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY)
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define REG_OPTION_NON_VOLATILE 0x00000000L
#define REG_OPTION_VOLATILE 0x00000001L
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

// Hives live in the machine folder (winhost.h): user.reg and system.reg, registry export
// text. Each change is written to the hive file at once (temporary file, then rename).
// A hive file that does not parse is reported once, kept as it is, and read as empty;
// changes to it fail with ERROR_REGISTRY_CORRUPT. Without a machine folder the hives
// live in memory only.
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                     const SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition);
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
// Null data: the size only. Data too small: ERROR_MORE_DATA with the needed size.
// The stored bytes come back exactly as set; no terminating zero is added.
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

// ---- Files ----
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100

#define GENERIC_READ 0x80000000L
#define GENERIC_WRITE 0x40000000L
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

struct OVERLAPPED;
typedef OVERLAPPED* LPOVERLAPPED;

// Length without the terminating zero; when the buffer is too small, the size needed
// including it; 0 on failure. The folder ends with "/". The first of TMP, TEMP and TMPDIR
// that names an existing folder, else a folder of the user's own (/tmp/zephyr-<uid>/,
// mode 0700).
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);
// unique 0: creates a new empty file <path>/<up to 3 prefix chars><4 hex digits>.tmp
// readable only by the user, never through a symbolic link, and returns its number.
// Otherwise only forms the name with that number. 0 on failure. result holds MAX_PATH.
UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR result);
BOOL DeleteFileA(LPCSTR fileName);
DWORD GetFileAttributesA(LPCSTR fileName);
// Creating dispositions never follow a symbolic link in the last component, and open an
// existing file only when it is a plain file of this user's with no second name (so a name
// in a shared folder cannot be turned against another file); it is emptied only then.
// Sharing modes are accepted and not enforced. INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
// TRUE with *bytesRead 0 at the end of the file.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL CloseHandle(HANDLE handle);
BOOL SetCurrentDirectoryA(LPCSTR path);
// Same counting as GetTempPathA.
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
// Same counting; 0 with ERROR_ENVVAR_NOT_FOUND for an unset variable.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);

// ---- Process ----
DWORD GetTickCount(void);  // milliseconds since an arbitrary start; wraps after 49.7 days
void Sleep(DWORD milliseconds);

// ---- Modules ----
// Callers cast it to the function type they expect.
typedef INT_PTR(WINAPI* FARPROC)();

// Loads a shared object (ERROR_MOD_NOT_FOUND when missing, ERROR_BAD_EXE_FORMAT when the
// file is not one). A name without a folder is looked up beside the program, then in the
// current folder, then by the system's loader.
HMODULE LoadLibraryA(LPCSTR fileName);
BOOL FreeLibrary(HMODULE module);  // only handles from LoadLibraryA
// A loaded object by its base file name (a path may be given; its folder is ignored);
// null name: the program. Does not change the object's reference count.
HMODULE GetModuleHandleA(LPCSTR moduleName);
// Full path with "/" separators; null module: the program. Too small a buffer: cut to
// size - 1 characters, terminated, returns size with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// A symbol of that module itself (not of its dependencies); ordinals are not supported.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);

// ---- Resources ----
// A module's resources are those its .rc file declares, compiled by windres: on Linux the
// build embeds the compiled file (.res) in the module (zephyr_add_resources), and these
// read it as Windows reads a module's resource section. A null module is the program.
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_STRING MAKEINTRESOURCEA(6)
#define RT_RCDATA MAKEINTRESOURCEA(10)
#define RT_VERSION MAKEINTRESOURCEA(16)
#define VS_VERSION_INFO 1
ZWIN_DECLARE_HANDLE(HRSRC);
typedef void* HGLOBAL;
// type and name: MAKEINTRESOURCEA numbers, "#number" or names (any letter case).
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// ---- Version records ----
struct VS_FIXEDFILEINFO {
  DWORD dwSignature;  // 0xFEEF04BD
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};
#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VS_FFI_STRUCVERSION 0x00010000L
#define VS_FFI_FILEFLAGSMASK 0x0000003FL
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_APP 0x00000001L
#define VFT_DLL 0x00000002L

// The version resource (VS_VERSIONINFO) read from the module FILE (the module need not be
// loaded). Size 0 with ERROR_RESOURCE_TYPE_NOT_FOUND when the file carries no version
// record; a buffer smaller than the size is refused (ERROR_INSUFFICIENT_BUFFER).
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
// subBlock "\\": the VS_FIXEDFILEINFO inside data. Other blocks: FALSE.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);

// ---- Text (the ANSI code page is UTF-8; wide characters are UTF-32) ----
#define CP_OEMCP 1
#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

// Length -1: a zero-terminated text, terminator included in the count. Output size 0:
// the size needed. Too small: 0 with ERROR_INSUFFICIENT_BUFFER. Invalid sequences become
// U+FFFD unless MB_ERR_INVALID_CHARS / WC_ERR_INVALID_CHARS ask for
// ERROR_NO_UNICODE_TRANSLATION.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide, int wideSize);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int length, LPSTR text, int textSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar);

// ---- Shell ----
#define SEE_MASK_DEFAULT 0x00000000
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400
#define SEE_MASK_NOASYNC 0x00000100
#define SE_ERR_FNF 2
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCSTR lpVerb;
  LPCSTR lpFile;
  LPCSTR lpParameters;
  LPCSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void* lpIDList;
  LPCSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
typedef SHELLEXECUTEINFOA* LPSHELLEXECUTEINFOA;

// Verb null or "open": starts $BROWSER when it is set, split at blanks, with every "%s"
// replaced by FILE (FILE appended as the last argument when no word has "%s"), else
// "xdg-open FILE"; directly (never through a shell), FILE whole in one argument, in
// lpDirectory when given. The process remembers the program for winWaitForShellPrograms.
// lpParameters is not passed on (it does not apply to a document or address). TRUE when
// the process started; it is never waited for. With SEE_MASK_NOCLOSEPROCESS, hProcess is
// a handle to close with CloseHandle.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
