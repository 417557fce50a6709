#include "analyzer/analyzer_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/revision.h"
#include "base/text.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/lexicon_source.h"
#include "knowledge/trie_builder.h"
#include "knowledge/user_knowledge_impl.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

typedef std::vector<unsigned short> Units;  // zero-terminated

Units units(const std::string& utf8) {
  unsigned short* u =
      utf8_touchar(reinterpret_cast<const unsigned char*>(utf8.c_str()));
  Units v;
  if (u != nullptr) {
    for (size_t i = 0; u[i] != 0; ++i) v.push_back(u[i]);
    std::free(u);
  }
  v.push_back(0);
  return v;
}

std::string repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

// "lexicon/tag(start,end)" per morpheme, joined by "+".
std::string describe(const Result* r) {
  std::string out;
  for (unsigned long i = 0; i < r->size(); ++i) {
    const int k = static_cast<int>(i);
    if (i > 0) out += "+";
    out += std::string(r->lexicon(k)) + "/" + r->posTag(k) + "(" +
           std::to_string(r->startOffset(k)) + "," +
           std::to_string(r->endOffset(k)) + ")";
  }
  return out;
}

std::vector<std::string> describeAll(const Candidate* c) {
  std::vector<std::string> out;
  for (unsigned long k = 0; k < c->size(); ++k) out.push_back(describe(c->get(k)));
  return out;
}

bool contains(const std::vector<std::string>& all, const std::string& one) {
  for (const std::string& s : all)
    if (s == one) return true;
  return false;
}

bool anyMentions(const std::vector<std::string>& all, const std::string& piece) {
  for (const std::string& s : all)
    if (s.find(piece) != std::string::npos) return true;
  return false;
}

// A system dictionary compiled in memory from source lexicon text.
std::unique_ptr<KnowledgeImpl> compileDictionary(const std::string& source) {
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  EXPECT_TRUE(parseSource(source, &entries, &errors));
  for (const SourceError& e : errors)
    ADD_FAILURE() << "line " << e.line << ": " << e.message;
  CompiledLexicon lexicon;
  EXPECT_TRUE(compileEntries(entries, &lexicon));
  std::unique_ptr<KnowledgeImpl> dic(new KnowledgeImpl());
  EXPECT_EQ(0, dic->loadFromBuffer(
                   reinterpret_cast<const char*>(lexicon.units.data()),
                   lexicon.units.size() * sizeof(TrieUnit),
                   reinterpret_cast<const char*>(lexicon.index.data()),
                   lexicon.index.size() * sizeof(int32_t),
                   reinterpret_cast<const char*>(lexicon.records.buf()),
                   lexicon.records.size()));
  return dic;
}

// Runs only the lattice steps (look-up, symbol runs, sorting, one pass), so
// the expectations do not depend on pruning, guessing or decomposition.
std::vector<std::string> latticePass(AnalyzerImpl& analyzer,
                                     const std::string& word,
                                     unsigned int mode, CandidateImpl* out) {
  Units text = units(word);
  unsigned long n = text.size() - 1;
  if (n > ANALYZER_MAX_UNITS) n = ANALYZER_MAX_UNITS;
  Units normalized(n + 1);
  analyzer.normalize(text.data(), n, normalized.data());
  const unsigned short* norm = normalized.data();
  analyzer.clear();
  out->clear();
  analyzer.searchTrie(norm, n);
  analyzer.searchSymbol(norm, n);
  analyzer.sortStack();
  analyzer.analysis(mode, text.data(), n, out);
  std::vector<std::string> all = describeAll(out);
  analyzer.clear();
  return all;
}

std::vector<std::string> latticePass(AnalyzerImpl& analyzer,
                                     const std::string& word,
                                     unsigned int mode = 3) {
  CandidateImpl out;
  return latticePass(analyzer, word, mode, &out);
}

std::vector<std::string> analyze(Analyzer* analyzer, const std::string& word) {
  std::unique_ptr<Candidate, void (*)(Candidate*)> c(Candidate::createObject(),
                                                     Candidate::destroyObject);
  const unsigned long r = analyzer->process(word.c_str(), c.get());
  EXPECT_EQ(r, c->size());
  return describeAll(c.get());
}

// Nouns, particles, a stem, and stems ending in a contracted jamo: once as
// a finished ending, once as a tag-less piece that an ending beginning with
// the same jamo completes.
const char kLexicon[] =
    "학교\t학교/nng\n"
    "책\t책/nng\n"
    "에\t에/jkb\n"
    "에서\t에서/jkb\n"
    "을\t을/jko[@유종성]\n"
    "를\t를/jko[@무종성]\n"
    "먹\t먹/vv\n"
    "다\t다/ef[+지정사]\t~ㄴ다/ef\n"
    "간\t가/vv+~ㄴ/etm\t가/vv+~ㄴ/_\n"
    "갈\t가/vv+~ㄹ/etm\t가/vv+~ㄹ/_\n"
    "감\t가/vv+~ㅁ/etn\t가/vv+~ㅁ/_\n"
    "갑\t가/vv+~ㅂ/_\n"
    "게\t~ㄹ게/ef\n"
    "세\t~ㅁ세/ef\n"
    "니다\t~ㅂ니다/ef\n";

class AnalyzerDictionaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dic_ = compileDictionary(kLexicon);
    analyzer_.reset(Analyzer::createObject(dic_.get()));
  }
  void TearDown() override { Analyzer::destroyObject(analyzer_.release()); }

  std::unique_ptr<KnowledgeImpl> dic_;
  std::unique_ptr<Analyzer> analyzer_;
};

TEST(AnalyzerFrontEnd, TagsEveryKindOfUnit) {
  AnalyzerImpl a;
  for (unsigned short u : std::initializer_list<unsigned short>{'!', '.', '?'}) EXPECT_EQ(pos_t(SF), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{',', '/', ';', 0xA4A1, 0xFDA4})
    EXPECT_EQ(pos_t(SP), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{'"', '\'', '(', ')', '<', '>', '[', ']', '{', '}'})
    EXPECT_EQ(pos_t(SS), a.getPosType(u));
  EXPECT_EQ(pos_t(SE), a.getPosType(0xA6A1));
  for (unsigned short u : std::initializer_list<unsigned short>{'-', '_', '~'}) EXPECT_EQ(pos_t(SO), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{'A', 'Z', 'a', 'z'}) EXPECT_EQ(pos_t(SL), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{'0', '9'}) EXPECT_EQ(pos_t(SN), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{0x2E80, 0x2FDF, 0x3400, 0x4DBF, 0x4E00, 0x9FFF,
                           0xF900, 0xFAFF})
    EXPECT_EQ(pos_t(SH), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{0xAC00, 0xD7A3, 0xD7AF})
    EXPECT_EQ(pos_t(POS_ZERO), a.getPosType(u));
  for (unsigned short u : std::initializer_list<unsigned short>{' ', '#', '$', '%', '&', '*', '+', ':', '=', '@',
                           '\\', '^', '`', '|', 0x01, 0x3131, 0xFF01, 0x2DFF,
                           0xD7B0, 0xFB00})
    EXPECT_EQ(pos_t(SW), a.getPosType(u)) << std::hex << u;

  Units t = units("학교에a가");
  EXPECT_EQ(3u, a.hanlength(t.data()));
  EXPECT_EQ(0u, a.hanlength(t.data() + 3));
  EXPECT_EQ(1u, a.hanlength(t.data() + 4));
  EXPECT_EQ(0u, a.hanlength(nullptr));
}

TEST(AnalyzerFrontEnd, NormalizeLowerCasesAndReadsChineseCharacters) {
  AnalyzerImpl a;
  Units t = units("ABC學校Ｘ");
  Units norm(t.size());
  a.normalize(t.data(), t.size() - 1, norm.data());
  EXPECT_EQ(units("abc학교ｘ"), norm);
  EXPECT_EQ(units("ABC學校Ｘ"), t);  // the caller's text is left alone

  // Cut short: zeros follow the cut.
  Units cut(5, 0xFFFF);
  a.normalize(t.data(), 4, cut.data());
  EXPECT_EQ((Units{'a', 'b', 'c', 0xD559, 0}), cut);
  a.normalize(t.data(), 2, cut.data());
  EXPECT_EQ(units("ab"), Units(cut.begin(), cut.begin() + 3));
}

TEST(AnalyzerFrontEnd, SymbolRunsWithoutDictionary) {
  Analyzer* a = Analyzer::createObject();
  EXPECT_EQ(std::vector<std::string>{"abc/sl(0,3)"}, analyze(a, "ABC"));
  EXPECT_EQ(std::vector<std::string>{"a/sl(0,1)+1/sn(1,2)"}, analyze(a, "A1"));
  EXPECT_EQ(std::vector<std::string>{"2018/sn(0,4)"}, analyze(a, "2018"));
  EXPECT_EQ(std::vector<std::string>{"?!/sf(0,2)"}, analyze(a, "?!"));
  EXPECT_EQ(std::vector<std::string>{"(/ss(0,1)+./sf(1,2)"}, analyze(a, "(."));
  // An inner space is a symbol like any other.
  EXPECT_EQ(std::vector<std::string>{"a/sl(0,1)+ /sw(1,2)+b/sl(2,3)"},
            analyze(a, "a b"));

  Candidate* c = Candidate::createObject();
  EXPECT_EQ(1u, a->process("ABC", c));
  EXPECT_STREQ("ABC", c->origin());
  Candidate::destroyObject(c);
  Analyzer::destroyObject(a);
}

TEST(AnalyzerFrontEnd, UncoveredHangulGetsOneUnknownNoun) {
  Analyzer* a = Analyzer::createObject();
  Candidate* c = Candidate::createObject();
  ASSERT_EQ(1u, a->process("학교", c));
  EXPECT_EQ("학교/nf(0,2)", describe(c->get(0)));
  EXPECT_STREQ("학교", c->origin());
  Candidate::destroyObject(c);
  Analyzer::destroyObject(a);
}

