#include "base/large_block.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

#ifndef _WIN32
#include <sys/mman.h>
#endif

namespace {

#ifndef _WIN32
// Mapped blocks span whole huge pages.
size_t mappedSize(size_t bytes) {
  return (bytes + LARGE_BLOCK - 1) / LARGE_BLOCK * LARGE_BLOCK;
}

bool isLarge(size_t bytes) {
  return bytes >= LARGE_BLOCK && bytes <= SIZE_MAX - 2 * LARGE_BLOCK;
}

// A mapping of `size` bytes (a multiple of LARGE_BLOCK) at an address that
// is a multiple of LARGE_BLOCK: mapped one huge page larger, less the
// misaligned ends. Null when the system has no room.
void* mapAligned(size_t size) {
  const size_t span = size + LARGE_BLOCK;
  void* map = mmap(nullptr, span, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (map == MAP_FAILED) return nullptr;
  const uintptr_t start = reinterpret_cast<uintptr_t>(map);
  const uintptr_t aligned =
      (start + LARGE_BLOCK - 1) / LARGE_BLOCK * LARGE_BLOCK;
  const size_t head = aligned - start;
  if (head != 0) munmap(map, head);
  const size_t tail = span - head - size;
  if (tail != 0) munmap(reinterpret_cast<void*>(aligned + size), tail);
  void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
  // Advice only: without huge pages the block works the same.
  madvise(block, size, MADV_HUGEPAGE);
#endif
  return block;
}
#endif

}  // namespace

void* allocateBlock(size_t bytes, size_t alignment) {
#ifndef _WIN32
  if (isLarge(bytes)) {
    void* block = mapAligned(mappedSize(bytes));
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
#endif
  return ::operator new(bytes, std::align_val_t(alignment));
}

void releaseBlock(void* block, size_t bytes, size_t alignment) noexcept {
  if (block == nullptr) return;
#ifndef _WIN32
  if (isLarge(bytes)) {
    munmap(block, mappedSize(bytes));
    return;
  }
#else
  (void)bytes;  // blocks from operator new only
#endif
  ::operator delete(block, std::align_val_t(alignment));
}

void* BlockArena::allocate(size_t bytes, size_t alignment) {
  if (!blocks_.empty()) {
    const Block& last = blocks_.back();
    const size_t at = (used_ + alignment - 1) / alignment * alignment;
    if (at <= last.size && bytes <= last.size - at) {
      used_ = at + bytes;
      return last.data + at;
    }
  }
  // A new block, of the next size or of the request if larger; blocks
  // start aligned for any object.
  const size_t size = bytes > next_ ? bytes : next_;
  blocks_.reserve(blocks_.size() + 1);
  unsigned char* data = static_cast<unsigned char*>(
      allocateBlock(size, alignof(std::max_align_t)));
  blocks_.push_back(Block{data, size});
  used_ = bytes;
  if (next_ < LARGE_BLOCK) next_ = std::min(2 * next_, LARGE_BLOCK);
  return data;
}

void BlockArena::release() {
  for (const Block& block : blocks_)
    releaseBlock(block.data, block.size, alignof(std::max_align_t));
  blocks_.clear();
  used_ = 0;
}
