// The host's own commands: saving, menus, applications, INSERT, LIST, and a few drawing
// commands (LINE, CIRCLE, ELLIPSE, 3DFACE, POINT into model space or a block being edited
// with BEDIT ... BCLOSE, XDATA to attach texts) so that scripts can build drawings.
#include <cmath>
#include <cstdio>
#include "aced.h"
#include "arxhost.h"
#include "dxfschema.h"
#include "hostimpl.h"

namespace {
AcDbObjectId gTarget;  // block being edited (BEDIT); null: model space

AcDbDatabase* db() { return acdbHostApplicationServices()->workingDatabase(); }

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", v);
  return buf;
}
std::string pt(const double* v) { return num(v[0]) + "," + num(v[1]) + "," + num(v[2]); }

void out(const std::string& s) { cadhost::printUtf8(s); }

bool askPath(const std::wstring& given, const ACHAR* prompt, std::wstring& path) {
  path = given;
  if (!path.empty()) return true;
  ACHAR buf[4096];
  if (acedGetString(1, prompt, buf, 4096) != RTNORM || !buf[0]) return false;
  path = buf;
  return true;
}

void save(const std::wstring& path) {
  std::wstring why;
  if (cadhost::saveDrawing(db(), path, &why) != Acad::eOk) {
    acutPrintf(L"Cannot save the drawing: %s\n", why.c_str());
    return;
  }
  acutPrintf(L"Drawing saved as %s.\n", path.c_str());
  if (!why.empty()) acutPrintf(L"%s\n", why.c_str());  // what the save changed in the file's form
}

AcDbObjectId target() {
  if (gTarget.isValid() && !gTarget.isErased()) return gTarget;
  return db()->modelSpaceId();
}

void append(AcDbEntity* e) {
  AcDbBlockTableRecord* btr = nullptr;
  if (acdbOpenObject(btr, target(), AcDb::kForWrite) != Acad::eOk) {
    delete e;
    return;
  }
  const Acad::ErrorStatus es = btr->appendAcDbEntity(e);
  btr->close();
  if (es == Acad::eOk) {
    e->close();
    return;
  }
  delete e;
  if (es == Acad::eOutOfMemory) out("The drawing has no handle left for a new object.\n");
}

int point(const ACHAR* prompt, AcGePoint3d& p, bool allowEnter = false) {
  ads_point v;
  if (!allowEnter) acedInitGet(RSG_NONULL, nullptr);
  int rc = acedGetPoint(nullptr, prompt, v);
  if (rc == RTNORM) p.set(v[0], v[1], v[2]);
  return rc;
}

int distance(const ACHAR* prompt, double& d) {
  acedInitGet(RSG_NONULL | RSG_NOZERO | RSG_NONEG, nullptr);
  return acedGetReal(prompt, &d);
}

void lineCommand() {
  AcGePoint3d a, b;
  if (point(L"Specify first point: ", a) != RTNORM) return;
  while (point(L"Specify next point or [Undo]: ", b, true) == RTNORM) {
    append(new AcDbLine(a, b));
    a = b;
  }
}

void circleCommand() {
  AcGePoint3d c;
  double r;
  if (point(L"Specify center point for circle: ", c) != RTNORM) return;
  if (distance(L"Specify radius of circle: ", r) != RTNORM) return;
  append(new AcDbCircle(c, AcGeVector3d::kZAxis, r));
}

void ellipseCommand() {
  AcGePoint3d c, end;
  double minor;
  if (point(L"Specify center of ellipse: ", c) != RTNORM) return;
  if (point(L"Specify endpoint of axis: ", end) != RTNORM) return;
  if (distance(L"Specify distance to other axis: ", minor) != RTNORM) return;
  AcGeVector3d major = end - c;
  double ratio = major.length() > 0 ? minor / major.length() : 0;
  if (ratio <= 0 || ratio > 1) {
    out("The other axis must not be longer than the first.\n");
    return;
  }
  auto* e = new AcDbEllipse;
  e->set(c, AcGeVector3d::kZAxis, major, ratio);
  append(e);
}

