#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <cstdint>
#include <string>
#include <vector>

#include "knowledge/trie_builder.h"
#include "model_fixture.h"
#include "tagger/model_impl.h"
#include "tagger/model_trainer.h"

namespace {

void writeUnits(const std::string& path, const std::vector<TrieUnit>& units) {
  writeBytes(path, units.data(), units.size() * sizeof(TrieUnit));
}

std::vector<std::string> rulesOf(const ModelImpl& model) {
  std::vector<std::string> rules;
  for (size_t i = 0; i < model.ruleCount(); ++i) rules.push_back(model.rule(i));
  return rules;
}

bool wild(const char* pattern, const char* text) {
  return uwildcard<char>(pattern, text);
}

}  // namespace

TEST(Uwildcard, MatchesWholeStrings) {
  EXPECT_TRUE(wild("", ""));
  EXPECT_FALSE(wild("", "a"));
  EXPECT_TRUE(wild("abc", "abc"));
  EXPECT_FALSE(wild("abc", "abcd"));
  EXPECT_FALSE(wild("abc", "ab"));
  EXPECT_FALSE(wild("abc", "aBc"));
}

TEST(Uwildcard, StarAndQuestionMark) {
  EXPECT_TRUE(wild("*", ""));
  EXPECT_TRUE(wild("*", "anything"));
  EXPECT_TRUE(wild("a*", "a"));
  EXPECT_TRUE(wild("a*", "abc"));
  EXPECT_FALSE(wild("a*", "ba"));
  EXPECT_TRUE(wild("a*b", "ab"));
  EXPECT_TRUE(wild("a*b", "axxb"));
  EXPECT_FALSE(wild("a*b", "a"));
  EXPECT_FALSE(wild("a*b", "axxbc"));
  EXPECT_TRUE(wild("a?b", "axb"));
  EXPECT_FALSE(wild("a?b", "ab"));
  EXPECT_FALSE(wild("a?b", "axxb"));
  EXPECT_FALSE(wild("a?", "a"));
  // A star followed by more pattern needs a character to its right.
  EXPECT_FALSE(wild("a**", "a"));
  EXPECT_TRUE(wild("a**", "ab"));
  EXPECT_FALSE(wild("*?", ""));
  EXPECT_TRUE(wild("*?", "x"));
  EXPECT_TRUE(wild("*/vv*", "/nng+/vv+/ef"));
  EXPECT_FALSE(wild("*/vv*", "/nng+/ef"));

  const unsigned short pattern[] = {0xD559, '*', 0};
  const unsigned short text[] = {0xD559, 0xAD50, 0};
  const unsigned short other[] = {0xAD50, 0xD559, 0};
  EXPECT_TRUE(uwildcard(pattern, text));
  EXPECT_FALSE(uwildcard(pattern, other));
}

TEST(ModelRules, PatternFileLines) {
  TempDir temp;
  const std::string& dir = temp.path();
  ASSERT_FALSE(dir.empty());
  const std::string lf = dir + "/lf.rul";
  const std::string crlf = dir + "/crlf.rul";
  writeText(lf,
            "; a comment\n"
            " ignored after a space\n"
            "\tTAB*\n"
            "trailing  \t\n"
            "\t\t\n"
            "\n\n"
            "  \n"
            "X?Y\n"
            "last");
  writeText(crlf,
            "; a comment\r\n"
            " ignored after a space\r\n"
            "\tTAB*\r\n"
            "trailing  \t\r\n"
            "\t\t\r\n"
            "\r\n\r\n"
            "  \r\n"
            "X?Y\r\n"
            "last\r\n");
  const std::vector<std::string> expected = {"TAB*", "trailing", "X?Y", "last"};

  ModelImpl a;
  ASSERT_EQ(a.loadRuleTagSequence(lf.c_str()), 0);
  EXPECT_EQ(rulesOf(a), expected);
  ModelImpl b;
  ASSERT_EQ(b.loadRuleTagSequence(crlf.c_str()), 0);
  EXPECT_EQ(rulesOf(b), expected);

  EXPECT_TRUE(a.matchTagSequence("TABLE"));
  EXPECT_TRUE(a.matchTagSequence("XzY"));
  EXPECT_TRUE(a.matchTagSequence("last"));
  EXPECT_FALSE(a.matchTagSequence("trailing "));
  EXPECT_FALSE(a.matchTagSequence("ignored after a space"));
  EXPECT_FALSE(a.matchTagSequence("; a comment"));
  EXPECT_FALSE(a.matchTagSequence(nullptr));

  // A second file adds its patterns after the first ones.
  writeText(dir + "/more.rul", "more\n");
  ASSERT_EQ(a.loadRuleTagSequence((dir + "/more.rul").c_str()), 0);
  ASSERT_EQ(a.ruleCount(), 5u);
  EXPECT_STREQ(a.rule(4), "more");
  EXPECT_STREQ(a.rule(0), "TAB*");

  EXPECT_EQ(a.loadRuleTagSequence((dir + "/absent.rul").c_str()), -1);
  EXPECT_EQ(a.loadRuleTagSequence(dir.c_str()), -1);
  EXPECT_EQ(a.ruleCount(), 5u);
}

