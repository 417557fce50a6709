// KnowledgeImpl: the lexicon store behind Knowledge. A double-array trie of
// surface forms (16-bit units), an index from trie value to the offset of
// the key's first analysis record, and the record buffer.
//
// Record layout (little-endian, no alignment): a signed 32-bit link word (the
// offset of the next record of the same key, 0 for the last), an attribute
// flag byte, a 32-bit attribute word when the flag is not 0, then morpheme
// entries until one whose tag has bit 0 set: a 32-bit tag, a length byte
// (unit count in bits 1-7, bit 0 set when the text is spelled in the
// surface), then the text's units.
//
// Files may come from any builder and may be damaged: search, next and
// record parsing never read outside the loaded arrays. A trie value past the
// index, and an index entry that is negative or leaves no room for a link
// word and a flag byte in the loaded records, give no hit; a link word that
// does not point forward to such a record ends its chain.
#ifndef TALMORO_KNOWLEDGE_KNOWLEDGE_IMPL_H_
#define TALMORO_KNOWLEDGE_KNOWLEDGE_IMPL_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "api/talmoro.h"
#include "base/file_image.h"
#include "base/membuf.h"
#include "knowledge/darts_trie.h"
#include "knowledge/trie_builder.h"

// One prefix hit of a search.
struct result_pair_type {
  int value;                        // offset of the hit's first record
  size_t length;                    // units of the text covered
  unsigned char final_consonant;    // 0, or 4/8/17 for an irregular hit
};

constexpr size_t KNOWLEDGE_MAX_HITS = 100;
// The most starts one searchEach() takes.
constexpr size_t KNOWLEDGE_MAX_STARTS = 100;

class KnowledgeImpl : public Knowledge {
 public:
  KnowledgeImpl();
  KnowledgeImpl(const KnowledgeImpl&) = delete;
  KnowledgeImpl& operator=(const KnowledgeImpl&) = delete;

  // Loads dir/"sys.tri", dir/"sys.idx" and dir/"sys.dat" (each path cut to
  // 4,094 characters). 0 on success; -1 when sys.tri cannot be opened,
  // sought or read whole (also for a null dir); -2 when sys.idx or sys.dat
  // cannot be opened or read whole; -3 when the size of sys.idx is not a
  // multiple of 4. The records replace the previous ones.
  int load(const char* dir) override;
  // Copies the first triSize / 8 units, the index and the records. 0 on
  // success; -2 when idxSize is not a multiple of 4, -1 for a null tri and
  // -2 for a null idx or dat with a non-zero size; these leave the object as
  // it was.
  int loadFromBuffer(const char* tri, unsigned long triSize, const char* idx,
                     unsigned long idxSize, const char* dat,
                     unsigned long datSize) override;
  virtual ~KnowledgeImpl();

  // Every dictionary surface that is a prefix of the zero-terminated key,
  // shortest first, at most 100; with `irregular`, also a noun whose last
  // syllable lacks the key syllable's final ㄴ, ㄹ or ㅂ. Returns the count.
  virtual size_t search(const unsigned short* key,
                        result_pair_type (&result)[KNOWLEDGE_MAX_HITS],
                        bool irregular) const;
  // The hits of search() for the keys that start at each of the first n
  // units of text (searched with irregular[i] for the key at text + i), up
  // to n units long: the hits of start i go to hits[KNOWLEDGE_MAX_HITS * i]
  // onwards, counts[i] of them. The searches go in step, one unit each per
  // round, so that their reads of the trie overlap. n is at most
  // KNOWLEDGE_MAX_STARTS; the text holds no zero among its first n units.
  void searchEach(const unsigned short* text, size_t n, const bool* irregular,
                  result_pair_type* hits, size_t* counts) const;
  // The link word of the record at offset; 0 when offset is no record of
  // the buffer or the link does not lead forward to one.
  virtual int next(int offset) const;
  // next() without the virtual call, for the lattice search's walk over
  // every record of every hit.
  int nextRecord(int offset) const {
    if (!isRecord(offset)) return 0;
    const int32_t link = records_.read_int32(static_cast<size_t>(offset));
    // Chains run forward; a link back or outside would loop or read astray.
    if (link <= offset || !isRecord(link)) return 0;
    return link;
  }
  virtual const membuf* rdata() const;
  // Changes with every load and every change of the contents (generation.h).
  uint64_t generation() const { return generation_; }

 protected:
  // Replaces the trie's units and the index (used by the user dictionary).
  void setStructures(std::vector<TrieUnit>&& units,
                     std::vector<int32_t>&& index);
  // Drops the trie, the index and the records.
  void clearStructures();
  membuf& records() { return records_; }
  // The darts view of the unit array, for darts' own readers.
  const SysTrie& trie() const { return trie_; }

 private:
  // Point the views (and the darts trie) at the built arrays, or at the
  // loaded files when nothing is built; release drops both.
  void attachTrie();
  void releaseTrie();
  void attachIndex();
  void releaseIndex();
  void releaseRecords();
  // True when a record (link word and flag byte) starts at off.
  bool isRecord(int64_t off) const {
    return off >= 0 &&
           off <= static_cast<int64_t>(records_.size()) - RECORD_MIN_BYTES;
  }
  // A link word and a flag byte.
  static constexpr int64_t RECORD_MIN_BYTES = 5;
  // The child of trie node b (inside the array) for unit c, or -1. A node
  // outside the array (a negative or oversized base of a damaged trie) has
  // no child.
  int64_t child(int64_t b, unsigned c) const {
    const int64_t p = b + c + 1;
    if (p >= static_cast<int64_t>(unitCount_) ||
        unitData_[p].check != static_cast<uint32_t>(b))
      return -1;
    return p;
  }
  // Stores the hit of trie node b when b ends a key whose index entry is a
  // record; returns true when stored.
  bool addHit(int64_t b, size_t length, unsigned char final_consonant,
              result_pair_type* result, size_t* count) const;

  SysTrie trie_;                  // reads unitData_, never owns it
  std::vector<TrieUnit> units_;   // built or copied; else the file's
  std::vector<int32_t> index_;
  FileImage unitFile_;            // sys.tri, sys.idx and sys.dat as loaded
  FileImage indexFile_;
  FileImage recordFile_;
  const TrieUnit* unitData_;      // units_ or unitFile_
  size_t unitCount_;
  const int32_t* indexData_;      // index_ or indexFile_
  size_t indexCount_;
  membuf records_;                // borrows recordFile_'s bytes when loaded
  uint64_t generation_;
};

#endif  // TALMORO_KNOWLEDGE_KNOWLEDGE_IMPL_H_
