// The script's dialog driver on Windows (osInstallDialogDriver of hostos.h). The platform's
// dialog manager runs every dialog; a CBT hook on the host's thread sees each top-level
// dialog when it is made and gives it a timer. The timer's procedure runs inside the
// dialog's own modal loop: the first time it prints the dialog as text, then each time it
// reads one script line and acts on it through window messages, as a UI test tool would.
// Message boxes (run by user32) and the open-file dialog (run by comdlg32) are told apart
// by the module of their dialog procedure and answered in the words of the Windows stand-in.
#include "hostos.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialogdriver_win32.h"
#include "dialogscript.h"
#include "hostimpl.h"

namespace cadhost {
namespace {

enum class DialogKind { Modal, MessageBox, OpenFile };

struct DrivenDialog {
  HWND window = nullptr;
  DialogKind kind = DialogKind::Modal;
  bool known = false;       // kind told (once its procedure is set)
  bool printed = false;
  bool busy = false;        // a line of it runs now (a nested dialog may be open)
  int hiddenTicks = 0;      // ticks it has been waited for to show
  bool inputEnded = false;  // Escape was pressed for the end of input
};

const UINT_PTR kDriverTimer = 0x5A44;
const UINT kTickMs = 10;
// How long a dialog is waited for to show before its lines run anyway (one its procedure
// keeps hidden must not hold the session).
const int kShowTicks = 100;
HHOOK cbtHook = nullptr;
// The dialogs now open, the innermost last: only that one takes script lines.
std::vector<DrivenDialog> openDialogs;

DrivenDialog* driven(HWND window) {
  for (DrivenDialog& d : openDialogs)
    if (d.window == window) return &d;
  return nullptr;
}

void say(const std::string& text) { printUtf8(text); }

bool isClass(HWND window, const wchar_t* name) {
  wchar_t found[64] = L"";
  GetClassNameW(window, found, 64);
  return lstrcmpiW(found, name) == 0;
}

DWORD styleOf(HWND window) { return (DWORD)GetWindowLongPtrW(window, GWL_STYLE); }

void command(HWND dialog, int id, WORD code, HWND control) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)control);
}

bool shows(HWND control) { return (styleOf(control) & WS_VISIBLE) != 0; }

HWND reachableControl(HWND dialog, const std::string& idText) {
  return reachableDialogControl(dialog, idText, shows, say);
}

// The item whose text is the whole of the given text (as the Windows stand-in selects),
// set as the selection and told to the dialog as the user's change.
void selectItem(HWND dialog, const std::string& idText, const std::string& text) {
  HWND control = reachableControl(dialog, idText);
  if (!control) return;
  const bool combo = isClass(control, L"ComboBox");
  if (!combo && !isClass(control, L"ListBox")) {
    say("Control " + idText + " is not a combo box or list box.\n");
    return;
  }
  const std::wstring wide = fromUtf8(text);
  const LRESULT index =
      SendMessageW(control, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)wide.c_str());
  if (index < 0) {
    say("Control " + idText + " has no item \"" + text + "\".\n");
    return;
  }
  SendMessageW(control, combo ? CB_SETCURSEL : LB_SETCURSEL, (WPARAM)index, 0);
  if (combo || (styleOf(control) & LBS_NOTIFY))
    command(dialog, GetDlgCtrlID(control), combo ? CBN_SELCHANGE : LBN_SELCHANGE, control);
}

void clickButton(HWND dialog, const std::string& idText) {
  HWND control = reachableControl(dialog, idText);
  if (!control) return;
  if (!isClass(control, L"Button") || (styleOf(control) & BS_TYPEMASK) == BS_GROUPBOX) {
    say("Control " + idText + " is not a button.\n");
    return;
  }
  SendMessageW(control, BM_CLICK, 0, 0);
}

