// The host's script lines on raw bytes: its line reader and every kind of answer its
// grammar knows (commands, keywords, points, angles, numbers, texts, picks, selections,
// message boxes, the open-file dialog, a modal dialog's actions, wait lines), run against
// a new drawing. Nothing may crash, overrun or hang, whatever the lines.
// Lines that would write or load files at a path the script names (SAVE, QSAVE, SAVEAS,
// APPLOAD, a dialog snapshot) are passed over: the fuzzer must not write about the disk.
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <string>

#include "adslib.h"
#include "arxhost.h"
#include "hostimpl.h"
#include "rxapi.h"
#include "windows.h"
#include "winhost.h"

namespace {
std::wstring firstWord(const std::string& line) {
  std::wstring w = cadhost::fromUtf8(line);
  size_t b = w.find_first_not_of(L" \t");
  if (b == std::wstring::npos) return L"";
  w = w.substr(b, w.find_first_of(L" \t", b) - b);
  while (!w.empty() && (w[0] == L'_' || w[0] == L'.' || w[0] == L'-')) w.erase(0, 1);
  return cadhost::upper(w);
}

bool touchesFiles(const std::string& line) {
  const std::wstring w = firstWord(line);
  return w == L"SAVE" || w == L"QSAVE" || w == L"SAVEAS" || w == L"APPLOAD" || w == L"SNAPSHOT";
}

void keywordCommand() {
  ACHAR kw[132];
  acedInitGet(RSG_NONULL, L"Yes No cOunter _Yes No cOunter");
  acedGetKword(L"Choose [Yes/No/cOunter]: ", kw);
  int n;
  acedInitGet(RSG_NOZERO | RSG_NONEG, L"Auto");
  acedGetInt(L"Count or [Auto]: ", &n);
  ads_real r;
  acedGetAngle(nullptr, L"Angle: ", &r);
}

void selectionCommand() {
  ads_name ss, en;
  const ACHAR* prompts[2] = {L"Select a duct end: ", L"Remove: "};
  if (acedSSGet(L":$:S", prompts, nullptr, nullptr, ss) == RTNORM) acedSSFree(ss);
  if (acedSSGet(L"L", nullptr, nullptr, nullptr, ss) == RTNORM) acedSSFree(ss);
  if (acedSSGet(nullptr, nullptr, nullptr, nullptr, ss) == RTNORM) acedSSFree(ss);
  ads_point at;
  acedEntSel(L"Select object: ", en, at);
}

void fileCommand() {
  MessageBoxA(nullptr, "Replace the unit?", "Zephyr", MB_YESNOCANCEL);
  char path[260] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = "Unit files (*.xml)\0*.xml\0All files\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = sizeof path;
  GetOpenFileNameA(&ofn);
}

INT_PTR CALLBACK dialogProc(HWND d, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    for (const char* item : {"Supply", "Exhaust", "Extract"}) SendDlgItemMessageA(d, 101, CB_ADDSTRING, 0, (LPARAM)item);
    for (const char* item : {"315", "400", "500"}) SendDlgItemMessageA(d, 102, LB_ADDSTRING, 0, (LPARAM)item);
    return TRUE;
  }
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(d, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

void dialogCommand() {
  // The template is among the program's own resources (script_dialog.rc).
  DialogBoxParamA(nullptr, "DLG_UNIT", nullptr, dialogProc, 0);
  // The drawing library's caches go at exit, so leak checks see only real leaks; registered
  // once the windows' own tables exist, so that it runs before they are destroyed.
  static const bool registered = (std::atexit(winShutdownGraphics), true);
  (void)registered;
}

void start() {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  WinHostIo io;
  io.readLine = [](const std::string& prompt, std::string& answer) {
    if (!cadhost::readAnswer(prompt, answer)) return false;
    if (touchesFiles(answer)) answer = "show";
    return true;
  };
  io.print = [](const std::string& text) { cadhost::printUtf8(text); };
  winSetHostIo(io);
  acedRegCmds->addCommand(L"FUZZ", L"KWORD", L"KWORD", ACRX_CMD_MODAL, keywordCommand);
  acedRegCmds->addCommand(L"FUZZ", L"PICK", L"PICK", ACRX_CMD_MODAL, selectionCommand);
  acedRegCmds->addCommand(L"FUZZ", L"ASK", L"ASK", ACRX_CMD_MODAL, fileCommand);
  acedRegCmds->addCommand(L"FUZZ", L"DIALOG", L"DIALOG", ACRX_CMD_MODAL, dialogCommand);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (start(), true);
  (void)started;
  if (size == 0) return 0;
  FILE* script = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!script) return 0;
  cadhost::setScriptInput(script);
  cadhost::setCapture(true);
  AcDbDatabase* db = new AcDbDatabase(true);
  acdbHostApplicationServices()->setWorkingDatabase(db);
  std::string line;
  while (cadhost::readAnswer("Command: ", line))
    if (!touchesFiles(line) && !cadhost::runCommandLine(line)) break;
  cadhost::runCommand(L"BCLOSE", L"");  // the block being edited belongs to this drawing
  acdbHostApplicationServices()->setWorkingDatabase(nullptr);
  delete db;
  // ZEPHYR_FUZZ_SHOW=1 prints the session, to see what an input reaches.
  if (std::getenv("ZEPHYR_FUZZ_SHOW")) std::fputs(cadhost::takeCapture().c_str(), stderr);
  cadhost::setCapture(false);
  std::fclose(script);
  return 0;
}
