// EojulImpl and SentenceImpl: the words of a tagged sentence. A sentence
// owns its words; a word owns its text and its chosen result. A sentence
// keeps the words that clear() drops, up to SENTENCE_SPARE_WORDS of them,
// and hands them out again through spareEojul(): a tagger fills the same
// sentence line after line, and reusing the words, their text buffers and
// their results spares most of the allocation.
#ifndef TALMORO_RESULT_SENTENCE_IMPL_H_
#define TALMORO_RESULT_SENTENCE_IMPL_H_

#include <cstddef>
#include <vector>

#include "api/talmoro.h"
#include "result/doubly_linked_list.h"
#include "result/result_impl.h"

// The most dropped words a sentence keeps for reuse.
constexpr size_t SENTENCE_SPARE_WORDS = 1024;

class EojulImpl : public Eojul {
 public:
  EojulImpl();
  // Copies `text` and takes ownership of `result` (either may be null).
  EojulImpl(const char* text, ResultImpl* result);

  const char* eojul() const override;
  const Result* result() const override;

  virtual ~EojulImpl();
  EojulImpl(const EojulImpl&) = delete;
  EojulImpl& operator=(const EojulImpl&) = delete;

  // Replaces the text by a copy of `text` (null: none), in the buffer of
  // the text before when it fits.
  void eojul(const char* text);
  // The same for a text of `length` bytes before its zero.
  void eojul(const char* text, size_t length);
  // Takes ownership of `result`, destroying the one held before.
  void result(ResultImpl* result);
  // The held result for modification.
  ResultImpl* resultImpl() const { return result_; }
  // Frees the text and destroys the result.
  void clear();

 private:
  char* eojul_;
  size_t capacity_;  // bytes of the buffer eojul_ points to
  ResultImpl* result_;
};

class SentenceImpl : public Sentence {
 public:
  typedef DoublyLinkedList<EojulImpl*> EojulList;

  SentenceImpl();

  // Destroys every word.
  void clear() override;
  unsigned long size() const override;
  const Eojul* get(unsigned long index) const override;

  virtual ~SentenceImpl();
  SentenceImpl(const SentenceImpl&) = delete;
  SentenceImpl& operator=(const SentenceImpl&) = delete;

  // The word at `index` for modification; null when out of range.
  EojulImpl* at(unsigned long index) const;
  // Add at the tail or at the head; both take ownership.
  void append(EojulImpl* eojul);
  void prepend(EojulImpl* eojul);
  const EojulList& eojuls() const { return eojuls_; }

  // A word to fill and then append or prepend: one that clear() dropped,
  // with its text and result storage (contents unspecified), else a new
  // empty one; null when memory runs out. Until it is added, the caller
  // owns it.
  EojulImpl* spareEojul();

 private:
  EojulList eojuls_;
  std::vector<EojulImpl*> spare_;
};

#endif  // TALMORO_RESULT_SENTENCE_IMPL_H_
