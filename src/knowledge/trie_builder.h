// Builds the unit array of a double-array trie over 16-bit keys, in the
// layout darts reads: per unit an int32 base and a uint32 check. From node b
// the child for unit c is unit b + c + 1 (valid when its check is b) and
// leads to node base; node b ends a key when unit b has check b and a
// negative base, the key's value being -base - 1. Node 0 is the root.
#ifndef TALMORO_KNOWLEDGE_TRIE_BUILDER_H_
#define TALMORO_KNOWLEDGE_TRIE_BUILDER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

struct TrieUnit {
  int32_t base;
  uint32_t check;
};
static_assert(sizeof(TrieUnit) == 8, "a unit is 8 bytes on disk");

// Builds the trie of `count` keys. keys[i] points at lengths[i] units (no
// terminator needed; a unit of 0 is not allowed inside a key); when lengths
// is null, every key is read up to its terminating 0 instead. Keys must be
// non-empty, distinct and sorted by unit value (a prefix before its
// extensions). The value of key i is values[i] (>= 0), or i when values is
// null. The array is padded after its last used unit with 65,537 spare units
// so that a reader probing b + c + 1 without a bounds check stays inside it.
// No keys (count 0) give a valid trie in which every search misses.
// Returns false, leaving *units empty, when the keys break these rules.
bool buildTrie(size_t count, const unsigned short* const* keys,
               const size_t* lengths, const int* values,
               std::vector<TrieUnit>* units);

#endif  // TALMORO_KNOWLEDGE_TRIE_BUILDER_H_
