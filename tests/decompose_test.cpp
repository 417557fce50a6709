// Compound-noun decomposition: splitting long morphemes of hand-built
// results over the lattice of the same word.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "lexicon_fixture.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

// Two 13-unit nouns that also split into two nouns each, one that does not,
// and a 12-unit noun.
const char* const kLexicon =
    "국립중앙과학기술정보연구원 국립중앙과학기술정보연구원/nnp\n"
    "국립중앙과학기술정보 국립중앙과학기술정보/nng\n"
    "연구원 연구원/nng\n"
    "서울특별시교육청장학사회의 서울특별시교육청장학사회의/nng\n"
    "서울특별시교육청 서울특별시교육청/nng\n"
    "장학사회의 장학사회의/nng\n"
    "대한민국임시정부수립기념관 대한민국임시정부수립기념관/nng\n"
    "서울특별시교육청장학관실 서울특별시교육청장학관실/nng\n"
    "과 과/jc\n"
    "을 을/jko[@유종성]\n"
    "새 새/mm\n";

const char* const kW1 = "국립중앙과학기술정보연구원/nnp";
const char* const kX1 = "국립중앙과학기술정보/nng";
const char* const kY1 = "연구원/nng";
const char* const kW2 = "서울특별시교육청장학사회의/nng";
const char* const kX2 = "서울특별시교육청/nng";
const char* const kY2 = "장학사회의/nng";
const char* const kS3 = "대한민국임시정부수립기념관/nng";

// "lex/tag" with the offsets of a morpheme.
std::string at(const char* morpheme, unsigned long start, unsigned long end) {
  return std::string(morpheme) + "(" + std::to_string(start) + "," +
         std::to_string(end) + ")";
}

struct Morpheme {
  const char* text;
  unsigned int tag;
  unsigned long start;
  unsigned long end;
};

ResultImpl* makeResult(std::initializer_list<Morpheme> morphemes) {
  ResultImpl* r = new ResultImpl();
  for (const Morpheme& m : morphemes)
    r->append(reinterpret_cast<const unsigned char*>(m.text), m.tag, m.start,
              m.end);
  return r;
}

class DecomposeTest : public ::testing::Test {
 protected:
  void SetUp() override { use(kLexicon); }

  void use(const std::string& lexicon) {
    analyzer_.reset();
    dic_ = compileLexicon(lexicon);
    ASSERT_NE(nullptr, dic_);
    analyzer_.reset(new AnalyzerImpl(dic_.get()));
  }

  // Builds the lattice of `word` and decomposes the candidate.
  std::vector<std::string> decompose(const char* word) {
    text_ = units(word);
    buildLattice(analyzer_.get(), text_);
    analyzer_->decomposeCompoundNoun(text_.data(), false, &candidate_);
    return describe(candidate_);
  }

  // The candidate holding one result: the whole word as one "nf" morpheme.
  std::vector<std::string> decomposeWhole(const char* word) {
    candidate_.clear();
    const unsigned long n = unitCount(units(word));
    candidate_.append(makeResult({{word, NF | 1u, 0, n}}));
    return decompose(word);
  }

  std::unique_ptr<KnowledgeImpl> dic_;
  std::unique_ptr<AnalyzerImpl> analyzer_;
  std::vector<unsigned short> text_;
  CandidateImpl candidate_;
};

TEST_F(DecomposeTest, ThirteenUnitNounGivesOneOrTwoAlternatives) {
  // The whole noun first; the later final noun 연구원 and the noun before it
  // cover the stretch without a gap, which gives the second alternative.
  EXPECT_EQ((std::vector<std::string>{
                at(kW1, 0, 13),
                at(kX1, 0, 10) + " + " + at(kY1, 10, 13)}),
            decomposeWhole("국립중앙과학기술정보연구원"));
  // No shorter final noun: one alternative.
  EXPECT_EQ((std::vector<std::string>{at(kS3, 0, 13)}),
            decomposeWhole("대한민국임시정부수립기념관"));
}

TEST_F(DecomposeTest, StretchWithoutNounsBecomesOneUnknownNoun) {
  std::string word;
  for (int k = 0; k < 13; ++k) word += "뷁";
  EXPECT_EQ((std::vector<std::string>{at((word + "/nf").c_str(), 0, 13)}),
            decomposeWhole(word.c_str()));
  // The new node belongs to no position list.
  EXPECT_EQ(nullptr, analyzer_->findExistsPOS(0, 13, 0x10000, 1024));

  // A gap of two units between nouns is one unknown noun, not two.
  EXPECT_EQ((std::vector<std::string>{at(kX2, 0, 8) + " + " +
                                      at("뷁뷁/nf", 8, 10) + " + " +
                                      at(kY1, 10, 13)}),
            decomposeWhole("서울특별시교육청뷁뷁연구원"));
}

