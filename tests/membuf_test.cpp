#include "base/membuf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<unsigned char> bytes(const membuf& b, size_t off, size_t n) {
  return std::vector<unsigned char>(b.buf() + off, b.buf() + off + n);
}

TEST(Membuf, ConstructionAndGrowthRounding) {
  membuf b(80, 40);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.capacity(), 80u);
  ASSERT_NE(b.buf(), nullptr);

  unsigned char chunk[90];
  for (size_t i = 0; i < sizeof chunk; ++i) chunk[i] = static_cast<unsigned char>(i);
  EXPECT_EQ(b.append(chunk, 70), 0u);
  EXPECT_EQ(b.capacity(), 80u);  // 80 > 70: no growth
  EXPECT_EQ(b.append(chunk, 15), 70u);
  EXPECT_EQ(b.capacity(), 120u);  // 85 rounded up to a multiple of 40
  EXPECT_EQ(b.size(), 85u);
  EXPECT_EQ(std::memcmp(b.buf(), chunk, 70), 0);
  EXPECT_EQ(std::memcmp(b.buf(70), chunk, 15), 0);

  // A need that is already a multiple of the block is taken as it is.
  b.grow(35);
  EXPECT_EQ(b.capacity(), 120u);
  b.grow(36);
  EXPECT_EQ(b.capacity(), 160u);
}

TEST(Membuf, ExactFitStillReallocates) {
  membuf b(8, 4);
  const unsigned char* before = b.buf();
  b.append_uint32(0x11223344u);
  EXPECT_EQ(b.buf(), before);  // 8 > 4
  b.append_uint32(0x55667788u);  // needed 8 == capacity 8
  EXPECT_EQ(b.capacity(), 8u);
  EXPECT_NE(b.buf(), before);
  EXPECT_EQ(b.read_uint32(size_t{0}), 0x11223344u);
  EXPECT_EQ(b.read_uint32(4), 0x55667788u);

  // Zero more bytes on a full buffer is an exact fit as well.
  const unsigned char* full = b.buf();
  EXPECT_EQ(b.append_s(""), 8u);
  EXPECT_NE(b.buf(), full);
  EXPECT_EQ(b.capacity(), 8u);
  EXPECT_EQ(b.read_uint32(4), 0x55667788u);
}

TEST(Membuf, ZeroBlockGrowsByteWise) {
  membuf b(0, 0);
  EXPECT_EQ(b.capacity(), 0u);
  EXPECT_EQ(b.append_s("abc"), 0u);
  EXPECT_EQ(b.capacity(), 3u);
  EXPECT_EQ(b.append_uint8(7), 3u);
  EXPECT_EQ(b.capacity(), 4u);
  EXPECT_EQ(std::memcmp(b.buf(), "abc\x07", 4), 0);
}

TEST(Membuf, TypedAppendsAreLittleEndianAndUnaligned) {
  membuf b(4, 4);
  EXPECT_EQ(b.append_uint8(0xAB), 0u);
  EXPECT_EQ(b.append_uint32(0x01020304u), 1u);
  EXPECT_EQ(b.append_int16(-2), 5u);
  EXPECT_EQ(b.append_uint64(0x0102030405060708ull), 7u);
  EXPECT_EQ(b.append_int8(-1), 15u);
  EXPECT_EQ(b.append_int32(-100000), 16u);
  EXPECT_EQ(b.append_uint16(0xBEEF), 20u);
  EXPECT_EQ(b.append_int64(-5), 22u);
  EXPECT_EQ(b.size(), 30u);

  EXPECT_EQ(bytes(b, 1, 4), (std::vector<unsigned char>{4, 3, 2, 1}));
  EXPECT_EQ(bytes(b, 5, 2), (std::vector<unsigned char>{0xFE, 0xFF}));
  EXPECT_EQ(bytes(b, 7, 8),
            (std::vector<unsigned char>{8, 7, 6, 5, 4, 3, 2, 1}));

  EXPECT_EQ(b.read_uint8(size_t{0}), 0xABu);
  EXPECT_EQ(b.read_uint32(1), 0x01020304u);
  EXPECT_EQ(b.read_int16(5), -2);
  EXPECT_EQ(b.read_uint16(5), 0xFFFEu);
  EXPECT_EQ(b.read_uint64(7), 0x0102030405060708ull);
  EXPECT_EQ(b.read_int8(15), -1);
  EXPECT_EQ(b.read_uint8(15), 0xFFu);
  EXPECT_EQ(b.read_int32(16), -100000);
  EXPECT_EQ(b.read_uint16(20), 0xBEEFu);
  EXPECT_EQ(b.read_int64(22), -5);
}