TEST(ModelLoad, FilesAndFailures) {
  TempDir temp;
  const std::string& dir = temp.path();
  ASSERT_FALSE(dir.empty());
  KeyCounts mcounts = {{"BOM", 7}, {"BOM:/n_", 3}, {"/n_", 5}};
  KeyCounts ecounts = {{"BOE", 2}, {"EOE", 1}, {"BOE:/n_", 2}};
  ModelTrie mtable, etable;
  std::string message;
  ASSERT_TRUE(buildModelTable(mcounts, &mtable, &message)) << message;
  ASSERT_TRUE(buildModelTable(ecounts, &etable, &message)) << message;

  // Only mtrans.frq: the load fails.
  ASSERT_EQ(mtable.save((dir + "/mtrans.frq").c_str()), 0);
  ModelImpl model;
  EXPECT_EQ(model.load(dir.c_str()), -1);
  EXPECT_EQ(model.getMorphemeTransitionBOM(), 0);
  EXPECT_EQ(model.getMorphemeTransition("BOM"), 7);  // mtrans stays loaded

  // Both tables without tagseq.rul: loads, no pattern matches.
  ASSERT_EQ(etable.save((dir + "/etrans.frq").c_str()), 0);
  EXPECT_EQ(model.load(dir.c_str()), 0);
  EXPECT_EQ(model.ruleCount(), 0u);
  EXPECT_FALSE(model.matchTagSequence(""));
  EXPECT_FALSE(model.matchTagSequence("/n_"));
  EXPECT_EQ(model.getMorphemeTransitionBOM(), 7);
  EXPECT_EQ(model.getEojulTransitionBOE(), 2);
  EXPECT_EQ(model.getEojulTransitionEOE(), 1);
  EXPECT_EQ(model.getMorphemeTransition("BOM:/n_"), 3);
  EXPECT_EQ(model.getEojulTransition("BOE:/n_"), 2);
  EXPECT_EQ(model.getMorphemeTransition("BOE"), 0);  // the other table
  EXPECT_EQ(model.getEojulTransition("BO"), 0);      // a prefix only
  EXPECT_EQ(model.getEojulTransition("BOEX"), 0);
  EXPECT_EQ(model.getEojulTransition(""), 0);
  EXPECT_EQ(model.getEojulTransition(nullptr), 0);

  // With a pattern file.
  writeText(dir + "/tagseq.rul", "/n_*\n");
  ModelImpl withRules;
  EXPECT_EQ(withRules.load(dir.c_str()), 0);
  EXPECT_TRUE(withRules.matchTagSequence("/n_+/jks"));

  // A directory where a table should be, a null or too long directory.
  ModelImpl other;
  const std::string sub = dir + "/sub";
  ASSERT_EQ(mkdir(sub.c_str(), 0777), 0);
  ASSERT_EQ(mkdir((sub + "/mtrans.frq").c_str(), 0777), 0);
  EXPECT_EQ(other.load(sub.c_str()), -1);
  EXPECT_EQ(other.load(nullptr), -1);
  EXPECT_EQ(other.load(std::string(5000, 'd').c_str()), -1);
  EXPECT_EQ(other.load((dir + "/absent").c_str()), -1);
  EXPECT_EQ(other.getMorphemeTransition("BOM"), 0);
}