TEST(AnalyzerFrontEnd, AnalysesOnlyTheFirst99Units) {
  Analyzer* a = Analyzer::createObject();
  Candidate* c = Candidate::createObject();
  for (size_t length : {99u, 120u, 10000u}) {
    const std::string word = repeat("가", length);
    ASSERT_GE(a->process(word.c_str(), c), 1u) << length;
    EXPECT_EQ(word, c->origin());
    for (unsigned long k = 0; k < c->size(); ++k) {
      const Result* r = c->get(k);
      ASSERT_GE(r->size(), 1u);
      EXPECT_EQ(0u, r->startOffset(0));
      EXPECT_EQ(99u, r->endOffset(static_cast<int>(r->size() - 1)));
      for (unsigned long i = 0; i < r->size(); ++i)
        EXPECT_LE(r->endOffset(static_cast<int>(i)), 99u);
    }
    // No dictionary: one unknown noun over the analysed prefix.
    EXPECT_EQ(repeat("가", 99) + "/nf(0,99)", describe(c->get(0)));
  }

  // The same through the 16-bit entry, with a word mixing scripts.
  AnalyzerImpl impl;
  CandidateImpl out;
  Units text = units(repeat("a1", 5000));
  ASSERT_GE(impl.process(text.data(), &out), 1u);
  EXPECT_EQ(repeat("a1", 5000), out.origin());
  const ResultImpl* r = out.at(0);
  EXPECT_EQ(99u, r->endOffset(static_cast<int>(r->size() - 1)));
  Candidate::destroyObject(c);
  Analyzer::destroyObject(a);
}

TEST(AnalyzerFrontEnd, NullEmptyAndMalformedText) {
  Analyzer* a = Analyzer::createObject();
  Candidate* c = Candidate::createObject();
  ASSERT_EQ(1u, a->process("abc", c));

  // Null: the candidate is not touched.
  EXPECT_EQ(0u, a->process(nullptr, c));
  EXPECT_EQ(1u, c->size());
  EXPECT_STREQ("abc", c->origin());

  // Empty or malformed: cleared and left empty.
  EXPECT_EQ(0u, a->process("", c));
  EXPECT_EQ(0u, c->size());
  EXPECT_EQ(nullptr, c->origin());
  ASSERT_EQ(1u, a->process("abc", c));
  EXPECT_EQ(0u, a->process("ab\xFF", c));
  EXPECT_EQ(0u, c->size());
  EXPECT_EQ(0u, a->process("\xEA\xB0", c));  // cut-off sequence
  EXPECT_EQ(0u, c->size());
  EXPECT_EQ(0u, a->process("abc", nullptr));

  AnalyzerImpl impl;
  CandidateImpl out;
  const unsigned short empty[] = {0};
  ASSERT_EQ(1u, impl.process(units("abc").data(), &out));
  EXPECT_EQ(0u, impl.process(empty, &out));
  EXPECT_EQ(0u, out.size());
  EXPECT_EQ(0u, impl.process(static_cast<const unsigned short*>(nullptr), &out));
  Candidate::destroyObject(c);
  Analyzer::destroyObject(a);
}

TEST(AnalyzerFactory, CreatesWithDictionariesAndDestroysNull) {
  Analyzer::destroyObject(nullptr);
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(kLexicon);
  UserKnowledge* user = UserKnowledge::createObject();
  char text[] = "탈모로\t탈모로/nnp\n";
  ASSERT_EQ(0, user->loadFromBuffer(text));

  Analyzer* none = Analyzer::createObject();
  Analyzer* sys = Analyzer::createObject(dic.get());
  Analyzer* both = Analyzer::createObject(dic.get(), user);
  EXPECT_FALSE(contains(analyze(none, "학교에"), "학교/nng(0,2)+에/jkb(2,3)"));
  EXPECT_TRUE(contains(analyze(sys, "학교에"), "학교/nng(0,2)+에/jkb(2,3)"));
  EXPECT_FALSE(contains(analyze(sys, "탈모로에"), "탈모로/nnp(0,3)+에/jkb(3,4)"));
  EXPECT_TRUE(contains(analyze(both, "탈모로에"), "탈모로/nnp(0,3)+에/jkb(3,4)"));

  // The setters exchange the dictionaries between calls.
  none->setSysKnowledge(dic.get());
  none->setUserKnowledge(user);
  EXPECT_TRUE(contains(analyze(none, "탈모로에"), "탈모로/nnp(0,3)+에/jkb(3,4)"));
  none->setUserKnowledge(nullptr);
  EXPECT_FALSE(contains(analyze(none, "탈모로에"), "탈모로/nnp(0,3)+에/jkb(3,4)"));

  Analyzer::destroyObject(none);
  Analyzer::destroyObject(sys);
  Analyzer::destroyObject(both);
  UserKnowledge::destroyObject(user);
}

TEST_F(AnalyzerDictionaryTest, NounWithParticle) {
  EXPECT_TRUE(contains(analyze(analyzer_.get(), "학교에"),
                       "학교/nng(0,2)+에/jkb(2,3)"));
  EXPECT_TRUE(contains(analyze(analyzer_.get(), "학교에서"),
                       "학교/nng(0,2)+에서/jkb(2,4)"));
  EXPECT_TRUE(contains(analyze(analyzer_.get(), "책을"), "책/nng(0,1)+을/jko(1,2)"));
  EXPECT_TRUE(contains(analyze(analyzer_.get(), "학교를"),
                       "학교/nng(0,2)+를/jko(2,3)"));
  // The particle has to fit the noun's final consonant.
  EXPECT_FALSE(anyMentions(analyze(analyzer_.get(), "책를"), "를/jko"));
  EXPECT_FALSE(anyMentions(analyze(analyzer_.get(), "학교을"), "을/jko"));
}