TEST(Membuf, StringEncodings) {
  membuf b(16, 8);
  b.append_uint8(9);
  EXPECT_EQ(b.append_sn("ab"), 1u);
  EXPECT_EQ(b.size(), 4u);  // with terminator
  EXPECT_STREQ(b.read_s(1), "ab");
  EXPECT_EQ(b.append_s("cd"), 4u);
  EXPECT_EQ(b.size(), 6u);  // characters only
  EXPECT_EQ(std::memcmp(b.buf(), "\x09" "ab\0cd", 6), 0);
  EXPECT_EQ(b.append_sn(""), 6u);
  EXPECT_EQ(b.size(), 7u);
  EXPECT_EQ(b.read_uint8(6), 0u);

  // At an offset: same two encodings, size untouched.
  b.write_uint8(12, 'z');
  EXPECT_EQ(b.write_s(10, "xy"), 10u);
  EXPECT_EQ(std::memcmp(b.buf(10), "xyz", 3), 0);
  EXPECT_EQ(b.write_sn(10, "xy"), 10u);
  EXPECT_EQ(std::memcmp(b.buf(10), "xy\0", 3), 0);
  EXPECT_EQ(b.size(), 7u);
}

TEST(Membuf, OffsetWritesKeepSize) {
  membuf b(80, 40);
  EXPECT_EQ(b.write_uint32(100, 0xCAFEBABEu), 100u);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.capacity(), 120u);
  EXPECT_EQ(b.read_uint32(100), 0xCAFEBABEu);

  // Overwriting inside the used bytes leaves the rest alone.
  membuf c(16, 16);
  c.append("0123456789", 10);
  EXPECT_EQ(c.write_uint16(2, 0x4241), 2u);  // "AB"
  EXPECT_EQ(c.size(), 10u);
  EXPECT_EQ(std::memcmp(c.buf(), "01AB456789", 10), 0);
  EXPECT_EQ(c.write(8, "XYZW", 4), 8u);
  EXPECT_EQ(c.size(), 10u);
  EXPECT_EQ(std::memcmp(c.buf(), "01AB4567XYZW", 12), 0);

  // Signed widths at an offset.
  membuf d(4, 4);
  d.write_int64(size_t{0}, -3);
  d.write_int16(9, -5);
  EXPECT_EQ(d.size(), 0u);
  EXPECT_EQ(d.read_int64(size_t{0}), -3);
  EXPECT_EQ(d.read_int16(9), -5);
}

