#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/hangul_table.h"
#include "base/revision.h"

namespace {

using U16 = std::vector<unsigned short>;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
using Units = std::unique_ptr<unsigned short, FreeDeleter>;
using Bytes = std::unique_ptr<unsigned char, FreeDeleter>;

const unsigned char* u8(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

// The units of a converted string up to its zero, or {0xDEAD} for null.
U16 toUnits(const char* utf8) {
  Units units(utf8_touchar(u8(utf8)));
  if (!units) return {0xDEAD};
  U16 out;
  for (const unsigned short* p = units.get(); *p != 0; ++p) out.push_back(*p);
  return out;
}

// A zero-terminated copy of the units.
U16 z(U16 units) {
  units.push_back(0);
  return units;
}

std::string toUtf8(const U16& units, int n) {
  Bytes bytes(uchar_toutf8(units.data(), n));
  if (!bytes) return "<null>";
  return reinterpret_cast<const char*>(bytes.get());
}

unsigned short lower(unsigned short c) {
  unsigned short s[2] = {c, 0};
  ustrtolower(s);
  return s[0];
}

U16 readings(unsigned short c) {
  const unsigned short* out = nullptr;
  const size_t n = utohangul(c, &out);
  return n == 0 ? U16{} : U16(out, out + n);
}

std::string dataPath(const char* name) {
  return std::string(TALMORO_TEST_DATA) + "/" + name;
}

TEST(Utf8ToUchar, DecodesOneTwoAndThreeByteSequences) {
  EXPECT_EQ(toUnits("Ab1"), (U16{'A', 'b', '1'}));
  EXPECT_EQ(toUnits("\xC3\xA9\xCE\xA9"), (U16{0x00E9, 0x03A9}));  // é Ω
  EXPECT_EQ(toUnits("한국어"), (U16{0xD55C, 0xAD6D, 0xC5B4}));
  EXPECT_EQ(toUnits("\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"),
            (U16{0x7F, 0x80, 0x7FF, 0x800, 0xFFFF}));
  // Code points, or bytes in the byte-count revision.
  constexpr bool bytes = revision::UTF8_BYTE_COUNT;
  EXPECT_EQ(utf8_ucharlen(u8("한국어 ok")), bytes ? 12u : 6u);
  EXPECT_EQ(utf8_ucharlen(u8("\xC3\xA9")), bytes ? 2u : 1u);
  // Overlong forms and encoded surrogates pass unchecked.
  EXPECT_EQ(toUnits("\xC1\x81"), (U16{0x41}));
  EXPECT_EQ(toUnits("\xED\xA0\x80"), (U16{0xD800}));
}

// Where the revisions part: the engine's own conversion reads a four-byte
// sequence as one space; the byte-count revision (macOS, reduced) reads every
// lead byte from 0xE0 up as three bytes, so a four-byte sequence leaves a
// stray continuation and the whole text is malformed.
TEST(Utf8ToUchar, FourByteSequenceByRevision) {
  if constexpr (!revision::UTF8_BYTE_COUNT) {
    // U+1F600 and U+20000: one unit each, so offsets still count code points.
    EXPECT_EQ(toUnits("a\xF0\x9F\x98\x80" "b"), (U16{'a', ' ', 'b'}));
    EXPECT_EQ(toUnits("\xF0\xA0\x80\x80\xF0\xA0\x80\x80"), (U16{' ', ' '}));
    EXPECT_EQ(utf8_ucharlen(u8("a\xF0\x9F\x98\x80" "b")), 3u);
    EXPECT_EQ(utf8_ucharlen(u8("\xF4\x8F\xBF\xBF")), 1u);
    // A four-byte sequence cut by the zero.
    EXPECT_EQ(toUnits("\xF0\x9F\x98"), (U16{0xDEAD}));
    EXPECT_EQ(utf8_ucharlen(u8("\xF0\x9F\x98")), 0u);
  } else {
    EXPECT_EQ(toUnits("a\xF0\x9F\x98\x80" "b"), (U16{0xDEAD}));
    EXPECT_EQ(toUnits("\xF0\xA0\x80\x80\xF0\xA0\x80\x80"), (U16{0xDEAD}));
    EXPECT_EQ(utf8_ucharlen(u8("a\xF0\x9F\x98\x80" "b")), 0u);
    EXPECT_EQ(utf8_ucharlen(u8("\xF4\x8F\xBF\xBF")), 0u);
    // Three bytes from such a lead decode with the three-byte formula.
    EXPECT_EQ(toUnits("\xF0\x9F\x98"), (U16{0x07D8}));
    EXPECT_EQ(utf8_ucharlen(u8("\xF0\x9F\x98")), 3u);
    EXPECT_EQ(toUnits("\xF8\x88\x80" "a"), (U16{0x8200, 'a'}));
  }
}

TEST(Utf8ToUchar, EmptyOrMalformedTextGivesNothing) {
  const char* bad[] = {
      "",
      "\x80",                      // stray continuation byte
      "ab\xBF",                    // stray continuation at the end
      "\xF8\x88\x80\x80\x80",      // five-byte lead
      "\xFF",                      // never a lead byte
      "\xC3",                      // two-byte sequence cut by the zero
      "\xED\x95",                  // three-byte sequence cut by the zero
      "\xC3\x41",                  // wrong continuation
      "\xED\x95\x41",              // wrong last continuation
      "\xF0\x9F\x41\x80",          // wrong inner continuation
      "한\xC3국어",                // one bad sequence amid valid text
  };
  for (const char* text : bad) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    EXPECT_EQ(utf8_ucharlen(u8(text)), 0u);
    EXPECT_EQ(utf8_touchar(u8(text)), nullptr);
  }
}

TEST(UcharUtf8Len, CountsBytesOfTheFirstUnits) {
  const U16 s = z({0x41, 0x7F, 0x80, 0x7FF, 0x800, 0xD55C, 0xFFFF});
  EXPECT_EQ(uchar_utf8len(s.data()), 1u + 1 + 2 + 2 + 3 + 3 + 3);
  EXPECT_EQ(uchar_utf8len(s.data(), 2), 2u);
  EXPECT_EQ(uchar_utf8len(s.data(), 4), 6u);
  EXPECT_EQ(uchar_utf8len(s.data(), 100), 15u);  // stops at the zero
  EXPECT_EQ(uchar_utf8len(s.data(), 0), 0u);
  EXPECT_EQ(uchar_utf8len(s.data(), -1), 0u);
  const U16 empty = z({});
  EXPECT_EQ(uchar_utf8len(empty.data()), 0u);
  EXPECT_EQ(uchar_utf8len(empty.data(), 5), 0u);
}

TEST(UcharToUtf8, EncodesTheFirstUnitsOnly) {
  const U16 words = z({0xD55C, 0xAD6D, 0xC5B4, 0xC0AC, 0xC804});  // 한국어사전
  Bytes three(uchar_toutf8(words.data(), 3));
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(std::strlen(reinterpret_cast<char*>(three.get())), 9u);
  EXPECT_STREQ(reinterpret_cast<char*>(three.get()), "한국어");
  EXPECT_EQ(toUtf8(words, 2147483647), "한국어사전");
  Bytes whole(uchar_toutf8(words.data()));
  ASSERT_NE(whole, nullptr);
  EXPECT_STREQ(reinterpret_cast<char*>(whole.get()), "한국어사전");

  EXPECT_EQ(toUtf8(z({0x41, 0xE9, 0x800}), 10), "A\xC3\xA9\xE0\xA0\x80");
  // Unpaired surrogates become three bytes each.
  EXPECT_EQ(toUtf8(z({0xD83D, 0xDE00}), 2), "\xED\xA0\xBD\xED\xB8\x80");
  EXPECT_EQ(toUtf8(z({}), 5), "<null>");
  EXPECT_EQ(toUtf8(words, 0), "<null>");
  EXPECT_EQ(toUtf8(words, -3), "<null>");
}

TEST(UcharToUtf8, EveryUnitRoundTrips) {
  U16 all;
  for (unsigned c = 1; c <= 0xFFFF; ++c) all.push_back(static_cast<unsigned short>(c));
  all.push_back(0);
  Bytes bytes(uchar_toutf8(all.data()));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::strlen(reinterpret_cast<char*>(bytes.get())),
            uchar_utf8len(all.data()));
  EXPECT_EQ(utf8_ucharlen(bytes.get()),
            revision::UTF8_BYTE_COUNT ? uchar_utf8len(all.data()) : 0xFFFFu);
  Units back(utf8_touchar(bytes.get()));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(std::memcmp(back.get(), all.data(), all.size() * sizeof(all[0])), 0);
}

