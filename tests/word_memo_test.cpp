// The tagger's word memo must never change a result: a word met again, a
// memo reset by its budget, and every change of dictionary, model or
// strictness give what a fresh tagger gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/text.h"
#include "knowledge/user_knowledge_impl.h"
#include "reliability_support.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"
#include "result/sentence_impl.h"
#include "tagger/model_impl.h"
#include "tagger/model_trainer.h"
#include "tagger/tagger_impl.h"

namespace {

using reliability::describeSentence;

struct Fixture {
  reliability::TempDir dir{"talmoro_memo"};
  KnowledgeImpl dic;
  ModelImpl model;

  Fixture() {
    std::string message;
    const std::string dicDir = dir.file("dic");
    const std::string modelDir = dir.file("model");
    std::filesystem::create_directories(dicDir);
    std::filesystem::create_directories(modelDir);
    EXPECT_TRUE(reliability::writeFixtureDictionary(dicDir, &message))
        << message;
    EXPECT_TRUE(reliability::writeFixtureModel(modelDir, &message)) << message;
    EXPECT_EQ(dic.load(dicDir.c_str()), 0);
    EXPECT_EQ(model.load(modelDir.c_str()), 0);
  }
};

// The tagged sentence as text, by a tagger made for this one line.
std::string freshTag(const Model* model, const Knowledge* dic,
                     const UserKnowledge* user, bool strict,
                     const std::string& line) {
  TaggerImpl tagger(model, dic, user);
  tagger.setStrictAnalysis(strict);
  SentenceImpl sentence;
  tagger.process(line.c_str(), &sentence);
  return describeSentence(&sentence);
}

std::string tag(TaggerImpl* tagger, const std::string& line) {
  SentenceImpl sentence;
  tagger->process(line.c_str(), &sentence);
  return describeSentence(&sentence);
}

// The text's 16-bit units, zero-terminated.
std::vector<unsigned short> units(const std::string& text) {
  unsigned short* u =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text.c_str()));
  std::vector<unsigned short> out;
  for (size_t i = 0; u != nullptr && u[i] != 0; ++i) out.push_back(u[i]);
  std::free(u);
  out.push_back(0);
  return out;
}

// Trains a model that prefers other analyses than the fixture model.
bool writeOtherModel(const std::string& dir) {
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  if (!parseTextCorpus("나/vv+는/etm 개/nnb+가/jks 가/vv+다/ef\n"
                       "나/vv+는/etm 사람/nng+이/vcp+다/ef\n",
                       &sentences, &errors))
    return false;
  ModelCounter counter;
  for (const TrainSentence& s : sentences) counter.addSentence(s);
  std::string message;
  return writeModelTables(counter.morphemeCounts(), counter.eojulCounts(),
                          dir, &message);
}

}  // namespace

TEST(WordMemo, RepeatedWordsAndBudgetResetsGiveFreshResults) {
  Fixture f;
  const std::vector<std::string> corpus =
      reliability::generatedCorpus(300, 20261208);
  TaggerImpl memoised(&f.model, &f.dic);
  TaggerImpl tiny(&f.model, &f.dic);
  tiny.setMemoBudget(0);
  for (int round = 0; round < 2; ++round) {
    for (const std::string& line : corpus) {
      const std::string expected =
          freshTag(&f.model, &f.dic, nullptr, false, line);
      EXPECT_EQ(tag(&memoised, line), expected) << line;
      EXPECT_EQ(tag(&tiny, line), expected) << line;
    }
  }
  EXPECT_GT(memoised.memoWords(), 10u);
  // A memo over its budget is emptied before the next sentence.
  EXPECT_LE(tiny.memoWords(), 1u);

  // The 16-bit entry keeps no candidate and the matrix of the last sentence.
  SentenceImpl sentence;
  const std::vector<unsigned short> text = [] {
    std::vector<unsigned short> u;
    for (const char16_t c : std::u16string(u"학교에 가다")) u.push_back(c);
    u.push_back(0);
    return u;
  }();
  EXPECT_EQ(memoised.process(text.data(), &sentence), 2u);
  EXPECT_EQ(memoised.candidates().size(), 0u);
  EXPECT_EQ(memoised.matrix().count(), 2u);
  EXPECT_EQ(sentence.get(1)->result()->startOffset(0), 4u);
}

