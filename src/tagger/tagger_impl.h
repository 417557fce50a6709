// TaggerImpl: tags a sentence. The text is cut into eojeol at space, tab,
// LF and CR (only those: U+3000 and U+00A0 are not delimiters); each eojeol
// is analysed by the embedded analyzer into a candidate whose offsets are
// then moved to sentence positions; a Viterbi search over the candidates
// picks one result per eojeol, which moves into a new Eojul of the sentence.
//
// Costs are negative natural logarithms of relative frequencies taken from
// the model. A unit u of a morpheme has a lexical key Lex(u) and a tag key
// Tag(u) (model_keys.h); M(x) and E(x) are the counts of x in the morpheme
// and eojeol tables. A ratio N / D is the single-precision quotient, and is
// replaced by 1 / M("BOM") (morpheme table) or 1 / E("BOE") (eojeol table)
// when N or D is 0.
//
//   within an eojeol, over BOM, its morphemes, EOM (p before c):
//     sum of  -ln(M(Lex(p):Lex(c)) / M(Lex(p))) - ln(M(Tag(p):Tag(c)) / M(Tag(p)))
//   from the last morpheme u of the previous eojeol (BOE at the start) to
//   the first morpheme C:
//     -ln(E(Lex(u):Lex(C)) / E(Lex(u))) - 0.5 ln(E(Tag(u):Lex(C)) / E(Tag(u)))
//     - ln(E(Tag(u):Tag(C)) / E(Tag(u)))
//   after the last morpheme Z of the sentence:
//     -ln(E(Lex(Z):EOE) / E(Lex(Z))) - ln(E(Tag(Z):EOE) / E(Tag(Z)))
//
// Each of these terms is evaluated in double precision (the logarithm of
// the single-precision ratio), rounded to single precision and added in
// single precision. A path whose total reaches 10000 is never taken as a
// predecessor; a cell without one gets result 0 and score 100000.
//
// Without a model, or with a model whose "BOM" or "BOE" count is 0, the
// fallback ratio has no meaning: such a tagger runs no search and chooses,
// for every eojeol, the result the analyzer ranked first (result 0).
//
// Each of these costs depends on its units alone, and the analyses and
// within-eojeol costs of a word on the word alone. The tagger therefore
// keeps them in a word memo (word_memo.h) across sentences; the memo is
// reset whenever the dictionaries, the model, their contents (they are
// reloaded) or the strictness change, and once it outgrows its budget.
#ifndef TALMORO_TAGGER_TAGGER_IMPL_H_
#define TALMORO_TAGGER_TAGGER_IMPL_H_

#include <string>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "api/talmoro.h"
#include "result/candidate_impl.h"
#include "result/doubly_linked_list.h"
#include "result/sentence_impl.h"
#include "tagger/model_keys.h"
#include "tagger/model_impl.h"
#include "tagger/tag_node.h"
#include "tagger/word_memo.h"

// The chosen predecessor of a cell and the cell's score.
struct TagChoice {
  unsigned int index;
  float score;
};

// Bytes a tagger's word memo may hold before it is reset.
constexpr size_t TAGGER_MEMO_BUDGET = 32u << 20;

class TaggerImpl : public Tagger {
 public:
  typedef DoublyLinkedList<CandidateImpl*> CandidateList;

  TaggerImpl();
  explicit TaggerImpl(const Model* model);
  TaggerImpl(const Model* model, const Knowledge* knowledge);
  TaggerImpl(const Model* model, const Knowledge* knowledge,
             const UserKnowledge* user);
  TaggerImpl(const TaggerImpl&) = delete;
  TaggerImpl& operator=(const TaggerImpl&) = delete;

  void setModel(const Model* model) override;
  void setSysKnowledge(const Knowledge* knowledge) override;
  void setUserKnowledge(const UserKnowledge* knowledge) override;
  // Tags a UTF-8 sentence; returns the number of eojeol. A text that gives
  // none (only delimiters, or a failed allocation) becomes one eojeol: the
  // whole text as one "nf" morpheme over 0 .. its length in 16-bit units.
  // A null text, an empty or malformed one, or a null sentence gives 0 and
  // an empty sentence. The tagger keeps nothing of the sentence afterwards.
  unsigned long process(const char* text, Sentence* sentence) override;
  void setStrictAnalysis(bool strict) override;
  virtual ~TaggerImpl();

