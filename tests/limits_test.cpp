// Inputs at and beyond the engine's limits: a word of 100,000 units, a line
// of 10 MB, a sentence of 100,000 eojeol take bounded time and memory and
// give the results the engine defines (only the first 99 units of a word are
// analysed; the word itself stays the origin). A sentence whose Viterbi
// matrix does not fit in the memory left is refused cleanly: the tagger
// gives its fallback, the whole text as one "nf" eojeol.
//
// The time bounds are generous (a Release build takes a fraction of them);
// they catch work that grows faster than the input.
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "reliability_support.h"
#include "tagger/tag_node.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TALMORO_LIMITS_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TALMORO_LIMITS_SANITIZED 1
#endif
#endif

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident memory of the process so far, in megabytes.
long peakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

unsigned long unitsOf(const std::string& text) {
  unsigned short* u =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text.c_str()));
  unsigned long n = 0;
  while (u != nullptr && u[n] != 0) ++n;
  std::free(u);
  return n;
}

// `text` repeated until the result has at least `bytes` bytes.
std::string repeat(const std::string& text, size_t bytes) {
  std::string out;
  out.reserve(bytes + text.size());
  while (out.size() < bytes) out += text;
  return out;
}

class Limits : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string message;
    ASSERT_TRUE(reliability::writeFixtures(dir_.path(), &message)) << message;
    dic_ = Knowledge::createObject();
    ASSERT_EQ(dic_->load((dir_.path() + "/dic").c_str()), 0);
    model_ = Model::createObject();
    ASSERT_EQ(model_->load((dir_.path() + "/model").c_str()), 0);
    analyzer_ = Analyzer::createObject(dic_);
    tagger_ = Tagger::createObject(model_, dic_);
    candidate_ = Candidate::createObject();
    sentence_ = Sentence::createObject();
  }
  void TearDown() override {
    Sentence::destroyObject(sentence_);
    Candidate::destroyObject(candidate_);
    Tagger::destroyObject(tagger_);
    Analyzer::destroyObject(analyzer_);
    Model::destroyObject(model_);
    Knowledge::destroyObject(dic_);
  }

  // Analyses one word: results only over its first 99 units, the whole word
  // as origin.
  void expectLongWord(const std::string& word) {
    ASSERT_GE(analyzer_->process(word.c_str(), candidate_), 1u);
    ASSERT_NE(candidate_->origin(), nullptr);
    EXPECT_EQ(std::strlen(candidate_->origin()), word.size());
    EXPECT_EQ(std::memcmp(candidate_->origin(), word.data(), word.size()), 0);
    for (unsigned long i = 0; i < candidate_->size(); ++i) {
      const Result* r = candidate_->get(i);
      for (unsigned long m = 0; m < r->size(); ++m)
        EXPECT_LE(r->endOffset(static_cast<int>(m)), 99u);
    }
    // Tagged, it stays one eojeol holding the whole word.
    ASSERT_EQ(tagger_->process(word.c_str(), sentence_), 1u);
    EXPECT_EQ(std::strlen(sentence_->get(0)->eojul()), word.size());
    EXPECT_LE(sentence_->get(0)->result()->endOffset(0), 99u);
  }

  reliability::TempDir dir_{"talmoro_limits"};
  Knowledge* dic_ = nullptr;
  Model* model_ = nullptr;
  Analyzer* analyzer_ = nullptr;
  Tagger* tagger_ = nullptr;
  Candidate* candidate_ = nullptr;
  Sentence* sentence_ = nullptr;
};

TEST_F(Limits, WordOf100000Units) {
  // 학교에 is three units; and a word mixing every kind of unit.
  const std::string hangul = repeat("학교에", 33333 * 9) + "학";
  ASSERT_EQ(unitsOf(hangul), 100000u);
  const std::string mixed = repeat("학교A1漢.", 250000);
  ASSERT_GE(unitsOf(mixed), 100000u);
  const Clock::time_point start = Clock::now();
  expectLongWord(hangul);
  expectLongWord(mixed);
  EXPECT_LT(secondsSince(start), 10.0);
}

TEST_F(Limits, LineOf10Megabytes) {
  const size_t size = 10u << 20;
  const Clock::time_point start = Clock::now();
  // One unbroken word.
  const std::string word = repeat("사람이", size);
  expectLongWord(word);
  // Words of 1,000 units, one space apart: every one an eojeol, its
  // offsets counted in the line.
  std::string unit = repeat("책을", 3000) + " ";  // 1,000 units and a space
  const std::string line = repeat(unit, size);
  const unsigned long words = line.size() / unit.size();
  ASSERT_EQ(tagger_->process(line.c_str(), sentence_), words);
  const Eojul* last = sentence_->get(words - 1);
  EXPECT_EQ(std::strlen(last->eojul()), unit.size() - 1);
  EXPECT_EQ(last->result()->startOffset(0), (words - 1) * 1001);
  EXPECT_LT(secondsSince(start), 60.0);
  EXPECT_LT(peakMegabytes(), 2048);
}

