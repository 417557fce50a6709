#include "knowledge/trie_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <vector>

#include "knowledge/darts_trie.h"

namespace {

typedef std::vector<unsigned short> Key;
typedef SysTrie::result_pair_type Hit;

bool build(const std::vector<Key>& keys, const int* values,
           std::vector<TrieUnit>* units) {
  std::vector<const unsigned short*> pointers;
  std::vector<size_t> lengths;
  for (const Key& key : keys) {
    pointers.push_back(key.data());
    lengths.push_back(key.size());
  }
  return buildTrie(keys.size(), pointers.data(), lengths.data(), values,
                   units);
}

int exact(const SysTrie& trie, const Key& key) {
  return trie.exactMatchSearch<int>(key.data(), key.size());
}

std::vector<Hit> prefixes(const SysTrie& trie, const Key& key) {
  Hit hits[256];
  size_t n = trie.commonPrefixSearch(key.data(), hits, 256, key.size());
  return std::vector<Hit>(hits, hits + std::min<size_t>(n, 256));
}

// The dictionary's own walk over the raw units: terminal test on unit b
// (check == b, base < 0) before each step and after the last unit.
std::vector<Hit> walk(const std::vector<TrieUnit>& units, const Key& key) {
  std::vector<Hit> hits;
  int32_t b = units[0].base;
  size_t i = 0;
  for (;; ++i) {
    const TrieUnit& end = units[static_cast<uint32_t>(b)];
    if (end.check == static_cast<uint32_t>(b) && end.base < 0)
      hits.push_back(Hit{-end.base - 1, i});
    if (i == key.size()) break;
    uint32_t p = static_cast<uint32_t>(b) + key[i] + 1;
    if (units[p].check != static_cast<uint32_t>(b)) break;
    b = units[p].base;
  }
  return hits;
}

bool sameHits(const std::vector<Hit>& a, const std::vector<Hit>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].value != b[i].value || a[i].length != b[i].length) return false;
  return true;
}

// Every unit a reader can reach, and every probe b + c + 1 from a reachable
// begin b, lies inside the array; checks are set on exactly one unit per
// trie edge and per key end (free units keep check 0).
void expectSound(const std::vector<Key>& sorted,
                 const std::vector<TrieUnit>& units) {
  const size_t reach = size_t{1} << 16;
  ASSERT_GT(units.size(), reach);
  EXPECT_GE(units[0].base, 1);
  EXPECT_LT(static_cast<size_t>(units[0].base) + reach, units.size());
  EXPECT_EQ(units[0].check, 0u);
  size_t expected = 0;
  for (size_t i = 0; i < sorted.size(); ++i) {
    size_t common = 0;
    if (i > 0) {
      while (common < sorted[i].size() && common < sorted[i - 1].size() &&
             sorted[i][common] == sorted[i - 1][common])
        ++common;
    }
    expected += sorted[i].size() - common + 1;  // new edges, one key end
  }
  size_t checked = 0;
  for (size_t p = 0; p < units.size(); ++p) {
    if (units[p].check == 0) continue;
    ++checked;
    EXPECT_LT(units[p].check + reach, units.size()) << p;
    if (units[p].base >= 0) {
      EXPECT_LT(static_cast<size_t>(units[p].base) + reach, units.size()) << p;
    }
  }
  EXPECT_EQ(checked, expected);
}

// Units drawn from Hangul syllables, ASCII, CJK ideographs or the whole
// non-zero range, in runs so that keys mix scripts.
class KeyMaker {
 public:
  explicit KeyMaker(unsigned seed) : rng_(seed) {}

  unsigned short unit(int script) {
    switch (script) {
      case 0: return draw(0xAC00, 0xD7A3);
      case 1: return draw(0x21, 0x7E);
      case 2: return draw(0x4E00, 0x9FFF);
      default: return draw(1, 0xFFFF);
    }
  }

  Key fresh(size_t maxLength) {
    Key key;
    size_t n = draw(1, static_cast<unsigned>(maxLength));
    int script = static_cast<int>(draw(0, 3));
    for (size_t i = 0; i < n; ++i) {
      if (draw(0, 4) == 0) script = static_cast<int>(draw(0, 3));
      key.push_back(unit(script));
    }
    return key;
  }

  // Many keys, a good share of them extending or sharing a prefix with an
  // earlier one; sorted and distinct.
  std::vector<Key> keys(size_t count) {
    std::vector<Key> made;
    while (made.size() < count) {
      if (made.empty() || draw(0, 2) == 0) {
        made.push_back(fresh(8));
      } else {
        Key key = made[draw(0, static_cast<unsigned>(made.size() - 1))];
        key.resize(draw(1, static_cast<unsigned>(key.size())));
        Key tail = fresh(4);
        if (draw(0, 3) != 0) key.insert(key.end(), tail.begin(), tail.end());
        made.push_back(key);
      }
    }
    std::sort(made.begin(), made.end());
    made.erase(std::unique(made.begin(), made.end()), made.end());
    return made;
  }

