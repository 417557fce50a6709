// ResultImpl: one analysis of a word, a sequence of morphemes.
//
// Morphemes are fixed-size records in one buffer (tag, text offset, start,
// end) and their texts zero-terminated UTF-8 strings in a second buffer, so
// a result holds two heap blocks whatever its length. Offsets count 16-bit
// units of the analysed word (of the sentence once the tagger has shifted
// them). The index of every accessor and setter must be below size(); it is
// not checked.
#ifndef TALMORO_RESULT_RESULT_IMPL_H_
#define TALMORO_RESULT_RESULT_IMPL_H_

#include "api/talmoro.h"
#include "base/membuf.h"
#include "base/opstack.h"
#include "pos/pos.h"

class InterResult;

class ResultImpl : public Result {
 public:
  ResultImpl();

  unsigned long size() const override;
  const char* lexicon(int i) const override;
  // The tag's full name; "" for a code that has none (never null).
  const char* posTag(int i) const override;
  pos_t pos(int i) const override;
  unsigned long startOffset(int i) const override;
  unsigned long endOffset(int i) const override;
  unsigned long length(int i) const override;
  float score() const override;

  virtual ~ResultImpl();
  ResultImpl(const ResultImpl&) = delete;
  ResultImpl& operator=(const ResultImpl&) = delete;

  // Overwrite or shift a morpheme's offsets.
  void startOffset(int i, unsigned long value);
  void endOffset(int i, unsigned long value);
  void startOffsetIncr(int i, unsigned long delta);
  void endOffsetIncr(int i, unsigned long delta);

  // Sets the score (scoring() computes it).
  void score(float value) { score_ = value; }
  // Adds a morpheme: the zero-terminated UTF-8 text (null: empty), its tag
  // as given (flag bit included) and its offsets.
  void append(const unsigned char* text, pos_t pos, unsigned long start,
              unsigned long end);

  // Adds the morphemes of every node of a lattice path, read in the path's
  // own order (rewind, then next). The dictionary is not consulted.
  void set(const Knowledge* knowledge, OpStack<InterResult*>& path);

  // Writes "lex/tag(start,end/length) + ... score=S\n" to standard output.
  void print() const;
  // Writes the morphemes only, joined by " + ", without a line end.
  void printMorphemes() const;

  // Computes and stores the score; `results` (the candidate's result count)
  // is not used, `longestNoun` is the largest noun length of the candidate.
  void scoring(unsigned long results, unsigned long longestNoun);

 private:
  // One morpheme record at the end of the record buffer.
  void appendRecord(unsigned int tag, size_t textOff, uint64_t start,
                    uint64_t end);

  membuf morphemes_;
  membuf texts_;
  float score_;
};

#endif  // TALMORO_RESULT_RESULT_IMPL_H_
