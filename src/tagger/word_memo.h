// WordMemo: what tagging needs of each eojeol it has analysed, kept across
// sentences, so that a word met again is neither analysed nor scored again.
//
// A word keeps its analyses as compact records (morphemes as a piece, a tag
// and text shared by every word, and offsets in the word; the score; the
// within-eojeol cost) and, for the search, the distinct units its analyses
// begin and end with.
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

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/large_block.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

// The two keys of a unit of the model (model_keys.h).
struct UnitKeys {
  std::string lex;
  std::string tag;
};

// The counts of a unit's own keys in the model's two tables, each pair
// looked up once, and the table states (ModelImpl::tableWalk) after each
// key and the pair separator, from which the pairs the unit begins are
// looked up without writing their keys.
struct UnitCounts {
  bool morpheme = false;  // the morpheme* fields are known
  bool eojul = false;     // the eojul* fields are known
  int morphemeLex = 0;
  int morphemeTag = 0;
  int eojulLex = 0;
  int eojulTag = 0;
  int64_t morphemeLexPair = 0;
  int64_t morphemeTagPair = 0;
  int64_t eojulLexPair = 0;
  int64_t eojulTagPair = 0;
};

// Starts fetching from memory the slots a look-up starting at `at` (a
// homeAddress) reads first: its home and the cache line after, where probes
// often end. An integer: the line after may lie past the array's end, which a
// prefetch may touch but a pointer may not point to. The empty statement
// that reads the address keeps loops whose only work is prefetching: the
// compiler dropped them when each element chose between two tables.
inline void prefetchSlots(uintptr_t at) {
  if (at == 0) return;
  __builtin_prefetch(reinterpret_cast<const void*>(at));
  __builtin_prefetch(reinterpret_cast<const void*>(at + 64));
  asm volatile("" : : "r"(at));
}

// Memoised values by an integer key of KeyWords 32-bit words (1: keys below
// 2^32, 2: keys of 64 bits): open addressing with linear probing in one
// flat array whose slots hold the key beside its value, so that a look-up
// reads one cache line; a fraction of the size of a node-based map. A new
// slot holds NaN. No key may have all bits of one of its words set (that
// marks a free slot).
template <typename Value, int KeyWords = 2>
class SlotTable {
  static_assert(KeyWords == 1 || KeyWords == 2, "keys of one or two words");

 public:
  SlotTable() = default;
  SlotTable(const SlotTable&) = delete;
  SlotTable& operator=(const SlotTable&) = delete;

