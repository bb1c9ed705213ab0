// Limits of the DXF reader: a file beyond them is refused with a message, never read
// into unbounded memory or recursion.
#pragma once
#include <cstddef>

const size_t kDxfMaxFileBytes = size_t(1) << 30;   // largest drawing file
const size_t kDxfMaxLineBytes = 65536;             // largest text of one group
const size_t kDxfMaxObjects = 20000000;            // most entities and records
const size_t kDxfMaxXDataItems = 100000;           // most extended-data items on one object
const int kDxfMaxBlockNesting = 16;                // block references inside blocks (extents)
// Extended-data texts longer than this are written as several 1000 groups (see dxf_write).
const size_t kDxfXDataChunkBytes = 250;
