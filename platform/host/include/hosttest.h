// Driving the host runtime without the cadhost program, for unit tests: a fresh working
// drawing, scripted user answers and the printed text captured.
#pragma once
#include <string>
#include <vector>
#include "adesk.h"

namespace cadhost {
// Starts a fresh session: a new empty working drawing, the given answers as user input
// (one line per prompt, as in a script: "*cancel*" is Escape, "" is Enter), and printed
// text captured instead of written to standard output. Also sets the Windows stand-in's
// host input and output to the same lines and capture.
ACHOST_API void startTestSession(const std::vector<std::string>& answers = {});
ACHOST_API void addAnswers(const std::vector<std::string>& answers);
// Everything printed (prompts, echoed answers, messages) since the last call.
ACHOST_API std::string takeOutput();
// Drops the working drawing and the remaining answers.
ACHOST_API void endTestSession();
}
