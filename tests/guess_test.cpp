// Unknown-word guessing: where "nf" nodes are added over a built lattice.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "analyzer/analyzer_impl.h"
#include "lexicon_fixture.h"
#include "result/candidate_impl.h"

namespace {

constexpr unsigned int kNounClass = 0x10000;
constexpr unsigned int kNfSub = 1024;

const char* const kLexicon =
    "학교 학교/nng\n"
    "이 이/jks[@유종성]\n"
    "가 가/jks[@무종성]\n"
    "에 에/jkb\n";

typedef std::set<std::pair<unsigned long, unsigned long>> Spans;

class GuessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dic_ = compileLexicon(kLexicon);
    ASSERT_NE(nullptr, dic_);
    analyzer_.reset(new AnalyzerImpl(dic_.get()));
  }

  // The lattice over `word`, then guessing; returns every (offset, length)
  // at which an "nf" node exists afterwards that the lattice did not have.
  Spans guess(const char* word) {
    text_ = units(word);
    buildLattice(analyzer_.get(), text_);
    const Spans before = nfSpans();
    analyzer_->guessNF(text_.data(), unitCount(text_));
    Spans added;
    for (const auto& span : nfSpans())
      if (before.count(span) == 0) added.insert(span);
    return added;
  }

  Spans nfSpans() {
    Spans spans;
    for (unsigned long p = 0; p < ANALYZER_POSITIONS; ++p)
      for (unsigned long len = 0; len <= ANALYZER_POSITIONS; ++len)
        if (analyzer_->findExistsPOS(p, len, kNounClass, kNfSub) != nullptr)
          spans.insert({p, len});
    return spans;
  }

  std::unique_ptr<KnowledgeImpl> dic_;
  std::unique_ptr<AnalyzerImpl> analyzer_;
  std::vector<unsigned short> text_;
};

TEST_F(GuessTest, ParticleJustifiesAGuessOnlyAfterTheMatchingSyllable) {
  // 가 follows open syllables: after 터 it closes the noun 컴퓨터.
  EXPECT_EQ((Spans{{0, 3}, {0, 4}, {1, 2}, {1, 3}, {2, 1}, {3, 1}}),
            guess("컴퓨터가"));
  // After the closed 텀 it does not; only the end of the word does.
  EXPECT_EQ((Spans{{0, 4}, {1, 3}, {2, 1}, {3, 1}}), guess("컴퓨텀가"));
  // 이 follows closed syllables: the other way round.
  EXPECT_EQ((Spans{{0, 3}, {0, 4}, {1, 2}, {1, 3}, {2, 1}, {3, 1}}),
            guess("컴퓨텀이"));
  EXPECT_EQ((Spans{{0, 4}, {1, 3}, {2, 1}, {3, 1}}), guess("컴퓨터이"));
  // A particle without a syllable condition fits anywhere.
  EXPECT_EQ((Spans{{0, 3}, {0, 4}, {1, 2}, {1, 3}, {2, 1}, {3, 1}}),
            guess("컴퓨텀에"));
  // A particle must close the word, or stand before a symbol run.
  EXPECT_EQ((Spans{{0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}}),
            guess("컴퓨터가컴"));
  EXPECT_EQ((Spans{{0, 3}, {0, 4}, {1, 2}, {1, 3}, {2, 1}, {3, 1}}),
            guess("컴퓨터가."));
}

TEST_F(GuessTest, GuessesStopAtSymbolRuns) {
  // Nothing reaches across the full stop, and the stop itself gets nothing.
  EXPECT_EQ((Spans{{0, 3}, {1, 2}, {2, 1}}), guess("컴퓨터."));
  EXPECT_EQ((Spans{{0, 1}}), guess("컴."));
  // After a run the walk goes on behind it.
  EXPECT_EQ((Spans{{3, 2}, {4, 1}}), guess("abc컴퓨"));
  EXPECT_EQ((Spans{{0, 1}, {3, 1}}), guess("컴12컴"));
}

TEST_F(GuessTest, KnownNounsBoundAndSkipGuesses) {
  // The walk jumps over 학교: nothing starts inside it.
  EXPECT_EQ((Spans{{2, 2}, {3, 1}}), guess("학교컴퓨"));
  EXPECT_EQ((Spans{{2, 1}}), guess("학교컴"));
  // A known noun of two units ends a guess before it, without stopping
  // longer ones.
  EXPECT_EQ((Spans{{0, 2}, {0, 4}, {1, 3}}), guess("컴퓨학교"));
}

