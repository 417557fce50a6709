#include "base/membuf.h"

#include <cstdlib>
#include <cstring>

namespace {

// Typed little-endian accessors on raw, possibly unaligned, addresses. Every
// target is little-endian, so the machine representation is the stored one.
template <typename V>
V load(const void* p) {
  V v;
  std::memcpy(&v, p, sizeof(V));
  return v;
}

template <typename V>
size_t store(void* p, V v) {
  std::memcpy(p, &v, sizeof(V));
  return sizeof(V);
}

// Fresh storage, zero-filled so that bytes never written read as 0. calloc
// takes large blocks zeroed from the system, so their pages cost nothing
// until they are used.
unsigned char* allocate(size_t n) {
  return static_cast<unsigned char*>(std::calloc(n == 0 ? 1 : n, 1));
}

// Makes sure `needed` bytes fit into `data`. The storage is replaced unless
// capacity already exceeds needed, so an exact fit still reallocates; the
// replacement is always owned. Returns false when there is no storage or the
// new one cannot be had; the old storage then stays as it was.
bool ensure(unsigned char*& data, size_t& capacity, bool& borrowed,
            size_t block, size_t needed) {
  if (data == nullptr) return false;
  if (capacity > needed) return true;
  size_t rest = needed % block;
  size_t cap = needed;
  if (rest != 0) {
    size_t pad = block - rest;
    if (cap > membuf::npos - pad) return false;
    cap += pad;
  }
  unsigned char* fresh = allocate(cap);
  if (fresh == nullptr) return false;
  // Keep every old byte, not only the used ones: offset writes and reserves
  // may have placed data past size, and size may itself lie past capacity.
  std::memcpy(fresh, data, capacity);
  if (!borrowed) std::free(data);
  borrowed = false;
  data = fresh;
  capacity = cap;
  return true;
}

// Room for n more bytes after `size`.
bool room(unsigned char*& data, size_t& capacity, bool& borrowed,
          size_t block, size_t size, size_t n) {
  if (size > membuf::npos - n) return false;
  return ensure(data, capacity, borrowed, block, size + n);
}

}  // namespace

membuf::membuf(size_t initial, size_t block)
    : size_(0),
      capacity_(0),
      // A block of 0 would make the rounding divide by zero; grow byte-wise.
      block_(block == 0 ? 1 : block),
      data_(allocate(initial)),
      borrowed_(false) {
  if (data_ != nullptr) capacity_ = initial;
}

membuf::~membuf() {
  release();
  block_ = 0;
}

void membuf::release() {
  if (!borrowed_) std::free(data_);
  data_ = nullptr;
  borrowed_ = false;
  size_ = 0;
  capacity_ = 0;
}

void membuf::clear() { size_ = 0; }

void membuf::borrow(unsigned char* data, size_t size) {
  if (data == nullptr || size == 0) {
    if (borrowed_) {
      release();
      data_ = allocate(block_);
      if (data_ != nullptr) capacity_ = block_;
    }
    clear();
    return;
  }
  release();
  data_ = data;
  borrowed_ = true;
  size_ = size;
  capacity_ = size;
}

void membuf::seek_current(long n) {
  if (n < 0) {
    // Moving before the start would wrap the append position around.
    size_t back = static_cast<size_t>(-(n + 1)) + 1;
    size_ = back > size_ ? 0 : size_ - back;
  } else {
    size_ += static_cast<size_t>(n);
  }
}

void membuf::grow(size_t n) {
  room(data_, capacity_, borrowed_, block_, size_, n);
}

size_t membuf::reserve(size_t n) {
  if (!room(data_, capacity_, borrowed_, block_, size_, n)) return npos;
  size_t at = size_;
  size_ += n;
  return at;
}

size_t membuf::reserve(size_t off, size_t n) {
  size_t saved = size_;
  size_ = off;
  size_t at = reserve(n);
  size_ = saved;
  return at;
}

size_t membuf::append_growing(const void* p, size_t n) {
  if (!room(data_, capacity_, borrowed_, block_, size_, n)) return npos;
  size_t at = size_;
  if (n != 0) std::memcpy(data_ + at, p, n);
  size_ += n;
  return at;
}

