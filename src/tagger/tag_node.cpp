#include "tagger/tag_node.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

TagNode::TagNode() : width_(0), count_(0), cells_(nullptr), capacity_(0) {}

TagNode::~TagNode() { delete[] cells_; }

void TagNode::clear() {
  if (capacity_ > KEPT_CELLS) {
    delete[] cells_;
    cells_ = nullptr;
    capacity_ = 0;
  }
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
  if (n > capacity_) {
    TagCell* cells = new (std::nothrow) TagCell[n]();
    if (cells == nullptr) return -1;
    delete[] cells_;
    cells_ = cells;
    capacity_ = n;
  } else {
    std::fill(cells_, cells_ + n, TagCell{0, 0.0f, 0.0f});
  }
  width_ = width;
  count_ = count;
  return 0;
}
