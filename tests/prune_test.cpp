// Candidate pruning: the predicates, the one-syllable tables and the three
// stages of removeResult, on candidates built by hand (no dictionary).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "analyzer/prune_tables.h"
#include "base/revision.h"
#include "pos/pos.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

struct M {
  const char* text;
  unsigned int tag;
  unsigned long start;
  unsigned long end;
};

class PruneTest : public ::testing::Test {
 protected:
  // Appends a result made of `ms` to the candidate and returns it.
  ResultImpl* add(std::initializer_list<M> ms) { return add(c_, ms); }
  static ResultImpl* add(CandidateImpl& c, std::initializer_list<M> ms) {
    ResultImpl* r = new ResultImpl();
    for (const M& m : ms)
      r->append(reinterpret_cast<const unsigned char*>(m.text), m.tag,
                m.start, m.end);
    c.append(r);
    return r;
  }

  // "text/tag+text/tag" per result, in list order.
  static std::vector<std::string> describe(const CandidateImpl& c) {
    std::vector<std::string> out;
    for (unsigned long i = 0; i < c.size(); ++i) {
      const ResultImpl* r = c.at(i);
      std::string s;
      for (unsigned long k = 0; k < r->size(); ++k) {
        if (k > 0) s += "+";
        s += std::string(r->lexicon(k)) + "/" + r->posTag(k);
      }
      out.push_back(s);
    }
    return out;
  }

  // Prunes the candidate and describes the survivors.
  std::vector<std::string> prune() {
    a_.removeResult(&c_);
    return describe(c_);
  }

  AnalyzerImpl a_;
  CandidateImpl c_;
};

typedef std::vector<std::string> Survivors;

// The build's expectation: the survivors of the engine's own rule set, or of
// the reduced one (stage 2 alone, without rules 10, 14 and 15).
constexpr bool REDUCED = revision::REDUCED_PRUNING;
Survivors expected(Survivors full, Survivors reduced) {
  return REDUCED ? reduced : full;
}

int rowCount(const WORD_TO_WORD* table) {
  int n = 0;
  while (table[n].word[0] != '\0') ++n;
  return n;
}

int listCount(const WORD_TO_WORD& row) {
  int n = 0;
  while (n < 61 && row.next[n] != nullptr && row.next[n][0] != '\0') ++n;
  return n;
}

const WORD_TO_WORD* findRow(const WORD_TO_WORD* table, const char* word) {
  for (; table->word[0] != '\0'; ++table)
    if (std::strcmp(table->word, word) == 0) return table;
  return nullptr;
}

// --- Tables ------------------------------------------------------------------

TEST(PruneTables, RowCountsAndByteOrder) {
  const struct {
    const WORD_TO_WORD* table;
    int rows;
  } tables[] = {{mm1_nnb1, 46}, {nnb1_xsn1, 112}, {nnb1_nnb1, 48}};
  for (const auto& t : tables) {
    ASSERT_EQ(rowCount(t.table), t.rows);
    for (int i = 0; i < t.rows; ++i) {
      const WORD_TO_WORD& row = t.table[i];
      if (i > 0) {
        EXPECT_LT(std::strcmp(t.table[i - 1].word, row.word), 0) << row.word;
      }
      const int n = listCount(row);
      EXPECT_GE(n, 1) << row.word;
      EXPECT_LE(n, 60) << row.word;
      ASSERT_NE(row.next[n], nullptr) << row.word;  // an explicit "" ends it
      EXPECT_STREQ(row.next[n], "");
      for (int k = 1; k < n; ++k)
        EXPECT_LT(std::strcmp(row.next[k - 1], row.next[k]), 0)
            << row.word << " " << row.next[k];
    }
    EXPECT_STREQ(t.table[t.rows].next[0], "");
  }
  EXPECT_STREQ(disallow_n_josa1[0], "서");
  EXPECT_STREQ(disallow_n_josa1[1], "");
}

TEST(PruneTables, SpotChecks) {
  EXPECT_STREQ(mm1_nnb1[0].word, "각");
  EXPECT_STREQ(mm1_nnb1[45].word, "현");
  const WORD_TO_WORD* han = findRow(mm1_nnb1, "한");
  ASSERT_NE(han, nullptr);
  EXPECT_EQ(listCount(*han), 56);
  EXPECT_STREQ(han->next[0], "간");
  EXPECT_STREQ(han->next[2], "개");
  EXPECT_STREQ(han->next[55], "회");
  const WORD_TO_WORD* seo = findRow(mm1_nnb1, "서");
  ASSERT_NE(seo, nullptr);
  EXPECT_EQ(listCount(*seo), 2);

  EXPECT_STREQ(nnb1_xsn1[0].word, "간");
  EXPECT_STREQ(nnb1_xsn1[111].word, "회");
  ASSERT_NE(findRow(nnb1_xsn1, "년"), nullptr);
  EXPECT_EQ(listCount(*findRow(nnb1_xsn1, "년")), 18);
  EXPECT_EQ(listCount(*findRow(nnb1_xsn1, "개")), 9);

  EXPECT_STREQ(nnb1_nnb1[0].word, "개");
  EXPECT_STREQ(nnb1_nnb1[47].word, "회");
  ASSERT_NE(findRow(nnb1_nnb1, "년"), nullptr);
  EXPECT_EQ(listCount(*findRow(nnb1_nnb1, "년")), 17);
  EXPECT_EQ(listCount(*findRow(nnb1_nnb1, "회")), 4);
}

TEST(PruneTables, Can1SyllableConnect) {
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "한", "개"));
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "각", "권"));
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "현", "씨"));
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "한", "회"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "한", "곳"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "정", "개"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "힣", "개"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(mm1_nnb1, "", ""));
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(nnb1_xsn1, "개", "씩"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(nnb1_xsn1, "개", "화"));
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(nnb1_nnb1, "년", "간"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(nnb1_nnb1, "개", "월"));
}