TEST(ModelLoad, UnloadedModelLooksUpNothing) {
  ModelImpl model;
  EXPECT_EQ(model.getMorphemeTransition("BOM"), 0);
  EXPECT_EQ(model.getEojulTransition("BOE"), 0);
  EXPECT_EQ(model.getEojulTransition(""), 0);
  EXPECT_EQ(model.getMorphemeTransitionBOM(), 0);
  EXPECT_EQ(model.getEojulTransitionBOE(), 0);
  EXPECT_EQ(model.getEojulTransitionEOE(), 0);
  EXPECT_FALSE(model.matchTagSequence("anything"));
}

TEST(ModelTable, BuiltTableFindsEveryKey) {
  // Prefixes, extensions, multi-byte UTF-8 and bytes above 0x7F.
  KeyCounts counts = {{"a", 1},           {"ab", 2},          {"abc", 3},
                      {"b", 4},           {"학교/n_", 5},     {"/n_", 6},
                      {"학교/n_:에/jkb", 7}, {"\xff\xfe", 8},   {"z", INT_MAX}};
  ModelTrie table;
  std::string message;
  ASSERT_TRUE(buildModelTable(counts, &table, &message)) << message;
  for (const auto& entry : counts) {
    const auto* key = reinterpret_cast<const unsigned char*>(entry.first.data());
    EXPECT_EQ(ModelImpl::findInTable(table, key, entry.first.size()),
              entry.second)
        << entry.first;
  }
  const char* absent[] = {"abcd", "ac", "학", "학교", "/n", "\xff", "c"};
  for (const char* key : absent)
    EXPECT_EQ(ModelImpl::findInTable(
                  table, reinterpret_cast<const unsigned char*>(key),
                  std::strlen(key)),
              -1)
        << key;
}

TEST(ModelTable, WalkInStepsEqualsWholeKeySearch) {
  KeyCounts counts = {{"a", 1},          {"ab", 2},           {"a:b", 3},
                      {"학교/n_", 5},    {"학교/n_:에/jkb", 7}, {"/n_:/jkb", 9},
                      {"/n_:에/jkb", 11}, {"\xff:\xfe", 8}};
  ModelTrie table;
  std::string message;
  ASSERT_TRUE(buildModelTable(counts, &table, &message)) << message;
  const auto bytes = [](const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  };
  // Every split of present and absent keys: the left part walked first,
  // then the rest from the state it left, gives the whole key's value.
  const std::vector<std::string> keys = {
      "a", "ab", "a:b", "a:c", "학교/n_:에/jkb", "학교/n_:에", "/n_:/jkb",
      "/n_:에/jkb", "\xff:\xfe", "\xff:", "zz:a", "abc"};
  for (const std::string& key : keys) {
    const int whole = ModelImpl::findInTable(table, bytes(key), key.size());
    for (size_t cut = 0; cut <= key.size(); ++cut) {
      const int64_t left = ModelImpl::tableWalk(
          table, ModelImpl::tableRoot(table), bytes(key), cut);
      const int64_t all = ModelImpl::tableWalk(table, left, bytes(key) + cut,
                                               key.size() - cut);
      EXPECT_EQ(ModelImpl::tableValue(table, all), whole) << key << " " << cut;
    }
  }
  // A miss stays a miss, whatever follows; an empty table misses at once.
  const int64_t miss = ModelImpl::tableWalk(table, ModelImpl::tableRoot(table),
                                            bytes("q"), 1);
  EXPECT_EQ(miss, ModelImpl::TABLE_MISS);
  EXPECT_EQ(ModelImpl::tableWalk(table, miss, bytes(""), 0),
            ModelImpl::TABLE_MISS);
  EXPECT_EQ(ModelImpl::tableValue(table, miss), -1);
  ModelTrie empty;
  EXPECT_EQ(ModelImpl::tableRoot(empty), ModelImpl::TABLE_MISS);
  EXPECT_EQ(ModelImpl::tableValue(empty, ModelImpl::tableRoot(empty)), -1);
}

