// Include in exactly one translation unit of a fuzz target.
//
// The decoder and the work file allocate buffers of 64 KiB and more on every
// open. Under AddressSanitizer each such block is a fresh mapping, and the page
// faults and unmapping cost more than the decoding itself (a few hundred
// inputs a second). Blocks of those sizes are kept for reuse instead; while
// kept they are poisoned, so a use after free is still reported.
#pragma once

#include <sanitizer/allocator_interface.h>
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace neb_fuzz {

struct KeptBlock {
  std::size_t size;
  void* block;
};

inline constexpr std::size_t kLargeBlock = 32 * 1024;
inline constexpr int kKept = 16;
inline KeptBlock kept[kKept];
inline int keptCount = 0;

inline void* allocate(std::size_t n) {
  if (n >= kLargeBlock) {
    for (int i = 0; i < keptCount; ++i) {
      if (kept[i].size != n) continue;
      void* p = kept[i].block;
      kept[i] = kept[--keptCount];
      ASAN_UNPOISON_MEMORY_REGION(p, n);
      return p;
    }
  }
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}

inline void release(void* p) noexcept {
  if (!p) return;
  const std::size_t n = __sanitizer_get_allocated_size(p);
  if (n >= kLargeBlock && keptCount < kKept) {
    ASAN_POISON_MEMORY_REGION(p, n);
    kept[keptCount++] = {n, p};
    return;
  }
  std::free(p);
}

}  // namespace neb_fuzz

void* operator new(std::size_t n) { return neb_fuzz::allocate(n); }
void* operator new[](std::size_t n) { return neb_fuzz::allocate(n); }
void operator delete(void* p) noexcept { neb_fuzz::release(p); }
void operator delete[](void* p) noexcept { neb_fuzz::release(p); }
void operator delete(void* p, std::size_t) noexcept { neb_fuzz::release(p); }
void operator delete[](void* p, std::size_t) noexcept { neb_fuzz::release(p); }

// Variants not replaced above (nothrow, aligned) still come from the
// sanitizer's own operator new and may end in the delete above.
extern "C" const char* __asan_default_options() { return "alloc_dealloc_mismatch=0"; }
