// Scoring of analyses: a weighted sum of heuristic terms, computed in single
// precision, that favours few nouns covering much of the word, particles,
// copulas and suffixes attached to nouns, counters after numbers and, most
// of all, an analysis of one morpheme.
#include <cstring>

#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

constexpr unsigned int CLASS_MASK = 0x0007FFFE;
constexpr unsigned int SUBCLASS_MASK = 0xFFE00000;

constexpr unsigned int CLASS_SN = 0x00000002;
constexpr unsigned int CLASS_S = 0x00000010;
constexpr unsigned int CLASS_XS = 0x00000080;
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

  for (unsigned long k = 0; k < n; ++k) {
    const int i = static_cast<int>(k);
    const unsigned int t = m_[k].tag & ~FLAG_BIT;
    const unsigned int p = k > 0 ? m_[k - 1].tag & ~FLAG_BIT : 0u;
    const float len = static_cast<float>(m_[k].end - m_[k].start);

    if (isCountedNoun(t)) {
      // With no noun length at all the share is taken as nothing.
      const float share = longestNoun != 0 ? len / longest : 0.0f;
      coverage += share * (isUnitNoun(t) ? UNIT_NOUN_WEIGHT : NOUN_WEIGHT);
      nounCount += 1.0f;
    }
    if (k == n - 1 && inClass(t, CLASS_J) && !inClass(p, CLASS_E))
      coverage += PARTICLE_BONUS;
    if (k > 0 && inClass(t, CLASS_S) && inClass(p, CLASS_J))
      coverage += PARTICLE_BONUS;
    if (inClass(t, CLASS_V)) {
      if (t == VX)
        predicateLength += len / VX_DIVISOR;
      else if (t == VA)
        predicateLength += len / VA_DIVISOR;
      else
        predicateLength += len;
    }
    if (inClass(t, CLASS_J) && !inClass(p, CLASS_E)) {
      particleLength += len / PARTICLE_DIVISOR;
      if (std::strcmp(lexicon(i), SEO) == 0) particleLength -= SEO_PENALTY;
    }
    if (inClass(p, CLASS_N) && inClass(t, CLASS_VC)) copulaBonus += COPULA_BONUS;
    if (inClass(t, CLASS_XS)) suffixMultiplier += SUFFIX_STEP;
    if (isCountedNoun(p) && isCountedNoun(t))
      nounChain = nounChain == 0.0f ? NOUN_CHAIN_STEP : nounChain * NOUN_CHAIN_STEP;
    if (k > 0 && (inClass(p, CLASS_SN) || p == NR)) {
      if (t == NNB)
        counterBonus += NUMBER_NNB_BONUS;
      else if (t == XSN)
        counterBonus += NUMBER_XSN_BONUS;
    }
    if (t == XSN && (p == XSN || isCountedNoun(p))) suffixBonus += NOUN_XSN_BONUS;
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
