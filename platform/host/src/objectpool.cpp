// The pool of a database's objects: blocks of room handed out in order.
#include "objectpool.h"
#include <algorithm>
#include <cstring>
#include "dbmain.h"
#include "drawfile.h"

#if defined(__SANITIZE_ADDRESS__)
#define HOST_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOST_POOL_ASAN 1
#endif
#endif

#ifdef HOST_POOL_ASAN
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#define ASAN_UNPOISON_MEMORY_REGION(addr, size) ((void)(addr), (void)(size))
#endif

namespace {
const size_t kAlign = alignof(std::max_align_t);
// Blocks double from the first to the largest, so a small drawing takes little memory and a
// large one comes in blocks of whole huge pages.
const size_t kFirstBlockBytes = size_t(64) << 10;
const size_t kLargestBlockBytes = size_t(4) << 20;
#ifdef HOST_POOL_ASAN
// A poisoned gap before each object that holds its size, so an overrun from the object
// before it is reported and a destroyed object's bytes can be poisoned again.
const size_t kGuard = kAlign;
// Blocks on the heap, where the leak checker looks for the pointers the objects hold.
const bool kHeapBlocks = true;
#else
const size_t kGuard = 0;
const bool kHeapBlocks = false;
#endif

char* takeBlock(size_t bytes) {
  if (kHeapBlocks) return static_cast<char*>(::operator new(bytes, std::align_val_t(kAlign), std::nothrow));
  return cadhost::memoryTake(bytes);
}

void giveBlock(char* block, size_t bytes) {
  if (kHeapBlocks) ::operator delete(block, std::align_val_t(kAlign));
  else cadhost::memoryGive(block, bytes);
}

size_t roundUp(size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }
}  // namespace

ObjectPool::~ObjectPool() {
  for (const Block& b : m_blocks) {
    ASAN_UNPOISON_MEMORY_REGION(b.bytes, b.size);
    giveBlock(b.bytes, b.size);
  }
}

void* ObjectPool::allocate(size_t size) {
  const size_t need = kGuard + roundUp(size ? size : 1);
  if (need > m_left) {
    m_grow = m_grow ? std::min(2 * m_grow, kLargestBlockBytes) : kFirstBlockBytes;
    const size_t bytes = std::max(need, m_grow);
    m_blocks.reserve(m_blocks.size() + 1);
    char* block = takeBlock(bytes);
    if (!block) throw std::bad_alloc();
    m_blocks.push_back({block, bytes});
    ASAN_POISON_MEMORY_REGION(block, bytes);
    m_next = block;
    m_left = bytes;
  }
  char* object = m_next + kGuard;
  m_next += need;
  m_left -= need;
  if (kGuard) {
    ASAN_UNPOISON_MEMORY_REGION(object - kGuard, sizeof size);
    std::memcpy(object - kGuard, &size, sizeof size);
    ASAN_POISON_MEMORY_REGION(object - kGuard, sizeof size);
  }
  ASAN_UNPOISON_MEMORY_REGION(object, size);
  return object;
}

void ObjectPool::destroy(AcDbObject* o) {
  if (!o) return;
  o->~AcDbObject();
  if (kGuard) {
    char* object = reinterpret_cast<char*>(o);
    size_t size = 0;
    ASAN_UNPOISON_MEMORY_REGION(object - kGuard, sizeof size);
    std::memcpy(&size, object - kGuard, sizeof size);
    ASAN_POISON_MEMORY_REGION(object - kGuard, sizeof size);
    release(object, size);
  }
}

void ObjectPool::release(void* p, size_t size) { ASAN_POISON_MEMORY_REGION(p, size); }

void ObjectDisposer::operator()(AcDbObject* o) const {
  if (pooled) ObjectPool::destroy(o);
  else delete o;
}
