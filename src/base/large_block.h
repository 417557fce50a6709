// Blocks of memory for the tables and arenas that grow with the text a
// tagger reads. A block of LARGE_BLOCK bytes or more is mapped on its own,
// aligned to and advised for huge pages where the system offers them, so
// that one page fault fills 2 MiB instead of 4 KiB and the tables' random
// reads need few address translations; smaller blocks come from operator
// new. Windows always takes operator new.
#ifndef TALMORO_BASE_LARGE_BLOCK_H_
#define TALMORO_BASE_LARGE_BLOCK_H_

#include <cstddef>
#include <vector>

constexpr size_t LARGE_BLOCK = size_t{2} << 20;

// A block of at least `bytes` bytes aligned to `alignment` (a power of two
// no larger than a page); throws std::bad_alloc when there is none. Its
// contents are unspecified.
void* allocateBlock(size_t bytes, size_t alignment);
// Gives back a block of allocateBlock with the same size and alignment.
void releaseBlock(void* block, size_t bytes, size_t alignment) noexcept;

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
