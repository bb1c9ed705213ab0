// Guards the modal loop: user actions reaching the procedure, refusals, and the text form.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "window.h"

namespace {

INT_PTR runTestDialog(TestDialogState& state, HWND owner = nullptr) {
  return DialogBoxIndirectParamA(nullptr, &kTestDialog, owner, testDialogProc, reinterpret_cast<LPARAM>(&state));
}

bool has(const TestDialogState& s, const std::string& event) {
  for (const std::string& e : s.events) {
    if (e == event) return true;
  }
  return false;
}

TEST(ModalDialog, PrintsCaptionVisibleControlsItemsAndStates) {
  FakeHost host({"show"});
  TestDialogState state;
  runTestDialog(state);
  EXPECT_TRUE(host.saw("Dialog \"Test dialog\"\n"));
  EXPECT_TRUE(host.saw("  [456] group box \"Frame\"\n"));
  EXPECT_TRUE(host.saw("  [-] text \"Centred\"\n"));
  EXPECT_TRUE(host.saw("  [210] combo box, selected \"Alpha\": \"Alpha\", \"Beta\", \"Gamma\"\n"));
  EXPECT_TRUE(host.saw("  [211] combo box (disabled), selected \"Locked\": \"Locked\"\n"));
  EXPECT_FALSE(host.saw("[212]"));
  EXPECT_TRUE(host.saw("  [100] picture\n"));
  EXPECT_TRUE(host.saw("  [200] list box, 3 lines:\n        Unit\tAHU-1\n        \n             Supply connection\n"));
  EXPECT_TRUE(host.saw("  [1] default button \"OK\"\n"));
  EXPECT_TRUE(host.saw("  [3] button (disabled) \"Apply\"\n"));
  // Printed once on opening and once for "show".
  size_t first = host.output.find("Dialog \"Test dialog\"");
  EXPECT_NE(host.output.find("Dialog \"Test dialog\"", first + 1), std::string::npos);
}

TEST(ModalDialog, SelectNotifiesAndOkReadsTheChoices) {
  FakeHost host({"select 210 beta", "click 1"});
  TestDialogState state;
  EXPECT_EQ(runTestDialog(state), IDOK);
  EXPECT_TRUE(has(state, "selchange 210"));
  EXPECT_EQ(state.comboChoice, 20);
  // Shown, selected, but disabled: no choice.
  EXPECT_EQ(state.lockedChoice, -1);
  EXPECT_TRUE(host.lines.empty());
}

TEST(ModalDialog, RefusesUnreachableControlsAndUnknownLinesAndAsksAgain) {
  FakeHost host({"click 3", "select 211 Locked", "click 212", "click 999", "select 210 Delta", "dance", "click 456",
                 "click abc", "escape"});
  TestDialogState state;
  EXPECT_EQ(runTestDialog(state), IDCANCEL);
  EXPECT_TRUE(host.saw("Control 3 is disabled.\n"));
  EXPECT_TRUE(host.saw("Control 211 is disabled.\n"));
  EXPECT_TRUE(host.saw("Control 212 is hidden.\n"));
  EXPECT_TRUE(host.saw("There is no control 999.\n"));
  EXPECT_TRUE(host.saw("Control 210 has no item \"Delta\".\n"));
  EXPECT_TRUE(host.saw("Unknown dialog command \"dance\""));
  EXPECT_TRUE(host.saw("Control 456 is not a button.\n"));
  EXPECT_TRUE(host.saw("\"abc\" is not a control id.\n"));
  EXPECT_EQ(host.reads, 9);
  EXPECT_FALSE(has(state, "selchange 210"));
}

TEST(ModalDialog, CloseBoxGoesThroughTheProcedure) {
  {
    FakeHost host({"close"});
    TestDialogState state;
    EXPECT_EQ(runTestDialog(state), IDCANCEL);
    EXPECT_TRUE(has(state, "close"));
    EXPECT_TRUE(has(state, "cancel"));
  }
  {
    // Left to the dialog manager, the close box sends the Cancel command.
    FakeHost host({"close"});
    TestDialogState state;
    state.handleClose = false;
    EXPECT_EQ(runTestDialog(state), IDCANCEL);
    EXPECT_TRUE(has(state, "close"));
    EXPECT_TRUE(has(state, "cancel"));
  }
}

TEST(ModalDialog, EscapeCancelLineAndEndOfInputCancel) {
  for (std::deque<std::string> lines : {std::deque<std::string>{"escape"}, std::deque<std::string>{"*cancel*"},
                                        std::deque<std::string>{}}) {
    FakeHost host(lines);
    TestDialogState state;
    EXPECT_EQ(runTestDialog(state), IDCANCEL);
    EXPECT_TRUE(has(state, "cancel"));
  }
}

INT_PTR CALLBACK ignoringProc(HWND dialog, UINT msg, WPARAM, LPARAM) {
  return msg == WM_INITDIALOG ? TRUE : FALSE;
}

TEST(ModalDialog, EndOfInputEndsADialogThatIgnoresCancel) {
  FakeHost host({"escape", "close"});
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &kTestDialog, nullptr, ignoringProc, 0), IDCANCEL);
  EXPECT_TRUE(host.saw("Input ended: the dialog is closed with Cancel.\n"));
  EXPECT_EQ(host.reads, 3);
}

TEST(ModalDialog, EndDialogDuringInitialisationNeverShows) {
  FakeHost host({"click 1"});
  TestDialogState state;
  state.endInInit = true;
  EXPECT_EQ(runTestDialog(state), 42);
  EXPECT_EQ(host.reads, 0);
  EXPECT_FALSE(host.saw("Dialog"));
}

TEST(ModalDialog, MissingTemplateOrOwnerFailsWithoutAsking) {
  FakeHost host;
  EXPECT_EQ(DialogBoxParamA(nullptr, "NO_SUCH_DIALOG", nullptr, ignoringProc, 0), -1);
  EXPECT_TRUE(host.saw("DialogBox: no dialog template NO_SUCH_DIALOG in the module.\n"));
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, nullptr, nullptr, ignoringProc, 0), -1);
  HWND gone = CreateWindowExA(0, "FRAME", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &kTestDialog, gone, ignoringProc, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(host.reads, 0);
}

TEST(ModalDialog, WindowsAreGoneAfterTheDialog) {
  static HWND seen = nullptr, seenCombo = nullptr;
  struct Local {
    static INT_PTR CALLBACK proc(HWND dialog, UINT msg, WPARAM, LPARAM) {
      if (msg == WM_INITDIALOG) {
        seen = dialog;
        seenCombo = GetDlgItem(dialog, ID_COMBO);
        EXPECT_EQ(GetParent(seenCombo), dialog);
        EXPECT_EQ(GetDlgCtrlID(seenCombo), ID_COMBO);
        EndDialog(dialog, 7);
      }
      return FALSE;
    }
  };
  FakeHost host;
  EXPECT_EQ(DialogBoxIndirectParamA(nullptr, &kTestDialog, nullptr, Local::proc, 0), 7);
  EXPECT_FALSE(IsWindow(seen));
  EXPECT_FALSE(IsWindow(seenCombo));
  EXPECT_EQ(SendMessageA(seenCombo, CB_GETCOUNT, 0, 0), 0);
}

}  // namespace
