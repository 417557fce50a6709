// Blocks of memory for the tables and arenas that grow with the text a
// tagger reads. A block of LARGE_BLOCK bytes or more is mapped on its own,
// aligned to and advised for huge pages where the system offers them, so
// that one page fault fills 2 MiB instead of 4 KiB and the tables' random
// reads need few address translations; smaller blocks come from operator
// new. Windows always takes operator new.
#ifndef TALMORO_BASE_LARGE_BLOCK_H_
#define TALMORO_BASE_LARGE_BLOCK_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

constexpr size_t LARGE_BLOCK = size_t{2} << 20;

// A block of at least `bytes` bytes aligned to `alignment` (a power of two
// no larger than a page); throws std::bad_alloc when there is none. Its
// contents are unspecified.
void* allocateBlock(size_t bytes, size_t alignment);
// Gives back a block of allocateBlock with the same size and alignment.
void releaseBlock(void* block, size_t bytes, size_t alignment) noexcept;

// An array of a trivial type in a block of allocateBlock, every element
// set to `fill`. An array of three quarters of a huge page or more takes a
// whole one, so that it needs one address translation. Moves, never
// copies; empty after a move.
template <typename T>
class BlockArray {
  static_assert(std::is_trivially_copyable<T>::value &&
                    std::is_trivially_destructible<T>::value,
                "elements are plain memory");

 public:
  BlockArray() = default;
  // Throws std::bad_alloc when there is no room.
  BlockArray(size_t n, const T& fill) {
    if (n == 0) return;
    if (n > SIZE_MAX / sizeof(T) / 2) throw std::bad_alloc();
    data_ = static_cast<T*>(allocateBlock(blockBytes(n), alignof(T)));
    n_ = n;
    std::fill(data_, data_ + n, fill);
  }
  BlockArray(BlockArray&& other) noexcept { swap(other); }
  BlockArray& operator=(BlockArray&& other) noexcept {
    BlockArray(std::move(other)).swap(*this);
    return *this;
  }
  BlockArray(const BlockArray&) = delete;
  BlockArray& operator=(const BlockArray&) = delete;
  ~BlockArray() {
    if (data_ != nullptr) releaseBlock(data_, blockBytes(n_), alignof(T));
  }

  void swap(BlockArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(n_, other.n_);
  }
  size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  T* data() const { return data_; }
  T& operator[](size_t i) const { return data_[i]; }
  T* begin() const { return data_; }
  T* end() const { return data_ + n_; }
  // Bytes of the elements.
  size_t bytes() const { return n_ * sizeof(T); }

 private:
  static size_t blockBytes(size_t n) {
    const size_t bytes = n * sizeof(T);
    return bytes >= LARGE_BLOCK / 4 * 3 && bytes < LARGE_BLOCK ? LARGE_BLOCK
                                                               : bytes;
  }

  T* data_ = nullptr;
  size_t n_ = 0;
};

// Memory handed out in order from blocks of allocateBlock and given back
// all at once: blocks double from `first` bytes up to LARGE_BLOCK, so that
// the large ones fill whole huge pages.
class BlockArena {
 public:
  explicit BlockArena(size_t first) : next_(first) {}
  BlockArena(const BlockArena&) = delete;
  BlockArena& operator=(const BlockArena&) = delete;
  ~BlockArena() { release(); }

  // `bytes` bytes aligned to `alignment` (a power of two no larger than
  // alignof(std::max_align_t)); throws std::bad_alloc when there are none.
  void* allocate(size_t bytes, size_t alignment);
  // Gives back every block.
  void release();

 private:
  struct Block {
    unsigned char* data;
    size_t size;
  };
  std::vector<Block> blocks_;
  size_t used_ = 0;  // of the last block
  size_t next_;      // size of the next block
};

#endif  // TALMORO_BASE_LARGE_BLOCK_H_
