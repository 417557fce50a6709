// Connection rules: which lattice node may directly follow which. Nodes are
// parsed from records written the way the dictionary stores them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/membuf.h"
#include "base/text.h"
#include "base/revision.h"
#include "knowledge/inter_result.h"
#include "pos/attribute_bits.h"
#include "pos/pos.h"

namespace {

constexpr unsigned int FIRST_PASS = 3;
constexpr unsigned int SECOND_PASS = 6;

struct Morph {
  unsigned int tag;
  std::u16string text;
};

class ConnectionRulesTest : public ::testing::Test {
 protected:
  // A node over a record of `morphs` with the given attribute flag and word,
  // covering `surface` (by default the morphemes' texts joined).
  InterResult& node(std::initializer_list<Morph> morphs, unsigned char flag = 0,
                    unsigned int attr = 0, std::u16string surface = u"") {
    const size_t off = records_.size();
    records_.append_uint8(flag);
    if (flag != 0) records_.append_uint32(attr);
    std::u16string joined;
    size_t i = 0;
    for (const Morph& m : morphs) {
      const bool last = ++i == morphs.size();
      records_.append_uint32(last ? (m.tag | 1u) : m.tag);
      records_.append_uint8(static_cast<uint8_t>(m.text.size() << 1 | 1));
      for (char16_t c : m.text) records_.append_uint16(c);
      joined += m.text;
    }
    if (surface.empty()) surface = joined;
    std::vector<unsigned short> text(surface.begin(), surface.end());
    text.push_back(0);
    nodes_.push_back(std::make_unique<InterResult>());
    InterResult& n = *nodes_.back();
    n.length(surface.size());
    n.parse(&records_, static_cast<int>(off), text.data(), surface.size());
    return n;
  }
  InterResult& word(unsigned int tag, std::u16string text) {
    return node({{tag, text}});
  }
  InterResult& marked(unsigned int tag, std::u16string text,
                      unsigned int attr) {
    return node({{tag, text}}, 1, attr);
  }
  InterResult& clue(unsigned int tag, std::u16string text, unsigned int attr) {
    return node({{tag, text}}, CLUE_ATTRIBUTE_FLAG, attr);
  }

  static bool first(const InterResult& next, const InterResult& prev) {
    return next.isPossible(&prev, FIRST_PASS);
  }
  static bool second(const InterResult& next, const InterResult& prev) {
    return next.isPossible(&prev, SECOND_PASS);
  }
  static bool both(const InterResult& next, const InterResult& prev) {
    return first(next, prev) && second(next, prev);
  }
  static bool neither(const InterResult& next, const InterResult& prev) {
    return !first(next, prev) && !second(next, prev);
  }