void takeSnapshot(HWND dialog, const std::string& path) {
  if (snapshotDialog(dialog, fromUtf8(path)) == 0) say("Snapshot written to " + path + ".\n");
  else say("Cannot write the snapshot " + path + ".\n");
}

void pressEscape(HWND dialog) { pressDialogEscape(dialog, say); }

void runModalLine(HWND dialog, const std::string& line) {
  DialogLineActions act;
  act.say = say;
  act.select = [dialog](const std::string& id, const std::string& text) { selectItem(dialog, id, text); };
  act.click = [dialog](const std::string& id) { clickButton(dialog, id); };
  act.close = [dialog] { SendMessageW(dialog, WM_CLOSE, 0, 0); };
  act.escape = [dialog] { pressEscape(dialog); };
  act.show = [dialog] { say(describeDialogWindow(dialog)); };
  act.layout = [dialog] { say(describeDialogLayout(dialog)); };
  act.snapshot = [dialog](const std::string& path) { takeSnapshot(dialog, path); };
  runDialogLine(line, act);
}

void stepModal(DrivenDialog& d) {
  HWND dialog = d.window;
  if (!d.printed) {
    d.printed = true;
    say(describeDialogWindow(dialog));
  }
  if (d.inputEnded) {
    // Input is over and the procedure did not end the dialog on Cancel: end it here,
    // or the dialog would wait for ever.
    say("Input ended: the dialog is closed with Cancel.\n");
    EndDialog(dialog, IDCANCEL);
    return;
  }
  std::string line;
  if (!readAnswer("Dialog: ", line)) {
    d.inputEnded = true;
    pressEscape(dialog);
    return;
  }
  runModalLine(dialog, line);
}

struct Answer {
  const char* word;
  int id;
};

// The box's answers in the order the Windows stand-in offers them, as far as it has them.
std::vector<Answer> answersOf(HWND box) {
  static const Answer all[] = {{"abort", IDABORT}, {"retry", IDRETRY}, {"ignore", IDIGNORE}, {"yes", IDYES},
                               {"no", IDNO},       {"ok", IDOK},       {"cancel", IDCANCEL}};
  std::vector<Answer> out;
  for (const Answer& a : all)
    if (GetDlgItem(box, a.id)) out.push_back(a);
  return out;
}

// What Escape (or the end of input) gives: Cancel where the box has it, else its
// negative answer (No, Abort), else OK.
int escapeAnswer(HWND box) {
  for (int id : {IDCANCEL, IDNO, IDABORT, IDOK})
    if (GetDlgItem(box, id)) return id;
  return IDCANCEL;
}

// The box's icon, known by the shared icons the system loads for each kind (IDI_HAND,
// IDI_QUESTION, IDI_EXCLAMATION, IDI_ASTERISK).
const char* iconName(HWND box) {
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!isClass(c, L"Static") || (styleOf(c) & SS_TYPEMASK) != SS_ICON) continue;
    const HICON icon = (HICON)SendMessageW(c, STM_GETICON, 0, 0);
    if (!icon) continue;
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32513))) return "Error: ";
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32514))) return "Question: ";
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32515))) return "Warning: ";
    if (icon == LoadIconW(nullptr, MAKEINTRESOURCEW(32516))) return "Information: ";
  }
  return "";
}

std::string choicesOf(const std::vector<Answer>& answers) {
  std::string out;
  for (size_t i = 0; i < answers.size(); ++i) out += (i ? "/" : "") + std::string(answers[i].word);
  return out;
}

void answerBox(HWND box, int id) { command(box, id, BN_CLICKED, GetDlgItem(box, id)); }

