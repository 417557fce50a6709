#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "knowledge/knowledge_impl.h"
#include "knowledge/trie_builder.h"

namespace {

typedef std::vector<unsigned short> Key;  // zero-terminated

Key key(const std::u16string& s) {
  Key k(s.begin(), s.end());
  k.push_back(0);
  return k;
}

// A small dictionary in the three on-disk structures. Every record holds one
// morpheme whose text is the key and whose tag is 2 * (record number) + 1, so
// a hit can be told apart by reading its records back.
struct Dict {
  std::vector<TrieUnit> units;
  std::vector<int32_t> index;
  std::vector<unsigned char> dat;
  std::map<std::u16string, std::vector<int>> chains;

  const char* tri() const {
    return reinterpret_cast<const char*>(units.data());
  }
  size_t triSize() const { return units.size() * sizeof(TrieUnit); }
  const char* idx() const {
    return reinterpret_cast<const char*>(index.data());
  }
  size_t idxSize() const { return index.size() * sizeof(int32_t); }
  const char* datp() const { return reinterpret_cast<const char*>(dat.data()); }
};

// Keys with their number of records; chains link forward.
Dict makeDict(std::map<std::u16string, int> entries) {
  Dict d;
  membuf records(64, 64);
  std::vector<Key> keys;
  for (const auto& [surface, count] : entries) {
    std::vector<int>& chain = d.chains[surface];
    for (int r = 0; r < count; ++r) {
      size_t at = records.append_int32(0);
      if (!chain.empty())
        records.write_int32(chain.back(), static_cast<int32_t>(at));
      chain.push_back(static_cast<int>(at));
      records.append_uint8(0);
      records.append_uint32(2u * r + 1);
      records.append_uint8(static_cast<uint8_t>(2 * surface.size() + 1));
      for (char16_t u : surface) records.append_uint16(u);
    }
    d.index.push_back(chain.front());
    keys.push_back(Key(surface.begin(), surface.end()));
  }
  std::vector<const unsigned short*> pointers;
  std::vector<size_t> lengths;
  for (const Key& k : keys) {
    pointers.push_back(k.data());
    lengths.push_back(k.size());
  }
  EXPECT_TRUE(buildTrie(keys.size(), pointers.data(), lengths.data(), nullptr,
                        &d.units));
  d.dat.assign(records.buf(), records.buf() + records.size());
  return d;
}

Dict makeDict(std::initializer_list<std::u16string> surfaces) {
  std::map<std::u16string, int> entries;
  for (const auto& s : surfaces) entries[s] = 1;
  return makeDict(entries);
}

int loadBuffer(KnowledgeImpl* k, const Dict& d) {
  return k->loadFromBuffer(d.tri(), d.triSize(), d.idx(), d.idxSize(), d.datp(),
                           d.dat.size());
}

// The text of the first morpheme of the record at off.
std::u16string textAt(const KnowledgeImpl& k, int off) {
  const membuf* r = k.rdata();
  size_t pos = static_cast<size_t>(off) + 5 +
               (r->read_uint8(static_cast<size_t>(off) + 4) != 0 ? 4 : 0);
  size_t n = r->read_uint8(pos + 4) >> 1;
  std::u16string s;
  for (size_t j = 0; j < n; ++j)
    s += static_cast<char16_t>(r->read_uint16(pos + 5 + 2 * j));
  return s;
}

struct Hit {
  std::u16string text;
  size_t length;
  int final_consonant;
  bool operator==(const Hit& o) const {
    return text == o.text && length == o.length &&
           final_consonant == o.final_consonant;
  }
};

std::ostream& operator<<(std::ostream& os, const Hit& h) {
  os << "{";
  for (char16_t c : h.text)
    os << std::hex << "U+" << static_cast<int>(c) << std::dec << " ";
  return os << "len " << h.length << " final " << h.final_consonant << "}";
}

std::vector<Hit> find(const KnowledgeImpl& k, const std::u16string& s,
                      bool irregular) {
  result_pair_type result[KNOWLEDGE_MAX_HITS];
  Key q = key(s);
  size_t n = k.search(q.data(), result, irregular);
  EXPECT_LE(n, KNOWLEDGE_MAX_HITS);
  std::vector<Hit> hits;
  for (size_t i = 0; i < n && i < KNOWLEDGE_MAX_HITS; ++i)
    hits.push_back({textAt(k, result[i].value), result[i].length,
                    result[i].final_consonant});
  return hits;
}

// searchEach over the first n units of q, each start searched with or
// without the irregular hits by turns: at every start, the hits search()
// finds there that end within the n units, in the same order.
void expectSearchEachAsSearch(const KnowledgeImpl& k, const Key& q, size_t n) {
  ASSERT_LE(n, KNOWLEDGE_MAX_STARTS);
  std::vector<result_pair_type> each(KNOWLEDGE_MAX_HITS * n);
  size_t counts[KNOWLEDGE_MAX_STARTS];
  for (bool firstIrregular : {false, true}) {
    bool irregular[KNOWLEDGE_MAX_STARTS];
    for (size_t i = 0; i < n; ++i)
      irregular[i] = firstIrregular == (i % 2 == 0);
    k.searchEach(q.data(), n, irregular, each.data(), counts);
    for (size_t i = 0; i < n; ++i) {
      result_pair_type alone[KNOWLEDGE_MAX_HITS];
      const size_t found = k.search(q.data() + i, alone, irregular[i]);
      // (record, length, final consonant) of each hit.
      std::vector<std::tuple<int, size_t, int>> expected, got;
      for (size_t h = 0; h < found; ++h)
        if (alone[h].length <= n - i)
          expected.emplace_back(alone[h].value, alone[h].length,
                                alone[h].final_consonant);
      ASSERT_LE(counts[i], KNOWLEDGE_MAX_HITS);
      for (size_t h = 0; h < counts[i]; ++h) {
        const result_pair_type& r = each[KNOWLEDGE_MAX_HITS * i + h];
        got.emplace_back(r.value, r.length, r.final_consonant);
      }
      ASSERT_EQ(got, expected) << "start " << i << " of " << n;
    }
  }
}

// Searches a possibly damaged dictionary and checks that every hit names a
// record inside the loaded buffer and that its chain stays inside it too.
void searchInBounds(const KnowledgeImpl& k, const Key& q, size_t len) {
  expectSearchEachAsSearch(k, q, len);
  result_pair_type result[KNOWLEDGE_MAX_HITS];
  for (bool irregular : {false, true}) {
    size_t n = k.search(q.data(), result, irregular);
    ASSERT_LE(n, KNOWLEDGE_MAX_HITS);
    const int64_t size = static_cast<int64_t>(k.rdata()->size());
    for (size_t i = 0; i < n; ++i) {
      ASSERT_GE(result[i].value, 0);
      ASSERT_LE(int64_t{result[i].value} + 5, size);
      ASSERT_LE(result[i].length, len);
      ASSERT_TRUE(
          result[i].final_consonant == 0 || result[i].final_consonant == 4 ||
          result[i].final_consonant == 8 || result[i].final_consonant == 17);
      int steps = 0;
      for (int r = k.next(result[i].value); r != 0; r = k.next(r)) {
        ASSERT_GE(r, 0);
        ASSERT_LE(int64_t{r} + 5, size);
        ASSERT_LT(++steps, 1 << 20);
      }
    }
  }
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/knowledge_test.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string file(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const void* p, size_t n) {
  std::FILE* fp = std::fopen(path.c_str(), "wb");
  ASSERT_NE(fp, nullptr);
  if (n != 0) {
    ASSERT_EQ(std::fwrite(p, 1, n, fp), n);
  }
  std::fclose(fp);
}

void writeDict(const TempDir& dir, const Dict& d) {
  writeFile(dir.file(KNOWLEDGE_TRIE_FILE), d.tri(), d.triSize());
  writeFile(dir.file(KNOWLEDGE_INDEX_FILE), d.idx(), d.idxSize());
  writeFile(dir.file(KNOWLEDGE_DATA_FILE), d.datp(), d.dat.size());
}

// Reaches the structures a user dictionary fills.
class OpenKnowledge : public KnowledgeImpl {
 public:
  using KnowledgeImpl::clearStructures;
  using KnowledgeImpl::records;
  using KnowledgeImpl::setStructures;
  using KnowledgeImpl::trie;
};

const std::u16string GA = u"가", GADA = u"가다", GAL = u"갈";

TEST(KnowledgeSearch, RhieulIrregularFindsTheSyllableWithoutFinal) {
  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, makeDict({GA, GADA, GAL})), 0);
  EXPECT_EQ(find(k, u"갈다", false), (std::vector<Hit>{{GAL, 1, 0}}));
  EXPECT_EQ(find(k, u"갈다", true),
            (std::vector<Hit>{{GA, 1, 8}, {GAL, 1, 0}}));
  // Ordinary prefixes come shortest first, the whole key last.
  EXPECT_EQ(find(k, u"가다", true),
            (std::vector<Hit>{{GA, 1, 0}, {GADA, 2, 0}}));
  EXPECT_EQ(find(k, u"다", true), std::vector<Hit>{});
}