TEST(WordMemo, NewWordsOfASentenceCostWhatTheyCostAlone) {
  // The steps of a sentence's new words are computed together: a word met
  // twice in the line, and steps that several words share, must still give
  // each row the within-eojeol cost the word has alone.
  Fixture f;
  std::vector<std::string> lines = reliability::generatedCorpus(40, 7);
  lines.push_back("학교에 가다 학교에 사람이 가다");
  for (const size_t budget : {size_t{0}, size_t{64} << 20}) {
    for (const std::string& line : lines) {
      TaggerImpl together(&f.model, &f.dic);
      together.setMemoBudget(budget);
      SentenceImpl sentence;
      // The 16-bit entry keeps the matrix of its sentence.
      together.process(units(line).data(), &sentence);
      const TagNode& node = together.matrix();
      std::vector<std::string> words;
      for (size_t at = 0; at < line.size();) {
        const size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) words.push_back(line.substr(at, end - at));
        at = end + 1;
      }
      ASSERT_EQ(node.count(), words.size()) << line;
      for (size_t i = 0; i < words.size(); ++i) {
        TaggerImpl alone(&f.model, &f.dic);
        SentenceImpl one;
        alone.process(units(words[i]).data(), &one);
        const TagNode& single = alone.matrix();
        ASSERT_EQ(single.count(), 1u);
        for (unsigned long j = 0; j < single.width(); ++j)
          EXPECT_EQ(node.getProbability(i, j), single.getProbability(0, j))
              << line << " / " << words[i] << " row " << j;
      }
    }
  }
}

TEST(WordMemo, ReloadedDictionariesAreSeen) {
  Fixture f;
  UserKnowledgeImpl user;
  char first[] = "톨모로 톨모로/nnp\n";
  ASSERT_EQ(user.loadFromBuffer(first), 0);
  TaggerImpl tagger(&f.model, &f.dic, &user);
  const std::string line = "톨모로 학교에";
  const std::string before = tag(&tagger, line);
  EXPECT_EQ(before, freshTag(&f.model, &f.dic, &user, false, line));
  EXPECT_NE(before.find("톨모로/nnp"), std::string::npos) << before;

  // The same user dictionary object, loaded again with other contents.
  char second[] = "톨모로 톨/nng+모로/nng\n";
  ASSERT_EQ(user.loadFromBuffer(second), 0);
  const std::string after = tag(&tagger, line);
  EXPECT_EQ(after, freshTag(&f.model, &f.dic, &user, false, line));
  EXPECT_NE(after.find("톨/nnu(0,1)+모로/nnu"), std::string::npos) << after;

  // Emptied, the word is unknown again.
  user.clear();
  EXPECT_EQ(tag(&tagger, line), freshTag(&f.model, &f.dic, &user, false, line));

  // The system dictionary reloaded from other records: 학교 is gone.
  reliability::TempDir other("talmoro_memo_dic");
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  ASSERT_TRUE(parseSource("학생\t학생/nng\n에\t에/jkb\n", &entries, &errors));
  CompiledLexicon lexicon;
  ASSERT_TRUE(compileEntries(entries, &lexicon));
  std::string message;
  ASSERT_TRUE(writeLexicon(lexicon, other.path(), &message)) << message;
  const std::string withOld = tag(&tagger, line);
  ASSERT_EQ(f.dic.load(other.path().c_str()), 0);
  const std::string withNew = tag(&tagger, line);
  EXPECT_EQ(withNew, freshTag(&f.model, &f.dic, &user, false, line));
  EXPECT_NE(withNew, withOld);
}