// Walks run together end where each would end alone: keys of every length,
// present, absent and cut anywhere, from the root, from a partial state and
// from a miss, in one batch.
TEST(ModelTable, WalksTogetherEqualWalksAlone) {
  KeyCounts counts = {{"a", 1},       {"ab", 2},          {"a:b", 3},
                      {"학교/n_", 5}, {"학교/n_:에/jkb", 7}, {"\xff:\xfe", 8}};
  ModelTrie table;
  std::string message;
  ASSERT_TRUE(buildModelTable(counts, &table, &message)) << message;
  const auto bytes = [](const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  };
  const std::vector<std::string> keys = {
      "a", "ab", "a:b", "a:c", "학교/n_:에/jkb", "학교/n_:에", "\xff:\xfe",
      "zz:a", "abc", ""};
  std::vector<ModelImpl::TableWalk> walks;
  std::vector<int64_t> alone;
  const int64_t root = ModelImpl::tableRoot(table);
  for (const std::string& key : keys) {
    for (size_t cut = 0; cut <= key.size(); ++cut) {
      const int64_t left = ModelImpl::tableWalk(table, root, bytes(key), cut);
      walks.push_back({left, bytes(key) + cut, key.size() - cut});
      alone.push_back(ModelImpl::tableWalk(table, left, bytes(key) + cut,
                                           key.size() - cut));
    }
    walks.push_back({ModelImpl::TABLE_MISS, bytes(key), key.size()});
    alone.push_back(ModelImpl::TABLE_MISS);
  }
  ModelImpl::tableWalks(table, walks.data(), walks.size());
  for (size_t w = 0; w < walks.size(); ++w)
    EXPECT_EQ(walks[w].state, alone[w]) << w;
  // No walks at all, and walks over an empty table.
  ModelImpl::tableWalks(table, nullptr, 0);
  ModelTrie empty;
  ModelImpl::TableWalk none{ModelImpl::tableRoot(empty), bytes("a"), 1};
  ModelImpl::tableWalks(empty, &none, 1);
  EXPECT_EQ(none.state, ModelImpl::TABLE_MISS);
}

// Walks over two tables at once end where each ends alone in its own
// table; the keys found in one table are missing from or count differently
// in the other, and there are more walks than go at once, so that the
// window refills across the split.
TEST(ModelTable, WalksOverTwoTablesEqualWalksAlone) {
  ModelTrie first;
  ModelTrie second;
  std::string message;
  ASSERT_TRUE(buildModelTable({{"a", 1}, {"a:b", 2}, {"학교/n_:에/jkb", 3}},
                              &first, &message))
      << message;
  ASSERT_TRUE(buildModelTable({{"a", 4}, {"a:c", 5}, {"학교/n_", 6}}, &second,
                              &message))
      << message;
  const auto bytes = [](const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  };
  const std::vector<std::string> keys = {"a",     "a:b", "a:c", "학교/n_",
                                         "학교/n_:에/jkb", "zz"};
  std::vector<ModelImpl::TableWalk> walks;
  std::vector<int64_t> alone;
  for (const ModelTrie* table : {&first, &second}) {
    const int64_t root = ModelImpl::tableRoot(*table);
    for (int round = 0; round < 4; ++round) {
      for (const std::string& key : keys) {
        const size_t cut = round % 2 == 0 ? 0 : key.size() / 2;
        const int64_t left =
            ModelImpl::tableWalk(*table, root, bytes(key), cut);
        walks.push_back({left, bytes(key) + cut, key.size() - cut});
        alone.push_back(ModelImpl::tableWalk(*table, left, bytes(key) + cut,
                                             key.size() - cut));
      }
    }
  }
  const size_t split = walks.size() / 2;
  ASSERT_GT(walks.size(), 32u);
  ModelImpl::tableWalks(first, split, second, walks.data(), walks.size());
  for (size_t w = 0; w < walks.size(); ++w)
    EXPECT_EQ(walks[w].state, alone[w]) << w;
  EXPECT_EQ(ModelImpl::tableValue(first, walks[1].state), 2);   // a:b
  EXPECT_EQ(ModelImpl::tableValue(second, walks[split + 2].state), 5);  // a:c
  EXPECT_EQ(walks[split + 1].state, ModelImpl::TABLE_MISS);  // a:b
}

