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

// Handles: from kDxfHandleLimit on, no value is a drawing's handle (the reader numbers
// its own objects there until the file's handles are known). A drawing's objects have
// handles up to kDxfMaxHandle, so that at least kDxfHandleRoom objects made after it
// still get handles below the limit, and the drawing saves into one that opens again.
const unsigned long long kDxfHandleLimit = 1ULL << 62;
const unsigned long long kDxfHandleRoom = 1ULL << 32;
const unsigned long long kDxfMaxHandle = kDxfHandleLimit - kDxfHandleRoom;

// The real host's limits on extended data: one text (1000, 1003, 1005) holds at most 255
// bytes (in the process's code page), one object's extended data at most 16 KB, counted
// as the group codes (2 bytes each) with their values.
const size_t kXDataMaxTextBytes = 255;
const size_t kXDataMaxObjectBytes = 16 * 1024;
