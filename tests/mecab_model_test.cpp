#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "mecab_model.h"
#include "tagger/model_impl.h"

namespace {

std::string matrixBytes(size_t rsize, size_t lsize, const std::vector<int>& costs) {
  std::string b;
  const auto put16 = [&](int v) {
    b.push_back(static_cast<char>(v & 0xff));
    b.push_back(static_cast<char>((v >> 8) & 0xff));
  };
  put16(static_cast<int>(rsize));
  put16(static_cast<int>(lsize));
  for (int c : costs) put16(c);
  return b;
}

PseudoToken token(int left, int right, int cost, int penalty,
                  std::vector<TrainMorpheme> morphemes) {
  PseudoToken t;
  t.left = left;
  t.right = right;
  t.cost = cost;
  t.penalty = penalty;
  t.morphemes = std::move(morphemes);
  return t;
}

long long at(const KeyCounts& c, const std::string& key) {
  const auto it = c.find(key);
  return it == c.end() ? 0 : it->second;
}

// Ids: 0 BOS/EOS, 1 noun, 2 particle, 3 verb, 4 ending. Cheap: noun then
// particle, verb then ending, ending then BOS/EOS; dear otherwise.
MecabMatrix smallMatrix() {
  const size_t n = 5;
  std::vector<int> costs(n * n, 3000);
  const auto set = [&](size_t r, size_t l, int c) { costs[r + n * l] = static_cast<int16_t>(c); };
  set(0, 1, 0);     // BOS -> noun
  set(0, 3, 200);   // BOS -> verb
  set(1, 2, -500);  // noun -> particle
  set(3, 4, -800);  // verb -> ending
  set(4, 0, -500);  // ending -> EOS
  set(2, 1, 0);     // particle -> noun (next eojeol)
  set(2, 3, 0);     // particle -> verb
  set(4, 1, 0);     // ending -> noun
  MecabMatrix m;
  std::string message;
  EXPECT_TRUE(m.loadFromBuffer(matrixBytes(n, n, costs), &message)) << message;
  return m;
}

std::vector<PseudoToken> smallTokens() {
  return {
      token(1, 1, 1000, 0, {{"학교", "nng"}}),
      token(1, 1, 1500, 0, {{"집", "nng"}}),
      token(2, 2, 200, 3000, {{"에", "jkb"}}),
      token(3, 3, 500, 0, {{"가", "vv"}}),
      token(4, 4, 100, 3000, {{"다", "ef"}}),
  };
}

// The same with an entry of three morphemes.
std::vector<PseudoToken> tokensWithInflection() {
  std::vector<PseudoToken> t = smallTokens();
  t.push_back(token(3, 4, 900, 0, {{"가", "vv"}, {"았", "ep"}, {"다", "ef"}}));
  return t;
}

}  // namespace

TEST(MecabModel, MatrixIsIndexedRightThenLeft) {
  MecabMatrix m;
  std::string message;
  // Two right ids, three left ids: cost(r, l) at r + 2 * l.
  ASSERT_TRUE(m.loadFromBuffer(matrixBytes(2, 3, {1, 2, 3, 4, -5, 6}), &message));
  EXPECT_EQ(m.rightSize(), 2u);
  EXPECT_EQ(m.leftSize(), 3u);
  EXPECT_EQ(m.cost(0, 0), 1);
  EXPECT_EQ(m.cost(1, 0), 2);
  EXPECT_EQ(m.cost(0, 2), -5);
  EXPECT_EQ(m.cost(1, 2), 6);
  // Sizes that do not fill the file, and a file too short for the sizes.
  EXPECT_FALSE(m.loadFromBuffer(matrixBytes(2, 3, {1, 2, 3}), &message));
  EXPECT_FALSE(m.loadFromBuffer(std::string("\x01", 1), &message));
  EXPECT_FALSE(m.loadFromBuffer(matrixBytes(0, 0, {}), &message));
  EXPECT_FALSE(m.load(::testing::TempDir() + "/no-such-matrix.bin", &message));
}