void faceCommand() {
  AcGePoint3d p[4];
  if (point(L"Specify first point: ", p[0]) != RTNORM || point(L"Specify second point: ", p[1]) != RTNORM ||
      point(L"Specify third point: ", p[2]) != RTNORM)
    return;
  int rc = point(L"Specify fourth point or <create three-sided face>: ", p[3], true);
  if (rc == RTCAN) return;
  append(rc == RTNORM ? new AcDbFace(p[0], p[1], p[2], p[3]) : new AcDbFace(p[0], p[1], p[2]));
}

void pointCommand() {
  AcGePoint3d p;
  if (point(L"Specify a point: ", p) == RTNORM) append(new AcDbPoint(p));
}

void beditCommand(const std::wstring& given) {
  std::wstring name;
  if (!askPath(given, L"Enter block name: ", name)) return;
  AcDbBlockTable* bt = nullptr;
  if (db()->getBlockTable(bt, AcDb::kForWrite) != Acad::eOk) return;
  AcDbObjectId id;
  if (bt->getAt(name.c_str(), id) != Acad::eOk) {
    auto* rec = new AcDbBlockTableRecord;
    rec->setName(name.c_str());
    if (name[0] == L'*' || bt->add(id, rec) != Acad::eOk) {
      delete rec;
      out("Invalid block name.\n");
      bt->close();
      return;
    }
    rec->close();
  }
  bt->close();
  gTarget = id;
}

bool pick(AcDbObjectId& id) {
  ads_name en;
  ads_point at;
  if (acedEntSel(L"Select object: ", en, at) != RTNORM) return false;
  return acdbGetObjectId(id, en) == Acad::eOk;
}

// XDATA: texts (1000 groups) of one application on a picked entity; replaces that
// application's data.
void xdataCommand() {
  AcDbObjectId id;
  if (!pick(id)) return;
  ACHAR app[256];
  if (acedGetString(0, L"Application name: ", app, 256) != RTNORM || !app[0]) return;
  std::vector<std::wstring> texts;
  for (;;) {
    std::vector<ACHAR> buf(65536);
    int rc = acedGetString(1, L"Text (Enter to end): ", buf.data(), buf.size());
    if (rc == RTCAN) return;
    if (rc != RTNORM || !buf[0]) break;
    texts.push_back(buf.data());
  }
  acdbRegApp(app);
  resbuf* head = acutBuildList(1001, app, 0);
  resbuf* tail = head;
  for (const std::wstring& t : texts) {
    tail->rbnext = acutBuildList(1000, t.c_str(), 0);
    tail = tail->rbnext;
  }
  AcDbObject* o = nullptr;
  if (acdbOpenAcDbObject(o, id, AcDb::kForWrite) == Acad::eOk) {
    if (o->setXData(head) != Acad::eOk) out("Extended data not set.\n");
    o->close();
  }
  acutRelRb(head);
}

void listCommand() {
  AcDbObjectId id;
  if (pick(id)) cadhost::listEntity(id);
}

void eraseCommand() {
  AcDbObjectId id;
  if (!pick(id)) return;
  AcDbObject* o = nullptr;
  if (acdbOpenAcDbObject(o, id, AcDb::kForWrite) == Acad::eOk) {
    if (o->erase() != Acad::eOk) out("The object cannot be erased.\n");
    o->close();
  }
}
}  // namespace

