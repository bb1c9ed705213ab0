// Resources: a module's compiled resource file (.res, as windres writes it from the
// module's .rc), embedded by the build as the data symbol zwinResourceFile, read as Windows
// reads a resource section. Version records are read straight from the module's file, so
// the module need not be loaded. Every offset and size read from a file is checked.
#include "base_internal.h"
#include <cstdlib>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zwin;

namespace {

const char kResourceSymbol[] = "zwinResourceFile";
// Largest resource file read from a module's file: far above a module's dialogs and version.
const uint64_t kMaxResourceFile = 16u << 20;
const WORD kTypeVersion = 16;

// A resource type or name: a number (MAKEINTRESOURCEA or "#123") or a text.
struct ResourceKey {
  bool numeric = false;
  WORD id = 0;
  std::string text;
};

ResourceKey keyOf(LPCSTR value) {
  ResourceKey key;
  if (IS_INTRESOURCE(value)) {
    key.numeric = true;
    key.id = LOWORD(value);
  } else if (value[0] == '#') {
    key.numeric = true;
    key.id = (WORD)std::strtoul(value + 1, nullptr, 10);
  } else {
    key.text = value;
  }
  return key;
}

WORD word(const BYTE* p) { return (WORD)(p[0] | p[1] << 8); }
DWORD dword(const BYTE* p) { return (DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24; }

// A type or name field of an entry's header at p (within end): 0xFFFF and a number, or a
// zero-terminated UTF-16 text, read as UTF-8. The field's end, or null when it is cut.
const BYTE* readKey(const BYTE* p, const BYTE* end, ResourceKey& key) {
  if (end - p < 2) return nullptr;
  if (word(p) == 0xFFFF) {
    if (end - p < 4) return nullptr;
    key.numeric = true;
    key.id = word(p + 2);
    return p + 4;
  }
  key.numeric = false;
  for (; end - p >= 2; p += 2) {
    WORD c = word(p);
    if (c == 0) return p + 2;
    appendUtf8(key.text, c);  // names are ASCII in practice; a lone surrogate stays as it is
  }
  return nullptr;
}

bool sameKey(const ResourceKey& stored, const ResourceKey& wanted) {
  if (stored.numeric != wanted.numeric) return false;
  return stored.numeric ? stored.id == wanted.id : equalNoCase(stored.text, wanted.text);
}

// One entry of a resource file: its type, name and data.
struct ResourceEntry {
  ResourceKey type, name;
  const BYTE* data = nullptr;
  DWORD size = 0;
};

// The entries of a resource file: each a header (data size, header size, type, name,
// then fixed fields) and its data, both DWORD-aligned from the file's start. False when
// the file is cut or its sizes do not fit.
bool readResourceFile(const BYTE* file, size_t size, std::vector<ResourceEntry>& entries) {
  const BYTE* end = file + size;
  const BYTE* p = file;
  while (p < end) {
    if (end - p < 8) return false;
    const DWORD dataSize = dword(p), headerSize = dword(p + 4);
    if (headerSize < 16 || headerSize > (size_t)(end - p) || dataSize > (size_t)(end - p) - headerSize) return false;
    ResourceEntry entry;
    const BYTE* header = p + 8;
    header = readKey(header, p + headerSize, entry.type);
    if (header) header = readKey(header, p + headerSize, entry.name);
    if (!header) return false;
    entry.data = p + headerSize;
    entry.size = dataSize;
    if (!(entry.type.numeric && entry.type.id == 0)) entries.push_back(entry);  // the file's empty first entry
    const size_t next = ((size_t)(p - file) + headerSize + dataSize + 3) & ~(size_t)3;
    if (next >= size) break;
    p = file + next;
  }
  return true;
}

// What FindResourceA hands out: the resource's data and size. Kept for the process's
// life, by the data's address, so an HRSRC stays valid however often it is looked up.
struct FoundResource {
  const BYTE* data;
  DWORD size;
};
std::mutex foundMutex;
std::map<const void*, FoundResource>& foundResources() {
  static auto* found = new std::map<const void*, FoundResource>;
  return *found;
}

HRSRC remember(const ResourceEntry& entry) {
  std::lock_guard<std::mutex> lock(foundMutex);
  FoundResource& r = foundResources()[entry.data];
  r = FoundResource{entry.data, entry.size};
  return (HRSRC)&r;
}

}  // namespace

namespace zwin {
size_t resourceSizeAt(const void* data) {
  std::lock_guard<std::mutex> lock(foundMutex);
  auto it = foundResources().find(data);
  return it == foundResources().end() ? 0 : it->second.size;
}
}  // namespace zwin

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const ResourceKey typeKey = keyOf(type), nameKey = keyOf(name);
  size_t size = 0;
  auto* file = static_cast<const BYTE*>(moduleSymbol(module, kResourceSymbol, &size));
  std::vector<ResourceEntry> entries;
  if (!file || !readResourceFile(file, size, entries)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  bool typeSeen = false;
  for (const ResourceEntry& entry : entries) {
    if (!sameKey(entry.type, typeKey)) continue;
    typeSeen = true;
    if (sameKey(entry.name, nameKey)) return remember(entry);
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return (HGLOBAL) reinterpret_cast<const FoundResource*>(resource)->data;
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const FoundResource*>(resource)->size;
}

// ---------------------------------------------------------------- version records

namespace {

// VS_VERSIONINFO: its length, the length of its value, its type, the key
// "VS_VERSION_INFO" in UTF-16, padding to a DWORD boundary, then VS_FIXEDFILEINFO.
const size_t kFixedInfoOffset = 40;
const char16_t kVersionKey[] = u"VS_VERSION_INFO";

bool readAt(int fd, uint64_t offset, void* out, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = pread(fd, static_cast<char*>(out) + done, size - done, (off_t)(offset + done));
    if (n <= 0) return false;
    done += (size_t)n;
  }
  return true;
}

// The bytes of an exported data symbol of an ELF file, found through its dynamic symbol
// table.
template <class Ehdr, class Shdr, class Sym>
bool readElfSymbol(int fd, uint64_t fileSize, const char* wanted, std::vector<BYTE>& out) {
  Ehdr eh;
  if (!readAt(fd, 0, &eh, sizeof eh)) return false;
  if (eh.e_shentsize != sizeof(Shdr) || eh.e_shnum == 0 || eh.e_shoff > fileSize ||
      (uint64_t)eh.e_shnum * sizeof(Shdr) > fileSize - eh.e_shoff)
    return false;
  std::vector<Shdr> sections(eh.e_shnum);
  if (!readAt(fd, eh.e_shoff, sections.data(), sections.size() * sizeof(Shdr))) return false;
  for (const Shdr& symtab : sections) {
    if (symtab.sh_type != SHT_DYNSYM || symtab.sh_entsize != sizeof(Sym)) continue;
    if (symtab.sh_link >= sections.size()) return false;
    const Shdr& strtab = sections[symtab.sh_link];
    if (symtab.sh_offset > fileSize || symtab.sh_size > fileSize - symtab.sh_offset ||
        strtab.sh_offset > fileSize || strtab.sh_size > fileSize - strtab.sh_offset)
      return false;
    std::vector<char> names(strtab.sh_size + 1, 0);
    if (!readAt(fd, strtab.sh_offset, names.data(), strtab.sh_size)) return false;
    std::vector<Sym> symbols(symtab.sh_size / sizeof(Sym));
    if (!readAt(fd, symtab.sh_offset, symbols.data(), symbols.size() * sizeof(Sym))) return false;
    for (const Sym& s : symbols) {
      if (s.st_name >= strtab.sh_size || std::strcmp(&names[s.st_name], wanted) != 0) continue;
      if (s.st_size == 0 || s.st_size > kMaxResourceFile || s.st_shndx == SHN_UNDEF || s.st_shndx >= sections.size())
        return false;
      const Shdr& data = sections[s.st_shndx];
      if (data.sh_type == SHT_NOBITS || s.st_value < data.sh_addr || s.st_value - data.sh_addr > data.sh_size ||
          s.st_size > data.sh_size - (s.st_value - data.sh_addr))
        return false;
      uint64_t offset = data.sh_offset + (s.st_value - data.sh_addr);
      if (offset > fileSize || s.st_size > fileSize - offset) return false;
      out.resize(s.st_size);
      return readAt(fd, offset, out.data(), out.size());
    }
  }
  return false;
}

// A VS_VERSIONINFO block that holds its fixed part: its header, key and signature agree.
bool isVersionBlock(const BYTE* block, size_t size) {
  if (size < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO)) return false;
  if (word(block) > size || word(block) < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO) ||
      word(block + 2) != sizeof(VS_FIXEDFILEINFO))
    return false;
  for (size_t i = 0; i < sizeof kVersionKey / sizeof kVersionKey[0]; ++i)
    if (word(block + 6 + 2 * i) != kVersionKey[i]) return false;
  return dword(block + kFixedInfoOffset) == VS_FFI_SIGNATURE;
}