TEST(MecabModel, LeftSpacePenaltiesAreReadFromDicrc) {
  const std::map<int, int> p = parseLeftSpacePenalties(
      "; comment\ncost-factor = 800\n"
      "left-space-penalty-factor = 100,3000,120,6000,172,3000\n");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p.at(100), 3000);
  EXPECT_EQ(p.at(120), 6000);
  EXPECT_EQ(p.at(172), 3000);
  EXPECT_TRUE(parseLeftSpacePenalties("cost-factor = 800\n").empty());
  // An odd trailing number is ignored.
  EXPECT_EQ(parseLeftSpacePenalties("left-space-penalty-factor = 1,2,3\n").size(), 1u);
}

TEST(MecabModel, DerivedCountsAreConsistentExpectedCounts) {
  PseudoCountOptions o;
  o.scale = 800;
  o.eojeols = 100000;
  o.eojeolsPerSentence = 4;
  KeyCounts m, e;
  std::string message;
  ASSERT_TRUE(derivePseudoCounts(smallTokens(), smallMatrix(), o, &m, &e, &message))
      << message;

  EXPECT_EQ(at(m, "BOM"), 100000);
  EXPECT_EQ(at(e, "BOE"), 25000);
  // Eojeol begin with nouns and verbs, rarely with particles and endings.
  EXPECT_GT(at(m, "BOM:/n_"), 10 * at(m, "BOM:/jkb"));
  EXPECT_GT(at(m, "BOM:/vv"), 10 * at(m, "BOM:/ef"));
  // The cheap connections are the likely ones.
  EXPECT_GT(at(m, "/n_:/jkb"), 10 * at(m, "/n_:/vv"));
  EXPECT_GT(at(m, "/vv:/ef"), 10 * at(m, "/vv:/jkb"));
  EXPECT_GT(at(m, "/ef:EOM"), at(m, "/ef:/n_"));

  // Every unit's count is what leaves it, up to rounding.
  long long begun = 0;
  for (const char* t : {"/n_", "/jkb", "/vv", "/ef", "/ep"}) begun += at(m, std::string("BOM:") + t);
  EXPECT_NEAR(static_cast<double>(begun), 100000.0, 10.0);
  for (const char* t : {"/n_", "/jkb", "/vv", "/ef"}) {
    const std::string a = t;
    long long out = at(m, a + ":EOM");
    for (const char* u : {"/n_", "/jkb", "/vv", "/ef", "/ep"}) out += at(m, a + ":" + u);
    EXPECT_NEAR(static_cast<double>(out), static_cast<double>(at(m, a)),
                10.0 + 1e-3 * static_cast<double>(at(m, a)))
        << a;
  }
  // Sentences end as often as they begin.
  long long ends = 0;
  for (const char* t : {"/n_", "/jkb", "/vv", "/ef", "/ep"})
    ends += at(e, std::string(t) + ":EOE");
  EXPECT_NEAR(static_cast<double>(ends), 25000.0, 30.0);

  // Lexical units split their tag's count by word weight (1000 vs 1500).
  const double school = static_cast<double>(at(m, "학교/n_"));
  const double house = static_cast<double>(at(m, "집/n_"));
  ASSERT_GT(house, 0);
  EXPECT_NEAR(school / house, std::exp(500.0 / 800.0), 0.01);
  EXPECT_NEAR(school + house, static_cast<double>(at(m, "/n_")), 2.0);
  EXPECT_GT(at(m, "BOM:학교/n_"), 0);
  EXPECT_GT(at(e, "BOE:학교/n_"), 0);
  EXPECT_GT(at(e, "/jkb:학교/n_"), 0);
  EXPECT_EQ(at(m, "학교/n_:에/jkb"), 0);  // across entries: left to the fallback

  // The morphemes inside a multi-morpheme entry follow each other.
  KeyCounts mi, ei;
  ASSERT_TRUE(derivePseudoCounts(tokensWithInflection(), smallMatrix(), o, &mi,
                                 &ei, &message));
  EXPECT_EQ(at(m, "/ep"), 0);
  EXPECT_GT(at(mi, "/ep"), 0);
  EXPECT_EQ(at(mi, "/vv:/ep"), at(mi, "/ep:/ef"));
  EXPECT_EQ(at(mi, "/vv:/ep"), at(mi, "/ep"));
  EXPECT_GT(at(mi, "가/vv:았/ep"), 0);
  EXPECT_GT(at(mi, "았/ep:다/ef"), 0);
  EXPECT_GT(at(mi, "았/ep"), 0);

  // Without open-class words only the closed classes keep lexical keys.
  o.openWords = 0;
  KeyCounts m2, e2;
  ASSERT_TRUE(derivePseudoCounts(smallTokens(), smallMatrix(), o, &m2, &e2, &message));
  EXPECT_EQ(at(m2, "학교/n_"), 0);
  EXPECT_EQ(at(m2, "가/vv"), 0);
  EXPECT_GT(at(m2, "에/jkb"), 0);
  EXPECT_EQ(at(m2, "/n_:/jkb"), at(m, "/n_:/jkb"));
}

