// The editor object and its reactors: the notifications of a drawing's save.
#include "aced.h"
#include "hostimpl.h"
#include <algorithm>
#include <vector>

AcRxClass* AcRxEventReactor::desc() {
  static AcRxClass cls(L"AcRxEventReactor", AcRxObject::desc(), "");
  return &cls;
}
AcRxClass* AcRxEventReactor::isA() const { return desc(); }
AcRxClass* AcEditorReactor::desc() {
  static AcRxClass cls(L"AcEditorReactor", AcRxEventReactor::desc(), "");
  return &cls;
}
AcRxClass* AcEditorReactor::isA() const { return desc(); }
AcRxClass* AcEditor::desc() {
  static AcRxClass cls(L"AcEditor", AcRxObject::desc(), "");
  return &cls;
}
AcRxClass* AcEditor::isA() const { return desc(); }

void AcEditorReactor::beginSave(AcDbDatabase*, const ACHAR*) {}
void AcEditorReactor::saveComplete(AcDbDatabase*, const ACHAR*) {}
void AcEditorReactor::abortSave(AcDbDatabase*) {}
void AcEditorReactor::commandEnded(const ACHAR*) {}

struct AcEditor::Impl {
  std::vector<AcRxEventReactor*> reactors;
};

AcEditor::~AcEditor() { delete m_impl; }

void AcEditor::addReactor(AcRxEventReactor* reactor) {
  if (!m_impl) m_impl = new Impl;
  if (reactor && std::find(m_impl->reactors.begin(), m_impl->reactors.end(), reactor) == m_impl->reactors.end())
    m_impl->reactors.push_back(reactor);
}

void AcEditor::removeReactor(AcRxEventReactor* reactor) {
  if (!m_impl) return;
  auto& r = m_impl->reactors;
  r.erase(std::remove(r.begin(), r.end(), reactor), r.end());
}

std::vector<AcRxEventReactor*> AcEditor::reactors() const {
  return m_impl ? m_impl->reactors : std::vector<AcRxEventReactor*>();
}

namespace {
// Tells each editor reactor still added; a reactor may remove itself (or others) meanwhile.
template <class F>
void tell(F f) {
  AcEditor* editor = acedEditor;
  if (!editor) return;
  for (AcRxEventReactor* r : editor->reactors()) {
    const std::vector<AcRxEventReactor*> now = editor->reactors();
    if (std::find(now.begin(), now.end(), r) == now.end()) continue;
    if (AcEditorReactor* e = AcEditorReactor::cast(r)) f(e);
  }
}
}  // namespace

Acad::ErrorStatus cadhost::saveDrawing(AcDbDatabase* db, const std::wstring& path, std::wstring* message) {
  std::string target;
  Acad::ErrorStatus es = cadhost::beginDrawingSave(db, path, target, message);
  if (es != Acad::eOk) return es;
  tell([&](AcEditorReactor* r) { r->beginSave(db, path.c_str()); });
  es = db->dxfOut(cadhost::fromUtf8(target).c_str(), message);
  cadhost::endDrawingSave(db, target, es == Acad::eOk);
  if (es != Acad::eOk) {
    tell([&](AcEditorReactor* r) { r->abortSave(db); });
    return es;
  }
  db->setFileName(path);
  tell([&](AcEditorReactor* r) { r->saveComplete(db, path.c_str()); });
  return es;
}

void cadhost::commandEnded(const std::wstring& name) {
  tell([&](AcEditorReactor* r) { r->commandEnded(name.c_str()); });
}