void stepMessageBox(DrivenDialog& d) {
  HWND box = d.window;
  const std::vector<Answer> answers = answersOf(box);
  const std::string choices = choicesOf(answers);
  if (!d.printed) {
    d.printed = true;
    // The message text is the static control 0xFFFF of every message box.
    say("Message box \"" + windowTextUtf8(box) + "\"\n" + iconName(box) +
        windowTextUtf8(GetDlgItem(box, 0xFFFF)) + "\n");
  }
  std::string line;
  if (!readAnswer("Answer (" + choices + "): ", line)) return answerBox(box, escapeAnswer(box));
  const std::string word = dialogLower(dialogTrim(line));
  if (word == "*cancel*") return answerBox(box, escapeAnswer(box));
  for (const Answer& a : answers)
    if (word == a.word) return answerBox(box, a.id);
  say("Please answer " + choices + ".\n");
}

// Controls of the system's file dialogs (dlgs.h): the file name box (a combo box or an edit
// box, by the dialog's style) and the file types.
const int kFileNameCombo = 0x47c;  // cmb13
const int kFileNameEdit = 0x480;   // edt1
const int kTypesCombo = 0x470;     // cmb1

HWND fileNameControl(HWND dialog) {
  for (int id : {kFileNameCombo, kFileNameEdit}) {
    HWND c = GetDlgItem(dialog, id);
    if (c && (styleOf(c) & WS_VISIBLE)) return c;
  }
  return nullptr;
}

// The dialog's folder. The dialog keeps it in the character size of the call that made it,
// which a driver cannot see: a text whose second byte is zero is wide.
std::string folderOf(HWND dialog) {
  char buffer[2 * MAX_PATH + 2] = {};
  if (SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, (LPARAM)buffer) <= 0) return std::string();
  if (buffer[0] && !buffer[1]) return toUtf8(reinterpret_cast<const wchar_t*>(buffer));
  wchar_t wide[MAX_PATH + 1] = {};
  MultiByteToWideChar(CP_ACP, 0, buffer, -1, wide, MAX_PATH);
  return toUtf8(wide);
}

std::string typesOf(HWND dialog) {
  HWND types = GetDlgItem(dialog, kTypesCombo);
  std::string out;
  const int count = types ? (int)SendMessageW(types, CB_GETCOUNT, 0, 0) : 0;
  for (int i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(types, CB_GETLBTEXTLEN, (WPARAM)i, 0);
    if (length < 0) continue;
    std::vector<wchar_t> text((size_t)length + 1, L'\0');
    SendMessageW(types, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text.data());
    out += (i ? ", " : "") + toUtf8(text.data());
  }
  return out;
}

