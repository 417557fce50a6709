#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "api/talmoro.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/lexicon_source.h"
#include "lexicon_fixture.h"
#include "model_fixture.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"
#include "result/sentence_impl.h"
#include "tagger/model_impl.h"
#include "tagger/model_trainer.h"
#include "tagger/tag_node.h"
#include "tagger/tagger_impl.h"

namespace {

const float LN2 = 0.69314718f;

struct Morph {
  const char* lexicon;
  unsigned int tag;
};

ResultImpl* makeResult(const std::vector<Morph>& morphs) {
  ResultImpl* r = new ResultImpl();
  unsigned long offset = 0;
  for (const Morph& m : morphs) {
    r->append(reinterpret_cast<const unsigned char*>(m.lexicon), pos_t(m.tag),
              offset, offset + 1);
    ++offset;
  }
  return r;
}

CandidateImpl* addCandidate(TaggerImpl* tagger, const char* origin,
                            const std::vector<ResultImpl*>& results) {
  CandidateImpl* c = new CandidateImpl();
  c->origin(origin);
  for (ResultImpl* r : results) c->append(r);
  tagger->candidates().append(c);
  return c;
}

// The morphemes of a result as "lex/tag+lex/tag".
std::string morphemes(const Result* r) {
  std::string text;
  for (unsigned long i = 0; i < r->size(); ++i) {
    if (i > 0) text += "+";
    text += r->lexicon(static_cast<int>(i));
    text += "/";
    text += r->posTag(static_cast<int>(i));
  }
  return text;
}

}  // namespace

TEST(TagNode, SizesAndRefuses) {
  TagNode node;
  EXPECT_EQ(node.width(), 0u);
  ASSERT_EQ(node.init(3, 2), 0);
  EXPECT_EQ(node.width(), 3u);
  EXPECT_EQ(node.count(), 2u);
  for (unsigned long i = 0; i < 2; ++i)
    for (unsigned long j = 0; j < 3; ++j) {
      EXPECT_EQ(node.getEdge(i, j), 0);
      EXPECT_EQ(node.getScore(i, j), 0.0f);
      EXPECT_EQ(node.getProbability(i, j), 0.0f);
    }
  node.setEdge(1, 2, 7, 1.5f);
  node.setProbability(1, 2, 0.25f);
  node.setProbability(0, 2, 9.0f);
  EXPECT_EQ(node.getEdge(1, 2), 7);
  EXPECT_EQ(node.getScore(1, 2), 1.5f);
  EXPECT_EQ(node.getProbability(1, 2), 0.25f);
  EXPECT_EQ(node.getProbability(0, 2), 9.0f);
  EXPECT_EQ(node.getProbability(1, 0), 0.0f);  // cells do not overlap

  // Re-initialising starts from zero again.
  ASSERT_EQ(node.init(3, 2), 0);
  EXPECT_EQ(node.getEdge(1, 2), 0);

  // width x count beyond the address range, or beyond memory.
  EXPECT_EQ(node.init(SIZE_MAX / 4, 3), -1);
  EXPECT_EQ(node.count(), 0u);
  EXPECT_EQ(node.init(1ul << 33, 1ul << 33), -1);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_EQ(node.init(1ul << 42, 1), -1);
#endif
  EXPECT_EQ(node.width(), 0u);

  // Sized from a column list: the widest candidate.
  DoublyLinkedList<CandidateImpl*> columns;
  CandidateImpl a, b;
  a.append(makeResult({{"x", NNG}}));
  b.append(makeResult({{"x", NNG}}));
  b.append(makeResult({{"y", NNG}}));
  columns.append(&a);
  columns.append(&b);
  ASSERT_EQ(node.init(&columns), 0);
  EXPECT_EQ(node.width(), 2u);
  EXPECT_EQ(node.count(), 2u);
  columns.removeAll();
  ASSERT_EQ(node.init(&columns), 0);
  EXPECT_EQ(node.count(), 0u);
}