  unsigned draw(unsigned low, unsigned high) {
    return std::uniform_int_distribution<unsigned>(low, high)(rng_);
  }

 private:
  std::mt19937 rng_;
};

TEST(TrieBuilder, RandomKeysFoundAndNonKeysMissed) {
  KeyMaker maker(7);
  std::vector<Key> keys = maker.keys(6000);
  std::vector<TrieUnit> units;
  ASSERT_TRUE(build(keys, nullptr, &units));
  expectSound(keys, units);
  SysTrie trie;
  trie.set_array(units.data(), units.size());

  std::map<Key, int> index;
  for (size_t i = 0; i < keys.size(); ++i) {
    index[keys[i]] = static_cast<int>(i);
    ASSERT_EQ(exact(trie, keys[i]), static_cast<int>(i));
  }
  size_t misses = 0;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::vector<Key> probes;
    probes.push_back(maker.fresh(8));
    Key cut = keys[i];
    cut.pop_back();
    if (!cut.empty()) probes.push_back(cut);
    Key changed = keys[i];
    changed[maker.draw(0, static_cast<unsigned>(changed.size() - 1))] ^= 1;
    probes.push_back(changed);
    Key longer = keys[i];
    longer.push_back(maker.unit(static_cast<int>(maker.draw(0, 3))));
    probes.push_back(longer);
    for (const Key& probe : probes) {
      if (index.count(probe)) continue;
      EXPECT_EQ(exact(trie, probe), -1);
      ++misses;
    }
  }
  EXPECT_GT(misses, keys.size());
}

TEST(TrieBuilder, CommonPrefixSearchFindsEveryPrefixInOrder) {
  KeyMaker maker(11);
  std::vector<Key> keys = maker.keys(5000);
  std::vector<TrieUnit> units;
  ASSERT_TRUE(build(keys, nullptr, &units));
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  std::map<Key, int> index;
  for (size_t i = 0; i < keys.size(); ++i) index[keys[i]] = static_cast<int>(i);

  size_t multi = 0;
  for (const Key& key : keys) {
    Key query = key;
    Key tail = maker.fresh(5);
    query.insert(query.end(), tail.begin(), tail.end());
    std::vector<Hit> expected;
    for (size_t n = 1; n <= query.size(); ++n) {
      auto found = index.find(Key(query.begin(), query.begin() + n));
      if (found != index.end()) expected.push_back(Hit{found->second, n});
    }
    ASSERT_FALSE(expected.empty());
    if (expected.size() > 1) ++multi;
    EXPECT_TRUE(sameHits(prefixes(trie, query), expected));
    EXPECT_TRUE(sameHits(walk(units, query), expected));
  }
  EXPECT_GT(multi, keys.size() / 10);  // the keys really share prefixes
}

TEST(TrieBuilder, ExplicitValues) {
  KeyMaker maker(3);
  std::vector<Key> keys = maker.keys(2000);
  std::vector<int> values(keys.size());
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<int>(maker.draw(0, INT_MAX));
  values[0] = 0;
  values[1] = INT_MAX;
  values[2] = values[3];  // values need not be distinct
  std::vector<TrieUnit> units;
  ASSERT_TRUE(build(keys, values.data(), &units));
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(exact(trie, keys[i]), values[i]);
    std::vector<Hit> hits = walk(units, keys[i]);
    ASSERT_FALSE(hits.empty());
    EXPECT_EQ(hits.back().value, values[i]);
    EXPECT_EQ(hits.back().length, keys[i].size());
  }
}

TEST(TrieBuilder, HangulKeyAndItsExtension) {
  const Key ga = {0xAC00};              // 가
  const Key gada = {0xAC00, 0xB2E4};    // 가다
  std::vector<TrieUnit> units;
  ASSERT_TRUE(build({ga, gada}, nullptr, &units));
  expectSound({ga, gada}, units);
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  EXPECT_EQ(exact(trie, ga), 0);
  EXPECT_EQ(exact(trie, gada), 1);
  EXPECT_EQ(exact(trie, Key{0xAC08}), -1);           // 갈
  EXPECT_EQ(exact(trie, Key{0xB2E4}), -1);           // 다
  const Key gadaga = {0xAC00, 0xB2E4, 0xAC00};       // 가다가
  std::vector<Hit> expected = {Hit{0, 1}, Hit{1, 2}};
  EXPECT_TRUE(sameHits(prefixes(trie, gadaga), expected));
  EXPECT_TRUE(sameHits(walk(units, gadaga), expected));
  EXPECT_TRUE(prefixes(trie, Key{0xAC08, 0xB2E4}).empty());  // 갈다
}

