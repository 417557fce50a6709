// Double-array construction over 16-bit keys.
//
// Every node of the trie owns a block: a base position `begin` and, per
// outgoing label, one unit at begin + offset, where offset 0 marks the end of
// a key and offset c + 1 the child for code unit c. A block's units all carry
// check == begin. Blocks are placed one at a time, depth first: the free
// unit of lowest position that can hold the block's first label is searched
// in a hierarchical bitset, and the base it implies is accepted when that
// base is not used by another block and all other labels land on free units.
//
// Begins are unique and never 0, and free units keep check 0: a check then
// equals b only on the units of block b, and the root's block (at a begin of
// 1 or more) cannot be confused with free units.
//
// A free unit that has failed to start many placements is withdrawn from the
// search (it stays free and may still be taken by a later label of some
// block); this bounds the search work by a constant per unit, so wide sparse
// blocks (labels thousands of code values apart, as with Hangul) do not
// rescan the crowded front of the array over and over.
#include "knowledge/trie_builder.h"

#include <algorithm>
#include <climits>

namespace {

// Bits for the units still searched as the start of a placement, with
// summary levels (bit j of level k+1 set when word j of level k is not 0),
// so that the next set bit from any position is found in a few word reads.
class UnitBitset {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  // Extends to `size` bits; the bits added are set.
  void grow(size_t size) {
    if (size <= size_) return;
    std::vector<uint64_t>& bottom = levels_.empty() ? newBottom() : levels_[0];
    bottom.resize((size + 63) / 64, 0);
    for (size_t i = size_; i < size; ++i) bottom[i >> 6] |= bit(i);
    size_ = size;
    rebuildSummary();
  }

  bool test(size_t i) const {
    return i < size_ && (levels_[0][i >> 6] & bit(i)) != 0;
  }

  void reset(size_t i) {
    for (size_t level = 0; level < levels_.size(); ++level) {
      uint64_t& word = levels_[level][i >> 6];
      word &= ~bit(i);
      if (word != 0) return;
      i >>= 6;
    }
  }

  // The lowest set bit at or after `from`, or kNone.
  size_t findNext(size_t from) const {
    if (from >= size_) return kNone;
    size_t level = 0;
    size_t i = from;
    for (;;) {
      if (level == levels_.size()) return kNone;
      const std::vector<uint64_t>& words = levels_[level];
      size_t w = i >> 6;
      if (w >= words.size()) return kNone;
      uint64_t word = words[w] & (~uint64_t{0} << (i & 63));
      if (word != 0) {
        i = (w << 6) + static_cast<size_t>(__builtin_ctzll(word));
        break;
      }
      i = w + 1;
      ++level;
    }
    while (level > 0) {
      --level;
      i = (i << 6) +
          static_cast<size_t>(__builtin_ctzll(levels_[level][i]));
    }
    return i;
  }

 private:
  static uint64_t bit(size_t i) { return uint64_t{1} << (i & 63); }

  std::vector<uint64_t>& newBottom() {
    levels_.emplace_back();
    return levels_[0];
  }

  void rebuildSummary() {
    levels_.resize(1);
    while (levels_.back().size() > 1) {
      const std::vector<uint64_t>& below = levels_.back();
      std::vector<uint64_t> above((below.size() + 63) / 64, 0);
      for (size_t w = 0; w < below.size(); ++w)
        if (below[w] != 0) above[w >> 6] |= bit(w);
      levels_.push_back(std::move(above));
    }
  }

  std::vector<std::vector<uint64_t>> levels_;
  size_t size_ = 0;
};

// A node waiting for its block: the keys [left, right) share their first
// `depth` units, and the unit at `parent` receives the block's begin.
struct PendingNode {
  size_t left;
  size_t right;
  size_t depth;
  size_t parent;
};

// Placements a free unit may fail to start before it leaves the search,
// counted apart for blocks of kWideBlock labels or more: these fail on a
// crowded stretch far more often than small blocks, and their failures must
// not withdraw units that small blocks would still fill.
constexpr uint8_t kMaxFailures = 32;
constexpr uint8_t kMaxWideFailures = 16;
constexpr size_t kWideBlock = 8;
// Spare units after the last used one: a probe b + c + 1 from any begin b
// stays inside the array for every code unit c.
constexpr size_t kPadding = (size_t{1} << 16) + 1;
// Positions must fit the signed base and leave room for the padding.
constexpr size_t kMaxPosition = static_cast<size_t>(INT32_MAX) - kPadding;

class Builder {
 public:
  Builder(const unsigned short* const* keys, const size_t* lengths,
          const int* values, std::vector<TrieUnit>* units)
      : keys_(keys), lengths_(lengths), values_(values), units_(*units) {}

  bool build(size_t count) {
    units_.clear();
    reserve(size_t{1} << 16);
    occupy(0);            // unit 0 holds the root's begin
    isBegin_[0] = 1;      // a block at 0 would share check 0 with free units
    if (count == 0) {
      units_[0].base = 1;  // an empty root block: every probe misses
      usedEnd_ = 2;
    } else {
      std::vector<PendingNode> stack;
      stack.push_back(PendingNode{0, count, 0, 0});
      std::vector<uint32_t> offsets;
      std::vector<PendingNode> children;
      while (!stack.empty()) {
        PendingNode node = stack.back();
        stack.pop_back();
        if (!placeNode(node, &offsets, &children)) return false;
        // Reverse order, so that the first child is placed next.
        for (size_t i = children.size(); i-- > 0;) stack.push_back(children[i]);
      }
    }
    units_.resize(usedEnd_ + kPadding, TrieUnit{0, 0});
    units_.shrink_to_fit();
    return true;
  }

