// Growth of an array that starts in storage inside its owner and moves to
// the heap once it outgrows it (results and lattice nodes keep their first
// morphemes and texts inline).
#ifndef TALMORO_BASE_INLINE_BUFFER_H_
#define TALMORO_BASE_INLINE_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Moves `data` (`used` elements, `inlineData` when not yet on the heap) to
// a heap block of twice `capacity` elements, at least `needed`; false when
// memory runs out or the count would overflow. T is trivially copyable.
template <typename T>
bool enlargeInlineBuffer(T*& data, uint32_t& capacity, uint32_t used,
                         size_t needed, const T* inlineData) {
  size_t fresh = static_cast<size_t>(capacity) * 2;
  if (fresh < needed) fresh = needed;
  if (fresh > UINT32_MAX) return false;
  T* block;
  if (data == inlineData) {
    block = static_cast<T*>(std::malloc(fresh * sizeof(T)));
    if (block != nullptr && used != 0)
      std::memcpy(static_cast<void*>(block), data, used * sizeof(T));
  } else {
    block = static_cast<T*>(std::realloc(data, fresh * sizeof(T)));
  }
  if (block == nullptr) return false;
  data = block;
  capacity = static_cast<uint32_t>(fresh);
  return true;
}

#endif  // TALMORO_BASE_INLINE_BUFFER_H_
