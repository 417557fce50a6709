// Regression tests of faults the fuzz targets found (tests/fuzz). Each test
// rebuilds the kind of input that exposed the fault and checks the sound
// behaviour.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "knowledge/inter_result.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/lexicon_source.h"
#include "reliability_support.h"
#include "result/result_impl.h"
#include "tagger/model_impl.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fixture lexicon compiled in memory.
void compileFixture(CompiledLexicon* lexicon) {
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  EXPECT_TRUE(
      parseSource(reliability::readFile(reliability::testData("basic.lex")),
                  &entries, &errors));
  EXPECT_TRUE(compileEntries(entries, lexicon));
}

// Clears the last-entry mark of every record of a record buffer that holds
// records back to back, as the compiler writes them.
std::string withoutLastMarks(const membuf& records) {
  std::string dat(reinterpret_cast<const char*>(records.buf()), records.size());
  size_t off = 0;
  while (off + 5 <= dat.size()) {
    off += 4;  // link word
    const unsigned char flag = static_cast<unsigned char>(dat[off]);
    off += flag != 0 ? 5 : 1;
    for (;;) {
      uint32_t tag;
      std::memcpy(&tag, dat.data() + off, 4);
      const size_t units = static_cast<unsigned char>(dat[off + 4]) >> 1;
      if ((tag & 1u) != 0) {
        tag &= ~1u;
        std::memcpy(&dat[off], &tag, 4);
        off += 5 + 2 * units;
        break;
      }
      off += 5 + 2 * units;
    }
  }
  EXPECT_EQ(off, dat.size());
  return dat;
}

// A record whose entries never carry the last mark was walked to the end of
// the record buffer's capacity (a megabyte of zero entries after the loaded
// records) for every node built from it, and once more for every result:
// a dictionary with such records took seconds per word. The walk now stops
// after RECORD_MAX_ENTRIES entries, in the node and in the result alike.
TEST(FuzzRegression, RecordWithoutLastMarkIsReadForBoundedEntries) {
  membuf buf(4096, 1024);
  buf.append_uint8(0);  // no attribute word
  const unsigned short first = 0x4E00;
  for (unsigned k = 0; k < 300; ++k) {
    buf.append_uint32(static_cast<unsigned int>(NNG));  // bit 0 clear
    buf.append_uint8(3);                                // one unit, spelled
    buf.append_uint16(static_cast<uint16_t>(first + k));
  }
  const unsigned short text[] = {0xD559, 0};
  InterResult* node = new InterResult();
  node->offset(0);
  node->length(1);
  node->parse(&buf, 0, text, 1);
  EXPECT_TRUE(node->complex());
  EXPECT_EQ(node->firstChar(), first);
  EXPECT_EQ(node->lastChar(), first + RECORD_MAX_ENTRIES - 1);

  OpStack<InterResult*> path;
  path.push(node);
  ResultImpl result;
  result.set(nullptr, path);
  EXPECT_EQ(result.size(), RECORD_MAX_ENTRIES);
  for (unsigned long i = 0; i < result.size(); ++i) {
    EXPECT_LE(result.endOffset(static_cast<int>(i)), 1u);
  }
  delete node;

  // The same through the analyzer: every record of the fixture dictionary
  // without its mark, every word analysed in bounded time.
  CompiledLexicon lexicon;
  compileFixture(&lexicon);
  const std::string dat = withoutLastMarks(lexicon.records);
  Knowledge* dic = Knowledge::createObject();
  ASSERT_EQ(dic->loadFromBuffer(
                reinterpret_cast<const char*>(lexicon.units.data()),
                lexicon.units.size() * sizeof(TrieUnit),
                reinterpret_cast<const char*>(lexicon.index.data()),
                lexicon.index.size() * sizeof(int32_t), dat.data(), dat.size()),
            0);
  Analyzer* analyzer = Analyzer::createObject(dic);
  Candidate* candidate = Candidate::createObject();
  const Clock::time_point start = Clock::now();
  for (int round = 0; round < 20; ++round) {
    for (const char* word : {"학교에서", "가다가다가다가다", "나는것이개를",
                             "책을먹는데", "갈갈갈갈갈갈"}) {
      ASSERT_GE(analyzer->process(word, candidate), 1u) << word;
      for (unsigned long i = 0; i < candidate->size(); ++i)
        EXPECT_LE(candidate->get(i)->size(), 2 * RECORD_MAX_ENTRIES) << word;
    }
  }
  EXPECT_LT(secondsSince(start), 10.0);
  Candidate::destroyObject(candidate);
  Analyzer::destroyObject(analyzer);
  Knowledge::destroyObject(dic);
}

// The matcher as it was: every star tried the rest of the pattern at every
// offset, which is exponential in the number of stars.
bool recursiveWildcard(const char* pattern, const char* text) {
  for (; *pattern != '*'; ++pattern, ++text) {
    if (*pattern == 0) return *text == 0;
    if (*pattern == '?') {
      if (*text == 0) return false;
    } else if (*pattern != *text) {
      return false;
    }
  }
  ++pattern;
  if (*pattern == 0) return true;
  size_t n = std::strlen(text);
  for (size_t i = 0; i < n; ++i)
    if (recursiveWildcard(pattern, text + i)) return true;
  return false;
}

// A pattern line such as "*?*?*?*?*?*?*?*?*?Z" (the model fuzz target loads
// pattern files and matches tag sequences with them) kept the matcher busy
// for minutes on a 65-character tag sequence. The matcher now works segment
// by segment; it must keep every answer of the old one, quirks included
// ("a*b" does not match "a", "**" does not match "").
TEST(FuzzRegression, WildcardMatchIsPolynomialWithTheSameAnswers) {
  reliability::Random random(5);
  const char alphabet[] = "ab?*";
  size_t matches = 0;
  for (int k = 0; k < 60000; ++k) {
    std::string pattern, text;
    const size_t pl = random.below(8), tl = random.below(8);
    for (size_t i = 0; i < pl; ++i) pattern += alphabet[random.below(4)];
    for (size_t i = 0; i < tl; ++i) text += alphabet[random.below(2)];
    const bool expected = recursiveWildcard(pattern.c_str(), text.c_str());
    ASSERT_EQ(uwildcard(pattern.c_str(), text.c_str()), expected)
        << "pattern [" << pattern << "] text [" << text << "]";
    matches += expected;
  }
  EXPECT_GT(matches, 3000u);  // both answers were well exercised
  EXPECT_FALSE(uwildcard("**", ""));
  EXPECT_TRUE(uwildcard("*", ""));
  EXPECT_FALSE(uwildcard("a*b", "a"));
  EXPECT_TRUE(uwildcard("a**", "ab"));

  const char line[] =
      "nng+jkb vv+ef nng+jks nnb+jko vv+ec nng+jx vv+ep+ef+sf sn+nnb+jko";
  std::string many;
  for (int k = 0; k < 30; ++k) many += "*?";
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(uwildcard((many + "Z").c_str(), line));
  EXPECT_TRUE(uwildcard((many + "o").c_str(), line));
  const std::u16string wide(u"*?*?*?*?*?*?*?*?*?*?x");
  const std::u16string long_text(5000, u'y');
  EXPECT_FALSE(uwildcard(wide.c_str(), long_text.c_str()));
  EXPECT_LT(secondsSince(start), 5.0);
}

}  // namespace