 private:
  size_t length(size_t i) const { return lengths_[i]; }

  // Places the block of `node`, and lists the children still to place.
  bool placeNode(const PendingNode& node, std::vector<uint32_t>* offsets,
                 std::vector<PendingNode>* children) {
    offsets->clear();
    children->clear();
    bool terminal = false;
    size_t i = node.left;
    if (length(i) == node.depth) {  // keys are sorted: the ended key is first
      terminal = true;
      offsets->push_back(0);
      ++i;
    }
    while (i < node.right) {
      unsigned short unit = keys_[i][node.depth];
      size_t start = i;
      while (i < node.right && keys_[i][node.depth] == unit) ++i;
      offsets->push_back(static_cast<uint32_t>(unit) + 1);
      children->push_back(PendingNode{start, i, node.depth + 1, 0});
    }

    size_t begin;
    if (!findBegin(*offsets, &begin)) return false;
    isBegin_[begin] = 1;
    units_[node.parent].base = static_cast<int32_t>(begin);
    for (uint32_t offset : *offsets) {
      size_t p = begin + offset;
      occupy(p);
      units_[p].check = static_cast<uint32_t>(begin);
    }
    size_t k = 0;
    if (terminal) {
      int value = values_ ? values_[node.left] : static_cast<int>(node.left);
      units_[begin].base = -value - 1;
      k = 1;
    }
    for (PendingNode& child : *children) child.parent = begin + (*offsets)[k++];
    return true;
  }

  // The lowest usable begin for a block with these ascending offsets.
  bool findBegin(const std::vector<uint32_t>& offsets, size_t* begin) {
    const size_t first = offsets.front();
    const size_t span = offsets.back() - first;
    const bool wide = offsets.size() >= kWideBlock;
    UnitBitset& starts = wide ? wideStarts_ : starts_;
    std::vector<uint8_t>& failures = wide ? wideFailures_ : failures_;
    const uint8_t maxFailures = wide ? kMaxWideFailures : kMaxFailures;
    size_t from = first + 1;  // begin >= 1
    for (;;) {
      size_t q = starts.findNext(from);
      if (q == UnitBitset::kNone) q = std::max(from, units_.size());
      size_t b = q - first;
      if (q + span > kMaxPosition) return false;
      reserve(q + span + 1);
      if (!isBegin_[b] && fits(offsets, b)) {
        *begin = b;
        return true;
      }
      if (starts.test(q) && ++failures[q] >= maxFailures) starts.reset(q);
      from = q + 1;
    }
  }

  bool fits(const std::vector<uint32_t>& offsets, size_t begin) const {
    for (size_t k = 1; k < offsets.size(); ++k)
      if (occupied_[begin + offsets[k]]) return false;
    return true;
  }

  void occupy(size_t p) {
    occupied_[p] = 1;
    starts_.reset(p);
    wideStarts_.reset(p);
    if (p + 1 > usedEnd_) usedEnd_ = p + 1;
  }

  // Makes positions [0, size) addressable; new units are free.
  void reserve(size_t size) {
    if (size <= units_.size()) return;
    size_t capacity = std::max(size, units_.size() * 2);
    units_.resize(capacity, TrieUnit{0, 0});
    occupied_.resize(capacity, 0);
    isBegin_.resize(capacity, 0);
    failures_.resize(capacity, 0);
    wideFailures_.resize(capacity, 0);
    starts_.grow(capacity);
    wideStarts_.grow(capacity);
  }

  const unsigned short* const* keys_;
  const size_t* lengths_;
  const int* values_;
  std::vector<TrieUnit>& units_;
  std::vector<uint8_t> occupied_;
  std::vector<uint8_t> isBegin_;
  std::vector<uint8_t> failures_;
  std::vector<uint8_t> wideFailures_;
  UnitBitset starts_;      // free units tried as the start of a block
  UnitBitset wideStarts_;  // the same for blocks of many labels

  size_t usedEnd_ = 1;
};

// Keys non-empty, free of unit 0, strictly ascending; values non-negative.
bool validKeys(size_t count, const unsigned short* const* keys,
               const size_t* lengths, const int* values) {
  if (count > static_cast<size_t>(INT32_MAX)) return false;
  for (size_t i = 0; i < count; ++i) {
    if (keys[i] == nullptr || lengths[i] == 0) return false;
    if (values && values[i] < 0) return false;
    for (size_t j = 0; j < lengths[i]; ++j)
      if (keys[i][j] == 0) return false;
    if (i == 0) continue;
    const unsigned short* a = keys[i - 1];
    const unsigned short* b = keys[i];
    size_t n = std::min(lengths[i - 1], lengths[i]);
    size_t j = 0;
    while (j < n && a[j] == b[j]) ++j;
    if (j < n ? a[j] > b[j] : lengths[i - 1] >= lengths[i]) return false;
  }
  return true;
}

}  // namespace

bool buildTrie(size_t count, const unsigned short* const* keys,
               const size_t* lengths, const int* values,
               std::vector<TrieUnit>* units) {
  if (units == nullptr) return false;
  units->clear();
  if (count > 0 && keys == nullptr) return false;
  std::vector<size_t> measured;
  if (lengths == nullptr && count > 0) {
    measured.resize(count);
    for (size_t i = 0; i < count; ++i) {
      if (keys[i] == nullptr) return false;
      size_t n = 0;
      while (keys[i][n] != 0) ++n;
      measured[i] = n;
    }
    lengths = measured.data();
  }
  if (!validKeys(count, keys, lengths, values)) return false;
  Builder builder(keys, lengths, values, units);
  if (!builder.build(count)) {
    units->clear();
    units->shrink_to_fit();
    return false;
  }
  return true;
}