  // The slot of key (NaN when new); valid until the next insertion.
  Value& slot(uint64_t key) {
    // Grown to keep at most four fifths of the slots in use.
    if (5 * (size_ + 1) > 4 * slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    const Slot wanted = slotOf(key);
    size_t i = home(key, mask);
#if defined(__SSE2__)
    // Four slots of one-word keys and 32-bit values tested at once: the
    // probe goes straight to the first that holds the key or is free, so
    // that how far it goes costs no branch (the data would mispredict it).
    if constexpr (KeyWords == 1 && sizeof(Slot) == 8) {
      if (i + 4 <= slots_.size())
        i = (i + firstKeyOrFree(&slots_[i], wanted.key[0])) & mask;
    }
#endif
    for (;; i = (i + 1) & mask) {
      Slot& s = slots_[i];
      if (sameKey(s, wanted)) return s.value;
      if (isFree(s)) break;
    }
    Slot& s = slots_[i];
    s = wanted;
    ++size_;
    return s.value;
  }
  // The address of the slot where slot(key) starts probing, as an integer
  // (0 while the table is empty), for prefetchSlots.
  uintptr_t homeAddress(uint64_t key) const {
    if (slots_.empty()) return 0;
    return reinterpret_cast<uintptr_t>(slots_.data()) +
           home(key, slots_.size() - 1) * sizeof(Slot);
  }
  // Starts fetching from memory the slots slot(key) reads first.
  void prefetch(uint64_t key) const { prefetchSlots(homeAddress(key)); }
  void clear() {
    BlockArray<Slot>().swap(slots_);
    size_ = 0;
  }
  size_t size() const { return size_; }
  // Bytes held by the array.
  size_t bytes() const { return slots_.bytes(); }

 private:
  static constexpr uint32_t FREE = ~static_cast<uint32_t>(0);
  // The key in 32-bit words, the high one first: the slot of a float takes
  // 8 or 12 bytes.
  struct Slot {
    uint32_t key[KeyWords];
    Value value;
  };

  static Value unknown() { return std::numeric_limits<Value>::quiet_NaN(); }
#if defined(__SSE2__)
  // Of the four 8-byte slots from s, the first whose key is `key` or FREE;
  // 4 when none is.
  static size_t firstKeyOrFree(const Slot* s, uint32_t key) {
    const __m128 low = _mm_loadu_ps(reinterpret_cast<const float*>(s));
    const __m128 high = _mm_loadu_ps(reinterpret_cast<const float*>(s + 2));
    const __m128i keys = _mm_castps_si128(
        _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i found = _mm_or_si128(
        _mm_cmpeq_epi32(keys, _mm_set1_epi32(static_cast<int>(key))),
        _mm_cmpeq_epi32(keys, _mm_set1_epi32(static_cast<int>(FREE))));
    const int bits = _mm_movemask_ps(_mm_castsi128_ps(found)) | 0x10;
    return static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(bits)));
  }
#endif
  static size_t home(uint64_t key, size_t mask) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
  }
  static Slot slotOf(uint64_t key) {
    Slot s;
    if constexpr (KeyWords == 1) {
      s.key[0] = static_cast<uint32_t>(key);
    } else {
      s.key[0] = static_cast<uint32_t>(key >> 32);
      s.key[1] = static_cast<uint32_t>(key);
    }
    s.value = unknown();
    return s;
  }
  static uint64_t keyOf(const Slot& s) {
    if constexpr (KeyWords == 1) {
      return s.key[0];
    } else {
      return (static_cast<uint64_t>(s.key[0]) << 32) | s.key[1];
    }
  }
  static bool sameKey(const Slot& a, const Slot& b) {
    for (int w = 0; w < KeyWords; ++w)
      if (a.key[w] != b.key[w]) return false;
    return true;
  }
  static bool isFree(const Slot& s) {
    for (int w = 0; w < KeyWords; ++w)
      if (s.key[w] != FREE) return false;
    return true;
  }
  void grow() {
    Slot free;
    for (int w = 0; w < KeyWords; ++w) free.key[w] = FREE;
    free.value = unknown();
    BlockArray<Slot> slots(std::max<size_t>(1024, 2 * slots_.size()), free);
    const size_t mask = slots.size() - 1;
    for (const Slot& s : slots_) {
      if (isFree(s)) continue;
      size_t i = home(keyOf(s), mask);
      while (!isFree(slots[i])) i = (i + 1) & mask;
      slots[i] = s;
    }
    slots_.swap(slots);
  }

  BlockArray<Slot> slots_;  // every key word FREE in a free slot
  size_t size_ = 0;
};

// Costs between units: by a pair of small ids in 32 bits, or by any pair.
using CompactCostTable = SlotTable<float, 1>;
using CostTable = SlotTable<float, 2>;

// Offsets count units of the word, which the analyzer reads no further than
// its first hundred units.
struct MemoMorpheme {
  uint32_t piece;  // its tag code and text in the memo's piece table
  uint8_t start;
  uint8_t end;
};

struct MemoRow {
  float score;       // the analyzer's score of the result
  float within;      // the within-eojeol cost of the result
  uint32_t begin;    // its first morpheme in MemoWord::morphemes()
  uint32_t count;    // its number of morphemes
  uint16_t firstOf;  // its first morpheme's unit in MemoWord::firstUnits()
  uint16_t lastOf;   // its last morpheme's unit in MemoWord::lastUnits()
};

// A view of `count` elements from `first`.
template <typename T>
struct MemoSpan {
  T* first;
  size_t count;
  T* begin() const { return first; }
  T* end() const { return first + count; }
  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  T& operator[](size_t i) const { return first[i]; }
};

class WordMemo;

