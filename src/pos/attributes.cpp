#include "pos/attributes.h"

#include <cstring>

namespace {

struct Marker {
  const char* text;
  unsigned int bit;
};

const Marker EOMI_MARKERS[] = {
    {"@무종성", 0x1},         {"@유종성", 0x2},
    {"@ㄹ종성", 0x4},         {"-ㄹ종성", 0x8},
    {"@ㅆ종성", 0x10},        {"-동사", 0x20},
    {"-형용사", 0x40},        {"-선어말어미", 0x80},
    {"보조사-", 0x100},       {"보조용언-", 0x200},
    {"+지정사", 0x400},       {"-지정사", 0x800},
    {"-지정사생략", 0x1000},  {"@지정사", 0x2000},
    {"+으시", 0x4000},        {"-어생략", 0x8000},
    {"여불규칙", 0x10000},    {"특이", 0x20000},
    {"어절추정", 0x40000},
};

const Marker JOSA_MARKERS[] = {
    {"@무종성", 0x1}, {"@유종성", 0x2}, {"+ㄹ종성", 0x4},
    {"@체언", 0x8},   {"@대명사", 0x10}, {"보조사-", 0x20},
    {"어미-", 0x40},  {"어절추정", 0x80},
};

const Marker BOUND_NOUN_MARKERS[] = {
    {"@단위", 0x1},
    {"+의존", 0x2},
    {"-의존", 0x4},
};

// The low 16 bits speak of the preceding node, the high ones of the
// following node.
const Marker CLUE_MARKERS[] = {
    {"+1음절명사", 0x1},      {"+2음절명사", 0x2},
    {"+1음절동사", 0x4},      {"+2음절동사", 0x8},
    {"+보조사", 0x10},        {"1음절명사+", 0x10000},
    {"2음절명사+", 0x20000},  {"1음절동사+", 0x40000},
    {"2음절동사+", 0x80000},  {"의존명사+", 0x100000},
    {"어미+", 0x200000},      {"보조사+", 0x400000},
};

template <size_t N>
unsigned int lookup(const Marker (&markers)[N], const unsigned char* marker) {
  if (marker == nullptr) return 0;
  const char* text = reinterpret_cast<const char*>(marker);
  for (const Marker& entry : markers) {
    if (strcmp(entry.text, text) == 0) return entry.bit;
  }
  return 0;
}

}  // namespace

unsigned int getEomiAttribute(const unsigned char* marker) {
  return lookup(EOMI_MARKERS, marker);
}

unsigned int getJosaAttribute(const unsigned char* marker) {
  return lookup(JOSA_MARKERS, marker);
}

unsigned int getBoundNounAttribute(const unsigned char* marker) {
  return lookup(BOUND_NOUN_MARKERS, marker);
}

unsigned int getClueAttribute(const unsigned char* marker) {
  return lookup(CLUE_MARKERS, marker);
}
