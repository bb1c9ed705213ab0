// Guards against the automation objects mishandling reference counts, interface
// queries, texts whose stored length counts the terminating zero, and non-ASCII text.
#include "DuraComSrv.h"
#include "du_com.h"
#include "du_fake.h"
#include "windows.h"

using namespace DURACOMSRVLib;

namespace {
// Text as the bridge sends it: the stored length counts the terminating zero.
BSTR bridgeText(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  BSTR s = SysAllocStringLen(nullptr, UINT(n));
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, s, n);
  return s;
}

std::string narrow(BSTR s) {
  std::string out(SysStringLen(s) * 4 + 1, '\0');
  int n = WideCharToMultiByte(CP_UTF8, 0, s, int(SysStringLen(s)), &out[0], int(out.size()), nullptr, nullptr);
  out.resize(size_t(n));
  return out;
}

struct Call {
  IDuctora200711* app;
  LONG getString(const std::string& handle, const std::string& query, std::string& value) {
    BSTR h = bridgeText(handle), q = bridgeText(query), v = nullptr;
    LONG result = -99;
    EXPECT_EQ(app->GetString(h, q, &v, &result), S_OK);
    value = narrow(v);
    SysFreeString(h);
    SysFreeString(q);
    SysFreeString(v);
    return result;
  }
};
}  // namespace

