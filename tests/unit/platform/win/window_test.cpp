// Guards window placement, the window helpers and the controls' message results.
#include <gtest/gtest.h>

#include <cstring>

#include "dialog_fixture.h"
#include "window.h"

namespace {

int width(const RECT& r) { return r.right - r.left; }
int height(const RECT& r) { return r.bottom - r.top; }

HWND popup(int x, int y, int cx, int cy, HWND owner = nullptr) {
  return CreateWindowExA(0, "FRAME", "popup", WS_POPUP | WS_VISIBLE, x, y, cx, cy, owner, nullptr, nullptr, nullptr);
}

TEST(Placement, DialogWithoutParentOpensInTheMiddleOfTheScreen) {
  FakeHost host;
  TestDialogState state;
  DialogBoxIndirectParamA(nullptr, &kTestDialog, nullptr, testDialogProc, reinterpret_cast<LPARAM>(&state));
  const RECT& r = state.windowAtInit;
  EXPECT_EQ(r.left, (1920 - width(r)) / 2);
  EXPECT_EQ(r.top, (1080 - height(r)) / 2);
  // 200 x 150 dialog units with the 6 x 12 base units its 8-point font has in Liberation
  // Sans, as the real dialog manager measures that font, plus frame and 19-pixel caption.
  EXPECT_EQ(width(r), 300 + 2 * 3);
  EXPECT_EQ(height(r), 225 + 19 + 2 * 3);
}

TEST(Placement, DialogOpensCentredOnItsOwner) {
  FakeHost host;
  HWND owner = popup(100, 50, 1001, 701);
  TestDialogState state;
  DialogBoxIndirectParamA(nullptr, &kTestDialog, owner, testDialogProc, reinterpret_cast<LPARAM>(&state));
  const RECT& r = state.windowAtInit;
  EXPECT_EQ(r.left, (100 + 1101) / 2 - width(r) / 2);
  EXPECT_EQ(r.top, (50 + 751) / 2 - height(r) / 2);
  DestroyWindow(owner);
}

TEST(Placement, CenterOnParentRoundsTowardsZeroAndKeepsTheSize) {
  HWND parent = popup(-101, -51, 101, 51);
  HWND child = popup(500, 500, 31, 11, parent);
  ASSERT_EQ(GetParent(child), parent);
  centerOnParent(child);
  RECT r;
  GetWindowRect(child, &r);
  // (-101 + 0) / 2 - 31 / 2 = -50 - 15; (-51 + 0) / 2 - 11 / 2 = -25 - 5
  EXPECT_EQ(r.left, -65);
  EXPECT_EQ(r.top, -30);
  EXPECT_EQ(width(r), 31);
  EXPECT_EQ(height(r), 11);
  centerOnScreen(child);
  GetWindowRect(child, &r);
  EXPECT_EQ(r.left, (1920 - 31) / 2);
  EXPECT_EQ(r.top, (1080 - 11) / 2);
  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(child)) << "an owned popup is destroyed with its owner here";
}