TEST(KnowledgeSearch, NieunAndBieunIrregularHits) {
  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, makeDict({u"나", u"이", u"학교", u"가"})), 0);
  EXPECT_EQ(find(k, u"난", true), (std::vector<Hit>{{u"나", 1, 4}}));
  EXPECT_EQ(find(k, u"입니다", true), (std::vector<Hit>{{u"이", 1, 17}}));
  // The split syllable may sit deeper in the key.
  EXPECT_EQ(find(k, u"학굘", true), (std::vector<Hit>{{u"학교", 2, 8}}));
  EXPECT_EQ(find(k, u"학굡니다", true), (std::vector<Hit>{{u"학교", 2, 17}}));
  // Without the flag, and for other finals (ㅁ 16, ㄱ 1), nothing.
  EXPECT_EQ(find(k, u"난", false), std::vector<Hit>{});
  EXPECT_EQ(find(k, u"감", true), std::vector<Hit>{});
  EXPECT_EQ(find(k, u"각", true), std::vector<Hit>{});
}

TEST(KnowledgeSearch, IrregularHitPrecedesOrdinaryHitOfSameLength) {
  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, makeDict({u"나", u"난", u"난다"})), 0);
  EXPECT_EQ(find(k, u"난다", true),
            (std::vector<Hit>{{u"나", 1, 4}, {u"난", 1, 0}, {u"난다", 2, 0}}));
  EXPECT_EQ(find(k, u"난다", false),
            (std::vector<Hit>{{u"난", 1, 0}, {u"난다", 2, 0}}));
}

