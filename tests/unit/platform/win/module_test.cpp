// Guards dialogs found in a module's resources and the version text of captions.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "window.h"

namespace {

TEST(ModuleResources, DialogByNameOrNumberFromTheModule) {
  HMODULE module = LoadLibraryA("winui_module_1205.so");
  ASSERT_NE(module, nullptr);
  {
    FakeHost host({"click 1"});
    TestDialogState state;
    EXPECT_EQ(DialogBoxParamA(module, "dlg_test", nullptr, testDialogProc, reinterpret_cast<LPARAM>(&state)), IDOK);
    EXPECT_TRUE(host.saw("Dialog \"Test dialog\""));
  }
  {
    FakeHost host({"escape"});
    TestDialogState state;
    EXPECT_EQ(DialogBoxParamA(module, MAKEINTRESOURCEA(101), nullptr, testDialogProc,
                              reinterpret_cast<LPARAM>(&state)),
              IDCANCEL);
  }
  FakeHost host;
  EXPECT_EQ(DialogBoxParamA(module, "DLG_MISSING", nullptr, testDialogProc, 0), -1);
  FreeLibrary(module);
}

// A dialog resource whose bytes are no template (its counts ask for more than it holds)
// is refused within its own bytes.
TEST(ModuleResources, BytesThatAreNoTemplateAreRefused) {
  HMODULE module = LoadLibraryA("ZwinTestMod.dll");
  ASSERT_NE(module, nullptr);
  FakeHost host;
  EXPECT_EQ(DialogBoxParamA(module, "DLG_TEST", nullptr, testDialogProc, 0), -1);
  EXPECT_TRUE(host.saw("DialogBox: the dialog template DLG_TEST is malformed; no dialog.\n")) << host.output;
  FreeLibrary(module);
}

TEST(ModuleResources, VersionTextJoinsTheNumbersThatAreNotZero) {
  struct Case {
    const char* file;
    const char* text;
  };
  for (const Case& c : {Case{"winui_module_1205.so", "1.2.5"}, Case{"winui_module_3000.so", "3"},
                        Case{"winui_module_0000.so", ""}}) {
    HMODULE module = LoadLibraryA(c.file);
    ASSERT_NE(module, nullptr) << c.file;
    EXPECT_EQ(getModuleVersionText(module), c.text) << c.file;
    FreeLibrary(module);
  }
}

TEST(ModuleResources, WithoutTheMainModuleTheCaptionIsTheNameAndABlank) {
  ASSERT_EQ(GetModuleHandleA("Zephyr_R20_x32.arx"), nullptr);
  EXPECT_EQ(getModuleVersionText(nullptr), "");
  EXPECT_EQ(productTitle(), "Zephyr ");
}

}  // namespace
