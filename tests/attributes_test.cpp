#include "pos/attributes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const unsigned char* u(const char* s) {
  return reinterpret_cast<const unsigned char*>(s);
}

unsigned int eomi(const std::string& s) { return getEomiAttribute(u(s.c_str())); }
unsigned int josa(const std::string& s) { return getJosaAttribute(u(s.c_str())); }
unsigned int bound(const std::string& s) {
  return getBoundNounAttribute(u(s.c_str()));
}
unsigned int clue(const std::string& s) { return getClueAttribute(u(s.c_str())); }

struct Marker {
  const char* text;
  unsigned int bit;
};

const Marker EOMI[] = {
    {"@무종성", 0x1},        {"@유종성", 0x2},        {"@ㄹ종성", 0x4},
    {"-ㄹ종성", 0x8},        {"@ㅆ종성", 0x10},       {"-동사", 0x20},
    {"-형용사", 0x40},       {"-선어말어미", 0x80},   {"보조사-", 0x100},
    {"보조용언-", 0x200},    {"+지정사", 0x400},      {"-지정사", 0x800},
    {"-지정사생략", 0x1000}, {"@지정사", 0x2000},     {"+으시", 0x4000},
    {"-어생략", 0x8000},     {"여불규칙", 0x10000},   {"특이", 0x20000},
    {"어절추정", 0x40000},
};
const Marker JOSA[] = {
    {"@무종성", 0x1}, {"@유종성", 0x2},  {"+ㄹ종성", 0x4},  {"@체언", 0x8},
    {"@대명사", 0x10}, {"보조사-", 0x20}, {"어미-", 0x40},   {"어절추정", 0x80},
};
const Marker BOUND[] = {{"@단위", 0x1}, {"+의존", 0x2}, {"-의존", 0x4}};
const Marker CLUE[] = {
    {"+1음절명사", 0x1},     {"+2음절명사", 0x2},     {"+1음절동사", 0x4},
    {"+2음절동사", 0x8},     {"+보조사", 0x10},       {"1음절명사+", 0x10000},
    {"2음절명사+", 0x20000}, {"1음절동사+", 0x40000}, {"2음절동사+", 0x80000},
    {"의존명사+", 0x100000}, {"어미+", 0x200000},     {"보조사+", 0x400000},
};

template <size_t N>
void expectEveryMarker(const Marker (&markers)[N],
                       unsigned int (*lookup)(const std::string&)) {
  unsigned int seen = 0;
  for (const Marker& m : markers) {
    SCOPED_TRACE(m.text);
    EXPECT_EQ(lookup(m.text), m.bit);
    // One bit per marker, no two markers sharing it.
    EXPECT_EQ(m.bit & (m.bit - 1), 0u);
    EXPECT_EQ(seen & m.bit, 0u);
    seen |= m.bit;
  }
}

}  // namespace

TEST(Attributes, EveryMarkerHasItsBit) {
  expectEveryMarker(EOMI, eomi);
  expectEveryMarker(JOSA, josa);
  expectEveryMarker(BOUND, bound);
  expectEveryMarker(CLUE, clue);
}

TEST(Attributes, SameMarkerDiffersByLexicon) {
  EXPECT_EQ(josa("보조사-"), 0x20u);
  EXPECT_EQ(eomi("보조사-"), 0x100u);
  EXPECT_EQ(eomi("@무종성"), josa("@무종성"));
  EXPECT_EQ(eomi("어절추정"), 0x40000u);
  EXPECT_EQ(josa("어절추정"), 0x80u);
  // A marker of one lexicon is unknown to the others.
  EXPECT_EQ(eomi("@체언"), 0u);
  EXPECT_EQ(josa("-동사"), 0u);
  EXPECT_EQ(josa("@ㄹ종성"), 0u);
  EXPECT_EQ(eomi("+ㄹ종성"), 0u);
  EXPECT_EQ(bound("@무종성"), 0u);
  EXPECT_EQ(clue("보조사-"), 0u);
  EXPECT_EQ(eomi("보조사+"), 0u);
  EXPECT_EQ(clue("어미-"), 0u);
  EXPECT_EQ(josa("어미+"), 0u);
}

TEST(Attributes, MatchIsExact) {
  EXPECT_EQ(eomi("+지정사"), 0x400u);
  EXPECT_EQ(eomi("+지정사 "), 0u);
  EXPECT_EQ(eomi(" +지정사"), 0u);
  EXPECT_EQ(eomi("+지정"), 0u);
  EXPECT_EQ(eomi("지정사"), 0u);
  // "-지정사" is a prefix of "-지정사생략": each is its own marker.
  EXPECT_EQ(eomi("-지정사"), 0x800u);
  EXPECT_EQ(eomi("-지정사생략"), 0x1000u);
  EXPECT_EQ(eomi("-지정사생"), 0u);
  EXPECT_EQ(clue("어미+"), 0x200000u);
  EXPECT_EQ(clue("어미"), 0u);
  EXPECT_EQ(clue("+어미"), 0u);
  EXPECT_EQ(clue("3음절명사+"), 0u);
  EXPECT_EQ(bound("의존"), 0u);
  EXPECT_EQ(bound("@단위\n"), 0u);
  // A marker followed by its own repetition is no marker.
  EXPECT_EQ(josa("@체언@체언"), 0u);
}

TEST(Attributes, EmptyAndNullAreNoMarker) {
  EXPECT_EQ(clue(""), 0u);
  EXPECT_EQ(eomi(""), 0u);
  EXPECT_EQ(josa(""), 0u);
  EXPECT_EQ(bound(""), 0u);
  EXPECT_EQ(getEomiAttribute(nullptr), 0u);
  EXPECT_EQ(getJosaAttribute(nullptr), 0u);
  EXPECT_EQ(getBoundNounAttribute(nullptr), 0u);
  EXPECT_EQ(getClueAttribute(nullptr), 0u);
  // Text up to an embedded zero is what is compared.
  const unsigned char cut[] = {'@', 0xEB, 0x8B, 0xA8, 0xEC, 0x9C, 0x84, 0, 'x', 0};
  EXPECT_EQ(getBoundNounAttribute(cut), 0x1u);
}
