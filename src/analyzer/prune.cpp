// Candidate pruning: removes implausible analyses of a word.
//
// Every rule looks for a suspicious local pattern in one result (a short
// bound noun glued to nouns, a particle cut out of a noun, a number read as
// a noun, a copula read out of the text, ...) and, in most rules, removes
// the result only when another result of the same candidate reads the same
// stretch of text in a more plausible way. The other results are examined
// through the read-only predicates below. Because removed results no longer
// count as other results, the visiting order of each stage matters.
//
// The predicates read every other result for every morpheme they test, so
// removeResult first lists the results with their morpheme records (a
// CandidateView) and runs all rules over that; removals go through the view
// to keep it in step with the candidate. Tags are read without their flag
// bit, with feature bits looked up once per morpheme for the tests of tag
// lists and classes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "analyzer/prune_tables.h"
#include "base/revision.h"
#include "pos/pos.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

typedef CandidateImpl::ResultList::Node ResultNode;

// A tag code with the flag bit cleared, so that == compares it the way
// Tag does.
typedef unsigned int Tag;
constexpr unsigned int FLAG_BIT = 0x1;

// The level-1 class field of a tag, and the classes the rules name.
constexpr unsigned int LEVEL1_MASK = 0x0007FFFE;
constexpr unsigned int CLASS_SN = SN & LEVEL1_MASK;
constexpr unsigned int CLASS_SH = SH & LEVEL1_MASK;
constexpr unsigned int CLASS_SL = SL & LEVEL1_MASK;
constexpr unsigned int CLASS_S = SF & LEVEL1_MASK;    // "s_"
constexpr unsigned int CLASS_XS = XSV & LEVEL1_MASK;  // "xsv", "xsa"
constexpr unsigned int CLASS_E = EC & LEVEL1_MASK;    // "e_"
constexpr unsigned int CLASS_J = JKS & LEVEL1_MASK;   // "j_"
constexpr unsigned int CLASS_IC = IC & LEVEL1_MASK;
constexpr unsigned int CLASS_MA = MAG & LEVEL1_MASK;
constexpr unsigned int CLASS_MM = MM & LEVEL1_MASK;
constexpr unsigned int CLASS_VC = VCP & LEVEL1_MASK;
constexpr unsigned int CLASS_V = VV & LEVEL1_MASK;  // "v_"

// --- Tag features ------------------------------------------------------------
//
// The rules test tags against many small lists of tags and classes. Each
// morpheme's tag is looked up once, when the view is made, into a word of
// feature bits: one bit per tag the rules name and one per class they name,
// so that a test of a list is one AND.

constexpr unsigned int NAMED_TAGS[] = {NNG, NFG, NF,  NNP, NNU, NFU, NNB,
                                       NP,  NR,  MM,  XSN, XPN, XSA, XSV,
                                       VV,  VA,  VX,  VCP, SN,  ETN};
constexpr unsigned int NAMED_CLASSES[] = {
    CLASS_S, CLASS_SL, CLASS_SH, CLASS_SN, CLASS_XS, CLASS_E,
    CLASS_J, CLASS_IC, CLASS_MA, CLASS_MM, CLASS_VC, CLASS_V};
constexpr int TAG_BITS = sizeof(NAMED_TAGS) / sizeof(NAMED_TAGS[0]);
static_assert(TAG_BITS + sizeof(NAMED_CLASSES) / sizeof(NAMED_CLASSES[0]) <= 32,
              "the features fit one word");

// The bit of a named tag (0 for another tag), of a named class.
constexpr uint32_t tagBit(unsigned int tag) {
  for (int i = 0; i < TAG_BITS; ++i)
    if (NAMED_TAGS[i] == tag) return uint32_t{1} << i;
  return 0;
}
constexpr uint32_t classBit(unsigned int cls) {
  int i = 0;
  for (unsigned int named : NAMED_CLASSES) {
    if (named == cls) return uint32_t{1} << (TAG_BITS + i);
    ++i;
  }
  return 0;
}

// The features of a tag (flag bit cleared): its own bit if named, and the
// bit of its class if named. A class test compares the whole class field,
// so a tag is of class C exactly when its class field is C.
constexpr uint32_t featuresOf(unsigned int tag) {
  return tagBit(tag) | classBit(tag & LEVEL1_MASK);
}

// Every tag code there is, looked up by a perfect hash: the multiplier
// gives each a slot of its own among 128 (checked below). A tag outside the
// set (no dictionary makes one) has its features computed.
constexpr unsigned int ALL_TAGS[] = {
    SN,  SH,  SL,  SF,  SP,  SS,  SE,  SO,  SW,  XR,  XSB, XSV, XSA,
    XSN, XPN, EP,  EF,  EC,  ETM, ETN, J_,  JKS, JKC, JKG, JKO, JKB,
    JKV, JKQ, JX,  JC,  IC,  MAG, MAJ, MM,  VCP, VCN, VV,  VA,  VX,
    VF,  NNG, NFG, NNC, NNX, NNU, NFU, NNP, NR,  NP,  NNB, NF,  NA};
constexpr uint32_t TAG_HASH = 0xb65ce113u;
constexpr unsigned int tagSlot(unsigned int tag) {
  return static_cast<uint32_t>(tag * TAG_HASH) >> 25;
}

struct TagSlot {
  unsigned int tag;  // 0 in an empty slot, whose features are 0 as well
  uint32_t features;
};
struct TagTable {
  TagSlot slots[128];
};
constexpr TagTable makeTagTable() {
  TagTable table{};
  for (unsigned int tag : ALL_TAGS)
    table.slots[tagSlot(tag)] = TagSlot{tag, featuresOf(tag)};
  return table;
}
constexpr TagTable TAG_TABLE = makeTagTable();
constexpr bool everyTagInItsSlot() {
  for (unsigned int tag : ALL_TAGS)
    if (TAG_TABLE.slots[tagSlot(tag)].tag != tag) return false;
  return true;
}
static_assert(everyTagInItsSlot(), "the tag hash has no collision");

