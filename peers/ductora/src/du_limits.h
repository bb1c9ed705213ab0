// Every limit of Ductora's readers in one place: what a request, a query value, a byte
// buffer or the project file may hold. Lengths are millimetres, as in the drawing.
#pragma once
#include <cstddef>

// Requests and the line-type definition (XML texts).
const size_t kDuMaxRequestSize = 16 * 1024 * 1024;  // bytes
const int kDuMaxRequestDepth = 32;                  // element nesting
const size_t kDuMaxUserText = 64 * 1024;            // bytes of one text value (description, layer ...)
const int kDuMaxLinetypes = 64;                     // <Linetype> entries of a definition
const int kDuMaxLinetypeId = 255;

// Numbers: a point lies within this distance of the origin on each axis (100 km); a
// direction or normal is no longer than kDuMaxVectorLength and no shorter than
// kDuMinVectorLength; a direction and a normal whose unit vectors' cross product is
// shorter than kDuParallel count as parallel and are refused.
const double kDuMaxCoordinate = 1e8;
const double kDuMaxVectorLength = 1e6;
const double kDuMinVectorLength = 1e-9;
const double kDuParallel = 1e-6;
const int kDuMaxDuctSize = 100000;      // width, height or diameter
const double kDuMinSound = -200;        // dB in one octave band
const double kDuMaxSound = 300;
const double kDuMaxBendCoefficient = 100;
const double kDuMaxFlow = 1e7;          // pressure demand (Pa) or airflow (l/s)
const int kDuMaxSystemTypeId = 3;       // 0 supply, 1 extract, 2 exhaust, 3 outdoor
// A duct's end meets a connection within this distance: well below any duct's size, above
// the rounding of positions sent with six decimals and computed from rounded directions.
const double kDuJoinTolerance = 0.1;

// Byte buffers between AllocBinary and FreeBinary: one buffer, all open ones together,
// and how many may be open at once.
const long kDuMaxBinarySize = 64L * 1024 * 1024;
const long kDuMaxBinaryTotal = 128L * 1024 * 1024;
const size_t kDuMaxBinaries = 16;

// A display list drawn into the drawing: at most this many elements are read.
const size_t kDuMaxShapeElements = 2 * 1024 * 1024;

// The project file.
const size_t kDuMaxProjectDepth = 16;
const size_t kDuMaxProjectSize = 1024L * 1024 * 1024;  // bytes read at most

// Queries.
const size_t kDuMaxQueryLength = 512;
const size_t kDuMaxQuerySegments = 12;
const int kDuMaxQueryIndex = 999999;

// Journal lines wait in memory up to this many bytes (see du_journal_flush).
const size_t kDuJournalBuffer = 64 * 1024;

// Refusal rules of the project's <Server refuse="...">.
const size_t kDuMaxRefusals = 64;
