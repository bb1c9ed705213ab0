// The selector's catalogue: the air-handling units and external duct components of the
// manufacturer's model database, read once at start from the same two files the selector
// serves to the CAD program (the model dictionary and the model database).
#pragma once
#include <map>
#include <string>
#include <vector>

#include "catalog_units.h"

const char kSelDictionaryFile[] = "Duratcd.ddtz";
const char kSelDatabaseFile[] = "Ventholm_14a.tcdz";
const size_t kSelMaxModelFile = 64u << 20;       // bytes of one compressed file
const size_t kSelMaxUnpackedModel = 256u << 20;  // bytes of one decompressed file

struct SelUnit {
  std::string id;
  std::string name;
  std::string description;
  catalog::UnitData data;
};

struct SelComponent {
  std::string id;
  std::string name;
  std::string description;
};

struct SelCatalog {
  std::string folder;                                // where the two files were read
  std::string dictionaryFile;                        // the files as read, served as they are
  std::string databaseFile;
  std::vector<SelUnit> units;                        // ordered by product id
  std::map<std::string, SelComponent> components;    // every product that is no unit
};

// Reads the pair kSelDictionaryFile and kSelDatabaseFile from folder: both must be regular
// files (not symbolic links) within the size bounds, gzip-compressed model files whose
// stamps match. A unit whose selection data does not read is left out with a line in
// warnings. 0 read; -1 with error.
int sel_read_catalog(const std::string& folder, SelCatalog& out, std::string& error,
                     std::vector<std::string>& warnings);

// Reads a regular file (a symbolic link is refused) of at most limit bytes. 0 read;
// -1 missing or unreadable; -2 not a regular file; -3 larger than limit.
int sel_read_regular_file(const std::string& path, size_t limit, std::string& out);