TEST(KnowledgeSearch, StoresAtMostOneHundredHits) {
  std::map<std::u16string, int> entries;
  for (int n = 1; n <= 150; ++n) entries[std::u16string(n, u'가')] = 1;
  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, makeDict(entries)), 0);

  std::vector<Hit> hits = find(k, std::u16string(160, u'가'), true);
  ASSERT_EQ(hits.size(), 100u);
  for (size_t i = 0; i < hits.size(); ++i) {
    EXPECT_EQ(hits[i].length, i + 1);
    EXPECT_EQ(hits[i].text, std::u16string(i + 1, u'가'));
  }
  // The hundredth hit may be an irregular one; the hit after it is dropped.
  hits = find(k, std::u16string(99, u'가') + u"갈", true);
  ASSERT_EQ(hits.size(), 100u);
  EXPECT_EQ(hits[99], (Hit{std::u16string(100, u'가'), 100, 8}));
  hits = find(k, std::u16string(100, u'가') + u"갈", true);
  ASSERT_EQ(hits.size(), 100u);
  EXPECT_EQ(hits[99], (Hit{std::u16string(100, u'가'), 100, 0}));
}

TEST(KnowledgeSearch, SearchEachFindsWhatEachStartFinds) {
  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, makeDict({GA, GADA, GAL, u"나", u"난", u"난다", u"이",
                                     u"학교", u"교", u"에서", u"다"})),
            0);
  for (const char16_t* s : {u"갈다", u"난다가갈다", u"학굘", u"x가다", u"가",
                            u"학교에서난다", u"입니다학굡니다"}) {
    const Key q = key(s);
    // The whole text, and texts cut short inside it: hits past the cut
    // are not kept.
    for (size_t n = 1; n < q.size(); ++n) expectSearchEachAsSearch(k, q, n);
  }
  // Every start of a text as long as a word may be.
  std::map<std::u16string, int> entries;
  for (int n = 1; n <= 150; ++n) entries[std::u16string(n, u'가')] = 1;
  KnowledgeImpl many;
  ASSERT_EQ(loadBuffer(&many, makeDict(entries)), 0);
  expectSearchEachAsSearch(many, key(std::u16string(160, u'가')),
                           KNOWLEDGE_MAX_STARTS);
  const std::u16string withIrregular =
      std::u16string(60, u'가') + u"갈" + std::u16string(50, u'가');
  expectSearchEachAsSearch(many, key(withIrregular), KNOWLEDGE_MAX_STARTS);
}

