// A test application that writes and reads the unit's extended data inside the host, so
// that a drawing saved and reopened can be checked with the system's own reader.
//   UNITXWRITE  writes a sample unit (1000-character description) on the last entity
//   UNITXREAD   asks for an entity and prints what the unit reader gets back from it
#include <string>

#include "arxhost.h"
#include "text.h"
#include "xdata.h"

namespace {

// 100 blocks of "Des\u00e9" "1234 " in UTF-8: 1000 bytes, 900 characters.
std::string sampleDescription() {
  std::string text;
  for (int i = 0; i < 100; ++i)
    text +=
        "Des\xC3\xA9"
        "1234 ";
  return text;
}

void writeUnit() {
  ads_name last;
  AcDbObjectId id;
  if (acedSSGet(L"L", nullptr, nullptr, nullptr, last) != RTNORM) {
    acutPrintf(L"unitxdata: no entity\n");
    return;
  }
  ads_name entity;
  acedSSName(last, 0, entity);
  acdbGetObjectId(id, entity);
  acedSSFree(last);
  UnitRecord unit;
  unit.parts[0].blockRefId = id;
  unit.parts[0].name = "VH-CX-1200";
  unit.unitCode = "CX1200";
  unit.objectId = "4711";
  unit.description = sampleDescription();
  unit.itemCode = "ITEM-1200";
  unit.modelDatabaseUrl = "http://127.0.0.1:8765/selector/Ventholm_14a.tcdz";
  unit.externalComponentDistance = 950;
  for (int band = 0; band < kSoundBands; ++band) unit.surroundingSound[band] = 60 + band;
  unit.parts[0].connections[CONN_SUPPLY].airflow = 1200.456;
  unit.parts[0].connections[CONN_SUPPLY].dcHandle = "2F";
  printMessage("unitxdata: write %d\n", xdata_write_unit(&unit));
}

void readUnit() {
  ads_name entity;
  ads_point picked;
  if (acedEntSel(L"Select unit: ", entity, picked) != RTNORM) return;
  UnitRecord unit;
  acdbGetObjectId(unit.parts[0].blockRefId, entity);
  int result = xdata_read_unit(&unit);
  printMessage("unitxdata: read %d id %s code %s airflow %.2f handle %s distance %.0f\n", result,
               unit.parts[0].name.c_str(), unit.unitCode.c_str(),
               unit.parts[0].connections[CONN_SUPPLY].airflow,
               unit.parts[0].connections[CONN_SUPPLY].dcHandle.c_str(),
               unit.externalComponentDistance);
  printMessage("unitxdata: description %zu bytes, %s\n", unit.description.size(),
               unit.description == sampleDescription() ? "whole" : "changed");
}

}  // namespace

extern "C" ACHOST_EXPORT AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
  if (msg == AcRx::kInitAppMsg) {
    acedRegCmds->addCommand(L"UNITXDATA_CMDS", L"UNITXWRITE", L"UNITXWRITE", ACRX_CMD_MODAL,
                            writeUnit);
    acedRegCmds->addCommand(L"UNITXDATA_CMDS", L"UNITXREAD", L"UNITXREAD", ACRX_CMD_MODAL,
                            readUnit);
    acrxDynamicLinker->unlockApplication(appId);
    acrxDynamicLinker->registerAppMDIAware(appId);
  } else if (msg == AcRx::kUnloadAppMsg) {
    acedRegCmds->removeGroup(L"UNITXDATA_CMDS");
  }
  return AcRx::kRetOK;
}

ACRX_DEFINE_API_VERSION