TEST(TextFunctions, NullArgumentsGiveNullOrZero) {
  EXPECT_EQ(readfile(nullptr), nullptr);
  EXPECT_EQ(utf8_ucharlen(nullptr), 0u);
  EXPECT_EQ(utf8_touchar(nullptr), nullptr);
  EXPECT_EQ(uchar_utf8len(nullptr), 0u);
  EXPECT_EQ(uchar_utf8len(nullptr, 4), 0u);
  EXPECT_EQ(uchar_toutf8(nullptr), nullptr);
  EXPECT_EQ(uchar_toutf8(nullptr, 4), nullptr);
  EXPECT_EQ(utohangul(0x6F22, nullptr), 0u);
  EXPECT_EQ(ustrtohangul(nullptr), 0u);
  EXPECT_EQ(ustrtolower(nullptr), nullptr);
}

struct LowerCase {
  unsigned short from;
  unsigned short to;
};

TEST(UstrToLower, MapsEveryRangeAtItsEdges) {
  const LowerCase cases[] = {
      {0x0040, 0x0040}, {0x0041, 0x0061}, {0x005A, 0x007A}, {0x005B, 0x005B},
      {0x00BF, 0x00BF}, {0x00C0, 0x00E0}, {0x00D6, 0x00F6}, {0x00D7, 0x00D7},
      {0x00D8, 0x00F8}, {0x00DE, 0x00FE}, {0x00DF, 0x00DF},
      {0x0130, 0x0069},
      {0x0100, 0x0101}, {0x0101, 0x0101}, {0x012E, 0x012F}, {0x012F, 0x012F},
      {0x0131, 0x0131}, {0x0136, 0x0137}, {0x0137, 0x0137},
      {0x014A, 0x014B}, {0x0176, 0x0177}, {0x0177, 0x0177},
      {0x0178, 0x00FF},
      {0x0138, 0x0138}, {0x0139, 0x013A}, {0x0147, 0x0148}, {0x0148, 0x0148},
      {0x0149, 0x0149}, {0x0179, 0x017A}, {0x017D, 0x017E}, {0x017E, 0x017E},
      {0x0180, 0x0180}, {0x0181, 0x0253}, {0x0182, 0x0183}, {0x0189, 0x0189},
      {0x01A6, 0x01A6}, {0x01A9, 0x0283}, {0x01BC, 0x01BD}, {0x01C4, 0x01C6},
      {0x01C5, 0x01C6}, {0x01C6, 0x01C6}, {0x01CB, 0x01CC}, {0x01CE, 0x01CE},
      {0x01CF, 0x01D0},
      {0x01D0, 0x01D0}, {0x01D1, 0x01D2}, {0x01DB, 0x01DC}, {0x01DC, 0x01DC},
      {0x01DD, 0x01DD}, {0x01DE, 0x01DF}, {0x01EE, 0x01EF}, {0x01EF, 0x01EF},
      {0x01F1, 0x01F3}, {0x01F2, 0x01F2}, {0x01F4, 0x01F5},
      {0x01FA, 0x01FB}, {0x01FE, 0x01FF}, {0x0200, 0x0201}, {0x0216, 0x0217},
      {0x0217, 0x0217}, {0x0218, 0x0218},
      {0x0386, 0x03AC}, {0x0387, 0x0387}, {0x0388, 0x03AD}, {0x038A, 0x03AF},
      {0x038B, 0x038B}, {0x038C, 0x03CC}, {0x038D, 0x038D}, {0x038E, 0x03CD},
      {0x038F, 0x03CE},
      {0x0390, 0x0390}, {0x0391, 0x03B1}, {0x03A1, 0x03C1}, {0x03A2, 0x03A2},
      {0x03A3, 0x03C3}, {0x03AB, 0x03CB}, {0x03AC, 0x03AC},
      {0x03E1, 0x03E1}, {0x03E2, 0x03E3}, {0x03EE, 0x03EF}, {0x03EF, 0x03EF},
      {0x0400, 0x0400}, {0x0401, 0x0451}, {0x040C, 0x045C}, {0x040D, 0x040D},
      {0x040E, 0x045E}, {0x040F, 0x045F},
      {0x0410, 0x0430}, {0x042F, 0x044F}, {0x0430, 0x0430},
      {0x0460, 0x0461}, {0x047E, 0x047F}, {0x0480, 0x0481}, {0x0481, 0x0481},
      {0x048E, 0x048E}, {0x0490, 0x0491}, {0x04BE, 0x04BF}, {0x04BF, 0x04BF},
      {0x04C0, 0x04C0}, {0x04C1, 0x04C2}, {0x04C3, 0x04C4}, {0x04C5, 0x04C5},
      {0x04C7, 0x04C8}, {0x04C9, 0x04C9}, {0x04CB, 0x04CC}, {0x04CC, 0x04CC},
      {0x04D0, 0x04D1}, {0x04EA, 0x04EB}, {0x04EC, 0x04EC}, {0x04EE, 0x04EF},
      {0x04F6, 0x04F6}, {0x04F8, 0x04F9}, {0x04F9, 0x04F9}, {0x04FA, 0x04FA},
      {0x0530, 0x0530}, {0x0531, 0x0561}, {0x0556, 0x0586}, {0x0557, 0x0557},
      {0x10A0, 0x10D0}, {0x10C5, 0x10F5}, {0x10C6, 0x10C6},
      {0x1E00, 0x1E01}, {0x1E94, 0x1E95}, {0x1E96, 0x1E96}, {0x1EA0, 0x1EA1},
      {0x1EF8, 0x1EF9}, {0x1EFA, 0x1EFA},
      {0x1F07, 0x1F07}, {0x1F08, 0x1F00}, {0x1F0F, 0x1F07}, {0x1F18, 0x1F10},
      {0x1F1D, 0x1F15}, {0x1F1E, 0x1F1E}, {0x1F28, 0x1F20}, {0x1F2F, 0x1F27},
      {0x1F38, 0x1F30}, {0x1F3F, 0x1F37}, {0x1F48, 0x1F40}, {0x1F4D, 0x1F45},
      {0x1F4E, 0x1F4E},
      {0x1F58, 0x1F58}, {0x1F59, 0x1F51}, {0x1F5A, 0x1F5A}, {0x1F5F, 0x1F57},
      {0x1F68, 0x1F60}, {0x1F6F, 0x1F67}, {0x1F88, 0x1F80}, {0x1F8F, 0x1F87},
      {0x1F98, 0x1F90}, {0x1F9F, 0x1F97}, {0x1FA8, 0x1FA0}, {0x1FAF, 0x1FA7},
      {0x1FB8, 0x1FB0}, {0x1FB9, 0x1FB1}, {0x1FBA, 0x1FBA}, {0x1FD8, 0x1FD0},
      {0x1FD9, 0x1FD1}, {0x1FE8, 0x1FE0}, {0x1FE9, 0x1FE1}, {0x1FEA, 0x1FEA},
      {0x24B5, 0x24B5}, {0x24B6, 0x24D0}, {0x24CF, 0x24E9}, {0x24D0, 0x24D0},
      {0xFF20, 0xFF20}, {0xFF21, 0xFF41}, {0xFF3A, 0xFF5A}, {0xFF3B, 0xFF3B},
      {0xAC00, 0xAC00}, {0xD55C, 0xD55C}, {0x4E00, 0x4E00}, {0xFFFF, 0xFFFF},
  };
  for (const LowerCase& c : cases) {
    EXPECT_EQ(lower(c.from), c.to) << std::hex << "U+" << c.from;
  }
}

