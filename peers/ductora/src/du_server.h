// Ductora's automation server without COM: every method of IDuctora200711 as a function
// on one DuServer. Each call clears lastError, brings the project up to date with the
// working drawing, does its work in memory, and appends one line to the journal. The
// project file is written when the drawing is saved (du_drawing_saved), so the two agree.
//
// Results: DU_OK (0) done; any other value is a refusal and lastError says why in a
// sentence a user can read.
//
// Journal NAME.ductora.log, one line per call, every text whole. Lines reach the file
// together: at the end of each command the user gives the host (du_journal_flush), at the
// drawing's save, when the journal closes, and whenever kDuJournalBuffer bytes wait.
//   METHOD name=value ... -> RESULT [out=value] [error="lastError"]
// e.g.  GetNumber handle="" query="Count(/Project/Ductwork/System)" -> 0 value=2
//       WriteBinary id=1 offset=10240 hexText="0A1B..." -> 0
//       Version -> 20110101
// Texts are quoted with C escapes (\" \\ \n \r \t \xNN). Numbers as du_format_number
// writes them, points as x,y,z.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "du_limits.h"
#include "du_project.h"
#include "du_refuse.h"

enum DuResult {
  DU_OK = 0,
  DU_NO_PROJECT = 1,   // no project open, or the project file cannot be read
  DU_BAD_QUERY = 2,    // not a query Ductora knows, or not with this method
  DU_NO_OBJECT = 3,    // the handle names no Ductora part (or one erased from the drawing)
  DU_NO_INDEX = 4,     // an index past the end of its list
  DU_BAD_VALUE = 5,    // a value Ductora does not accept there
  DU_BAD_REQUEST = 6,  // a request that is not well formed or not complete
  DU_BINARY = 7,       // byte buffer: unknown id, size or offset out of range, bad digits
  DU_SAVE = 8,         // the project file could not be written
  DU_DRAWING = 9,      // the drawing refused the part's entity
  DU_REFUSED = 10,     // refused because the project's <Server refuse="..."> asks so
  DU_NO_MEMORY = 11,   // Ductora ran out of memory; nothing changed
};

// How the server reaches the drawing (the host in the module; fakes in tests).
struct DuDrawingHooks {
  // Path of the working drawing's file, empty for an unnamed drawing.
  std::function<std::string()> drawingPath;
  // Adds the part's entity to the drawing, drawn as the part is (fields of the part are
  // final except the handle); the new entity's handle text, or empty with error set.
  std::function<std::string(const DuPart& part, std::string& error)> createEntity;
  // Draws the part's entity again after its geometry or placement changed; false with
  // error set when the drawing refuses (the entity is then as before).
  std::function<bool(const DuPart& part, std::string& error)> updateEntity;
  // Erases the entity of a part whose creation was undone.
  std::function<void(const std::string& handle)> eraseEntity;
  // True when the part's handle names an entity of the drawing that is not erased and
  // carries the part's DUCTORA extended data.
  std::function<bool(const DuPart& part)> entityAlive;
  // True when the drawing has a block of that name.
  std::function<bool(const std::string& name)> blockExists;
};

struct DuBinary {
  std::vector<uint8_t> bytes;
};

// The journal file, kept open between calls, and the whole lines not yet written to it.
struct DuJournal {
  std::string path;
  int fd = -1;
  std::string pending;
};

struct DuServer {
  DuDrawingHooks hooks;
  DuProject project;
  std::string drawingPath;  // the drawing's file name as the host gave it
  std::string projectPath;  // absolute; empty: the project lives in memory only
  bool projectBroken = false;  // the file exists but cannot be read: never overwritten
  std::string brokenReason;
  bool loaded = false;
  bool dirty = false;  // changed since it was read or written
  int64_t fileStamp = -1;  // modification time and size of the file last read or written
  int64_t fileSize = -1;
  int64_t drawingStamp = -1;  // the same of the drawing then
  int64_t drawingSize = -1;
  std::string lastError;
  std::map<long, DuBinary> binaries;
  long binaryTotal = 0;  // bytes of all open buffers
  DuRefusals refusals;   // from the project's <Server refuse="...">
  long calls = 0;        // calls counted for "#N" refusals since the rules were set
  DuJournal journal;
  ~DuServer();
};

// Writes the journal's waiting lines (one write for all of them: a write per call cost a
// set call most of its time).
void du_journal_flush(DuServer& server);

// Loads the project of the working drawing when the drawing changed since the last call,
// or when the file changed on disk (the drawing's file did not: a project saved with its
// drawing by another session is that drawing's) and the project in memory has no unsaved
// change.
void du_sync(DuServer& server);
// Forgets the loaded project (the next call reads it again).
void du_reset(DuServer& server);
// Writes the project file now: 0, or DU_SAVE / DU_NO_PROJECT with lastError.
long du_save(DuServer& server);
// The drawing was saved as drawingPath: the project is written beside it (under the
// drawing's new name after a save under another name). 0, or a refusal with lastError.
long du_drawing_saved(DuServer& server, const std::string& drawingPath);
// Sets the refusal rules (as the project's <Server refuse>): 0, or DU_BAD_VALUE.
long du_set_refusals(DuServer& server, const std::string& rules);

long du_version(DuServer& server);
std::string du_last_error(DuServer& server);
long du_get_string(DuServer& server, const std::string& handle, const std::string& query, std::string& value);
long du_set_string(DuServer& server, const std::string& handle, const std::string& query, const std::string& value);
long du_get_number(DuServer& server, const std::string& handle, const std::string& query, double& value);
long du_set_number(DuServer& server, const std::string& handle, const std::string& query, double value);
long du_get_point(DuServer& server, const std::string& handle, const std::string& query, DuVec& value);
long du_set_point(DuServer& server, const std::string& handle, const std::string& query, const DuVec& value);
long du_create_part(DuServer& server, const std::string& request, std::string& handle);
long du_create_connection_stub(DuServer& server, const std::string& request, std::string& handle);
long du_manage_product_data(DuServer& server, const std::string& request);
long du_alloc_binary(DuServer& server, long id, long size);
long du_write_binary(DuServer& server, long id, long offset, const std::string& hexText);
long du_free_binary(DuServer& server, long id);
// Methods the server offers but does not carry out: they refuse with a message.
long du_not_supported(DuServer& server, const std::string& method, const std::string& request);
// A call that failed before it reached the server (a text it could not take, memory):
// lastError and the journal say so; returns code.
long du_refuse_call(DuServer& server, const std::string& method, long code, const std::string& message);

// A part's entity is being erased: the connection stubs made on it are erased with it
// (journal "Erased handle=H -> 0 stubs="A B"" when it had any).
void du_part_erased(DuServer& server, const std::string& handle);

// Adds a duct end (class "DURAPathwayConnector", type "EWAPART_UNTYPEDFITTING"): DU_OK
// with its handle, or a refusal.
long du_add_duct_end(DuServer& server, const DuVec& position, int systemId, double pressure,
                     double airflow, std::string& handle);