TEST_F(DuctoraTest, InterfacesAndReferenceCounts) {
  IDuctora200711* app = du_new_application_object(&server);
  void* p = nullptr;
  EXPECT_EQ(app->QueryInterface(IID_IDrawing, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(app->QueryInterface(IID_IDispatch, &p), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(p)->Release(), 1u);
  UINT count = 5;
  EXPECT_EQ(app->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(app->Release(), 0u);

  IDrawing* drawingObject = du_new_drawing_object(&server);
  ASSERT_EQ(drawingObject->QueryInterface(IID_IDrawing, &p), S_OK);
  EXPECT_EQ(drawingObject->QueryInterface(IID_IDuctora200711, &p), E_NOINTERFACE);
  drawingObject->Release();
  EXPECT_EQ(drawingObject->Release(), 0u);
}

TEST_F(DuctoraTest, RunningObjectsFollowTheSwitches) {
  du_register_objects(&server, true, false);
  IUnknown* found = nullptr;
  ASSERT_EQ(GetActiveObject(CLSID_DuraComSrvDrawing, nullptr, &found), S_OK);
  found->Release();
  EXPECT_EQ(GetActiveObject(CLSID_DuraComSrvDuctora, nullptr, &found), MK_E_UNAVAILABLE);
  du_register_objects(&server, true, true);
  ASSERT_EQ(GetActiveObject(CLSID_DuraComSrvDuctora, nullptr, &found), S_OK);
  void* app = nullptr;
  ASSERT_EQ(found->QueryInterface(IID_IDuctora200711, &app), S_OK);
  found->Release();
  LONG version = 0;
  writeSampleProject(20080105);
  EXPECT_EQ(static_cast<IDuctora200711*>(app)->get_Version(&version), S_OK);
  EXPECT_EQ(version, 20080105);
  static_cast<IDuctora200711*>(app)->Release();
  du_register_objects(&server, false, false);
  EXPECT_EQ(GetActiveObject(CLSID_DuraComSrvDrawing, nullptr, &found), MK_E_UNAVAILABLE);
  EXPECT_EQ(GetActiveObject(CLSID_DuraComSrvDuctora, nullptr, &found), MK_E_UNAVAILABLE);
}

TEST_F(DuctoraTest, TextsCrossTheInterfaceWhole) {
  write(projectFile(),
        "<DuctoraProject><Ductwork><System id=\"1\" typeId=\"0\" name=\"Tilluft v\xC3\xA5ning 3 \xE2\x82\xAC\"/>"
        "<System id=\"2\" typeId=\"1\" name=\"" + std::string(300, 'L') + "\"/></Ductwork></DuctoraProject>");
  IDuctora200711* app = du_new_application_object(&server);
  Call call{app};
  std::string value;
  ASSERT_EQ(call.getString("", "/Project/Ductwork/System[0]/Name", value), 0);
  EXPECT_EQ(value, "Tilluft v\xC3\xA5ning 3 \xE2\x82\xAC");
  ASSERT_EQ(call.getString("", "/Project/Ductwork/System[1]/Name", value), 0);
  EXPECT_EQ(value, std::string(300, 'L'));

  // A zero inside a text is refused, not silently cut.
  const OLECHAR inner[] = {L'/', L'P', 0, L'x', 0};
  BSTR q = SysAllocStringLen(inner, 5), h = SysAllocStringLen(nullptr, 0), v = nullptr;
  LONG result = 0;
  EXPECT_EQ(app->GetString(h, q, &v, &result), S_OK);
  EXPECT_EQ(result, DU_BAD_VALUE);
  BSTR message = nullptr;
  ASSERT_EQ(app->get_LastError(&message), S_OK);
  EXPECT_EQ(narrow(message), "A text given to Ductora holds a zero character.");
  SysFreeString(message);
  SysFreeString(q);
  SysFreeString(h);
  SysFreeString(v);
  // Trailing zeros end the text: a non-ASCII text from the bridge carries several.
  const OLECHAR padded[] = {L'/', L'P', L'/', L'C', L'l', L'a', L's', L's', L'/', L'N', L'a', L'm', L'e', 0, 0, 0};
  q = SysAllocStringLen(padded, 16);
  h = bridgeText("1");
  EXPECT_EQ(app->GetString(h, q, &v, &result), S_OK);
  EXPECT_NE(result, DU_BAD_VALUE);
  SysFreeString(q);
  SysFreeString(h);
  SysFreeString(v);
  v = nullptr;
  // Null strings are empty texts, as in COM.
  result = -1;
  double n = 0;
  BSTR count = bridgeText("Count(/Project/Ductwork/System)");
  EXPECT_EQ(app->GetNumber(nullptr, count, &n, &result), S_OK);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(n, 2);
  SysFreeString(count);
  EXPECT_EQ(app->GetNumber(nullptr, nullptr, nullptr, &result), E_POINTER);
  app->Release();
}

TEST_F(DuctoraTest, UnusedMethodsRefuseWithAMessage) {
  IDuctora200711* app = du_new_application_object(&server);
  LONG result = 0;
  EXPECT_EQ(app->UpdateView(&result), S_OK);
  EXPECT_NE(result, 0);
  BSTR handle = nullptr;
  EXPECT_EQ(app->CreatePartInBlock(nullptr, &handle, &result), S_OK);
  EXPECT_NE(result, 0);
  EXPECT_EQ(SysStringLen(handle), 0u);
  SysFreeString(handle);
  EXPECT_FALSE(server.lastError.empty());
  app->Release();
}

// Before, std::bad_alloc (from a 256 MiB buffer, or anywhere inside a call) left the COM
// method and the host with it.
TEST_F(DuctoraTest, NoExceptionLeavesAMethod) {
  writeSampleProject();
  std::string unit = customPart();
  IDuctora200711* app = du_new_application_object(&server);
  LONG result = 0;
  EXPECT_EQ(app->AllocBinary(1, 256 * 1024 * 1024, &result), S_OK);
  EXPECT_EQ(result, DU_BINARY);
  drawing.throwOnCreate = true;
  BSTR request = bridgeText("<CreatePart><Part><Type><Define>EWAPART_CUSTOM</Define></Type><System><ID>3</ID>"
                            "</System><Position><WCS>0 0 0</WCS></Position><Direction><WCS>1 0 0</WCS></Direction>"
                            "<Normal><WCS>0 0 1</WCS></Normal></Part></CreatePart>");
  BSTR handle = nullptr;
  EXPECT_EQ(app->CreatePart(request, &handle, &result), E_OUTOFMEMORY);
  EXPECT_EQ(result, DU_NO_MEMORY);
  EXPECT_EQ(server.lastError, "Ductora ran out of memory.");
  EXPECT_NE(read(journalFile()).find("CreatePart -> 11 error=\"Ductora ran out of memory.\""), std::string::npos);
  SysFreeString(handle);
  SysFreeString(request);
  app->Release();
}