TEST_F(AnalyzerDictionaryTest, StemWithEndingAndDroppedCopula) {
  EXPECT_TRUE(contains(analyze(analyzer_.get(), "먹다"), "먹/vv(0,1)+다/ef(1,2)"));
  // After an open syllable the ending marked +지정사 brings the copula back.
  EXPECT_TRUE(contains(analyze(analyzer_.get(), "학교다"),
                       "학교/nng(0,2)+이/vcp(2,3)+다/ef(2,3)"));
  // After a closed one the ending does not attach to the noun at all.
  const std::vector<std::string> closed = analyze(analyzer_.get(), "책다");
  EXPECT_FALSE(anyMentions(closed, "이/vcp"));
  EXPECT_FALSE(anyMentions(closed, "다/ef"));
}

TEST_F(AnalyzerDictionaryTest, ContractedEndings) {
  Analyzer* a = analyzer_.get();
  EXPECT_TRUE(contains(analyze(a, "간"), "가/vv(0,1)+ㄴ/etm(0,1)"));
  EXPECT_TRUE(contains(analyze(a, "갈"), "가/vv(0,1)+ㄹ/etm(0,1)"));
  EXPECT_TRUE(contains(analyze(a, "감"), "가/vv(0,1)+ㅁ/etn(0,1)"));
  EXPECT_TRUE(contains(analyze(a, "간다"), "가/vv(0,1)+ㄴ다/ef(1,2)"));
  EXPECT_TRUE(contains(analyze(a, "갑니다"), "가/vv(0,1)+ㅂ니다/ef(1,3)"));
  EXPECT_FALSE(anyMentions(analyze(a, "갑"), "가/vv"));
  EXPECT_FALSE(anyMentions(analyze(a, "먹니다"), "ㅂ니다/ef"));
}

TEST(AnalyzerLattice, ContractedEndingsNeedTheSameJamo) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(kLexicon);
  AnalyzerImpl a(dic.get());
  EXPECT_EQ(std::vector<std::string>{"가/vv(0,1)+ㄴ/etm(0,1)"}, latticePass(a, "간"));
  EXPECT_EQ(std::vector<std::string>{"가/vv(0,1)+ㄴ다/ef(1,2)"},
            latticePass(a, "간다"));
  EXPECT_EQ(std::vector<std::string>{"가/vv(0,1)+ㄹ게/ef(1,2)"},
            latticePass(a, "갈게"));
  EXPECT_EQ(std::vector<std::string>{"가/vv(0,1)+ㅁ세/ef(1,2)"},
            latticePass(a, "감세"));
  EXPECT_EQ(std::vector<std::string>{"가/vv(0,1)+ㅂ니다/ef(1,3)"},
            latticePass(a, "갑니다"));
  // A different jamo, an ordinary ending after the piece, a jamo ending
  // after an ordinary stem or after a finished ending: nothing connects, and
  // a word cannot end on the tag-less piece.
  EXPECT_TRUE(latticePass(a, "간니다").empty());
  EXPECT_TRUE(latticePass(a, "갑다").empty());
  EXPECT_TRUE(latticePass(a, "먹니다").empty());
  EXPECT_TRUE(latticePass(a, "갑").empty());
  EXPECT_EQ(std::vector<std::string>{"먹/vv(0,1)+다/ef(1,2)"}, latticePass(a, "먹다"));
  EXPECT_EQ(std::vector<std::string>{"학교/nng(0,2)+이/vcp(2,3)+다/ef(2,3)"},
            latticePass(a, "학교다"));
  EXPECT_TRUE(latticePass(a, "책다").empty());
}

TEST(AnalyzerLattice, NounIrregularReading) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(
      "나\t나/np\n"
      "사\t사/nng\n"
      "가\t가/vv\n"
      "책\t책/nng\n"
      "학교\t학교/nng\n"
      "a나\ta나/np\n");
  AnalyzerImpl a(dic.get());
  EXPECT_EQ(std::vector<std::string>{"나/np(0,1)+ㄴ/jx(0,1)"}, latticePass(a, "난"));
  EXPECT_EQ(std::vector<std::string>{"나/np(0,1)+ㄹ/jx(0,1)"}, latticePass(a, "날"));
  EXPECT_EQ(std::vector<std::string>{"사/nng(0,1)+ㄴ/jx(0,1)"}, latticePass(a, "산"));
  // Only nouns and pronouns are read so, and ㅂ gives a tag-less piece that
  // cannot end a word.
  EXPECT_TRUE(latticePass(a, "간").empty());
  EXPECT_TRUE(latticePass(a, "납").empty());
  // Not inside a Hangul run: the search at position 1 is an ordinary one.
  EXPECT_FALSE(anyMentions(latticePass(a, "책난", 6), "ㄴ/jx"));
  EXPECT_TRUE(latticePass(a, "학교산").empty());
  EXPECT_TRUE(latticePass(a, "학교산", 6).empty());
  // A search that starts at a non-Hangul unit may read it.
  EXPECT_TRUE(contains(latticePass(a, "1a난", 6),
                       "1/sn(0,1)+a나/np(1,3)+ㄴ/jx(1,3)"));

  // An ordinary hit of the same length wins over the irregular one.
  std::unique_ptr<KnowledgeImpl> both = compileDictionary(
      "나\t나/np\n"
      "난\t난/nng\n");
  AnalyzerImpl b(both.get());
  EXPECT_EQ(std::vector<std::string>{"난/nng(0,1)"}, latticePass(b, "난"));
}

