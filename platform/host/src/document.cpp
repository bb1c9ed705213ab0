// The file of the drawing a session has open: the session's lock on it, whether the session
// may write it back, and what the file was when it was read or last written. A save over
// the drawing's own file is refused when the session opened it read-only (another session
// has it) or when the file changed on disk since (someone else's save): either would cost
// that other work. A drawing opened through a symbolic link is saved into the file the
// link names, and the link stays.
#include <filesystem>
#include <map>
#include <system_error>
#include "drawfile.h"
#include "hostimpl.h"

namespace cadhost {
namespace {
struct DrawingFile {
  std::string path;       // absolute, as opened or last saved (a link's own name)
  std::string target;     // the file read and written: path, or what the link at path named
  bool linked = false;    // opened through a symbolic link at path
  bool readOnly = false;  // another session has it, or no lock could be had
  std::string why;        // why it is read-only
  FileStamp stamp;        // the target as read or last written
  DrawingLock lock;
  DrawingLock pending;    // the lock of another name while the drawing is saved there
};

std::map<const AcDbDatabase*, DrawingFile>& files() {
  static std::map<const AcDbDatabase*, DrawingFile> all;
  return all;
}

std::string absolute(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// The lock of the drawing's file for this session; false (with why) when it cannot be had.
bool takeLock(DrawingLock& lock, const std::string& file, std::string& why) {
  std::string holder;
  switch (drawingLockTake(lock, file, holder, why)) {
    case kLockTaken: return true;
    case kLockHeld: why = "it is open in another session: " + holder; return false;
    default: return false;
  }
}
}  // namespace

Acad::ErrorStatus openDrawingFile(AcDbDatabase* db, const std::wstring& path, std::wstring* message) {
  closeDrawingFile(db);
  DrawingFile f;
  f.path = absolute(toUtf8(path));
  // A link that leads nowhere names a new drawing; its save puts a file in the link's place.
  f.linked = linkTargetOf(f.path, f.target) && !f.target.empty();
  if (!f.linked) f.target = f.path;
  f.readOnly = !takeLock(f.lock, f.target, f.why);
  f.stamp = fileStampOf(f.target);
  if (message) message->clear();
  if (!f.stamp.exists) {
    db->setFileName(path);
  } else {
    Acad::ErrorStatus es = db->dxfIn(path.c_str(), message);
    if (es != Acad::eOk) {
      drawingLockRelease(f.lock);
      return es;
    }
  }
  if (f.readOnly)
    printUtf8("\"" + f.path + "\" is opened read-only, since " + f.why + ". SAVEAS saves it under another name.\n");
  files()[db] = f;
  return Acad::eOk;
}

Acad::ErrorStatus beginDrawingSave(AcDbDatabase* db, const std::wstring& path, std::string& target,
                                   std::wstring* message) {
  DrawingFile& f = files()[db];
  const std::string name = absolute(toUtf8(path));
  auto refuse = [&](const std::string& why) {
    if (message) *message = fromUtf8(name + " " + why + "; save it under another name with SAVEAS");
    return Acad::eNotApplicable;
  };
  if (name == f.path || name == f.target) {
    if (f.readOnly) return refuse("was opened read-only, since " + f.why);
    std::string now;
    const bool linked = linkTargetOf(f.path, now);
    if (linked != f.linked || (linked && now != f.target) || fileStampOf(f.target) != f.stamp)
      return refuse("was changed on disk since this session opened it");
    target = f.target;
    return Acad::eOk;
  }
  std::string why;
  if (!takeLock(f.pending, name, why)) return refuse("cannot be saved, since " + why);
  target = name;
  return Acad::eOk;
}

void endDrawingSave(AcDbDatabase* db, const std::string& target, bool saved) {
  DrawingFile& f = files()[db];
  if (!saved) {
    drawingLockRelease(f.pending);
    return;
  }
  if (f.pending.handle >= 0) {
    // Saved under another name: the session now has that file, and gives the old one up.
    drawingLockRelease(f.lock);
    f.lock = f.pending;
    f.pending = DrawingLock();
    f.path = f.target = target;
    f.linked = f.readOnly = false;
    f.why.clear();
  }
  f.stamp = fileStampOf(f.target);
}

void closeDrawingFile(const AcDbDatabase* db) {
  auto it = files().find(db);
  if (it == files().end()) return;
  drawingLockRelease(it->second.lock);
  drawingLockRelease(it->second.pending);
  files().erase(it);
}
}  // namespace cadhost