// A one-unit gap 대 between or beside nouns, filled by the first that exists
// of a suffix, a prefix, a bound noun, a short noun and a new unknown noun.
class GapTest : public DecomposeTest {
 protected:
  void withGap(const std::string& analyses) {
    use(std::string("과학기술정보 과학기술정보/nng\n"
                    "연구개발사업 연구개발사업/nng\n"
                    "과학기술정보연구개발사업 과학기술정보연구개발사업/nng\n") +
        (analyses.empty() ? "" : "대 " + analyses + "\n"));
  }

  std::string middle() {
    std::vector<std::string> r = decomposeWhole("과학기술정보대연구개발사업");
    return r.size() == 1 ? r[0] : ::testing::PrintToString(r);
  }
  std::string front() {
    std::vector<std::string> r = decomposeWhole("대과학기술정보연구개발사업");
    return r.size() == 1 ? r[0] : ::testing::PrintToString(r);
  }
  std::string back() {
    std::vector<std::string> r = decomposeWhole("과학기술정보연구개발사업대");
    return r.size() == 1 ? r[0] : ::testing::PrintToString(r);
  }
};

TEST_F(GapTest, OneUnitGapIsFilledInPriorityOrder) {
  const std::string n1 = at("과학기술정보/nng", 0, 6);
  const std::string n2 = at("연구개발사업/nng", 7, 13);
  withGap("대/nng 대/nnb 대/xpn 대/xsn");
  EXPECT_EQ(n1 + " + " + at("대/xsn", 6, 7) + " + " + n2, middle());
  withGap("대/nng 대/nnb 대/xpn");
  EXPECT_EQ(n1 + " + " + at("대/xpn", 6, 7) + " + " + n2, middle());
  withGap("대/nng 대/nnb");
  EXPECT_EQ(n1 + " + " + at("대/nnb", 6, 7) + " + " + n2, middle());
  withGap("대/nng");
  EXPECT_EQ(n1 + " + " + at("대/nng", 6, 7) + " + " + n2, middle());
  withGap("");
  EXPECT_EQ(n1 + " + " + at("대/nf", 6, 7) + " + " + n2, middle());
}

TEST_F(GapTest, NoSuffixStartsAndNoPrefixEndsTheStretch) {
  withGap("대/xsn 대/xpn 대/nnb");
  EXPECT_EQ(at("대/xpn", 0, 1) + " + " +
                at("과학기술정보연구개발사업/nng", 1, 13),
            front());
  EXPECT_EQ(at("과학기술정보연구개발사업/nng", 0, 12) + " + " +
                at("대/xsn", 12, 13),
            back());
  withGap("대/xpn 대/nnb");
  EXPECT_EQ(at("과학기술정보연구개발사업/nng", 0, 12) + " + " +
                at("대/nnb", 12, 13),
            back());
  withGap("대/xsn 대/nnb");
  EXPECT_EQ(at("대/nnb", 0, 1) + " + " +
                at("과학기술정보연구개발사업/nng", 1, 13),
            front());
}

TEST_F(DecomposeTest, ShortMorphemesAreKeptAndCopied) {
  // Twelve units are not split: the result stays as it was.
  ResultImpl* twelve =
      makeResult({{"서울특별시교육청장학관실", NNG | 1u, 0, 12}});
  candidate_.append(twelve);
  EXPECT_EQ((std::vector<std::string>{
                at("서울특별시교육청장학관실/nng", 0, 12)}),
            decompose("서울특별시교육청장학관실"));
  EXPECT_EQ(twelve, candidate_.at(0));

  // Around a long morpheme the short ones go into every replacement, and
  // the replacements follow the results that needed none.
  candidate_.clear();
  ResultImpl* before = makeResult({{"새", MM, 0, 1}, {"x", NF, 1, 13}});
  ResultImpl* split = makeResult({{"새", MM, 0, 1},
                                  {"국립중앙과학기술정보연구원", NF, 1, 14},
                                  {"을", JKO | 1u, 14, 15}});
  ResultImpl* after = makeResult({{"새", MM, 0, 1}, {"y", NF | 1u, 1, 12}});
  candidate_.append(before);
  candidate_.append(split);
  candidate_.append(after);
  EXPECT_EQ((std::vector<std::string>{
                at("새/mm", 0, 1) + " + " + at("x/nf", 1, 13),
                at("새/mm", 0, 1) + " + " + at("y/nf", 1, 12),
                at("새/mm", 0, 1) + " + " + at(kW1, 1, 14) + " + " +
                    at("을/jko", 14, 15),
                at("새/mm", 0, 1) + " + " + at(kX1, 1, 11) + " + " +
                    at(kY1, 11, 14) + " + " + at("을/jko", 14, 15)}),
            decompose("새국립중앙과학기술정보연구원을"));
  EXPECT_EQ(before, candidate_.at(0));
  EXPECT_EQ(after, candidate_.at(1));
  // Tags are copied as stored, flag bit included.
  EXPECT_EQ(JKO | 1u, static_cast<unsigned int>(candidate_.at(2)->pos(2)));
  EXPECT_EQ(static_cast<unsigned int>(MM),
            static_cast<unsigned int>(candidate_.at(3)->pos(0)));
}