TEST(MecabModel, BadInputIsRefused) {
  PseudoCountOptions o;
  KeyCounts m, e;
  std::string message;
  std::vector<PseudoToken> tokens = smallTokens();
  tokens.push_back(token(7, 1, 0, 0, {{"밖", "nng"}}));
  EXPECT_FALSE(derivePseudoCounts(tokens, smallMatrix(), o, &m, &e, &message));
  EXPECT_FALSE(message.empty());
  EXPECT_FALSE(derivePseudoCounts({}, smallMatrix(), o, &m, &e, &message));
  EXPECT_FALSE(derivePseudoCounts(smallTokens(), MecabMatrix(), o, &m, &e, &message));
}

TEST(MecabModel, CountsAddWithAWeight) {
  KeyCounts into = {{"a", 10}, {"b", 1}};
  addCounts({{"a", 4}, {"c", 1}, {"d", 3}}, 0.5, &into);
  EXPECT_EQ(at(into, "a"), 12);
  EXPECT_EQ(at(into, "b"), 1);
  EXPECT_EQ(at(into, "c"), 1);  // 0.5 rounds up
  EXPECT_EQ(at(into, "d"), 2);  // 1.5 rounds up
  addCounts({{"e", 1}}, 0.4, &into);
  EXPECT_EQ(into.count("e"), 0u);
}

TEST(MecabModel, CorpusAloneGivesTheTrainersModel) {
  // The test programs run at once share the temporary folder.
  const std::string dir =
      ::testing::TempDir() + "/talmoro." + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  const std::string corpus = dir + "/mecab_model_corpus.txt";
  {
    std::ofstream f(corpus, std::ios::binary);
    f << "학교/nng+에/jkb 가/vv+았/ep+다/ef+./sf\n집/nng+에/jkb 가/vv+다/ef\n";
  }
  MecabModelJob job;
  job.corpus = corpus;
  job.output = dir + "/mecab_model_out";
  job.pseudo = false;
  job.emission = false;
  job.openFinalEndings = false;
  std::FILE* sink = std::tmpfile();
  ASSERT_EQ(buildMecabModel(job, sink, sink), 0);
  ModelImpl model;
  ASSERT_EQ(model.load(job.output.c_str()), 0);
  EXPECT_EQ(model.getMorphemeTransitionBOM(), 4);
  EXPECT_EQ(model.getEojulTransitionBOE(), 2);
  EXPECT_EQ(model.getMorphemeTransition("/n_:/jkb"), 2);
  EXPECT_EQ(model.getEojulTransition("에/jkb:가/vv"), 2);

  // A resolution multiplies every count and keeps the ratios.
  job.resolution = 10;
  ASSERT_EQ(buildMecabModel(job, sink, sink), 0);
  ModelImpl finer;
  ASSERT_EQ(finer.load(job.output.c_str()), 0);
  EXPECT_EQ(finer.getMorphemeTransitionBOM(), 40);
  EXPECT_EQ(finer.getEojulTransitionBOE(), 20);
  EXPECT_EQ(finer.getMorphemeTransition("/n_:/jkb"), 20);

  // A corpus with a bad line, or none at all, writes nothing.
  {
    std::ofstream f(corpus, std::ios::binary);
    f << "학교/zzz\n";
  }
  EXPECT_EQ(buildMecabModel(job, sink, sink), 1);
  job.corpus = dir + "/no-such-corpus.txt";
  EXPECT_EQ(buildMecabModel(job, sink, sink), 1);
  std::fclose(sink);
  std::filesystem::remove_all(dir);
}