TEST(Placement, WindowPlacementRoundTrip) {
  HWND w = popup(10, 20, 300, 200);
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  ASSERT_TRUE(GetWindowPlacement(w, &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(wp.rcNormalPosition.left, 10);
  wp.rcNormalPosition = RECT{40, 50, 140, 150};
  wp.showCmd = SW_HIDE;
  ASSERT_TRUE(SetWindowPlacement(w, &wp));
  RECT r;
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(width(r), 100);
  EXPECT_FALSE(IsWindowVisible(w));
  SetWindowPos(w, nullptr, 0, 0, 5, 6, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, 40);
  EXPECT_EQ(width(r), 5);
  DestroyWindow(w);
}

struct Controls : ::testing::Test {
  HWND frame = popup(0, 0, 400, 300);
  HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 10, 10, 100, 200, frame,
                               reinterpret_cast<HMENU>(210), nullptr, nullptr);
  HWND list = CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_HASSTRINGS, 10, 50, 100, 100, frame,
                              reinterpret_cast<HMENU>(200), nullptr, nullptr);
  ~Controls() override { DestroyWindow(frame); }
  LRESULT cb(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(combo, msg, w, l); }
  LRESULT add(const char* text) { return cb(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
};

TEST_F(Controls, ComboBoxAnswersWithTheRealErrorValues) {
  EXPECT_EQ(cb(CB_GETCURSEL), CB_ERR);
  EXPECT_EQ(cb(CB_GETITEMDATA, 0), CB_ERR);
  EXPECT_EQ(cb(CB_GETLBTEXTLEN, 0), CB_ERR);
  EXPECT_EQ(add("Supply 1"), 0);
  EXPECT_EQ(add("Supply 2"), 1);
  EXPECT_EQ(cb(CB_SETITEMDATA, 1, 77), 0);
  EXPECT_EQ(cb(CB_SETITEMDATA, 2, 77), CB_ERR);
  EXPECT_EQ(cb(CB_GETITEMDATA, 1), 77);
  EXPECT_EQ(cb(CB_SETCURSEL, 1), 1);
  EXPECT_EQ(cb(CB_SETCURSEL, 5), CB_ERR);
  EXPECT_EQ(cb(CB_GETCURSEL), CB_ERR) << "a bad index clears the selection";
  EXPECT_EQ(cb(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("SUPPLY 2")), 1);
  EXPECT_EQ(cb(CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Supply")), CB_ERR);
  // The search starts after the given index and wraps round.
  EXPECT_EQ(cb(CB_FINDSTRINGEXACT, 0, reinterpret_cast<LPARAM>("supply 1")), 0);
  char text[32];
  EXPECT_EQ(cb(CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text)), 8);
  EXPECT_STREQ(text, "Supply 2");
  EXPECT_EQ(cb(CB_GETCOUNT), 2);
  EXPECT_EQ(cb(CB_RESETCONTENT), CB_OKAY);
  EXPECT_EQ(cb(CB_GETCOUNT), 0);
}

TEST_F(Controls, DisabledControlStillAnswersButGivesNoChoice) {
  add("Only");
  cb(CB_SETITEMDATA, 0, 3);
  cb(CB_SETCURSEL, 0);
  EXPECT_EQ(getComboSelectionData(frame, 210), 3);
  EXPECT_FALSE(EnableWindow(combo, FALSE));
  EXPECT_EQ(cb(CB_GETCURSEL), 0);
  EXPECT_EQ(cb(CB_GETITEMDATA, 0), 3);
  EXPECT_EQ(getComboSelectionData(frame, 210), -1);
  EXPECT_TRUE(EnableWindow(combo, TRUE)) << "returns whether it was disabled";
  cb(CB_SETITEMDATA, 0, -1);
  EXPECT_EQ(getComboSelectionData(frame, 210), -1);
  cb(CB_SETCURSEL, static_cast<WPARAM>(-1));
  EXPECT_EQ(getComboSelectionData(frame, 210), -1);
  EXPECT_EQ(getComboSelectionData(frame, 999), -1);
}

TEST_F(Controls, TextsAreCutToTheCallersBuffer) {
  SetWindowTextA(frame, "A long caption");
  char small[5];
  EXPECT_EQ(GetWindowTextA(frame, small, sizeof small), 4);
  EXPECT_STREQ(small, "A lo");
  EXPECT_EQ(GetWindowTextLengthA(frame), 14);
  add("Shown");
  cb(CB_SETCURSEL, 0);
  char shown[16];
  EXPECT_EQ(GetWindowTextA(combo, shown, sizeof shown), 5) << "a drop-down list shows its selected item";
  EXPECT_STREQ(shown, "Shown");
  EXPECT_TRUE(SetDlgItemTextA(frame, 200, "ignored by the list"));
  EXPECT_FALSE(SetDlgItemTextA(frame, 12345, "no such control"));
}

TEST_F(Controls, ListBoxLinesAndData) {
  std::string longLine(2000, 'x');
  EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Unit\tAHU")), 0);
  EXPECT_EQ(SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(longLine.c_str())), 1);
  EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 1, 0), 2000);
  EXPECT_EQ(SendMessageA(list, LB_GETTEXTLEN, 2, 0), LB_ERR);
  char text[16];
  EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(text)), 8);
  EXPECT_STREQ(text, "Unit\tAHU");
  EXPECT_EQ(SendMessageA(list, LB_GETTEXT, 9, reinterpret_cast<LPARAM>(text)), LB_ERR);
  EXPECT_EQ(SendMessageA(list, LB_SETITEMDATA, 0, 12), 0);
  EXPECT_EQ(SendMessageA(list, LB_GETITEMDATA, 0, 0), 12);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 0);
}

TEST_F(Controls, VisibilityFollowsTheParents) {
  EXPECT_TRUE(IsWindowVisible(combo));
  ShowWindow(frame, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(combo));
  ShowWindow(frame, SW_SHOW);
  EXPECT_FALSE(ShowWindow(combo, SW_HIDE) == FALSE) << "returns whether it was visible";
  EXPECT_FALSE(IsWindowVisible(combo));
  EXPECT_EQ(GetDlgItem(frame, 210), combo);
  RECT r;
  GetWindowRect(combo, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(height(r), 24) << "a closed drop-down list is one line high";
}

TEST(DialogUnits, BaseUnitsAndMapping) {
  LONG units = GetDialogBaseUnits();
  EXPECT_EQ(LOWORD(units), 7);
  EXPECT_EQ(HIWORD(units), 16);
  HWND w = popup(0, 0, 10, 10);
  RECT r{4, 8, 541, 412};
  ASSERT_TRUE(MapDialogRect(w, &r));
  EXPECT_EQ(r.left, 7);
  EXPECT_EQ(r.top, 16);
  EXPECT_EQ(r.right, 947);  // 541 * 7 / 4 rounded
  EXPECT_EQ(r.bottom, 824);
  DestroyWindow(w);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  EXPECT_TRUE(IsWindow(GetDesktopWindow()));
}

}  // namespace