TEST(KnowledgeSearch, EmptyDictionaryFindsNothing) {
  result_pair_type result[KNOWLEDGE_MAX_HITS];
  Key q = key(GA);
  KnowledgeImpl fresh;
  EXPECT_EQ(fresh.search(q.data(), result, true), 0u);
  EXPECT_EQ(fresh.next(0), 0);
  ASSERT_NE(fresh.rdata(), nullptr);
  EXPECT_EQ(fresh.rdata()->size(), 0u);

  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, makeDict({GA})), 0);
  EXPECT_EQ(k.search(nullptr, result, true), 0u);
  Key empty = key(u"");
  EXPECT_EQ(k.search(empty.data(), result, true), 0u);
  // An empty unit array, and zero-filled units, answer nothing.
  ASSERT_EQ(k.loadFromBuffer(nullptr, 0, nullptr, 0, nullptr, 0), 0);
  EXPECT_EQ(k.search(q.data(), result, true), 0u);
  std::vector<TrieUnit> zeros(70000, TrieUnit{0, 0});
  std::vector<int32_t> index(4, 0);
  ASSERT_EQ(k.loadFromBuffer(reinterpret_cast<const char*>(zeros.data()),
                             zeros.size() * 8,
                             reinterpret_cast<const char*>(index.data()), 16,
                             "0123456789", 10),
            0);
  EXPECT_EQ(k.search(q.data(), result, true), 0u);
}

TEST(KnowledgeSearch, StructuresSetDirectlyAndThroughDarts) {
  Dict d = makeDict({GA, GADA, GAL});
  OpenKnowledge k;
  k.records().append(d.dat.data(), d.dat.size());
  k.setStructures(std::vector<TrieUnit>(d.units),
                  std::vector<int32_t>(d.index));
  EXPECT_EQ(find(k, u"갈다", true),
            (std::vector<Hit>{{GA, 1, 8}, {GAL, 1, 0}}));
  // darts' own readers walk the same units.
  Key ga(GADA.begin(), GADA.end());
  EXPECT_EQ(k.trie().exactMatchSearch<int>(ga.data(), ga.size()), 1);
  EXPECT_EQ(k.trie().size(), d.units.size());
  k.clearStructures();
  EXPECT_EQ(find(k, u"갈다", true), std::vector<Hit>{});
  EXPECT_EQ(k.trie().array(), nullptr);

  // A trie laid out by another builder, without spare units at its end:
  // probes past the last unit find no child.
  std::vector<TrieUnit> units(0x15F01, TrieUnit{0, 0});
  units[0] = {1, 0};
  units[1 + 0xAC00 + 1] = {0xAC10, 1};             // 가
  units[1 + 0xAC08 + 1] = {0xAC20, 1};             // 갈
  units[0xAC10] = {-1, 0xAC10};                    // 가 ends a key: value 0
  units[0xAC10 + 0xB2E4 + 1] = {0x15F00, 0xAC10};  // 가다
  units[0x15F00] = {-2, 0x15F00};                  // value 1
  units[0xAC20] = {-3, 0xAC20};                    // value 2
  KnowledgeImpl k2;
  ASSERT_EQ(k2.loadFromBuffer(reinterpret_cast<const char*>(units.data()),
                              units.size() * 8, d.idx(), d.idxSize(), d.datp(),
                              d.dat.size()),
            0);
  EXPECT_EQ(find(k2, u"갈다", true),
            (std::vector<Hit>{{GA, 1, 8}, {GAL, 1, 0}}));
  EXPECT_EQ(find(k2, u"가다\xffff", false),
            (std::vector<Hit>{{GA, 1, 0}, {GADA, 2, 0}}));
}

TEST(KnowledgeLoad, LoadsDirectoryWithOrWithoutTrailingSlash) {
  TempDir dir;
  writeDict(dir, makeDict({GA, GADA, GAL}));
  Knowledge* k = Knowledge::createObject();
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->load(dir.path().c_str()), 0);
  EXPECT_EQ(k->load((dir.path() + "/").c_str()), 0);
  const KnowledgeImpl* impl = static_cast<KnowledgeImpl*>(k);
  EXPECT_EQ(find(*impl, u"갈다", true),
            (std::vector<Hit>{{GA, 1, 8}, {GAL, 1, 0}}));
  Knowledge::destroyObject(k);
  Knowledge::destroyObject(nullptr);
}