TEST(AnalyzerLattice, LongHangulRunBecomesOneUnknownNoun) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(
      "에\t에/jkb\n"
      "에서\t에서/jkb\n"
      "가\t가/nng\n");
  AnalyzerImpl a(dic.get());
  const std::string stem19 = "가나다라마바사아자차카타파하거너더러머";
  ASSERT_EQ(20u, units(stem19).size());

  // The final particle is left out of the unknown noun, and the short
  // dictionary noun at 0 is not linked inside the long run.
  EXPECT_EQ(std::vector<std::string>{stem19 + "/nf(0,19)+에/jkb(19,20)"},
            latticePass(a, stem19 + "에"));
  EXPECT_EQ(std::vector<std::string>{stem19 + "/nf(0,19)+에서/jkb(19,21)"},
            latticePass(a, stem19 + "에서"));
  EXPECT_EQ(std::vector<std::string>{stem19 + "머/nf(0,20)"},
            latticePass(a, stem19 + "머"));
  // Inside the run, dictionary nouns shorter than 13 units are not linked.
  std::unique_ptr<KnowledgeImpl> nouns = compileDictionary("학교\t학교/nng\n");
  AnalyzerImpl b(nouns.get());
  EXPECT_EQ(std::vector<std::string>{repeat("학교", 8) + "/nf(0,16)"},
            latticePass(b, repeat("학교", 8)));
  std::string chain;
  for (int k = 0; k < 7; ++k)
    chain += (k ? "+" : "") + std::string("학교/nng(") + std::to_string(2 * k) +
             "," + std::to_string(2 * k + 2) + ")";
  EXPECT_EQ(std::vector<std::string>{chain}, latticePass(b, repeat("학교", 7)));
  // Fourteen syllables are no long run: no unknown noun is made up.
  EXPECT_TRUE(latticePass(a, repeat("가", 14)).empty());

  // The node itself, found by the look-up the other stages use.
  Units text = units(stem19 + "에");
  a.searchTrie(text.data(), 20);
  const unsigned int nounClass = (NNG >> 1) & 0x3FFFF;
  InterResult* nf = a.findExistsPOS(0, 19, nounClass, NF >> 21);
  ASSERT_NE(nullptr, nf);
  EXPECT_EQ(0u, nf->offset());
  EXPECT_EQ(nullptr, a.findExistsPOS(0, 20, nounClass, NF >> 21));
  EXPECT_NE(nullptr, a.findExistsPOSWithoutLength(0, nounClass, NNG >> 21));
  a.clear();

  // Through the whole driver the reading survives.
  Analyzer* full = Analyzer::createObject(dic.get());
  EXPECT_TRUE(contains(analyze(full, stem19 + "에"),
                       stem19 + "/nf(0,19)+에/jkb(19,20)"));
  Analyzer::destroyObject(full);
}

TEST(AnalyzerLattice, NumberRules) {
  // Rule A: after 3 + bound noun, the one-syllable noun 개 after 3 is dropped.
  std::unique_ptr<KnowledgeImpl> counter = compileDictionary(
      "개\t개/nng\t개/nnb[@단위]\n");
  AnalyzerImpl a(counter.get());
  EXPECT_EQ(std::vector<std::string>{"3/sn(0,1)+개/nnb(1,2)"}, latticePass(a, "3개"));

  // Rule B: after 3 + numeral, the one-syllable particle 만 after 3 is dropped.
  std::unique_ptr<KnowledgeImpl> numeral = compileDictionary(
      "만\t만/jx\t만/nr\n");
  AnalyzerImpl b(numeral.get());
  EXPECT_EQ(std::vector<std::string>{"3/sn(0,1)+만/nr(1,2)"}, latticePass(b, "3만"));

  // Without the number reading first, both readings stay.
  std::unique_ptr<KnowledgeImpl> plain = compileDictionary(
      "개\t개/nng\n"
      "책\t책/nng\n");
  AnalyzerImpl c(plain.get());
  EXPECT_EQ(std::vector<std::string>{"3/sn(0,1)+개/nng(1,2)"}, latticePass(c, "3개"));

  // Bound nouns sort first after a number even when a longer noun exists.
  std::unique_ptr<KnowledgeImpl> longer = compileDictionary(
      "개\t개/nnb[@단위]\n"
      "개월\t개월/nng\n"
      "월\t월/nnb[+의존]\n");
  AnalyzerImpl d(longer.get());
  const std::vector<std::string> got = latticePass(d, "3개월");
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ("3/sn(0,1)+개/nnb(1,2)+월/nnb(2,3)", got[0]);
  EXPECT_EQ("3/sn(0,1)+개월/nng(1,3)", got[1]);
}