// One analysed eojeol, its analyses in the analyzer's order, in one block:
// after this header the word's key (its 16-bit units as bytes), its origin,
// its rows, the distinct units they begin and end with and their morphemes,
// so that a word met again is read from a few adjacent cache lines, the
// ones every occurrence reads first. A morpheme's tag and text are a piece
// of the memo's piece table, which every word shares.
class MemoWord {
 public:
  // The sizes of a word's parts, known before its block is allocated.
  struct Layout {
    uint32_t keyBytes = 0;
    uint32_t rows = 0;
    uint32_t morphemes = 0;
    uint32_t originBytes = 0;  // with the zero; none without an origin
    // Of the whole block, a multiple of alignof(MemoWord).
    size_t bytes() const;
  };
  // The layout of the word of a key of keyBytes bytes whose analyses are
  // the candidate's results. Throws std::bad_alloc, like a failed
  // allocation, for a part beyond 32 bits.
  static Layout measure(size_t keyBytes, const CandidateImpl& candidate);
  // Makes that word in block (layout.bytes() bytes, aligned for MemoWord),
  // its morphemes' pieces in memo's table; within costs and units are left
  // to the caller (zero, and none).
  static MemoWord* build(void* block, const Layout& layout, const char* key,
                         uint64_t hash, const CandidateImpl& candidate,
                         WordMemo* memo);
  // Sets the distinct units the rows begin and end with, in order of first
  // appearance, and each row's index among them, from the unit ids of each
  // row's first and last morpheme (one per row, in row order).
  void setEndUnits(const uint32_t* firsts, const uint32_t* lasts);

  bool hasKey(const char* key, size_t size) const;
  MemoSpan<MemoRow> rows() { return {at<MemoRow>(rowsAt()), rows_}; }
  MemoSpan<const MemoRow> rows() const {
    return {at<const MemoRow>(rowsAt()), rows_};
  }
  // The search's transitions are looked up by these.
  const uint32_t* firstUnits() const { return at<const uint32_t>(unitsAt()); }
  size_t firstCount() const { return firstCount_; }
  const uint32_t* lastUnits() const {
    return at<const uint32_t>(unitsAt()) + rows_;
  }
  size_t lastCount() const { return lastCount_; }
  MemoSpan<const MemoMorpheme> morphemes() const {
    return {at<const MemoMorpheme>(morphemesAt()), morphemes_};
  }
  // The candidate's origin, or null when it had none, and its length.
  const char* origin() const {
    return originBytes_ != 0 ? at<const char>(originAt()) : nullptr;
  }
  size_t originLength() const {
    return originBytes_ != 0 ? originBytes_ - 1 : 0;
  }
  // Makes r equal to row j, its offsets moved by base, reusing r's storage;
  // memo is the one that holds the word.
  void fill(size_t j, unsigned long base, const WordMemo& memo,
            ResultImpl* r) const;
  // Bytes held, for the memo's budget.
  size_t bytes() const;

 private:
  // A header for these parts, their contents still to be written.
  explicit MemoWord(const Layout& layout)
      : keyBytes_(layout.keyBytes),
        rows_(layout.rows),
        morphemes_(layout.morphemes),
        originBytes_(layout.originBytes) {}
  // Offsets in the block; the origin is padded for the rows' alignment.
  static size_t keyAt() { return sizeof(MemoWord); }
  size_t originAt() const { return keyAt() + keyBytes_; }
  size_t rowsAt() const { return padded(originAt() + originBytes_); }
  // Room for as many first and last units as there are rows.
  size_t unitsAt() const { return rowsAt() + rows_ * sizeof(MemoRow); }
  size_t morphemesAt() const {
    return unitsAt() + 2 * rows_ * sizeof(uint32_t);
  }
  size_t endAt() const {
    return morphemesAt() + morphemes_ * sizeof(MemoMorpheme);
  }
  static size_t padded(size_t n) {
    return (n + alignof(MemoRow) - 1) / alignof(MemoRow) * alignof(MemoRow);
  }
  template <typename T>
  T* at(size_t offset) const {
    return reinterpret_cast<T*>(
        reinterpret_cast<uintptr_t>(this) + offset);
  }

