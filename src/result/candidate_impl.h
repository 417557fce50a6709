// CandidateImpl: the alternative analyses of one word. It owns its origin
// text and every result in its list. clear() and remove() keep the results
// they drop for newResult(), so that a candidate filled word after word
// reuses them; the destructor frees them all.
#ifndef TALMORO_RESULT_CANDIDATE_IMPL_H_
#define TALMORO_RESULT_CANDIDATE_IMPL_H_

#include "api/talmoro.h"
#include "base/opstack.h"
#include "result/doubly_linked_list.h"
#include "result/result_impl.h"

class CandidateImpl : public Candidate {
 public:
  typedef DoublyLinkedList<ResultImpl*> ResultList;

  CandidateImpl();

  // Drops the origin and every result.
  void clear() override;
  unsigned long size() const override;
  const char* origin() const override;
  const Result* get(unsigned long index) const override;

  virtual ~CandidateImpl();
  CandidateImpl(const CandidateImpl&) = delete;
  CandidateImpl& operator=(const CandidateImpl&) = delete;

  // Replaces the origin by a copy of `text`; null leaves no origin.
  void origin(const char* text);
  // The result at `index` for modification; null when out of range.
  ResultImpl* at(unsigned long index) const;
  // Adds at the tail and takes ownership.
  void append(ResultImpl* result);
  // Unlinks the first node holding `result`, if any. With destroy, the
  // result is then dropped (see recycle) even when it was not in the list;
  // without, the caller owns it again (this is how a result is moved out).
  void remove(ResultImpl* result, bool destroy);
  // An empty result to fill and append: one dropped earlier when there is
  // one, else a new one. Until appended it belongs to the caller.
  ResultImpl* newResult();
  // Takes back a result (from new, not in any list) that is no longer
  // needed: emptied and kept for newResult.
  void recycle(ResultImpl* result);
  // The list itself, for walking it node by node.
  ResultList& results() { return results_; }
  const ResultList& results() const { return results_; }

  // Writes "#k> morphemes (score)\n" per result, then a newline, to
  // standard output and flushes it.
  void print() const;
  // Scores every result and sorts the list by descending score.
  void scoring();

 private:
  // The origin's text, in a buffer of originCapacity_ bytes kept for the
  // next origin; hasOrigin_ false when there is none.
  char* origin_;
  size_t originCapacity_;
  bool hasOrigin_;
  ResultList results_;
  // Dropped results, owned by the candidate.
  OpStack<ResultImpl*> spare_;
};

#endif  // TALMORO_RESULT_CANDIDATE_IMPL_H_