// The version resource of the file; false with the reason in GetLastError().
bool versionOfFile(LPCSTR fileName, std::vector<BYTE>& version) {
  if (!fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::string path = resolvePath(fileName);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  struct stat st;
  unsigned char ident[EI_NIDENT] = {0};
  std::vector<BYTE> file;
  bool read = false;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readAt(fd, 0, ident, sizeof ident) &&
      std::memcmp(ident, ELFMAG, SELFMAG) == 0 && ident[EI_DATA] == ELFDATA2LSB) {
    uint64_t size = (uint64_t)st.st_size;
    if (ident[EI_CLASS] == ELFCLASS64)
      read = readElfSymbol<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(fd, size, kResourceSymbol, file);
    else if (ident[EI_CLASS] == ELFCLASS32)
      read = readElfSymbol<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(fd, size, kResourceSymbol, file);
  }
  close(fd);
  std::vector<ResourceEntry> entries;
  if (read && readResourceFile(file.data(), file.size(), entries)) {
    for (const ResourceEntry& entry : entries) {
      if (!entry.type.numeric || entry.type.id != kTypeVersion || !entry.name.numeric ||
          entry.name.id != VS_VERSION_INFO || !isVersionBlock(entry.data, entry.size))
        continue;
      version.assign(entry.data, entry.data + entry.size);
      return true;
    }
  }
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return false;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
  if (handle) *handle = 0;
  std::vector<BYTE> version;
  if (!versionOfFile(fileName, version)) return 0;
  return (DWORD)version.size();
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<BYTE> version;
  if (!versionOfFile(fileName, version)) return FALSE;
  if (length < version.size()) {  // a cut block could not be read safely later
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(data, version.data(), version.size());
  return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
  if (!block || !subBlock || !buffer || !length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BYTE* b = static_cast<const BYTE*>(block);
  if (!isVersionBlock(b, word(b))) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  if (std::strcmp(subBlock, "\\") != 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  *buffer = const_cast<BYTE*>(b + kFixedInfoOffset);
  *length = sizeof(VS_FIXEDFILEINFO);
  return TRUE;
}
