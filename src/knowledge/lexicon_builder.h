// Building a lexicon: the code shared by the user dictionary (compiled in
// memory from text) and the system dictionary compiler (written to files).
//
// Records are appended to a record buffer with the writer functions below;
// every record is entered under its surface key as a LexiconKey. buildLexicon
// then sorts the keys, chains the records of equal keys in the order of their
// offsets, numbers the distinct keys and builds the index and the trie, which
// together are the three structures a KnowledgeImpl searches.
#ifndef TALMORO_KNOWLEDGE_LEXICON_BUILDER_H_
#define TALMORO_KNOWLEDGE_LEXICON_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/membuf.h"
#include "knowledge/trie_builder.h"

// The longest morpheme text a record can hold: the length byte keeps the
// unit count in its upper seven bits.
constexpr size_t LEXICON_MAX_UNITS = 127;

// Attribute flag values written by the builders: 0 no attribute word,
// 2 clue bits, 1 any other attribute bits.
constexpr unsigned char LEXICON_FLAG_NONE = 0;
constexpr unsigned char LEXICON_FLAG_ATTRIBUTE = 1;
constexpr unsigned char LEXICON_FLAG_CLUE = 2;

// One surface key with the offset of one of its records. The units are not
// owned and need no terminator; they must stay valid during buildLexicon.
struct LexiconKey {
  const unsigned short* units;
  size_t length;
  int32_t offset;
};

// The key order of the trie: by 16-bit unit value (unsigned), the first
// difference deciding, a key before its extensions; equal keys by record
// offset ascending, which keeps the order in which records were written.
bool sort_by_lexicon(const LexiconKey& a, const LexiconKey& b);

// Appends a record's link word (0: no further record); returns the record
// offset, or membuf::npos when the buffer has no storage.
size_t appendRecordStart(membuf* records);

// Appends the attribute flag byte and, when the flag is not 0, the word.
void appendRecordAttribute(membuf* records, unsigned char flag, uint32_t word);

// Appends a morpheme entry: the tag word, the length byte (2n, plus 1 when
// the text is spelled in the surface) and the n units. Returns the offset of
// the tag word, to be passed to markLastMorpheme for the record's last
// entry; membuf::npos (nothing written) when n exceeds LEXICON_MAX_UNITS or
// the tag has bit 0 set.
size_t appendRecordMorpheme(membuf* records, unsigned int tag,
                            const unsigned short* text, size_t n,
                            bool spelled);

// Sets bit 0 of the tag word at tagOffset: the record ends with that entry.
void markLastMorpheme(membuf* records, size_t tagOffset);

// Sorts *keys with sort_by_lexicon and links the records of equal keys in
// that order (the link word at the end of each chain receives the next
// record's offset). Distinct keys are numbered 0, 1, 2, ... in sorted order;
// index[v] is the first record of key v and the trie maps key v to v. With no
// key, units and index stay empty: a KnowledgeImpl without a trie finds
// nothing. Returns false, leaving units and index empty and the records
// unchanged, when a key is empty or holds a unit 0, or a record offset is
// negative, lies outside the buffer's used bytes or is given twice.
bool buildLexicon(std::vector<LexiconKey>* keys, membuf* records,
                  std::vector<TrieUnit>* units, std::vector<int32_t>* index);

#endif  // TALMORO_KNOWLEDGE_LEXICON_BUILDER_H_