uint32_t features(Tag tag) {
  const TagSlot& slot = TAG_TABLE.slots[tagSlot(tag)];
  return slot.tag == tag ? slot.features : featuresOf(tag);
}

// A morpheme's tag with its features. Compared with a tag code, it compares
// the code.
struct TagInfo {
  Tag tag;
  uint32_t f;
  bool operator==(unsigned int other) const { return tag == other; }
  bool operator!=(unsigned int other) const { return tag != other; }
};
constexpr TagInfo NO_TAG = {POS_ZERO, 0};

// True when the level-1 class of `tag` is `Class`; other fields are ignored.
template <unsigned int Class>
inline bool isClass(const TagInfo& tag) {
  static_assert(classBit(Class) != 0, "a named class");
  return (tag.f & classBit(Class)) != 0;
}

// True when `tag` equals one of `Tags`.
template <unsigned int... Tags>
inline bool isOneOf(const TagInfo& tag) {
  static_assert(((tagBit(Tags) != 0) && ...), "named tags");
  constexpr uint32_t mask = (tagBit(Tags) | ...);
  return (tag.f & mask) != 0;
}

// The reduced rule set (base/revision.h) also counts the unit nouns "nnu"
// and "nfu" in every noun list of stage 2, rules 1 to 5.
inline bool reducedUnitNoun(const TagInfo& tag) {
  return revision::REDUCED_PRUNING && isOneOf<NNU, NFU>(tag);
}

// The two noun sets of the rules; N4 serves rules 1 to 3 only.
inline bool inN4(const TagInfo& tag) {
  return isOneOf<NNG, NFG, NF, NNP>(tag) || reducedUnitNoun(tag);
}
inline bool inN5(const TagInfo& tag) {
  return isOneOf<NNG, NFG, NNU, NFU, NNP>(tag);
}

// Common nouns, known or guessed, general or unit.
inline bool isCommonNoun(const TagInfo& tag) {
  return isOneOf<NNG, NFG, NNU, NFU>(tag);
}

// strcmp(a, b) == 0 without the call: the texts compared are a few bytes.
inline bool sameText(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b)
    if (*a == '\0') return true;
  return false;
}

// --- Flat views ------------------------------------------------------------

// A result's morpheme records, with the read accessors of ResultImpl, and
// the features of their tags. The result itself is also used for identity
// and for removal.
class ResultView {
 public:
  // `features` holds one word per morpheme; without it (null) the view
  // serves for the result's identity and offsets only.
  ResultView(const ResultImpl* result, ResultNode* node,
             const uint32_t* features = nullptr)
      : result_(result),
        node_(node),
        m_(result != nullptr ? result->morphemes() : nullptr),
        f_(features),
        n_(result != nullptr ? static_cast<int>(result->size()) : 0) {}

  const ResultImpl* result() const { return result_; }
  ResultNode* node() const { return node_; }
  unsigned long size() const { return static_cast<unsigned long>(n_); }
  TagInfo pos(int i) const { return TagInfo{m_[i].tag & ~FLAG_BIT, f_[i]}; }
  unsigned long startOffset(int i) const { return m_[i].start; }
  unsigned long endOffset(int i) const { return m_[i].end; }
  unsigned long length(int i) const { return m_[i].end - m_[i].start; }
  const char* lexicon(int i) const { return result_->lexicon(i); }

 private:
  const ResultImpl* result_;
  ResultNode* node_;
  const ResultImpl::Morpheme* m_;
  const uint32_t* f_;
  int n_;
};

// Tags that some questions need in another result, so that a candidate
// without any of them answers those questions at once. Tested on a
// morpheme's features or on the union of many.
enum TagGroup { XSA_OR_XSV, XSV_ONLY, VV_VA_OR_VX, ADVERB, TAG_GROUPS };

bool inGroup(const TagInfo& tag, TagGroup group) {
  switch (group) {
    case XSA_OR_XSV:
      return isOneOf<XSA, XSV>(tag);
    case XSV_ONLY:
      return isOneOf<XSV>(tag);
    case VV_VA_OR_VX:
      return isOneOf<VV, VA, VX>(tag);
    case ADVERB:
      return isClass<CLASS_MA>(tag);
    default:  // TAG_GROUPS counts the groups; it is not one
      return true;
  }
}

// A short morpheme that may sit inside a noun phrase.
bool isNounPhrasePart(const TagInfo& tag, unsigned long len) {
  if (len == 1) return isOneOf<NNB, XPN, XSN>(tag);
  return len > 1 && isOneOf<NNG, NFG, NNU, NFU, NF, NNB, XPN, XSN>(tag);
}

// The walk of a noun phrase: it begins at a real noun of two or more
// units, goes on over the morphemes that may continue it, and a particle
// or a verb suffix closes it.
bool beginsNounPhrase(const TagInfo& tag, unsigned long len) {
  return len >= 2 && isOneOf<NNG, NFG, NNU, NFU, NF, NNP, NNB>(tag);
}
bool continuesNounPhrase(const TagInfo& tag, unsigned long len) {
  return isNounPhrasePart(tag, len) || isClass<CLASS_XS>(tag) ||
         (len == 1 && isClass<CLASS_J>(tag));
}
bool closesNounPhrase(const TagInfo& tag) {
  return isClass<CLASS_J>(tag) || isClass<CLASS_XS>(tag);
}

// Kinds of morphemes that the questions below look for over a stretch.
enum StretchKind {
  ANY_MORPHEME,
  WORD_ENDING,   // copula, particle or ending
  COMMON_NOUN,   // isCommonNoun
  XSA_XSV,       // xsa or xsv
  VV_VA_VX,      // vv, va or vx
  NNB_AFTER_NR,  // nnb right after nr
  XSV_THEN_E,    // xsv over [s, x) and an ending over [x, e) right after it
  NOUN_PHRASE,   // a run of morphemes that isNounPhrase may accept
  STRETCH_KINDS
};

