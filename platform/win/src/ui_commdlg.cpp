// Message boxes and the open-file dialog, answered from the host's input lines.
#include "ui_internal.h"
#include "base_internal.h"

#include <sys/stat.h>

#include <cstring>
#include <unistd.h>

using namespace zui;

namespace {

DWORD lastDialogError = 0;

struct Answer {
  const char* word;
  int id;
};

std::vector<Answer> answersOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {{"ok", IDOK}, {"cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE: return {{"abort", IDABORT}, {"retry", IDRETRY}, {"ignore", IDIGNORE}};
    case MB_YESNOCANCEL: return {{"yes", IDYES}, {"no", IDNO}, {"cancel", IDCANCEL}};
    case MB_YESNO: return {{"yes", IDYES}, {"no", IDNO}};
    case MB_RETRYCANCEL: return {{"retry", IDRETRY}, {"cancel", IDCANCEL}};
    default: return {{"ok", IDOK}};
  }
}

// What Escape (or the end of input) gives: Cancel where the box has it, else the box's
// only or negative answer.
int escapeAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDOK;
  }
}

const char* iconName(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return "Error: ";
    case MB_ICONQUESTION: return "Question: ";
    case MB_ICONEXCLAMATION: return "Warning: ";
    case MB_ICONASTERISK: return "Information: ";
    default: return "";
  }
}

bool isAbsolute(const std::string& path) {
  return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

std::string slashes(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

bool isFile(const std::string& path) {
  struct stat st;
  return stat(slashes(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
  struct stat st;
  return stat(slashes(path).empty() ? "." : slashes(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

size_t nameStart(const std::string& path) {
  size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? 0 : sep + 1;
}

// The filter's pairs of description and pattern, as "XML (*.xml)" lines.
std::string filterText(const char* filter) {
  std::string out;
  for (const char* p = filter; p && *p;) {
    const char* pattern = p + strlen(p) + 1;
    if (!out.empty()) out += ", ";
    out += p;
    if (!*pattern) break;
    p = pattern + strlen(pattern) + 1;
  }
  return out;
}

std::string chosenPath(const OPENFILENAMEA* ofn, std::string answer) {
  if (answer.size() >= 2 && answer.front() == '"' && answer.back() == '"') answer = answer.substr(1, answer.size() - 2);
  std::string path = answer;
  if (!isAbsolute(path) && ofn->lpstrInitialDir && *ofn->lpstrInitialDir) {
    std::string folder = ofn->lpstrInitialDir;
    if (folder.back() != '/' && folder.back() != '\\') folder += '/';
    path = folder + path;
  }
  std::string name = path.substr(nameStart(path));
  if (ofn->lpstrDefExt && *ofn->lpstrDefExt && name.find('.') == std::string::npos && !name.empty())
    path += std::string(".") + ofn->lpstrDefExt;
  // The full path as the file system spells it: names match in any letter case here.
  return zwin::resolveAbsolutePath(path.c_str());
}

void storeChoice(OPENFILENAMEA* ofn, const std::string& path) {
  memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
  size_t name = nameStart(path);
  ofn->nFileOffset = static_cast<WORD>(name);
  size_t dot = path.rfind('.');
  ofn->nFileExtension = static_cast<WORD>(dot != std::string::npos && dot >= name ? dot + 1 : path.size());
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
    std::string title = path.substr(name).substr(0, ofn->nMaxFileTitle - 1);
    memcpy(ofn->lpstrFileTitle, title.c_str(), title.size() + 1);
  }
}

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::vector<Answer> answers = answersOf(type);
  std::string choices;
  for (size_t i = 0; i < answers.size(); ++i) choices += (i ? "/" : "") + std::string(answers[i].word);
  say(std::string("Message box \"") + (caption ? caption : "Error") + "\"\n" + iconName(type) + (text ? text : "") +
      "\n");
  for (;;) {
    std::string line;
    if (!ask("Answer (" + choices + "): ", line)) return escapeAnswer(type);
    std::string word = lower(trim(line));
    if (word == "*cancel*") return escapeAnswer(type);
    for (const Answer& a : answers) {
      if (word == a.word) return a.id;
    }
    say("Please answer " + choices + ".\n");
  }
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn) {
  lastDialogError = 0;
  if (!ofn || ofn->lStructSize != sizeof(OPENFILENAMEA)) {
    lastDialogError = CDERR_STRUCTSIZE;
    return FALSE;
  }
  if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
    lastDialogError = CDERR_INITIALIZATION;
    return FALSE;
  }
  std::string current(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
  std::string info = std::string("Open file \"") + (ofn->lpstrTitle ? ofn->lpstrTitle : "Open") + "\"\n";
  if (ofn->lpstrInitialDir) info += std::string("  Folder: ") + ofn->lpstrInitialDir + "\n";
  if (!current.empty()) info += "  File: " + current + "\n";
  if (ofn->lpstrFilter) info += "  Types: " + filterText(ofn->lpstrFilter) + "\n";
  say(info);
  for (;;) {
    std::string line;
    if (!ask("File name: ", line)) return FALSE;
    std::string answer = trim(line);
    if (answer == "*cancel*") return FALSE;
    if (answer.empty()) answer = current;
    if (answer.empty()) {
      say("Type a file name, or *cancel*.\n");
      continue;
    }
    std::string path = chosenPath(ofn, answer);
    std::string folder = path.substr(0, nameStart(path));
    if ((ofn->Flags & OFN_PATHMUSTEXIST) && !isFolder(folder)) {
      say("The folder " + folder + " does not exist.\n");
      continue;
    }
    if ((ofn->Flags & OFN_FILEMUSTEXIST) && !isFile(path)) {
      say("File not found: " + path + "\n");
      continue;
    }
    if ((ofn->Flags & OFN_NOREADONLYRETURN) && isFile(path) && access(slashes(path).c_str(), W_OK) != 0) {
      say("The file " + path + " is read-only.\n");
      continue;
    }
    if (path.size() + 1 > ofn->nMaxFile) {
      say("The path is too long: " + std::to_string(path.size()) + " characters, at most " +
          std::to_string(ofn->nMaxFile - 1) + ".\n");
      lastDialogError = FNERR_BUFFERTOOSMALL;
      return FALSE;
    }
    storeChoice(ofn, path);
    return TRUE;
  }
}

DWORD CommDlgExtendedError(void) { return lastDialogError; }