TEST(AnalyzerLattice, OneHundredResultsAtMost) {
  // 책 and five times 도, each 도 with three readings: 243 chains.
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(
      "책\t책/nng\n"
      "도\t도/jx\t도/jx[@체언]\t도/jx[@대명사]\n");
  AnalyzerImpl a(dic.get());
  CandidateImpl out;
  const std::vector<std::string> got =
      latticePass(a, "책" + repeat("도", 5), 3, &out);
  ASSERT_EQ(100u, got.size());
  for (const std::string& s : got)
    EXPECT_EQ(0u, s.find("책/nng(0,1)+도/jx(1,2)+")) << s;

  // Through the driver nothing passes the cap either.
  Analyzer* full = Analyzer::createObject(dic.get());
  EXPECT_LE(analyze(full, "책" + repeat("도", 5)).size(), 100u);
  EXPECT_EQ(9u, latticePass(a, "책도도").size());
  Analyzer::destroyObject(full);
}

TEST(AnalyzerLattice, StrictModeSkipsTheRelaxedPass) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(kLexicon);
  AnalyzerImpl a(dic.get());
  // A verb stem after a noun is allowed only in the relaxed pass.
  EXPECT_TRUE(latticePass(a, "책먹다", 3).empty());
  EXPECT_EQ(std::vector<std::string>{"책/nng(0,1)+먹/vv(1,2)+다/ef(2,3)"},
            latticePass(a, "책먹다", 6));

  Analyzer* full = Analyzer::createObject(dic.get());
  EXPECT_TRUE(contains(analyze(full, "책먹다"), "책/nng(0,1)+먹/vv(1,2)+다/ef(2,3)"));
  full->setStrictAnalysis(true);
  const std::vector<std::string> strict = analyze(full, "책먹다");
  EXPECT_FALSE(strict.empty());
  EXPECT_FALSE(anyMentions(strict, "먹/vv"));
  full->setStrictAnalysis(false);
  EXPECT_TRUE(contains(analyze(full, "책먹다"), "책/nng(0,1)+먹/vv(1,2)+다/ef(2,3)"));
  Analyzer::destroyObject(full);
}

// Successor lists are built per pass: a second pass over the same lattice
// must not read the lists of the first, in either order of the passes.
TEST(AnalyzerLattice, SecondPassOverOneLatticeLinksAfresh) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(kLexicon);
  AnalyzerImpl a(dic.get());
  const std::string word = "책먹다";
  const std::vector<std::string> relaxedAlone = latticePass(a, word, 6);
  ASSERT_FALSE(relaxedAlone.empty());

  Units text = units(word);
  const unsigned long n = text.size() - 1;
  Units normalized(n + 1);
  a.normalize(text.data(), n, normalized.data());
  const unsigned short* norm = normalized.data();
  a.clear();
  a.searchTrie(norm, n);
  a.searchSymbol(norm, n);
  a.sortStack();
  CandidateImpl strict;
  a.analysis(3, text.data(), n, &strict);
  EXPECT_EQ(0u, strict.size());
  CandidateImpl relaxed;
  a.analysis(6, text.data(), n, &relaxed);
  EXPECT_EQ(relaxedAlone, describeAll(&relaxed));
  CandidateImpl strictAgain;
  a.analysis(3, text.data(), n, &strictAgain);
  EXPECT_EQ(0u, strictAgain.size());
  a.clear();
}

// Where the revisions part: when pruning removes every analysis the lattice
// gave, the engine's own driver guesses unknown nouns and analyses again;
// the other revisions (macOS, reduced) go on to decomposition with nothing
// left, so the word gets the fallback result.
TEST(AnalyzerLattice, EverythingPrunedByRevision) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(
      "한\t한/mm\n"
      "곳\t곳/nnb[@단위]\n"
      "에\t에/jkb\n");
  AnalyzerImpl a(dic.get());
  // The only path: 곳 does not follow the determiner 한 by the one-syllable
  // table, so pruning removes it even alone.
  EXPECT_EQ(std::vector<std::string>{"한/mm(0,1)+곳/nnb(1,2)+에/jkb(2,3)"},
            latticePass(a, "한곳에"));

  Analyzer* full = Analyzer::createObject(dic.get());
  Candidate* c = Candidate::createObject();
  ASSERT_NE(0u, full->process("한곳에", c));
  const std::vector<std::string> all = describeAll(c);
  if constexpr (revision::DECOMPOSE_AFTER_PRUNING_EMPTIED) {
    EXPECT_EQ(std::vector<std::string>{"한곳에/nf(0,3)"}, all);
    EXPECT_EQ(0.0f, c->get(0)->score());  // the fallback keeps score 0
  } else {
    EXPECT_EQ(2u, all.size());
    EXPECT_TRUE(contains(all, "한곳/nf(0,2)+에/jkb(2,3)"));
    EXPECT_TRUE(contains(all, "한곳에/nf(0,3)"));
  }
  Candidate::destroyObject(c);
  Analyzer::destroyObject(full);
}

