#include "dialog_fixture.h"

#include <cstdio>
#include <cstdlib>

namespace {
// The test dialog from this program's own resources (test_dialog.rc).
const DLGTEMPLATE& testDialog() {
  HRSRC found = FindResourceA(nullptr, "DLG_TEST", RT_DIALOG);
  if (!found) {
    std::fputs("the test program carries no DLG_TEST among its resources\n", stderr);
    std::abort();
  }
  return *static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(nullptr, found)));
}
}  // namespace

const DLGTEMPLATE& kTestDialog = testDialog();