TEST(WordMemo, ModelAndStrictnessChangesAreSeen) {
  Fixture f;
  TaggerImpl tagger(&f.model, &f.dic);
  const std::vector<std::string> lines = {"나는 학교에 가다.", "개가 사람이다",
                                          "나는 개가 가다"};
  for (const std::string& line : lines)
    EXPECT_EQ(tag(&tagger, line), freshTag(&f.model, &f.dic, nullptr, false, line));

  tagger.setStrictAnalysis(true);
  for (const std::string& line : lines)
    EXPECT_EQ(tag(&tagger, line), freshTag(&f.model, &f.dic, nullptr, true, line));
  tagger.setStrictAnalysis(false);

  // No model: every word keeps its first analysis.
  tagger.setModel(nullptr);
  for (const std::string& line : lines)
    EXPECT_EQ(tag(&tagger, line), freshTag(nullptr, &f.dic, nullptr, false, line));
  tagger.setModel(&f.model);

  // The same model object loaded from other tables.
  std::vector<std::string> before;
  for (const std::string& line : lines) before.push_back(tag(&tagger, line));
  reliability::TempDir other("talmoro_memo_model");
  ASSERT_TRUE(writeOtherModel(other.path()));
  ASSERT_EQ(f.model.load(other.path().c_str()), 0);
  bool changed = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string after = tag(&tagger, lines[i]);
    EXPECT_EQ(after, freshTag(&f.model, &f.dic, nullptr, false, lines[i]));
    changed = changed || after != before[i];
  }
  EXPECT_TRUE(changed) << "the other model should choose other analyses";
}

// "lex/tag(start,end)" for every morpheme, and the score.
std::string describeResult(const ResultImpl& r) {
  std::string out;
  for (unsigned long i = 0; i < r.size(); ++i) {
    const int k = static_cast<int>(i);
    out += std::string(r.lexicon(k)) + "/" + r.posTag(k) + "(" +
           std::to_string(r.startOffset(k)) + "," +
           std::to_string(r.endOffset(k)) + ") ";
  }
  return out + std::to_string(r.score());
}

ResultImpl* makeResult(
    float score,
    const std::vector<std::pair<std::string, unsigned>>& morphemes) {
  ResultImpl* r = new ResultImpl();
  unsigned long at = 0;
  for (const auto& [text, tag] : morphemes) {
    r->append(reinterpret_cast<const unsigned char*>(text.c_str()),
              pos_t(tag), at, at + 1);
    ++at;
  }
  r->score(score);
  return r;
}

