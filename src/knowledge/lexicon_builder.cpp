#include "knowledge/lexicon_builder.h"

#include <algorithm>
#include <utility>

namespace {

bool sameKey(const LexiconKey& a, const LexiconKey& b) {
  return a.length == b.length &&
         std::equal(a.units, a.units + a.length, b.units);
}

// Offsets must name distinct records whose link word lies in the used part
// of the buffer; keys must be non-empty and free of the terminator unit.
bool validKeys(const std::vector<LexiconKey>& keys, const membuf& records) {
  std::vector<int32_t> offsets;
  offsets.reserve(keys.size());
  for (const LexiconKey& key : keys) {
    if (key.units == nullptr || key.length == 0) return false;
    if (std::find(key.units, key.units + key.length, 0) !=
        key.units + key.length)
      return false;
    if (key.offset < 0 ||
        static_cast<size_t>(key.offset) + 4 > records.size())
      return false;
    offsets.push_back(key.offset);
  }
  std::sort(offsets.begin(), offsets.end());
  return std::adjacent_find(offsets.begin(), offsets.end()) == offsets.end();
}

// The last record of the chain that starts at `offset`. The walk is bounded
// so that a damaged chain cannot loop.
int32_t chainEnd(const membuf& records, int32_t offset, size_t maxSteps) {
  for (size_t step = 0; step < maxSteps; ++step) {
    int32_t link = records.read_int32(static_cast<size_t>(offset));
    if (link <= 0 || static_cast<size_t>(link) + 4 > records.size()) break;
    offset = link;
  }
  return offset;
}

}  // namespace

bool sort_by_lexicon(const LexiconKey& a, const LexiconKey& b) {
  size_t common = std::min(a.length, b.length);
  for (size_t i = 0; i < common; ++i) {
    if (a.units[i] != b.units[i]) return a.units[i] < b.units[i];
  }
  if (a.length != b.length) return a.length < b.length;
  return a.offset < b.offset;
}

size_t appendRecordStart(membuf* records) { return records->append_int32(0); }

void appendRecordAttribute(membuf* records, unsigned char flag,
                           uint32_t word) {
  records->append_uint8(flag);
  if (flag != LEXICON_FLAG_NONE) records->append_uint32(word);
}

size_t appendRecordMorpheme(membuf* records, unsigned int tag,
                            const unsigned short* text, size_t n,
                            bool spelled) {
  if (n > LEXICON_MAX_UNITS || (tag & 1u) != 0) return membuf::npos;
  size_t at = records->append_uint32(tag);
  records->append_uint8(static_cast<uint8_t>(n * 2 + (spelled ? 1 : 0)));
  for (size_t i = 0; i < n; ++i) records->append_uint16(text[i]);
  return at;
}

void markLastMorpheme(membuf* records, size_t tagOffset) {
  records->write_uint32(tagOffset, records->read_uint32(tagOffset) | 1u);
}

bool buildLexicon(std::vector<LexiconKey>* keys, membuf* records,
                  std::vector<TrieUnit>* units, std::vector<int32_t>* index) {
  units->clear();
  index->clear();
  if (!validKeys(*keys, *records)) return false;
  std::sort(keys->begin(), keys->end(), sort_by_lexicon);

  std::vector<const unsigned short*> distinct;
  std::vector<size_t> lengths;
  std::vector<int32_t> first;
  for (size_t i = 0; i < keys->size(); ++i) {
    const LexiconKey& key = (*keys)[i];
    if (i > 0 && sameKey(key, (*keys)[i - 1])) continue;
    distinct.push_back(key.units);
    lengths.push_back(key.length);
    first.push_back(key.offset);
  }
  if (distinct.empty()) return true;
  // The trie first: should it fail, the records have not been touched.
  if (!buildTrie(distinct.size(), distinct.data(), lengths.data(), nullptr,
                 units)) {
    units->clear();
    return false;
  }
  for (size_t i = 1; i < keys->size(); ++i) {
    const LexiconKey& key = (*keys)[i];
    if (!sameKey(key, (*keys)[i - 1])) continue;
    int32_t tail = chainEnd(*records, (*keys)[i - 1].offset, keys->size());
    records->write_int32(static_cast<size_t>(tail), key.offset);
  }
  *index = std::move(first);
  return true;
}