TEST(Membuf, GrowthKeepsBytesPastSize) {
  // Data written past size by offset writes survives a later growth, and a
  // write beyond the old capacity does not copy from outside it.
  membuf b(80, 40);
  b.write_uint32(50, 0xA1A2A3A4u);
  b.write_uint32(200, 0xB1B2B3B4u);
  EXPECT_EQ(b.capacity(), 240u);
  EXPECT_EQ(b.read_uint32(50), 0xA1A2A3A4u);
  EXPECT_EQ(b.read_uint32(200), 0xB1B2B3B4u);
  EXPECT_EQ(b.read_uint32(120), 0u);  // never written

  // A reserve below size that needs room keeps the used bytes after off.
  membuf c(100, 100);
  for (int i = 0; i < 100; ++i) c.append_uint8(static_cast<uint8_t>(i));
  EXPECT_EQ(c.reserve(10, 95), 10u);
  EXPECT_EQ(c.size(), 100u);
  EXPECT_EQ(c.capacity(), 200u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(c.read_uint8(i), i);
}

TEST(Membuf, ReserveAndSeek) {
  membuf b(8, 8);
  b.append_uint16(1);
  EXPECT_EQ(b.reserve(10), 2u);
  EXPECT_EQ(b.size(), 12u);
  EXPECT_EQ(b.capacity(), 16u);
  EXPECT_EQ(b.append_uint8(5), 12u);

  EXPECT_EQ(b.reserve(30, 4), 30u);
  EXPECT_EQ(b.size(), 13u);
  EXPECT_EQ(b.capacity(), 40u);

  b.seek_current(-3);
  EXPECT_EQ(b.size(), 10u);
  b.seek_current(5);
  EXPECT_EQ(b.size(), 15u);
  EXPECT_EQ(b.capacity(), 40u);  // no allocation
  b.seek_current(-100);  // not before the start
  EXPECT_EQ(b.size(), 0u);

  // A request too large to represent fails without touching the buffer.
  EXPECT_EQ(b.reserve(membuf::npos), membuf::npos);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.capacity(), 40u);
}

TEST(Membuf, ReadsBoundedByCapacity) {
  membuf b(80, 40);
  b.write_uint32(76, 0x01020304u);
  EXPECT_EQ(b.size(), 0u);  // bounds are capacity, not size
  EXPECT_EQ(b.read_uint32(76), 0x01020304u);
  EXPECT_EQ(b.read_uint32(77), 0u);
  EXPECT_EQ(b.read_uint64(72), 0x0102030400000000ull);
  EXPECT_EQ(b.read_uint64(73), 0u);
  EXPECT_EQ(b.read_uint16(78), 0x0102u);
  EXPECT_EQ(b.read_uint16(79), 0u);
  EXPECT_EQ(b.read_uint8(79), 1u);
  EXPECT_EQ(b.read_uint8(80), 0u);
  EXPECT_EQ(b.read_int32(membuf::npos - 1), 0);  // no wrap-around

  EXPECT_EQ(b.read(80), b.buf() + 80);  // the end itself is allowed
  EXPECT_EQ(b.read(81), nullptr);
  EXPECT_NE(b.read_s(79), nullptr);
  EXPECT_EQ(b.read_s(80), nullptr);

  unsigned char dst[8];
  std::memset(dst, 0x55, sizeof dst);
  b.read(81, dst, sizeof dst);
  for (unsigned char c : dst) EXPECT_EQ(c, 0);

  // Partly outside: the bytes inside are copied, the rest zeroed.
  std::memset(dst, 0x55, sizeof dst);
  b.read(76, dst, sizeof dst);
  EXPECT_EQ(std::vector<unsigned char>(dst, dst + 8),
            (std::vector<unsigned char>{4, 3, 2, 1, 0, 0, 0, 0}));
}

TEST(Membuf, MissingStorage) {
  // An allocation that cannot succeed leaves the buffer without storage.
  membuf b(membuf::npos / 2, 1);
  ASSERT_EQ(b.buf(), nullptr);
  EXPECT_EQ(b.capacity(), 0u);
  EXPECT_EQ(b.append_uint32(1), membuf::npos);
  EXPECT_EQ(b.append_sn("a"), membuf::npos);
  EXPECT_EQ(b.write_uint8(size_t{0}, 1), membuf::npos);
  EXPECT_EQ(b.reserve(4), membuf::npos);
  EXPECT_EQ(b.reserve(0, 4), membuf::npos);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.read(0), nullptr);
  EXPECT_EQ(b.read_s(size_t{0}), nullptr);
  EXPECT_EQ(b.read_uint8(size_t{0}), 0u);
  unsigned char dst[2] = {9, 9};
  b.read(size_t{0}, dst, 2);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[1], 0);
}

