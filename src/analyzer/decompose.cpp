// Compound-noun decomposition: a morpheme longer than 12 units (a long
// unknown noun or a long dictionary entry) is split into dictionary nouns,
// noun affixes, bound nouns and, where nothing fits, new unknown nouns.
// Splitting reads only the nodes of the lattice built for the same word.
#include "analyzer/analyzer_impl.h"

#include <vector>

#include "analyzer/nf_record.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

// Morphemes longer than this are split.
constexpr unsigned long kLongMorpheme = 12;

// Level-1 class values (the tag shifted right by one) and level-3 masks.
constexpr unsigned int kClassNoun = 0x10000;  // n_
constexpr unsigned int kClassXsn = 0x80;      // xsn
constexpr unsigned int kClassXpn = 0x100;     // xpn
constexpr unsigned int kSubNng = 1, kSubNfg = 2, kSubNnc = 4, kSubNnx = 8,
                       kSubNnu = 16, kSubNfu = 32, kSubNnp = 64, kSubNr = 128,
                       kSubNp = 256, kSubNnb = 512;
// Nouns that may make up a compound: the common, unit and proper nouns,
// with numerals for the parts and pronouns for a gap.
constexpr unsigned int kCompoundParts = kSubNng | kSubNfg | kSubNnc |
                                        kSubNnx | kSubNnu | kSubNfu | kSubNnp;
constexpr unsigned int kLongNouns = kCompoundParts | kSubNr;
constexpr unsigned int kGapNouns = kCompoundParts | kSubNp;

constexpr unsigned long kNone = static_cast<unsigned long>(-1);

// Appends every morpheme of `from` to `to`, offsets and tags unchanged.
void copyMorphemes(const ResultImpl* from, ResultImpl* to) {
  for (unsigned long m = 0; m < from->size(); ++m) {
    const int i = static_cast<int>(m);
    to->append(reinterpret_cast<const unsigned char*>(from->lexicon(i)),
               from->pos(i), from->startOffset(i), from->endOffset(i));
  }
}

void copyMorpheme(const ResultImpl* from, int i, ResultImpl* to) {
  to->append(reinterpret_cast<const unsigned char*>(from->lexicon(i)),
             from->pos(i), from->startOffset(i), from->endOffset(i));
}

bool isLong(const ResultImpl* r, int i) {
  const unsigned long start = r->startOffset(i);
  const unsigned long end = r->endOffset(i);
  return end > start && end - start > kLongMorpheme;
}

// True when some morpheme of `r` is longer than kLongMorpheme.
bool hasLongMorpheme(const ResultImpl* r) {
  const ResultImpl::Morpheme* m = r->morphemes();
  for (unsigned long k = 0; k < r->size(); ++k)
    if (m[k].end > m[k].start && m[k].end - m[k].start > kLongMorpheme)
      return true;
  return false;
}

}  // namespace