TEST(UstrToLower, ChangesTheWholeStringInPlace) {
  U16 s = z({0xFF21, 0xFF22, 0x0130, 0x00DF, 0xD55C, 'X'});
  EXPECT_EQ(ustrtolower(s.data()), s.data());
  EXPECT_EQ(s, z({0xFF41, 0xFF42, 0x0069, 0x00DF, 0xD55C, 'x'}));
  // Nothing after the terminating zero is touched.
  U16 cut = {'A', 0, 'B', 0};
  ustrtolower(cut.data());
  EXPECT_EQ(cut, (U16{'a', 0, 'B', 0}));
}

TEST(Readings, QuotedRowsComeOutExactly) {
  EXPECT_EQ(readings(0x4E00), (U16{0xC77C}));                  // 一 일
  EXPECT_EQ(readings(0x6F22), (U16{0xD55C, 0xD0C4}));          // 漢 한 탄
  EXPECT_EQ(readings(0x6A02), (U16{0xC545, 0xB77D, 0xC694}));  // 樂 악 락 요
  EXPECT_EQ(readings(0x6734), (U16{0xBC15, 0xBD80, 0xBCF5, 0xD478}));
  EXPECT_EQ(readings(0x6B32), (U16{0xC695, 0xC720, 0xC18D, 0xC219, 0xC0AD}));
  EXPECT_EQ(readings(0x3400), (U16{0xAD6C}));                  // 㐀 구
  EXPECT_EQ(readings(0x6597), (U16{0xB450, 0x8212}));          // 斗 두 舒
  EXPECT_EQ(readings(0x9149), (U16{0x9149, 0xC720}));          // 酉 酉 유
  EXPECT_EQ(readings(0x5B57).at(0), 0xC790);                   // 字 자

  const unsigned short* out = &HANGUL_CODE[0];
  EXPECT_EQ(utohangul('A', &out), 0u);
  EXPECT_EQ(out, nullptr);
  out = &HANGUL_CODE[0];
  EXPECT_EQ(utohangul(0xFFFF, &out), 0u);
  EXPECT_EQ(out, nullptr);
}