TEST(Membuf, StaticHelpersOnRawAddresses) {
  unsigned char raw[32] = {};
  unsigned char* p = raw + 1;  // unaligned
  EXPECT_EQ(membuf::write_uint32(p, 0x0A0B0C0Du), 4u);
  EXPECT_EQ(raw[1], 0x0D);
  EXPECT_EQ(raw[4], 0x0A);
  EXPECT_EQ(membuf::read_uint32(p), 0x0A0B0C0Du);
  EXPECT_EQ(membuf::write_int64(p, -9), 8u);
  EXPECT_EQ(membuf::read_int64(p), -9);
  EXPECT_EQ(membuf::read_uint64(p), static_cast<uint64_t>(-9));
  EXPECT_EQ(membuf::write_int16(p, -7), 2u);
  EXPECT_EQ(membuf::read_int16(p), -7);
  EXPECT_EQ(membuf::read_uint16(p), 0xFFF9u);
  EXPECT_EQ(membuf::write_int8(p, -6), 1u);
  EXPECT_EQ(membuf::read_int8(p), -6);

  std::memset(raw, 'x', sizeof raw);
  EXPECT_EQ(membuf::write_s(raw, "hello"), 5u);
  EXPECT_EQ(raw[5], 'x');  // no terminator written
  EXPECT_EQ(membuf::read_s(raw), reinterpret_cast<const char*>(raw));

  unsigned char out[4] = {};
  EXPECT_EQ(membuf::write(raw + 10, "abcd", 4), 4u);
  membuf::read(raw + 10, out, 4);
  EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);

  // The helpers agree with the buffer's own encoding.
  membuf b(4, 4);
  b.append_uint8(0);
  b.append_int32(-123456);
  EXPECT_EQ(membuf::read_int32(b.buf(1)), -123456);
}

TEST(Membuf, ClearReusesStorage) {
  membuf b(16, 16);
  b.append("0123456789", 10);
  const unsigned char* storage = b.buf();
  b.clear();
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.capacity(), 16u);
  EXPECT_EQ(b.append("abc", 3), 0u);
  EXPECT_EQ(b.buf(), storage);
  EXPECT_EQ(b.capacity(), 16u);
  EXPECT_EQ(std::memcmp(b.buf(), "abc3456789", 10), 0);
}

TEST(Membuf, BorrowedBytesAreReadInPlaceUntilGrowthCopiesThem) {
  unsigned char image[8] = {1, 0, 0, 0, 2, 0, 0, 0};
  membuf b(16, 16);
  b.borrow(image, sizeof image);
  EXPECT_EQ(b.buf(), image);
  EXPECT_EQ(b.size(), 8u);
  EXPECT_EQ(b.capacity(), 8u);
  EXPECT_EQ(b.read_int32(4), 2);
  EXPECT_EQ(b.read_int32(6), 0);  // past the borrowed bytes

  // Growth moves the bytes into storage of the buffer's own.
  EXPECT_EQ(b.append_int32(3), 8u);
  EXPECT_NE(b.buf(), image);
  EXPECT_EQ(b.capacity(), 16u);
  EXPECT_EQ(b.read_int32(size_t{0}), 1);
  EXPECT_EQ(b.read_int32(8), 3);
  b.write_int32(size_t{0}, 9);
  EXPECT_EQ(image[0], 1);  // the borrowed bytes are no longer written
}

TEST(Membuf, BorrowingNothingEndsTheBorrow) {
  unsigned char image[4] = {7, 7, 7, 7};
  membuf b(16, 32);
  b.borrow(image, sizeof image);
  b.borrow(nullptr, 0);
  EXPECT_EQ(b.size(), 0u);
  EXPECT_EQ(b.capacity(), 32u);
  ASSERT_NE(b.buf(), nullptr);
  EXPECT_NE(b.buf(), image);
  EXPECT_EQ(b.append_uint8(1), 0u);
  EXPECT_EQ(image[0], 7);

  // Without a borrow, nothing borrowed keeps the storage as clear does.
  const unsigned char* own = b.buf();
  b.borrow(image, 0);
  EXPECT_EQ(b.buf(), own);
  EXPECT_EQ(b.size(), 0u);
}

}  // namespace