// A set of offsets below STRETCH_LIMIT.
class OffsetSet {
 public:
  void clear() { bits_[0] = bits_[1] = 0; }
  void add(unsigned long v) { bits_[v >> 6] |= uint64_t{1} << (v & 63); }
  bool has(unsigned long v) const { return (bits_[v >> 6] >> (v & 63)) & 1; }

 private:
  uint64_t bits_[2];
};
constexpr unsigned long STRETCH_LIMIT = 128;

// Which stretches [s, e) the morphemes of a candidate's results cover, by
// kind. The questions over other results scan every morpheme of every other
// result; one whose stretch no morpheme of its kind covers is answered no at
// once. A kind is indexed when first asked for, over the results then in
// the view, the asking one included; later removals leave it as it is. So a
// stretch the index holds only sends the question on to the scan, and the
// answers stay those of the scan.
class StretchIndex {
 public:
  // Makes the index empty for results whose offsets lie below `limit`. A
  // limit beyond STRETCH_LIMIT (never met: words are shorter) makes every
  // stretch possible.
  void reset(unsigned long limit) {
    overflow_ = limit > STRETCH_LIMIT;
    limit_ = overflow_ ? 0 : limit;
    for (bool& built : built_) built = false;
  }

  // False only when no morpheme (run) of `kind` in `results` covers [s, e).
  bool mayCover(StretchKind kind, unsigned long s, unsigned long e,
                const std::vector<ResultView>& results) const {
    if (overflow_) return true;
    if (s >= limit_ || e >= STRETCH_LIMIT) return false;
    if (!built_[kind]) build(kind, results);
    return rows_[kind][s].has(e);
  }

 private:
  // The features one of which a morpheme needs to count for `kind`, for
  // the kinds that look at one morpheme's tag alone; 0 for the others.
  static uint32_t kindFeatures(StretchKind kind) {
    switch (kind) {
      case WORD_ENDING:
        return classBit(CLASS_VC) | classBit(CLASS_J) | classBit(CLASS_E);
      case COMMON_NOUN:
        return tagBit(NNG) | tagBit(NFG) | tagBit(NNU) | tagBit(NFU);
      case XSA_XSV:
        return tagBit(XSA) | tagBit(XSV);
      case VV_VA_VX:
        return tagBit(VV) | tagBit(VA) | tagBit(VX);
      default:
        return 0;
    }
  }

  void build(StretchKind kind, const std::vector<ResultView>& results) const {
    built_[kind] = true;
    OffsetSet* rows = rows_[kind];
    for (unsigned long s = 0; s < limit_; ++s) rows[s].clear();
    // The kinds of one tag test: one loop each, on the features.
    if (const uint32_t want = kindFeatures(kind)) {
      for (const ResultView& r : results) {
        const int n = static_cast<int>(r.size());
        for (int i = 0; i < n; ++i)
          if (r.pos(i).f & want) rows[r.startOffset(i)].add(r.endOffset(i));
      }
      return;
    }
    for (const ResultView& r : results) {
      const int n = static_cast<int>(r.size());
      for (int i = 0; i < n; ++i) {
        const unsigned long s = r.startOffset(i);
        const TagInfo tag = r.pos(i);
        switch (kind) {
          case ANY_MORPHEME:
            rows[s].add(r.endOffset(i));
            break;
          case WORD_ENDING:
            if (isClass<CLASS_VC>(tag) || isClass<CLASS_J>(tag) ||
                isClass<CLASS_E>(tag))
              rows[s].add(r.endOffset(i));
            break;
          case COMMON_NOUN:
            if (isCommonNoun(tag)) rows[s].add(r.endOffset(i));
            break;
          case XSA_XSV:
            if (isOneOf<XSA, XSV>(tag)) rows[s].add(r.endOffset(i));
            break;
          case VV_VA_VX:
            if (isOneOf<VV, VA, VX>(tag)) rows[s].add(r.endOffset(i));
            break;
          case NNB_AFTER_NR:
            if (i >= 1 && tag == NNB && r.pos(i - 1) == NR)
              rows[s].add(r.endOffset(i));
            break;
          case XSV_THEN_E:
            if (i + 1 < n && tag == XSV && isClass<CLASS_E>(r.pos(i + 1)))
              rows[s].add(r.endOffset(i + 1));
            break;
          case NOUN_PHRASE:
            markNounPhrases(r, i, rows[s]);
            break;
          default:  // STRETCH_KINDS counts the kinds; it is not one
            break;
        }
      }
    }
  }

  // Every end of the walk of isNounPhrase from morpheme k, up to where the
  // walk stops whatever end is asked for: more than every end it accepts.
  static void markNounPhrases(const ResultView& r, int k, OffsetSet& ends) {
    if (!beginsNounPhrase(r.pos(k), r.length(k))) return;
    const int n = static_cast<int>(r.size());
    for (int i = k; i < n; ++i) {
      const TagInfo tag = r.pos(i);
      if (!continuesNounPhrase(tag, r.length(i))) return;
      ends.add(r.endOffset(i));
      if (closesNounPhrase(tag)) return;
    }
  }

  bool overflow_ = false;
  unsigned long limit_ = 0;
  mutable bool built_[STRETCH_KINDS] = {};
  mutable OffsetSet rows_[STRETCH_KINDS][STRETCH_LIMIT];
};

}  // namespace

// The lists of a CandidateView, kept by the analyzer so that the pruning
// of a word does not allocate them anew.
struct AnalyzerImpl::PruneScratch {
  std::vector<ResultView> results;
  std::vector<uint32_t> features;
};

void AnalyzerImpl::PruneScratchDelete::operator()(PruneScratch* scratch) const {
  delete scratch;
}

