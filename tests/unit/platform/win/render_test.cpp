// Guards the dialog picture: owner-drawn list lines, the painted picture clipped to its
// control, aligned static texts and the caption bar all land where the controls are.
#include <gtest/gtest.h>
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "dialog_fixture.h"
#include "test_temp.h"

namespace {

struct Picture {
  cairo_surface_t* surface = nullptr;
  explicit Picture(const std::string& path) : surface(cairo_image_surface_create_from_png(path.c_str())) {}
  ~Picture() { cairo_surface_destroy(surface); }
  bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface); }
  int height() const { return cairo_image_surface_get_height(surface); }
  void rgb(int x, int y, int& r, int& g, int& b) const {
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    r = (p >> 16) & 0xFF;
    g = (p >> 8) & 0xFF;
    b = p & 0xFF;
  }
  // Pixels of the rectangle (picture coordinates, right and bottom excluded) that match.
  int count(int left, int top, int right, int bottom, const std::function<bool(int, int, int)>& match) const {
    int n = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        int r, g, b;
        rgb(x, y, r, g, b);
        if (match(r, g, b)) ++n;
      }
    }
    return n;
  }
};

bool dark(int r, int g, int b) { return r + g + b < 250; }
bool red(int r, int g, int b) { return r > 200 && g < 80 && b < 80; }
bool blue(int r, int g, int b) { return b > 200 && r < 80 && g < 80; }
bool frameGrey(int r, int g, int b) { return r == 128 && g == 128 && b == 128; }

// Client area of the test dialog in its picture: inside the 3-pixel frame and the caption bar.
const int kLeft = 3, kTop = 3 + 19;

struct Snapshot : ::testing::Test {
  std::string path;
  TestDialogState state;
  void SetUp() override {
    path = (std::filesystem::path(testTempRoot()) /
            ("winui_snapshot_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
             ".png"))
               .string();
    std::filesystem::remove(path);
  }
  void TearDown() override { std::filesystem::remove(path); }
  std::string run(std::deque<std::string> lines) {
    FakeHost host(std::move(lines));
    DialogBoxIndirectParamA(nullptr, &kTestDialog, nullptr, testDialogProc, reinterpret_cast<LPARAM>(&state));
    return host.output;
  }
};

TEST_F(Snapshot, ShowsOwnerDrawnListLinesWhereTheListIs) {
  std::string out = run({"snapshot " + path, "escape"});
  EXPECT_NE(out.find("Snapshot written to " + path + ".\n"), std::string::npos);
  Picture p(path);
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p.width(), 306);
  EXPECT_EQ(p.height(), 250);
  // List box at (5, 156) dialog pixels, 291 x 41, border 1, lines 19 pixels high.
  const int listLeft = kLeft + 6, listTop = kTop + 157;
  int r, g, b;
  p.rgb(listLeft + 40, listTop, r, g, b);
  EXPECT_TRUE(frameGrey(r, g, b)) << r << "," << g << "," << b;
  p.rgb(listLeft + 40, listTop + 19, r, g, b);
  EXPECT_TRUE(frameGrey(r, g, b)) << "neighbouring lines share their frame";
  p.rgb(listLeft, listTop + 8, r, g, b);
  EXPECT_TRUE(frameGrey(r, g, b));
  EXPECT_GT(p.count(listLeft + 2, listTop + 1, listLeft + 200, listTop + 19, dark), 20) << "the first line's text";
  EXPECT_EQ(p.count(listLeft + 2, listTop + 20, listLeft + 250, listTop + 38, dark), 0) << "the empty line";
  // Three lines of 19 pixels do not fit 39: the scroll bar takes the right of the list.
  EXPECT_EQ(p.count(kLeft + 5 + 291 - 1 - 17, listTop + 1, kLeft + 5 + 291 - 1, listTop + 38, frameGrey), 0);
  for (const char* e : {"draw 200 0", "draw 200 1", "draw 200 2", "draw 100 0", "paint"})
    EXPECT_NE(std::find(state.events.begin(), state.events.end(), e), state.events.end()) << e;
}

