// Room for the objects a drawing file brings, taken in large blocks instead of one heap
// allocation per object: a drawing of a hundred thousand entities is read without as many
// calls to the allocator and page faults. An object in the pool is destroyed (never freed
// alone) and its room goes back with the pool, when its database ends.
// A sanitizer build keeps the room the pool has not handed out, the gaps between objects
// and a destroyed object's bytes poisoned, so misuse of them is reported as on the heap.
#pragma once
#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

class AcDbObject;

class ObjectPool {
 public:
  ObjectPool() = default;
  ObjectPool(const ObjectPool&) = delete;
  ObjectPool& operator=(const ObjectPool&) = delete;
  // A moved pool hands its blocks over whole (the objects in them keep their addresses).
  ObjectPool(ObjectPool&& o) noexcept { swap(o); }
  ObjectPool& operator=(ObjectPool&& o) noexcept {
    swap(o);
    return *this;
  }
  ~ObjectPool();

  // Room for `size` bytes aligned for any object; throws std::bad_alloc.
  void* allocate(size_t size);
  // A new T in the pool.
  template <class T>
  T* make() {
    return new (allocate(sizeof(T))) T;
  }
  // Ends the life of an object the pool holds (its destructor runs; its room stays).
  static void destroy(AcDbObject* o);
  // Room of `size` bytes at p that is no longer used (it stays with the pool).
  static void release(void* p, size_t size);

 private:
  struct Block {
    char* bytes;
    size_t size;
  };
  void swap(ObjectPool& o) noexcept {
    std::swap(m_blocks, o.m_blocks);
    std::swap(m_next, o.m_next);
    std::swap(m_left, o.m_left);
    std::swap(m_grow, o.m_grow);
  }
  std::vector<Block> m_blocks;
  char* m_next = nullptr;
  size_t m_left = 0;
  size_t m_grow = 0;  // the size of the next block (0: the first)
};

// Room in a pool for what lives with the database's objects (what a shared_ptr of one holds):
// freeing it only releases it. The pool outlives everything made with it.
template <class T>
struct PoolAllocator {
  using value_type = T;
  explicit PoolAllocator(ObjectPool* p) : pool(p) {}
  template <class U>
  PoolAllocator(const PoolAllocator<U>& o) : pool(o.pool) {}
  T* allocate(size_t n) { return static_cast<T*>(pool->allocate(n * sizeof(T))); }
  void deallocate(T* p, size_t n) { ObjectPool::release(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const PoolAllocator<U>& o) const {
    return pool == o.pool;
  }
  template <class U>
  bool operator!=(const PoolAllocator<U>& o) const {
    return pool != o.pool;
  }
  ObjectPool* pool;
};

// Ends the life of an object the way it was made: destroyed in its pool, or deleted.
struct ObjectDisposer {
  bool pooled = false;
  void operator()(AcDbObject* o) const;
};
template <class T>
using PooledPtr = std::unique_ptr<T, ObjectDisposer>;
