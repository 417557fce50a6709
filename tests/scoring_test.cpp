#include <gtest/gtest.h>

#include <initializer_list>

#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

struct Morph {
  unsigned tag;
  unsigned long length;
  const char* text;
};

// A result of consecutive morphemes of the given tags and lengths.
ResultImpl* build(std::initializer_list<Morph> morphs) {
  ResultImpl* r = new ResultImpl();
  unsigned long at = 0;
  for (const Morph& m : morphs) {
    r->append(reinterpret_cast<const unsigned char*>(m.text ? m.text : "가"),
              pos_t(m.tag), at, at + m.length);
    at += m.length;
  }
  return r;
}

// The score of one result scored alone in a candidate.
float scoreAlone(std::initializer_list<Morph> morphs) {
  CandidateImpl c;
  c.append(build(morphs));
  c.scoring();
  return c.get(0)->score();
}

// The score of a result given the longest noun length of its candidate.
float scoreWith(unsigned long longest, std::initializer_list<Morph> morphs) {
  ResultImpl* r = build(morphs);
  r->scoring(1, longest);
  const float s = r->score();
  delete r;
  return s;
}

TEST(ScoringTest, SingleNounGetsTheFlatBonus) {
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 2, nullptr}}), 26.0f);
  EXPECT_FLOAT_EQ(scoreAlone({{NNU, 2, nullptr}}), 31.0f);
  EXPECT_FLOAT_EQ(scoreAlone({{NFU, 3, nullptr}}), 31.0f);
  // The flag bit does not change the tag.
  EXPECT_FLOAT_EQ(scoreAlone({{NNG | 1u, 2, nullptr}}), 26.0f);
  // Only a share of the longest noun of the candidate counts.
  EXPECT_FLOAT_EQ(scoreWith(4, {{NNG, 2, nullptr}}), 18.5f);
  // No morphemes, no score.
  EXPECT_EQ(scoreWith(3, {}), 0.0f);
  // Zero-length nouns only: the share is 0 rather than 0/0.
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 0, nullptr}}), 11.0f);
}

TEST(ScoringTest, NounWithParticle) {
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 2, nullptr}, {JKB, 1, "에"}}), 13.6f);
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 2, nullptr}, {JKB, 1, "서"}}), 12.6f);
  // A symbol after the particle earns the same bonus as a final particle.
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 2, nullptr}, {JKS, 1, "가"}, {SF, 1, "."}}), 13.6f);
  // A particle after an ending earns neither bonus nor length.
  EXPECT_FLOAT_EQ(
      scoreAlone({{VV, 1, nullptr}, {EC, 1, nullptr}, {JX, 1, "는"}}), 1.0f);
}

TEST(ScoringTest, NounChainsAndBoundNouns) {
  // (3.0 - 0.8) * 10 + 1.2
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 1, nullptr}, {NNG, 1, nullptr}}), 23.2f);
  // (4.5 - 1.2) * 10 + 1.44
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 1, nullptr}, {NNP, 1, nullptr}, {NNG, 1, nullptr}}),
      34.44f);
  // nnb neither chains nor counts as a covering noun.
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 1, nullptr}, {NNB, 1, nullptr}}), 11.0f);
  // but it still sets the longest noun length.
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 1, nullptr}, {NNB, 2, nullptr}}), 3.5f);
}

TEST(ScoringTest, CountersAndDerivationalSuffixes) {
  EXPECT_FLOAT_EQ(scoreAlone({{SN, 1, "3"}, {NNB, 1, "개"}}), 4.0f);
  EXPECT_FLOAT_EQ(scoreAlone({{SN, 1, "3"}, {XSN, 1, "째"}}), 2.0f);
  // After nr: 2.0 as a number, 2.0 more as a noun; nr covers 1.5 - 0.4.
  EXPECT_FLOAT_EQ(scoreAlone({{NR, 1, "셋"}, {XSN, 1, "째"}}), 15.0f);
  // xsn after xsn.
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 2, nullptr}, {XSN, 1, nullptr}, {XSN, 1, nullptr}}),
      15.0f);
  // xsn after nnb earns nothing.
  EXPECT_FLOAT_EQ(scoreAlone({{NNB, 1, nullptr}, {XSN, 1, nullptr}}), 0.0f);
}

TEST(ScoringTest, SuffixMultipliesOnlyTheNounPart) {
  // ((1.75 - 0.4) * 10 * 1.3) + 0.1, not 13.6 * 1.3.
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 2, nullptr}, {XSV, 1, nullptr}, {JX, 1, "는"}}),
      17.65f);
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 2, nullptr}, {XSA, 1, nullptr}, {XSV, 1, nullptr},
                  {EC, 1, nullptr}}),
      17.6f);
}