TEST(Readings, TableCoversTheUnifiedIdeographsOnly) {
  EXPECT_EQ(HANGUL_INDEX[0], 0);
  size_t total = 0;
  size_t ideographs = 0;
  for (unsigned c = 0; c <= 0xFFFF; ++c) {
    if (c < 0xFFFF) {
      ASSERT_LE(HANGUL_INDEX[c], HANGUL_INDEX[c + 1]) << std::hex << c;
    }
    const unsigned short* out = nullptr;
    const size_t n = utohangul(static_cast<unsigned short>(c), &out);
    total += n;
    if (n == 0) continue;
    ++ideographs;
    const bool extA = c >= 0x3400 && c <= 0x4DB5;
    const bool unified = c >= 0x4E00 && c <= 0x9FA5;
    EXPECT_TRUE(extA || unified) << std::hex << "U+" << c;
    if (c == 0x6597 || c == 0x9149) continue;  // the two rows with an ideograph
    for (size_t i = 0; i < n; ++i) {
      EXPECT_TRUE(out[i] >= 0xAC00 && out[i] <= 0xD7A3) << std::hex << "U+" << c;
    }
  }
  EXPECT_GE(ideographs, 26000u);
  EXPECT_EQ(total, HANGUL_CODE_LENGTH);
  for (unsigned c = 0xF900; c <= 0xFAFF; ++c) {
    EXPECT_EQ(readings(static_cast<unsigned short>(c)), U16{}) << std::hex << c;
  }
}