TEST(TagNode, ReusedStorageStartsFromZero) {
  TagNode node;
  ASSERT_EQ(node.init(4, 3), 0);
  for (unsigned long i = 0; i < 3; ++i)
    for (unsigned long j = 0; j < 4; ++j) {
      node.setEdge(i, j, 5, 2.0f);
      node.setProbability(i, j, 3.0f);
    }
  node.clear();
  EXPECT_EQ(node.width(), 0u);
  EXPECT_EQ(node.count(), 0u);
  // Smaller, then larger than before: every cell zero, no overlap.
  ASSERT_EQ(node.init(2, 5), 0);
  for (unsigned long i = 0; i < 5; ++i)
    for (unsigned long j = 0; j < 2; ++j) {
      EXPECT_EQ(node.getEdge(i, j), 0);
      EXPECT_EQ(node.getScore(i, j), 0.0f);
      EXPECT_EQ(node.getProbability(i, j), 0.0f);
    }
  node.setEdge(4, 1, 9, 1.0f);
  ASSERT_EQ(node.init(6, 6), 0);
  EXPECT_EQ(node.width(), 6u);
  EXPECT_EQ(node.getEdge(4, 1), 0);
  EXPECT_EQ(node.getEdge(5, 5), 0);
  // A refused shape leaves the matrix empty.
  EXPECT_EQ(node.init(1ul << 40, 1ul << 40), -1);
  EXPECT_EQ(node.count(), 0u);
}

TEST(TaggerKeys, NormalizedClassTags) {
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(SS)), "s_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(SW)), "s_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(SF)), "sf");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(NNG)), "n_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(NNP | 1)), "n_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(XR)), "n_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(NF)), "n_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(JX)), "j_");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(NNB)), "nnb");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(NP)), "np");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(JKS)), "jks");
  EXPECT_STREQ(TaggerImpl::normalizedPOS(pos_t(VV)), "vv");

  std::string lex, tag;
  const ModelUnit noun = morphemeUnit("학교", pos_t(NNG));
  appendLexicalKey(&lex, noun);
  appendTagKey(&tag, noun);
  EXPECT_EQ(lex, "학교/n_");
  EXPECT_EQ(tag, "/n_");
  lex.clear();
  tag.clear();
  const ModelUnit stop = morphemeUnit(".", pos_t(SF));
  appendLexicalKey(&lex, stop);
  appendTagKey(&tag, stop);
  EXPECT_EQ(lex, "sf");
  EXPECT_EQ(tag, "sf");
  lex.clear();
  appendLexicalKey(&lex, morphemeUnit("#", pos_t(SW)));
  EXPECT_EQ(lex, "s_");
  lex.clear();
  appendTagKey(&lex, pseudoUnit(BEGIN_OF_EOJUL));
  EXPECT_EQ(lex, "BOE");
}

