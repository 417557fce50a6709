// TagNode: the Viterbi matrix of one sentence. Column i is eojeol i, row j
// result j of that eojeol; cell (i, j) lies at i * width + j, width being
// the largest result count of any eojeol. Accessors do not check indices:
// callers stay within count x width.
#ifndef TALMORO_TAGGER_TAG_NODE_H_
#define TALMORO_TAGGER_TAG_NODE_H_

#include <cstddef>

#include "result/candidate_impl.h"
#include "result/doubly_linked_list.h"

struct TagCell {
  int edge;           // chosen result of eojeol i - 1 on the best path here
  float score;        // cost of that best path, this cell's costs included
  float probability;  // within-eojeol cost of result j of eojeol i
};

class TagNode {
 public:
  TagNode();
  virtual ~TagNode();
  TagNode(const TagNode&) = delete;
  TagNode& operator=(const TagNode&) = delete;

  // Sizes the matrix for the columns, every cell zero. 0, or -1 when the
  // cells cannot be allocated (the matrix is then empty).
  int init(DoublyLinkedList<CandidateImpl*>* columns);
  // The same for an explicit shape; -1 also when width x count cells do not
  // fit in memory's address range.
  int init(unsigned long width, unsigned long count);
  // Empties the matrix. The cells of a small one stay allocated for the
  // next init: a tagger sizes one matrix per sentence.
  void clear();

  // Inline: the search reads and writes every cell of every sentence.
  void setEdge(unsigned long i, unsigned long j, int edge, float score) {
    TagCell& c = cell(i, j);
    c.edge = edge;
    c.score = score;
  }
  void setProbability(unsigned long i, unsigned long j, float probability) {
    cell(i, j).probability = probability;
  }
  int getEdge(unsigned long i, unsigned long j) const {
    return cell(i, j).edge;
  }
  float getScore(unsigned long i, unsigned long j) const {
    return cell(i, j).score;
  }
  float getProbability(unsigned long i, unsigned long j) const {
    return cell(i, j).probability;
  }

  unsigned long width() const { return width_; }
  unsigned long count() const { return count_; }

 private:
  TagCell& cell(unsigned long i, unsigned long j) const {
    return cells_[i * width_ + j];
  }

  // Matrices of at most this many cells keep their storage when cleared.
  static constexpr size_t KEPT_CELLS = 1u << 16;

  unsigned long width_;
  unsigned long count_;
  TagCell* cells_;
  size_t capacity_;  // cells allocated at cells_
};

#endif  // TALMORO_TAGGER_TAG_NODE_H_