namespace {

// The results of a candidate in list order. The results must not change
// while the view is in use, except by remove.
class CandidateView {
 public:
  explicit CandidateView(const CandidateImpl* c)
      : results_(ownResults_), features_(ownFeatures_) {
    view(c);
  }
  // A view in storage that `scratch` keeps from word to word.
  CandidateView(const CandidateImpl* c, AnalyzerImpl::PruneScratch* scratch);
  CandidateView(const CandidateView&) = delete;
  CandidateView& operator=(const CandidateView&) = delete;

  unsigned long size() const { return results_.size(); }
  const ResultView& operator[](unsigned long i) const { return results_[i]; }
  std::vector<ResultView>::const_iterator begin() const {
    return results_.begin();
  }
  std::vector<ResultView>::const_iterator end() const { return results_.end(); }

  // Unlinks the result at `i` from `c` (the candidate the view was made
  // of), hands it back to `c` for reuse and drops it from the view; later
  // results move down by one.
  void remove(CandidateImpl* c, unsigned long i) {
    const ResultView& v = results_[i];
    ResultImpl* result = v.node()->element;
    c->results().unlink(v.node());
    c->recycle(result);
    results_.erase(results_.begin() + static_cast<long>(i));
  }

  // False only when no morpheme of the results in the view has a tag of
  // `group`, from the features of every morpheme there was; later removals
  // can only make a false answer truer.
  bool mayHave(TagGroup group) const {
    return inGroup(TagInfo{POS_ZERO, all_}, group);
  }

  // False only when no morpheme (run) of `kind` covers [s, e) in any result
  // of the view (see StretchIndex).
  bool mayCover(StretchKind kind, unsigned long s, unsigned long e) const {
    return stretches_.mayCover(kind, s, e, results_);
  }

 private:
  // Lists the results of c and their morphemes' features.
  void view(const CandidateImpl* c) {
    results_.clear();
    const CandidateImpl::ResultList& list = c->results();
    results_.reserve(list.size());
    unsigned long morphemes = 0;
    for (ResultNode* node = list.head(); node != nullptr; node = node->next)
      morphemes += node->element->size();
    features_.resize(morphemes);
    unsigned long limit = 0;  // past every offset
    uint32_t* f = features_.data();
    for (ResultNode* node = list.head(); node != nullptr; node = node->next) {
      const ResultImpl* result = node->element;
      const ResultImpl::Morpheme* m = result->morphemes();
      const unsigned long n = result->size();
      for (unsigned long i = 0; i < n; ++i) {
        if (m[i].start >= limit) limit = m[i].start + 1;
        if (m[i].end >= limit) limit = m[i].end + 1;
        f[i] = features(m[i].tag & ~FLAG_BIT);
        all_ |= f[i];
      }
      results_.emplace_back(result, node, f);
      f += n;
    }
    stretches_.reset(limit);
  }

