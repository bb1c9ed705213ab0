// Retrieval of the product-model database: the model dictionary and the model database,
// downloaded (or taken from copies beside the main module) and decompressed into the
// user's temporary folder. The paths of the decompressed pair are process-wide.
#pragma once
#include <string>

struct SelectorSettings;

// Deletes the previous decompressed files, then fetches and decompresses the dictionary
// (from ServerRootURL + "Duratcd.ddtz") and the database (from modelDatabaseUrl).
// 0 with both paths set; -1 dictionary download failed, -2 dictionary decompression
// failed, -3 database download failed, -4 database decompression failed (after -3 and -4
// the dictionary path still names a valid file). Each failure prints one message.
int retrieveModelDatabase(const std::string& modelDatabaseUrl, const SelectorSettings& settings);

// Gunzips infilename into outfilename; a file that is not gzip data is copied unchanged.
// 0; -1/-2 a name missing; -3 input cannot be opened; -4 output cannot be created;
// -5 output cannot be written, or would grow past 512 MB (no plausible model file is that
// large: a compression bomb); -6 input cannot be read, truncated or corrupt. After -5 and
// -6 the output file is removed.
int DecompressFile(const char* infilename, const char* outfilename);

// Paths of the decompressed model dictionary and model database; "" when there are none.
const char* modelDictionaryPath();
const char* modelDatabasePath();

// Deletes both decompressed files with any journal, WAL or shared-memory file beside them
// (a missing one is ignored) and empties both paths.
void deleteModelFiles();

// Tests only: the folder searched for the local copies instead of the main module's
// folder; an empty text goes back to the main module's folder.
void setLocalModelFolderForTests(const std::string& folder);
