// What the host needs of the operating system to keep a drawing's file safe between
// sessions: the lock a session holds on the drawing it has open, what identifies one
// version of a file, and the file a symbolic link names. drawfile_posix.cpp implements it
// for POSIX systems; a Windows port implements the same functions (the lock with
// LockFileEx on the lock file, which Windows also releases when the process ends).
#pragma once
#include <cstdint>
#include <string>

namespace cadhost {

// The lock is a lock file beside the drawing (NAME.dxf.lock, one line naming the session
// that holds it) held under an advisory lock of the operating system. The operating system
// drops that lock when its process ends however it ends, so a lock file left by a session
// that died is free, and the next session takes it over: a dead session never blocks one.
struct DrawingLock {
  std::string file;  // the lock file; empty while no lock is held
  intptr_t handle = -1;
};

enum { kLockTaken = 0, kLockHeld = 1, kLockFailed = -1 };

// Takes the lock of the drawing at drawingPath (its file need not exist yet): kLockTaken;
// kLockHeld when a live session holds it (holder: that session's line from the lock file);
// kLockFailed when the lock file cannot be made or is no plain file (why: the reason).
int drawingLockTake(DrawingLock& lock, const std::string& drawingPath, std::string& holder, std::string& why);
// Removes the lock file and releases the lock; nothing when none is held.
void drawingLockRelease(DrawingLock& lock);

// One version of a file: a save (a new file renamed into place) or an edit changes it.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0, inode = 0, size = 0;
  int64_t modified = 0;  // nanoseconds
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size && modified == o.modified;
  }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
// The stamp of the file at path, through symbolic links; exists is false when there is none.
FileStamp fileStampOf(const std::string& path);

// True when path itself is a symbolic link; target is then the absolute name of the file
// it leads to, through every link on the way (empty when it leads nowhere).
bool linkTargetOf(const std::string& path, std::string& target);

}  // namespace cadhost
