// The readable catalogue source: INI-style files of sections and "key = value" lines.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace catalog {

struct Entry {
  std::string key;
  std::string value;
  int line = 0;
};

// "[head]" or "[head name]" and the lines below it.
struct Section {
  std::string head;
  std::string name;
  std::string file;
  int line = 0;
  std::vector<Entry> entries;
};

struct Attribute {
  int number = 0;
  std::string key;    // name used in the source files
  std::string title;  // e.g. AID_NAME
};

struct Source {
  std::string dictionaryText;              // dictionary.ini as read, for the stamp
  std::vector<Attribute> attributes;
  std::map<std::string, std::string> tables;  // table name -> description
  std::vector<Section> products;           // [OTP id]
  std::vector<Section> series;             // [MAS key]
  std::map<std::string, std::string> models;  // TSD key -> data block
};

// Reads one INI file into sections. false with a "file:line: reason" message.
bool readIni(const std::string& path, std::vector<Section>& out, std::string& error,
             std::string* text = nullptr);
// Reads dictionary.ini, products.ini, series.ini and models/*.tsd of a source folder.
bool readSource(const std::string& folder, Source& out, std::string& error);
// The attribute of a source key, or null.
const Attribute* findAttribute(const Source& source, const std::string& key);
// Stamp shared by the dictionary and every database built against it.
std::string dictionaryStamp(const Source& source);

}  // namespace catalog
