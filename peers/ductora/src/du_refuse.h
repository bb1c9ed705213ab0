// Refusals on demand: the project's <Server refuse="RULE;RULE;..."> makes Ductora refuse
// chosen calls, so that every step of a client's work can be seen failing. A rule is
//   #N              the N-th call (Version and LastError are not counted)
//   METHOD          every call of that method (GetString, SetNumber, CreatePart, ...)
//   METHOD WHAT     calls of the method with that query, exactly as given
//                   ("SetString /Part/Package/PartList"), or of that request kind
//                   ("CreatePart EWAPART_DUCT", "CreateConnectionStub NBranch",
//                   "ManageProductData Add")
//   METHOD [WHAT] #N  only the N-th call the rule matches
// Blanks around rules and around "#N" do not count.
#pragma once
#include <string>
#include <vector>

struct DuRefusal {
  std::string text;    // the rule as written
  std::string method;  // empty: a "#N" rule
  std::string what;    // empty: any query or kind
  long nth = 0;        // 0: every matching call
  long seen = 0;       // matching calls so far
};

struct DuRefusals {
  std::string text;  // as the project gives it
  std::vector<DuRefusal> rules;
};

// Reads the rules: true, or false with error a sentence (out untouched).
bool du_parse_refusals(const std::string& text, DuRefusals& out, std::string& error);
// The rule that refuses the call numbered `call` (method, what), or null; every rule the
// call matches counts it.
const DuRefusal* du_refused(DuRefusals& refusals, long call, const std::string& method, const std::string& what);