TEST(ScoringTest, PredicatesAndCopula) {
  EXPECT_FLOAT_EQ(scoreAlone({{VV, 2, nullptr}, {EC, 1, nullptr}}), 2.0f);
  EXPECT_FLOAT_EQ(scoreAlone({{VA, 2, nullptr}, {EC, 1, nullptr}}), 0.4f);
  EXPECT_FLOAT_EQ(scoreAlone({{VX, 2, nullptr}, {EC, 1, nullptr}}), 0.2f);
  // (1.5 - 0.4) * 10 + 2.5
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 2, nullptr}, {VCP, 1, "이"}, {EF, 1, "다"}}), 13.5f);
  // A copula after something else earns nothing.
  EXPECT_FLOAT_EQ(scoreAlone({{SF, 1, nullptr}, {VCP, 1, "이"}}), 0.0f);
}

TEST(ScoringTest, ExactTagsWithinAClassAndTheWholeSeoText) {
  // nnb after nr: a counter, while nr alone covers: (1.5 - 0.4) * 10 + 4.
  EXPECT_FLOAT_EQ(scoreAlone({{NR, 1, "세"}, {NNB, 1, "개"}}), 15.0f);
  // A code of the xsn class that is not "xsn" itself earns no counter or
  // suffix bonus.
  EXPECT_FLOAT_EQ(scoreAlone({{SN, 1, "3"}, {XSN | 0x00200000u, 1, "째"}}),
                  0.0f);
  EXPECT_FLOAT_EQ(
      scoreAlone({{NNG, 2, nullptr}, {XSN | 0x00200000u, 1, nullptr}}), 11.0f);
  // Two noun subclass bits: a counted noun of the ordinary weight, and no
  // bound noun.
  EXPECT_FLOAT_EQ(scoreAlone({{NNG | NFG, 2, nullptr}}), 26.0f);
  // Only the text "서" itself costs the particle penalty.
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 2, nullptr}, {JKB, 1, "서도"}}), 13.6f);
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 2, nullptr}, {JKB, 1, ""}}), 13.6f);
  EXPECT_FLOAT_EQ(scoreAlone({{NNG, 2, nullptr}, {JKB, 1, "\xEC\x84"}}), 13.6f);
  // A symbol first, after nothing: no particle bonus.
  EXPECT_FLOAT_EQ(scoreAlone({{SF, 1, "."}, {NNG, 2, nullptr}}), 11.0f);
}

TEST(ScoringTest, CandidateSortsNegativeScoresAndKeepsLateResultsAtZero) {
  CandidateImpl c;
  // Six one-unit nouns against a ten-unit one: (0.9 - 2.4) * 10 + 1.2^5.
  ResultImpl* six = build({{NNG, 1, nullptr}, {NNG, 1, nullptr},
                           {NNG, 1, nullptr}, {NNG, 1, nullptr},
                           {NNG, 1, nullptr}, {NNG, 1, nullptr}});
  ResultImpl* whole = build({{NNG, 10, nullptr}});
  // Three: (0.45 - 1.2) * 10 + 1.44.
  ResultImpl* three =
      build({{NNG, 1, nullptr}, {NNG, 1, nullptr}, {NNG, 1, nullptr}});
  c.append(six);
  c.append(whole);
  c.append(three);
  c.scoring();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c.get(0), whole);
  EXPECT_EQ(c.get(1), three);
  EXPECT_EQ(c.get(2), six);
  EXPECT_FLOAT_EQ(whole->score(), 26.0f);
  EXPECT_FLOAT_EQ(three->score(), -6.06f);
  EXPECT_FLOAT_EQ(six->score(), -12.51168f);

  ResultImpl* fallback = build({{NF, 3, "학교에"}});
  c.append(fallback);
  EXPECT_EQ(fallback->score(), 0.0f);
  EXPECT_EQ(c.get(3), fallback);

  // Distinct scores: scoring again changes nothing.
  CandidateImpl again;
  ResultImpl* a = build({{NNG, 2, nullptr}, {JKB, 1, "에"}});
  ResultImpl* b = build({{NNG, 3, nullptr}});
  again.append(a);
  again.append(b);
  again.scoring();
  again.scoring();
  EXPECT_EQ(again.get(0), b);
  EXPECT_EQ(again.get(1), a);
  EXPECT_FLOAT_EQ(a->score(), (2.0f / 3.0f * 1.5f + 0.25f - 0.4f) * 10.0f + 0.1f);
}

}  // namespace