  std::vector<ResultView> ownResults_;
  std::vector<uint32_t> ownFeatures_;
  std::vector<ResultView>& results_;
  std::vector<uint32_t>& features_;  // of every morpheme, result by result
  uint32_t all_ = 0;                // the union of them
  StretchIndex stretches_;
};

CandidateView::CandidateView(const CandidateImpl* c,
                             AnalyzerImpl::PruneScratch* scratch)
    : results_(scratch->results), features_(scratch->features) {
  view(c);
}

// --- Predicates over views ---------------------------------------------------

namespace flat {

// The first morpheme of `r` that starts at `s`, or -1 (the scan stops at
// the first morpheme starting after `s`).
int firstAt(const ResultView& r, unsigned long s) {
  const int n = static_cast<int>(r.size());
  for (int i = 0; i < n; ++i) {
    const unsigned long start = r.startOffset(i);
    if (start > s) break;
    if (start == s) return i;
  }
  return -1;
}

// A run of consecutive morphemes of `r` from its first morpheme starting at
// `s` to the first one, from there on, that ends at `e`, none of which
// `bad` rejects. The run is abandoned when a morpheme ends beyond `e`.
template <typename Bad>
bool hasCleanRun(const ResultView& r, unsigned long s, unsigned long e,
                 Bad bad) {
  const int k = firstAt(r, s);
  if (k < 0) return false;
  const int n = static_cast<int>(r.size());
  for (int i = k; i < n; ++i) {
    const unsigned long end = r.endOffset(i);
    if (end > e) return false;
    if (bad(r, i)) return false;
    if (end == e) return true;
  }
  return false;
}

// A noun phrase of `r` over [s, e) that begins with a real noun of two or
// more units.
bool isNounPhrase(const ResultView& r, unsigned long s, unsigned long e) {
  const int k = firstAt(r, s);
  if (k < 0) return false;
  if (!beginsNounPhrase(r.pos(k), r.length(k))) return false;
  const int n = static_cast<int>(r.size());
  for (int i = k; i < n; ++i) {
    const TagInfo tag = r.pos(i);
    if (!continuesNounPhrase(tag, r.length(i))) return false;
    const unsigned long end = r.endOffset(i);
    if (end == e) return true;
    if (end > e) return false;
    if (closesNounPhrase(tag)) return false;
  }
  return false;
}

// Calls `test(result)` on every result of `c` other than `self` in list
// order and returns true at the first result for which it holds. The
// predicates below never read the morphemes of `self`.
template <typename Test>
bool anyOther(const CandidateView& c, const ResultView& self, Test test) {
  for (const ResultView& other : c) {
    if (other.result() == self.result()) continue;
    if (test(other)) return true;
  }
  return false;
}

// Calls `test(result, i)` on every morpheme i of every other result that
// starts at `s` and ends at `e`; true at the first one for which it holds.
template <typename Test>
bool anyOtherMorpheme(const CandidateView& c, const ResultView& self,
                      unsigned long s, unsigned long e, Test test) {
  return anyOther(c, self, [&](const ResultView& other) {
    const int n = static_cast<int>(other.size());
    for (int i = 0; i < n; ++i) {
      const unsigned long start = other.startOffset(i);
      if (start > s) break;
      if (start == s && other.endOffset(i) == e && test(other, i)) return true;
    }
    return false;
  });
}

bool hasMorpheme(const CandidateView& c, const ResultView& self,
                 unsigned long s, unsigned long e) {
  if (!c.mayCover(ANY_MORPHEME, s, e)) return false;
  return anyOtherMorpheme(c, self, s, e,
                          [](const ResultView&, int) { return true; });
}

bool hasMultiMorpheme(const ResultView& r, unsigned long s, unsigned long e) {
  const int k = firstAt(r, s);
  if (k < 0) return false;
  const int n = static_cast<int>(r.size());
  for (int i = k + 1; i < n; ++i) {
    const unsigned long end = r.endOffset(i);
    if (end == e) return true;
    if (end > e) return false;
  }
  return false;
}

bool hasWordEnding(const CandidateView& c, const ResultView& self,
                   unsigned long s, unsigned long e) {
  if (!c.mayCover(WORD_ENDING, s, e)) return false;
  return anyOtherMorpheme(c, self, s, e, [](const ResultView& o, int i) {
    const TagInfo tag = o.pos(i);
    return isClass<CLASS_VC>(tag) || isClass<CLASS_J>(tag) ||
           isClass<CLASS_E>(tag);
  });
}

bool hasWordNotEnding(const CandidateView& c, const ResultView& self,
                      unsigned long s, unsigned long e) {
  return !hasWordEnding(c, self, s, e);
}

bool hasNo_1NNB_1NNP_Result(const CandidateView& c, const ResultView& self,
                            unsigned long s, unsigned long e) {
  return anyOther(c, self, [&](const ResultView& other) {
    return hasCleanRun(other, s, e, [](const ResultView& o, int i) {
      return o.length(i) == 1 && isOneOf<NNB, NNP>(o.pos(i));
    });
  });
}

bool hasNotNFMorpheme(const CandidateView& c, const ResultView& self,
                      unsigned long s, unsigned long e) {
  return anyOther(c, self, [&](const ResultView& other) {
    return hasCleanRun(
        other, s, e, [](const ResultView& o, int i) { return o.pos(i) == NF; });
  });
}

bool hasNounMorpheme(const CandidateView& c, const ResultView& self,
                     unsigned long s, unsigned long e) {
  // Only the first morpheme over [s, e) found in the other results counts.
  if (!c.mayCover(COMMON_NOUN, s, e)) return false;
  bool found = false;
  bool noun = false;
  anyOtherMorpheme(c, self, s, e, [&](const ResultView& o, int i) {
    found = true;
    noun = isCommonNoun(o.pos(i));
    return true;
  });
  return found && noun;
}

bool hasSN_Nclass(const CandidateView& c, const ResultView& self,
                  unsigned long s) {
  return anyOther(c, self, [&](const ResultView& other) {
    const int k = firstAt(other, s);
    return k >= 0 && isOneOf<NNG, NFG, NNU, NFU, NNB, NR, XSN>(other.pos(k));
  });
}

bool hasXSV_E(const CandidateView& c, const ResultView& self, unsigned long s,
              unsigned long e) {
  if (!c.mayHave(XSV_ONLY)) return false;
  if (!c.mayCover(XSV_THEN_E, s, e)) return false;
  return anyOther(c, self, [&](const ResultView& other) {
    const int n = static_cast<int>(other.size());
    for (int k = 0; k + 1 < n; ++k) {
      if (other.startOffset(k) > s) break;
      if (other.startOffset(k) == s && other.endOffset(k + 1) == e)
        return other.pos(k) == XSV && isClass<CLASS_E>(other.pos(k + 1));
    }
    return false;
  });
}

bool hasVVorVAorVX(const CandidateView& c, const ResultView& self,
                   unsigned long s, unsigned long e) {
  if (!c.mayHave(VV_VA_OR_VX)) return false;
  if (!c.mayCover(VV_VA_VX, s, e)) return false;
  return anyOtherMorpheme(c, self, s, e, [](const ResultView& o, int i) {
    return isOneOf<VV, VA, VX>(o.pos(i));
  });
}

bool hasXSAorXSV(const CandidateView& c, const ResultView& self,
                 unsigned long s, unsigned long e) {
  if (!c.mayHave(XSA_OR_XSV)) return false;
  if (!c.mayCover(XSA_XSV, s, e)) return false;
  return anyOtherMorpheme(c, self, s, e, [](const ResultView& o, int i) {
    return isOneOf<XSA, XSV>(o.pos(i));
  });
}

bool hasNRNumerals(const CandidateView& c, const ResultView& self,
                   unsigned long s, unsigned long e) {
  if (!c.mayCover(NNB_AFTER_NR, s, e)) return false;
  return anyOtherMorpheme(c, self, s, e, [](const ResultView& o, int i) {
    return i >= 1 && o.pos(i) == NNB && o.pos(i - 1) == NR;
  });
}

bool hasSNNumerals(const CandidateView& c, const ResultView& self,
                   unsigned long s) {
  return anyOther(c, self, [&](const ResultView& other) {
    const int n = static_cast<int>(other.size());
    for (int k = 1; k < n; ++k) {
      if (other.startOffset(k) > s) break;
      if (other.startOffset(k) == s && isOneOf<NR, NNB, XSN>(other.pos(k)) &&
          other.pos(k - 1) == SN)
        return true;
    }
    return false;
  });
}

bool hasNounPhrase(const CandidateView& c, const ResultView& self,
                   unsigned long s, unsigned long e, unsigned long m) {
  if (m != 0 && (e < s || m > e - s)) return false;
  if (!c.mayCover(NOUN_PHRASE, s, e)) return false;
  return anyOther(c, self, [&](const ResultView& other) {
    return isNounPhrase(other, s, e);
  });
}

bool can1SyllableJosa(const CandidateView& c, const ResultView& self,
                      unsigned long s, unsigned long e, const char* text) {
  bool disallowed = false;
  for (const char* const* d = disallow_n_josa1; **d != '\0'; ++d)
    if (sameText(*d, text)) disallowed = true;
  if (!disallowed) return true;
  if (e - s == 2) return false;
  return !hasMorpheme(c, self, s, e);
}

}  // namespace flat

// A view of `r` for its identity only, as the predicates need it.
ResultView skipped(const ResultImpl* r) { return ResultView(r, nullptr); }

}  // namespace