TEST(AnalyzerLattice, UserDictionaryIsSearchedAfterTheSystemOne) {
  std::unique_ptr<KnowledgeImpl> dic = compileDictionary(
      "서울\t서울/nnp\n"
      "에\t에/jkb\n");
  UserKnowledgeImpl user;
  char text[] = "서울\t서울시/nnp\n탈모로\t탈모로/nnp\n";
  ASSERT_EQ(0, user.loadFromBuffer(text));
  AnalyzerImpl a(dic.get(), &user);
  // Equal readings keep the order of the look-up: system, then user.
  EXPECT_EQ((std::vector<std::string>{"서울/nnp(0,2)+에/jkb(2,3)",
                                      "서울시/nnp(0,2)+에/jkb(2,3)"}),
            latticePass(a, "서울에"));
  EXPECT_EQ(std::vector<std::string>{"탈모로/nnp(0,3)"}, latticePass(a, "탈모로"));

  // Many readings that sort as equals come out in record order, also when
  // sorting interleaves them with others.
  std::string source = "국\t";
  std::vector<std::string> proper, bound;
  for (int k = 0; k < 40; ++k) {
    const std::string lexicon = "국" + std::to_string(k);
    source += lexicon + "/nnp\t";
    proper.push_back(lexicon + "/nnp(0,1)");
    if (k % 2 == 0) {
      source += lexicon + "/nnb[+의존]\t";
      bound.push_back(lexicon + "/nnb(0,1)");
    }
  }
  std::unique_ptr<KnowledgeImpl> many = compileDictionary(source + "\n");
  AnalyzerImpl b(many.get());
  std::vector<std::string> expected = proper;
  expected.insert(expected.end(), bound.begin(), bound.end());
  EXPECT_EQ(expected, latticePass(b, "국"));
  // Again from the remembered readings, one for each of the chain's 60
  // records.
  EXPECT_EQ(expected, latticePass(b, "국"));
}

TEST_F(AnalyzerDictionaryTest, RepeatedCallsMatchFreshAnalyzers) {
  // 학굔 and 학굘 read 학교 with a contracted particle (noun-irregular
  // nodes); the words after them must not see those nodes' state.
  const std::vector<std::string> words = {"학굔", "학교에", "책을", "ABC",
                                          "먹다", "학굘", "학교다",
                                          repeat("가", 30), "3개"};
  Candidate* reused = Candidate::createObject();
  Candidate* fresh = Candidate::createObject();
  for (const std::string& w : words) {
    Analyzer* once = Analyzer::createObject(dic_.get());
    const unsigned long n1 = analyzer_->process(w.c_str(), reused);
    const unsigned long n2 = once->process(w.c_str(), fresh);
    ASSERT_EQ(n2, n1) << w;
    EXPECT_EQ(describeAll(fresh), describeAll(reused)) << w;
    EXPECT_STREQ(fresh->origin(), reused->origin());
    for (unsigned long k = 0; k < n1; ++k)
      EXPECT_FLOAT_EQ(fresh->get(k)->score(), reused->get(k)->score());
    Analyzer::destroyObject(once);
  }
  Candidate::destroyObject(reused);
  Candidate::destroyObject(fresh);
}

// Records written by hand: one key per damaged record.
struct RawDictionary {
  std::vector<TrieUnit> units;
  std::vector<int32_t> index;
  std::vector<unsigned char> dat;
};

TEST(AnalyzerLattice, DamagedRecordsStayInsideTheBuffers) {
  // 나: a pronoun entry with no entry marked last and a text running past
  // the end of the data; 책: a link word pointing back to itself.
  membuf records(64, 64);
  records.append_int32(0);
  records.append_uint8(0);
  records.append_uint32(NP);             // last bit missing
  records.append_uint8(2 * 100 + 1);     // more units than remain
  records.append_uint16(0xB098);
  const int32_t second = static_cast<int32_t>(records.size());
  records.append_int32(second);          // a chain looping on itself
  records.append_uint8(0);
  records.append_uint32(NNG | 1);
  records.append_uint8(3);
  records.append_uint16(0xCC45);

  const std::u16string keys[] = {u"나", u"책"};
  const unsigned short* pointers[2];
  size_t lengths[2];
  std::vector<Units> keyUnits;
  for (const std::u16string& k : keys) keyUnits.push_back(Units(k.begin(), k.end()));
  for (int i = 0; i < 2; ++i) {
    pointers[i] = keyUnits[i].data();
    lengths[i] = keyUnits[i].size();
  }
  RawDictionary raw;
  ASSERT_TRUE(buildTrie(2, pointers, lengths, nullptr, &raw.units));
  raw.index = {0, second};
  KnowledgeImpl dic;
  ASSERT_EQ(0, dic.loadFromBuffer(
                   reinterpret_cast<const char*>(raw.units.data()),
                   raw.units.size() * sizeof(TrieUnit),
                   reinterpret_cast<const char*>(raw.index.data()),
                   raw.index.size() * sizeof(int32_t),
                   reinterpret_cast<const char*>(records.buf()), records.size()));

  AnalyzerImpl lattice(&dic);
  EXPECT_EQ(std::vector<std::string>{"책/nng(0,1)"}, latticePass(lattice, "책"));

  Analyzer* a = Analyzer::createObject(&dic);
  for (const char* word : {"난", "나", "책", "책난", "난책", "날나책"}) {
    const std::vector<std::string> got = analyze(a, word);
    EXPECT_FALSE(got.empty()) << word;
  }
  Analyzer::destroyObject(a);
}

}  // namespace

