// A dialog with every kind of control the system's templates use, its procedure, and a
// host that feeds scripted answer lines and keeps what the stand-in printed.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "test_dialog.h"
#include "windows.h"
#include "winhost.h"

// The test dialog, compiled from test_dialog.rc into the test program's resources.
extern const DLGTEMPLATE& kTestDialog;

// What the test procedure saw and how it behaves.
struct TestDialogState {
  bool handleClose = true;     // WM_CLOSE posts the Cancel command, as the unit dialog does
  bool endInInit = false;      // ends the dialog from WM_INITDIALOG
  bool center = true;          // centres itself on its parent when it starts
  bool paintPicture = true;    // paints control 100 on WM_PAINT
  std::vector<std::string> events;  // "close", "selchange 210", "paint", "draw 200 0", ...
  LRESULT comboChoice = -2, lockedChoice = -2;  // getComboSelectionData at OK
  RECT windowAtInit{};
};

INT_PTR CALLBACK testDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

struct FakeHost {
  std::deque<std::string> lines;
  std::string output;
  int reads = 0;

  explicit FakeHost(std::deque<std::string> answers = {}) : lines(std::move(answers)) {
    WinHostIo io;
    io.readLine = [this](const std::string& prompt, std::string& answer) {
      ++reads;
      output += prompt;
      if (lines.empty()) return false;
      answer = lines.front();
      lines.pop_front();
      output += answer + "\n";
      return true;
    };
    io.print = [this](const std::string& text) { output += text; };
    winSetHostIo(io);
  }
  ~FakeHost() { winSetHostIo(WinHostIo{}); }
  bool saw(const std::string& text) const { return output.find(text) != std::string::npos; }
};