TEST_F(Snapshot, PaintedPictureStaysInsideItsControl) {
  run({"snapshot " + path, "escape"});
  Picture p(path);
  ASSERT_TRUE(p.ok());
  // Picture control at (12, 75), 90 x 68 dialog pixels, with a border.
  const int left = kLeft + 12, top = kTop + 75, right = left + 90, bottom = top + 68;
  EXPECT_GT(p.count(left + 1, top + 1, right - 1, bottom - 1, red), 50);
  EXPECT_GT(p.count(left + 1, top + 1, right - 1, bottom - 1, blue), 50);
  EXPECT_EQ(p.count(left - 10, bottom, right + 10, bottom + 12, red), 0);
  EXPECT_EQ(p.count(right, top, right + 20, bottom, red), 0);
}

TEST_F(Snapshot, StaticTextsFollowTheirAlignment) {
  run({"snapshot " + path, "escape"});
  Picture p(path);
  ASSERT_TRUE(p.ok());
  const int top = kTop + 23, bottom = top + 12;
  // "Left text" at (12, 23), 90 wide; "Right" at (195, 23), 90 wide.
  EXPECT_GT(p.count(kLeft + 12, top, kLeft + 42, bottom, dark), 10);
  EXPECT_EQ(p.count(kLeft + 80, top, kLeft + 102, bottom, dark), 0);
  EXPECT_EQ(p.count(kLeft + 195, top, kLeft + 225, bottom, dark), 0);
  EXPECT_GT(p.count(kLeft + 255, top, kLeft + 285, bottom, dark), 10);
  // The combo box shows its selected item.
  EXPECT_GT(p.count(kLeft + 14, kTop + 46, kLeft + 110, kTop + 64, dark), 10);
  // Caption bar.
  int r, g, b;
  p.rgb(5, 12, r, g, b);
  EXPECT_EQ(r, 153);
  EXPECT_EQ(g, 180);
  EXPECT_EQ(b, 209);
  EXPECT_GT(p.count(9, 3, 200, 25, dark), 20) << "the caption text";
}

// A list longer than its box scrolls to the line the user picks, and is drawn from its top
// line on: before, every snapshot showed the first lines whatever was chosen.
TEST_F(Snapshot, ListScrolledToTheChosenLineIsDrawnFromItsTopLine) {
  run({"select 200 \"     Supply connection\"", "snapshot " + path, "escape"});
  auto chosen = std::find(state.events.begin(), state.events.end(), "selchange 200");
  ASSERT_NE(chosen, state.events.end());
  std::vector<std::string> after(chosen + 1, state.events.end());
  auto drawn = [&](const char* e) { return std::find(after.begin(), after.end(), e) != after.end(); };
  EXPECT_TRUE(drawn("draw 200 1") && drawn("draw 200 2"));
  EXPECT_FALSE(drawn("draw 200 0")) << "two lines fit: the first scrolled out of view";
  Picture p(path);
  ASSERT_TRUE(p.ok());
  const int listLeft = kLeft + 6, listTop = kTop + 157;
  EXPECT_EQ(p.count(listLeft + 2, listTop + 1, listLeft + 250, listTop + 18, dark), 0) << "the empty line on top";
  EXPECT_GT(p.count(listLeft + 2, listTop + 20, listLeft + 250, listTop + 38, dark), 20) << "the chosen line below it";
}

// A link planted at the picture's name is replaced by the picture, its target untouched
// (the picture was written through it before).
TEST_F(Snapshot, APlantedLinkIsReplacedNotWrittenThrough) {
  const std::string victim = path + ".victim";
  { std::ofstream(victim) << "keep"; }
  ASSERT_EQ(0, symlink(victim.c_str(), path.c_str()));
  run({"snapshot " + path, "escape"});
  std::ifstream in(victim);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "keep");
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
  EXPECT_GT(Picture(path).width(), 0);
  std::filesystem::remove(victim);
}