  // Tags zero-terminated 16-bit text into the sentence, both emptied first;
  // returns the number of eojeol, 0 when nothing was tagged. Each eojeol is
  // taken from the word memo, or analysed and memoised; the candidate list
  // stays empty.
  unsigned long process(const unsigned short* text, SentenceImpl* sentence);
  // Destroys every candidate and releases the matrix.
  void clear();
  // Adds base to both offsets of every morpheme of every result.
  void moveBaseOffset(unsigned long base, CandidateImpl* candidate);

  // --- Search ------------------------------------------------------------
  // The class tag of a morpheme tag in model keys (modelClassTag).
  static const char* normalizedPOS(pos_t tag);
  // Fills the within-eojeol cost of every cell (nothing without a usable
  // model). The matrix must have been sized over the candidates.
  void computeMorphemeTransition();
  // The best predecessor of cell (i, j) and the cell's score; with last,
  // the end cost is added. Without a usable model: predecessor 0, score 0.
  TagChoice probability(unsigned long i, unsigned long j, bool last);
  // Runs the search over the candidate list and moves the chosen results
  // into the sentence, in sentence order. 0, or -1 when the matrix cannot
  // be allocated. A candidate without results adds no eojeol.
  int tagging(SentenceImpl* sentence);
  // Writes the candidate lattice to standard output.
  void printCandidates() const;

  // The candidates of the sentence being tagged, owned by the tagger (a
  // candidate appended here is destroyed by clear()).
  CandidateList& candidates() { return candidates_; }
  const TagNode& matrix() const { return node_; }
  const Model* model() const { return model_; }
  // Words the memo holds, and the bytes it may hold before it is reset.
  size_t memoWords() const { return memo_.words(); }
  void setMemoBudget(size_t bytes) { memo_.budget(bytes); }

 private:
  // What the memo's contents were computed with.
  struct MemoSignature {
    const void* sys;
    uint64_t sysGeneration;
    const void* user;
    uint64_t userGeneration;
    const void* model;
    uint64_t modelGeneration;
    bool strict;
    bool operator!=(const MemoSignature& o) const;
  };
  // An eojeol of the sentence being tagged: its memoised analyses and the
  // offset of its first unit in the sentence.
  struct Column {
    const MemoWord* word;
    unsigned long base;
  };

