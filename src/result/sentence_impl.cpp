#include "result/sentence_impl.h"

#include <cstdlib>
#include <cstring>

namespace {

char* copyText(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t n = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy != nullptr) std::memcpy(copy, text, n + 1);
  return copy;
}

}  // namespace

EojulImpl::EojulImpl() : eojul_(nullptr), result_(nullptr) {}

EojulImpl::EojulImpl(const char* text, ResultImpl* result)
    : eojul_(copyText(text)), result_(result) {}

EojulImpl::~EojulImpl() { clear(); }

const char* EojulImpl::eojul() const { return eojul_; }

const Result* EojulImpl::result() const { return result_; }

void EojulImpl::eojul(const char* text) {
  char* copy = copyText(text);
  std::free(eojul_);
  eojul_ = copy;
}

void EojulImpl::result(ResultImpl* result) {
  if (result_ != result) delete result_;
  result_ = result;
}

void EojulImpl::clear() {
  std::free(eojul_);
  eojul_ = nullptr;
  delete result_;
  result_ = nullptr;
}

SentenceImpl::SentenceImpl() {}

SentenceImpl::~SentenceImpl() { clear(); }

void SentenceImpl::clear() {
  for (EojulList::Node* node = eojuls_.head(); node != nullptr;
       node = node->next)
    delete node->element;
  eojuls_.removeAll();
}

unsigned long SentenceImpl::size() const { return eojuls_.size(); }

const Eojul* SentenceImpl::get(unsigned long index) const { return at(index); }

EojulImpl* SentenceImpl::at(unsigned long index) const {
  EojulList::Node* node = eojuls_.at(index);
  return node != nullptr ? node->element : nullptr;
}

void SentenceImpl::append(EojulImpl* eojul) { eojuls_.append(eojul); }

void SentenceImpl::prepend(EojulImpl* eojul) { eojuls_.prepend(eojul); }