TEST(TrieBuilder, SingleKeysAtTheEdgesOfTheUnitRange) {
  for (const Key& key : {Key{0xFFFF}, Key{0x0001}, Key{0xFFFF, 0xFFFF, 0xFFFF},
                         Key{0x41, 0xAC00, 0x4E00, 0xFFFF}}) {
    std::vector<TrieUnit> units;
    ASSERT_TRUE(build({key}, nullptr, &units));
    expectSound({key}, units);
    SysTrie trie;
    trie.set_array(units.data(), units.size());
    EXPECT_EQ(exact(trie, key), 0);
    Key shorter(key.begin(), key.end() - 1);
    if (!shorter.empty()) {
      EXPECT_EQ(exact(trie, shorter), -1);
    }
    Key longer = key;
    longer.push_back(0xFFFF);
    EXPECT_EQ(exact(trie, longer), -1);
    EXPECT_TRUE(sameHits(prefixes(trie, longer), {Hit{0, key.size()}}));
    EXPECT_EQ(exact(trie, Key{0xFFFE}), -1);
  }
  std::vector<TrieUnit> units;
  const int value = 41;
  ASSERT_TRUE(build({Key{0xFFFF}}, &value, &units));
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  EXPECT_EQ(exact(trie, Key{0xFFFF}), 41);
}

TEST(TrieBuilder, ZeroTerminatedKeysWithoutLengths) {
  const unsigned short a[] = {0xAC00, 0};
  const unsigned short b[] = {0xAC00, 0xB2E4, 0};
  const unsigned short c[] = {0xB098, 0x41, 0};
  const unsigned short* keys[] = {a, b, c};
  std::vector<TrieUnit> units;
  ASSERT_TRUE(buildTrie(3, keys, nullptr, nullptr, &units));
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  EXPECT_EQ(trie.exactMatchSearch<int>(a), 0);
  EXPECT_EQ(trie.exactMatchSearch<int>(b), 1);
  EXPECT_EQ(trie.exactMatchSearch<int>(c), 2);
}

TEST(TrieBuilder, NoKeysGiveATrieThatFindsNothing) {
  std::vector<TrieUnit> units;
  ASSERT_TRUE(buildTrie(0, nullptr, nullptr, nullptr, &units));
  expectSound({}, units);
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  EXPECT_EQ(exact(trie, Key{0xAC00}), -1);
  EXPECT_EQ(exact(trie, Key{0xFFFF}), -1);
  EXPECT_TRUE(prefixes(trie, Key{0x41, 0xFFFF}).empty());
}

TEST(TrieBuilder, RejectsKeysBreakingTheRules) {
  const Key ga = {0xAC00};
  const Key gada = {0xAC00, 0xB2E4};
  std::vector<TrieUnit> units;
  auto rejected = [&](const std::vector<Key>& keys, const int* values) {
    units.assign(3, TrieUnit{5, 5});
    return !build(keys, values, &units) && units.empty();
  };
  EXPECT_TRUE(rejected({gada, ga}, nullptr));             // extension first
  EXPECT_TRUE(rejected({Key{0xB2E4}, ga}, nullptr));      // unsorted
  EXPECT_TRUE(rejected({Key{0xFFFF}, Key{0x41}}, nullptr));  // units unsigned
  EXPECT_TRUE(rejected({ga, gada, gada}, nullptr));       // duplicate
  EXPECT_TRUE(rejected({ga, ga}, nullptr));
  EXPECT_TRUE(rejected({Key{}, ga}, nullptr));            // empty key
  EXPECT_TRUE(rejected({ga, Key{}}, nullptr));
  EXPECT_TRUE(rejected({Key{0x41, 0, 0x42}}, nullptr));   // unit 0 inside
  const int negative[] = {0, -1};
  EXPECT_TRUE(rejected({ga, gada}, negative));
  const unsigned short* none[] = {nullptr};
  const size_t one[] = {1};
  EXPECT_FALSE(buildTrie(1, none, one, nullptr, &units));
  EXPECT_FALSE(buildTrie(1, nullptr, one, nullptr, &units));
  EXPECT_FALSE(buildTrie(1, none, nullptr, nullptr, &units));
  EXPECT_FALSE(buildTrie(0, nullptr, nullptr, nullptr, nullptr));
  const int fine[] = {0, 1};
  EXPECT_TRUE(build({ga, gada}, fine, &units));
}

TEST(TrieBuilder, HundredThousandHangulKeys) {
  KeyMaker maker(5);
  std::vector<Key> keys;
  while (keys.size() < 100000) {
    Key key(maker.draw(1, 6));
    for (unsigned short& unit : key) unit = maker.unit(0);
    keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<TrieUnit> units;
  ASSERT_TRUE(build(keys, nullptr, &units));
  expectSound(keys, units);
  SysTrie trie;
  trie.set_array(units.data(), units.size());
  for (size_t i = 0; i < keys.size(); ++i)
    ASSERT_EQ(exact(trie, keys[i]), static_cast<int>(i));
  // The array stays compact: at least a quarter of its units are used.
  size_t used = trie.nonzero_size();
  EXPECT_GT(used * 4, units.size());
}

}  // namespace