// Position lists sorted in place come out as a stable sort by the node
// comparisons gives them, in each order: ties keep their push order, lists
// of any size (the small ones sorted on the stack, the long ones not), in
// push orders from sorted to reversed.
TEST(AnalyzerLattice, ListSortsAreStableSortsByTheNodeComparisons) {
  const unsigned int tags[] = {EF, JKS, VCP, XSN, XPN, NNU, NFU, NNG, NFG,
                               NNP, NNB, NR, NP, VV, MAG, SN, POS_ZERO};
  membuf records(4096, 4096);
  std::vector<std::unique_ptr<InterResult>> nodes;
  const unsigned short unit = 0xAC00;
  unsigned long seed = 12345;
  auto next = [&seed](unsigned long bound) {
    seed = seed * 6364136223846793005ul + 1442695040888963407ul;
    return static_cast<unsigned long>((seed >> 33) % bound);
  };
  using Order = AnalyzerImpl::ListOrder;
  const Order orders[] = {Order::GENERAL, Order::AFTER_NUMBER,
                          Order::AFTER_NUMERAL};
  int (*const comparisons[])(const void*, const void*) = {
      stack_compare, stack_compare_for_sn, stack_compare_for_nr};
  // Short lists are sorted by rank, longer ones by insertion or the library.
  for (size_t count : {1u, 2u, 3u, 7u, 16u, 17u, 63u, 64u, 65u, 130u}) {
    for (int shape = 0; shape < 3; ++shape) {
      std::vector<InterResult*> list;
      for (size_t i = 0; i < count; ++i) {
        const size_t off = records.size();
        records.append_uint8(0);
        records.append_uint32(tags[next(sizeof tags / sizeof tags[0])] | 1u);
        records.append_uint8(2);
        records.append_uint16(unit);
        nodes.push_back(std::make_unique<InterResult>());
        // Few lengths, so that many nodes tie.
        nodes.back()->length(1 + next(3));
        nodes.back()->parse(&records, static_cast<int>(off), &unit, 1);
        list.push_back(nodes.back().get());
      }
      if (shape == 1) {
        std::stable_sort(list.begin(), list.end(),
                         [](const InterResult* a, const InterResult* b) {
                           return a->length() < b->length();
                         });
      } else if (shape == 2) {
        std::reverse(list.begin(), list.end());
      }
      for (size_t o = 0; o < 3; ++o) {
        OpStack<InterResult*> stack;
        for (InterResult* node : list) stack.push(node);
        AnalyzerImpl::sortList(stack, orders[o]);
        std::vector<InterResult*> want = list;
        std::stable_sort(want.begin(), want.end(),
                         [&](InterResult* a, InterResult* b) {
                           return comparisons[o](&a, &b) < 0;
                         });
        ASSERT_EQ(stack.size(), want.size());
        for (size_t k = 0; k < want.size(); ++k)
          EXPECT_EQ(stack.at(k), want[k])
              << "count " << count << " shape " << shape << " order " << o
              << " index " << k;
      }
    }
  }
}

// Records read once are remembered from word to word: a dictionary that is
// reloaded in place (same object, same record offsets, other contents) or
// replaced must be read afresh.
TEST(AnalyzerLattice, RememberedRecordsFollowDictionaryChanges) {
  auto compiled = [](const std::string& source) {
    std::vector<SourceEntry> entries;
    std::vector<SourceError> errors;
    EXPECT_TRUE(parseSource(source, &entries, &errors));
    auto lexicon = std::make_unique<CompiledLexicon>();
    EXPECT_TRUE(compileEntries(entries, lexicon.get()));
    return lexicon;
  };
  auto load = [](KnowledgeImpl* dic, const CompiledLexicon& lexicon) {
    return dic->loadFromBuffer(
        reinterpret_cast<const char*>(lexicon.units.data()),
        lexicon.units.size() * sizeof(TrieUnit),
        reinterpret_cast<const char*>(lexicon.index.data()),
        lexicon.index.size() * sizeof(int32_t),
        reinterpret_cast<const char*>(lexicon.records.buf()),
        lexicon.records.size());
  };
  // The same keys and record sizes, so the records lie at the same offsets.
  // What the rules read of a record (here: a particle cannot begin a word)
  // must come from the record as it is now.
  auto particles = compiled("책\t책/jx\n상\t상/jx\n");
  auto nouns = compiled("책\t책/nng\n상\t상/nng\n");
  KnowledgeImpl dic;
  ASSERT_EQ(0, load(&dic, *particles));
  AnalyzerImpl analyzer(&dic);
  EXPECT_FALSE(anyMentions(latticePass(analyzer, "책"), "책/"));
  EXPECT_FALSE(anyMentions(latticePass(analyzer, "책"), "책/"));

  ASSERT_EQ(0, load(&dic, *nouns));
  EXPECT_TRUE(contains(latticePass(analyzer, "책"), "책/nng(0,1)"));

  // Another dictionary object whose records lie at the same offsets.
  std::unique_ptr<KnowledgeImpl> other(new KnowledgeImpl());
  ASSERT_EQ(0, load(other.get(), *particles));
  analyzer.setSysKnowledge(other.get());
  EXPECT_FALSE(anyMentions(latticePass(analyzer, "책"), "책/"));
  analyzer.setSysKnowledge(&dic);
  EXPECT_TRUE(contains(latticePass(analyzer, "책"), "책/nng(0,1)"));
}
