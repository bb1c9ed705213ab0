// The command line: printed text (standard output or a test capture) and user input
// (a script, the terminal or a test's answer queue), shared with the Windows stand-in.
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <iostream>
#include <sstream>
#include "adslib.h"
#include "hostimpl.h"
#include "hostos.h"

namespace cadhost {
namespace {
enum class InputMode { kNone, kScript, kTerminal, kQueue };
struct IoState {
  InputMode mode = InputMode::kNone;
  FILE* script = nullptr;
  std::deque<std::string> queue;
  bool capture = false;
  std::string captured;
};
IoState& io() {
  static IoState state;
  return state;
}

// Longest input line: far beyond any answer, path or dialog action. A file with no line
// end (a binary file, /dev/zero given as the script) would otherwise be read whole.
const size_t kMaxInputLine = 64 * 1024;

enum class LineRead { kLine, kEnd, kTooLong };

LineRead readRawLine(FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() >= kMaxInputLine) return LineRead::kTooLong;
    line += (char)c;
  }
  if (!any) return LineRead::kEnd;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return LineRead::kLine;
}

// A line from the script or the terminal; an overlong line ends the input there, since
// nothing after it can be trusted to line up with the prompts.
bool readInputLine(FILE* f, std::string& line) {
  switch (readRawLine(f, line)) {
    case LineRead::kLine: return true;
    case LineRead::kEnd: return false;
    case LineRead::kTooLong: break;
  }
  line.clear();
  std::fprintf(stderr, "cadhost: an input line is longer than %zu bytes; input ends here\n", kMaxInputLine);
  io().mode = InputMode::kNone;
  return false;
}
}  // namespace

void printUtf8(const std::string& text) {
  if (io().capture) {
    io().captured += text;
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
}

void flushOutput() {
  if (!io().capture) std::fflush(stdout);
}

namespace {
// The script line that waits until the programs the session started through the shell
// (the browser) have ended: "*wait*" waits up to kWaitDefaultSeconds, "*wait* N" up to N.
const std::string kWaitWord = "*wait*";
const int kWaitDefaultSeconds = 60;
const int kWaitMaxSeconds = 600;

bool readOneAnswer(const std::string& prompt, std::string& answer) {
  IoState& s = io();
  answer.clear();
  printUtf8(prompt);
  flushOutput();  // what the session printed is out before it waits, should it never end
  switch (s.mode) {
    case InputMode::kScript:
      if (!readInputLine(s.script, answer)) {
        printUtf8("\n");
        return false;
      }
      break;
    case InputMode::kTerminal:
      flushOutput();
      if (!readInputLine(stdin, answer)) return false;
      return true;
    case InputMode::kQueue:
      if (s.queue.empty()) {
        printUtf8("\n");
        return false;
      }
      answer = s.queue.front();
      s.queue.pop_front();
      break;
    default:
      printUtf8("\n");
      return false;
  }
  printUtf8(answer + "\n");
  flushOutput();
  return true;
}

// True for a wait line; seconds is its bound, or 0 when the bound is not a number of
// seconds from 1 to kWaitMaxSeconds.
bool isWaitLine(const std::string& line, int& seconds) {
  std::istringstream words(line);
  std::string word, extra;
  long value = kWaitDefaultSeconds;
  if (!(words >> word) || word != kWaitWord) return false;
  seconds = 0;
  if (words >> extra) {
    char* end = nullptr;
    value = std::strtol(extra.c_str(), &end, 10);
    if (*end != 0 || (words >> extra)) return true;
  }
  if (value >= 1 && value <= kWaitMaxSeconds) seconds = (int)value;
  return true;
}

void waitForShellPrograms(int seconds) {
  if (seconds == 0) {
    printUtf8(kWaitWord + " takes a number of seconds from 1 to " + std::to_string(kWaitMaxSeconds) + ".\n");
    return;
  }
  int running = osWaitForShellPrograms((unsigned)seconds * 1000u);
  if (running < 0)
    printUtf8("This host cannot wait for the programs started through the shell.\n");
  else if (running == 0)
    printUtf8("Every program started through the shell has ended.\n");
  else
    printUtf8(std::to_string(running) + " program(s) started through the shell still running after " +
              std::to_string(seconds) + " s.\n");
}
}  // namespace

bool readAnswer(const std::string& prompt, std::string& answer) {
  int seconds = 0;
  while (readOneAnswer(prompt, answer)) {
    if (!isWaitLine(answer, seconds)) return true;
    waitForShellPrograms(seconds);
  }
  return false;
}

void setScriptInput(FILE* in) {
  io().mode = InputMode::kScript;
  io().script = in;
}
void setTerminalInput() { io().mode = InputMode::kTerminal; }
void setQueueInput(const std::vector<std::string>& answers) {
  io().mode = InputMode::kQueue;
  io().queue.assign(answers.begin(), answers.end());
}
void appendQueueInput(const std::vector<std::string>& answers) {
  io().queue.insert(io().queue.end(), answers.begin(), answers.end());
}
void setCapture(bool on) {
  io().capture = on;
  io().captured.clear();
}
std::string takeCapture() {
  std::string out;
  out.swap(io().captured);
  return out;
}

void installWinHostIo() {
  if (osInstallDialogDriver() != 0)
    printUtf8("This host cannot answer dialogs from its input: a dialog waits for a person.\n");
}

// The host's printf convention: %s and %c take wide text. The C library's wide printf
// wants %ls and %lc for that, and %s for narrow text (written %hs here).
static std::wstring toLibraryFormat(const ACHAR* f) {
  std::wstring out;
  for (const ACHAR* p = f; *p; ++p) {
    out += *p;
    if (*p != L'%') continue;
    ++p;
    if (*p == L'%') { out += *p; continue; }
    while (*p && wcschr(L"-+ #0123456789.*", *p)) out += *p++;
    bool narrow = false, hasLength = false;
    while (*p && wcschr(L"hlLqjzt", *p)) {
      if (*p == L'h' && (p[1] == L's' || p[1] == L'c')) { narrow = true; ++p; continue; }
      hasLength = true;
      out += *p++;
    }
    if (!*p) break;
    if ((*p == L's' || *p == L'c') && !narrow && !hasLength) out += L'l';
    out += *p;
  }
  return out;
}

std::wstring formatWide(const ACHAR* format, va_list ap) {
  std::wstring fmt = toLibraryFormat(format);
  std::vector<wchar_t> buf(1024);
  for (;;) {
    va_list copy;
    va_copy(copy, ap);
    int n = vswprintf(buf.data(), buf.size(), fmt.c_str(), copy);
    va_end(copy);
    if (n >= 0) return std::wstring(buf.data(), n);
    if (buf.size() >= (1u << 22)) return format;
    buf.resize(buf.size() * 4);
  }
}

}  // namespace cadhost

int acutPrintf(const ACHAR* format, ...) {
  if (!format) return 0;
  va_list ap;
  va_start(ap, format);
  std::wstring text = cadhost::formatWide(format, ap);
  va_end(ap);
  cadhost::printUtf8(cadhost::toUtf8(text));
  return (int)text.size();
}
