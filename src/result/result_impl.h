// ResultImpl: one analysis of a word, a sequence of morphemes.
//
// Morphemes are fixed-size records (tag, text offset, start, end) in one
// array and their texts zero-terminated UTF-8 strings in a text pool. Both
// start inside the object, sized for the usual short analysis, and move to
// the heap only when a result outgrows them: most results are made for one
// lattice path and dropped soon after, so a result costs one allocation.
// Offsets count 16-bit units of the analysed word (of the sentence once the
// tagger has shifted them). An accessor given an index that is not below
// size() reads 0 (and "" for a text); a setter given one does nothing.
#ifndef TALMORO_RESULT_RESULT_IMPL_H_
#define TALMORO_RESULT_RESULT_IMPL_H_

#include <cstdint>
#include <cstring>

#include "api/talmoro.h"
#include "base/membuf.h"
#include "base/opstack.h"
#include "pos/pos.h"

class InterResult;

class ResultImpl final : public Result {
 public:
  // One morpheme as stored: the tag as given (flag bit included), where its
  // text begins in the text pool, and its offsets.
  struct Morpheme {
    unsigned int tag;
    uint32_t text;
    unsigned long start;
    unsigned long end;
  };

  ResultImpl();

  unsigned long size() const override { return count_; }
  const char* lexicon(int i) const override {
    return has(i) ? text_ + m_[i].text : "";
  }
  // The tag's full name; "" for a code that has none (never null).
  const char* posTag(int i) const override;
  pos_t pos(int i) const override { return pos_t(has(i) ? m_[i].tag : 0u); }
  unsigned long startOffset(int i) const override {
    return has(i) ? m_[i].start : 0;
  }
  unsigned long endOffset(int i) const override {
    return has(i) ? m_[i].end : 0;
  }
  unsigned long length(int i) const override {
    return has(i) ? m_[i].end - m_[i].start : 0;
  }
  float score() const override { return score_; }

  // All size() morpheme records at once, for code that reads every
  // morpheme of many results; valid until the result next changes.
  const Morpheme* morphemes() const { return m_; }

  virtual ~ResultImpl();
  ResultImpl(const ResultImpl&) = delete;
  ResultImpl& operator=(const ResultImpl&) = delete;

  // Overwrite or shift a morpheme's offsets.
  void startOffset(int i, unsigned long value) {
    if (has(i)) m_[i].start = value;
  }
  void endOffset(int i, unsigned long value) {
    if (has(i)) m_[i].end = value;
  }
  void startOffsetIncr(int i, unsigned long delta) {
    if (has(i)) m_[i].start += delta;
  }
  void endOffsetIncr(int i, unsigned long delta) {
    if (has(i)) m_[i].end += delta;
  }

  // Drops every morpheme and the score, keeping the storage: the result is
  // then as a new one, ready to be filled again.
  void reset() {
    count_ = 0;
    textSize_ = 0;
    score_ = 0.0f;
  }

  // Sets the score (scoring() computes it).
  void score(float value) { score_ = value; }
  // Adds a morpheme: the zero-terminated UTF-8 text (null: empty), its tag
  // as given (flag bit included) and its offsets. Nothing is added when
  // memory runs out.
  void append(const unsigned char* text, pos_t pos, unsigned long start,
              unsigned long end);
  // The bytes of texts a result can count: its pool stays below this.
  static constexpr uint32_t TEXT_FULL = 0xFFFFFFFFu;
  // Room for `morphemes` more morphemes and `bytes` more bytes of texts,
  // which appendReserved then fills without checks; false when memory runs
  // out. appendReserved adds a morpheme with its n bytes of zero-terminated
  // text, as append() does.
  bool reserve(size_t morphemes, size_t bytes);
  void appendReserved(pos_t pos, const char* text, size_t n,
                      unsigned long start, unsigned long end) {
    std::memcpy(text_ + textSize_, text, n);
    m_[count_++] =
        Morpheme{static_cast<unsigned int>(pos), textSize_, start, end};
    textSize_ += static_cast<uint32_t>(n);
  }

  // Adds the morphemes of every node of a lattice path, read in the path's
  // own order (rewind, then next). The dictionary is not consulted.
  void set(const Knowledge* knowledge, OpStack<InterResult*>& path);

  // set() one node at a time, for building the results of many paths that
  // share a prefix. Carry holds what set() passes from a node to the next:
  // the tag and the last text unit of the previous morpheme entry that was
  // not a placeholder. set() on a path is appendNode on each of its nodes,
  // starting from startCarry(), until one returns false (memory ran out:
  // the rest of the path is not added). Between a mark() and the backTo()
  // that returns to it, a node adds morphemes only after the one before
  // the mark, which is why that one is all a mark keeps.
  struct Carry {
    unsigned int tag;
    unsigned short last;
  };
  static Carry startCarry();
  bool appendNode(const InterResult* node, Carry* carry);

  // The state before a node was appended, to go back to once the path
  // leaves that node. A node may replace the morpheme before it (a split-off
  // jamo), so the mark keeps a copy of that one.
  struct Mark {
    uint32_t count;
    uint32_t textSize;
    Carry carry;
    Morpheme before;
  };
  Mark mark(const Carry& carry) const {
    Mark m{count_, textSize_, carry, Morpheme{0, 0, 0, 0}};
    if (count_ != 0) m.before = m_[count_ - 1];
    return m;
  }
  // A node's morphemes only ever lie at or after the one before the mark,
  // so putting that one back and cutting both arrays restores the state
  // exactly.
  void backTo(const Mark& mark, Carry* carry) {
    if (mark.count > capacity_ || mark.textSize > textCapacity_) return;
    count_ = mark.count;
    textSize_ = mark.textSize;
    if (count_ != 0) m_[count_ - 1] = mark.before;
    *carry = mark.carry;
  }

  // Replaces the morphemes and the text pool by copies of `other`'s (the
  // score is left as it is); false, leaving this result empty, when memory
  // runs out.
  bool assign(const ResultImpl& other);

  // Writes "lex/tag(start,end/length) + ... score=S\n" to standard output.
  void print() const;
  // Writes the morphemes only, joined by " + ", without a line end.
  void printMorphemes() const;

  // Computes and stores the score; `results` (the candidate's result count)
  // is not used, `longestNoun` is the largest noun length of the candidate.
  void scoring(unsigned long results, unsigned long longestNoun);

 private:
  // Room in the object for a typical analysis.
  static constexpr uint32_t INLINE_MORPHEMES = 8;
  static constexpr uint32_t INLINE_TEXT = 64;

  bool has(int i) const {
    return i >= 0 && static_cast<unsigned long>(i) < count_;
  }
  // Makes room for one more record / for n more text bytes; false when
  // memory runs out.
  bool roomForMorpheme() { return count_ < capacity_ || growMorphemes(); }
  bool roomForText(size_t n) {
    return n <= textCapacity_ - textSize_ || growText(n);
  }
  bool growMorphemes();
  bool growText(size_t n);
  // One record after the last, its text already in the pool at textOff.
  void appendRecord(unsigned int tag, uint32_t textOff, unsigned long start,
                    unsigned long end);

  Morpheme* m_;
  uint32_t count_;
  uint32_t capacity_;
  char* text_;
  uint32_t textSize_;
  uint32_t textCapacity_;
  float score_;
  Morpheme inlineMorphemes_[INLINE_MORPHEMES];
  char inlineText_[INLINE_TEXT];
};

#endif  // TALMORO_RESULT_RESULT_IMPL_H_