TEST(ModelTable, DamagedFilesStayInBounds) {
  TempDir temp;
  const std::string& dir = temp.path();
  ASSERT_FALSE(dir.empty());
  const std::string mpath = dir + "/mtrans.frq";
  const std::string epath = dir + "/etrans.frq";

  // A good eojeol table for every case.
  ModelTrie etable;
  std::string message;
  ASSERT_TRUE(buildModelTable({{"BOE", 3}}, &etable, &message));
  ASSERT_EQ(etable.save(epath.c_str()), 0);

  // One unit whose base sends every step far past the array.
  writeUnits(mpath, {{1000000, 0}});
  ModelImpl far;
  ASSERT_EQ(far.load(dir.c_str()), 0);
  EXPECT_EQ(far.getMorphemeTransition("BOM"), 0);
  {
    const unsigned char* key = reinterpret_cast<const unsigned char*>("BOM");
    ModelImpl::TableWalk walks[2] = {
        {ModelImpl::tableRoot(far.morphemeTable()), key, 3},
        {0, key, 1}};
    ModelImpl::tableWalks(far.morphemeTable(), walks, 2);
    EXPECT_EQ(walks[0].state, ModelImpl::TABLE_MISS);
    EXPECT_EQ(walks[1].state, ModelImpl::TABLE_MISS);
  }
  EXPECT_EQ(far.getMorphemeTransition("\xff\xff\xff"), 0);
  EXPECT_EQ(far.getEojulTransitionBOE(), 3);

  // A negative base wraps the step index around to a huge unsigned value.
  writeUnits(mpath, {{-5, 0}, {0, 0}});
  ModelImpl negative;
  ASSERT_EQ(negative.load(dir.c_str()), 0);
  EXPECT_EQ(negative.getMorphemeTransition("B"), 0);

  // A chain whose last transition is valid but whose end node lies outside.
  // Root base 0: byte 'A' (65) is unit 66 with check 0 and base 500.
  std::vector<TrieUnit> chain(67, TrieUnit{0, 0xFFFFFFFFu});
  chain[66] = {500, 0};
  writeUnits(mpath, chain);
  ModelImpl outside;
  ASSERT_EQ(outside.load(dir.c_str()), 0);
  EXPECT_EQ(outside.getMorphemeTransition("A"), 0);
  EXPECT_EQ(outside.getMorphemeTransition("AB"), 0);

  // The most negative base stands for INT_MAX, without overflow.
  std::vector<TrieUnit> leaf(68, TrieUnit{0, 0xFFFFFFFFu});
  leaf[66] = {67, 0};        // 'A' from the root leads to node 67
  leaf[67] = {INT_MIN, 67};  // node 67 ends a key
  writeUnits(mpath, leaf);
  ModelImpl extreme;
  ASSERT_EQ(extreme.load(dir.c_str()), 0);
  EXPECT_EQ(extreme.getMorphemeTransition("A"), INT_MAX);

  // Empty file, and a file shorter than one unit: no units at all.
  writeBytes(mpath, "", 0);
  ModelImpl empty;
  ASSERT_EQ(empty.load(dir.c_str()), 0);
  EXPECT_EQ(empty.getMorphemeTransition("BOM"), 0);
  writeBytes(mpath, "abc", 3);
  ModelImpl tiny;
  ASSERT_EQ(tiny.load(dir.c_str()), 0);
  EXPECT_EQ(tiny.getMorphemeTransition("a"), 0);

  // A real table cut short: every key gives its count or nothing.
  KeyCounts counts;
  for (int i = 0; i < 200; ++i)
    counts["key" + std::to_string(i) + "/n_"] = i + 1;
  ModelTrie table;
  ASSERT_TRUE(buildModelTable(counts, &table, &message));
  const auto* bytes = static_cast<const unsigned char*>(table.array());
  for (size_t cut : {size_t(0), size_t(8), size_t(800), table.total_size() / 2,
                     table.total_size() - 3}) {
    writeBytes(mpath, bytes, cut);
    ModelImpl truncated;
    ASSERT_EQ(truncated.load(dir.c_str()), 0);
    for (const auto& entry : counts) {
      const int value = truncated.getMorphemeTransition(entry.first.c_str());
      EXPECT_TRUE(value == 0 || value == entry.second) << cut << entry.first;
    }
  }
  // Trailing bytes after the units are ignored.
  std::vector<unsigned char> padded(bytes, bytes + table.total_size());
  padded.push_back(0x7f);
  writeBytes(mpath, padded.data(), padded.size());
  ModelImpl trailing;
  ASSERT_EQ(trailing.load(dir.c_str()), 0);
  EXPECT_EQ(trailing.getMorphemeTransition("key7/n_"), 8);
}
