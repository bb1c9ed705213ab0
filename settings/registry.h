// The registry module: one open key pair at a time (the user's key for all access, the
// machine's key for reading) under "Software\<company>\<application>\<version>\", and
// values addressed by a path "subkey\name" ("/" is taken as "\"). A null root means the
// open keys: reads try the user's key first and the machine's key when the user has no
// such value; writes go to the user's key. Not reentrant: one command thread.
#pragma once
#include "windows.h"

// Closes any open keys, then creates or opens the user's key and opens the machine's
// key. Null arguments become "Any company", "Any application", "Any version". True only
// when both keys are open (the machine's is not tried when the user's fails).
bool regOpen(const char* company, const char* application, const char* version);
// Flushes and closes the open keys and forgets the path. Always true.
bool regClose();

// The value's raw bytes into buffer (nothing added, no terminating zero unless stored),
// its size into *size. Null when the value is absent, or when the buffer is null or
// bufferSize is smaller than the value (0 counts as no room).
char* regGetString(HKEY root, const char* path, DWORD* size, char* buffer, DWORD bufferSize);
// A value of at most 4 bytes as a number; the default when absent.
int regGetInt(HKEY root, const char* path, int defaultValue);
// A text of at most 40 bytes read with "%f"; the default when absent, 0 when not a number.
float regGetFloat(HKEY root, const char* path, float defaultValue);
// A text of at most 256 bytes in one of the module's rotating buffers (valid until four
// more calls), or defaultValue when absent.
const char* regGetStringTemp(HKEY root, const char* path, const char* defaultValue);

// Reads "<name>\Position" ("left top width height") and "<name>\Show" into rect and
// showState; a window that still exists is moved there and shown so. False when a value is
// absent or malformed, or the window given is gone.
bool regLoadWindow(HKEY root, const char* name, RECT* rect, int* showState, HWND window);
// Writes the window's normal position and show state as those two text values.
bool regSaveWindow(HKEY root, const char* name, HWND window);

// Writes a binary value, a 4-byte number, a number as "%f" text, or a text (stored
// without its terminating zero). True when stored.
bool regSetBinary(HKEY root, const char* path, DWORD size, const void* bytes);
bool regSetInt(HKEY root, const char* path, int value);
bool regSetFloat(HKEY root, const char* path, float value);
bool regSetString(HKEY root, const char* path, const char* text);
// Deletes the value from the user's key (or the given root). True when deleted.
bool regDeleteValue(HKEY root, const char* path);

// The open key of HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER; null for anything else.
HKEY regRootKey(HKEY predefinedRoot);
