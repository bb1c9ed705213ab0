// Limits of the DXF reader and of extended data. A file beyond the reader's limits is
// refused with a message, never read into unbounded memory or recursion; extended data
// beyond the host's limits is refused with eInvalidXDataSize or eXdataSizeExceeded.
#pragma once
#include <cstddef>

const size_t kDxfMaxFileBytes = size_t(1) << 30;   // largest drawing file
const size_t kDxfMaxLineBytes = 65536;             // largest text of one group
const size_t kDxfMaxObjects = 20000000;            // most entities and records
const size_t kDxfMaxXDataItems = 100000;           // most extended-data items on one object
const int kDxfMaxBlockNesting = 16;                // braces nested in extended data

// A text the host models (a name, a text of extended data) is written back within the
// reader's line limit however its characters are written: the longest form of one
// character is its escape as a surrogate pair ("\\U+D83D\\U+DE00", 14 bytes).
const size_t kDxfMaxCharBytes = 14;
const size_t kDxfMaxTextChars = kDxfMaxLineBytes / kDxfMaxCharBytes;

// Handles: every handle of a drawing is below kDxfHandleLimit, in a file the host reads
// and in one it writes, so whatever the host saves opens again. The reader refuses a file
// that names a handle at or past it, and a drawing that would run out of handles: one
// whose objects without a handle in the file, and those a save writes of the host's own
// (table heads, dictionaries, the ends of blocks), find none left below it. The database
// gives no new object a handle past it. The reader numbers its own objects from the limit
// on until the file's handles are known.
const unsigned long long kDxfHandleLimit = 1ULL << 62;

// The real host's limits on extended data: one text (1000, 1003, 1005) holds at most 255
// bytes (in the process's code page), one object's extended data at most 16 KB, counted
// as the group codes (2 bytes each) with their values.
const size_t kXDataMaxTextBytes = 255;
const size_t kXDataMaxObjectBytes = 16 * 1024;
