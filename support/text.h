// Text helpers: printing on the host's command line, narrow/wide conversion, handle
// texts, bounded copies and delimited fields.
#pragma once
#include <cstddef>
#include <string>
#include "dbmain.h"
#include "windows.h"

// Formats like printf into at most 8192 characters (a longer text is cut) and prints it
// on the host's command line; a "%" in the result is printed as it stands.
int printMessage(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A new system string of the text (SysAllocStringLen of length + 1, terminator included);
// the caller frees it with SysFreeString. Null for a null text or when memory fails.
wchar_t* toWide(const char* text, unsigned int codePage = CP_ACP);
// The wide text converted into the buffer (cut to fit, always terminated); null when the
// text or the buffer is missing.
char* toNarrow(const wchar_t* text, char* buffer, int bufferSize, unsigned int codePage = CP_ACP);

// Conversions for the host's wide interface, whole texts.
std::wstring widen(const char* text);
std::wstring widen(const std::string& text);
std::string narrow(const wchar_t* text);
std::string narrow(const std::wstring& text);

// The handle's hexadecimal text in the buffer (empty first, at most 300 characters).
char* handleToText(const AcDbHandle& handle, char* buffer, size_t size);

// The object's drawing handle as hexadecimal text (at most 32 characters), the form in
// which Ductora names its parts; "" for the null id.
std::string handleText(const AcDbObjectId& id);

// At most n characters of source, trailing blanks removed; target zero-filled for n + 1.
char* copyTrimmed(char* target, const char* source, size_t n);

// Field index (from 0) of source split at separator, copied into target (size - 1 at
// most). Returns the position just behind the field's separator, or the source's
// terminator after the last field; null when the field does not exist.
const char* getField(char* target, const char* source, char separator, int index, int size);

// The address of path under the server address root, the two joined by exactly one "/"
// whether root ends in one or path begins with one ("http://h/selector" and "temp/" give
// "http://h/selector/temp/").
std::string joinAddress(const std::string& root, const std::string& path);
