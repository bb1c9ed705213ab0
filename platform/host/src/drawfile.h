// What the host needs of the operating system to read a drawing's file and keep it safe
// between sessions: the file's bytes read at once, the lock a session holds on the drawing
// it has open, what identifies one version of a file, and the file a symbolic link names. drawfile_posix.cpp implements it
// for POSIX systems, drawfile_win32.cpp for Windows (the lock with LockFileEx on the lock
// file, which Windows also releases when the process ends).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace cadhost {

// A whole file's bytes, in memory taken for them at once (a drawing of many megabytes
// would otherwise fault its memory in page by page).
struct FileBytes {
  char* data = nullptr;
  size_t size = 0, room = 0;
};

enum { kReadDone = 0, kReadNotPlain = -1, kReadTooLarge = -2, kReadNoMemory = -3, kReadFailed = -4 };

// Reads the plain file at path as long as it is when opened, never waiting on a file that
// is no plain file (a pipe or device in a drawing's place is refused): kReadDone, or one of
// the failures above with nothing kept. A file longer than maxBytes is kReadTooLarge.
int fileBytesRead(FileBytes& bytes, const std::string& path, size_t maxBytes);
// Gives back the memory of bytes; nothing when it holds none.
void fileBytesFree(FileBytes& bytes);

// Room for the host's large tables (the objects of a drawing): `bytes` of zeroed memory in
// pages as large as the system offers, so that filling it costs few page faults; null when
// there is none. memoryGive gives it back (the same size).
char* memoryTake(size_t bytes);
void memoryGive(char* memory, size_t bytes);

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