TEST_F(Snapshot, UnwritableFileIsReportedAndTheDialogGoesOn) {
  std::string out = run({"snapshot /nonexistent-folder/x.png", "click 1"});
  EXPECT_NE(out.find("Cannot write the snapshot /nonexistent-folder/x.png.\n"), std::string::npos);
  EXPECT_EQ(state.comboChoice, 10);
}

TEST(Graphics, ObjectsAndContextsOnAWindow) {
  HWND w = CreateWindowExA(0, "FRAME", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 40, nullptr, nullptr, nullptr, nullptr);
  HDC hdc = GetDC(w);
  ASSERT_NE(hdc, nullptr);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  HGDIOBJ old = SelectObject(hdc, pen);
  EXPECT_EQ(old, GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(hdc, old), pen);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_FALSE(DeleteObject(pen)) << "a deleted object is gone";
  EXPECT_EQ(SelectObject(hdc, pen), nullptr);
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));
  EXPECT_NE(SelectObject(hdc, GetStockObject(WHITE_BRUSH)), nullptr) << "stock objects stay";
  EXPECT_EQ(SetBkMode(hdc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkColor(hdc, RGB(1, 1, 1)), RGB(255, 255, 255));
  RECT r{0, 0, 50, 40};
  EXPECT_EQ(FillRect(hdc, &r, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)), 1);
  EXPECT_EQ(FillRect(hdc, &r, GetSysColorBrush(COLOR_BTNFACE)), 1);
  RECT calc{0, 0, 1000, 0};
  EXPECT_GT(DrawTextA(hdc, "Te&xt", -1, &calc, DT_CALCRECT | DT_SINGLELINE), 0);
  EXPECT_GT(calc.right, 10);
  std::string bad = "bad \xff\xfe utf-8";
  EXPECT_TRUE(TextOutA(hdc, 0, 0, bad.c_str(), static_cast<int>(bad.size())));
  SIZE size{};
  EXPECT_TRUE(GetTextExtentPoint32A(hdc, "Size", 4, &size));
  EXPECT_GT(size.cx, 0);
  EXPECT_EQ(ReleaseDC(w, hdc), 1);
  EXPECT_EQ(ReleaseDC(w, hdc), 0);
  EXPECT_EQ(SetBkMode(hdc, OPAQUE), 0) << "a released context answers nothing";
  DestroyWindow(w);
  HDC screen = GetDC(nullptr);
  EXPECT_NE(screen, nullptr);
  ReleaseDC(nullptr, screen);
}

TEST(Graphics, DrawTextBreaksLinesOnlyWhenAsked) {
  HDC hdc = GetDC(nullptr);
  auto height = [&](const char* text, UINT format, int width) {
    RECT r{0, 0, width, 0};
    return DrawTextA(hdc, text, -1, &r, format | DT_CALCRECT);
  };
  int one = height("Click Import", DT_SINGLELINE, 1000);
  ASSERT_GT(one, 0);
  EXPECT_EQ(height("Click Import\nClick Close", DT_SINGLELINE, 1000), one);
  EXPECT_EQ(height("Click Import\nClick Close", DT_CENTER, 1000), 2 * one);
  EXPECT_EQ(height("Click Import to insert the unit", DT_WORDBREAK, 1000), one);
  EXPECT_EQ(height("Click Import to insert the unit", DT_WORDBREAK, 90), 3 * one);
  RECT tabbed{0, 0, 0, 0}, plain{0, 0, 0, 0};
  DrawTextA(hdc, "a\tb", -1, &tabbed, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  DrawTextA(hdc, "a b", -1, &plain, DT_CALCRECT | DT_SINGLELINE);
  EXPECT_GT(tabbed.right, plain.right + 20) << "a tab stop is eight average characters";
  ReleaseDC(nullptr, hdc);
}

// Leaves cairo's and fontconfig's caches empty, so leak checkers see a clean end.
struct GraphicsShutdown : ::testing::Environment {
  void TearDown() override { winShutdownGraphics(); }
};
const auto* const shutdown = ::testing::AddGlobalTestEnvironment(new GraphicsShutdown);

}  // namespace
