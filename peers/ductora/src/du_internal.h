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
// The live part with that handle text, or null after setting lastError (DU_NO_OBJECT or
// DU_BAD_VALUE in *code).
DuPart* du_live_part(DuServer& server, const std::string& handleText, long* code);
// Saves the project after a change; when saving fails, puts `before` back and refuses.
long du_commit(DuServer& server, const DuProject& before);

// Query paths: get (value.kind says what the caller wants) and set.
long du_query_get(DuServer& server, const std::string& handle, const std::string& query, DuValue& value);
long du_query_set(DuServer& server, const std::string& handle, const std::string& query, const DuValue& value);

// XML requests.
long du_request_create_part(DuServer& server, const std::string& request, std::string& handle);
long du_request_create_stub(DuServer& server, const std::string& request, std::string& handle);
long du_request_product_data(DuServer& server, const std::string& request);

// Adds the part's entity to the drawing and the part to the project, then saves.
long du_add_part(DuServer& server, DuPart& part, std::string& handle);

// Journal: one line appended beside the project (nothing for an unnamed drawing).
void du_journal(DuServer& server, const std::string& line);
// A text argument for the journal: quoted with escapes, or "<N chars>" when long.
std::string du_journal_text(const std::string& text);
