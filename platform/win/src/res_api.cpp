// Resources: a module's own table of named data (winres.h), and its version record,
// which is read straight from the module's file so the module need not be loaded.
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

constexpr size_t kMaxResources = 100000;

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

bool matches(const ZWinResource& r, const ResourceKey& name) {
  if (name.numeric) return r.name == nullptr && r.id == name.id;
  return r.name != nullptr && equalNoCase(r.name, name.text);
}

// Entries made for version records found by symbol; they live as long as the process.
const ZWinResource* versionEntry(const VS_FIXEDFILEINFO* info) {
  static std::mutex mutex;
  static std::map<const void*, ZWinResource>* entries = new std::map<const void*, ZWinResource>;
  std::lock_guard<std::mutex> lock(mutex);
  ZWinResource& r = (*entries)[info];
  r = ZWinResource{RT_VERSION_ID, VS_VERSION_INFO, nullptr, info, sizeof *info};
  return &r;
}

}  // namespace

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (!name || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  ResourceKey typeKey = keyOf(type);
  ResourceKey nameKey = keyOf(name);
  if (!typeKey.numeric) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  bool typeSeen = false;
  auto* table = static_cast<const ZWinResource*>(moduleSymbol(module, ZWIN_RESOURCE_TABLE_SYMBOL));
  for (size_t i = 0; table && i < kMaxResources && table[i].type != 0; ++i) {
    if (table[i].type != typeKey.id) continue;
    typeSeen = true;
    if (matches(table[i], nameKey)) return (HRSRC)&table[i];
  }
  if (typeKey.id == RT_VERSION_ID && nameKey.numeric && nameKey.id == VS_VERSION_INFO) {
    auto* info = static_cast<const VS_FIXEDFILEINFO*>(moduleSymbol(module, ZWIN_VERSION_INFO_SYMBOL));
    if (info) return (HRSRC)versionEntry(info);
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return (HGLOBAL) reinterpret_cast<const ZWinResource*>(resource)->data;
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  if (!resource) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return reinterpret_cast<const ZWinResource*>(resource)->size;
}

// ---------------------------------------------------------------- version records

namespace {

// The block GetFileVersionInfoA hands out: a header as the real one has, then the record.
struct VersionBlock {
  WORD wLength;
  WORD wValueLength;
  WORD wType;
  char szKey[16];
  WORD padding;
  VS_FIXEDFILEINFO value;
};
const char kVersionKey[16] = "VS_VERSION_INFO";

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
// table. Every offset and size read from the file is checked against the file.
template <class Ehdr, class Shdr, class Sym>
bool readElfSymbol(int fd, uint64_t fileSize, const char* wanted, void* out, size_t size) {
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
      if (s.st_size != size || s.st_shndx == SHN_UNDEF || s.st_shndx >= sections.size()) return false;
      const Shdr& data = sections[s.st_shndx];
      if (data.sh_type == SHT_NOBITS || s.st_value < data.sh_addr || s.st_value - data.sh_addr > data.sh_size ||
          size > data.sh_size - (s.st_value - data.sh_addr))
        return false;
      uint64_t offset = data.sh_offset + (s.st_value - data.sh_addr);
      if (offset > fileSize || size > fileSize - offset) return false;
      return readAt(fd, offset, out, size);
    }
  }
  return false;
}

// The version record of the file; false with the reason in GetLastError().
bool versionOfFile(LPCSTR fileName, VS_FIXEDFILEINFO& info) {
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
  bool found = false;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readAt(fd, 0, ident, sizeof ident) &&
      std::memcmp(ident, ELFMAG, SELFMAG) == 0 && ident[EI_DATA] == ELFDATA2LSB) {
    uint64_t size = (uint64_t)st.st_size;
    if (ident[EI_CLASS] == ELFCLASS64)
      found = readElfSymbol<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym>(fd, size, ZWIN_VERSION_INFO_SYMBOL, &info, sizeof info);
    else if (ident[EI_CLASS] == ELFCLASS32)
      found = readElfSymbol<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym>(fd, size, ZWIN_VERSION_INFO_SYMBOL, &info, sizeof info);
  }
  close(fd);
  if (!found || info.dwSignature != VS_FFI_SIGNATURE) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return false;
  }
  return true;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
  if (handle) *handle = 0;
  VS_FIXEDFILEINFO info;
  if (!versionOfFile(fileName, info)) return 0;
  return sizeof(VersionBlock);
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (length < sizeof(VersionBlock)) {  // a cut block could not be read safely later
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  VersionBlock block;
  std::memset(&block, 0, sizeof block);
  if (!versionOfFile(fileName, block.value)) return FALSE;
  block.wLength = sizeof block;
  block.wValueLength = sizeof block.value;
  std::memcpy(block.szKey, kVersionKey, sizeof kVersionKey);
  std::memcpy(data, &block, sizeof block);
  return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
  if (!block || !subBlock || !buffer || !length) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const VersionBlock* b = static_cast<const VersionBlock*>(block);
  if (b->wLength != sizeof *b || std::memcmp(b->szKey, kVersionKey, sizeof kVersionKey) != 0 ||
      b->value.dwSignature != VS_FFI_SIGNATURE) {
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  if (std::strcmp(subBlock, "\\") != 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  *buffer = const_cast<VS_FIXEDFILEINFO*>(&b->value);
  *length = sizeof b->value;
  return TRUE;
}
