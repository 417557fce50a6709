// membuf: a growable byte buffer with typed little-endian reads and writes at
// any byte offset, without alignment. Dictionary records, node child lists
// and result morphemes are stored in it.
//
// size is the number of bytes in use and the append position; capacity the
// bytes allocated, always raised to a multiple of the growth block. Reads are
// bounded by capacity (not size) and give null, 0 or zero bytes outside it.
// Appends and writes return the offset written at, or npos when the buffer
// has no storage. Not synchronised: one owner at a time.
#ifndef TALMORO_BASE_MEMBUF_H_
#define TALMORO_BASE_MEMBUF_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

class membuf {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  // Allocates `initial` bytes at once; `block` (not 0) is the growth quantum.
  membuf(size_t initial, size_t block);
  virtual ~membuf();
  membuf(const membuf&) = delete;
  membuf& operator=(const membuf&) = delete;

  // Empties the buffer; keeps its storage.
  void clear();
  // Uses the size bytes at data as its contents and storage, without
  // copying them; they must stay valid and writable until the buffer is
  // destroyed or borrows others. The first growth past them moves the bytes
  // into storage of its own. No bytes (null or 0) empty the buffer and end
  // any borrowing: the buffer then has storage of its own again.
  void borrow(unsigned char* data, size_t size);
  unsigned char* buf() { return data_; }
  const unsigned char* buf() const { return data_; }
  // Unchecked.
  unsigned char* buf(size_t off) { return data_ + off; }
  const unsigned char* buf(size_t off) const { return data_ + off; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }

  // Moves the append position by n; allocates nothing.
  void seek_current(long n);
  // Makes room for n more bytes after size.
  void grow(size_t n);
  // Grows by n and advances size by n without writing; returns the old size.
  size_t reserve(size_t n);
  // Grows so that off + n bytes fit; size unchanged. Returns off.
  size_t reserve(size_t off, size_t n);

  // Appends are on every path that builds records and results: the case in
  // which the bytes fit without growing is handled here, growth out of line.
  size_t append(const void* p, size_t n) {
    if (data_ == nullptr || size_ >= capacity_ || n >= capacity_ - size_)
      return append_growing(p, n);
    const size_t at = size_;
    if (n != 0) std::memcpy(data_ + at, p, n);
    size_ += n;
    return at;
  }
  size_t append_uint64(uint64_t v) { return append(&v, sizeof v); }
  size_t append_int64(int64_t v) { return append(&v, sizeof v); }
  size_t append_uint32(uint32_t v) { return append(&v, sizeof v); }
  size_t append_int32(int32_t v) { return append(&v, sizeof v); }
  size_t append_uint16(uint16_t v) { return append(&v, sizeof v); }
  size_t append_int16(int16_t v) { return append(&v, sizeof v); }
  size_t append_uint8(uint8_t v) { return append(&v, sizeof v); }
  size_t append_int8(int8_t v) { return append(&v, sizeof v); }
  // With the terminating zero byte.
  size_t append_sn(const char* s);
  // The characters only.
  size_t append_s(const char* s);

  // Writes at off, growing so that the value fits; never changes size.
  size_t write(size_t off, const void* p, size_t n);
  size_t write_uint64(size_t off, uint64_t v);
  size_t write_int64(size_t off, int64_t v);
  size_t write_uint32(size_t off, uint32_t v);
  size_t write_int32(size_t off, int32_t v);
  size_t write_uint16(size_t off, uint16_t v);
  size_t write_int16(size_t off, int16_t v);
  size_t write_uint8(size_t off, uint8_t v);
  size_t write_int8(size_t off, int8_t v);
  size_t write_sn(size_t off, const char* s);
  size_t write_s(size_t off, const char* s);

  // Null when off is greater than capacity.
  const unsigned char* read(size_t off) const;
  // Null when off is not below capacity.
  const char* read_s(size_t off) const;
  // 0 when off + width exceeds capacity. Inline: records and results are
  // read through these on every step of the analysis.
  uint64_t read_uint64(size_t off) const { return load_at<uint64_t>(off); }
  int64_t read_int64(size_t off) const { return load_at<int64_t>(off); }
  uint32_t read_uint32(size_t off) const { return load_at<uint32_t>(off); }
  int32_t read_int32(size_t off) const { return load_at<int32_t>(off); }
  uint16_t read_uint16(size_t off) const { return load_at<uint16_t>(off); }
  int16_t read_int16(size_t off) const { return load_at<int16_t>(off); }
  uint8_t read_uint8(size_t off) const { return load_at<uint8_t>(off); }
  int8_t read_int8(size_t off) const { return load_at<int8_t>(off); }
  // Copies n bytes at off into dst; zeros where they lie beyond capacity.
  void read(size_t off, void* dst, size_t n) const;

  // The same values at raw addresses (unaligned), no buffer involved.
  static void read(const void* src, void* dst, size_t n);
  static uint64_t read_uint64(const void* p);
  static int64_t read_int64(const void* p);
  static uint32_t read_uint32(const void* p);
  static int32_t read_int32(const void* p);
  static uint16_t read_uint16(const void* p);
  static int16_t read_int16(const void* p);
  static uint8_t read_uint8(const void* p);
  static int8_t read_int8(const void* p);
  static const char* read_s(const void* p);
  // Each returns the number of bytes written.
  static size_t write(void* dst, const void* src, size_t n);
  static size_t write_uint64(void* dst, uint64_t v);
  static size_t write_int64(void* dst, int64_t v);
  static size_t write_uint32(void* dst, uint32_t v);
  static size_t write_int32(void* dst, int32_t v);
  static size_t write_uint16(void* dst, uint16_t v);
  static size_t write_int16(void* dst, int16_t v);
  static size_t write_uint8(void* dst, uint8_t v);
  static size_t write_int8(void* dst, int8_t v);
  static size_t write_s(void* dst, const char* s);

 private:
  // The value of type V at off, or 0 when it does not lie inside the storage.
  template <typename V>
  V load_at(size_t off) const {
    if (data_ == nullptr || capacity_ < sizeof(V) ||
        off > capacity_ - sizeof(V))
      return 0;
    V v;
    std::memcpy(&v, data_ + off, sizeof(V));
    return v;
  }
  // append when the bytes do not fit in the storage as it is.
  size_t append_growing(const void* p, size_t n);
  // Drops the storage unless it is borrowed.
  void release();

  size_t size_;
  size_t capacity_;
  size_t block_;
  unsigned char* data_;
  bool borrowed_;  // data_ belongs to someone else (borrow)
};

#endif  // TALMORO_BASE_MEMBUF_H_