// Two eojeol with two results each; every cost below is counted by hand in
// units of ln 2 (the counts are powers of two). The morpheme and eojeol
// fallbacks are both 1/16, i.e. 4 ln 2.
TEST(TaggerSearch, ViterbiChoiceComputedByHand) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  const KeyCounts m = {
      {"BOM", 16},       {"BOM:나/np", 8}, {"BOM:/np", 8},    {"나/np", 4},
      {"나/np:EOM", 4},  {"/np", 4},       {"/np:EOM", 2},    {"BOM:나/vv", 4},
      {"BOM:/vv", 4},    {"나/vv", 2},     {"나/vv:EOM", 2},  {"/vv", 8},
      {"/vv:EOM", 2},    {"BOM:가/vv", 2}, {"가/vv", 2},      {"가/vv:다/ef", 1},
      {"/vv:/ef", 4},    {"다/ef", 4},     {"다/ef:EOM", 4},  {"/ef", 4},
      {"/ef:EOM", 4},    {"BOM:/jks", 2},  {"가/jks", 2},     {"가/jks:EOM", 2},
      {"/jks", 2},       {"/jks:EOM", 1}};
  const KeyCounts e = {
      {"BOE", 16},         {"BOE:나/np", 8},    {"BOE:/np", 8},
      {"BOE:나/vv", 4},    {"BOE:/vv", 4},      {"나/np", 4},
      {"/np", 8},          {"/np:/vv", 1},      {"나/np:가/jks", 4},
      {"/np:가/jks", 4},   {"/np:/jks", 4},     {"나/vv", 2},
      {"나/vv:가/vv", 2},  {"/vv", 4},          {"/vv:가/vv", 2},
      {"/vv:/vv", 4},      {"다/ef", 4},        {"다/ef:EOE", 4},
      {"/ef", 8},          {"/ef:EOE", 4},      {"/jks", 2}};
  ModelImpl model;
  ASSERT_TRUE(loadModel(temp.path(), m, e, &model));
  ASSERT_EQ(model.getMorphemeTransitionBOM(), 16);
  ASSERT_EQ(model.getEojulTransitionBOE(), 16);

  TaggerImpl tagger(&model);
  ResultImpl* r00 = makeResult({{"나", NP}});
  ResultImpl* r01 = makeResult({{"나", VV}});
  ResultImpl* r10 = makeResult({{"가", VV}, {"다", EF}});
  ResultImpl* r11 = makeResult({{"가", JKS}});
  CandidateImpl* c0 = addCandidate(&tagger, "나", {r00, r01});
  CandidateImpl* c1 = addCandidate(&tagger, "가다", {r10, r11});

  SentenceImpl sentence;
  ASSERT_EQ(tagger.tagging(&sentence), 0);
  const TagNode& node = tagger.matrix();
  // Within-eojeol costs.
  EXPECT_NEAR(node.getProbability(0, 0), 3 * LN2, 1e-4);
  EXPECT_NEAR(node.getProbability(0, 1), 6 * LN2, 1e-4);
  EXPECT_NEAR(node.getProbability(1, 0), 7 * LN2, 1e-4);
  EXPECT_NEAR(node.getProbability(1, 1), 8 * LN2, 1e-4);
  // Column 0 from BOE: 3 + 2.5 and 6 + 5.
  EXPECT_NEAR(node.getScore(0, 0), 5.5 * LN2, 1e-4);
  EXPECT_NEAR(node.getScore(0, 1), 11 * LN2, 1e-4);
  // Cell (1,0): via 0 costs 5.5 + 7 + 9, via 1 costs 11 + 7 + 0.5, then the
  // end cost 1. Cell (1,1): via 0 costs 5.5 + 8 + 1.5, via 1 costs 29, then
  // the end cost 4 + 4 (both fallbacks).
  EXPECT_EQ(node.getEdge(1, 0), 1);
  EXPECT_NEAR(node.getScore(1, 0), 19.5 * LN2, 1e-4);
  EXPECT_EQ(node.getEdge(1, 1), 0);
  EXPECT_NEAR(node.getScore(1, 1), 23 * LN2, 1e-4);

  // The cheapest last cell is (1,0); its path comes from result 1 of
  // eojeol 0, although result 0 is cheaper there on its own.
  ASSERT_EQ(sentence.size(), 2u);
  EXPECT_EQ(sentence.at(0)->result(), r01);
  EXPECT_EQ(sentence.at(1)->result(), r10);
  EXPECT_STREQ(sentence.at(0)->eojul(), "나");
  EXPECT_STREQ(sentence.at(1)->eojul(), "가다");
  // The chosen results left their candidates; the others stay there.
  ASSERT_EQ(c0->size(), 1u);
  EXPECT_EQ(c0->at(0), r00);
  ASSERT_EQ(c1->size(), 1u);
  EXPECT_EQ(c1->at(0), r11);
  tagger.clear();
  EXPECT_EQ(tagger.candidates().size(), 0u);
  EXPECT_EQ(morphemes(sentence.at(1)->result()), "가/vv+다/ef");
}

