// Guards against running objects that leak, die early or stay found after revoking.
#include <gtest/gtest.h>
#include "objbase.h"

namespace {
const CLSID kClassA = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 1}};
const CLSID kClassB = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 2}};

struct Counted final : IUnknown {
  ULONG refs = 1;
  bool* destroyed;
  explicit Counted(bool* d) : destroyed(d) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid != IID_IUnknown) return E_NOINTERFACE;
    AddRef();
    *object = this;
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override {
    ULONG n = --refs;
    if (n == 0) {
      *destroyed = true;
      delete this;
    }
    return n;
  }
};
// The test's thread is a COM apartment, as the host's command thread is.
struct ComApartment {
  ComApartment() { CoInitialize(nullptr); }
  ~ComApartment() { CoUninitialize(); }
} gApartment;
}  // namespace

// As on Windows, a thread that never initialized COM finds and registers nothing.
TEST(RunningObjects, NeedComInitialized) {
  CoUninitialize();
  bool destroyed = false;
  Counted* object = new Counted(&destroyed);
  DWORD reg = 7;
  EXPECT_EQ(RegisterActiveObject(object, kClassA, ACTIVEOBJECT_STRONG, &reg), CO_E_NOTINITIALIZED);
  EXPECT_EQ(reg, 0u);
  IUnknown* found = object;
  EXPECT_EQ(GetActiveObject(kClassA, nullptr, &found), CO_E_NOTINITIALIZED);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(object->refs, 1u);  // no reference taken
  object->Release();
  CoInitialize(nullptr);
}

TEST(RunningObjects, RegisterGetRevoke) {
  bool destroyed = false;
  Counted* object = new Counted(&destroyed);
  DWORD reg = 0;
  ASSERT_EQ(RegisterActiveObject(object, kClassA, ACTIVEOBJECT_STRONG, &reg), S_OK);
  EXPECT_NE(reg, 0u);
  EXPECT_EQ(object->Release(), 1u);  // the table keeps it alive

  IUnknown* found = nullptr;
  ASSERT_EQ(GetActiveObject(kClassA, nullptr, &found), S_OK);
  EXPECT_EQ(found, object);
  EXPECT_EQ(object->refs, 2u);
  found->Release();

  EXPECT_EQ(GetActiveObject(kClassB, nullptr, &found), MK_E_UNAVAILABLE);
  EXPECT_EQ(found, nullptr);

  ASSERT_EQ(RevokeActiveObject(reg, nullptr), S_OK);
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(GetActiveObject(kClassA, nullptr, &found), MK_E_UNAVAILABLE);
  EXPECT_EQ(RevokeActiveObject(reg, nullptr), E_INVALIDARG);
}

TEST(RunningObjects, ObjectOutlivesRevokeWhileHeld) {
  bool destroyed = false;
  Counted* object = new Counted(&destroyed);
  DWORD reg = 0;
  ASSERT_EQ(RegisterActiveObject(object, kClassB, ACTIVEOBJECT_STRONG, &reg), S_OK);
  object->Release();
  IUnknown* held = nullptr;
  ASSERT_EQ(GetActiveObject(kClassB, nullptr, &held), S_OK);
  ASSERT_EQ(RevokeActiveObject(reg, nullptr), S_OK);
  EXPECT_FALSE(destroyed);
  held->Release();
  EXPECT_TRUE(destroyed);
}

TEST(RunningObjects, WeakRegistrationTakesNoReference) {
  bool destroyed = false;
  Counted* object = new Counted(&destroyed);
  DWORD reg = 0;
  ASSERT_EQ(RegisterActiveObject(object, kClassA, ACTIVEOBJECT_WEAK, &reg), S_OK);
  EXPECT_EQ(object->refs, 1u);
  ASSERT_EQ(RevokeActiveObject(reg, nullptr), S_OK);
  EXPECT_FALSE(destroyed);
  object->Release();
  EXPECT_TRUE(destroyed);
}

TEST(RunningObjects, BadArguments) {
  DWORD reg = 7;
  EXPECT_EQ(RegisterActiveObject(nullptr, kClassA, 0, &reg), E_INVALIDARG);
  EXPECT_EQ(GetActiveObject(kClassA, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(RevokeActiveObject(0, nullptr), E_INVALIDARG);
}
