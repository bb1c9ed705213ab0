// Pieces of the server shared between its files.
#pragma once
#include <string>
#include <vector>
#include "du_server.h"

enum DuKind { DU_TEXT, DU_NUMBER, DU_POINT };

struct DuValue {
  DuKind kind = DU_TEXT;
  std::string text;
  double number = 0;
  DuVec point;
};

// Sets lastError and returns code.
long du_fail(DuServer& server, long code, const std::string& message);
// Refuses with DU_NO_PROJECT when no usable project is open: that result, else DU_OK.
long du_need_project(DuServer& server);
// The live part with that handle text, or null after setting lastError (DU_NO_OBJECT in
// *code).
DuPart* du_live_part(DuServer& server, const std::string& handleText, long* code);
// DU_REFUSED (lastError set) when the project's refusal rules refuse this call, else DU_OK.
// Called once per call, when what the call asks for is known.
long du_refusal(DuServer& server, const std::string& method, const std::string& what);

// Query paths: get (value.kind says what the caller wants) and set.
long du_query_get(DuServer& server, const std::string& handle, const std::string& query, DuValue& value);
long du_query_set(DuServer& server, const std::string& handle, const std::string& query, const DuValue& value);

// XML requests.
long du_request_create_part(DuServer& server, const std::string& request, std::string& handle);
long du_request_create_stub(DuServer& server, const std::string& request, std::string& handle);
long du_request_product_data(DuServer& server, const std::string& request);
// Checks a line-type definition: "" when Ductora takes it, else why not.
std::string du_read_linetypes(const std::string& text);

// Adds the part's entity to the drawing and the part to the project.
long du_add_part(DuServer& server, DuPart& part, std::string& handle);

// Journal: one line appended beside the project (nothing for an unnamed drawing). The
// file is opened once, never through a symbolic link, and only when it is a plain file.
void du_journal(DuServer& server, const std::string& line);
// True when calls are journaled (a drawing with a name): a caller may skip making a line.
bool du_journaling(const DuServer& server);
void du_journal_close(DuServer& server);
// A text argument for the journal: quoted with escapes, whole.
std::string du_journal_text(const std::string& text);
void du_journal_quote(std::string& out, const std::string& text);  // the same, appended
