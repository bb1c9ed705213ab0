// The unit's data on its object in the drawing: a key/value store in the extended data of
// one application (one "KEY=value" text item per key, in first-write order), and the unit
// record written to and read from it under the application "ZEPH". The host keeps at most
// 255 bytes in one text item: a longer value goes on in items "=" + next part right after
// its key's item, and comes back joined.
#pragma once
#include <cstddef>
#include <string>

#include "dbmain.h"
#include "unitrecord.h"

// The registered application of the unit's extended data.
extern const char* const kUnitXDataApp;  // "ZEPH"

// The key prefix of a main connection's items: "C.SUP1", "C.EXT1", "C.OUT1" or "C.EXH1";
// null for any other connection type.
const char* xdata_connection_prefix(ConnectionType type);

// Store operations on an object the caller has opened (for write, to change it). The key
// is found again without regard to letter case; an item whose key is empty, has 40 or
// more characters, or has no "=" is not a key/value item.

// Writes key=value in place of the first item of that key, or as a new last item.
// 0 written; -1 a null argument or no memory; -2 an empty value (nothing written, an old
// item keeps its value); -3 the object refused the data (not open for write, or its
// extended data would pass the host's 16 KB).
int xdata_set_text(AcDbObject* object, const char* app, const char* key, const char* value);
// The value as "%.*lf" with that many decimals (0 to 20), then as xdata_set_text.
int xdata_set_double(AcDbObject* object, const char* app, const char* key, double value,
                     int decimals);
// Eight values, "%.0lf" each, joined by single blanks, then as xdata_set_text.
int xdata_set_numbers(AcDbObject* object, const char* app, const char* key,
                      const double values[kSoundBands]);

// The value of the first item of that key, in buffer (cut to size - 1 bytes at a whole
// character). The value's length in the buffer (0 or more); -1 key not found, a null
// argument or size 0; -2 the object has no extended data of app. Empty after a failure.
int xdata_get_text(AcDbObject* object, const char* app, const char* key, char* buffer, size_t size);
// The same with the whole value, however long.
int xdata_get_text(AcDbObject* object, const char* app, const char* key, std::string& value);
// 1 read; 0 the value is empty or not a number (value 0.0); -1 or -2 as xdata_get_text
// (value 0.0).
int xdata_get_double(AcDbObject* object, const char* app, const char* key, double& value);
// The numbers of the value, split at single blanks, into values in order: how many were
// read (at most 8; the other places keep their values); -2 the key cannot be read; -1 a
// null argument.
int xdata_get_numbers(AcDbObject* object, const char* app, const char* key,
                      double values[kSoundBands]);
// Removes every item of that key: how many were removed; 0 when the object has no extended
// data of app; -1 a null argument; -3 the object refused the change.
int xdata_remove_key(AcDbObject* object, const char* app, const char* key);

// Writes the unit's record on parts[0].blockRefId. 0 written; -1 no record; -2 no object
// id; -3 the object cannot be opened for write (these print nothing); -4 the object
// refused a value (its extended data would pass 16 KB), reported as "Can't save xdata"
// with the key's name; the keys before it are written.
int xdata_write_unit(UnitRecord* unit);
// Reads the record back from parts[0].blockRefId into unit. 0 read; -1 after the report
// "Can't load xdata" (with the missing key's name when a key was the problem). Fields read
// before a failure keep their new values.
int xdata_read_unit(UnitRecord* unit);
