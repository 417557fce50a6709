#include "result/sentence_impl.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

char* copyText(const char* text) {
  if (text == nullptr) return nullptr;
  const size_t n = std::strlen(text);
  char* copy = static_cast<char*>(std::malloc(n + 1));
  if (copy != nullptr) std::memcpy(copy, text, n + 1);
  return copy;
}

}  // namespace

EojulImpl::EojulImpl() : eojul_(nullptr), capacity_(0), result_(nullptr) {}

EojulImpl::EojulImpl(const char* text, ResultImpl* result)
    : eojul_(copyText(text)),
      capacity_(eojul_ != nullptr ? std::strlen(eojul_) + 1 : 0),
      result_(result) {}

EojulImpl::~EojulImpl() { clear(); }

const char* EojulImpl::eojul() const { return eojul_; }

const Result* EojulImpl::result() const { return result_; }

void EojulImpl::eojul(const char* text) {
  eojul(text, text != nullptr ? std::strlen(text) : 0);
}

void EojulImpl::eojul(const char* text, size_t length) {
  if (text != nullptr && eojul_ != nullptr && length < capacity_) {
    // text may lie inside the buffer: memmove.
    std::memmove(eojul_, text, length + 1);
    return;
  }
  char* copy = copyText(text);
  std::free(eojul_);
  eojul_ = copy;
  capacity_ = copy != nullptr ? length + 1 : 0;
}

void EojulImpl::result(ResultImpl* result) {
  if (result_ != result) delete result_;
  result_ = result;
}

void EojulImpl::clear() {
  std::free(eojul_);
  eojul_ = nullptr;
  capacity_ = 0;
  delete result_;
  result_ = nullptr;
}

SentenceImpl::SentenceImpl() {}

SentenceImpl::~SentenceImpl() {
  clear();
  for (EojulImpl* e : spare_) delete e;
}

void SentenceImpl::clear() {
  for (EojulList::Node* node = eojuls_.head(); node != nullptr;
       node = node->next) {
    EojulImpl* e = node->element;
    if (e == nullptr) continue;
    if (spare_.size() < SENTENCE_SPARE_WORDS) {
      try {
        spare_.push_back(e);
        continue;
      } catch (const std::bad_alloc&) {
      }
    }
    delete e;
  }
  eojuls_.removeAll();
}

EojulImpl* SentenceImpl::spareEojul() {
  if (spare_.empty()) return new (std::nothrow) EojulImpl();
  EojulImpl* e = spare_.back();
  spare_.pop_back();
  return e;
}

unsigned long SentenceImpl::size() const { return eojuls_.size(); }

const Eojul* SentenceImpl::get(unsigned long index) const { return at(index); }

EojulImpl* SentenceImpl::at(unsigned long index) const {
  EojulList::Node* node = eojuls_.at(index);
  return node != nullptr ? node->element : nullptr;
}

void SentenceImpl::append(EojulImpl* eojul) { eojuls_.append(eojul); }

void SentenceImpl::prepend(EojulImpl* eojul) { eojuls_.prepend(eojul); }