TEST(WordMemoTables, WordsKeepEveryPartOfTheirAnalyses) {
  // Results with two morphemes, none, and a text longer than a cache line.
  const std::string longText(70, 'x');
  CandidateImpl candidate;
  candidate.append(makeResult(1.5f, {{"학교", NNG}, {"에", JKB | 1u}}));
  candidate.append(makeResult(-2.0f, {}));
  candidate.append(makeResult(0.25f, {{longText, SL}, {"", SF}}));
  candidate.origin("학교에");
  CandidateImpl bare;  // no origin
  bare.append(makeResult(3.0f, {{"가", NNG}}));

  const std::u16string first = u"학교에", second = u"가";
  const auto keyOf = [](const std::u16string& text) {
    return WordMemo::key(reinterpret_cast<const unsigned short*>(text.data()),
                         text.size());
  };
  WordMemo memo(1u << 20);
  MemoWord* word = memo.add(keyOf(first), candidate);
  const MemoWord* other = memo.add(keyOf(second), bare);
  EXPECT_EQ(memo.find(keyOf(first)), word);
  EXPECT_EQ(memo.find(keyOf(second)), other);
  EXPECT_EQ(memo.find(keyOf(u"학교")), nullptr);
  EXPECT_EQ(memo.words(), 2u);

  ASSERT_EQ(word->rows().size(), 3u);
  EXPECT_EQ(word->morphemes().size(), 4u);
  ASSERT_NE(word->origin(), nullptr);
  EXPECT_STREQ(word->origin(), "학교에");
  EXPECT_EQ(other->origin(), nullptr);
  // Every row as the candidate had it, its offsets moved by the base.
  ResultImpl r;
  word->fill(0, 10, memo, &r);
  EXPECT_EQ(describeResult(r), "학교/nng(10,11) 에/jkb(11,12) 1.500000");
  word->fill(1, 10, memo, &r);
  EXPECT_EQ(describeResult(r), "-2.000000");
  word->fill(2, 0, memo, &r);
  EXPECT_EQ(describeResult(r), longText + "/sl(0,1) /sf(1,2) 0.250000");
  other->fill(0, 0, memo, &r);
  EXPECT_EQ(describeResult(r), "가/nng(0,1) 3.000000");
  // The caller's costs stay with the rows.
  word->rows()[2].within = 7.0f;
  EXPECT_EQ(memo.find(keyOf(first))->rows()[2].within, 7.0f);
  // The distinct units the rows begin and end with, in order of first
  // appearance, and each row's index among them.
  const uint32_t firsts[] = {5, 9, 5}, lasts[] = {7, 7, 8};
  word->setEndUnits(firsts, lasts);
  ASSERT_EQ(word->firstCount(), 2u);
  ASSERT_EQ(word->lastCount(), 2u);
  EXPECT_EQ(word->firstUnits()[0], 5u);
  EXPECT_EQ(word->firstUnits()[1], 9u);
  EXPECT_EQ(word->lastUnits()[0], 7u);
  EXPECT_EQ(word->lastUnits()[1], 8u);
  const MemoSpan<MemoRow> rows = word->rows();
  EXPECT_EQ(rows[0].firstOf + 10 * rows[0].lastOf, 0);
  EXPECT_EQ(rows[1].firstOf + 10 * rows[1].lastOf, 1);
  EXPECT_EQ(rows[2].firstOf + 10 * rows[2].lastOf, 10);
  // The rows' other parts stay as they were.
  word->fill(0, 10, memo, &r);
  EXPECT_EQ(describeResult(r), "학교/nng(10,11) 에/jkb(11,12) 1.500000");
  EXPECT_EQ(rows[2].within, 7.0f);

  // A full memo keeps a new word aside: usable, but not found.
  memo.budget(0);
  const MemoWord* aside = memo.add(keyOf(u"학"), bare);
  EXPECT_EQ(memo.find(keyOf(u"학")), nullptr);
  aside->fill(0, 0, memo, &r);
  EXPECT_EQ(describeResult(r), "가/nng(0,1) 3.000000");
  EXPECT_EQ(memo.words(), 2u);
}

