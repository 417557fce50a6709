#include "base/large_block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "tagger/word_memo.h"

namespace {

bool alignedTo(const void* p, size_t alignment) {
  return reinterpret_cast<uintptr_t>(p) % alignment == 0;
}

TEST(LargeBlock, BlocksOfEverySizeAreWritableAndAligned) {
  // Small blocks, blocks of one huge page and a little more or less, and
  // blocks of several.
  const size_t sizes[] = {1,
                          100,
                          LARGE_BLOCK - 1,
                          LARGE_BLOCK,
                          LARGE_BLOCK + 1,
                          3 * LARGE_BLOCK + 12345};
  for (size_t size : sizes) {
    for (size_t alignment : {size_t{8}, size_t{16}, size_t{64}}) {
      unsigned char* block =
          static_cast<unsigned char*>(allocateBlock(size, alignment));
      ASSERT_NE(block, nullptr) << size;
      EXPECT_TRUE(alignedTo(block, alignment)) << size << " " << alignment;
      // Every byte is usable.
      std::memset(block, 0x5A, size);
      EXPECT_EQ(block[0], 0x5A) << size;
      EXPECT_EQ(block[size - 1], 0x5A) << size;
      releaseBlock(block, size, alignment);
    }
  }
  releaseBlock(nullptr, 10, 8);
}

TEST(LargeBlock, ArenaHandsOutSeparateAlignedRangesAcrossBlocks) {
  BlockArena arena(256);
  struct Range {
    unsigned char* at;
    size_t size;
    unsigned char fill;
  };
  std::vector<Range> ranges;
  // Many small requests fill several blocks; a request larger than any
  // block so far gets a block of its own; odd sizes test the alignment.
  const size_t sizes[] = {3, 8, 40, 1, 200, 5000, 7, LARGE_BLOCK + 5, 16};
  for (int round = 0; round < 300; ++round) {
    for (size_t size : sizes) {
      if (size > LARGE_BLOCK && round % 100 != 0) continue;
      unsigned char* at =
          static_cast<unsigned char*>(arena.allocate(size, 8));
      ASSERT_TRUE(alignedTo(at, 8)) << size;
      const unsigned char fill = static_cast<unsigned char>(ranges.size());
      std::memset(at, fill, size);
      ranges.push_back(Range{at, size, fill});
    }
  }
  // No range overwrote another.
  for (const Range& r : ranges) {
    for (size_t k : {size_t{0}, r.size / 2, r.size - 1})
      ASSERT_EQ(r.at[k], r.fill) << r.size;
  }
  arena.release();
  // The arena starts again after a release.
  unsigned char* again = static_cast<unsigned char*>(arena.allocate(10, 8));
  again[9] = 1;
  EXPECT_EQ(again[9], 1);
}

TEST(LargeBlock, ArraysAreFilledAndMoveTheirStorage) {
  // Sizes below, at and past the point where an array takes a huge page.
  for (size_t n : {size_t{0}, size_t{1}, size_t{1000}, LARGE_BLOCK / 16 * 3,
                   LARGE_BLOCK / 8, LARGE_BLOCK / 8 + 1}) {
    BlockArray<uint64_t> a(n, 0x1234);
    ASSERT_EQ(a.size(), n);
    EXPECT_EQ(a.bytes(), n * sizeof(uint64_t));
    EXPECT_EQ(a.empty(), n == 0);
    size_t wrong = 0;
    for (uint64_t v : a) wrong += v != 0x1234;
    EXPECT_EQ(wrong, 0u) << n;
    if (n == 0) continue;
    a[n - 1] = 7;
    uint64_t* data = a.data();
    BlockArray<uint64_t> b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(b.data(), data);
    EXPECT_EQ(b[n - 1], 7u);
    BlockArray<uint64_t> c(3, 1);
    c = std::move(b);
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(c.size(), n);
    EXPECT_EQ(c[n - 1], 7u);
  }
}

TEST(LargeBlock, CostTablesGrowPastAHugePage) {
  // More slots than one huge page holds: the table's storage moves to a
  // mapped block, and every value survives the moves.
  CompactCostTable table;
  const uint32_t count = 300000;
  for (uint32_t k = 0; k < count; ++k)
    table.slot(uint64_t{k} * 7919) = static_cast<float>(k);
  EXPECT_GT(table.bytes(), LARGE_BLOCK);
  EXPECT_EQ(table.size(), count);
  for (uint32_t k = 0; k < count; ++k)
    ASSERT_EQ(table.slot(uint64_t{k} * 7919), static_cast<float>(k)) << k;
  EXPECT_TRUE(std::isnan(table.slot(1)));
  table.clear();
  EXPECT_EQ(table.bytes(), 0u);
  EXPECT_TRUE(std::isnan(table.slot(7919)));
}

}  // namespace
