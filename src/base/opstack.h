// OpStack: the list in which the analyzer keeps morpheme nodes, with an
// iteration cursor that survives removals. It never owns what it lists.
// Elements are pointer-sized values kept in a membuf, in push order; a
// backward list is read from the last pushed element to the first.
#ifndef TALMORO_BASE_OPSTACK_H_
#define TALMORO_BASE_OPSTACK_H_

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "base/membuf.h"

template <typename T>
class OpStack {
  static_assert(std::is_trivially_copyable<T>::value,
                "OpStack holds plain values such as pointers");

 public:
  OpStack() : elements_(80, 40), count_(0), cursor_(0), backward_(false),
              sorted_(false) {}
  virtual ~OpStack() {}
  OpStack(const OpStack&) = delete;
  OpStack& operator=(const OpStack&) = delete;

  // Stores value after the last element. Nothing is listed when the element
  // buffer could not make room.
  void push(T value) {
    const size_t off = count_ * sizeof(T);
    // Room already there (the buffer grows once capacity no longer exceeds
    // what is needed): store in place, as the write below would.
    if (elements_.capacity() > off + sizeof(T)) {
      std::memcpy(elements_.buf(off), &value, sizeof(T));
      ++count_;
      return;
    }
    if (elements_.write(off, &value, sizeof(T)) == membuf::npos) return;
    ++count_;
  }
  // Stores the elements of `other` after the last element, in their order;
  // false, and nothing listed, when the element buffer could not make room.
  bool pushAll(const OpStack& other) {
    if (other.count_ == 0) return true;
    if (elements_.write(count_ * sizeof(T), other.elements_.buf(),
                        other.count_ * sizeof(T)) == membuf::npos)
      return false;
    count_ += other.count_;
    return true;
  }
  // The last pushed element, removed; a null value when empty. A cursor past
  // the new end is drawn back to it, as remove does, so that the popped
  // element is never read again.
  T pop() {
    if (count_ == 0) return T();
    --count_;
    if (cursor_ > count_) cursor_ = count_;
    return at(count_);
  }
  // The last pushed element; a null value when empty.
  T top() const { return count_ == 0 ? T() : at(count_ - 1); }

  void rewind() { cursor_ = backward_ ? count_ : 0; }
  bool hasNext() const { return backward_ ? cursor_ > 0 : cursor_ < count_; }
  // The element at the cursor, moving it on; a null value when none is left.
  T next() {
    if (!hasNext()) return T();
    if (backward_) return at(--cursor_);
    return at(cursor_++);
  }

  // Removes the first element equal to `value`; nothing when it is absent.
  // The cursor always lies between the elements already read and those still
  // to come, in either direction, so it moves back by one exactly when the
  // removed index is below it: an iteration in progress then neither repeats
  // nor skips an element.
  void remove(T value) {
    for (uint64_t i = 0; i < count_; ++i) {
      if (at(i) != value) continue;
      unsigned char* base = elements_.buf();
      std::memmove(base + i * sizeof(T), base + (i + 1) * sizeof(T),
                   (count_ - i - 1) * sizeof(T));
      --count_;
      if (cursor_ > i) --cursor_;
      return;
    }
  }

  // Forgets every element; keeps the storage and the direction.
  void empty() {
    count_ = 0;
    cursor_ = 0;
    sorted_ = false;
  }

  uint64_t size() const { return count_; }
  // The element at index i in push order; i must be below size().
  T at(uint64_t i) const {
    T value;
    std::memcpy(&value, elements_.buf(i * sizeof(T)), sizeof(T));
    return value;
  }
  // The element array, in push order, for sorting in place.
  T* data() { return reinterpret_cast<T*>(elements_.buf()); }

  bool backward() const { return backward_; }
  void backward(bool value) { backward_ = value; }
  bool sorted() const { return sorted_; }
  void sorted(bool value) { sorted_ = value; }

 private:
  membuf elements_;
  uint64_t count_;
  uint64_t cursor_;
  bool backward_;
  bool sorted_;
};

#endif  // TALMORO_BASE_OPSTACK_H_
