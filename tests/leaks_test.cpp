// Leaks: every public interface is created, used and destroyed many times,
// and a corpus is analysed and tagged. The heap in use must come back to
// where it was: glibc's count of allocated bytes is compared before and
// after. The sanitizer build adds LeakSanitizer's check at exit.
//
// The rounds are TALMORO_LEAK_ROUNDS, 500 by default; the ctest entry
// LeakCheck runs 10,000 and LeakCheckValgrind runs the program under
// Valgrind's memcheck (labels "leaks" and "valgrind", which ctest -LE skips).
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "knowledge/lexicon_source.h"
#include "reliability_support.h"

namespace {

size_t rounds() {
  const char* env = std::getenv("TALMORO_LEAK_ROUNDS");
  if (env != nullptr && *env != '\0') return std::strtoul(env, nullptr, 10);
  return 500;
}

// Bytes the program holds on glibc's heap (0 where a sanitizer or Valgrind
// has replaced the allocator; they check leaks themselves).
size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Growth tolerated over all rounds: allocator bookkeeping and the standard
// library's lazily made buffers, far below a leak of a few bytes per round.
constexpr size_t kSlack = 64 * 1024;

class Leaks : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string message;
    // A dictionary of a few Latin surfaces: its trie is small, so that it can
    // be loaded ten thousand times (the Hangul fixture's trie spans the
    // Hangul block).
    std::vector<SourceEntry> entries;
    std::vector<SourceError> errors;
    ASSERT_TRUE(parseSource("ab\tab/sl\nabc\tabc/sl\tab/nng+c/jks\nx\tx/sl\n",
                            &entries, &errors));
    CompiledLexicon tiny;
    ASSERT_TRUE(compileEntries(entries, &tiny));
    ASSERT_TRUE(writeLexicon(tiny, dir_.path() + "/tiny", &message)) << message;
    ASSERT_TRUE(reliability::writeFixtures(dir_.path(), &message)) << message;
    // An index whose size is no multiple of 4 fails the load half-way.
    ASSERT_TRUE(writeLexicon(tiny, dir_.path() + "/bad", &message)) << message;
    ASSERT_TRUE(reliability::writeFile(dir_.path() + "/bad/sys.idx", "12345"));
    // The fixture's entries without its comment lines, which would each be
    // reported on standard error.
    user_ =
        "톨모로 톨모로/nnp\n갑니다\t갑니다/vv\n톨모로 톨/nng+모로/nng\n"
        "abc abc/nng+x/jks\n";
  }

  reliability::TempDir dir_{"talmoro_leaks"};
  std::string user_;
};

// One round of every interface: loads that succeed and loads that fail,
// analysis and tagging with the fresh objects, then destruction.
void oneRound(const std::string& root, const std::string& userText,
              size_t round) {
  Knowledge* dic = Knowledge::createObject();
  const std::string tiny = root + "/tiny";
  ASSERT_EQ(dic->load(tiny.c_str()), 0);
  if (round % 16 == 0) {
    EXPECT_EQ(dic->load((root + "/bad").c_str()), -3);
    EXPECT_EQ(dic->load((root + "/missing").c_str()), -1);
    ASSERT_EQ(dic->load(tiny.c_str()), 0);
  }

  UserKnowledge* user = UserKnowledge::createObject();
  std::vector<char> text(userText.begin(), userText.end());
  text.push_back('\0');
  EXPECT_EQ(user->loadFromBuffer(text.data()), 0);

  Model* model = Model::createObject();
  ASSERT_EQ(model->load((root + "/model").c_str()), 0);
  if (round % 16 == 0) {
    EXPECT_EQ(model->load((root + "/missing").c_str()), -1);
    ASSERT_EQ(model->load((root + "/model").c_str()), 0);
  }

  Candidate* candidate = Candidate::createObject();
  Sentence* sentence = Sentence::createObject();
  Analyzer* analyzer = Analyzer::createObject(dic, user);
  EXPECT_GE(analyzer->process("abc톨모로", candidate), 1u);
  EXPECT_GE(analyzer->process("\xff", candidate), 0u);  // malformed: nothing
  Tagger* tagger = Tagger::createObject(model, dic, user);
  EXPECT_EQ(tagger->process("abc 톨모로 x.", sentence), 3u);
  // Without a model, and on a text of delimiters only.
  Tagger* bare = Tagger::createObject();
  EXPECT_EQ(bare->process(" \t", sentence), 1u);

  Tagger::destroyObject(bare);
  Tagger::destroyObject(tagger);
  Analyzer::destroyObject(analyzer);
  Sentence::destroyObject(sentence);
  Candidate::destroyObject(candidate);
  Model::destroyObject(model);
  UserKnowledge::destroyObject(user);
  Knowledge::destroyObject(dic);
}

TEST_F(Leaks, EveryInterfaceCreatedUsedAndDestroyed) {
  const size_t n = rounds();
  oneRound(dir_.path(), user_, 0);  // warms the standard library up
  const size_t before = heapInUse();
  for (size_t r = 1; r < n && !HasFatalFailure(); ++r)
    oneRound(dir_.path(), user_, r);
  const size_t after = heapInUse();
  EXPECT_LE(after, before + kSlack) << "heap grew by " << (after - before)
                                    << " bytes over " << n << " rounds";
}

TEST_F(Leaks, CorpusAnalysedAndTagged) {
  Knowledge* dic = Knowledge::createObject();
  ASSERT_EQ(dic->load((dir_.path() + "/dic").c_str()), 0);
  UserKnowledge* user = UserKnowledge::createObject();
  std::vector<char> text(user_.begin(), user_.end());
  text.push_back('\0');
  ASSERT_EQ(user->loadFromBuffer(text.data()), 0);
  Model* model = Model::createObject();
  ASSERT_EQ(model->load((dir_.path() + "/model").c_str()), 0);
  Analyzer* analyzer = Analyzer::createObject(dic, user);
  Tagger* tagger = Tagger::createObject(model, dic, user);
  Candidate* candidate = Candidate::createObject();
  Sentence* sentence = Sentence::createObject();

  const std::vector<std::string> lines = reliability::generatedCorpus(300, 11);
  auto pass = [&] {
    for (const std::string& line : lines) {
      for (const std::string& w : reliability::words(line))
        analyzer->process(w.c_str(), candidate);
      tagger->process(line.c_str(), sentence);
    }
  };
  pass();
  const size_t before = heapInUse();
  for (int k = 0; k < 5; ++k) pass();
  EXPECT_LE(heapInUse(), before + kSlack);

  Sentence::destroyObject(sentence);
  Candidate::destroyObject(candidate);
  Tagger::destroyObject(tagger);
  Analyzer::destroyObject(analyzer);
  Model::destroyObject(model);
  UserKnowledge::destroyObject(user);
  Knowledge::destroyObject(dic);
}

}  // namespace
