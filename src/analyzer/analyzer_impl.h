// AnalyzerImpl: analyses one word (eojeol) into scored alternative analyses.
//
// process() runs, in order: normalization (lower case, Hangul readings of
// Chinese characters), the lattice of dictionary hits and symbol runs, the
// strict then the relaxed pass of the connection rules, pruning, compound
// noun decomposition, the unknown-word route when nothing survived, scoring
// and sorting, and the single "nf" fallback. At most the first 99 units of a
// word are analysed.
//
// The working memory (100 position lists, a node pool, a record buffer for
// records the analyzer makes up itself) is allocated once and emptied at the
// start and end of every call; released nodes are kept for reuse. One
// analyzer serves one thread at a time.
#ifndef TALMORO_ANALYZER_ANALYZER_IMPL_H_
#define TALMORO_ANALYZER_ANALYZER_IMPL_H_

#include <cstddef>
#include <memory>
#include <vector>

#include "api/talmoro.h"
#include "base/large_block.h"
#include "base/membuf.h"
#include "base/opstack.h"
#include "knowledge/inter_result.h"
#include "knowledge/knowledge_impl.h"

class CandidateImpl;
class ResultImpl;

// Longest word prefix analysed, and the number of position lists.
constexpr unsigned long ANALYZER_MAX_UNITS = 99;
constexpr unsigned long ANALYZER_POSITIONS = 100;
// Results one pass of the lattice search may produce.
constexpr unsigned long ANALYZER_MAX_RESULTS = 100;

// A row of a one-syllable connection table: a word and the words that may
// follow it, both in UTF-8 byte order; the list ends at the first empty entry.
struct WORD_TO_WORD {
  const char* word;
  const char* next[61];
};

class AnalyzerImpl : public Analyzer {
 public:
  AnalyzerImpl();
  explicit AnalyzerImpl(const Knowledge* knowledge);
  AnalyzerImpl(const Knowledge* knowledge, const UserKnowledge* user);
  AnalyzerImpl(const AnalyzerImpl&) = delete;
  AnalyzerImpl& operator=(const AnalyzerImpl&) = delete;

  void setSysKnowledge(const Knowledge* knowledge) override;
  void setUserKnowledge(const UserKnowledge* knowledge) override;
  unsigned long process(const char* text, Candidate* candidate) override;
  void setStrictAnalysis(bool strict) override;
  virtual ~AnalyzerImpl();

  // The same on zero-terminated 16-bit text; the tagger calls it per word.
  unsigned long process(const unsigned short* text, CandidateImpl* candidate);
  void setDefaultOptions();

  // --- Front end ---------------------------------------------------------
  // The first n units of text (fewer at a zero) into out, n + 1 units with
  // zeros after the text: lower-cased, then hanja read.
  void normalize(const unsigned short* text, unsigned long n,
                 unsigned short* out);
  // The tag of a unit that is not a Hangul syllable; 0 for a syllable.
  pos_t getPosType(unsigned short unit);
  // Consecutive Hangul syllables at the start of text.
  unsigned long hanlength(const unsigned short* text);
  // One node per run of non-Hangul units of one tag.
  void searchSymbol(const unsigned short* text, unsigned long n);
  // Releases every node and made-up record of the last analysis.
  void clear();

  // --- Lattice -----------------------------------------------------------
  void searchTrie(const unsigned short* text, unsigned long n);
  void newInterResultForNounIrregular(const membuf* rdata, int recpos,
                                      const unsigned short* text,
                                      unsigned long length,
                                      unsigned long offset,
                                      unsigned short jamo, pos_t tag);
  void sortStack();
  // The orders of a position list: InterResult::compare, compare_for_sn and
  // compare_for_nr, the first node of a tie first.
  enum class ListOrder { GENERAL, AFTER_NUMBER, AFTER_NUMERAL };
  // Sorts one list stably in place; sortStack picks the order of each list.
  static void sortList(OpStack<InterResult*>& list, ListOrder order);
  InterResult* findExistsPOS(unsigned long position, unsigned long length,
                             unsigned int cls, unsigned int sub);
  InterResult* findExistsPOSWithoutLength(unsigned long position,
                                          unsigned int c1, unsigned int s1);
  InterResult* findExistsPOSWithoutLength(unsigned long position,
                                          unsigned int c1, unsigned int s1,
                                          unsigned int c2, unsigned int s2);
  InterResult* findExistsPOSWithoutLength(unsigned long position,
                                          unsigned int c1, unsigned int s1,
                                          unsigned int c2, unsigned int s2,
                                          unsigned int c3, unsigned int s3,
                                          unsigned int c4, unsigned int s4);
  void analysis(unsigned int mode, const unsigned short* text,
                unsigned long n, CandidateImpl* candidate);