TEST(KnowledgeLoad, ReportsEachFailure) {
  Dict d = makeDict({GA, GADA, GAL});
  KnowledgeImpl k;
  EXPECT_EQ(k.load(nullptr), -1);
  EXPECT_EQ(k.load("/nonexistent/knowledge"), -1);
  // An overlong directory is cut, not overrun.
  EXPECT_EQ(k.load(std::string(5000, 'd').c_str()), -1);

  TempDir dir;
  const char* p = dir.path().c_str();
  EXPECT_EQ(k.load(p), -1);
  writeFile(dir.file(KNOWLEDGE_TRIE_FILE), d.tri(), d.triSize());
  EXPECT_EQ(k.load(p), -2);
  writeFile(dir.file(KNOWLEDGE_INDEX_FILE), d.idx(), 10);
  EXPECT_EQ(k.load(p), -3);
  writeFile(dir.file(KNOWLEDGE_INDEX_FILE), d.idx(), d.idxSize());
  EXPECT_EQ(k.load(p), -2);
  writeFile(dir.file(KNOWLEDGE_DATA_FILE), d.datp(), d.dat.size());
  EXPECT_EQ(k.load(p), 0);

  // Directories in place of files cannot be read.
  for (const char* name :
       {KNOWLEDGE_TRIE_FILE, KNOWLEDGE_INDEX_FILE, KNOWLEDGE_DATA_FILE}) {
    TempDir bad;
    writeDict(bad, d);
    std::filesystem::remove(bad.file(name));
    std::filesystem::create_directory(bad.file(name));
    EXPECT_EQ(k.load(bad.path().c_str()),
              std::strcmp(name, KNOWLEDGE_TRIE_FILE) == 0 ? -1 : -2)
        << name;
    searchInBounds(k, key(u"갈다"), 2);
  }
  // A sys.tri of 8n + 3 bytes holds n units.
  writeFile(dir.file(KNOWLEDGE_TRIE_FILE), d.tri(), d.triSize() - 5);
  EXPECT_EQ(k.load(p), 0);
  EXPECT_EQ(find(k, u"가다", false),
            (std::vector<Hit>{{GA, 1, 0}, {GADA, 2, 0}}));
}

TEST(KnowledgeLoad, ReloadReplacesContents) {
  TempDir a, b;
  Dict da = makeDict({GA, GAL});
  Dict db = makeDict({u"나", u"난"});
  writeDict(a, da);
  writeDict(b, db);
  KnowledgeImpl k;
  ASSERT_EQ(k.load(a.path().c_str()), 0);
  EXPECT_EQ(find(k, u"갈", true).size(), 2u);
  ASSERT_EQ(k.load(b.path().c_str()), 0);
  EXPECT_EQ(find(k, u"갈", true), std::vector<Hit>{});
  EXPECT_EQ(find(k, u"난", true),
            (std::vector<Hit>{{u"나", 1, 4}, {u"난", 1, 0}}));
  EXPECT_EQ(k.rdata()->size(), db.dat.size());
  ASSERT_EQ(loadBuffer(&k, da), 0);
  EXPECT_EQ(find(k, u"난", true), std::vector<Hit>{});
  EXPECT_EQ(find(k, u"갈", true), (std::vector<Hit>{{GA, 1, 8}, {GAL, 1, 0}}));
  EXPECT_EQ(k.rdata()->size(), da.dat.size());
}

TEST(KnowledgeLoad, FilesRenamedOverALoadedDictionaryLeaveItIntact) {
  TempDir dir;
  writeDict(dir, makeDict({GA, GAL}));
  KnowledgeImpl k;
  ASSERT_EQ(k.load(dir.path().c_str()), 0);
  // The new files are written beside the old and renamed over them, as the
  // builders replace a dictionary.
  Dict next = makeDict({u"나", u"난"});
  TempDir staging;
  writeDict(staging, next);
  for (const char* name :
       {KNOWLEDGE_TRIE_FILE, KNOWLEDGE_INDEX_FILE, KNOWLEDGE_DATA_FILE}) {
    std::filesystem::rename(staging.file(name), dir.file(name));
  }
  EXPECT_EQ(find(k, u"갈", true), (std::vector<Hit>{{GA, 1, 8}, {GAL, 1, 0}}));
  ASSERT_EQ(k.load(dir.path().c_str()), 0);
  EXPECT_EQ(find(k, u"갈", true), std::vector<Hit>{});
  EXPECT_EQ(find(k, u"난", true),
            (std::vector<Hit>{{u"나", 1, 4}, {u"난", 1, 0}}));

  // Structures built in memory replace the loaded ones; so does clearing.
  OpenKnowledge open;
  ASSERT_EQ(open.load(dir.path().c_str()), 0);
  open.clearStructures();
  EXPECT_EQ(open.rdata()->size(), 0u);
  EXPECT_EQ(open.records().append_uint8(1), 0u);
  EXPECT_EQ(find(open, u"난", true), std::vector<Hit>{});
}