TEST(UstrToHangul, ReplacesByThePrimaryReading) {
  U16 hanja = z({0x6F22, 0x5B57});  // 漢字
  EXPECT_EQ(ustrtohangul(hanja.data()), 2u);
  EXPECT_EQ(hanja, z({0xD55C, 0xC790}));  // 한자

  U16 mixed = z({0x9149, 'A', 0x6597, 0xF900, 0xD55C});  // 酉A斗豈한
  EXPECT_EQ(ustrtohangul(mixed.data()), 5u);
  EXPECT_EQ(mixed, z({0x9149, 'A', 0xB450, 0xF900, 0xD55C}));

  U16 latin = z({'A', 'B', 'C'});
  EXPECT_EQ(ustrtohangul(latin.data()), 3u);
  EXPECT_EQ(latin, z({'A', 'B', 'C'}));
  U16 empty = z({});
  EXPECT_EQ(ustrtohangul(empty.data()), 0u);
}

struct Jamo {
  unsigned short initial, medial, final;
  bool operator==(const Jamo& o) const {
    return initial == o.initial && medial == o.medial && final == o.final;
  }
};

std::ostream& operator<<(std::ostream& os, const Jamo& j) {
  return os << j.initial << "/" << j.medial << "/" << j.final;
}

Jamo decode(unsigned short c) {
  Jamo j{7, 7, 7};
  decode_han(c, j.initial, j.medial, j.final);
  return j;
}