  // --- Unknown words -----------------------------------------------------
  void addNF(unsigned long offset, const unsigned short* text,
             unsigned long length);
  void guessNF(const unsigned short* text, unsigned long n);

  // --- Compound nouns ----------------------------------------------------
  void decomposeCompoundNoun(const unsigned short* text, bool unknown,
                             CandidateImpl* candidate);
  void decomposeN_(const unsigned short* text, unsigned long offset,
                   unsigned long length, bool unknown, CandidateImpl* out);

  // --- Pruning -----------------------------------------------------------
  void removeResult(CandidateImpl* candidate);
  // What removeResult keeps from word to word (prune.cpp).
  struct PruneScratch;
  struct PruneScratchDelete {
    void operator()(PruneScratch* scratch) const;
  };
  bool hasMorpheme(const CandidateImpl* c, const ResultImpl* r,
                   unsigned long s, unsigned long e) const;
  bool hasMultiMorpheme(const ResultImpl* r, unsigned long s,
                        unsigned long e) const;
  bool hasWordEnding(const CandidateImpl* c, const ResultImpl* r,
                     unsigned long s, unsigned long e) const;
  bool hasWordNotEnding(const CandidateImpl* c, const ResultImpl* r,
                        unsigned long s, unsigned long e) const;
  bool hasNo_1NNB_1NNP_Result(const CandidateImpl* c, const ResultImpl* r,
                              unsigned long s, unsigned long e) const;
  bool hasNotNFMorpheme(const CandidateImpl* c, const ResultImpl* r,
                        unsigned long s, unsigned long e) const;
  bool hasNounMorpheme(const CandidateImpl* c, const ResultImpl* r,
                       unsigned long s, unsigned long e) const;
  bool hasSN_Nclass(const CandidateImpl* c, const ResultImpl* r,
                    unsigned long s) const;
  bool hasXSV_E(const CandidateImpl* c, const ResultImpl* r,
                unsigned long s, unsigned long e) const;
  bool hasVVorVAorVX(const CandidateImpl* c, const ResultImpl* r,
                     unsigned long s, unsigned long e) const;
  bool hasXSAorXSV(const CandidateImpl* c, const ResultImpl* r,
                   unsigned long s, unsigned long e) const;
  bool hasNRNumerals(const CandidateImpl* c, const ResultImpl* r,
                     unsigned long s, unsigned long e) const;
  bool hasSNNumerals(const CandidateImpl* c, const ResultImpl* r,
                     unsigned long s) const;
  bool hasNounPhrase(const CandidateImpl* c, const ResultImpl* r,
                     unsigned long s, unsigned long e, unsigned long m) const;
  bool can1SyllableJosa(const CandidateImpl* c, const ResultImpl* r,
                        unsigned long s, unsigned long e,
                        const char* text) const;
  static bool can1SyllableConnect(const WORD_TO_WORD* table, const char* w1,
                                  const char* w2);

 private:
  // The dictionaries as searched: the user dictionary through its
  // KnowledgeImpl part.
  const KnowledgeImpl* sysKnowledge() const;
  const KnowledgeImpl* userKnowledge() const;
  // A new node owned by the position list of `offset`, parsed from a
  // record made up in the record buffer at `recpos`.
  InterResult* pushNode(unsigned long offset, unsigned long length,
                        const membuf* rdata, int recpos,
                        const unsigned short* text);
  // Hands a node to the list of `offset`; destroys it and returns false
  // when it cannot be listed there. Inline: every dictionary hit passes
  // here.
  bool adopt(unsigned long offset, InterResult* node) {
    if (offset >= ANALYZER_POSITIONS) {
      delete node;
      return false;
    }
    OpStack<InterResult*>& list = positions_[offset];
    const uint64_t before = list.size();
    list.push(node);
    if (list.size() == before) {  // the list could not grow
      delete node;
      return false;
    }
    if (offset >= usedPositions_) usedPositions_ = offset + 1;
    return true;
  }
  // A node to fill (offset, length, parse): one that an earlier word left
  // behind when there is one, else a new one. Not noun-irregular, no
  // successors.
  InterResult* newNode() {
    InterResult* node = spare_.pop();
    if (node == nullptr) return new InterResult();
    node->nounirregular(false);
    node->child().empty();
    return node;
  }
  // Gives a node back for reuse.
  void releaseNode(InterResult* node);
  // The first node of a list, not a noun-irregular one, that has one of
  // the (class, subclass) pairs; leaves the list's cursor after it.
  InterResult* findWithoutLength(unsigned long position,
                                 const unsigned int* classes,
                                 const unsigned int* subclasses);
  // n cut to the analysed maximum and to the units before text's end.
  unsigned long boundedLength(const unsigned short* text,
                              unsigned long n) const;

