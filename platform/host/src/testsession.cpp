// Test sessions: a fresh working drawing, scripted answers, captured output.
#include <clocale>
#include "adslib.h"
#include "hosttest.h"
#include "hostimpl.h"
#include "objbase.h"

namespace cadhost {
namespace {
AcDbDatabase* gTestDb = nullptr;
bool gTestCom = false;
}

void startTestSession(const std::vector<std::string>& answers) {
  std::setlocale(LC_CTYPE, "C.UTF-8");
  endTestSession();
  gTestDb = new AcDbDatabase(true);
  acdbHostApplicationServices()->setWorkingDatabase(gTestDb);
  setQueueInput(answers);
  setCapture(true);
  installWinHostIo();
  gTestCom = SUCCEEDED(CoInitialize(nullptr));  // as the host's command thread
}

void addAnswers(const std::vector<std::string>& answers) { appendQueueInput(answers); }

std::string takeOutput() { return takeCapture(); }

void endTestSession() {
  if (gTestDb) {
    if (acdbHostApplicationServices()->workingDatabase() == gTestDb)
      acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    delete gTestDb;
    gTestDb = nullptr;
  }
  setQueueInput({});
  takeCapture();
  if (gTestCom) CoUninitialize();
  gTestCom = false;
}
}  // namespace cadhost

int acdbRegApp(const ACHAR* appName) {
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (!db || !appName || !*appName) return RTERROR;
  AcDbRegAppTable* table = nullptr;
  if (db->getRegAppTable(table, AcDb::kForWrite) != Acad::eOk) return RTERROR;
  if (table->has(appName)) {
    table->close();
    return RTNORM;
  }
  auto* rec = new AcDbRegAppTableRecord;
  rec->setName(appName);
  Acad::ErrorStatus es = table->add(rec);
  if (es == Acad::eOk) rec->close(); else delete rec;
  table->close();
  return es == Acad::eOk ? RTNORM : RTERROR;
}
