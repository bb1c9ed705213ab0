// The editor's notifications to applications: an application adds an AcEditorReactor to
// acedEditor and hears when the drawing is saved (the host's QSAVE, SAVE, SAVEAS and any
// save it makes when it closes a drawing), as applications that keep data of their own
// beside the drawing need to, and when a command the user gave has ended.
#pragma once
#include <string>
#include <vector>
#include "dbmain.h"
#include "rxapi.h"

class ACHOST_API AcRxEventReactor : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxEventReactor);
};

class ACHOST_API AcEditorReactor : public AcRxEventReactor {
 public:
  ACRX_DECLARE_MEMBERS(AcEditorReactor);
  // The drawing is about to be written to intendedName.
  virtual void beginSave(AcDbDatabase* db, const ACHAR* intendedName);
  // The drawing was written; actualName is its file now (its new name after SAVEAS).
  virtual void saveComplete(AcDbDatabase* db, const ACHAR* actualName);
  // The save failed: the file on disk is as it was.
  virtual void abortSave(AcDbDatabase* db);
  // A command given at the command prompt has ended (however it ended).
  virtual void commandEnded(const ACHAR* cmdStr);
};

class ACHOST_API AcEditor : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcEditor);
  // The reactor stays the caller's; remove it before deleting it.
  void addReactor(AcRxEventReactor* reactor);
  void removeReactor(AcRxEventReactor* reactor);
  // Host side: the reactors in the order they were added.
  std::vector<AcRxEventReactor*> reactors() const;

  struct Impl;
  ~AcEditor() override;

 private:
  Impl* m_impl = nullptr;
};

#define ACAD_EDITOR_OBJ L"AcEditor"
#define acedEditor AcEditor::cast(acrxSysRegistry()->at(ACAD_EDITOR_OBJ))

namespace cadhost {
// The host's save of a drawing: tells the editor reactors (beginSave), writes the file
// (dxfOut), names the drawing after it, and tells them how it ended (saveComplete or
// abortSave). eOk, or the failure of dxfOut with message.
ACHOST_API Acad::ErrorStatus saveDrawing(AcDbDatabase* db, const std::wstring& path, std::wstring* message);
// Tells the editor reactors that the command given at the prompt has ended.
ACHOST_API void commandEnded(const std::wstring& name);
}