namespace cadhost {
void listEntity(AcDbObjectId id) {
  AcDbEntity* e = nullptr;
  if (acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk) {
    out("Cannot open the object.\n");
    return;
  }
  const DxfEntityKind* kind = dxfKindOf(e);
  const char* type = kind ? kind->dxfName : *e->isA()->dxfName() ? e->isA()->dxfName() : "ENTITY";
  out(std::string(type) + "  handle " + toUtf8(handleText(id.handle())) + "  layer " +
      toUtf8(e->layerName()) + "\n");
  for (size_t i = 0; kind && i < kind->fieldCount; ++i) {
    const DxfField& f = kind->fields[i];
    if (!f.get) continue;
    DxfValue v;
    f.get(e, v);
    std::string value = f.type == DxfType::kPoint || f.type == DxfType::kNormal ? pt(v.v)
                        : f.type == DxfType::kInt                                ? std::to_string(v.i)
                        : f.type == DxfType::kName                               ? toUtf8(v.s)
                        : f.type == DxfType::kAngle                              ? num(v.v[0] * 180 / M_PI) + " degrees"
                                                                                 : num(v.v[0]);
    out("  " + std::string(f.label) + ": " + value + "\n");
  }
  for (const AcDbXDataApp& app : e->xDataApps()) {
    out("  xdata " + toUtf8(app.appName) + "\n");
    for (const AcDbXDataItem& item : app.items) {
      std::string value = item.code == 1000 || item.code == 1003 || item.code == 1005 ? "\"" + toUtf8(item.text) + "\""
                          : item.code >= 1010 && item.code <= 1013                      ? pt(item.real)
                          : item.code >= 1040 && item.code <= 1042                      ? num(item.real[0])
                                                                                        : std::to_string(item.integer);
      out("    " + std::to_string(item.code) + " " + value + "\n");
    }
  }
  e->close();
}

bool runCommandLine(const std::string& line) {
  auto trim = [](const std::string& s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  };
  std::string t = trim(line);
  if (t.empty() || t == "*cancel*") return true;
  size_t sp = t.find_first_of(" \t");
  std::wstring name = fromUtf8(t.substr(0, sp));
  std::wstring rest = sp == std::string::npos ? L"" : fromUtf8(trim(t.substr(sp)));
  if (equalsNoCase(name, L"QUIT") || equalsNoCase(name, L"EXIT")) return false;
  if (!runCommand(name, rest))
    acutPrintf(L"Unknown command \"%s\".  Press F1 for help.\n", upper(name).c_str());
  else
    commandEnded(upper(name));
  return true;
}

bool runCommand(const std::wstring& name, const std::wstring& rest) {
  std::wstring n = upper(name);
  while (!n.empty() && (n[0] == L'_' || n[0] == L'.' || n[0] == L'-')) n.erase(0, 1);
  std::wstring path;
  if (n == L"INSERT") {
    std::vector<CmdArg> args;
    if (!rest.empty()) args.push_back({RTSTR, rest, {0, 0, 0}});
    insertCommand(args);
  } else if (n == L"QSAVE" || n == L"SAVE") {
    if (askPath(db()->fileName().empty() ? rest : db()->fileName(), L"Save drawing as: ", path)) save(path);
  } else if (n == L"SAVEAS") {
    if (askPath(rest, L"Save drawing as: ", path)) save(path);
  } else if (n == L"MENU") {
    listMenus();
  } else if (n == L"ARX") {
    listApplications();
  } else if (n == L"APPLOAD") {
    if (askPath(rest, L"Application file: ", path)) acedArxLoad(path.c_str());
  } else if (n == L"ARXUNLOAD") {
    if (askPath(rest, L"Application name: ", path)) acedArxUnload(path.c_str());
  } else if (n == L"LIST") {
    listCommand();
  } else if (n == L"LINE") {
    lineCommand();
  } else if (n == L"CIRCLE") {
    circleCommand();
  } else if (n == L"ELLIPSE") {
    ellipseCommand();
  } else if (n == L"3DFACE") {
    faceCommand();
  } else if (n == L"POINT") {
    pointCommand();
  } else if (n == L"BEDIT") {
    beditCommand(rest);
  } else if (n == L"BCLOSE") {
    gTarget.setNull();
  } else if (n == L"XDATA") {
    xdataCommand();
  } else if (n == L"ERASE") {
    eraseCommand();
  } else if (AcRxFunctionPtr fn = acedRegCmds->lookupCmd(name.c_str())) {
    fn();
  } else {
    return false;
  }
  return true;
}
}  // namespace cadhost