  // The model when it can drive the search; null otherwise.
  const ModelImpl* usableModel() const;
  // probability() with the candidates of columns i - 1 (null for i = 0)
  // and i at hand.
  TagChoice probability(const ModelImpl* model, const CandidateImpl* previous,
                        const CandidateImpl* current, unsigned long i,
                        unsigned long j, bool last);
  // Moves result 0 of every candidate into the sentence.
  void chooseFirstResults(SentenceImpl* sentence);
  // Resets the memo when what it was computed with has changed, or when it
  // is full.
  void refreshMemo();
  // A word of the sentence: where it begins, its length in units and its
  // memo key (over the sentence's units).
  struct Token {
    unsigned long begin;
    unsigned long length;
    WordMemo::Key key;
  };
  // The token's word from the memo, analysed and memoised first when new;
  // a new word's costs wait for resolveCosts.
  const MemoWord* memoWord(const Token& token);
  // Tags the columns into the sentence; 0, or -1 when the matrix or a
  // result cannot be allocated.
  int tagColumns(const ModelImpl* model, SentenceImpl* sentence);
  // A word of `sentence`'s spares filled with the column's word and its
  // analysis `row`, not yet added; null when memory runs out.
  EojulImpl* wordOf(const Column& column, size_t row,
                    SentenceImpl* sentence);
  // The within-eojeol cost of a result, and of the units ids[0 .. k) (the
  // ids of BOM and EOM in bomId_ and eomId_).
  float withinCost(const ModelImpl* model, const ResultImpl* r);
  float withinCost(const ModelImpl* model, const uint32_t* ids, size_t k);
  // The interned ids of the first and the last unit of a result.
  uint32_t firstUnitId(const ResultImpl* r);
  uint32_t lastUnitId(const ResultImpl* r);
  // The search proper over a matrix whose probabilities are set, the rows
  // of each column (rowStart_) and the distinct units each column's rows
  // begin and end with (firsts_, lasts_) with every row's index among them
  // (firstOf_, lastOf_): sets every cell's edge and score and returns the
  // row chosen in the last column. The transitions it looks up must be
  // resolved first (resolveTransitions or resolveCosts).
  unsigned long search(const ModelImpl* model);
  // Those distinct units of each of n columns, from the unit ids of every
  // row (firstIds_, lastIds_); returns the number of transitions.
  size_t distinctColumnUnits(size_t n);
  // Calls f(a, b) for every transition the search of n columns looks up:
  // from each distinct last unit of a column (BOE before the first) to each
  // distinct first unit of the next.
  template <typename F>
  void forEachTransition(size_t n, F&& f);
  // Before the search of n columns: every transition it will look up
  // (count of them), in the order of forEachTransition, into
  // sentenceTransitions_, those new to the memo computed and memoised.
  void resolveTransitions(const ModelImpl* model, size_t n, size_t count);
  // Its two halves: every transition looked up in the memo, those new to it
  // listed in pending_ (with their places in pendingAt_); then, once their
  // costs are in costs_, those memoised and put in place.
  void collectTransitions(size_t n, size_t count);
  void storeTransitions();
  // The same as resolveTransitions, and before it the within-eojeol costs
  // of the rows of the words memoWord made new since newWords_ was cleared,
  // the new steps and the new transitions computed in one batch.
  void resolveCosts(const ModelImpl* model, size_t n, size_t count);
  // Lists every step of the rows of the new words that the memo does not
  // hold yet in pendingSteps_ (each held in the memo by its index there),
  // noting the cost of each step of each row in order (stepCosts_, or its
  // index in newStepCosts_ in stepPending_); false when there were too many
  // new steps to note (the rows' costs are then read from the memo).
  bool collectSteps();
  // The costs of the pending steps, from newStepCosts_, into the memo.
  void storeSteps();
  // Each new word's rows' within-eojeol costs: from the noted steps, or,
  // when they could not all be noted, from the memo.
  void setWithinCosts(const ModelImpl* model, bool noted);

  // The cost terms of the search, each a function of its units alone (by
  // id), so that the memo keeps each one once per distinct pair of units:
  // the step p -> c inside an eojeol, the transition from u (last unit of
  // an eojeol) to c (first unit of the next), and the end cost after z.
  float morphemeStep(const ModelImpl* model, uint32_t p, uint32_t c);
  float eojulTransition(const ModelImpl* model, uint32_t u, uint32_t c);
  // The same for n pairs at once, their table look-ups walked together.
  struct UnitPair {
    uint32_t left;
    uint32_t right;
  };
  void morphemeSteps(const ModelImpl* model, const UnitPair* pairs, size_t n,
                     float* steps);
  void eojulTransitions(const ModelImpl* model, const UnitPair* pairs,
                        size_t n, float* transitions);
  // Their halves, so that walks of both kinds can go together: the pairs'
  // walks added to walks_ and their terms to terms_; then, after the walks,
  // the costs from the terms (from `terms` on).
  struct PairTerms;
  void startSteps(const ModelImpl* model, const UnitPair* pairs, size_t n);
  void finishSteps(const ModelImpl* model, const UnitPair* pairs, size_t n,
                   PairTerms* terms, float* steps);
  void startTransitions(const ModelImpl* model, const UnitPair* pairs,
                        size_t n);
  void finishTransitions(const ModelImpl* model, const UnitPair* pairs,
                         size_t n, PairTerms* terms, float* transitions);
  // A pair count's walk from a left unit's pair state over a right key,
  // added to walks_ (its index returned), and the count it found.
  size_t addWalk(int64_t state, const std::string& right);
  int walkCount(const ModelTrie& table, size_t walk) const;
  // A memoised logarithm of a pair (kind, a, b) into *term: the known value,
  // or a walk from state over right that finds its count; after the walks,
  // a new one's value from that count, memoised.
  struct LogTerm;
  void startLog(WordMemo::LogKind kind, uint32_t a, uint32_t b, int64_t state,
                const std::string& right, LogTerm* term);
  void finishLog(WordMemo::LogKind kind, uint32_t a, uint32_t b,
                 const ModelTrie& table, int count, int fallback,
                 LogTerm* term);
  float endCost(const ModelImpl* model, uint32_t z);
  // The counts of a unit's own keys in the morpheme or the eojeol table,
  // looked up once per unit.
  const UnitCounts& morphemeCounts(const ModelImpl* model, uint32_t u);
  const UnitCounts& eojulCounts(const ModelImpl* model, uint32_t u);
  // The interned id of a unit, and of the unit of morpheme t of a result.
  uint32_t unitId(const ModelUnit& unit);
  uint32_t morphemeUnitId(const ResultImpl* r, int t);
  // The interned id of the unit of a morpheme by tag code and text.
  uint32_t morphemeUnitId(unsigned code, const char* lexicon);

