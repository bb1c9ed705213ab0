// What the stand-ins (the CAD host, Ductora and Windows) share that is no Windows
// interface: the one UTF-8 encoder, and saving a file so that a crash never costs the
// file, and the few file operations they need beyond that. Paths are UTF-8. One
// implementation per platform: standin_posix.cpp and standin_win32.cpp.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace standin {

// Appends code point cp as UTF-8. A lone surrogate keeps its three-byte form (the registry
// stores such text and gives it back); a value past U+10FFFF becomes U+FFFD.
void appendUtf8(std::string& out, uint32_t cp);
// One UTF-8 sequence at s[i] of s[0..n): its code point and length; false for an invalid
// one (then length 1).
bool decodeUtf8(const unsigned char* s, size_t n, size_t i, uint32_t& cp, size_t& length);
// Letter case folded for comparison, as the platform folds names (UTF-8 aware; bytes that
// are not UTF-8 stay as they are).
std::string foldCase(const std::string& text);
bool equalNoCase(const std::string& a, const std::string& b);
// The lower case of one code point, by the platform's case table.
uint32_t lowerCase(uint32_t cp);

// A file replaced whole: the new contents go to a temporary file beside it, which is
// flushed to the disk and renamed over the file. Whenever the process dies, the file is
// the old one or the new one, never a mixture; a temporary left by a process that died
// while saving is removed by the next save of that file.
//   SafeSave s;
//   if (safeSaveBegin(s, path, 0666) != 0) ...         (errno says why)
//   ... write everything to s.fd ...
//   if (safeSaveCommit(s) != 0) ...                     (the old file stands)
// Neither the file's name nor the temporary's is followed when it is a symbolic link: the
// temporary is created new, and the rename replaces a link at the path, not its target.
// On POSIX systems the saved file keeps the mode (and, where allowed, the owner) of the
// file it replaces; a new file gets newFileMode less the process's umask, and the
// temporary is readable by its owner only while it is written. On Windows the temporary
// is open to no one else while it is written, and the saved file takes the folder's
// permissions. The temporary is named .FILE.saving-PID-XXXXXXXX, a name only a save
// makes, so that the removal of dead saves' temporaries never takes a user's file.
struct SafeSave {
  std::string path;  // the file being saved
  std::string temp;  // the temporary beside it
  int fd = -1;       // the temporary (a C library descriptor), open for writing and held
                     // exclusively while it is written
  mode_t mode = 0;   // given to the file at commit (POSIX)
  bool replaces = false;  // a file stands at the path: its mode, owner and group are kept
  unsigned owner = 0;     // the replaced file's owner and group (POSIX)
  unsigned group = 0;
};
// 0, or -1 with errno (the folder cannot be written, ...).
int safeSaveBegin(SafeSave& s, const std::string& path, mode_t newFileMode);
// Flushes, closes and renames the temporary into place: 0, or -1 with errno after the
// temporary has been removed.
int safeSaveCommit(SafeSave& s);
// Gives the save up: closes and removes the temporary. Safe to call after a commit.
void safeSaveAbort(SafeSave& s);

// Writes all of data to fd (through interruptions and short writes); false on an error.
bool writeAll(int fd, const void* data, size_t size);

// The file's modification time (nanoseconds) and size; false when there is no such file.
bool fileStamp(const std::string& path, int64_t& stamp, int64_t& size);

// Opens a file for reading bytes, kept from the programs the process starts later. Null
// with errno when it cannot be opened.
FILE* openForReading(const std::string& path);

// Opens a plain file for reading bytes, without waiting (a FIFO at the name would block
// an ordinary open for ever) and kept from the programs the process starts later. Null
// with errno when it cannot be opened: ENOENT when there is no such file, EINVAL when it
// is no plain file.
FILE* openPlainFile(const std::string& path);

// Opens a file for appending whole lines (made when missing): never through a symbolic
// link, and only a plain file (not a pipe or a device). A descriptor, or -1 with errno.
int openAppendFile(const std::string& path);

// The temporaries of `path` whose process is gone and that no save holds, removed; the
// number removed. Only this user's plain files named as a save names its temporaries are
// taken. safeSaveBegin does this itself.
int removeDeadTemporaries(const std::string& path);

}  // namespace standin
