// EojulImpl and SentenceImpl: the words of a tagged sentence. A sentence
// owns its words; a word owns its text and its chosen result.
#ifndef TALMORO_RESULT_SENTENCE_IMPL_H_
#define TALMORO_RESULT_SENTENCE_IMPL_H_

#include "api/talmoro.h"
#include "result/doubly_linked_list.h"
#include "result/result_impl.h"

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

  // Replaces the text by a copy of `text` (null: none).
  void eojul(const char* text);
  // Takes ownership of `result`, destroying the one held before.
  void result(ResultImpl* result);
  // The held result for modification.
  ResultImpl* resultImpl() const { return result_; }
  // Frees the text and destroys the result.
  void clear();

 private:
  char* eojul_;
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

 private:
  EojulList eojuls_;
};

#endif  // TALMORO_RESULT_SENTENCE_IMPL_H_