TEST(PruneTables, Can1SyllableConnectStopsAtGreaterEntry) {
  // Out of order on purpose: the look-up relies on byte order and gives up
  // at the first row or entry greater than the word sought.
  static const WORD_TO_WORD unsorted[] = {
      {"나", {"다", "가", ""}},
      {"가", {"나", ""}},
      {"", {""}},
  };
  EXPECT_TRUE(AnalyzerImpl::can1SyllableConnect(unsorted, "나", "다"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(unsorted, "나", "가"));
  EXPECT_FALSE(AnalyzerImpl::can1SyllableConnect(unsorted, "가", "나"));
}

TEST(PruneTables, BinarySearchAnswersAsTheScan) {
  // Every word of the three tables is three bytes long, which is what the
  // binary search relies on for texts of other lengths.
  const struct {
    const WORD_TO_WORD* table;
    OneSyllableTable name;
  } tables[] = {{mm1_nnb1, MM1_NNB1},
                {nnb1_xsn1, NNB1_XSN1},
                {nnb1_nnb1, NNB1_NNB1}};
  std::vector<std::string> words = {"", "a", "\xEC\x84", "한개", "\xF0\x9F\x98\x80",
                                    "가", "힣"};
  for (const auto& t : tables) {
    for (const WORD_TO_WORD* row = t.table; row->word[0] != '\0'; ++row) {
      EXPECT_EQ(std::strlen(row->word), 3u) << row->word;
      words.push_back(row->word);
      for (int k = 0; k < listCount(*row); ++k) {
        EXPECT_EQ(std::strlen(row->next[k]), 3u) << row->next[k];
        words.push_back(row->next[k]);
      }
    }
  }
  std::sort(words.begin(), words.end());
  words.erase(std::unique(words.begin(), words.end()), words.end());
  int connected = 0;
  for (const auto& t : tables) {
    for (const std::string& w1 : words) {
      for (const std::string& w2 : words) {
        const bool scan =
            AnalyzerImpl::can1SyllableConnect(t.table, w1.c_str(), w2.c_str());
        ASSERT_EQ(oneSyllableConnects(t.name, w1.c_str(), w2.c_str()), scan)
            << w1 << " " << w2;
        connected += scan;
      }
    }
  }
  // Every listed pair, and nothing else, connects.
  EXPECT_EQ(connected, [] {
    int pairs = 0;
    for (const WORD_TO_WORD* t : {mm1_nnb1, nnb1_xsn1, nnb1_nnb1})
      for (; t->word[0] != '\0'; ++t) pairs += listCount(*t);
    return pairs;
  }());
}

// --- Predicates --------------------------------------------------------------

TEST_F(PruneTest, HasMorphemeSkipsOnlyTheResultUnderTest) {
  ResultImpl* a = add({{"학교", NNG, 0, 2}, {"에", JKB, 2, 3}});
  ResultImpl* b = add({{"학", NNG, 0, 1}, {"교에", NNG, 1, 3}});
  EXPECT_TRUE(a_.hasMorpheme(&c_, a, 1, 3));
  EXPECT_FALSE(a_.hasMorpheme(&c_, b, 1, 3));
  EXPECT_TRUE(a_.hasMorpheme(&c_, b, 0, 2));
  EXPECT_TRUE(a_.hasMorpheme(&c_, nullptr, 1, 3));  // nothing skipped
  EXPECT_FALSE(a_.hasMorpheme(&c_, a, 0, 3));
  CandidateImpl empty;
  EXPECT_FALSE(a_.hasMorpheme(&empty, nullptr, 0, 1));
}

TEST_F(PruneTest, HasMultiMorpheme) {
  ResultImpl* r = add({{"정", VV, 0, 1}, {"말", EC, 1, 2}, {"로", JKB, 2, 3}});
  EXPECT_TRUE(a_.hasMultiMorpheme(r, 0, 2));
  EXPECT_TRUE(a_.hasMultiMorpheme(r, 0, 3));
  EXPECT_TRUE(a_.hasMultiMorpheme(r, 1, 3));
  EXPECT_FALSE(a_.hasMultiMorpheme(r, 0, 1));  // one morpheme only
  EXPECT_FALSE(a_.hasMultiMorpheme(r, 5, 6));  // nothing starts there
  ResultImpl* whole = add({{"정말", MAG, 0, 2}, {"로", JKB, 2, 3}});
  EXPECT_FALSE(a_.hasMultiMorpheme(whole, 0, 2));  // the end overshoots
  ResultImpl* none = add({});
  EXPECT_FALSE(a_.hasMultiMorpheme(none, 0, 2));
}

TEST_F(PruneTest, HasWordEndingAndNotEnding) {
  ResultImpl* r = add({{".", SF, 0, 1}, {"나", NP, 1, 2}});
  EXPECT_FALSE(a_.hasWordEnding(&c_, r, 1, 2));
  EXPECT_TRUE(a_.hasWordNotEnding(&c_, r, 1, 2));  // no other result
  add({{".", SF, 0, 1}, {"나", NNG, 1, 2}});
  EXPECT_FALSE(a_.hasWordEnding(&c_, r, 1, 2));
  EXPECT_TRUE(a_.hasWordNotEnding(&c_, r, 1, 2));
  // Every morpheme over the stretch is tried, not only the first one.
  add({{".", SF, 0, 1}, {"나", NNB, 1, 2}, {"다", EF, 1, 2}});
  EXPECT_TRUE(a_.hasWordEnding(&c_, r, 1, 2));
  EXPECT_FALSE(a_.hasWordNotEnding(&c_, r, 1, 2));
  EXPECT_FALSE(a_.hasWordEnding(&c_, r, 0, 1));  // a symbol is no ending
  CandidateImpl cop;
  add(cop, {{".", SF, 0, 1}, {"이", VCP, 1, 2}});
  EXPECT_TRUE(a_.hasWordEnding(&cop, r, 1, 2));
}

TEST_F(PruneTest, HasNo1NNB1NNPResultFollowsOneRun) {
  ResultImpl* r = add({{"대한", NNP, 0, 2}, {"민국", NNG, 2, 4}, {"인", NNB, 4, 5}});
  CandidateImpl c;
  add(c, {{"대한민국", NNP, 0, 4}, {"인", NNB, 4, 5}});
  EXPECT_FALSE(a_.hasNo_1NNB_1NNP_Result(&c, r, 0, 5));
  add(c, {{"대한민국인이", NNG, 0, 6}});  // ends beyond the stretch
  EXPECT_FALSE(a_.hasNo_1NNB_1NNP_Result(&c, r, 0, 5));
  add(c, {{"대한", NNG, 0, 2}, {"민국인", NNB, 2, 5}});  // nnb of 3 units
  EXPECT_TRUE(a_.hasNo_1NNB_1NNP_Result(&c, r, 0, 5));
  EXPECT_FALSE(a_.hasNo_1NNB_1NNP_Result(&c, r, 1, 5));
  CandidateImpl p;
  add(p, {{"대한민국", NNG, 0, 4}, {"인", NNP, 4, 5}});
  EXPECT_FALSE(a_.hasNo_1NNB_1NNP_Result(&p, r, 0, 5));
}

TEST_F(PruneTest, HasNotNFMorpheme) {
  ResultImpl* r = add({{"학교다", NF, 0, 3}});
  CandidateImpl c;
  add(c, {{"학교", NF, 0, 2}, {"다", JX, 2, 3}});
  EXPECT_FALSE(a_.hasNotNFMorpheme(&c, r, 0, 3));
  add(c, {{"학교", NNG, 0, 2}, {"다", JX, 2, 3}});
  EXPECT_TRUE(a_.hasNotNFMorpheme(&c, r, 0, 3));
  EXPECT_TRUE(a_.hasNotNFMorpheme(&c, r, 0, 2));
  EXPECT_FALSE(a_.hasNotNFMorpheme(&c, r, 0, 1));
}

TEST_F(PruneTest, HasNounMorphemeAnswersFromFirstMatchOnly) {
  ResultImpl* r = add({{"학교", NNG, 0, 2}, {"수", NNB, 2, 3}});
  add({{"학", NNG, 0, 1}, {"교수", NNG, 1, 3}});  // does not cover [0,3)
  ResultImpl* proper = add({{"학교수", NNP, 0, 3}});
  add({{"학교수", NNG, 0, 3}});
  EXPECT_FALSE(a_.hasNounMorpheme(&c_, r, 0, 3));
  c_.remove(proper, true);
  EXPECT_TRUE(a_.hasNounMorpheme(&c_, r, 0, 3));
  EXPECT_TRUE(a_.hasNounMorpheme(&c_, r, 1, 3));
  EXPECT_FALSE(a_.hasNounMorpheme(&c_, r, 2, 3));  // only r covers it
  CandidateImpl unit;
  add(unit, {{"학교수", NNU, 0, 3}});
  add(unit, {{"학교수", NNP, 0, 3}});
  EXPECT_TRUE(a_.hasNounMorpheme(&unit, r, 0, 3));
}

TEST_F(PruneTest, SmallTagPredicates) {
  ResultImpl* r = add({{"3", SN, 0, 1}, {"개", VV, 1, 2}});
  CandidateImpl c;
  add(c, {{"3", SN, 0, 1}, {"개", MM, 1, 2}, {"개", NNB, 1, 2}});
  EXPECT_FALSE(a_.hasSN_Nclass(&c, r, 1));  // only the first at 1 counts
  EXPECT_FALSE(a_.hasSNNumerals(&c, r, 1));  // the nnb follows mm, not sn
  add(c, {{"3", SN, 0, 1}, {"개", NNB, 1, 2}});
  EXPECT_TRUE(a_.hasSN_Nclass(&c, r, 1));
  EXPECT_TRUE(a_.hasSNNumerals(&c, r, 1));
  EXPECT_FALSE(a_.hasSN_Nclass(&c, r, 0));
  EXPECT_FALSE(a_.hasSNNumerals(&c, r, 0));  // needs a predecessor
  EXPECT_FALSE(a_.hasNRNumerals(&c, r, 1, 2));

  CandidateImpl n;
  add(n, {{"세", NR, 0, 1}, {"개", NNB, 1, 2}});
  add(n, {{"세", MM, 0, 1}, {"개", NNB, 1, 3}});
  EXPECT_TRUE(a_.hasNRNumerals(&n, r, 1, 2));
  EXPECT_FALSE(a_.hasNRNumerals(&n, r, 1, 3));  // after mm
  EXPECT_FALSE(a_.hasSNNumerals(&n, r, 1));

  CandidateImpl v;
  add(v, {{"하", XSV, 0, 1}, {"고", EC, 1, 2}});
  add(v, {{"건", VA, 0, 1}, {"강", XSA, 1, 2}});
  EXPECT_TRUE(a_.hasXSV_E(&v, r, 0, 2));
  EXPECT_FALSE(a_.hasXSV_E(&v, r, 0, 1));
  EXPECT_TRUE(a_.hasVVorVAorVX(&v, r, 0, 1));
  EXPECT_FALSE(a_.hasVVorVAorVX(&v, r, 1, 2));
  EXPECT_TRUE(a_.hasXSAorXSV(&v, r, 0, 1));
  EXPECT_TRUE(a_.hasXSAorXSV(&v, r, 1, 2));
  EXPECT_FALSE(a_.hasXSAorXSV(&v, r, 0, 2));

  CandidateImpl w;
  add(w, {{"하", XSV, 0, 1}, {"고", JKB, 1, 2}});
  add(w, {{"하", VV, 0, 1}, {"고", EC, 1, 2}});
  add(w, {{"하고", XSV, 0, 2}});
  EXPECT_FALSE(a_.hasXSV_E(&w, r, 0, 2));
}

TEST_F(PruneTest, HasNounPhrase) {
  ResultImpl* r = add({{"한", MM, 0, 1}, {"국인", NNG, 1, 3}});
  CandidateImpl c;
  add(c, {{"한국", NNG, 0, 2}, {"인", XSN, 2, 3}, {"이", JKS, 3, 4}});
  EXPECT_TRUE(a_.hasNounPhrase(&c, r, 0, 3, 0));
  EXPECT_TRUE(a_.hasNounPhrase(&c, r, 0, 3, 3));
  EXPECT_TRUE(a_.hasNounPhrase(&c, r, 0, 2, 0));
  EXPECT_FALSE(a_.hasNounPhrase(&c, r, 0, 2, 3));  // shorter than m
  EXPECT_FALSE(a_.hasNounPhrase(&c, r, 0, 1, 3));
  EXPECT_TRUE(a_.hasNounPhrase(&c, r, 0, 4, 0));   // a particle closes it
  EXPECT_FALSE(a_.hasNounPhrase(&c, r, 2, 3, 0));  // opens with one unit

  CandidateImpl p;
  add(p, {{"한국", NNP, 0, 2}});  // opens a phrase but is no part of one
  add(p, {{"한", NNG, 0, 1}, {"국인", NNG, 1, 3}});
  EXPECT_FALSE(a_.hasNounPhrase(&p, r, 0, 2, 0));
  add(p, {{"한국", NNG, 0, 2}, {"에", JKB, 2, 3}, {"서", JKB, 3, 4}});
  EXPECT_TRUE(a_.hasNounPhrase(&p, r, 0, 2, 0));
  EXPECT_TRUE(a_.hasNounPhrase(&p, r, 0, 3, 0));
  EXPECT_FALSE(a_.hasNounPhrase(&p, r, 0, 4, 0));  // nothing after a particle
  CandidateImpl q;
  add(q, {{"한국", NNG, 0, 2}, {"에서", JKB, 2, 4}});
  EXPECT_FALSE(a_.hasNounPhrase(&q, r, 0, 4, 0));  // only one-unit particles

  CandidateImpl s;
  add(s, {{"건강", NNG, 0, 2}, {"도", NNG, 2, 3}});  // one-unit nng ends it
  EXPECT_FALSE(a_.hasNounPhrase(&s, r, 0, 3, 0));
  add(s, {{"건강", NNG, 0, 2}, {"하", XSA, 2, 3}, {"게", EC, 3, 4}});
  EXPECT_TRUE(a_.hasNounPhrase(&s, r, 0, 3, 0));   // a suffix closes it
  EXPECT_FALSE(a_.hasNounPhrase(&s, r, 0, 4, 0));
  add(s, {{"건강", NNG, 0, 2}, {"학", NNB, 2, 3}, {"교", XPN, 3, 4},
          {"이", VCP, 4, 5}});
  EXPECT_TRUE(a_.hasNounPhrase(&s, r, 0, 4, 0));
  EXPECT_FALSE(a_.hasNounPhrase(&s, r, 0, 5, 0));
}

TEST_F(PruneTest, Can1SyllableJosa) {
  ResultImpl* r = add({{"학교", NNG, 0, 2}, {"서", JKB, 2, 3}});
  EXPECT_TRUE(a_.can1SyllableJosa(&c_, r, 0, 2, "가"));
  EXPECT_FALSE(a_.can1SyllableJosa(&c_, r, 1, 3, "서"));
  EXPECT_TRUE(a_.can1SyllableJosa(&c_, r, 0, 3, "서"));
  add({{"학교서", NNG, 0, 3}});
  EXPECT_FALSE(a_.can1SyllableJosa(&c_, r, 0, 3, "서"));
  EXPECT_TRUE(a_.can1SyllableJosa(&c_, r, 0, 3, "에"));
}

// --- removeResult ----------------------------------------------------------

TEST_F(PruneTest, EmptyCandidateAndEmptyResults) {
  EXPECT_TRUE(prune().empty());
  add({});
  add({{"학교", NNG, 0, 2}, {"다", NF, 2, 3}});
  add({{"학교다", NNG, 0, 3}});
  // The nf analysis goes (rule 14); the result without morphemes stays.
  EXPECT_EQ(prune(), (Survivors{"", "학교다/nng"}));
}

TEST_F(PruneTest, SingleResultOneSyllablePairs) {
  add({{"한", MM, 0, 1}, {"개", NNB, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"한/mm+개/nnb"}));
  c_.clear();
  add({{"한", MM, 0, 1}, {"곳", NNB, 1, 2}});
  EXPECT_TRUE(prune().empty());
  c_.clear();
  add({{"한", MM, 0, 1}, {"가지", NNB, 1, 3}});  // two units: not a pair
  EXPECT_EQ(prune().size(), 1u);
  c_.clear();
  add({{"개", NNB, 0, 1}, {"씩", XSN, 1, 2}});
  EXPECT_EQ(prune().size(), 1u);
  c_.clear();
  add({{"개", NNB, 0, 1}, {"화", XSN, 1, 2}});
  EXPECT_TRUE(prune().empty());
  c_.clear();
  add({{"년", NNB, 0, 1}, {"간", NNB, 1, 2}});
  EXPECT_EQ(prune().size(), 1u);
  c_.clear();
  add({{"년", NNB, 0, 1}, {"놈", NNB, 1, 2}});
  EXPECT_TRUE(prune().empty());
}

TEST_F(PruneTest, SingleResultParticleSeo) {
  add({{"집", NNG, 0, 1}, {"서", JKB, 1, 2}});
  EXPECT_TRUE(prune().empty());  // a two-unit stretch, even alone
  c_.clear();
  add({{"학교", NNG, 0, 2}, {"서", JKB, 2, 3}});
  EXPECT_EQ(prune().size(), 1u);
  c_.clear();
  add({{"집", NNG, 0, 1}, {"가", JKS, 1, 2}});  // other particles pass
  EXPECT_EQ(prune().size(), 1u);
  c_.clear();
  // After a symbol only in the reduced rule set.
  add({{".", SF, 0, 1}, {"서", JKB, 1, 2}});
  EXPECT_EQ(prune().size(), REDUCED ? 0u : 1u);
}

TEST_F(PruneTest, Rule7LongerSeoStretchNeedsOneMorphemeOverIt) {
  add({{"학교", NNG, 0, 2}, {"서", JKB, 2, 3}});
  add({{"학교서", VV, 0, 3}});  // one morpheme over [0,3), no noun phrase
  EXPECT_EQ(prune(), (Survivors{"학교서/vv"}));
}

TEST_F(PruneTest, SingleResultSuffixAfterNominalisedVerb) {
  add({{"가", VV, 0, 1}, {"ㅁ", ETN, 0, 1}, {"들", XSN, 1, 2}});
  EXPECT_TRUE(prune().empty());  // rule 9 consults no other result
  c_.clear();
  add({{"가르", VV, 0, 2}, {"ㅁ", ETN, 1, 2}, {"들", XSN, 2, 3}});
  EXPECT_EQ(prune().size(), 1u);
}

TEST_F(PruneTest, Stage1BoundNounAfterOneNoun) {
  add({{"학교", NNG, 0, 2}, {"수", NNB, 2, 3}});
  add({{"학교수", NNG, 0, 3}});
  EXPECT_EQ(prune(), expected({"학교수/nng"},
                              {"학교/nng+수/nnb", "학교수/nng"}));
  c_.clear();
  add({{"학교", NNG, 0, 2}, {"수", NNB, 2, 3}});
  add({{"학교수", NNP, 0, 3}});
  EXPECT_EQ(prune().size(), 2u);
}

TEST_F(PruneTest, Stage1NounMorphemeFromFirstMatchOnly) {
  // A unit noun (nnu) before the proper noun keeps stage 2 out of play,
  // except in the reduced rule set, whose rule 1 walks back over it.
  add({{"학교", NNU, 0, 2}, {"수", NNP, 2, 3}});
  add({{"학교수", NNP, 0, 3}});
  add({{"학교수", NNG, 0, 3}});
  EXPECT_EQ(prune(), expected({"학교/nnu+수/nnp", "학교수/nnp", "학교수/nng"},
                              {"학교수/nnp", "학교수/nng"}));
  c_.clear();
  add({{"학교", NNU, 0, 2}, {"수", NNP, 2, 3}});
  add({{"학교수", NNG, 0, 3}});
  add({{"학교수", NNP, 0, 3}});
  EXPECT_EQ(prune(), (Survivors{"학교수/nng", "학교수/nnp"}));
}

TEST_F(PruneTest, Stage1BoundNounAfterTwoNouns) {
  // Unit nouns (nnu) are in N5 but not in N4, which keeps rule 3 of stage 2
  // out of play; the reduced rule set counts them in N4 and has no stage 1.
  add({{"대한", NNU, 0, 2}, {"민국", NNU, 2, 4}, {"인", NNB, 4, 5}});
  add({{"대한민국", NNP, 0, 4}, {"인", NNB, 4, 5}});
  // The other run holds a one-unit nnb.
  EXPECT_EQ(prune(), expected({"대한/nnu+민국/nnu+인/nnb", "대한민국/nnp+인/nnb"},
                              {"대한민국/nnp+인/nnb"}));
  c_.clear();
  add({{"대한", NNU, 0, 2}, {"민국", NNU, 2, 4}, {"인", NNB, 4, 5}});
  add({{"대한", NNP, 0, 2}, {"민국인", NNB, 2, 5}});
  // Rule 1 alone removes the first: no noun covers [2,5) for rule 2.
  EXPECT_EQ(prune(), expected({"대한/nnp+민국인/nnb"},
                              {"대한/nnu+민국/nnu+인/nnb", "대한/nnp+민국인/nnb"}));
}

TEST_F(PruneTest, Stage1ForwardVisitSeesEarlierRemovals) {
  add({{"대한", NNP, 0, 2}, {"민국", NNG, 2, 4}, {"인", NNB, 4, 5}});
  add({{"대한민국", NNP, 0, 4}, {"인", NNB, 4, 5}});
  add({{"대한민국인", NNG, 0, 5}});
  // The first goes by rule 1, the second by rule 2; the visit after a
  // removal resumes at the same index, so nothing is skipped. The reduced
  // rule set removes the first by rule 3 of stage 2.
  EXPECT_EQ(prune(), expected({"대한민국인/nng"},
                              {"대한민국/nnp+인/nnb", "대한민국인/nng"}));
}

TEST_F(PruneTest, Rule1ShortNounInsideLongerNoun) {
  add({{"국", NNG, 0, 1}, {"가", NNG, 1, 2}});
  add({{"국가", NNG, 0, 2}});
  EXPECT_EQ(prune(), (Survivors{"국가/nng"}));
  c_.clear();
  add({{"국", NNG, 0, 1}, {"가", NNG, 1, 2}});
  add({{"국가", VV, 0, 2}});  // the reduced rule set asks for nouns only
  EXPECT_EQ(prune(), expected({"국가/vv"}, {"국/nng+가/nng", "국가/vv"}));
  c_.clear();
  add({{"국", NNG, 0, 1}, {"가", NNG, 1, 2}});
  add({{"국가", NNP, 0, 2}});  // a proper noun is no noun phrase
  EXPECT_EQ(prune().size(), 2u);
  c_.clear();
  // Backward: the one-unit noun closes the stretch.
  add({{"한국", NNP, 0, 2}, {"인", NNG, 2, 3}});
  add({{"한국인", NNG, 0, 3}});
  EXPECT_EQ(prune(), (Survivors{"한국인/nng"}));
}

TEST_F(PruneTest, Rule1DeterminerNeedsThreeUnits) {
  add({{"한", MM, 0, 1}, {"국", NNG, 1, 2}});
  add({{"한국", NNG, 0, 2}});
  EXPECT_EQ(prune().size(), 2u);
  c_.clear();
  add({{"한", MM, 0, 1}, {"국인", NNG, 1, 3}});
  add({{"한국인", NNG, 0, 3}});
  EXPECT_EQ(prune(), (Survivors{"한국인/nng"}));
}

TEST_F(PruneTest, Rules2And3TwoSyllableNouns) {
  add({{"하고", NNG, 0, 2}});
  add({{"하", XSV, 0, 1}, {"고", EC, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"하/xsv+고/ec"}));
  c_.clear();
  add({{"하고", NNG, 0, 2}});
  add({{"하", VV, 0, 1}, {"고", EC, 1, 2}});
  EXPECT_EQ(prune().size(), 2u);
  c_.clear();
  add({{"국가", NNG, 0, 2}, {"대표", NNG, 2, 4}});
  add({{"국가대표", NNG, 0, 4}});
  EXPECT_EQ(prune(), (Survivors{"국가대표/nng"}));
  c_.clear();
  // Rule 3 is tried only under rule 2's condition: nnb is not in N4.
  add({{"국가", NNG, 0, 2}, {"대표", NNB, 2, 4}});
  add({{"국가대표", NNG, 0, 4}});
  EXPECT_EQ(prune().size(), 2u);
}

TEST_F(PruneTest, Rules4And5NumbersAndNumerals) {
  add({{"3", SN, 0, 1}, {"개", NNG, 1, 2}, {"씩", NNG, 2, 3}});
  add({{"3", SN, 0, 1}, {"개", NNB, 1, 2}, {"씩", XSN, 2, 3}});
  EXPECT_EQ(prune(), (Survivors{"3/sn+개/nnb+씩/xsn"}));
  c_.clear();
  add({{"3", SN, 0, 1}, {"개", NNG, 1, 2}, {".", SF, 2, 3}});
  add({{"3", SN, 0, 1}, {"개", NNB, 1, 2}, {".", SF, 2, 3}});
  EXPECT_EQ(prune().size(), 2u);  // a symbol follows
  c_.clear();
  add({{"세", NR, 0, 1}, {"개", NNG, 1, 2}});
  add({{"세", NR, 0, 1}, {"개", NNB, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"세/nr+개/nnb"}));
  c_.clear();
  add({{"세", NR, 0, 1}, {"개", NNG, 1, 2}});
  add({{"세", MM, 0, 1}, {"개", NNB, 1, 2}});
  EXPECT_EQ(prune().size(), 2u);
}

TEST_F(PruneTest, Rule8OneSyllableNounThatIsASuffix) {
  add({{"하", NNG, 0, 1}, {"고", NNG, 1, 2}});
  add({{"하", XSV, 0, 1}, {"고", EC, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"하/xsv+고/ec"}));
  c_.clear();
  add({{"하", NNG, 0, 1}, {"고", NNG, 1, 2}});
  add({{"하", VV, 0, 1}, {"고", EC, 1, 2}});
  EXPECT_EQ(prune().size(), 2u);
}

TEST_F(PruneTest, Rule10SuffixAfterOneSyllableNoun) {
  add({{"꿈", NNG, 0, 1}, {"하", XSV, 1, 2}});
  add({{"꿈하", VV, 0, 2}});
  EXPECT_EQ(prune(), expected({"꿈하/vv"}, {"꿈/nng+하/xsv", "꿈하/vv"}));
  c_.clear();
  add({{"꿈", NNG, 0, 1}, {"하", XSV, 1, 2}});
  add({{"꿈", NNG, 0, 1}, {"하", VV, 1, 2}});
  EXPECT_EQ(prune().size(), 2u);
}

TEST_F(PruneTest, Rule11VerbAfterNumber) {
  add({{"3", SN, 0, 1}, {"개", VV, 1, 2}});
  add({{"3", SN, 0, 1}, {"개", NNB, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"3/sn+개/nnb"}));
  c_.clear();
  add({{"3", SN, 0, 1}, {"개", VV, 1, 2}});
  add({{"3", SN, 0, 1}, {"개", MM, 1, 2}});
  EXPECT_EQ(prune().size(), 2u);
}

TEST_F(PruneTest, Rule12WordPiecesAfterSymbol) {
  add({{".", SF, 0, 1}, {"나", NP, 1, 2}});
  EXPECT_EQ(prune().size(), 1u);  // never with a single result
  c_.clear();
  // No word character before the symbol: a piece that no other result
  // reads as an ending goes.
  add({{".", SF, 0, 1}, {"나", NP, 1, 2}});
  add({{".", SF, 0, 1}, {"나", VV, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"./sf+나/vv"}));
  c_.clear();
  add({{".", SF, 0, 1}, {"나", NP, 1, 2}});
  add({{".", SF, 0, 1}, {"나", JKS, 1, 2}});
  EXPECT_EQ(prune(), (Survivors{"./sf+나/np"}));
  c_.clear();
  // A word character before: a free word that another result reads as an
  // ending goes; a particle stays.
  add({{"가", NNG, 0, 1}, {".", SF, 1, 2}, {"나", NP, 2, 3}});
  add({{"가", NNG, 0, 1}, {".", SF, 1, 2}, {"나", JKS, 2, 3}});
  EXPECT_EQ(prune(), (Survivors{"가/nng+./sf+나/jks"}));
  c_.clear();
  // Symbols, Latin and numbers before the symbol are no word characters.
  add({{"a", SL, 0, 1}, {"1", SN, 1, 2}, {".", SF, 2, 3}, {"나", NP, 3, 4}});
  add({{"a", SL, 0, 1}, {"1", SN, 1, 2}, {".", SF, 2, 3}, {"나", NNG, 3, 4}});
  EXPECT_EQ(prune(), (Survivors{"a/sl+1/sn+./sf+나/nng"}));
}

TEST_F(PruneTest, Rule13CopulaReadOutOfText) {
  add({{"학교", NNG, 0, 2}, {"이", VCP, 2, 3}, {"다", EF, 2, 3}});
  add({{"학교다", NNG, 0, 3}});  // [s(j-1), e(j)): not in the reduced set
  EXPECT_EQ(prune(), expected({"학교다/nng"},
                              {"학교/nng+이/vcp+다/ef", "학교다/nng"}));
  c_.clear();
  add({{"학교", NNG, 0, 2}, {"이", VCP, 2, 3}, {"다", EF, 2, 3}});
  add({{"학", NNG, 0, 1}, {"교다", NNG, 1, 3}});  // [s(j) - 1, e(j))
  EXPECT_EQ(prune(), (Survivors{"학/nng+교다/nng"}));
  for (const char* jamo : {"ㄴ", "ㅁ", "ㄹ"}) {
    c_.clear();
    add({{"학교", NNG, 0, 2}, {"이", VCP, 2, 3}, {jamo, ETM, 2, 3}});
    add({{"학교다", NNG, 0, 3}});
    EXPECT_EQ(prune().size(), 2u) << jamo;
  }
}

TEST_F(PruneTest, Rule14UnknownNoun) {
  add({{"학교다", NF, 0, 3}});
  add({{"학교", NNG, 0, 2}, {"다", JX, 2, 3}});
  EXPECT_EQ(prune(), expected({"학교/nng+다/jx"},
                              {"학교다/nf", "학교/nng+다/jx"}));
  c_.clear();
  add({{"학교다", NF, 0, 3}});
  add({{"학교", NF, 0, 2}, {"다", JX, 2, 3}});
  EXPECT_EQ(prune().size(), 2u);
  c_.clear();
  add({{"학교", NF, 0, 2}, {"다", JX, 2, 3}});  // with the next morpheme
  add({{"학교다", NNG, 0, 3}});
  EXPECT_EQ(prune(), expected({"학교다/nng"},
                              {"학교/nf+다/jx", "학교다/nng"}));
  c_.clear();
  add({{"학", NNG, 0, 1}, {"교", NF, 1, 2}});  // with the previous one
  add({{"학교", NNP, 0, 2}});
  EXPECT_EQ(prune(), expected({"학교/nnp"}, {"학/nng+교/nf", "학교/nnp"}));
}

TEST_F(PruneTest, Rule15ParticleSeoAfterNounPhrase) {
  add({{"학교", NNG, 0, 2}, {"서", JKB, 2, 3}});
  add({{"학교", NNG, 0, 2}, {"서", XSN, 2, 3}});
  EXPECT_EQ(prune(), expected({"학교/nng+서/xsn"},
                              {"학교/nng+서/jkb", "학교/nng+서/xsn"}));
  c_.clear();
  add({{"학교", NNG, 0, 2}, {"서", JKB, 2, 3}});
  add({{"학교", NNG, 0, 2}, {"서", VV, 2, 3}});
  EXPECT_EQ(prune().size(), 2u);
}

// Rules that hold whatever the morpheme's length, by its tag or the tag
// before it, still hold at morphemes longer than one or two units.
TEST_F(PruneTest, Stage2RulesAtLongMorphemes) {
  // Rule 11: a long verb after a number.
  add({{"3", SN, 0, 1}, {"가다", VV, 1, 3}});
  add({{"3", SN, 0, 1}, {"가다", NNG, 1, 3}});
  EXPECT_EQ(prune(), (Survivors{"3/sn+가다/nng"}));
  // Rule 5: a long noun after a numeral.
  c_.clear();
  add({{"셋", NR, 0, 1}, {"학교다", NNG, 1, 4}});
  add({{"셋", NR, 0, 1}, {"학교다", NNB, 1, 4}});
  EXPECT_EQ(prune(), (Survivors{"셋/nr+학교다/nnb"}));
  // Rule 14: a long unknown noun; the reduced rule set keeps it.
  c_.clear();
  add({{"학교다니", NF, 0, 4}});
  add({{"학교다니", NNG, 0, 4}});
  EXPECT_EQ(prune(), expected({"학교다니/nng"},
                              {"학교다니/nf", "학교다니/nng"}));
  // Long nouns and endings that no rule names stay.
  c_.clear();
  add({{"학교다", NNG, 0, 3}, {"어서", EC, 3, 5}});
  add({{"학교다어서", NNG, 0, 5}});
  EXPECT_EQ(prune().size(), 2u);
}

// Any adverb class starts stage 3, not one adverb tag alone.
TEST_F(PruneTest, Stage3AnyAdverbTag) {
  add({{"그", MM, 0, 1}, {"러나", EC, 1, 3}});
  add({{"그러나", MAJ, 0, 3}});
  EXPECT_EQ(prune(), expected({"그러나/maj"},
                              {"그/mm+러나/ec", "그러나/maj"}));
}

TEST_F(PruneTest, Stage2BackwardOrderDecides) {
  // Each result reads as verb a stretch the other splits into nouns, so
  // each would remove the other; visited from the last, the last goes and
  // the first, then alone, stays. The reduced rule 1 asks for nouns only.
  add({{"가", NNG, 0, 1}, {"나", NNG, 1, 2}, {"다라", VV, 2, 4}});
  add({{"가나", VV, 0, 2}, {"다", NNG, 2, 3}, {"라", NNG, 3, 4}});
  EXPECT_EQ(prune(),
            expected({"가/nng+나/nng+다라/vv"},
                     {"가/nng+나/nng+다라/vv", "가나/vv+다/nng+라/nng"}));
  c_.clear();
  add({{"가나", VV, 0, 2}, {"다", NNG, 2, 3}, {"라", NNG, 3, 4}});
  add({{"가", NNG, 0, 1}, {"나", NNG, 1, 2}, {"다라", VV, 2, 4}});
  EXPECT_EQ(prune(),
            expected({"가나/vv+다/nng+라/nng"},
                     {"가나/vv+다/nng+라/nng", "가/nng+나/nng+다라/vv"}));
}

TEST_F(PruneTest, Stage3AdverbRemovesSplits) {
  add({{"정", VV, 0, 1}, {"말", EC, 1, 2}});
  add({{"정말", MAG, 0, 2}});
  add({{"정말", NNG, 0, 2}});
  add({{"정", VV, 0, 1}, {"말이", EC, 1, 3}});
  // The split of the adverb's stretch goes; one morpheme of another tag
  // and a split that runs past the stretch stay. The reduced rule set has
  // no stage 3.
  EXPECT_EQ(prune(), expected({"정말/mag", "정말/nng", "정/vv+말이/ec"},
                              {"정/vv+말/ec", "정말/mag", "정말/nng",
                               "정/vv+말이/ec"}));
}

TEST_F(PruneTest, Stage3KeepsVisitingAfterEarlierRemoval) {
  add({{"정", VV, 0, 1}, {"말", EC, 1, 2}, {"잘해", NNG, 2, 4}});
  add({{"정말", MAG, 0, 2}, {"잘해", NNG, 2, 4}});
  add({{"정말", NNG, 0, 2}, {"잘해", MAG, 2, 4}});
  add({{"정말", NNG, 0, 2}, {"잘", VV, 2, 3}, {"해", EC, 3, 4}});
  add({{"정말", NNG, 0, 2}, {"잘해", NNG, 2, 4}});
  // The first adverb removes the result before it; the next result visited
  // is the second adverb analysis, which removes the split of [2,4).
  EXPECT_EQ(prune(),
            expected({"정말/mag+잘해/nng", "정말/nng+잘해/mag",
                      "정말/nng+잘해/nng"},
                     {"정/vv+말/ec+잘해/nng", "정말/mag+잘해/nng",
                      "정말/nng+잘해/mag", "정말/nng+잘/vv+해/ec",
                      "정말/nng+잘해/nng"}));
}

// Where the rule sets part beyond the stages and rules they lack: the
// reduced one counts the unit nouns nnu and nfu in the noun lists of rules
// 1 to 5 and leaves guessed nouns (nfg) out of rule 8.
TEST_F(PruneTest, TagsCompareWithoutFlagBitAndClassesByClassField) {
  // The flag bit on every tag changes nothing (stage 2's order example).
  add({{"가", NNG | 1u, 0, 1}, {"나", NNG | 1u, 1, 2}, {"다라", VV | 1u, 2, 4}});
  add({{"가나", VV | 1u, 0, 2}, {"다", NNG | 1u, 2, 3}, {"라", NNG | 1u, 3, 4}});
  EXPECT_EQ(prune(),
            expected({"가/nng+나/nng+다라/vv"},
                     {"가/nng+나/nng+다라/vv", "가나/vv+다/nng+라/nng"}));

  // A code no dictionary uses, of the adverb class with a subclass of its
  // own, is still an adverb to stage 3, and equals no named tag.
  const unsigned int oddAdverb = 0x00802000;
  c_.clear();
  add({{"정", VV, 0, 1}, {"말", EC, 1, 2}});
  add({{"정말", oddAdverb | 1u, 0, 2}});
  EXPECT_EQ(prune(), expected({"정말/"}, {"정/vv+말/ec", "정말/"}));

  // Two subclass bits of the noun class make no named noun: rule 8 leaves
  // the one-unit piece alone although another result reads it as "xsv".
  const unsigned int twoNouns = NNG | NFG;
  c_.clear();
  add({{"가", twoNouns, 0, 1}, {"다", EF, 1, 2}});
  add({{"가", XSV, 0, 1}, {"다", EF, 1, 2}});
  EXPECT_EQ(prune().size(), 2u);
  c_.clear();
  add({{"가", NNG, 0, 1}, {"다", EF, 1, 2}});
  add({{"가", XSV, 0, 1}, {"다", EF, 1, 2}});
  EXPECT_EQ(prune(), Survivors{"가/xsv+다/ef"});
}

TEST_F(PruneTest, ReducedRuleSetNounListsByRevision) {
  // Rule 1: a one-unit nnu inside a longer noun.
  add({{"국", NNU, 0, 1}, {"가", NNG, 1, 2}});
  add({{"국가", NNG, 0, 2}});
  EXPECT_EQ(prune(), expected({"국/nnu+가/nng", "국가/nng"}, {"국가/nng"}));
  c_.clear();
  // Rule 4: a number followed by a one-unit nfu.
  add({{"3", SN, 0, 1}, {"개", NFU, 1, 2}, {"씩", NNG, 2, 3}});
  add({{"3", SN, 0, 1}, {"개", NNB, 1, 2}, {"씩", XSN, 2, 3}});
  EXPECT_EQ(prune(),
            expected({"3/sn+개/nfu+씩/nng", "3/sn+개/nnb+씩/xsn"},
                     {"3/sn+개/nnb+씩/xsn"}));
  c_.clear();
  // Rule 5: a numeral followed by a unit noun.
  add({{"세", NR, 0, 1}, {"개", NNU, 1, 2}});
  add({{"세", NR, 0, 1}, {"개", NNB, 1, 2}});
  EXPECT_EQ(prune(), expected({"세/nr+개/nnu", "세/nr+개/nnb"},
                              {"세/nr+개/nnb"}));
  c_.clear();
  // Rule 8: a one-unit guessed noun that another result reads as a suffix.
  add({{"하", NFG, 0, 1}, {"고", NNG, 1, 2}});
  add({{"하", XSV, 0, 1}, {"고", EC, 1, 2}});
  EXPECT_EQ(prune(), expected({"하/xsv+고/ec"},
                              {"하/nfg+고/nng", "하/xsv+고/ec"}));
}

}  // namespace
