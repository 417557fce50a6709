#include "tagger/tag_node.h"

#include <cstddef>
#include <cstdint>
#include <new>

TagNode::TagNode() : width_(0), count_(0), cells_(nullptr) {}

TagNode::~TagNode() { clear(); }

void TagNode::clear() {
  delete[] cells_;
  cells_ = nullptr;
  width_ = 0;
  count_ = 0;
}

int TagNode::init(DoublyLinkedList<CandidateImpl*>* columns) {
  clear();
  if (columns == nullptr) return 0;
  unsigned long width = 0;
  for (auto* node = columns->head(); node != nullptr; node = node->next) {
    const unsigned long n = node->element != nullptr ? node->element->size() : 0;
    if (n > width) width = n;
  }
  return init(width, columns->size());
}

int TagNode::init(unsigned long width, unsigned long count) {
  clear();
  if (count == 0) return 0;
  if (width != 0 && count > SIZE_MAX / sizeof(TagCell) / width) return -1;
  const size_t n = static_cast<size_t>(width) * count;
  TagCell* cells = new (std::nothrow) TagCell[n]();
  if (cells == nullptr) return -1;
  cells_ = cells;
  width_ = width;
  count_ = count;
  return 0;
}

void TagNode::setEdge(unsigned long i, unsigned long j, int edge,
                      float score) {
  TagCell& c = cell(i, j);
  c.edge = edge;
  c.score = score;
}

void TagNode::setProbability(unsigned long i, unsigned long j,
                             float probability) {
  cell(i, j).probability = probability;
}

int TagNode::getEdge(unsigned long i, unsigned long j) const {
  return cell(i, j).edge;
}

float TagNode::getScore(unsigned long i, unsigned long j) const {
  return cell(i, j).score;
}

float TagNode::getProbability(unsigned long i, unsigned long j) const {
  return cell(i, j).probability;
}