TEST(TaggerSearch, TiesAndBounds) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  // Nothing but the counts: every ratio falls back to 1 / 2^30.
  ModelImpl model;
  ASSERT_TRUE(
      loadModel(temp.path(), {{"BOM", 1 << 30}}, {{"BOE", 1 << 30}}, &model));
  const float fallback = 30 * LN2;

  // Equal scores in the last column: the earlier result wins.
  {
    TaggerImpl tagger(&model);
    ResultImpl* first = makeResult({{"x", NNG}});
    ResultImpl* second = makeResult({{"x", NNG}});
    addCandidate(&tagger, "x", {first, second});
    SentenceImpl sentence;
    ASSERT_EQ(tagger.tagging(&sentence), 0);
    // BOM and EOM steps, the BOE transition (1 + 0.5 + 1) and the end cost.
    EXPECT_NEAR(tagger.matrix().getScore(0, 0), (4 + 2.5f + 2) * fallback,
                1e-3);
    EXPECT_EQ(tagger.matrix().getScore(0, 0), tagger.matrix().getScore(0, 1));
    ASSERT_EQ(sentence.size(), 1u);
    EXPECT_EQ(sentence.at(0)->result(), first);
  }

  // Equal predecessors: a cell takes the earlier one.
  {
    TaggerImpl tagger(&model);
    addCandidate(&tagger, "x",
                 {makeResult({{"x", NNG}}), makeResult({{"x", NNG}})});
    addCandidate(&tagger, "y", {makeResult({{"y", NNG}})});
    SentenceImpl sentence;
    ASSERT_EQ(tagger.tagging(&sentence), 0);
    const TagNode& node = tagger.matrix();
    EXPECT_EQ(node.getScore(0, 0), node.getScore(0, 1));
    EXPECT_EQ(node.getEdge(1, 0), 0);
    EXPECT_LT(node.getScore(1, 0), 10000.0f);
  }

  // A result of 250 unknown morphemes costs more than 10000: no
  // predecessor is taken into its cell, which gets index 0 and 100000 plus
  // the end cost, and the path falls back to result 0 of the eojeol before,
  // although result 1 there is cheaper.
  {
    TaggerImpl tagger(&model);
    ResultImpl* dear = makeResult({{"a", NNG}, {"b", NNG}});
    ResultImpl* cheap = makeResult({{"c", NNG}});
    std::vector<Morph> many(250, Morph{"z", NNG});
    ResultImpl* huge = makeResult(many);
    addCandidate(&tagger, "ab", {dear, cheap});
    addCandidate(&tagger, "z", {huge});
    SentenceImpl sentence;
    ASSERT_EQ(tagger.tagging(&sentence), 0);
    const TagNode& node = tagger.matrix();
    EXPECT_LT(node.getScore(0, 1), node.getScore(0, 0));
    EXPECT_GT(node.getProbability(1, 0), 10000.0f);
    EXPECT_EQ(node.getEdge(1, 0), 0);
    EXPECT_NEAR(node.getScore(1, 0), 100000.0f + 2 * fallback, 0.02);
    ASSERT_EQ(sentence.size(), 2u);
    EXPECT_EQ(sentence.at(0)->result(), dear);
    EXPECT_EQ(sentence.at(1)->result(), huge);
  }
}

TEST(TaggerSearch, NoUsableModelChoosesFirstResults) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  ModelImpl zeroBom;
  ASSERT_TRUE(loadModel(temp.path(), {{"/n_", 3}}, {{"BOE", 5}}, &zeroBom));
  ModelImpl unloaded;
  const Model* models[] = {nullptr, &zeroBom, &unloaded};
  for (const Model* model : models) {
    TaggerImpl tagger(model);
    ResultImpl* a = makeResult({{"a", NNG}});
    ResultImpl* b = makeResult({{"b", NNG}});
    ResultImpl* c = makeResult({{"c", NNG}});
    ResultImpl* d = makeResult({{"d", NNG}});
    addCandidate(&tagger, "a", {a, b});
    addCandidate(&tagger, "c", {c, d});
    SentenceImpl sentence;
    ASSERT_EQ(tagger.tagging(&sentence), 0);
    ASSERT_EQ(sentence.size(), 2u);
    EXPECT_EQ(sentence.at(0)->result(), a);
    EXPECT_EQ(sentence.at(1)->result(), c);
    EXPECT_STREQ(sentence.at(1)->eojul(), "c");
    const TagChoice choice = tagger.probability(0, 0, true);
    EXPECT_EQ(choice.index, 0u);
  }
}

TEST(TaggerSearch, PrintCandidates) {
  TaggerImpl tagger;
  testing::internal::CaptureStdout();
  tagger.printCandidates();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "===== candidates =====\n\n");
  addCandidate(&tagger, "가다", {makeResult({{"가", VV}, {"다", EF}})});
  addCandidate(&tagger, ".", {makeResult({{".", SF}}), makeResult({{".", SW}})});
  testing::internal::CaptureStdout();
  tagger.printCandidates();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "===== candidates =====\n"
            "[0,0] 가/vv+다/ef (0.000000)\n"
            "\n"
            "[1,0] ./sf (0.000000)\n"
            "[1,1] ./sw (0.000000)\n"
            "\n"
            "\n");
}