TEST(WordMemoTables, CostSlotsAndPieceIdsSurviveGrowth) {
  CostTable costs;
  EXPECT_EQ(costs.bytes(), 0u);
  // Keys of both kinds, with the low and the high halves alike.
  std::vector<uint64_t> keys;
  for (uint64_t a = 0; a < 70; ++a)
    for (uint64_t b = 0; b < 70; ++b) {
      keys.push_back(a << 32 | b);
      keys.push_back(uint64_t{1} << 63 | b << 32 | a);
    }
  for (size_t i = 0; i < keys.size(); ++i) {
    float& slot = costs.slot(keys[i]);
    EXPECT_TRUE(std::isnan(slot));
    slot = static_cast<float>(i);
  }
  EXPECT_EQ(costs.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i)
    ASSERT_EQ(costs.slot(keys[i]), static_cast<float>(i)) << i;
  EXPECT_EQ(costs.size(), keys.size());
  EXPECT_GE(costs.bytes(), keys.size() * 12);
  costs.clear();
  EXPECT_EQ(costs.bytes(), 0u);
  EXPECT_TRUE(std::isnan(costs.slot(keys[7])));

  // Keys of one word, in 8-byte slots: any but all bits set.
  CompactCostTable compact;
  std::vector<uint64_t> small = {0, 0xFFFFFFFEull, 0xFFFF0000ull};
  for (uint64_t k = 1; k < 3000; ++k) small.push_back(k * 0x10001);
  for (size_t i = 0; i < small.size(); ++i)
    compact.slot(small[i]) = static_cast<float>(i);
  for (size_t i = 0; i < small.size(); ++i)
    ASSERT_EQ(compact.slot(small[i]), static_cast<float>(i)) << i;
  EXPECT_EQ(compact.size(), small.size());
  EXPECT_GE(compact.bytes(), small.size() * 8);

  WordMemo memo(1u << 20);
  // The step and the transition between the same units are two costs.
  memo.transition(3, 4) = 1.0f;
  memo.step(3, 4) = 2.0f;
  EXPECT_EQ(memo.transition(3, 4), 1.0f);
  EXPECT_EQ(memo.step(3, 4), 2.0f);
  EXPECT_TRUE(std::isnan(memo.transition(4, 3)));

  // Pieces by tag code and text: texts sharing a prefix, one text under two
  // codes, and enough of them to grow the table several times.
  std::vector<std::string> texts = {"", "가", "가다", "가다가"};
  for (int i = 0; i < 300; ++i) texts.push_back("w" + std::to_string(i));
  uint32_t next = 0;
  for (const std::string& text : texts)
    for (unsigned code : {1u, 2u}) {
      uint32_t& id = memo.pieceId(code, text.c_str());
      EXPECT_EQ(id, WordMemo::NO_UNIT) << text;
      id = next++;
    }
  next = 0;
  for (const std::string& text : texts)
    for (unsigned code : {1u, 2u})
      EXPECT_EQ(memo.pieceId(code, text.c_str()), next++) << text;
  memo.reset();
  EXPECT_EQ(memo.pieceId(1, "가다"), WordMemo::NO_UNIT);
  EXPECT_TRUE(std::isnan(memo.step(3, 4)));
}

TEST(WordMemoTables, CompactSlotsAtFullLoadFindEveryKey) {
  // The most keys a first table of 1024 slots takes before it grows: its
  // probes run long, past the four slots a probe tests at once and round
  // the end of the array.
  CompactCostTable table;
  std::vector<uint64_t> keys;
  for (uint64_t k = 0; k < 819; ++k) keys.push_back(k * 2654435761u % 0xFFFFFFFF);
  table.slot(keys[0]) = 0.0f;
  const size_t bytes = table.bytes();
  for (size_t i = 1; i < keys.size(); ++i) {
    float& slot = table.slot(keys[i]);
    ASSERT_TRUE(std::isnan(slot)) << i;
    slot = static_cast<float>(i);
  }
  EXPECT_EQ(table.bytes(), bytes);  // not grown: 819 keys in 1024 slots
  EXPECT_EQ(table.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i)
    ASSERT_EQ(table.slot(keys[i]), static_cast<float>(i)) << i;
  EXPECT_EQ(table.size(), keys.size());
  // Keys not in the table are new wherever their probes end.
  for (uint64_t k = 1; k <= 200; ++k) {
    ASSERT_TRUE(std::isnan(table.slot(0xFFFFFFFEu - k))) << k;
    table.slot(0xFFFFFFFEu - k) = -1.0f;
  }
  EXPECT_EQ(table.size(), keys.size() + 200);
  for (size_t i = 0; i < keys.size(); ++i)
    ASSERT_EQ(table.slot(keys[i]), static_cast<float>(i)) << i;
}