  // Readings of dictionary records, checked by (buffer, offset), kept from
  // word to word, since most records come up again in later words. A
  // record's slot follows from the chain it is read in (readingSlot);
  // allocated on first use (none when memory runs out); emptied whenever a
  // dictionary is another one or has changed since it was filled.
  // A cache line each, so that a look-up reads one.
  struct alignas(64) CachedReading {
    const membuf* buf;
    int off;
    InterResult::Reading reading;
  };
  // 2^15 slots fill a huge page (BlockArray), which suits reads at random.
  static constexpr unsigned READING_SLOT_BITS = 15;
  // Makes the reading cache fit the dictionaries as they are now.
  void checkReadings();
  // The slot of the k-th record of the chain that starts at record `first`:
  // the readings of a chain sit in consecutive slots, which memory delivers
  // ahead of the reads as a chain is parsed (with the default dictionary
  // the chains met in prose hold 5.5 records on average; slots at random
  // cost a wait each).
  CachedReading& readingSlot(int first, unsigned k) const {
    const uint32_t hash = static_cast<uint32_t>(first) * 2654435761u;
    const size_t mask = (size_t{1} << READING_SLOT_BITS) - 1;
    return readings_[((hash >> (32 - READING_SLOT_BITS)) + k) & mask];
  }
  // node->parse(buf, off, text, length) for a record of a dictionary, the
  // k-th of the chain that starts at record `first`.
  void parseRecord(InterResult* node, const membuf* buf, int off,
                   const unsigned short* text, size_t length, int first,
                   unsigned k);
  // Starts fetching from memory what parsing the record at offset record
  // of buf reads first: its link and its cached reading.
  void prefetchRecord(const membuf* buf, int record) const;
  // The hits of the dictionary searches of one word, by offset.
  struct TrieHit {
    unsigned long offset;
    const KnowledgeImpl* dictionary;
    int record;
    unsigned long length;
    unsigned char finalConsonant;
  };
  std::vector<TrieHit> trieHits_;
  std::unique_ptr<PruneScratch, PruneScratchDelete> pruneScratch_;
  // The hits of each start, by dictionary (system, user): searchEach's
  // rows of KNOWLEDGE_MAX_HITS, one per position, made at the first search.
  std::unique_ptr<result_pair_type[]> searchHits_[2];
  size_t searchCounts_[2][ANALYZER_POSITIONS];

  const Knowledge* sys_;
  const UserKnowledge* user_;
  BlockArray<CachedReading> readings_;
  const KnowledgeImpl* readingsSys_;
  const KnowledgeImpl* readingsUser_;
  uint64_t readingsSysGeneration_;
  uint64_t readingsUserGeneration_;
  OpStack<InterResult*> positions_[ANALYZER_POSITIONS];
  // One past the last position list that got a node since the last clear():
  // the lists after it are empty, and clear() and sortStack() stop there.
  unsigned long usedPositions_;
  OpStack<InterResult*> pool_;
  // Nodes released by clear(), reused by later words instead of new and
  // delete; owned by the analyzer.
  OpStack<InterResult*> spare_;
  membuf records_;
  bool strict_;
};

// Sort comparisons over a position list's element array (pointers to
// InterResult*), in the qsort signature: InterResult::compare, compare_for_sn
// and compare_for_nr of the first node with the second.
int stack_compare(const void* a, const void* b);
int stack_compare_for_sn(const void* a, const void* b);
int stack_compare_for_nr(const void* a, const void* b);

// The one-syllable tables of the pruning rules, in UTF-8 byte order, each
// ending with a row whose word is empty.
extern const WORD_TO_WORD mm1_nnb1[];
extern const WORD_TO_WORD nnb1_xsn1[];
extern const WORD_TO_WORD nnb1_nnb1[];
// One-syllable particles that may not simply be cut off a morpheme.
extern const char* const disallow_n_josa1[];

#endif  // TALMORO_ANALYZER_ANALYZER_IMPL_H_