// --- The driver, with the embedded analyzer and no dictionary --------------

TEST(TaggerDriver, CutsEojeolAndMovesOffsets) {
  TaggerImpl tagger;
  SentenceImpl sentence;
  struct Case {
    const char* text;
    std::vector<std::pair<const char*, unsigned long>> words;  // text, start
  };
  const Case cases[] = {
      {"ab cd", {{"ab", 0}, {"cd", 3}}},
      {"ab  cd", {{"ab", 0}, {"cd", 4}}},
      {" ab", {{"ab", 1}}},
      {"ab\tcd\ref\ngh", {{"ab", 0}, {"cd", 3}, {"ef", 6}, {"gh", 9}}},
      {"\r\n12 xy\t", {{"12", 2}, {"xy", 5}}},
      {"ab\xE3\x80\x80" "cd", {{"ab\xE3\x80\x80" "cd", 0}}},  // U+3000
      {"ab\xC2\xA0" "cd", {{"ab\xC2\xA0" "cd", 0}}},          // U+00A0
  };
  for (const Case& c : cases) {
    ASSERT_EQ(tagger.process(c.text, &sentence), c.words.size()) << c.text;
    for (size_t w = 0; w < c.words.size(); ++w) {
      const Eojul* eojul = sentence.get(w);
      ASSERT_NE(eojul, nullptr);
      EXPECT_STREQ(eojul->eojul(), c.words[w].first) << c.text;
      const Result* r = eojul->result();
      ASSERT_NE(r, nullptr);
      ASSERT_GE(r->size(), 1u);
      EXPECT_EQ(r->startOffset(0), c.words[w].second) << c.text << " " << w;
      const size_t length = unitCount(units(c.words[w].first));
      EXPECT_EQ(r->endOffset(static_cast<int>(r->size() - 1)),
                c.words[w].second + length)
          << c.text << " " << w;
    }
    EXPECT_EQ(tagger.candidates().size(), 0u);  // nothing kept
  }
}

TEST(TaggerDriver, BlankNullAndRepeatedInput) {
  TaggerImpl tagger;
  SentenceImpl sentence;

  // Only delimiters: one nf eojeol holding the whole input.
  const char blank[] = " \t \r\n";
  ASSERT_EQ(tagger.process(blank, &sentence), 1u);
  const Eojul* eojul = sentence.get(0);
  EXPECT_STREQ(eojul->eojul(), blank);
  ASSERT_EQ(eojul->result()->size(), 1u);
  EXPECT_STREQ(eojul->result()->lexicon(0), blank);
  EXPECT_EQ(eojul->result()->pos(0), pos_t(NF));
  EXPECT_EQ(eojul->result()->startOffset(0), 0u);
  EXPECT_EQ(eojul->result()->endOffset(0), 5u);

  // A second call starts from an empty sentence.
  ASSERT_EQ(tagger.process("ab cd", &sentence), 2u);
  ASSERT_EQ(tagger.process("ef", &sentence), 1u);
  EXPECT_STREQ(sentence.get(0)->eojul(), "ef");

  // Null, empty and malformed text leave the sentence empty.
  EXPECT_EQ(tagger.process(static_cast<const char*>(nullptr), &sentence), 0u);
  EXPECT_EQ(sentence.size(), 0u);
  ASSERT_EQ(tagger.process("ab", &sentence), 1u);
  EXPECT_EQ(tagger.process("", &sentence), 0u);
  EXPECT_EQ(sentence.size(), 0u);
  ASSERT_EQ(tagger.process("ab", &sentence), 1u);
  EXPECT_EQ(tagger.process("a\xff" "b", &sentence), 0u);
  EXPECT_EQ(sentence.size(), 0u);
  EXPECT_EQ(tagger.process("ab", static_cast<Sentence*>(nullptr)), 0u);

  // The 16-bit entry on blank text gives nothing.
  const unsigned short spaces[] = {' ', '\t', 0};
  EXPECT_EQ(tagger.process(spaces, &sentence), 0u);
  EXPECT_EQ(sentence.size(), 0u);
}