TEST(KnowledgeLoadFromBuffer, CopiesAndRejectsBadArguments) {
  KnowledgeImpl k;
  {
    auto d = std::make_unique<Dict>(makeDict({GA, GADA, GAL}));
    ASSERT_EQ(loadBuffer(&k, *d), 0);
    std::fill(d->units.begin(), d->units.end(), TrieUnit{-1, 0});
    std::fill(d->dat.begin(), d->dat.end(), 0xff);
  }  // the caller's images are gone
  const std::vector<Hit> expected = {{GA, 1, 8}, {GAL, 1, 0}};
  EXPECT_EQ(find(k, u"갈다", true), expected);

  Dict other = makeDict({u"나"});
  EXPECT_EQ(k.loadFromBuffer(other.tri(), other.triSize(), other.idx(), 10,
                             other.datp(), other.dat.size()),
            -2);
  EXPECT_EQ(k.loadFromBuffer(nullptr, 64, other.idx(), 4, other.datp(),
                             other.dat.size()),
            -1);
  EXPECT_EQ(k.loadFromBuffer(other.tri(), other.triSize(), nullptr, 4,
                             other.datp(), other.dat.size()),
            -2);
  EXPECT_EQ(k.loadFromBuffer(other.tri(), other.triSize(), other.idx(), 4,
                             nullptr, 12),
            -2);
  // None of the rejected calls touched the loaded dictionary.
  EXPECT_EQ(find(k, u"갈다", true), expected);
}

TEST(KnowledgeNext, FollowsChainsAndStaysInRange) {
  Dict d = makeDict(std::map<std::u16string, int>{{GA, 3}, {GAL, 1}});
  KnowledgeImpl k;
  ASSERT_EQ(loadBuffer(&k, d), 0);
  const std::vector<int>& chain = d.chains[GA];
  EXPECT_EQ(k.next(chain[0]), chain[1]);
  EXPECT_EQ(k.next(chain[1]), chain[2]);
  EXPECT_EQ(k.next(chain[2]), 0);
  EXPECT_EQ(k.next(d.chains[GAL][0]), 0);
  EXPECT_EQ(k.rdata()->read_uint32(chain[2] + 5), 5u);  // third record's tag

  const int size = static_cast<int>(d.dat.size());
  for (int off : {-1, -4, INT_MIN, size, size - 3, size - 4, INT_MAX})
    EXPECT_EQ(k.next(off), 0) << off;

  // Links backward, to themselves, or past the buffer end the chain.
  for (int32_t link : {chain[0], chain[1], size, size - 2, -8, INT_MAX}) {
    Dict bad = d;
    std::memcpy(&bad.dat[chain[1]], &link, 4);
    ASSERT_EQ(loadBuffer(&k, bad), 0);
    EXPECT_EQ(k.next(chain[0]), chain[1]);
    EXPECT_EQ(k.next(chain[1]), 0) << link;
  }
}

TEST(KnowledgeDamaged, IndexEntriesOutOfRangeGiveNoHit) {
  Dict d = makeDict({GA, GADA, GAL});
  KnowledgeImpl k;
  const int size = static_cast<int>(d.dat.size());
  for (int32_t entry : {-1, INT_MIN, size, size - 4, INT_MAX}) {
    Dict bad = d;
    bad.index[0] = entry;  // 가
    ASSERT_EQ(loadBuffer(&k, bad), 0);
    EXPECT_EQ(find(k, u"갈다", true), (std::vector<Hit>{{GAL, 1, 0}})) << entry;
    EXPECT_EQ(find(k, u"가다", false), (std::vector<Hit>{{GADA, 2, 0}}))
        << entry;
  }
  // Trie values past the end of the index (갈 is value 2).
  Dict shortIndex = d;
  shortIndex.index.resize(2);
  ASSERT_EQ(loadBuffer(&k, shortIndex), 0);
  EXPECT_EQ(find(k, u"갈다", true), (std::vector<Hit>{{GA, 1, 8}}));
  // A trie value beyond int range of the index (base INT_MIN).
  Dict minBase = d;
  for (TrieUnit& u : minBase.units)
    if (u.base == -3) u.base = INT_MIN;
  ASSERT_EQ(loadBuffer(&k, minBase), 0);
  EXPECT_EQ(find(k, u"갈다", true), (std::vector<Hit>{{GA, 1, 8}}));
}