TEST_F(DecomposeTest, ReplacementsFollowInTheOrderOfTheReplaced) {
  // Two long results in a row, then a short one: the short one moves up,
  // each long one's replacements follow in its place in the order, and no
  // replacement is split again.
  candidate_.append(makeResult({{"x", NF | 1u, 0, 13}}));
  candidate_.append(makeResult({{"y", NNG | 1u, 0, 13}}));
  ResultImpl* shorter = makeResult({{"z", NNG | 1u, 0, 10}});
  candidate_.append(shorter);
  const std::string w1 = at(kW1, 0, 13);
  const std::string xy1 = at(kX1, 0, 10) + " + " + at(kY1, 10, 13);
  EXPECT_EQ((std::vector<std::string>{at("z/nng", 0, 10), w1, xy1, w1, xy1}),
            decompose("국립중앙과학기술정보연구원"));
  EXPECT_EQ(shorter, candidate_.at(0));
}

TEST_F(DecomposeTest, AlternativesMultiplyWithTheLastVaryingSlowest) {
  // 13 + 과 + 13 + 을: two alternatives for each long morpheme.
  candidate_.append(makeResult({{"x", NF, 0, 13},
                                {"과", JC | 1u, 13, 14},
                                {"y", NF, 14, 27},
                                {"을", JKO | 1u, 27, 28}}));
  const std::string w1 = at(kW1, 0, 13);
  const std::string xy1 = at(kX1, 0, 10) + " + " + at(kY1, 10, 13);
  const std::string w2 = at(kW2, 14, 27);
  const std::string xy2 = at(kX2, 14, 22) + " + " + at(kY2, 22, 27);
  const std::string gwa = at("과/jc", 13, 14);
  const std::string eul = at("을/jko", 27, 28);
  EXPECT_EQ((std::vector<std::string>{
                w1 + " + " + gwa + " + " + w2 + " + " + eul,
                xy1 + " + " + gwa + " + " + w2 + " + " + eul,
                w1 + " + " + gwa + " + " + xy2 + " + " + eul,
                xy1 + " + " + gwa + " + " + xy2 + " + " + eul}),
            decompose("국립중앙과학기술정보연구원과서울특별시교육청장학사회의을"));

  // Two alternatives, then one: two results.
  candidate_.clear();
  candidate_.append(makeResult({{"x", NF, 0, 13}, {"y", NF | 1u, 13, 26}}));
  const std::string s3 = at(kS3, 13, 26);
  EXPECT_EQ((std::vector<std::string>{w1 + " + " + s3, xy1 + " + " + s3}),
            decompose("국립중앙과학기술정보연구원대한민국임시정부수립기념관"));

  // One, then two: the block of one result is copied once.
  candidate_.clear();
  candidate_.append(makeResult({{"x", NF, 0, 13}, {"y", NF | 1u, 13, 26}}));
  const std::string s3first = at(kS3, 0, 13);
  EXPECT_EQ((std::vector<std::string>{
                s3first + " + " + at(kW1, 13, 26),
                s3first + " + " + at(kX1, 13, 23) + " + " + at(kY1, 23, 26)}),
            decompose("대한민국임시정부수립기념관국립중앙과학기술정보연구원"));
}

TEST_F(DecomposeTest, DecomposeNAppendsTheSplitsOfOneStretch) {
  text_ = units("새국립중앙과학기술정보연구원");
  buildLattice(analyzer_.get(), text_);
  CandidateImpl out;
  analyzer_->decomposeN_(text_.data() + 1, 1, 13, false, &out);
  EXPECT_EQ((std::vector<std::string>{
                at(kW1, 1, 14), at(kX1, 1, 11) + " + " + at(kY1, 11, 14)}),
            describe(out));
  // With a result already there, only a split without gaps is added.
  analyzer_->decomposeN_(text_.data() + 1, 1, 13, false, &out);
  EXPECT_EQ(3u, out.size());
  // Stretches outside the analysed prefix, or empty, give nothing.
  CandidateImpl none;
  analyzer_->decomposeN_(text_.data(), 0, 0, false, &none);
  analyzer_->decomposeN_(text_.data(), 95, 13, false, &none);
  EXPECT_EQ(0u, none.size());
}

}  // namespace