  uint64_t hash_ = 0;
  uint32_t keyBytes_ = 0;
  uint32_t rows_ = 0;
  uint32_t morphemes_ = 0;
  uint32_t originBytes_ = 0;
  uint16_t firstCount_ = 0;
  uint16_t lastCount_ = 0;
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

  // A word's key: its 16-bit units as bytes, which stay the caller's, and
  // their hash.
  struct Key {
    const char* data;
    size_t size;
    uint64_t hash;
  };
  static Key key(const unsigned short* units, size_t length);
  // The word memoised under key, or null.
  const MemoWord* find(const Key& key) const;
  // For a caller about to look up several words: starts fetching from
  // memory the table slot find(key) reads first, then, once that is at
  // hand, the word it leads to (its parts follow it in the arena).
  void prefetchSlot(const Key& key) const;
  void prefetchWord(const Key& key) const;
  // Memoises under key, which no word has yet, the word whose analyses
  // are the candidate's results (MemoWord::build), in the memo's arena; or,
  // when the memo is full, keeps it aside until reset() or releaseAside().
  // The memo owns it either way.
  MemoWord* add(const Key& key, const CandidateImpl& candidate);
  // Drops the words kept aside.
  void releaseAside() { aside_.clear(); }

  // The id of the unit with these keys, interned when new.
  uint32_t unitId(const UnitKeys& keys);
  // The piece of a morpheme's tag code (as a result holds it) and text:
  // its index in the piece table, where it is added when new.
  uint32_t piece(unsigned code, const char* text);
  unsigned pieceCode(uint32_t piece) const { return pieceList_[piece].code; }
  const char* pieceText(uint32_t piece) const {
    return pieceTexts_.data() + pieceList_[piece].text;
  }
  uint32_t pieceLength(uint32_t piece) const {
    return pieceList_[piece].length;
  }
  // The slot of a piece's unit id; NO_UNIT when new, for the owner to
  // fill. Valid until the next new piece.
  static constexpr uint32_t NO_UNIT = 0xFFFFFFFFu;
  uint32_t& pieceUnit(uint32_t piece) { return pieceList_[piece].unit; }
  uint32_t& pieceId(unsigned code, const char* text) {
    return pieceUnit(piece(code, text));
  }
  // The id of a pseudo unit ("BOM", "EOM", "BOE", "EOE": its name is both
  // of its keys), by the address of its name constant.
  uint32_t pseudoId(const char* name);
  const UnitKeys& unit(uint32_t id) const { return units_[id]; }

  UnitCounts& counts(uint32_t id) { return counts_[id]; }

  // The memoised cost slots, NaN until the owner stores a cost: from the
  // last unit a of an eojeol to the first unit b of the next one; after the
  // last unit z of a sentence; of the step from unit p to unit c within an
  // eojeol.
  float& transition(uint32_t a, uint32_t b) {
    if (compact(a, b)) return transitions_.slot(compactKey(a, b));
    return wideCosts_.slot(transitionKey(a, b));
  }
  // One prefetch of the slot of either table: prefetches in two branches
  // may be dropped by the compiler.
  void prefetchTransition(uint32_t a, uint32_t b) const {
    prefetchSlots(compact(a, b) ? transitions_.homeAddress(compactKey(a, b))
                                : wideCosts_.homeAddress(transitionKey(a, b)));
  }
  float& endCost(uint32_t z) { return endCosts_[z]; }
  float& step(uint32_t p, uint32_t c) {
    if (compact(p, c)) return steps_.slot(compactKey(p, c));
    return wideCosts_.slot(stepKey(p, c));
  }
  void prefetchStep(uint32_t p, uint32_t c) const {
    prefetchSlots(compact(p, c) ? steps_.homeAddress(compactKey(p, c))
                                : wideCosts_.homeAddress(stepKey(p, c)));
  }

