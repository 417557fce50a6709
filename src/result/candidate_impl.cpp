#include "result/candidate_impl.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

CandidateImpl::CandidateImpl()
    : origin_(nullptr), originCapacity_(0), hasOrigin_(false) {}

CandidateImpl::~CandidateImpl() {
  clear();
  std::free(origin_);
  for (uint64_t i = 0; i < spare_.size(); ++i) delete spare_.at(i);
  spare_.empty();
}

void CandidateImpl::clear() {
  hasOrigin_ = false;
  for (ResultList::Node* node = results_.head(); node != nullptr;
       node = node->next)
    recycle(node->element);
  results_.removeAll();
}

ResultImpl* CandidateImpl::newResult() {
  ResultImpl* result = spare_.pop();
  return result != nullptr ? result : new ResultImpl();
}

void CandidateImpl::recycle(ResultImpl* result) {
  if (result == nullptr) return;
  result->reset();
  const uint64_t before = spare_.size();
  spare_.push(result);
  if (spare_.size() == before) delete result;  // the spare list could not grow
}

unsigned long CandidateImpl::size() const { return results_.size(); }

const char* CandidateImpl::origin() const {
  return hasOrigin_ ? origin_ : nullptr;
}

void CandidateImpl::origin(const char* text) {
  hasOrigin_ = false;
  if (text == nullptr) return;
  const size_t n = std::strlen(text);
  if (n + 1 > originCapacity_) {
    char* grown = static_cast<char*>(std::malloc(n + 1));
    if (grown == nullptr) return;
    std::free(origin_);
    origin_ = grown;
    originCapacity_ = n + 1;
  }
  std::memcpy(origin_, text, n + 1);
  hasOrigin_ = true;
}

const Result* CandidateImpl::get(unsigned long index) const {
  return at(index);
}

ResultImpl* CandidateImpl::at(unsigned long index) const {
  ResultList::Node* node = results_.at(index);
  return node != nullptr ? node->element : nullptr;
}

void CandidateImpl::append(ResultImpl* result) { results_.append(result); }

void CandidateImpl::remove(ResultImpl* result, bool destroy) {
  ResultList::Node* node = results_.find(result);
  if (node != nullptr) results_.unlink(node);
  if (destroy) recycle(result);
}

void CandidateImpl::print() const {
  unsigned long k = 0;
  for (ResultList::Node* node = results_.head(); node != nullptr;
       node = node->next, ++k) {
    std::printf("#%lu> ", k);
    node->element->printMorphemes();
    std::printf(" (%f)\n", static_cast<double>(node->element->score()));
  }
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