  membuf records_{4096, 4096};
  std::vector<std::unique_ptr<InterResult>> nodes_;
};

// Group 0 ------------------------------------------------------------------

TEST_F(ConnectionRulesTest, ClueLicensesTheNodeAfterIt) {
  const InterResult& oneSyllableNouns = clue(NNG, u"대", CLUE_BEFORE_NOUN_1SYL);
  EXPECT_TRUE(both(word(NNG, u"책"), oneSyllableNouns));
  EXPECT_TRUE(
      neither(marked(EF, u"다", EOMI_COPULA_DROPPABLE), oneSyllableNouns));

  const InterResult& twoSyllableNouns = clue(NNG, u"대", CLUE_BEFORE_NOUN_2SYL);
  EXPECT_TRUE(neither(word(NNG, u"책"), twoSyllableNouns));
  EXPECT_TRUE(both(word(NNG, u"학교"), twoSyllableNouns));

  // The verb clue measures the clue itself: a verb is then allowed even in
  // the strict pass.
  EXPECT_TRUE(both(word(VV, u"먹"), clue(NNG, u"대", CLUE_BEFORE_VERB_1SYL)));
  EXPECT_TRUE(
      neither(word(VV, u"먹"), clue(NNG, u"대", CLUE_BEFORE_VERB_2SYL)));
  EXPECT_TRUE(both(word(VV, u"먹"), clue(NNG, u"대학", CLUE_BEFORE_VERB_2SYL)));
  EXPECT_TRUE(
      neither(word(NNG, u"학교"), clue(NNG, u"대학", CLUE_BEFORE_VERB_2SYL)));

  // A bound noun without bits is accepted only through a clue.
  const InterResult& boundNouns = clue(NNG, u"대", CLUE_BEFORE_BOUND_NOUN);
  EXPECT_TRUE(both(word(NNB, u"것"), boundNouns));
  EXPECT_TRUE(neither(word(NNG, u"것"), boundNouns));

  const InterResult& auxParticles = clue(NNG, u"대", CLUE_BEFORE_AUX_PARTICLE);
  EXPECT_TRUE(both(word(JX, u"도"), auxParticles));
  EXPECT_TRUE(neither(word(JKS, u"가"), auxParticles));
}

TEST_F(ConnectionRulesTest, ClueBeforeEndingMatchesItsLetter) {
  const InterResult& letter = clue(POS_ZERO, u"ㄴ", CLUE_BEFORE_ENDING);
  EXPECT_TRUE(both(word(ETM, u"ㄴ"), letter));
  EXPECT_TRUE(neither(word(ETM, u"ㄹ"), letter));
  EXPECT_TRUE(neither(word(EF, u"다"), letter));

  const InterResult& syllable = clue(VV, u"하", CLUE_BEFORE_ENDING);
  EXPECT_TRUE(both(word(EF, u"다"), syllable));
  EXPECT_TRUE(neither(word(ETM, u"ㄴ"), syllable));
  EXPECT_TRUE(neither(word(NNG, u"학교"), syllable));
}

TEST_F(ConnectionRulesTest, ClueChecksTheNodeBeforeIt) {
  const InterResult& afterNoun = clue(NNG, u"씨", CLUE_AFTER_NOUN_1SYL);
  EXPECT_TRUE(both(afterNoun, word(NNG, u"책")));
  EXPECT_TRUE(neither(afterNoun, word(EC, u"고")));
  // Clue morphemes are off when the pass word lacks bit 1.
  EXPECT_FALSE(afterNoun.isPossible(&word(NNG, u"책"), 0x1));
  EXPECT_FALSE(afterNoun.isPossible(&word(NNG, u"책"), 0x4));

  EXPECT_TRUE(both(clue(NNG, u"씨", CLUE_AFTER_NOUN_2SYL), word(NNG, u"학교")));
  EXPECT_TRUE(
      neither(clue(NNG, u"씨", CLUE_AFTER_NOUN_2SYL), word(NNG, u"책")));
  EXPECT_TRUE(both(clue(EC, u"고", CLUE_AFTER_VERB_2SYL), word(VV, u"먹이")));
  EXPECT_TRUE(neither(clue(EC, u"고", CLUE_AFTER_VERB_2SYL), word(VV, u"먹")));
  EXPECT_TRUE(both(clue(NNG, u"씨", CLUE_AFTER_AUX_PARTICLE), word(JX, u"도")));
  EXPECT_TRUE(
      neither(clue(NNG, u"씨", CLUE_AFTER_AUX_PARTICLE), word(JKS, u"가")));

  // A clue that says nothing of its predecessor leaves the other rules to
  // decide.
  const InterResult& silent = clue(NNG, u"씨", CLUE_BEFORE_NOUN_1SYL);
  EXPECT_TRUE(both(silent, word(NNG, u"학교")));
  EXPECT_TRUE(neither(silent, word(EC, u"고")));
}

// Group 1 ------------------------------------------------------------------

TEST_F(ConnectionRulesTest, NounFollowsNominalsAndAdnominalEndings) {
  EXPECT_TRUE(both(word(NNG, u"가방"), word(NNG, u"학교")));
  EXPECT_TRUE(neither(word(NNG, u"학교"), word(EC, u"고")));
  EXPECT_TRUE(neither(word(NNG, u"학교"), word(VV, u"먹")));
  EXPECT_TRUE(both(word(NNG, u"학교"), word(ETM, u"는")));
  // A bare-letter adnominal ending only in the relaxed pass.
  EXPECT_FALSE(first(word(NNG, u"학교"), word(ETM, u"ㄴ")));
  EXPECT_TRUE(second(word(NNG, u"학교"), word(ETM, u"ㄴ")));
  EXPECT_TRUE(both(word(NNG, u"학교"), word(NNB, u"수")));
}

// Where the revisions part: the engine's own rules refuse a noun after a
// record that runs from an adnominal ending into its bound noun (-ㄹ 수);
// the earlier rules (macOS, reduced) lack that rule.
TEST_F(ConnectionRulesTest, NounAfterAdnominalBoundNounByRevision) {
  const InterResult& noun = word(NNG, u"학교");
  const InterResult& fused = node({{ETM, u"ㄹ"}, {NNB, u"수"}});
  if constexpr (revision::EARLIER_CONNECTION_RULES) {
    EXPECT_TRUE(both(noun, fused));
  } else {
    EXPECT_TRUE(neither(noun, fused));
  }
  // A record that only ends in a bound noun is no such record.
  EXPECT_TRUE(both(noun, node({{NNG, u"학교"}, {NNB, u"수"}})));
  EXPECT_TRUE(both(noun, node({{NNB, u"수"}, {ETM, u"ㄹ"}, {NNB, u"수"}})));
}

TEST_F(ConnectionRulesTest, NounAfterDeterminerOrPrefix) {
  const InterResult& determiner = word(MM, u"새");
  EXPECT_TRUE(both(word(NNG, u"학교"), determiner));
  EXPECT_FALSE(first(word(NNP, u"서울"), determiner));
  EXPECT_TRUE(second(word(NNP, u"서울"), determiner));
  EXPECT_FALSE(first(word(NNG, u"책"), determiner));
  EXPECT_TRUE(second(word(NNG, u"책"), determiner));

  const InterResult& prefix = word(XPN, u"비");
  EXPECT_FALSE(first(word(NR, u"일"), prefix));
  EXPECT_TRUE(second(word(NR, u"일"), prefix));
  EXPECT_TRUE(neither(word(NNG, u"책"), prefix));
  EXPECT_TRUE(neither(word(NNP, u"서울"), prefix));
  EXPECT_TRUE(both(word(NNG, u"학교"), prefix));
}

TEST_F(ConnectionRulesTest, NumeralsBoundNounsAndGuessedNouns) {
  EXPECT_TRUE(neither(word(NR, u"하나"), word(NF, u"가나다")));
  EXPECT_FALSE(first(word(NR, u"하나"), word(NNG, u"학교")));
  EXPECT_TRUE(second(word(NR, u"하나"), word(NNG, u"학교")));
  EXPECT_TRUE(neither(word(NR, u"하나"), word(ETM, u"는")));
  EXPECT_TRUE(both(word(NR, u"하나"), word(SN, u"3")));

  const InterResult& dependent = marked(NNB, u"것", BOUND_NOUN_MINUS_DEPENDENT);
  EXPECT_TRUE(neither(dependent, word(NNP, u"서울")));
  EXPECT_TRUE(both(dependent, word(NNG, u"학교")));

  const InterResult& guessed = word(NF, u"가나다");
  EXPECT_TRUE(neither(guessed, word(NR, u"하나")));
  EXPECT_TRUE(neither(guessed, word(NF, u"라마")));
  EXPECT_TRUE(neither(guessed, word(NNG, u"책")));
  EXPECT_TRUE(both(guessed, word(NNG, u"학교")));
}

TEST_F(ConnectionRulesTest, OneUnitNounIsNoLooseCompoundPart) {
  const InterResult& book = word(NNG, u"책");
  EXPECT_TRUE(neither(book, word(NNG, u"산")));
  EXPECT_TRUE(both(book, word(NR, u"일")));
  EXPECT_TRUE(neither(book, word(XSN, u"들")));
  EXPECT_TRUE(neither(book, word(NNP, u"서울")));
  EXPECT_TRUE(both(book, word(NNG, u"학교")));
  // A one-unit numeral is exempt, but only the relaxed pass puts a numeral
  // after a noun.
  EXPECT_FALSE(first(word(NR, u"일"), word(NNP, u"서울")));
  EXPECT_TRUE(second(word(NR, u"일"), word(NNP, u"서울")));
}

// Groups 2 to 4 --------------------------------------------------------------

TEST_F(ConnectionRulesTest, PronounAndProperNoun) {
  EXPECT_TRUE(neither(word(NP, u"그것"), word(NNG, u"학교")));
  EXPECT_TRUE(both(word(NP, u"그것"), word(SN, u"3")));
  EXPECT_TRUE(both(word(NP, u"그것"), word(SL, u"abc")));

  EXPECT_FALSE(first(word(NNP, u"서울"), word(NNB, u"수")));
  EXPECT_TRUE(second(word(NNP, u"서울"), word(NNB, u"수")));
  EXPECT_FALSE(first(word(NNP, u"서울"), word(XSN, u"들")));
  EXPECT_TRUE(second(word(NNP, u"서울"), word(XSN, u"들")));
}

TEST_F(ConnectionRulesTest, BoundNounNeedsItsBits) {
  EXPECT_TRUE(neither(word(NNB, u"것"), word(NNG, u"학교")));
  EXPECT_TRUE(neither(word(NNB, u"것"), word(ETM, u"는")));

  const InterResult& unit = marked(NNB, u"개", BOUND_NOUN_UNIT);
  EXPECT_TRUE(both(unit, word(MM, u"두")));
  EXPECT_TRUE(both(unit, word(SN, u"3")));
  EXPECT_TRUE(neither(unit, word(NNG, u"학교")));

  const InterResult& minus = marked(NNB, u"것", BOUND_NOUN_MINUS_DEPENDENT);
  EXPECT_TRUE(both(minus, word(ETM, u"는")));
  EXPECT_TRUE(neither(minus, word(ETM, u"ㄴ")));
  EXPECT_TRUE(neither(minus, word(SF, u".")));

  const InterResult& plus = marked(NNB, u"것", BOUND_NOUN_PLUS_DEPENDENT);
  EXPECT_TRUE(both(plus, word(SF, u".")));
  EXPECT_TRUE(both(plus, word(ETN, u"기")));
}

// Groups 5 to 8 --------------------------------------------------------------

TEST_F(ConnectionRulesTest, VerbStemOnlyInTheRelaxedPass) {
  const InterResult& verb = word(VV, u"먹");
  for (const InterResult* prev :
       {&word(NNG, u"학교"), &word(EC, u"어"), &word(MAG, u"잘"),
        &word(JKS, u"가"), &word(SF, u".")}) {
    EXPECT_FALSE(first(verb, *prev));
    EXPECT_TRUE(second(verb, *prev));
  }
  EXPECT_TRUE(neither(verb, word(ETM, u"는")));
  EXPECT_TRUE(neither(verb, word(NP, u"그것")));
  EXPECT_TRUE(neither(verb, word(VV, u"먹")));
}

TEST_F(ConnectionRulesTest, AdjectiveStem) {
  const InterResult& dap = word(VA, u"답");
  EXPECT_TRUE(both(dap, word(NNG, u"사람")));
  EXPECT_TRUE(neither(dap, word(NP, u"그것")));
  // The first morpheme's last unit counts, not its first.
  EXPECT_TRUE(both(word(VA, u"아름답"), word(NNG, u"꽃")));

  const InterResult& good = word(VA, u"좋");
  EXPECT_FALSE(first(good, word(NNG, u"사람")));
  EXPECT_TRUE(second(good, word(NNG, u"사람")));
  EXPECT_FALSE(first(good, word(MM, u"새")));
  EXPECT_TRUE(second(good, word(MM, u"새")));
  EXPECT_TRUE(neither(good, word(MAG, u"잘")));
  EXPECT_TRUE(both(good, word(SN, u"3")));
}

TEST_F(ConnectionRulesTest, AuxiliaryPredicateAfterConnective) {
  const InterResult& aux = word(VX, u"보");
  EXPECT_TRUE(both(aux, word(EC, u"어")));
  EXPECT_TRUE(neither(aux, word(EF, u"다")));
  EXPECT_TRUE(neither(aux, marked(EC, u"게", EOMI_NO_AUX_PREDICATE_AFTER)));
  EXPECT_TRUE(neither(aux, node({{VV, u"하"}, {EC, u"여"}}, 0, 0, u"해")));
  EXPECT_TRUE(both(aux, node({{VV, u"먹"}, {EC, u"어"}})));
}

TEST_F(ConnectionRulesTest, Copula) {
  const InterResult& copula = word(VCP, u"이");
  EXPECT_TRUE(both(copula, word(NNG, u"학생")));
  EXPECT_TRUE(both(copula, word(EF, u"다")));
  EXPECT_TRUE(both(copula, word(JKS, u"가")));
  EXPECT_TRUE(both(copula, word(XSN, u"들")));
  EXPECT_TRUE(neither(copula, word(EC, u"고")));
  EXPECT_TRUE(neither(copula, node({{NNG, u"사과"}, {JKO, u"ㄹ"}})));
}

// Group 9 ------------------------------------------------------------------

TEST_F(ConnectionRulesTest, ModifiersAndInterjectionsFollowOnlySymbols) {
  EXPECT_TRUE(neither(word(MAG, u"잘"), word(NNG, u"학교")));
  EXPECT_TRUE(both(word(MAG, u"잘"), word(SF, u".")));
  EXPECT_TRUE(both(word(MM, u"새"), word(SL, u"abc")));
  EXPECT_TRUE(neither(word(IC, u"아"), word(NNG, u"학교")));
}

// Group 10: particles --------------------------------------------------------

TEST_F(ConnectionRulesTest, ParticleFormFitsTheFinalConsonant) {
  const InterResult& closedForm =
      marked(JKO, u"을", JOSA_AFTER_CLOSED_SYLLABLE);
  EXPECT_TRUE(neither(closedForm, word(NNG, u"사과")));
  EXPECT_TRUE(both(closedForm, word(NNG, u"책")));

  const InterResult& ro =
      marked(JKB, u"로", JOSA_AFTER_OPEN_SYLLABLE | JOSA_ALSO_AFTER_RIEUL);
  EXPECT_TRUE(both(ro, word(NNG, u"물")));
  EXPECT_TRUE(neither(ro, word(NNG, u"책")));
  EXPECT_TRUE(both(ro, word(NNG, u"사과")));
  EXPECT_TRUE(
      neither(marked(JKO, u"를", JOSA_AFTER_OPEN_SYLLABLE), word(NNG, u"물")));

  // No final-consonant check after an ending.
  EXPECT_TRUE(both(closedForm, word(ETN, u"기")));
}

// Where the revisions part: in the engine's own rules the text a noun covers
// decides a particle's form; in the earlier rules (macOS, reduced) its
// dictionary form, so a noun that swallowed a final consonant (그댄 for 그대)
// takes the particles of an open syllable.
TEST_F(ConnectionRulesTest, ParticleFinalConsonantUnitByRevision) {
  const InterResult& closedForm =
      marked(JKO, u"을", JOSA_AFTER_CLOSED_SYLLABLE);
  const InterResult& openForm = marked(JKS, u"가", JOSA_AFTER_OPEN_SYLLABLE);
  const InterResult& contracted = node({{NNG, u"그대"}}, 0, 0, u"그댄");
  if constexpr (revision::EARLIER_CONNECTION_RULES) {
    EXPECT_TRUE(neither(closedForm, contracted));
    EXPECT_TRUE(both(openForm, contracted));
  } else {
    EXPECT_TRUE(both(closedForm, contracted));
    EXPECT_TRUE(neither(openForm, contracted));
  }
  // Where text and form agree, both revisions agree.
  EXPECT_TRUE(both(openForm, word(NNG, u"그대")));
  EXPECT_TRUE(neither(closedForm, word(NNG, u"그대")));
}

TEST_F(ConnectionRulesTest, CaseParticleFollowsNominals) {
  const InterResult& subject = word(JKS, u"가");
  EXPECT_TRUE(both(subject, word(ETN, u"기")));
  EXPECT_TRUE(both(subject, word(XSN, u"들")));
  EXPECT_TRUE(both(subject, word(MM, u"새")));
  EXPECT_TRUE(neither(subject, word(EC, u"고")));
  EXPECT_TRUE(neither(subject, word(MAG, u"빨리")));
  EXPECT_FALSE(first(subject, word(NR, u"하나")));
  EXPECT_TRUE(second(subject, word(NR, u"하나")));
}

TEST_F(ConnectionRulesTest, AuxiliaryParticle) {
  const InterResult& aux = word(JX, u"는");
  EXPECT_TRUE(both(aux, word(EC, u"고")));
  EXPECT_TRUE(neither(aux, marked(EC, u"어", EOMI_NO_AUX_PARTICLE_AFTER)));
  EXPECT_TRUE(both(aux, word(JX, u"만")));
  EXPECT_TRUE(neither(aux, marked(JX, u"도", JOSA_NO_AUX_PARTICLE_AFTER)));
  EXPECT_TRUE(neither(aux, node({{VV, u"먹"}, {EC, u"고"}})));
  EXPECT_TRUE(neither(aux, word(MAG, u"잘")));
  EXPECT_TRUE(both(aux, word(MAG, u"빨리")));
  EXPECT_TRUE(neither(aux, word(ETM, u"는")));
}

// Group 10: endings ----------------------------------------------------------

TEST_F(ConnectionRulesTest, EndingOnNounDropsTheCopula) {
  const InterResult& da = marked(EF, u"다", EOMI_COPULA_DROPPABLE);
  EXPECT_TRUE(both(da, word(NNG, u"학교")));
  EXPECT_TRUE(neither(da, word(NNG, u"책")));
  EXPECT_TRUE(neither(word(EF, u"다"), word(NNG, u"학교")));
  EXPECT_TRUE(
      neither(marked(EF, u"다", EOMI_COPULA_DROPPABLE | EOMI_NO_COPULA_DROP),
              word(NNG, u"학교")));
  EXPECT_TRUE(
      neither(marked(ETM, u"ㄴ", EOMI_COPULA_DROPPABLE), word(NNG, u"학교")));

  EXPECT_TRUE(neither(da, word(NF, u"가나다")));
  EXPECT_TRUE(
      both(marked(EC, u"니까", EOMI_COPULA_DROPPABLE), word(NF, u"가나다")));

  const InterResult& ya = marked(EF, u"야", EOMI_COPULA_DROPPABLE);
  EXPECT_FALSE(first(ya, word(NP, u"너")));
  EXPECT_TRUE(second(ya, word(NP, u"너")));
}

TEST_F(ConnectionRulesTest, EndingAfterPredicateOrSymbol) {
  const InterResult& go = word(VV, u"가");
  EXPECT_TRUE(both(word(EF, u"다"), go));
  InterResult& swallowed = word(VV, u"가");
  swallowed.nounirregular(true);
  EXPECT_TRUE(neither(word(EF, u"다"), swallowed));

  EXPECT_TRUE(both(marked(EF, u"다", EOMI_COPULA_DROPPABLE), word(SF, u".")));
  EXPECT_TRUE(neither(word(EF, u"다"), word(SF, u".")));

  const InterResult& copula = word(VCP, u"이");
  EXPECT_TRUE(neither(word(EF, u"다"), copula));
  EXPECT_TRUE(both(marked(EF, u"다", EOMI_COPULA_DROPPABLE), copula));
  EXPECT_TRUE(both(word(EP, u"었"), copula));

  EXPECT_TRUE(neither(word(EF, u"다"), word(JKS, u"가")));
  EXPECT_TRUE(both(word(EF, u"다"), word(XSV, u"하")));
  EXPECT_TRUE(neither(word(EC, u"고"), word(EF, u"다")));
  EXPECT_TRUE(both(word(EC, u"고"), word(EP, u"었")));
}

TEST_F(ConnectionRulesTest, OneLetterEndingContinuesItsLetter) {
  const InterResult& n = word(ETM, u"ㄴ");
  EXPECT_TRUE(neither(n, word(VV, u"가")));
  EXPECT_TRUE(both(n, node({{VV, u"가"}, {POS_ZERO, u"ㄴ"}}, 0, 0, u"간")));
  EXPECT_TRUE(neither(n, node({{VV, u"가"}, {POS_ZERO, u"ㄹ"}}, 0, 0, u"갈")));
  const InterResult& bieup = word(EF, u"ㅂ니다");
  EXPECT_TRUE(neither(bieup, word(VV, u"가")));
  EXPECT_TRUE(both(bieup, node({{VV, u"가"}, {POS_ZERO, u"ㅂ"}}, 0, 0, u"갑")));
  // A tagged morpheme spelled with a bare letter takes no further ending.
  EXPECT_TRUE(neither(word(EF, u"다"), node({{VV, u"가"}, {EP, u"ㅂ"}})));
}

TEST_F(ConnectionRulesTest, EndingBitsAgainstThePrecedingUnit) {
  const InterResult& eat = word(VV, u"먹");
  const InterResult& go = word(VV, u"가");
  const InterResult& live = word(VV, u"살");

  const InterResult& closed = marked(EC, u"은데", EOMI_AFTER_CLOSED_SYLLABLE);
  EXPECT_TRUE(both(closed, eat));
  EXPECT_TRUE(neither(closed, go));

  const InterResult& open = marked(EC, u"면", EOMI_AFTER_OPEN_SYLLABLE);
  EXPECT_TRUE(both(open, go));
  EXPECT_TRUE(neither(open, eat));
  EXPECT_TRUE(neither(open, live));
  EXPECT_TRUE(both(
      marked(EC, u"면", EOMI_AFTER_OPEN_SYLLABLE | EOMI_AFTER_RIEUL_OR_OPEN),
      live));

  const InterResult& rieul = marked(EC, u"니", EOMI_AFTER_RIEUL_OR_OPEN);
  EXPECT_TRUE(neither(rieul, eat));
  EXPECT_TRUE(both(rieul, live));
  EXPECT_TRUE(both(rieul, go));

  const InterResult& notRieul = marked(EC, u"니", EOMI_NOT_AFTER_RIEUL);
  EXPECT_TRUE(neither(notRieul, live));
  EXPECT_TRUE(both(notRieul, eat));

  // An irregular stem is judged by its surface: 돕 is spelled 도 in 도와.
  EXPECT_TRUE(both(open, node({{VV, u"돕"}}, 0, 0, u"도")));
}

TEST_F(ConnectionRulesTest, EndingBitsAgainstThePrecedingTag) {
  EXPECT_TRUE(
      neither(marked(EF, u"는다", EOMI_NOT_AFTER_VERB), word(VV, u"먹")));
  EXPECT_TRUE(both(marked(EF, u"다", EOMI_NOT_AFTER_VERB), word(VA, u"좋")));
  EXPECT_TRUE(
      neither(marked(EF, u"다", EOMI_NOT_AFTER_ADJECTIVE), word(VA, u"좋")));
  EXPECT_TRUE(
      neither(marked(EF, u"다", EOMI_NOT_AFTER_PREFINAL), word(EP, u"었")));
  EXPECT_TRUE(
      neither(marked(EF, u"다", EOMI_COPULA_DROPPABLE | EOMI_NOT_AFTER_COPULA),
              word(VCP, u"이")));
  const InterResult& onlyCopula =
      marked(EF, u"라", EOMI_COPULA_DROPPABLE | EOMI_ONLY_AFTER_COPULA);
  EXPECT_TRUE(both(onlyCopula, word(VCP, u"이")));
  EXPECT_TRUE(neither(onlyCopula, word(VV, u"가")));

  const InterResult& eoDropped = marked(EC, u"서", EOMI_EO_DROPPED);
  EXPECT_TRUE(both(eoDropped, node({{VV, u"서"}, {EP, u"어"}})));
  EXPECT_TRUE(neither(eoDropped, node({{VV, u"서"}, {EP, u"었"}})));
}

TEST_F(ConnectionRulesTest, TagLessPieceSpellsTheEndingStart) {
  const InterResult& ieung =
      node({{VV, u"하"}, {POS_ZERO, u"ㅇ"}}, 0, 0, u"해");
  EXPECT_TRUE(both(word(EC, u"어"), ieung));
  EXPECT_TRUE(neither(word(EC, u"고"), ieung));

  const InterResult& yo = node({{VV, u"하"}, {POS_ZERO, u"요"}});
  EXPECT_TRUE(both(word(EF, u"요"), yo));
  EXPECT_TRUE(neither(word(EF, u"다"), yo));
  // After 요 the covered text decides, not the ending's dictionary form.
  EXPECT_TRUE(both(node({{EF, u"다"}}, 0, 0, u"야"), yo));
  EXPECT_TRUE(neither(node({{EF, u"어"}}, 0, 0, u"다"), yo));

  const InterResult& neun = node({{VV, u"하"}, {POS_ZERO, u"는"}});
  EXPECT_TRUE(both(word(EC, u"는데"), neun));
  EXPECT_TRUE(neither(word(EC, u"고"), neun));

  const InterResult& same = node({{VV, u"하"}, {POS_ZERO, u"시"}});
  EXPECT_TRUE(both(word(EP, u"시"), same));
  EXPECT_TRUE(neither(word(EP, u"었"), same));
}

TEST_F(ConnectionRulesTest, LinkingEuOnlyAfterClosedStem) {
  EXPECT_TRUE(neither(word(EC, u"으면"), word(VV, u"가")));
  EXPECT_TRUE(both(word(EC, u"으면"), word(VV, u"먹")));
  EXPECT_TRUE(both(word(EP, u"으시"), word(VV, u"가")));
  // The stem's own last syllable decides, not the record's last unit.
  EXPECT_TRUE(both(word(EC, u"으면"), node({{VV, u"먹"}, {VV, u"이"}})));
}

// Group 10: affixes; group 11 ------------------------------------------------

TEST_F(ConnectionRulesTest, Affixes) {
  const InterResult& prefix = word(XPN, u"비");
  EXPECT_TRUE(both(prefix, word(NNG, u"학교")));
  EXPECT_TRUE(both(prefix, word(SL, u"abc")));
  EXPECT_TRUE(neither(prefix, word(EC, u"고")));

  const InterResult& plural = word(XSN, u"들");
  EXPECT_TRUE(both(plural, word(NNG, u"학교")));
  EXPECT_TRUE(both(plural, word(ETN, u"기")));
  EXPECT_TRUE(both(plural, word(SN, u"3")));
  EXPECT_TRUE(neither(plural, word(SH, u"漢")));
  EXPECT_TRUE(neither(plural, word(VV, u"먹")));

  const InterResult& verbSuffix = word(XSV, u"하");
  EXPECT_TRUE(both(verbSuffix, word(NNG, u"공부")));
  EXPECT_TRUE(both(verbSuffix, word(XSN, u"적")));
  EXPECT_TRUE(neither(verbSuffix, word(NP, u"우리")));
  EXPECT_TRUE(neither(verbSuffix, word(NNP, u"서울")));
  EXPECT_TRUE(neither(verbSuffix, word(VV, u"먹")));

  const InterResult& adjectiveSuffix = word(XSA, u"스럽");
  EXPECT_TRUE(both(adjectiveSuffix, word(NNG, u"사랑")));
  EXPECT_TRUE(neither(adjectiveSuffix, word(XSN, u"적")));
}

// Where the revisions part: a pronoun or proper noun takes no noun suffix and
// no adjective suffix, except in the reduced revision; the verb suffix
// refuses them in every revision.
TEST_F(ConnectionRulesTest, SuffixAfterPronounByRevision) {
  const InterResult& plural = word(XSN, u"들");
  const InterResult& adjectiveSuffix = word(XSA, u"스럽");
  for (const InterResult* noun : {&word(NP, u"우리"), &word(NNP, u"서울")}) {
    if constexpr (revision::SUFFIX_AFTER_PRONOUN) {
      EXPECT_TRUE(both(plural, *noun));
      EXPECT_TRUE(both(adjectiveSuffix, *noun));
    } else {
      EXPECT_TRUE(neither(plural, *noun));
      EXPECT_TRUE(neither(adjectiveSuffix, *noun));
    }
    EXPECT_TRUE(neither(word(XSV, u"하"), *noun));
  }
}

// Groups 12 to 14 ------------------------------------------------------------

TEST_F(ConnectionRulesTest, SymbolsAndNumbers) {
  const InterResult& period = word(SF, u".");
  EXPECT_TRUE(neither(period, word(VV, u"먹")));
  EXPECT_TRUE(neither(period, word(VCP, u"이")));
  EXPECT_TRUE(neither(period, node({{VV, u"하"}, {POS_ZERO, u"시"}})));
  EXPECT_TRUE(both(period, word(EF, u"다")));

  const InterResult& number = word(SN, u"3");
  EXPECT_TRUE(neither(number, node({{VV, u"먹"}, {EC, u"고"}})));
  EXPECT_FALSE(first(number, word(MM, u"두")));
  EXPECT_TRUE(second(number, word(MM, u"두")));
  EXPECT_FALSE(first(number, word(IC, u"아")));
  EXPECT_TRUE(second(number, word(IC, u"아")));
  EXPECT_TRUE(both(number, word(NNG, u"학교")));
}

TEST_F(ConnectionRulesTest, TagLessPieceContinuesTheSameUnit) {
  const InterResult& piece = node({{POS_ZERO, u"ㄴ"}, {NNG, u"다"}});
  EXPECT_TRUE(both(piece, node({{VV, u"가"}, {POS_ZERO, u"ㄴ"}})));
  EXPECT_TRUE(neither(piece, node({{VV, u"가"}, {POS_ZERO, u"ㄹ"}})));
  EXPECT_TRUE(neither(piece, word(VV, u"가")));
}

// The particle forms against units at and beyond the edges of the syllable
// block, each read as the text's own split into jamo gives it: 가 and 힣
// (open, closed), the unassigned units right after the block (split as
// syllables), a unit past them and a letter (neither open nor closed).
TEST_F(ConnectionRulesTest, ParticleFormAtTheEdgesOfTheSyllableBlock) {
  const InterResult& afterOpen = marked(JKS, u"가", JOSA_AFTER_OPEN_SYLLABLE);
  const InterResult& afterClosed =
      marked(JKS, u"이", JOSA_AFTER_CLOSED_SYLLABLE);
  for (char16_t unit : {u'\uAC00', u'\uAC01', u'\uD7A3', u'\uD7A4',
                        u'\uD7AF', u'\uD7B0', u'\u3131', u'a'}) {
    unsigned short initial = 0, medial = 0, final = 0;
    decode_han(static_cast<unsigned short>(unit), initial, medial, final);
    const bool syllable = initial != 99 && medial != 99;
    const bool open = syllable && final == 0;
    const bool closed = syllable && final != 0;
    const InterResult& noun = word(NNG, std::u16string(u"사") + unit);
    EXPECT_EQ(both(afterOpen, noun), !closed) << std::hex << unit;
    EXPECT_EQ(neither(afterOpen, noun), closed) << std::hex << unit;
    EXPECT_EQ(both(afterClosed, noun), !open) << std::hex << unit;
    EXPECT_EQ(neither(afterClosed, noun), open) << std::hex << unit;
  }
}

// The linking loop's batch form admits, in list order, exactly the
// followers that isPossible admits one by one, for every kind of node on
// either side (clue morphemes, attribute bits, one- and two-unit nodes,
// tag-less pieces) and both passes.
TEST_F(ConnectionRulesTest, BatchLinkingAgreesWithPairByPairTests) {
  const unsigned int tags[] = {NNG, NNB, NNP, NP, NR, NF, VV, VA, VX, VCP,
                               EF, EC, ETM, EP, JKS, JX, XSN, XPN, XSV, XSA,
                               MAG, MM, IC, SF, SN, SL, POS_ZERO};
  std::vector<const InterResult*> all;
  for (unsigned int tag : tags) {
    all.push_back(&word(tag, u"가"));
    all.push_back(&word(tag, u"학교"));
    all.push_back(&marked(tag, u"ㄴ", 0xFFFFFFFFu));
    all.push_back(&clue(tag, u"는", 0x5555u));
    all.push_back(&node({{tag, u"먹"}, {EC, u"어"}}, 1, 0x2AAAu));
  }
  OpStack<InterResult*> followers;
  for (const InterResult* n : all) followers.push(const_cast<InterResult*>(n));

  size_t admitted = 0;
  for (unsigned int mode : {FIRST_PASS, SECOND_PASS}) {
    for (const InterResult* prev : all) {
      OpStack<InterResult*> batch;
      InterResult::pushPossible(prev, followers, mode, batch);
      std::vector<const InterResult*> want;
      for (const InterResult* n : all)
        if (n->isPossible(prev, mode)) want.push_back(n);
      ASSERT_EQ(batch.size(), want.size());
      for (uint64_t k = 0; k < batch.size(); ++k)
        EXPECT_EQ(batch.at(k), want[k]);
      admitted += want.size();
    }
  }
  // The set is varied enough that both verdicts occur often.
  EXPECT_GT(admitted, all.size());
  EXPECT_LT(admitted, 2 * all.size() * all.size() / 2);

  OpStack<InterResult*> none;
  InterResult::pushPossible(nullptr, followers, FIRST_PASS, none);
  EXPECT_EQ(none.size(), 0u);
}

}  // namespace
