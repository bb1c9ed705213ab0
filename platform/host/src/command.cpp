// Host commands run by applications (acedCommandS) and the host's INSERT command.
#include <cmath>
#include <cstdarg>
#include "adslib.h"
#include "hostimpl.h"
#include "rxapi.h"

namespace cadhost {
namespace {
bool isPause(const CmdArg* a) { return !a || (a->type == RTSTR && a->text == L"\\"); }

// A numeric argument: a real, an integer or a number as text.
bool argNumber(const CmdArg* a, double& v) {
  if (a->type == RTREAL || a->type == RTANG || a->type == RTSHORT || a->type == RTLONG) {
    v = a->value[0];
    return true;
  }
  return a->type == RTSTR && parseReal(toUtf8(a->text), v);
}

// A value the user gives at the prompt; Enter takes the default.
int askNumber(const ACHAR* prompt, double dflt, bool nonZero, double& v) {
  acedInitGet(nonZero ? RSG_NOZERO : 0, nullptr);
  int rc = acedGetReal(prompt, &v);
  if (rc == RTNONE) {
    v = dflt;
    return RTNORM;
  }
  return rc;
}

int scaleArg(const CmdArg* a, const ACHAR* prompt, double dflt, double& v) {
  if (isPause(a)) return askNumber(prompt, dflt, true, v);
  if (!argNumber(a, v) || v == 0) {
    printUtf8("Requires numeric value.\n");
    return RTERROR;
  }
  return RTNORM;
}
}  // namespace

int insertCommand(const std::vector<CmdArg>& args) {
  auto arg = [&](size_t i) -> const CmdArg* { return i < args.size() ? &args[i] : nullptr; };
  AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
  if (!db) return RTERROR;

  std::wstring name;
  if (isPause(arg(0))) {
    ACHAR buf[256];
    int rc = acedGetString(0, L"Enter block name or [?]: ", buf, 256);
    if (rc != RTNORM) return rc == RTCAN ? RTCAN : RTERROR;
    name = buf;
  } else if (arg(0)->type == RTSTR) {
    name = arg(0)->text;
  }
  AcDbObjectId blockId;
  AcDbBlockTable* table = nullptr;
  if (db->getBlockTable(table, AcDb::kForRead) != Acad::eOk) return RTERROR;
  table->getAt(name.c_str(), blockId);
  table->close();
  if (name.empty() || blockId.isNull() || name[0] == L'*') {
    acutPrintf(L"Block \"%s\" not found.\n", name.c_str());
    return RTERROR;
  }

  AcGePoint3d at;
  const CmdArg* a = arg(1);
  if (isPause(a)) {
    ads_point p;
    acedInitGet(RSG_NONULL, nullptr);
    int rc = acedGetPoint(nullptr, L"Specify insertion point: ", p);
    if (rc != RTNORM) return rc == RTCAN ? RTCAN : RTERROR;
    at.set(p[0], p[1], p[2]);
  } else if (a->type == RTPOINT || a->type == RT3DPOINT) {
    at.set(a->value[0], a->value[1], a->value[2]);
  } else if (!(a->type == RTSTR && parsePoint(toUtf8(a->text), at))) {
    printUtf8("Invalid point.\n");
    return RTERROR;
  }

  double sx = 1, sy = 1, rotation = 0;
  int rc = scaleArg(arg(2), L"Enter X scale factor <1>: ", 1.0, sx);
  if (rc == RTNORM) rc = scaleArg(arg(3), L"Enter Y scale factor <use X scale factor>: ", sx, sy);
  if (rc != RTNORM) return rc;
  a = arg(4);
  if (isPause(a)) {
    ads_real r = 0;
    rc = acedGetAngle(nullptr, L"Specify rotation angle <0>: ", &r);
    if (rc == RTNONE) r = 0, rc = RTNORM;
    if (rc != RTNORM) return rc;
    rotation = r;
  } else {
    double deg;
    if (!argNumber(a, deg)) {
      printUtf8("Requires numeric angle or second point.\n");
      return RTERROR;
    }
    rotation = deg * M_PI / 180.0;
  }

  AcDbBlockTableRecord* ms = nullptr;
  if (acdbOpenObject(ms, db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk) return RTERROR;
  auto* ref = new AcDbBlockReference(at, blockId);
  ref->setScaleFactors(AcGeScale3d(sx, sy, sx));
  ref->setRotation(rotation);
  Acad::ErrorStatus es = ms->appendAcDbEntity(ref);
  ms->close();
  if (es != Acad::eOk) {
    delete ref;
    return RTERROR;
  }
  ref->close();
  return RTNORM;
}
}  // namespace cadhost

// The command name may carry the prefixes "_" (English name) and "." (built-in).
static std::wstring commandName(std::wstring name) {
  while (!name.empty() && (name[0] == L'_' || name[0] == L'.')) name.erase(0, 1);
  return cadhost::upper(name);
}

int acedCommandS(int rtype, ...) {
  std::vector<cadhost::CmdArg> args;
  va_list ap;
  va_start(ap, rtype);
  for (int t = rtype; t != 0 && t != RTNONE; t = va_arg(ap, int)) {
    cadhost::CmdArg a;
    a.type = t;
    if (t == RTSTR) {
      const ACHAR* s = va_arg(ap, const ACHAR*);
      a.text = s ? s : L"";
    } else if (t == RTREAL || t == RTANG) {
      a.value[0] = va_arg(ap, double);
    } else if (t == RTPOINT || t == RT3DPOINT) {
      const double* p = va_arg(ap, const double*);
      for (int i = 0; i < 3 && p; ++i) a.value[i] = p[i];
      if (t == RTPOINT) a.value[2] = p ? p[2] : 0.0;
    } else if (t == RTSHORT || t == RTLONG) {
      a.value[0] = va_arg(ap, int);
    } else {
      va_end(ap);
      return RTERROR;
    }
    args.push_back(a);
  }
  va_end(ap);
  if (args.empty() || args[0].type != RTSTR) return RTERROR;
  std::wstring name = commandName(args[0].text);
  args.erase(args.begin());
  if (name == L"INSERT") return cadhost::insertCommand(args);
  if (AcRxFunctionPtr fn = acedRegCmds ? acedRegCmds->lookupCmd(name.c_str()) : nullptr) {
    fn();
    return RTNORM;
  }
  acutPrintf(L"Unknown command \"%s\".  Press F1 for help.\n", args.empty() ? name.c_str() : name.c_str());
  return RTERROR;
}