TEST_F(GuessTest, NounIrregularNodesAreNoKnownNouns) {
  // 학굔 reads as 학교 with a contracted ㄴ; that reading does not hold the
  // guesses back as 학교 itself does.
  EXPECT_EQ((Spans{{0, 3}, {1, 2}, {2, 1}}), guess("학굔컴"));
}

TEST_F(GuessTest, SymbolOnlyWordsGetNoGuessButForALastSingleUnit) {
  EXPECT_TRUE(guess("abc123").empty());
  EXPECT_TRUE(guess("1").empty());
  EXPECT_TRUE(guess("!?").empty());
  // The last run is one unit long: that unit also gets an unknown noun.
  EXPECT_EQ((Spans{{3, 1}}), guess("abc1"));
  EXPECT_EQ((Spans{{1, 1}}), guess("a1"));
}

TEST_F(GuessTest, EmptyTextAddsNothing) {
  EXPECT_TRUE(guess("").empty());
  analyzer_->guessNF(nullptr, 5);
  EXPECT_TRUE(nfSpans().empty());
}

TEST_F(GuessTest, LastUnitAfterARunIsGuessedOnce) {
  // ab is a run ending one unit short of the end; 가 then gets exactly one
  // unknown noun, so ab + 가 is analysed exactly once with 가 as "nf".
  EXPECT_EQ((Spans{{2, 1}}), guess("ab가"));
  analyzer_->sortStack();
  CandidateImpl candidate;
  analyzer_->analysis(6, text_.data(), unitCount(text_), &candidate);
  int withGuess = 0;
  for (const std::string& r : describe(candidate))
    if (r == "ab/sl(0,2) + 가/nf(2,3)") ++withGuess;
  EXPECT_EQ(1, withGuess) << ::testing::PrintToString(describe(candidate));
}

TEST_F(GuessTest, LongWordsAreGuessedOnTheAnalysedPrefixOnly) {
  std::string word;
  for (int k = 0; k < 120; ++k) word += "컴";
  text_ = units(word.c_str());
  buildLattice(analyzer_.get(), text_);
  analyzer_->guessNF(text_.data(), 120);
  EXPECT_NE(nullptr, analyzer_->findExistsPOS(98, 1, kNounClass, kNfSub));
  EXPECT_NE(nullptr, analyzer_->findExistsPOS(50, 49, kNounClass, kNfSub));
  EXPECT_EQ(nullptr, analyzer_->findExistsPOS(50, 50, kNounClass, kNfSub));
  for (unsigned long len = 0; len <= ANALYZER_POSITIONS; ++len)
    EXPECT_EQ(nullptr, analyzer_->findExistsPOS(99, len, kNounClass, kNfSub));
}

TEST_F(GuessTest, AddNFTakesTheLengthModulo128) {
  std::vector<unsigned short> text(140, 0xCEF4);  // 컴
  text[0] = 0xD559;                               // 학
  text[1] = 0xAD50;                               // 교
  text[129] = 0xAC00;                             // 가
  text.push_back(0);
  analyzer_->clear();
  analyzer_->addNF(0, text.data(), 130);
  const InterResult* node =
      analyzer_->findExistsPOS(0, 2, kNounClass, kNfSub);
  ASSERT_NE(nullptr, node);
  EXPECT_EQ(0u, node->offset());
  EXPECT_EQ(NF | 1u, node->posvalue());
  EXPECT_FALSE(node->complex());
  EXPECT_EQ(0u, node->attr());
  // Two units in the record (length byte 4), the full length for parsing.
  EXPECT_EQ(4u, node->rdata()->read_uint8(node->rindex() + 4));
  EXPECT_EQ(0xD559u, node->firstChar());
  EXPECT_EQ(0xAD50u, node->lastChar());
  EXPECT_EQ(0xD559u, node->surfaceFirst());
  EXPECT_EQ(0xAC00u, node->surfaceLast());

  // An ordinary guess copies its units from the text at its offset.
  analyzer_->addNF(3, text.data(), 2);
  node = analyzer_->findExistsPOS(3, 2, kNounClass, kNfSub);
  ASSERT_NE(nullptr, node);
  EXPECT_EQ(3u, node->offset());
  EXPECT_EQ(0u, node->rdata()->read_uint8(node->rindex() - 1));  // flag
  EXPECT_EQ(0xCEF4u, node->lexicon()[0]);
  // No position list lies beyond the analysed prefix.
  analyzer_->addNF(ANALYZER_POSITIONS, text.data(), 1);
  analyzer_->addNF(ANALYZER_POSITIONS + 20, text.data(), 1);
  analyzer_->clear();
  EXPECT_EQ(nullptr, analyzer_->findExistsPOS(3, 2, kNounClass, kNfSub));
}

}  // namespace
