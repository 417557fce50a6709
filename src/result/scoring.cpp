// Scoring of analyses: a weighted sum of heuristic terms, computed in single
// precision, that favours few nouns covering much of the word, particles,
// copulas and suffixes attached to nouns, counters after numbers and, most
// of all, an analysis of one morpheme.
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

constexpr unsigned int CLASS_MASK = 0x0007FFFE;
constexpr unsigned int SUBCLASS_MASK = 0xFFE00000;

constexpr unsigned int CLASS_SN = 0x00000002;
constexpr unsigned int CLASS_S = 0x00000010;
constexpr unsigned int CLASS_XS = 0x00000080;
constexpr unsigned int CLASS_XSN = XSN & CLASS_MASK;
constexpr unsigned int CLASS_E = 0x00000400;
constexpr unsigned int CLASS_J = 0x00000800;
constexpr unsigned int CLASS_VC = 0x00008000;
constexpr unsigned int CLASS_V = 0x00010000;
constexpr unsigned int CLASS_N = 0x00020000;

constexpr float NOUN_WEIGHT = 1.5f;
constexpr float UNIT_NOUN_WEIGHT = 2.0f;
constexpr float NOUN_COUNT_PENALTY = 0.4f;
constexpr float COVERAGE_SCALE = 10.0f;
constexpr float SUFFIX_STEP = 0.3f;
constexpr float NOUN_CHAIN_STEP = 1.2f;
constexpr float PARTICLE_BONUS = 0.25f;
constexpr float VX_DIVISOR = 10.0f;
constexpr float VA_DIVISOR = 5.0f;
constexpr float PARTICLE_DIVISOR = 10.0f;
constexpr float SEO_PENALTY = 1.0f;
constexpr float COPULA_BONUS = 2.5f;
constexpr float NUMBER_NNB_BONUS = 4.0f;
constexpr float NUMBER_XSN_BONUS = 2.0f;
constexpr float NOUN_XSN_BONUS = 2.0f;
constexpr float SINGLE_MORPHEME_BONUS = 15.0f;

// "서", the particle that is more often a verb ending in disguise.
const char SEO[] = "\xEC\x84\x9C";

// Tags are compared without the flag bit, as pos_t compares them.
constexpr unsigned int FLAG_BIT = 0x1;

// strcmp(text, SEO) == 0, byte by byte: the first differing byte ends it,
// so nothing past the text's terminator is read.
bool isSeo(const char* text) {
  return text[0] == SEO[0] && text[1] == SEO[1] && text[2] == SEO[2] &&
         text[3] == '\0';
}

bool inClass(unsigned int tag, unsigned int cls) {
  return (tag & CLASS_MASK) == cls;
}

bool isUnitNoun(unsigned int tag) {
  const unsigned int sub = tag & SUBCLASS_MASK;
  return inClass(tag, CLASS_N) &&
         (sub == (NNU & SUBCLASS_MASK) || sub == (NFU & SUBCLASS_MASK));
}

bool isCountedNoun(unsigned int tag) {
  return inClass(tag, CLASS_N) && tag != NNB;
}

}  // namespace

void ResultImpl::scoring(unsigned long /*results*/, unsigned long longestNoun) {
  const unsigned long n = size();
  if (n == 0) {
    score_ = 0.0f;
    return;
  }

  float coverage = 0.0f;
  float nounCount = 0.0f;
  float suffixMultiplier = 1.0f;
  float nounChain = 0.0f;
  float suffixBonus = 0.0f;
  float predicateLength = 0.0f;
  float copulaBonus = 0.0f;
  float particleLength = 0.0f;
  float counterBonus = 0.0f;
  const float longest = static_cast<float>(longestNoun);

  // Each rule is keyed by the class of the morpheme's tag, so one switch
  // applies them; no accumulator receives more than one term per morpheme,
  // which keeps every sum in the order of the morphemes.
  unsigned int p = 0;       // the previous tag, flag bit cleared
  unsigned int pClass = 0;  // its class
  for (unsigned long k = 0; k < n; ++k) {
    const unsigned int t = m_[k].tag & ~FLAG_BIT;
    const unsigned int tClass = t & CLASS_MASK;
    const unsigned long units = m_[k].end - m_[k].start;
    switch (tClass) {
      case CLASS_N:
        if (t != NNB) {
          // With no noun length at all the share is taken as nothing.
          const float share =
              longestNoun != 0 ? static_cast<float>(units) / longest : 0.0f;
          coverage += share * (isUnitNoun(t) ? UNIT_NOUN_WEIGHT : NOUN_WEIGHT);
          nounCount += 1.0f;
          if (isCountedNoun(p))
            nounChain =
                nounChain == 0.0f ? NOUN_CHAIN_STEP : nounChain * NOUN_CHAIN_STEP;
        } else if (pClass == CLASS_SN || p == NR) {
          counterBonus += NUMBER_NNB_BONUS;
        }
        break;
      case CLASS_J:
        if (pClass != CLASS_E) {
          if (k == n - 1) coverage += PARTICLE_BONUS;
          particleLength += static_cast<float>(units) / PARTICLE_DIVISOR;
          if (isSeo(text_ + m_[k].text)) particleLength -= SEO_PENALTY;
        }
        break;
      case CLASS_S:
        if (pClass == CLASS_J) coverage += PARTICLE_BONUS;
        break;
      case CLASS_V: {
        const float len = static_cast<float>(units);
        if (t == VX)
          predicateLength += len / VX_DIVISOR;
        else if (t == VA)
          predicateLength += len / VA_DIVISOR;
        else
          predicateLength += len;
        break;
      }
      case CLASS_VC:
        if (pClass == CLASS_N) copulaBonus += COPULA_BONUS;
        break;
      case CLASS_XS:
        suffixMultiplier += SUFFIX_STEP;
        break;
      case CLASS_XSN:
        if (t == XSN) {
          if (pClass == CLASS_SN || p == NR) counterBonus += NUMBER_XSN_BONUS;
          if (p == XSN || isCountedNoun(p)) suffixBonus += NOUN_XSN_BONUS;
        }
        break;
      default:
        break;
    }
    p = t;
    pClass = tClass;
  }

  float score =
      (coverage - NOUN_COUNT_PENALTY * nounCount) * COVERAGE_SCALE * suffixMultiplier;
  score += nounChain;
  score += suffixBonus;
  score += predicateLength;
  score += copulaBonus;
  score += particleLength;
  score += counterBonus;
  if (n == 1) score += SINGLE_MORPHEME_BONUS;
  score_ = score;
}

void CandidateImpl::scoring() {
  const unsigned long count = size();
  unsigned long longestNoun = 0;
  for (ResultList::Node* node = results_.head(); node != nullptr;
       node = node->next) {
    const ResultImpl* result = node->element;
    const ResultImpl::Morpheme* m = result->morphemes();
    const unsigned long morphemes = result->size();
    for (unsigned long k = 0; k < morphemes; ++k) {
      const unsigned long len = m[k].end - m[k].start;
      if (inClass(m[k].tag, CLASS_N) && len > longestNoun) longestNoun = len;
    }
  }
  for (ResultList::Node* node = results_.head(); node != nullptr;
       node = node->next)
    node->element->scoring(count, longestNoun);
  results_.sort();
}