TEST_F(Limits, SentenceOf100000Eojeol) {
  const std::vector<std::string> lines = reliability::generatedCorpus(20000, 5);
  std::vector<std::string> words;
  for (const std::string& l : lines)
    for (const std::string& w : reliability::words(l)) words.push_back(w);
  ASSERT_FALSE(words.empty());
  std::string text;
  std::vector<unsigned long> starts;
  unsigned long units = 0;
  for (size_t i = 0; i < 100000; ++i) {
    const std::string& w = words[i % words.size()];
    starts.push_back(units);
    text += w;
    text += ' ';
    units += unitsOf(w) + 1;
  }
  const Clock::time_point start = Clock::now();
  ASSERT_EQ(tagger_->process(text.c_str(), sentence_), 100000u);
  EXPECT_LT(secondsSince(start), 60.0);
  EXPECT_LT(peakMegabytes(), 2048);
  for (size_t i = 0; i < 100000; i += 997) {
    const Eojul* e = sentence_->get(i);
    EXPECT_EQ(e->eojul(), words[i % words.size()]);
    EXPECT_EQ(e->result()->startOffset(0), starts[i]) << i;
  }
}

TEST(LimitsMatrix, ShapeBeyondTheAddressRangeIsRefused) {
  TagNode node;
  EXPECT_EQ(node.init(1ul << 40, 1ul << 40), -1);  // overflows size_t
  EXPECT_EQ(node.width(), 0u);
  EXPECT_EQ(node.count(), 0u);
  EXPECT_EQ(node.init(3, 2), 0);
  EXPECT_EQ(node.width(), 3u);
  EXPECT_EQ(node.count(), 2u);
}

// The child's verdict: 0 when the tagger fell back as it should.
[[maybe_unused]] int tagUnderMemoryLimit() {
  // Freed memory stays with the process, and large blocks come from their
  // own mappings, so that the second run below finds room for everything
  // but the matrix.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  reliability::TempDir dir("talmoro_matrix");
  std::string message;
  if (!reliability::writeFixtures(dir.path(), &message)) return 10;
  Knowledge* dic = Knowledge::createObject();
  Model* model = Model::createObject();
  if (dic->load((dir.path() + "/dic").c_str()) != 0 ||
      model->load((dir.path() + "/model").c_str()) != 0)
    return 11;
  // 가나 has 97 analyses in this user dictionary: the matrix is 97 cells
  // per eojeol, more than the eojeol of one analysis each need otherwise.
  static const char* const tags[] = {"nnp", "nng", "nnb", "np",  "nr", "xr",
                                     "mag", "mm",  "ic",  "nnu", "vv", "va"};
  std::string source = "가나";
  for (const char* a : tags)
    for (const char* b : tags) source += std::string(" 가/") + a + "+나/" + b;
  source += "\n";
  std::vector<char> buffer(source.begin(), source.end());
  buffer.push_back('\0');
  UserKnowledge* user = UserKnowledge::createObject();
  user->loadFromBuffer(buffer.data());
  Tagger* tagger = Tagger::createObject(model, dic, user);
  Sentence* sentence = Sentence::createObject();
  const size_t count = 60000;
  std::string text = "가나";
  for (size_t i = 1; i < count; ++i) text += " 책";

  // Unlimited, the sentence is tagged (its matrix is some 70 MB).
  if (tagger->process(text.c_str(), sentence) != count) return 12;
  sentence->clear();
  // Now with 16 MB more than the process holds.
  long pages = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) return 13;
  std::fclose(statm);
  struct rlimit limit;
  limit.rlim_cur = limit.rlim_max =
      static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (16u << 20);
  if (setrlimit(RLIMIT_AS, &limit) != 0) return 14;
  const unsigned long n = tagger->process(text.c_str(), sentence);
  if (n != 1) {
    std::fprintf(stderr, "tagged under the limit: %lu eojeol\n", n);
    return 15;
  }
  const Eojul* e = sentence->get(0);
  if (e == nullptr || text != e->eojul()) return 16;
  const Result* r = e->result();
  if (r->size() != 1 || std::strcmp(r->posTag(0), "nf") != 0 ||
      text != r->lexicon(0) || r->startOffset(0) != 0 ||
      r->endOffset(0) != unitsOf(text))
    return 17;
  // The tagger is whole afterwards: a short sentence is tagged again.
  if (tagger->process("가나 책", sentence) != 2) return 18;
  return 0;
}

TEST(LimitsMatrix, MatrixBeyondMemoryGivesTheFallback) {
#ifdef TALMORO_LIMITS_SANITIZED
  GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
#else
  // The child starts afresh (the "threadsafe" style runs the program again
  // for this test alone), so that no memory freed by earlier tests is there
  // to hold the matrix.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(_exit(tagUnderMemoryLimit()), ::testing::ExitedWithCode(0), "")
      << "10-14: setup failed; 15-17: no fallback; 18: tagger broken after";
#endif
}

}  // namespace