bool isAbsolute(const std::string& path) {
  return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

// The chosen path as the dialog will take it, for the checks a person would see first.
std::string chosenPath(HWND dialog, const std::string& answer) {
  if (isAbsolute(answer)) return answer;
  std::string folder = folderOf(dialog);
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + answer;
}

bool hasAttributes(const std::string& path, bool folder) {
  const DWORD a = GetFileAttributesW(fromUtf8(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && ((a & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder;
}

void stepOpenFile(DrivenDialog& d) {
  HWND dialog = d.window;
  HWND fileName = fileNameControl(dialog);
  const std::string current = fileName ? windowTextUtf8(fileName) : std::string();
  if (!d.printed) {
    d.printed = true;
    std::string info = "Open file \"" + windowTextUtf8(dialog) + "\"\n  Folder: " + folderOf(dialog) + "\n";
    if (!current.empty()) info += "  File: " + current + "\n";
    const std::string types = typesOf(dialog);
    if (!types.empty()) info += "  Types: " + types + "\n";
    say(info);
  }
  std::string line;
  if (!readAnswer("File name: ", line)) return command(dialog, IDCANCEL, BN_CLICKED, GetDlgItem(dialog, IDCANCEL));
  std::string answer = dialogTrim(line);
  if (answer == "*cancel*") return command(dialog, IDCANCEL, BN_CLICKED, GetDlgItem(dialog, IDCANCEL));
  if (answer.size() >= 2 && answer.front() == '"' && answer.back() == '"') answer = answer.substr(1, answer.size() - 2);
  if (answer.empty()) answer = current;
  if (answer.empty()) return say("Type a file name, or *cancel*.\n");
  // The dialog would say these in a message box of its own; the script hears them as the
  // Windows stand-in says them and answers again.
  const std::string path = chosenPath(dialog, answer);
  const size_t cut = path.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
  const bool named = path.find('.', cut == std::string::npos ? 0 : cut) != std::string::npos;
  if (!hasAttributes(folder, true)) return say("The folder " + folder + " does not exist.\n");
  if (named && !hasAttributes(path, false)) return say("File not found: " + path + "\n");
  if (!fileName) return command(dialog, IDCANCEL, BN_CLICKED, GetDlgItem(dialog, IDCANCEL));
  // The file name box takes "/" for a character no name may hold: the path goes in with
  // the platform's own separators.
  std::wstring typed = fromUtf8(path);
  std::replace(typed.begin(), typed.end(), L'/', L'\\');
  SetWindowTextW(fileName, typed.c_str());
  command(dialog, IDOK, BN_CLICKED, GetDlgItem(dialog, IDOK));
}

bool madeBy(HWND dialog, const wchar_t* module) {
  HMODULE system = GetModuleHandleW(module);
  if (!system) return false;
  HMODULE owner = nullptr;
  const LONG_PTR procedure = GetWindowLongPtrW(dialog, DWLP_DLGPROC);
  if (procedure && GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      (LPCWSTR)procedure, &owner) &&
      owner == system)
    return true;
  return (HMODULE)GetWindowLongPtrW(dialog, GWLP_HINSTANCE) == system;
}

DialogKind kindOf(HWND dialog) {
  if (madeBy(dialog, L"user32.dll")) return DialogKind::MessageBox;
  if (madeBy(dialog, L"comdlg32.dll")) return DialogKind::OpenFile;
  return DialogKind::Modal;
}

void CALLBACK onTick(HWND window, UINT, UINT_PTR, DWORD) {
  DrivenDialog* d = driven(window);
  // Only the innermost dialog takes lines; an outer one waits while its line runs. The
  // modal loop may run a tick before it shows the dialog: its lines wait until it shows.
  if (!d || d->busy || d != &openDialogs.back()) return;
  if (!IsWindowVisible(window) && d->hiddenTicks++ < kShowTicks) return;
  d->busy = true;
  if (!d->known) {
    d->known = true;
    d->kind = kindOf(window);
  }
  DrivenDialog step = *d;
  switch (step.kind) {
    case DialogKind::Modal: stepModal(step); break;
    case DialogKind::MessageBox: stepMessageBox(step); break;
    case DialogKind::OpenFile: stepOpenFile(step); break;
  }
  // The line may have opened and closed dialogs, or ended this one: find it again.
  if ((d = driven(window)) != nullptr) {
    *d = step;
    d->busy = false;
  }
}

LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = (HWND)wParam;
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTW* create = ((CBT_CREATEWNDW*)lParam)->lpcs;
    if (!(create->style & WS_CHILD) && isClass(window, L"#32770")) {
      DrivenDialog d;
      d.window = window;
      openDialogs.push_back(d);
      SetTimer(window, kDriverTimer, kTickMs, onTick);
    }
  } else if (code == HCBT_DESTROYWND && driven(window)) {
    KillTimer(window, kDriverTimer);
    openDialogs.erase(std::remove_if(openDialogs.begin(), openDialogs.end(),
                                     [&](const DrivenDialog& d) { return d.window == window; }),
                      openDialogs.end());
  }
  return CallNextHookEx(cbtHook, code, wParam, lParam);
}

}  // namespace

int osInstallDialogDriver() {
  if (cbtHook) return 0;
  cbtHook = SetWindowsHookExW(WH_CBT, onCbt, nullptr, GetCurrentThreadId());
  return cbtHook ? 0 : -1;
}

}  // namespace cadhost