TEST(DecodeHan, SplitsSyllablesAcrossTheWholeBlock) {
  EXPECT_EQ(decode(0xAC00), (Jamo{0, 0, 0}));     // 가
  EXPECT_EQ(decode(0xD55C), (Jamo{18, 0, 4}));    // 한
  EXPECT_EQ(decode(0xC744), (Jamo{11, 18, 8}));   // 을
  EXPECT_EQ(decode(0xB2C8), (Jamo{2, 20, 0}));    // 니
  EXPECT_EQ(decode(0xC785), (Jamo{11, 20, 17}));  // 입
  EXPECT_EQ(decode(0xD7A3), (Jamo{18, 20, 27}));  // 힣, the last syllable
  // The twelve unassigned units that close the block.
  EXPECT_EQ(decode(0xD7A4), (Jamo{19, 0, 0}));
  EXPECT_EQ(decode(0xD7AF), (Jamo{19, 0, 11}));
  const unsigned short outside[] = {0xABFF, 0xD7B0, 'A', 0x0000, 0x3131, 0xFFFF};
  for (unsigned short c : outside) {
    EXPECT_EQ(decode(c), (Jamo{99, 99, 99})) << std::hex << c;
  }
  for (unsigned c = 0xAC00; c <= 0xD7A3; ++c) {
    const Jamo j = decode(static_cast<unsigned short>(c));
    ASSERT_TRUE(j.initial < 19 && j.medial < 21 && j.final < 28) << std::hex << c;
    ASSERT_EQ(0xAC00 + (j.initial * 21 + j.medial) * 28 + j.final, c);
  }
}

TEST(ReadFile, ReadsTheWholeFileZeroTerminated) {
  std::unique_ptr<char[]> text(readfile(dataPath("text/sample.txt").c_str()));
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text.get(), "first line\r\n한국어\nlast");

  std::unique_ptr<char[]> empty(readfile(dataPath("text/empty.txt").c_str()));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], '\0');
}

TEST(ReadFile, RefusesWhatIsNoRegularFile) {
  EXPECT_EQ(readfile(TALMORO_TEST_DATA), nullptr);  // a directory
  EXPECT_EQ(readfile(dataPath("text/no-such-file.txt").c_str()), nullptr);
  EXPECT_EQ(readfile(""), nullptr);
  EXPECT_EQ(readfile("/dev/null"), nullptr);  // a device
}

}  // namespace