TEST(WordMemoTables, CostsOfEveryKindAndIdRangeStayApart) {
  WordMemo memo(1u << 20);
  // Ids on both sides of the limit below which two ids pair into 32 bits:
  // a large id must not meet the small id of its low bits.
  const uint32_t ids[] = {0,       3,       4,     0xFFFE,    0xFFFF,
                          0x10000, 0x10003, 70000, 0x7FFFFFFE};
  std::vector<std::pair<uint32_t, uint32_t>> pairs;
  for (uint32_t a : ids)
    for (uint32_t b : ids) pairs.emplace_back(a, b);
  for (size_t i = 0; i < pairs.size(); ++i) {
    const auto [a, b] = pairs[i];
    ASSERT_TRUE(std::isnan(memo.transition(a, b))) << a << " " << b;
    ASSERT_TRUE(std::isnan(memo.step(a, b))) << a << " " << b;
    memo.transition(a, b) = static_cast<float>(i);
    memo.step(a, b) = -static_cast<float>(i) - 1;
  }
  for (size_t i = 0; i < pairs.size(); ++i) {
    const auto [a, b] = pairs[i];
    EXPECT_EQ(memo.transition(a, b), static_cast<float>(i)) << a << " " << b;
    EXPECT_EQ(memo.step(a, b), -static_cast<float>(i) - 1) << a << " " << b;
  }
  // Costs past their budget are dropped, small and large alike.
  memo.budget(0);
  memo.trimCosts();
  for (const auto& [a, b] : pairs) {
    EXPECT_TRUE(std::isnan(memo.transition(a, b))) << a << " " << b;
    EXPECT_TRUE(std::isnan(memo.step(a, b))) << a << " " << b;
  }
}

// Logarithms memoised by tag: units of one tag share the tag-pair slots,
// units of other tags do not, a tag-and-unit slot tells the units apart,
// and the three kinds never share a slot.
TEST(WordMemoTables, TagLogsAreSharedByTagAndKeptApartByKind) {
  WordMemo memo(1u << 20);
  const uint32_t noun1 = memo.unitId(UnitKeys{"학교/nng", "nng"});
  const uint32_t noun2 = memo.unitId(UnitKeys{"사람/nng", "nng"});
  const uint32_t verb = memo.unitId(UnitKeys{"가/vv", "vv"});
  const uint32_t ending = memo.unitId(UnitKeys{"다/ef", "ef"});
  EXPECT_EQ(memo.unitId(UnitKeys{"학교/nng", "nng"}), noun1);

  memo.tagLog(WordMemo::LOG_EOJUL_TAGS, noun1, verb) = 1.0;
  EXPECT_EQ(memo.tagLog(WordMemo::LOG_EOJUL_TAGS, noun2, verb), 1.0);
  EXPECT_TRUE(std::isnan(memo.tagLog(WordMemo::LOG_EOJUL_TAGS, verb, noun1)));
  EXPECT_TRUE(std::isnan(memo.tagLog(WordMemo::LOG_EOJUL_TAGS, noun1, ending)));
  EXPECT_TRUE(
      std::isnan(memo.tagLog(WordMemo::LOG_MORPHEME_TAGS, noun1, verb)));

  memo.tagLog(WordMemo::LOG_EOJUL_TAG_UNIT, noun1, noun2) = 2.0;
  EXPECT_EQ(memo.tagLog(WordMemo::LOG_EOJUL_TAG_UNIT, noun2, noun2), 2.0);
  EXPECT_TRUE(
      std::isnan(memo.tagLog(WordMemo::LOG_EOJUL_TAG_UNIT, noun1, noun1)));
  memo.tagLog(WordMemo::LOG_MORPHEME_TAGS, noun1, noun2) = 3.0;
  EXPECT_EQ(memo.tagLog(WordMemo::LOG_MORPHEME_TAGS, noun2, noun1), 3.0);
  EXPECT_EQ(memo.tagLog(WordMemo::LOG_EOJUL_TAGS, noun1, verb), 1.0);

  memo.reset();
  const uint32_t again = memo.unitId(UnitKeys{"학교/nng", "nng"});
  memo.unitId(UnitKeys{"가/vv", "vv"});
  EXPECT_TRUE(std::isnan(memo.tagLog(WordMemo::LOG_EOJUL_TAGS, again, 1)));
}