TEST(TaggerDriver, NoModelTakesTheAnalyzersFirstResult) {
  AnalyzerImpl analyzer;
  TaggerImpl tagger;
  SentenceImpl sentence;
  const char* words[] = {"abc123", "x.y", "12,5%"};
  ASSERT_EQ(tagger.process("abc123 x.y 12,5%", &sentence), 3u);
  unsigned long start = 0;
  for (int w = 0; w < 3; ++w) {
    CandidateImpl candidate;
    ASSERT_GE(analyzer.process(words[w], &candidate), 1u);
    const Result* first = candidate.get(0);
    const Result* chosen = sentence.get(w)->result();
    EXPECT_EQ(morphemes(chosen), morphemes(first)) << words[w];
    ASSERT_EQ(chosen->size(), first->size());
    for (unsigned long m = 0; m < first->size(); ++m)
      EXPECT_EQ(chosen->startOffset(static_cast<int>(m)),
                first->startOffset(static_cast<int>(m)) + start);
    start += std::strlen(words[w]) + 1;
  }
}

TEST(TaggerDriver, FactoriesAndSetters) {
  Model* model = Model::createObject();
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->load("/nonexistent/model"), -1);
  Tagger* tagger = Tagger::createObject(model);
  Sentence* sentence = Sentence::createObject();
  tagger->setStrictAnalysis(true);
  tagger->setSysKnowledge(nullptr);
  tagger->setUserKnowledge(nullptr);
  EXPECT_EQ(tagger->process("ab cd", sentence), 2u);
  tagger->setModel(nullptr);
  EXPECT_EQ(tagger->process("ab", sentence), 1u);
  Sentence::destroyObject(sentence);
  Tagger::destroyObject(tagger);
  Model::destroyObject(model);
  Tagger::destroyObject(nullptr);
  Model::destroyObject(nullptr);
  Tagger::destroyObject(Tagger::createObject());
  Tagger::destroyObject(Tagger::createObject(nullptr, nullptr));
  Tagger::destroyObject(Tagger::createObject(nullptr, nullptr, nullptr));
}

// The test dictionary and a model trained on a few sentences: the model,
// not the analyzer's ranking, decides between 나/np+는/jx and 나/vv+는/etm.
TEST(TaggerDriver, TrainedModelDecides) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  const std::string dic = temp.path() + "/dic";
  ASSERT_EQ(compileSourceFile(TALMORO_TEST_DATA "/basic.lex", dic.c_str(),
                              stderr),
            0);
  KnowledgeImpl knowledge;
  ASSERT_EQ(knowledge.load(dic.c_str()), 0);

  const std::pair<const char*, const char*> corpora[] = {
      {"나/np+는/jx 학교/nng+에/jkb 가/vv+다/ef\n", "나/np+는/jx"},
      {"나/vv+는/etm 사람/nng+이/jks 가/vv+다/ef\n", "나/vv+는/etm"}};
  for (const auto& corpus : corpora) {
    const std::string text = temp.path() + "/corpus.txt";
    const std::string dir = temp.path() + "/model";
    writeText(text, std::string(corpus.first) + corpus.first + corpus.first);
    const TrainerRun run = runTrainer(text, "text", dir);
    ASSERT_EQ(run.status, 0) << run.messages;
    ModelImpl model;
    ASSERT_EQ(model.load(dir.c_str()), 0);

    TaggerImpl tagger(&model, &knowledge);
    SentenceImpl sentence;
    ASSERT_EQ(tagger.process("나는 학교에 가다", &sentence), 3u);
    EXPECT_EQ(morphemes(sentence.get(0)->result()), corpus.second);
    EXPECT_EQ(morphemes(sentence.get(1)->result()), "학교/nng+에/jkb");
    EXPECT_EQ(morphemes(sentence.get(2)->result()), "가/vv+다/ef");
    const Result* last = sentence.get(2)->result();
    EXPECT_EQ(last->startOffset(0), 7u);
    EXPECT_EQ(last->endOffset(1), 9u);
    EXPECT_STREQ(sentence.get(1)->eojul(), "학교에");
  }
}