// --- Predicates ------------------------------------------------------------
//
// Each reads the candidate into a view and asks the predicate of the same
// name over it; removeResult makes one view for all its questions.

bool AnalyzerImpl::hasMorpheme(const CandidateImpl* c, const ResultImpl* r,
                               unsigned long s, unsigned long e) const {
  return flat::hasMorpheme(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasMultiMorpheme(const ResultImpl* r, unsigned long s,
                                    unsigned long e) const {
  return flat::hasMultiMorpheme(ResultView(r, nullptr), s, e);
}

bool AnalyzerImpl::hasWordEnding(const CandidateImpl* c, const ResultImpl* r,
                                 unsigned long s, unsigned long e) const {
  return flat::hasWordEnding(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasWordNotEnding(const CandidateImpl* c, const ResultImpl* r,
                                    unsigned long s, unsigned long e) const {
  return flat::hasWordNotEnding(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasNo_1NNB_1NNP_Result(const CandidateImpl* c,
                                          const ResultImpl* r, unsigned long s,
                                          unsigned long e) const {
  return flat::hasNo_1NNB_1NNP_Result(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasNotNFMorpheme(const CandidateImpl* c, const ResultImpl* r,
                                    unsigned long s, unsigned long e) const {
  return flat::hasNotNFMorpheme(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasNounMorpheme(const CandidateImpl* c, const ResultImpl* r,
                                   unsigned long s, unsigned long e) const {
  return flat::hasNounMorpheme(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasSN_Nclass(const CandidateImpl* c, const ResultImpl* r,
                                unsigned long s) const {
  return flat::hasSN_Nclass(CandidateView(c), skipped(r), s);
}

bool AnalyzerImpl::hasXSV_E(const CandidateImpl* c, const ResultImpl* r,
                            unsigned long s, unsigned long e) const {
  return flat::hasXSV_E(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasVVorVAorVX(const CandidateImpl* c, const ResultImpl* r,
                                 unsigned long s, unsigned long e) const {
  return flat::hasVVorVAorVX(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasXSAorXSV(const CandidateImpl* c, const ResultImpl* r,
                               unsigned long s, unsigned long e) const {
  return flat::hasXSAorXSV(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasNRNumerals(const CandidateImpl* c, const ResultImpl* r,
                                 unsigned long s, unsigned long e) const {
  return flat::hasNRNumerals(CandidateView(c), skipped(r), s, e);
}

bool AnalyzerImpl::hasSNNumerals(const CandidateImpl* c, const ResultImpl* r,
                                 unsigned long s) const {
  return flat::hasSNNumerals(CandidateView(c), skipped(r), s);
}

bool AnalyzerImpl::hasNounPhrase(const CandidateImpl* c, const ResultImpl* r,
                                 unsigned long s, unsigned long e,
                                 unsigned long m) const {
  return flat::hasNounPhrase(CandidateView(c), skipped(r), s, e, m);
}

bool AnalyzerImpl::can1SyllableJosa(const CandidateImpl* c, const ResultImpl* r,
                                    unsigned long s, unsigned long e,
                                    const char* text) const {
  return flat::can1SyllableJosa(CandidateView(c), skipped(r), s, e, text);
}

bool AnalyzerImpl::can1SyllableConnect(const WORD_TO_WORD* table,
                                       const char* w1, const char* w2) {
  for (const WORD_TO_WORD* row = table; row->word[0] != '\0'; ++row) {
    const int order = std::strcmp(row->word, w1);
    if (order < 0) continue;
    if (order > 0) return false;
    for (const char* const* next = row->next;
         *next != nullptr && (*next)[0] != '\0'; ++next) {
      const int cmp = std::strcmp(*next, w2);
      if (cmp == 0) return true;
      if (cmp > 0) return false;
    }
    return false;
  }
  return false;
}

// --- Rules -----------------------------------------------------------------

namespace {
namespace flat {

// Stage 1: one-syllable bound or proper nouns after nouns. True when the
// result is to be removed.
bool stage1Removes(const CandidateView& c, const ResultView& r) {
  const int n = static_cast<int>(r.size());
  for (int j = 0; j < n; ++j) {
    const TagInfo cur = r.pos(j);
    if (r.length(j) != 1 || !isOneOf<NNB, NNP>(cur)) continue;
    // Rule 1: after two nouns.
    if (j >= 2 && inN5(r.pos(j - 1)) && inN5(r.pos(j - 2)) &&
        hasNo_1NNB_1NNP_Result(c, r, r.startOffset(j - 2), r.endOffset(j)))
      return true;
    // Rule 2: after one noun.
    if (j >= 1 && inN5(r.pos(j - 1)) &&
        hasNounMorpheme(c, r, r.startOffset(j - 1), r.endOffset(j)))
      return true;
  }
  return false;
}

// Stage 2, rule 1: the other reading of the longer stretch, a noun phrase
// or (except in the reduced rule set) a predicate.
bool readsLonger(const CandidateView& c, const ResultView& r, unsigned long s,
                 unsigned long e, unsigned long m) {
  if (hasNounPhrase(c, r, s, e, m)) return true;
  if constexpr (revision::REDUCED_PRUNING) return false;
  return hasVVorVAorVX(c, r, s, e);
}

// Stage 2, rule 1: a short noun that another result reads as part of a
// longer noun phrase or verb.
bool shortNounInsideLonger(const CandidateView& c, const ResultView& r, int j) {
  const int n = static_cast<int>(r.size());
  const TagInfo cur = r.pos(j);
  const unsigned long sj = r.startOffset(j);
  const unsigned long ej = r.endOffset(j);
  // Forward over the noun-like morphemes that follow.
  const unsigned long mForward = (cur == MM) ? 3 : 0;
  for (int k = j + 1; k < n; ++k) {
    const TagInfo f = r.pos(k);
    if (!(inN4(f) || isOneOf<XPN, XSN>(f) ||
          (f == NNB && r.pos(k - 1) != NR)))
      break;
    if (readsLonger(c, r, sj, r.endOffset(k), mForward)) return true;
  }
  // Backward over the noun-like morphemes that precede.
  for (int k = j - 1; k >= 0; --k) {
    const TagInfo b = r.pos(k);
    if (!(isOneOf<NNG, NFG, NF, NNP, NNB, XSN, MM>(b) || reducedUnitNoun(b) ||
          (b == NR && cur == NNG)))
      break;
    const unsigned long mBackward = (b == MM) ? 3 : 0;
    if (readsLonger(c, r, r.startOffset(k), ej, mBackward)) return true;
  }
  return false;
}

// Stage 2, rule 12 a: a morpheme other than a symbol, Latin, Chinese or
// number run lies before the symbol at j-1.
bool wordCharacterBefore(const ResultView& r, int j) {
  for (int k = j - 2; k >= 0; --k) {
    const TagInfo t = r.pos(k);
    if (!isClass<CLASS_S>(t) && !isClass<CLASS_SL>(t) &&
        !isClass<CLASS_SH>(t) && !isClass<CLASS_SN>(t))
      return true;
  }
  return false;
}

// Stage 2: false when no rule of stage 2 can hold at a morpheme tagged
// `cur`, `len` units long, after one tagged `prev` (NO_TAG at the first):
// each rule needs one of these tags, classes or lengths, so most endings
// and long morphemes skip the rules at once.
inline bool stage2MayHold(const TagInfo& prev, const TagInfo& cur,
                          unsigned long len) {
  // Rules 4, 5, 11 and 12 (after a number, numeral or symbol).
  constexpr uint32_t prevAny = tagBit(NR) | classBit(CLASS_SN) | classBit(CLASS_S);
  // Rules 9, 10, 13 and 14, at any length.
  constexpr uint32_t curAny =
      tagBit(XSN) | tagBit(XSA) | tagBit(XSV) | tagBit(VCP) | tagBit(NF);
  // Rules 1, 6, 7, 8 and 15, one unit long.
  constexpr uint32_t curOne = tagBit(NNG) | tagBit(NFG) | tagBit(NF) |
                              tagBit(NNP) | tagBit(NP) | tagBit(MM) |
                              tagBit(NNB) | tagBit(XSN) | tagBit(NR) |
                              tagBit(NNU) | tagBit(NFU) | classBit(CLASS_J);
  if ((prev.f & prevAny) || (cur.f & curAny)) return true;
  if (len == 1) return (cur.f & curOne) != 0;
  return len == 2 && inN4(cur);  // rules 2 and 3
}

// Stage 2: local patterns, tried in order on every morpheme. True when the
// result is to be removed. The reduced rule set has no rules 10, 14 and 15,
// and narrower rules 1, 7, 8 and 13.
bool stage2Removes(const CandidateView& c, const ResultView& r) {
  const int n = static_cast<int>(r.size());
  for (int j = 0; j < n; ++j) {
    const TagInfo p = (j > 0) ? r.pos(j - 1) : NO_TAG;
    const TagInfo cur = r.pos(j);
    const unsigned long len = r.length(j);
    if (!stage2MayHold(p, cur, len)) continue;
    const TagInfo next = (j + 1 < n) ? r.pos(j + 1) : NO_TAG;
    const unsigned long lenPrev = (j > 0) ? r.length(j - 1) : 0;
    const unsigned long sj = r.startOffset(j);
    const unsigned long ej = r.endOffset(j);
    const unsigned long sPrev = (j > 0) ? r.startOffset(j - 1) : 0;

    // Rule 1: short noun inside a longer noun.
    if (len == 1 &&
        (isOneOf<NNG, NFG, NF, NNP, NP, MM>(cur) || reducedUnitNoun(cur) ||
         (p != SN && p != NR && isOneOf<NNB, XSN>(cur) && inN4(next)) ||
         (cur == NR && (j == 0 || p != SN))) &&
        shortNounInsideLonger(c, r, j))
      return true;

    if (len == 2 && inN4(cur)) {
      // Rule 2: two-syllable noun that is really a suffixed verb.
      if (hasXSV_E(c, r, sj, ej)) return true;
      // Rule 3: two two-syllable nouns that are one word.
      if (j >= 1 && lenPrev == 2 && inN4(p) && hasMorpheme(c, r, sPrev, ej))
        return true;
    }

    // Rule 4: number followed by a noun-like piece.
    if (j >= 1 && p == SN &&
        (cur == MM ||
         (len == 1 && (isOneOf<NNG, NFG>(cur) || reducedUnitNoun(cur)))) &&
        next != POS_ZERO && next != SN && !isClass<CLASS_S>(next) &&
        hasSNNumerals(c, r, sj))
      return true;

    // Rule 5: numeral followed by a noun.
    if (j >= 1 && p == NR &&
        (isOneOf<NNG, NFG, NF, NR, XSN, MM>(cur) || reducedUnitNoun(cur)) &&
        hasNRNumerals(c, r, sj, ej))
      return true;

    // Rule 6: one-syllable pairs not listed as connectable (the look-up of
    // can1SyllableConnect, by binary search in the sorted tables).
    if (j >= 1 && lenPrev == 1 && len == 1) {
      const char* w1 = r.lexicon(j - 1);
      const char* text = r.lexicon(j);
      if (p == MM && cur == NNB &&
          !oneSyllableConnects(MM1_NNB1, w1, text))
        return true;
      if (p == NNB && cur == XSN &&
          !oneSyllableConnects(NNB1_XSN1, w1, text))
        return true;
      if (p == NNB && cur == NNB &&
          !oneSyllableConnects(NNB1_NNB1, w1, text))
        return true;
    }

    // Rule 7: one-syllable particle; the reduced rule set tests it after a
    // symbol too.
    if (j >= 1 && len == 1 &&
        (revision::REDUCED_PRUNING || !isClass<CLASS_S>(p)) &&
        isClass<CLASS_J>(cur) &&
        !can1SyllableJosa(c, r, sPrev, ej, r.lexicon(j)))
      return true;

    // Rule 8: one-syllable noun that is really a suffix; the reduced rule
    // set leaves guessed nouns alone.
    const bool suffixLike = revision::REDUCED_PRUNING
                                ? isOneOf<NNG, NNB, XSN>(cur)
                                : isOneOf<NNG, NFG, NNB, XSN>(cur);
    if (len == 1 && suffixLike && hasXSAorXSV(c, r, sj, ej)) return true;

    // Rule 9: noun suffix after a nominalised one-syllable verb.
    if (j >= 2 && cur == XSN && p == ETN && r.length(j - 2) == 1 &&
        isClass<CLASS_V>(r.pos(j - 2)))
      return true;

    // Rule 10: suffix after a one-syllable noun (not in the reduced set).
    if (!revision::REDUCED_PRUNING && j >= 1 && isOneOf<XSA, XSV>(cur) &&
        lenPrev == 1 && isOneOf<NNG, NFG>(p) && hasMorpheme(c, r, sPrev, ej))
      return true;

    // Rule 11: interjection or verb after a symbol or number.
    if (j >= 1 && (isClass<CLASS_S>(p) || isClass<CLASS_SN>(p)) &&
        (isClass<CLASS_IC>(cur) || isClass<CLASS_V>(cur)) &&
        hasSN_Nclass(c, r, sj))
      return true;

    // Rule 12: word pieces after a symbol.
    const bool freeWord = isOneOf<NP, NR>(cur) || isClass<CLASS_IC>(cur) ||
                          isClass<CLASS_MM>(cur) || isClass<CLASS_MA>(cur);
    if (j >= 1 && isClass<CLASS_S>(p) &&
        (freeWord || isClass<CLASS_J>(cur) || isClass<CLASS_E>(cur) ||
         isClass<CLASS_VC>(cur)) &&
        c.size() > 1) {
      if (wordCharacterBefore(r, j)) {
        if (freeWord && hasWordEnding(c, r, sj, ej)) return true;
      } else if (hasWordNotEnding(c, r, sj, ej)) {
        return true;
      }
    }

    // Rule 13: copula read out of the text; the reduced rule set tries only
    // the stretch from the unit before it.
    if (j >= 1 && j + 1 < n && cur == VCP && sj == r.startOffset(j + 1)) {
      const char* after = r.lexicon(j + 1);
      if (!sameText(after, "ㄴ") && !sameText(after, "ㅁ") &&
          !sameText(after, "ㄹ") &&
          ((sj >= 1 && hasMorpheme(c, r, sj - 1, ej)) ||
           (!revision::REDUCED_PRUNING && hasMorpheme(c, r, sPrev, ej))))
        return true;
    }

    // The reduced rule set ends here.
    if constexpr (revision::REDUCED_PRUNING) continue;

    // Rule 14: unknown noun.
    if (cur == NF &&
        (hasNotNFMorpheme(c, r, sj, ej) ||
         (j >= 1 && hasNotNFMorpheme(c, r, sPrev, ej)) ||
         (j + 1 < n && hasNotNFMorpheme(c, r, sj, r.endOffset(j + 1)))))
      return true;

    // Rule 15: particle "서" after a noun.
    if (j >= 1 && len == 1 && isClass<CLASS_J>(cur) &&
        sameText(r.lexicon(j), "서") && hasNounPhrase(c, r, sPrev, ej, 0))
      return true;
  }
  return false;
}

}  // namespace flat
}  // namespace

void AnalyzerImpl::removeResult(CandidateImpl* candidate) {
  // The reduced rule set has stage 2 alone.
  constexpr bool allStages = !revision::REDUCED_PRUNING;
  // Every result read once; removals go through the view, which keeps the
  // candidate's list order.
  if (!pruneScratch_) pruneScratch_.reset(new PruneScratch);
  CandidateView view(candidate, pruneScratch_.get());

  // Stage 1, first to last; after a removal the next result takes the
  // same index.
  if constexpr (allStages) {
    for (unsigned long i = 0; i < view.size();) {
      if (flat::stage1Removes(view, view[i]))
        view.remove(candidate, i);
      else
        ++i;
    }
  }

  // Stage 2, last to first: a removal leaves the indexes still to be
  // visited in place.
  for (unsigned long i = view.size(); i-- > 0;) {
    if (flat::stage2Removes(view, view[i])) view.remove(candidate, i);
  }

  // Stage 3: an adverb over a stretch removes every other result that
  // splits the same stretch into several morphemes.
  if constexpr (!allStages) return;
  if (!view.mayHave(ADVERB)) return;  // no result has an adverb
  for (unsigned long i = 0; i < view.size(); ++i) {
    // A copy: removals move the views after a removed one.
    const ResultView visited = view[i];
    const int n = static_cast<int>(visited.size());
    for (int k = 0; k < n; ++k) {
      if (!isClass<CLASS_MA>(visited.pos(k))) continue;
      const unsigned long s = visited.startOffset(k);
      const unsigned long e = visited.endOffset(k);
      for (unsigned long x = 0; x < view.size();) {
        const ResultView& other = view[x];
        if (other.result() != visited.result() &&
            flat::hasMultiMorpheme(other, s, e)) {
          view.remove(candidate, x);
          if (x < i) --i;  // the visited result moved down by one
        } else {
          ++x;
        }
      }
    }
  }
}