  const Model* model_;
  AnalyzerImpl analyzer_;
  CandidateList candidates_;
  TagNode node_;
  // What the analyzer was given, for the memo's signature.
  const Knowledge* sys_;
  const UserKnowledge* user_;
  bool strict_;
  WordMemo memo_;
  MemoSignature signature_;
  // Storage reused across look-ups and sentences: the keys of a unit being
  // interned, a new word and its analyses, the unit ids of its
  // morphemes.
  UnitKeys left_;
  std::vector<unsigned short> token_;
  std::vector<uint32_t> ids_;
  // The unit ids of the first, then of the last morpheme of each row of a
  // new word.
  std::vector<uint32_t> endIds_;
  uint32_t bomId_ = 0;
  uint32_t eomId_ = 0;
  CandidateImpl scratch_;
  // The words of the sentence new to the memo, each with the offset of its
  // morphemes' unit ids in wordIds_.
  struct NewWord {
    MemoWord* word;
    size_t ids;
  };
  std::vector<NewWord> newWords_;
  std::vector<uint32_t> wordIds_;
  // The sentence being tagged: its columns; per column, the index of its
  // first row among every row; the unit ids of every row (when the columns
  // are candidates rather than memoised words).
  std::vector<Column> columns_;
  std::vector<Token> tokens_;
  std::vector<size_t> rowStart_;
  std::vector<uint32_t> firstIds_;
  std::vector<uint32_t> lastIds_;
  // The distinct first and last units of every column of the sentence,
  // in the memo or, for candidates, in firstUnits_ and lastUnits_; and each
  // row's index among those of its column (by its index among every row).
  struct UnitList {
    const uint32_t* units;
    size_t count;
  };
  std::vector<UnitList> firsts_;
  std::vector<UnitList> lasts_;
  std::vector<uint32_t> firstUnits_;
  std::vector<uint32_t> lastUnits_;
  std::vector<uint32_t> firstOf_;
  std::vector<uint32_t> lastOf_;
  // For each distinct first unit of the right column, the transition from
  // every row of the left one; the scores of the left and the right rows.
  std::vector<float> fromRow_;
  std::vector<float> previousScores_;
  std::vector<float> scores_;
  // The costs being computed together: their unit pairs, the costs, the
  // table walks of their pair counts and, per pair, its terms: a known
  // logarithm or the walk that finds its count.
  struct LogTerm {
    static constexpr size_t KNOWN = ~static_cast<size_t>(0);
    double value = 0.0;
    size_t walk = KNOWN;
  };
  struct PairTerms {
    size_t lexicalWalk = 0;
    LogTerm mixed;
    LogTerm tagged;
  };
  std::vector<UnitPair> sentencePairs_;  // in the order of forEachTransition
  std::vector<UnitPair> pending_;
  std::vector<size_t> pendingAt_;  // where each goes in sentenceTransitions_
  std::vector<float> costs_;
  std::vector<UnitPair> stepPairs_;  // in the order of collectSteps
  std::vector<UnitPair> pendingSteps_;
  std::vector<float> newStepCosts_;
  std::vector<float> stepCosts_;
  std::vector<uint32_t> stepPending_;
  std::vector<float> sentenceTransitions_;
  std::vector<ModelImpl::TableWalk> walks_;
  std::vector<PairTerms> terms_;
};

#endif  // TALMORO_TAGGER_TAGGER_IMPL_H_
