// WordMemo: what tagging needs of each eojeol it has analysed, kept across
// sentences, so that a word met again is neither analysed nor scored again.
//
// A word keeps its analyses as compact records (morphemes with their tags,
// offsets in the word and texts; the score; the within-eojeol cost) and,
// for the search, the ids of the first and the last unit of each analysis.
// Units are interned by their lexical key; the costs between two units and
// after a unit are memoised by id. Everything holds as long as the
// dictionaries, the model and the strictness it was computed with: the
// owner resets the memo when one of them changes. The memo is bounded: the
// owner resets it between sentences once it has grown past its budget, and
// a word that does not fit stays outside the memo for the one sentence. The
// costs between units have a budget of their own (a quarter of it): pairs
// of units are many and most are met once, so they are dropped on their
// own, between sentences, when they outgrow it.
#ifndef TALMORO_TAGGER_WORD_MEMO_H_
#define TALMORO_TAGGER_WORD_MEMO_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "result/candidate_impl.h"
#include "result/result_impl.h"

// The two keys of a unit of the model (model_keys.h).
struct UnitKeys {
  std::string lex;
  std::string tag;
};

// The counts of a unit's own keys in the model's two tables, each pair
// looked up once.
struct UnitCounts {
  bool morpheme = false;  // morphemeLex and morphemeTag are known
  bool eojul = false;     // eojulLex and eojulTag are known
  int morphemeLex = 0;
  int morphemeTag = 0;
  int eojulLex = 0;
  int eojulTag = 0;
};

// Offsets count units of the word, which the analyzer reads no further than
// its first hundred units.
struct MemoMorpheme {
  uint32_t pos;   // tag code as the result holds it, flag bit included
  uint32_t text;  // offset of the zero-terminated text in MemoWord::texts
  uint32_t start;
  uint32_t end;
};

struct MemoRow {
  float score;     // the analyzer's score of the result
  float within;    // the within-eojeol cost of the result
  uint32_t first;  // id of the unit of its first morpheme
  uint32_t last;   // id of the unit of its last morpheme
  uint32_t begin;  // its first morpheme in MemoWord::morphemes
  uint32_t count;  // its number of morphemes
};

// One analysed eojeol: its analyses in the analyzer's order, each vector
// holding exactly what it needs.
struct MemoWord {
  bool hasOrigin = false;
  std::string origin;
  std::vector<MemoRow> rows;
  std::vector<MemoMorpheme> morphemes;
  std::string texts;

  // Copies every result of the candidate; within costs and unit ids are
  // left to the caller (zero). Throws std::bad_alloc, like a failed
  // allocation, for texts or offsets beyond 32 bits.
  void assign(const CandidateImpl& candidate);
  // A new result equal to row j, its offsets moved by base; null when it
  // cannot be allocated.
  ResultImpl* result(size_t j, unsigned long base) const;
  // Bytes held, roughly, for the memo's budget.
  size_t bytes() const;
};

class WordMemo {
 public:
  explicit WordMemo(size_t budget);
  WordMemo(const WordMemo&) = delete;
  WordMemo& operator=(const WordMemo&) = delete;

  // Forgets everything.
  void reset();
  void budget(size_t bytes) { budget_ = bytes; }
  // True once the memo holds more than its budget.
  bool full() const { return bytes_ > budget_; }
  // Drops the memoised costs between units when they hold more than their
  // share of the budget; words and units stay.
  void trimCosts();

  // The word memoised under key, or null.
  const MemoWord* find(const std::string& key) const;
  // Memoises word under key and returns it; when the memo is full the word
  // is kept aside until reset() or releaseAside() instead.
  const MemoWord* insert(const std::string& key,
                         std::unique_ptr<MemoWord> word);
  // Drops the words kept aside.
  void releaseAside() { aside_.clear(); }

  // The id of the unit with these keys, interned when new.
  uint32_t unitId(const UnitKeys& keys);
  // The id of a pseudo unit ("BOM", "EOM", "BOE", "EOE": its name is both
  // of its keys), by the address of its name constant.
  uint32_t pseudoId(const char* name);
  const UnitKeys& unit(uint32_t id) const { return units_[id]; }

  UnitCounts& counts(uint32_t id) { return counts_[id]; }

  // The memoised cost slots, NaN until the owner stores a cost: from the
  // last unit a of an eojeol to the first unit b of the next one; after the
  // last unit z of a sentence; of the step from unit p to unit c within an
  // eojeol.
  float& transition(uint32_t a, uint32_t b);
  float& endCost(uint32_t z);
  float& step(uint32_t p, uint32_t c);

  size_t words() const { return words_.size(); }

 private:
  size_t budget_;
  size_t bytes_;       // words and units
  size_t costBytes_;   // steps and transitions
  std::unordered_map<std::string, std::unique_ptr<MemoWord>> words_;
  std::vector<std::unique_ptr<MemoWord>> aside_;
  std::unordered_map<std::string, uint32_t> unitIds_;
  std::vector<UnitKeys> units_;
  std::vector<UnitCounts> counts_;
  struct Pseudo {
    const char* name;
    uint32_t id;
  };
  std::vector<Pseudo> pseudo_;
  std::vector<float> endCosts_;
  std::unordered_map<uint64_t, float> transitions_;
  std::unordered_map<uint64_t, float> steps_;
};

#endif  // TALMORO_TAGGER_WORD_MEMO_H_
