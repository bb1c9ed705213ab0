// Basic types of the host's programming interface.
#pragma once
#include <cstddef>
#include <cstdint>

namespace Adesk {
typedef int8_t Int8;
typedef int16_t Int16;
typedef int32_t Int32;
typedef int64_t Int64;
typedef uint8_t UInt8;
typedef uint16_t UInt16;
typedef uint32_t UInt32;
typedef uint64_t UInt64;
typedef bool Boolean;
typedef intptr_t IntPtr;
typedef uintptr_t UIntPtr;
typedef intptr_t LongPtr;
const bool kFalse = false;
const bool kTrue = true;
}

// The host's wide character: wchar_t, text is exchanged as wide strings.
typedef wchar_t ACHAR;
#ifndef _T
#define _T(x) L##x
#endif
#ifndef ACRX_T
#define ACRX_T(x) L##x
#endif

// ACHOST_API marks the host's programming interface, ACHOST_EXPORT what an application
// module exports to the host (acrxEntryPoint, acrxGetApiVersion, ...). On Windows the host's
// runtime DLL exports its interface (built with CADHOST_RUNTIME) and modules import it.
#if defined(_WIN32)
#define ACHOST_EXPORT __declspec(dllexport)
#if defined(CADHOST_RUNTIME)
#define ACHOST_API __declspec(dllexport)
#else
#define ACHOST_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define ACHOST_EXPORT __attribute__((visibility("default")))
#define ACHOST_API ACHOST_EXPORT
#else
#define ACHOST_EXPORT
#define ACHOST_API
#endif