size_t membuf::append_sn(const char* s) {
  if (s == nullptr) s = "";
  return append(s, std::strlen(s) + 1);
}

size_t membuf::append_s(const char* s) {
  if (s == nullptr) s = "";
  return append(s, std::strlen(s));
}

size_t membuf::write(size_t off, const void* p, size_t n) {
  size_t saved = size_;
  size_ = off;
  size_t at = append(p, n);
  size_ = saved;
  return at;
}

size_t membuf::write_uint64(size_t off, uint64_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_int64(size_t off, int64_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_uint32(size_t off, uint32_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_int32(size_t off, int32_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_uint16(size_t off, uint16_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_int16(size_t off, int16_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_uint8(size_t off, uint8_t v) {
  return write(off, &v, sizeof v);
}
size_t membuf::write_int8(size_t off, int8_t v) {
  return write(off, &v, sizeof v);
}

size_t membuf::write_sn(size_t off, const char* s) {
  if (s == nullptr) s = "";
  return write(off, s, std::strlen(s) + 1);
}

size_t membuf::write_s(size_t off, const char* s) {
  if (s == nullptr) s = "";
  return write(off, s, std::strlen(s));
}

const unsigned char* membuf::read(size_t off) const {
  if (data_ == nullptr || off > capacity_) return nullptr;
  return data_ + off;
}

const char* membuf::read_s(size_t off) const {
  if (data_ == nullptr || off >= capacity_) return nullptr;
  return reinterpret_cast<const char*>(data_ + off);
}

void membuf::read(size_t off, void* dst, size_t n) const {
  if (n == 0) return;
  size_t avail = 0;
  if (data_ != nullptr && off <= capacity_) avail = capacity_ - off;
  size_t copied = n < avail ? n : avail;
  unsigned char* out = static_cast<unsigned char*>(dst);
  // Only bytes inside the storage are copied; the rest of dst is zeroed.
  if (copied != 0) std::memcpy(out, data_ + off, copied);
  if (copied < n) std::memset(out + copied, 0, n - copied);
}

void membuf::read(const void* src, void* dst, size_t n) {
  if (n != 0) std::memcpy(dst, src, n);
}
uint64_t membuf::read_uint64(const void* p) { return load<uint64_t>(p); }
int64_t membuf::read_int64(const void* p) { return load<int64_t>(p); }
uint32_t membuf::read_uint32(const void* p) { return load<uint32_t>(p); }
int32_t membuf::read_int32(const void* p) { return load<int32_t>(p); }
uint16_t membuf::read_uint16(const void* p) { return load<uint16_t>(p); }
int16_t membuf::read_int16(const void* p) { return load<int16_t>(p); }
uint8_t membuf::read_uint8(const void* p) { return load<uint8_t>(p); }
int8_t membuf::read_int8(const void* p) { return load<int8_t>(p); }
const char* membuf::read_s(const void* p) {
  return static_cast<const char*>(p);
}

size_t membuf::write(void* dst, const void* src, size_t n) {
  if (n != 0) std::memcpy(dst, src, n);
  return n;
}
size_t membuf::write_uint64(void* dst, uint64_t v) { return store(dst, v); }
size_t membuf::write_int64(void* dst, int64_t v) { return store(dst, v); }
size_t membuf::write_uint32(void* dst, uint32_t v) { return store(dst, v); }
size_t membuf::write_int32(void* dst, int32_t v) { return store(dst, v); }
size_t membuf::write_uint16(void* dst, uint16_t v) { return store(dst, v); }
size_t membuf::write_int16(void* dst, int16_t v) { return store(dst, v); }
size_t membuf::write_uint8(void* dst, uint8_t v) { return store(dst, v); }
size_t membuf::write_int8(void* dst, int8_t v) { return store(dst, v); }
size_t membuf::write_s(void* dst, const char* s) {
  if (s == nullptr) return 0;
  size_t n = std::strlen(s);
  if (n != 0) std::memcpy(dst, s, n);
  return n;
}
