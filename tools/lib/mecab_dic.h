// Reader of a compiled MeCab system dictionary ("sys.dic"), as shipped in
// mecab-ko-dic, and a writer of small dictionaries in the same layout for
// tests.
//
// Layout (little-endian): a header of ten 32-bit words (magic, version, type,
// lexsize, lsize, rsize, dsize, tsize, fsize, dummy) and 32 bytes of charset
// name; then dsize bytes of double array (8-byte units: int32 base, uint32
// check) over UTF-8 byte keys; tsize bytes of 16-byte tokens (uint16 lcAttr,
// uint16 rcAttr, uint16 posid, int16 wcost, uint32 feature offset, uint32
// compound); fsize bytes of zero-terminated CSV feature strings. magic XOR
// 0xef718f77 is the file size. A key's trie value v names its tokens: the
// first is v >> 8, the count v & 0xff.
//
// Every offset read from the file is checked against the file: a damaged
// dictionary gives an error message, never a read outside the buffer.
#ifndef TALMORO_TOOLS_LIB_MECAB_DIC_H_
#define TALMORO_TOOLS_LIB_MECAB_DIC_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr uint32_t MECAB_DIC_MAGIC_XOR = 0xef718f77u;
constexpr uint32_t MECAB_DIC_VERSION = 102;
constexpr size_t MECAB_DIC_HEADER_SIZE = 10 * 4 + 32;

struct MecabHeader {
  uint32_t magic = 0;
  uint32_t version = 0;
  uint32_t type = 0;
  uint32_t lexsize = 0;
  uint32_t lsize = 0;
  uint32_t rsize = 0;
  uint32_t dsize = 0;
  uint32_t tsize = 0;
  uint32_t fsize = 0;
  uint32_t dummy = 0;
  std::string charset;
};

struct MecabToken {
  uint16_t lcAttr = 0;
  uint16_t rcAttr = 0;
  uint16_t posid = 0;
  int16_t wcost = 0;
  uint32_t feature = 0;
  uint32_t compound = 0;
};

// One dictionary entry: a key with one of its tokens and that token's
// feature string.
struct MecabEntry {
  std::string surface;  // UTF-8
  MecabToken token;
  std::string feature;  // CSV
};

class MecabDictionary {
 public:
  // Reads the whole file; false with a message when it cannot be read or its
  // header does not describe it.
  bool load(const std::string& path, std::string* message);
  // The same over a memory image (copied).
  bool loadFromBuffer(const std::string& bytes, std::string* message);

  const MecabHeader& header() const { return header_; }
  size_t unitCount() const { return units_; }
  size_t tokenCount() const { return tokens_; }

  // Calls `visit` for every entry: keys in depth-first order of the trie
  // (byte order), the tokens of a key in token order. Returns false with a
  // message when the trie or a token points outside the file; the entries
  // visited before the fault have been delivered. `keys` and `entries`, when
  // given, receive the counts of keys and entries visited.
  bool forEachEntry(const std::function<void(const MecabEntry&)>& visit,
                    size_t* keys, size_t* entries,
                    std::string* message) const;

  // Token `index` and its feature string; false when out of range.
  bool token(size_t index, MecabToken* token, std::string* feature) const;

 private:
  bool parse(std::string* message);
  int32_t base(size_t unit) const;
  uint32_t check(size_t unit) const;

  std::string data_;
  MecabHeader header_;
  size_t arrayOffset_ = 0;
  size_t tokenOffset_ = 0;
  size_t featureOffset_ = 0;
  size_t units_ = 0;
  size_t tokens_ = 0;
};

// Builds the bytes of a dictionary holding `entries` (any order; entries of
// one key keep their relative order). Feature strings are stored once each.
// False with a message when a key is empty or holds a zero byte, or a key
// has more than 255 tokens. Used to make test fixtures.
bool buildMecabDictionary(const std::vector<MecabEntry>& entries,
                          std::string* bytes, std::string* message);

#endif  // TALMORO_TOOLS_LIB_MECAB_DIC_H_