TEST(MecabModel, LexicalUnitsCountAsTheirTag) {
  KeyCounts m = {{"/jc", 100},       {"/jkb", 1000},    {"와/jc", 40},
                 {"와/jkb", 20},     {"와/jc:EOM", 38}, {"와/jkb:EOM", 19},
                 {"BOM", 500},       {"BOM:와/jc", 5},  {"/n_:/jc", 30},
                 {"BOM:/jc", 7}};
  foldEmissions(&m);
  // P(EOM | 와/jc) is now 38/100: the share of 와 among the conjunctive
  // particles enters the score, and tells it from the adverbial 와.
  EXPECT_EQ(at(m, "와/jc"), 100);
  EXPECT_EQ(at(m, "와/jkb"), 1000);
  EXPECT_GT(static_cast<double>(at(m, "와/jc:EOM")) / at(m, "와/jc"),
            static_cast<double>(at(m, "와/jkb:EOM")) / at(m, "와/jkb"));
  // Pairs, tag keys and the pseudo units stay.
  EXPECT_EQ(at(m, "와/jc:EOM"), 38);
  EXPECT_EQ(at(m, "/jc"), 100);
  EXPECT_EQ(at(m, "BOM"), 500);
  EXPECT_EQ(at(m, "BOM:와/jc"), 5);
  EXPECT_EQ(at(m, "/n_:/jc"), 30);
  EXPECT_EQ(m.size(), 10u);
  // A unit whose tag is missing keeps its count.
  KeyCounts lone = {{"가/vv", 3}};
  foldEmissions(&lone);
  EXPECT_EQ(at(lone, "가/vv"), 3);
}

TEST(MecabModel, FinalEndingsThatCloseAnEojeolBecomeConnective) {
  KeyCounts m = {{"/ef", 100},         {"/ec", 50},         {"/ef:EOM", 30},
                 {"/ec:EOM", 20},      {"다/ef", 80},       {"다/ef:EOM", 25},
                 {"다/ef:./sf", 55},   {"/ef:sf", 70},      {"요/jx:EOM", 9},
                 {"습니다/ef", 10},    {"습니다/ef:EOM", 10}};
  moveOpenFinalEndings(&m);
  EXPECT_EQ(m.count("/ef:EOM"), 0u);
  EXPECT_EQ(at(m, "/ec:EOM"), 50);
  EXPECT_EQ(at(m, "/ef"), 70);
  EXPECT_EQ(at(m, "/ec"), 80);
  EXPECT_EQ(m.count("다/ef:EOM"), 0u);
  EXPECT_EQ(at(m, "다/ec:EOM"), 25);
  EXPECT_EQ(at(m, "다/ec"), 25);
  EXPECT_EQ(at(m, "다/ef"), 55);
  // A unit left with nothing goes.
  EXPECT_EQ(m.count("습니다/ef"), 0u);
  EXPECT_EQ(at(m, "습니다/ec"), 10);
  // What follows within the eojeol, and other tags, stay.
  EXPECT_EQ(at(m, "다/ef:./sf"), 55);
  EXPECT_EQ(at(m, "/ef:sf"), 70);
  EXPECT_EQ(at(m, "요/jx:EOM"), 9);
}