void AnalyzerImpl::decomposeN_(const unsigned short* text,
                               unsigned long offset, unsigned long length,
                               bool /*unknown*/, CandidateImpl* out) {
  if (text == nullptr || out == nullptr || length == 0) return;
  // A stretch always lies inside the analysed prefix of the word.
  if (offset >= ANALYZER_MAX_UNITS || length > ANALYZER_MAX_UNITS - offset)
    return;

  // Look-ups outside the position lists find nothing.
  auto find = [this, offset](unsigned long rel, unsigned long len,
                             unsigned int cls,
                             unsigned int sub) -> InterResult* {
    const unsigned long at = offset + rel;
    if (at >= ANALYZER_POSITIONS) return nullptr;
    return findExistsPOS(at, len, cls, sub);
  };

  // A new unknown noun over `len` units at `units`, built as guessing builds
  // its nodes but owned by the node pool: it belongs to no position list.
  auto newUnknown = [this](unsigned long at, const unsigned short* units,
                           unsigned long len) -> InterResult* {
    const int recpos = appendNFRecord(records_, units, len);
    if (recpos < 0) return nullptr;
    InterResult* node = newNode();
    node->offset(at);
    node->length(nfRecordUnits(len));
    node->parse(&records_, recpos, units, len);
    const uint64_t before = pool_.size();
    pool_.push(node);
    if (pool_.size() == before) {  // the pool could not grow
      delete node;
      return nullptr;
    }
    return node;
  };

  // Nodes are pushed right to left; the stack reads them left to right.
  OpStack<InterResult*> stack;
  stack.backward(true);

  unsigned long resume = kNone;
  unsigned long firstStart = 0;  // where the first search at the end begins
  bool again = true;
  while (again) {
    again = false;
    unsigned long e = length;
    unsigned long gapStart = kNone;
    unsigned long gapEnd = kNone;

    while (true) {
      // The longest noun of two units or more that ends at e.
      InterResult* noun = nullptr;
      unsigned long s = e == length ? firstStart : 0;
      if (e == length) firstStart = 0;
      for (; s + 1 < e; ++s) {
        noun = find(s, e - s, kClassNoun, kLongNouns);
        if (noun != nullptr) break;
      }
      // A later final noun may give a second split without gaps.
      if (noun != nullptr && e == length && out->size() == 0) resume = s + 1;

      bool reachedStart = false;
      if (noun == nullptr) {
        // The unit before e joins the pending gap.
        if (gapEnd == kNone) gapEnd = e - 1;
        gapStart = e - 1;
        if (e - 1 > 0) {
          --e;
          continue;
        }
        reachedStart = true;
      }

      if (gapEnd != kNone) {
        const unsigned long a = gapStart;
        const unsigned long g = gapEnd + 1 - a;
        InterResult* fill = nullptr;
        // A suffix never starts the stretch, a prefix never ends it.
        if (a > 0) fill = find(a, g, kClassXsn, 0);
        if (fill == nullptr && gapEnd + 1 < length)
          fill = find(a, g, kClassXpn, 0);
        if (fill == nullptr) fill = find(a, g, kClassNoun, kSubNnb);
        if (fill == nullptr) fill = find(a, g, kClassNoun, kGapNouns);
        // Only the first split may fill gaps: a later one is given up.
        if (out->size() != 0) break;
        if (fill == nullptr) {
          fill = newUnknown(offset + a, text + a, g);
          if (fill == nullptr) break;
        }
        stack.push(fill);
        gapStart = gapEnd = kNone;
      }

      if (noun != nullptr) stack.push(noun);

      if (reachedStart || s == 0) {
        ResultImpl* result = new ResultImpl();
        result->set(sys_, stack);
        out->append(result);
        break;
      }
      e = s;
    }

    stack.empty();
    if (resume != kNone) {
      firstStart = resume;
      resume = kNone;
      again = true;
    }
  }
}

void AnalyzerImpl::decomposeCompoundNoun(const unsigned short* text,
                                         bool unknown,
                                         CandidateImpl* candidate) {
  if (text == nullptr || candidate == nullptr) return;

  // Results appended here are not visited; a replaced result gives its
  // place to the next one. The list is walked node by node, the next node
  // taken before the visited result may be removed.
  const unsigned long present = candidate->size();
  CandidateImpl::ResultList::Node* node = candidate->results().head();
  for (unsigned long visited = 0; visited < present && node != nullptr;
       ++visited) {
    ResultImpl* r = node->element;
    node = node->next;
    // Most results have no long morpheme: they stay as they are.
    if (!hasLongMorpheme(r)) continue;

    std::vector<ResultImpl*> replacements;
    bool hadLong = false;
    for (unsigned long m = 0; m < r->size(); ++m) {
      const int i = static_cast<int>(m);
      if (!isLong(r, i)) {
        // Before the first long morpheme it is part of the prefix, copied
        // when the replacements are made.
        for (ResultImpl* rep : replacements) copyMorpheme(r, i, rep);
        continue;
      }

      const unsigned long start = r->startOffset(i);
      const unsigned long len = r->endOffset(i) - start;
      CandidateImpl alternatives;
      decomposeN_(text + start, start, len, unknown, &alternatives);
      if (alternatives.size() == 0) {
        // Nothing to split with: the morpheme stays as it is.
        ResultImpl* same = new ResultImpl();
        copyMorpheme(r, i, same);
        alternatives.append(same);
      }
      const unsigned long count = alternatives.size();

      if (!hadLong) {
        for (unsigned long a = 0; a < count; ++a) {
          ResultImpl* rep = new ResultImpl();
          for (int p = 0; p < i; ++p) copyMorpheme(r, p, rep);
          copyMorphemes(alternatives.at(a), rep);
          candidate->append(rep);
          replacements.push_back(rep);
        }
        hadLong = true;
        continue;
      }

      // One block of replacements per alternative, the existing block
      // first, so that the last long morpheme varies slowest.
      const size_t block = replacements.size();
      for (unsigned long a = 1; a < count; ++a) {
        for (size_t b = 0; b < block; ++b) {
          ResultImpl* copy = new ResultImpl();
          copyMorphemes(replacements[b], copy);
          candidate->append(copy);
          replacements.push_back(copy);
        }
      }
      for (unsigned long a = 0; a < count; ++a) {
        for (size_t b = 0; b < block; ++b)
          copyMorphemes(alternatives.at(a), replacements[a * block + b]);
      }
    }

    if (hadLong) candidate->remove(r, true);
  }
}