// Unit positions that the dictionary uses, with their neighbours.
std::vector<size_t> usedUnits(const Dict& d) {
  std::vector<size_t> used = {0, 1, 2};
  for (size_t i = 0; i < d.units.size(); ++i)
    if (d.units[i].base != 0 || d.units[i].check != 0)
      used.insert(used.end(), {i, i + 1});
  return used;
}

std::vector<Key> probeKeys() {
  std::vector<Key> keys;
  for (const char16_t* s : {u"갈다", u"가다", u"가", u"갈", u"난다", u"학굘",
                            u"학교에서", u"가다가", u"\xffff\xffff", u"a"})
    keys.push_back(key(s));
  return keys;
}

TEST(KnowledgeDamaged, TruncatedTrieStaysInBounds) {
  Dict d = makeDict({GA, GADA, GAL, u"난", u"학교", u"학교에서"});
  std::vector<size_t> cuts = usedUnits(d);
  std::mt19937 rng(7);
  for (int i = 0; i < 100; ++i) cuts.push_back(rng() % d.units.size());
  KnowledgeImpl k;
  for (size_t units : cuts) {
    units = std::min(units, d.units.size());
    for (size_t extra : {0, 3}) {
      ASSERT_EQ(k.loadFromBuffer(d.tri(), units * 8 + extra, d.idx(),
                                 d.idxSize(), d.datp(), d.dat.size()),
                0);
      for (const Key& q : probeKeys()) searchInBounds(k, q, q.size() - 1);
    }
  }
  // The same through files.
  TempDir dir;
  writeDict(dir, d);
  for (size_t bytes : {size_t{0}, size_t{7}, size_t{8}, size_t{17},
                       d.triSize() / 2, d.triSize() - 1}) {
    std::filesystem::resize_file(dir.file(KNOWLEDGE_TRIE_FILE), bytes);
    ASSERT_EQ(k.load(dir.path().c_str()), 0);
    for (const Key& q : probeKeys()) searchInBounds(k, q, q.size() - 1);
  }
}

TEST(KnowledgeDamaged, RandomCorruptionStaysInBounds) {
  Dict d = makeDict({GA, GADA, GAL, u"난", u"학교", u"학교에서"});
  std::vector<size_t> used = usedUnits(d);
  std::mt19937 rng(11);
  const int32_t extremes[] = {INT_MIN,
                              INT_MAX,
                              -1,
                              -2,
                              static_cast<int32_t>(d.units.size()),
                              static_cast<int32_t>(d.units.size()) - 1,
                              0};
  KnowledgeImpl k;
  for (int round = 0; round < 300; ++round) {
    Dict bad = d;
    for (int f = 0; f < 4; ++f) {
      size_t at = used[rng() % used.size()] % bad.units.size();
      uint32_t* word = reinterpret_cast<uint32_t*>(&bad.units[at]) + rng() % 2;
      if (rng() % 3 == 0) {
        bad.units[at].base = extremes[rng() % 7];
      } else {
        *word ^= 1u << (rng() % 32);
      }
    }
    // Damage the index and the records as well.
    bad.index[rng() % bad.index.size()] ^= 1 << (rng() % 32);
    bad.dat[rng() % bad.dat.size()] ^=
        static_cast<unsigned char>(1u << (rng() % 8));
    bad.dat.resize(bad.dat.size() - rng() % 8);
    ASSERT_EQ(loadBuffer(&k, bad), 0);
    for (const Key& q : probeKeys()) searchInBounds(k, q, q.size() - 1);
    Key random(1 + rng() % 6, 0);
    for (size_t j = 0; j + 1 < random.size(); ++j)
      random[j] = static_cast<unsigned short>(rng() % 2 ? 0xAC00 + rng() % 11172
                                                        : 1 + rng() % 0xFFFF);
    searchInBounds(k, random, random.size() - 1);
  }
}

}  // namespace