  // The memoised logarithms of the model's ratios that depend on a unit's
  // tag rather than on the unit itself (kind: one of the LOG_ constants):
  // of the tag pair (tag of a, tag of b), or of (tag of a, unit b). NaN
  // until the owner stores one.
  enum LogKind : uint64_t {
    LOG_EOJUL_TAGS = 0,
    LOG_EOJUL_TAG_UNIT = 1,
    LOG_MORPHEME_TAGS = 2,
  };
  double& tagLog(LogKind kind, uint32_t a, uint32_t b) {
    return logs_.slot(tagLogKey(kind, a, b));
  }
  void prefetchTagLog(LogKind kind, uint32_t a, uint32_t b) const {
    logs_.prefetch(tagLogKey(kind, a, b));
  }
  // Start fetching from memory a unit's counts, and its keys (a short key's
  // bytes lie within them).
  void prefetchCounts(uint32_t id) const { __builtin_prefetch(&counts_[id]); }
  void prefetchUnit(uint32_t id) const {
    const UnitKeys& keys = units_[id];
    __builtin_prefetch(&keys.lex);
    __builtin_prefetch(&keys.tag);
  }

  size_t words() const { return wordCount_; }

 private:
  // The top key bit of a step.
  static constexpr uint64_t STEP_BIT = static_cast<uint64_t>(1) << 63;
  // Ids below COMPACT_IDS pair into 32 bits, never all set; units are
  // interned in order of first use, so nearly every pair is compact.
  static constexpr uint32_t COMPACT_IDS = 0xFFFF;
  static bool compact(uint32_t a, uint32_t b) {
    return a < COMPACT_IDS && b < COMPACT_IDS;
  }
  static uint64_t compactKey(uint32_t a, uint32_t b) {
    return (static_cast<uint64_t>(a) << 16) | b;
  }
  static uint64_t transitionKey(uint32_t a, uint32_t b) {
    return (static_cast<uint64_t>(a) << 32) | b;
  }
  static uint64_t stepKey(uint32_t p, uint32_t c) {
    return STEP_BIT | transitionKey(p, c);
  }
  uint64_t tagLogKey(LogKind kind, uint32_t a, uint32_t b) const {
    const uint64_t left = unitTags_[a];
    const uint64_t right = kind == LOG_EOJUL_TAG_UNIT ? b : unitTags_[b];
    return (static_cast<uint64_t>(kind) << 62) | (left << 31) | right;
  }

  size_t budget_;
  size_t bytes_;       // words and units
  // The memoised words live in the arena, released as a whole by reset()
  // (each is one block of plain data, not destroyed one by one), and are
  // found through an open-addressing table of their hashes.
  struct WordSlot {
    uint64_t hash;
    MemoWord* word;  // null in a free slot
  };
  void growWords();
  BlockArena arena_;
  BlockArray<WordSlot> wordTable_;
  size_t wordCount_ = 0;
  std::vector<std::unique_ptr<unsigned char[]>> aside_;
  std::unordered_map<std::string, uint32_t> unitIds_;
  std::vector<UnitKeys> units_;
  std::vector<UnitCounts> counts_;
  struct Pseudo {
    const char* name;
    uint32_t id;
  };
  std::vector<Pseudo> pseudo_;
  std::vector<float> endCosts_;
  // Transitions and steps between units of small ids in a table each (the
  // search reads only the transitions); the others in one table, where a
  // step's key has its top bit set.
  CompactCostTable transitions_;
  CompactCostTable steps_;
  CostTable wideCosts_;
  // The id of each unit's tag key, and the tag keys interned.
  std::vector<uint32_t> unitTags_;
  std::unordered_map<std::string, uint32_t> tagIds_;
  SlotTable<double, 2> logs_;
  // The piece table, in order of first use, found through open addressing
  // over entries that hold a copy of its code and text offset; the texts,
  // zero-terminated, lie in pieceTexts_.
  struct PieceInfo {
    uint32_t code;
    uint32_t text;  // offset in pieceTexts_
    uint32_t length;
    uint32_t unit;
  };
  struct Piece {
    uint32_t hash;
    uint32_t code;
    uint32_t text;  // offset in pieceTexts_, NO_UNIT in a free entry
    uint32_t index;  // in pieceList_
  };
  std::vector<PieceInfo> pieceList_;
  std::vector<Piece> pieces_;
  std::string pieceTexts_;
  size_t pieceBytes_ = 0;  // of the three, counted in bytes_
};

#endif  // TALMORO_TAGGER_WORD_MEMO_H_
