// The mecab-ko-dic converter: the sys.dic reader on small dictionaries made by
// buildMecabDictionary, the mapping of entries to source-lexicon analyses,
// the attribute rules, and the converted lexicon driving the analyzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "lexicon_convert.h"
#include "lexicon_fixture.h"
#include "mecab_dic.h"
#include "mecab_model.h"
#include "result/candidate_impl.h"

namespace {

MecabEntry entry(const std::string& surface, int wcost, const std::string& feature) {
  MecabEntry e;
  e.surface = surface;
  e.token.wcost = static_cast<int16_t>(wcost);
  e.token.posid = 7;
  e.feature = feature;
  return e;
}

std::string dictionaryBytes(const std::vector<MecabEntry>& entries) {
  std::string bytes, message;
  EXPECT_TRUE(buildMecabDictionary(entries, &bytes, &message)) << message;
  return bytes;
}

std::vector<MecabEntry> readAll(const MecabDictionary& dic, bool* ok,
                                std::string* message) {
  std::vector<MecabEntry> out;
  *ok = dic.forEachEntry([&](const MecabEntry& e) { out.push_back(e); }, nullptr,
                         nullptr, message);
  return out;
}

void putU32(std::string* bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

uint32_t getU32(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// The analyses of a converted surface as written in the source lexicon.
std::vector<std::string> written(LexiconConverter& c, const char* surface) {
  std::vector<std::string> out;
  for (const ConvAnalysis& a : c.analysesOf(utf8ToUnits(surface)))
    out.push_back(formatAnalysis(a, analysisMarkers(a, c.context())));
  return out;
}

bool has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

// Whether an analysis of the list reads `item`, whatever its markers.
bool reads(const std::vector<std::string>& list, const std::string& item) {
  return std::any_of(list.begin(), list.end(), [&](const std::string& a) {
    return a == item || a.compare(0, item.size() + 1, item + "[") == 0;
  });
}

size_t stat(const LexiconConverter& c, const std::string& reason) {
  auto it = c.stats().find(reason);
  return it == c.stats().end() ? 0 : it->second;
}

}  // namespace

TEST(MecabDictionaryTest, ReadsEveryEntryInByteOrder) {
  std::vector<MecabEntry> entries = {
      entry("학교", 100, "NNG,장소,F,학교,*,*,*,*"),
      entry("가", 10, "JKS,*,F,가,*,*,*,*"),
      entry("가", 20, "VV,*,F,가,*,*,*,*"),
      entry("가다", 30, "VV+EC,*,F,가다,Inflect,VV,EC,가/VV/*+다/EC/*"),
      entry("a", -5, "SL,*,*,*,*,*,*,*"),
  };
  std::string bytes = dictionaryBytes(entries);
  MecabDictionary dic;
  std::string message;
  ASSERT_TRUE(dic.loadFromBuffer(bytes, &message)) << message;
  EXPECT_EQ(dic.header().version, MECAB_DIC_VERSION);
  EXPECT_EQ(dic.header().lexsize, 5u);
  EXPECT_EQ(dic.header().charset, "UTF-8");
  EXPECT_EQ(dic.tokenCount(), 5u);

  size_t keys = 0, count = 0;
  std::vector<MecabEntry> got;
  ASSERT_TRUE(dic.forEachEntry([&](const MecabEntry& e) { got.push_back(e); }, &keys,
                               &count, &message))
      << message;
  EXPECT_EQ(keys, 4u);
  EXPECT_EQ(count, 5u);
  ASSERT_EQ(got.size(), 5u);
  // Byte order: "a" < "가" < "가다" < "학교"; a key's tokens in their order.
  EXPECT_EQ(got[0].surface, "a");
  EXPECT_EQ(got[0].token.wcost, -5);
  EXPECT_EQ(got[1].surface, "가");
  EXPECT_EQ(got[1].feature, "JKS,*,F,가,*,*,*,*");
  EXPECT_EQ(got[2].surface, "가");
  EXPECT_EQ(got[2].token.wcost, 20);
  EXPECT_EQ(got[3].surface, "가다");
  EXPECT_EQ(got[3].feature, "VV+EC,*,F,가다,Inflect,VV,EC,가/VV/*+다/EC/*");
  EXPECT_EQ(got[4].surface, "학교");
  EXPECT_EQ(got[4].token.posid, 7);
}

TEST(MecabDictionaryTest, RejectsDamagedFilesWithoutReadingOutside) {
  std::string good = dictionaryBytes({entry("가", 1, "JKS,*,F,가,*,*,*,*"),
                                      entry("나", 2, "NP,*,F,나,*,*,*,*")});
  std::string message;
  MecabDictionary dic;

  EXPECT_FALSE(dic.loadFromBuffer(good.substr(0, 40), &message));
  // A cut file no longer matches its magic number.
  EXPECT_FALSE(dic.loadFromBuffer(good.substr(0, good.size() - 3), &message));
  EXPECT_NE(message.find("magic"), std::string::npos);

  std::string version = good;
  putU32(&version, 4, 101);
  EXPECT_FALSE(dic.loadFromBuffer(version, &message));

  std::string sizes = good;  // dsize larger than the file allows
  putU32(&sizes, 24, getU32(good, 24) + 8);
  EXPECT_FALSE(dic.loadFromBuffer(sizes, &message));

  // A token whose feature offset points past the feature strings.
  std::string feature = good;
  size_t tokens = MECAB_DIC_HEADER_SIZE + getU32(good, 24);
  putU32(&feature, tokens + 8, 0x7fffffff);
  ASSERT_TRUE(dic.loadFromBuffer(feature, &message)) << message;
  bool ok = true;
  readAll(dic, &ok, &message);
  EXPECT_FALSE(ok);
  EXPECT_NE(message.find("feature"), std::string::npos);

  // A key naming more tokens than the file has: the last feature string
  // also loses its terminator.
  std::string unterminated = good;
  unterminated[unterminated.size() - 1] = 'x';
  ASSERT_TRUE(dic.loadFromBuffer(unterminated, &message));
  std::vector<MecabEntry> got = readAll(dic, &ok, &message);
  EXPECT_FALSE(ok);
  EXPECT_EQ(got.size(), 1u);  // the entry before the fault was delivered

  EXPECT_FALSE(dic.load("/nonexistent/sys.dic", &message));
}

TEST(LexiconConvertTest, MapsMecabTagsToEngineNames) {
  EXPECT_EQ(LexiconConverter::mapTag("NNBC"), "nnb");
  EXPECT_EQ(LexiconConverter::mapTag("SSO"), "ss");
  EXPECT_EQ(LexiconConverter::mapTag("SSC"), "ss");
  EXPECT_EQ(LexiconConverter::mapTag("SC"), "sp");
  EXPECT_EQ(LexiconConverter::mapTag("SY"), "sw");
  EXPECT_EQ(LexiconConverter::mapTag("NNG"), "nng");
  EXPECT_EQ(LexiconConverter::mapTag("VCP"), "vcp");
  EXPECT_EQ(LexiconConverter::mapTag("JKS"), "jks");
  EXPECT_EQ(LexiconConverter::mapTag("UNA"), "");
  EXPECT_EQ(LexiconConverter::mapTag("NA"), "");
  EXPECT_EQ(LexiconConverter::mapTag("VSV"), "");
  EXPECT_EQ(LexiconConverter::mapTag("VCX"), "");  // not read as vcp
}

TEST(LexiconConvertTest, ConvertsExpressionsWithJamoAndSurfaceFlags) {
  std::vector<ConvMorpheme> ms;
  std::string reason;
  auto text = [&]() {
    ConvAnalysis a;
    a.morphemes = ms;
    return formatAnalysis(a, {});
  };
  // 갔: neither 가 nor 았 stands literally in the surface.
  ASSERT_TRUE(LexiconConverter::convertExpression(u"갔", "가/VV/*+았/EP/*", &ms, &reason));
  EXPECT_EQ(text(), "~가/vv+~았/ep");
  // Jongseong jamo become compatibility jamo; 가 keeps its syllable although
  // the ㄴ of the ending closes it.
  ASSERT_TRUE(LexiconConverter::convertExpression(u"간다", "가/VV/*+\u11ab다/EC/*", &ms,
                                                  &reason));
  EXPECT_EQ(text(), "가/vv+~ㄴ다/ec");
  ASSERT_TRUE(LexiconConverter::convertExpression(u"입니다", "이/VCP/*+\u1107니다/EF/*",
                                                  &ms, &reason));
  EXPECT_EQ(text(), "이/vcp+~ㅂ니다/ef");
  // A vowel jamo stands for a contracted 아/어, with a following final.
  ASSERT_TRUE(LexiconConverter::convertExpression(u"가", "가/VV/*+ㅏ/EF/*", &ms, &reason));
  EXPECT_EQ(text(), "가/vv+~아/ef");
  ASSERT_TRUE(LexiconConverter::convertExpression(u"했", "하/VV/*+ㅓㅆ/EP/*", &ms, &reason));
  EXPECT_EQ(text(), "~하/vv+~었/ep");
  // An irregular stem is not spelled; a later literal morpheme cannot be
  // placed either.
  ASSERT_TRUE(LexiconConverter::convertExpression(u"가까운", "가깝/VA/*+ᆫ/ETM/*", &ms,
                                                  &reason));
  EXPECT_EQ(text(), "~가깝/va+~ㄴ/etm");
  // A counter noun keeps its unit mark; compound parts are all spelled.
  ASSERT_TRUE(LexiconConverter::convertExpression(u"학교생활", "학교/NNG/*+생활/NNG/행위",
                                                  &ms, &reason));
  EXPECT_EQ(text(), "학교/nng+생활/nng");
  ASSERT_TRUE(LexiconConverter::convertExpression(u"개", "개/NNBC/*", &ms, &reason));
  EXPECT_TRUE(ms[0].unit);

  EXPECT_FALSE(LexiconConverter::convertExpression(u"x", "x/UNA/*", &ms, &reason));
  EXPECT_EQ(reason, "unknown tag UNA");
  EXPECT_FALSE(LexiconConverter::convertExpression(u"가", "가ㅎ/VV/*", &ms, &reason));
  EXPECT_FALSE(LexiconConverter::convertExpression(u"가", "가VV", &ms, &reason));
}

TEST(LexiconConvertTest, FiltersEntriesThatHarmTheLattice) {
  LexiconConverter c;
  c.add("가", 1571, "JKS,*,F,가,*,*,*,*");
  c.add("가", 8084, "JKS+NP,*,F,가,Inflect,JKS,NP,가/JKS/*+누구/NP/*");
  c.add("가", 3980, "VV,*,F,가,*,*,*,*");
  c.add("가", 3980, "VV,*,F,가,Inflect,VV,VV,갈/VV/*");  // shadows 가/vv
  c.add("는", 7139, "EC+JX,*,T,는,Inflect,EC,JX,ᆯ지/EC/*+는/JX/*");
  c.add("라는", -904, "VCP+ETM,*,F,라는,Inflect,VCP,ETM,이/VCP/*+라는/ETM/*");
  c.add("인데", -113, "VCP+EC,*,F,인데,Inflect,VCP,EC,이/VCP/*+ᆫ데/EC/*");
  c.add("에", 6185, "XSN+JKB,*,F,에,Inflect,XSN,JKB,께/XSN/*+로/JKB/*");
  c.add("學校", 100, "NNG,*,F,학교,*,*,*,*");
  c.add("들", 9122, "XSV,*,T,들,*,*,*,*");
  c.add("(", -1183, "SSO,*,*,*,*,*,*,*");
  c.add("「", -1183, "SSO,*,*,*,*,*,*,*");
  c.add("아퍼", 3844, "VA,*,F,아퍼,Inflect,VA,VA,아프/VA/*");
  c.add("TV", 100, "NNG,*,F,TV,*,*,*,*");
  c.write();

  std::vector<std::string> ga = written(c, "가");
  EXPECT_TRUE(has(ga, "가/jks"));
  EXPECT_TRUE(has(ga, "가/vv"));
  EXPECT_EQ(ga.size(), 3u);  // the variant is still collected, but:
  EXPECT_EQ(stat(c, "dropped: particle followed by a content word"), 1u);
  EXPECT_EQ(stat(c, "dropped: variant shadowing a plain entry"), 1u);
  EXPECT_EQ(stat(c, "dropped: starts with a particle or ending the surface does not spell"),
            1u);
  EXPECT_EQ(stat(c, "dropped: copula left out of the surface (the +지정사 endings cover it)"),
            1u);
  EXPECT_EQ(stat(c, "dropped: first morpheme does not begin the surface"), 1u);
  EXPECT_EQ(stat(c, "dropped: key with Chinese characters (searched by reading)"), 1u);
  EXPECT_EQ(stat(c, "dropped: one-syllable entry rarer than the cost limit"), 1u);
  EXPECT_EQ(stat(c, "dropped: ASCII symbol the analyzer's symbol runs give"), 1u);
  EXPECT_EQ(stat(c, "dropped: stem variant that swallows an ending"), 1u);
  EXPECT_TRUE(has(written(c, "인데"), "이/vcp+~ㄴ데/ec[eomi:보조용언-]"));
  EXPECT_TRUE(has(written(c, "「"), "「/ss"));
  // Keys are searched lower-cased; the form keeps its case.
  EXPECT_TRUE(has(written(c, "tv"), "TV/nng"));
  // The written lexicon holds each surface once, the variant left out.
  LexiconConverter again;
  again.add("가", 3980, "VV,*,F,가,*,*,*,*");
  again.add("가", 3980, "VV,*,F,가,Inflect,VV,VV,갈/VV/*");
  EXPECT_EQ(again.write(), "가\t가/vv\n");
}

TEST(LexiconConvertTest, KeepsOneCommonOrProperNounAndNoSpellingVariant) {
  LexiconConverter c;
  c.add("전", 3080, "NNG,*,T,전,*,*,*,*");
  c.add("전", 6673, "NNP,인명,T,전,*,*,*,*");
  c.add("전", 6547, "NNB,*,T,전,*,*,*,*");
  c.add("미국", 4929, "NNG,*,T,미국,*,*,*,*");
  c.add("미국", 1446, "NNP,지명,T,미국,*,*,*,*");
  c.add("물론", 1397, "NNG,*,T,물론,*,*,*,*");
  c.add("물론", 9, "MAG,*,T,물론,Inflect,MAG,MAG,몰론/MAG/*");
  c.add("깨달", 3000, "VV,*,T,깨달,Inflect,VV,VV,깨닫/VV/*");
  c.add("등", 2000, "NNB,*,T,등,*,*,*,*");
  c.add("등", 3500, "NNG,*,T,등,*,*,*,*");
  c.add("등", 4000, "NNBC,*,T,등,*,*,*,*");
  std::string text = c.write();
  // The cheaper of the two noun readings stays, whichever tag it has; a
  // bound noun stays only when it is cheaper than the nouns, and then they
  // go; a counter is another class and stays.
  EXPECT_NE(text.find("전\t전/nng\n"), std::string::npos) << text;
  EXPECT_NE(text.find("미국\t미국/nnp\n"), std::string::npos) << text;
  EXPECT_NE(text.find("등\t등/nnb[nnb:+의존]\t등/nnb[nnb:@단위]\n"), std::string::npos)
      << text;
  EXPECT_EQ(stat(c, "dropped: common or proper noun behind a cheaper one"), 3u);
  EXPECT_EQ(stat(c, "dropped: bound noun behind a cheaper noun"), 1u);
  // A spelling variant yields to a plain reading of another tag; a stem
  // variant with no plain reading stays.
  EXPECT_NE(text.find("물론\t물론/nng\n"), std::string::npos) << text;
  EXPECT_NE(text.find("깨달\t~깨닫/vv\n"), std::string::npos) << text;
  EXPECT_EQ(stat(c, "dropped: variant shadowing a plain entry"), 1u);
}

TEST(LexiconConvertTest, WritesTheConventionsOfTheTaggedText) {
  // 있 is a verb; other adjectives stay.
  EXPECT_EQ(LexiconConverter::conventionTag(u"있", "va"), "vv");
  EXPECT_EQ(LexiconConverter::conventionTag(u"맛있", "va"), "va");
  EXPECT_EQ(LexiconConverter::conventionTag(u"있", "vx"), "vx");
  // Conjunctive adverbs are those that join; sentence adverbs are general.
  EXPECT_EQ(LexiconConverter::conventionTag(u"그리고", "maj"), "maj");
  EXPECT_EQ(LexiconConverter::conventionTag(u"및", "maj"), "maj");
  EXPECT_EQ(LexiconConverter::conventionTag(u"또한", "maj"), "mag");
  EXPECT_EQ(LexiconConverter::conventionTag(u"또한", "nng"), "nng");
  // The 여 of endings after 하 is written 아, its final kept.
  EXPECT_EQ(LexiconConverter::haEndingForm(u"여"), u"아");
  EXPECT_EQ(LexiconConverter::haEndingForm(u"였"), u"았");
  EXPECT_EQ(LexiconConverter::haEndingForm(u"여서"), u"아서");
  EXPECT_EQ(LexiconConverter::haEndingForm(u"어서"), u"어서");
  EXPECT_EQ(LexiconConverter::haEndingForm(u"ㄴ"), u"ㄴ");
  EXPECT_TRUE(LexiconConverter::isHaStem(u"하", "xsv"));
  EXPECT_TRUE(LexiconConverter::isHaStem(u"하", "vx"));
  EXPECT_FALSE(LexiconConverter::isHaStem(u"하", "nng"));
  EXPECT_FALSE(LexiconConverter::isHaStem(u"되", "xsv"));

  std::vector<ConvMorpheme> ms;
  std::string reason;
  ASSERT_TRUE(LexiconConverter::convertExpression(u"하였", "하/XSV/*+였/EP/*", &ms,
                                                  &reason)) << reason;
  ASSERT_EQ(ms.size(), 2u);
  EXPECT_EQ(ms[1].form, u"았");
  EXPECT_FALSE(ms[1].spelled);
  // After another stem the ending keeps its form.
  ASSERT_TRUE(LexiconConverter::convertExpression(u"켜여", "켜/VV/*+여/EC/*", &ms,
                                                  &reason)) << reason;
  EXPECT_EQ(ms[1].form, u"여");
  ASSERT_TRUE(LexiconConverter::convertExpression(u"있다", "있/VA/*+다/EF/*", &ms,
                                                  &reason)) << reason;
  EXPECT_EQ(ms[0].tag, "vv");

  LexiconConverter c;
  c.add("여", 3000, "EC,*,F,여,*,*,*,*");
  c.add("였", 3000, "EP,*,T,였,*,*,*,*");
  c.add("또한", 2000, "MAJ,*,T,또한,*,*,*,*");
  EXPECT_TRUE(reads(written(c, "여"), "~아/ec"));
  EXPECT_TRUE(reads(written(c, "였"), "~았/ep"));
  EXPECT_TRUE(has(written(c, "또한"), "또한/mag"));
}

TEST(LexiconConvertTest, KeepsTheReadingsTheTaggerCanTellApart) {
  LexiconConverter c;
  // Of an adjective and a verb of one spelling the cheaper stays; the
  // auxiliary is another class.
  c.add("맛있", 2000, "VA,*,T,맛있,*,*,*,*");
  c.add("맛있", 2500, "VV,*,T,맛있,*,*,*,*");
  c.add("맛있", 2600, "VX,*,T,맛있,*,*,*,*");
  // The adjective suffix 하 after a noun goes; after a root its forms stay.
  c.add("하", 100, "XSA,*,F,하,*,*,*,*");
  c.add("하", 100, "XSV,*,F,하,*,*,*,*");
  c.add("한", 100, "XSA+ETM,*,T,한,Inflect,XSA,ETM,하/XSA/*+ᆫ/ETM/*");
  c.add("깨끗", 3000, "XR,*,T,깨끗,*,*,*,*");
  // A final ending gets a connective twin; one that has it gets none.
  c.add("습니다", 1000, "EF,*,F,습니다,*,*,*,*");
  c.add("어요", 1000, "EF,*,F,어요,*,*,*,*");
  c.add("어요", 1200, "EC,*,F,어요,*,*,*,*");
  const std::string text = c.write();
  EXPECT_NE(text.find("맛있\t맛있/va\t맛있/vx\n"), std::string::npos) << text;
  EXPECT_EQ(stat(c, "dropped: verb or adjective behind a cheaper one"), 1u);
  // 하/xsa, 하/xsa+ㄴ/etm and its piece 하/xsa+ㄴ/_ go: 한 is left with none.
  EXPECT_EQ(stat(c, "dropped: adjective suffix 하 outside a root's forms"), 3u);
  EXPECT_NE(text.find("하\t하/xsv\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("\n한\t"), std::string::npos) << text;
  EXPECT_NE(text.find("깨끗/xr+하/xsa+~ㄴ/etm"), std::string::npos) << text;
  EXPECT_NE(text.find("습니다\t습니다/ef[eomi:@유종성,eomi:-ㄹ종성]\t습니다/ec["),
            std::string::npos) << text;
  EXPECT_EQ(stat(c, "derived: final ending read as a connective one"), 1u);
}

// A 3 x 3 matrix of zero costs: context 0 is BOS/EOS.
MecabMatrix zeroMatrix() {
  std::string bytes(4 + 2 * 9, '\0');
  bytes[0] = 3;
  bytes[2] = 3;
  MecabMatrix m;
  std::string message;
  EXPECT_TRUE(m.loadFromBuffer(bytes, &message)) << message;
  return m;
}

TEST(LexiconConvertTest, DropsAdverbsTheSourceCostsReadAsSplits) {
  MecabMatrix matrix = zeroMatrix();
  auto feed = [](LexiconConverter* c) {
    // 있다: the adverb costs more than 있 + 다.
    c->add("있다", 4000, "MAG,*,F,있다,*,*,*,*", 1, 1);
    c->add("있", 1000, "VA,*,T,있,*,*,*,*", 2, 2);
    c->add("다", 1000, "EC,*,F,다,*,*,*,*", 2, 2);
    // 함께: 함 + 께 costs more than the adverb.
    c->add("함께", 1000, "MAG,*,F,함께,*,*,*,*", 1, 1);
    c->add("함", 2000, "NNG,*,T,함,*,*,*,*", 2, 2);
    c->add("께", 2000, "JKB,*,F,께,*,*,*,*", 2, 2);
    // 보통: a cheaper single noun is no split; the adverb stays.
    c->add("보통", 3000, "MAG,*,T,보통,*,*,*,*", 1, 1);
    c->add("보통", 500, "NNG,*,T,보통,*,*,*,*", 2, 2);
    // 어때: one token of two morphemes is a split.
    c->add("어때", 3000, "MAG,*,F,어때,*,*,*,*", 1, 1);
    c->add("어때", 2000, "VA+EC,*,F,어때,Inflect,VA,EC,어떻/VA/*+어/EC/*", 2, 2);
    // 하지만: a conjunctive adverb is not checked.
    c->add("하지만", 3000, "MAJ,*,T,하지만,*,*,*,*", 1, 1);
    c->add("하", 100, "VV,*,F,하,*,*,*,*", 2, 2);
    c->add("지만", 100, "EC,*,T,지만,*,*,*,*", 2, 2);
  };
  LexiconConverter with;
  with.setMatrix(&matrix);
  feed(&with);
  std::string text = with.write();
  EXPECT_EQ(text.find("있다/mag"), std::string::npos) << text;
  EXPECT_EQ(text.find("어때/mag"), std::string::npos) << text;
  EXPECT_NE(text.find("함께\t함께/mag\n"), std::string::npos) << text;
  EXPECT_NE(text.find("보통/mag"), std::string::npos) << text;
  EXPECT_NE(text.find("하지만\t하지만/maj\n"), std::string::npos) << text;
  EXPECT_EQ(stat(with, "dropped: adverb the source's costs read as a split"), 2u);

  // Connection costs count: a dear 있 -> 다 link makes the adverb cheaper.
  std::string bytes(4 + 2 * 9, '\0');
  bytes[0] = 3;
  bytes[2] = 3;
  bytes[4 + 2 * (2 + 3 * 2)] = 0x10;  // right 2 followed by left 2: 4112
  bytes[4 + 2 * (2 + 3 * 2) + 1] = 0x10;
  MecabMatrix dear;
  std::string message;
  ASSERT_TRUE(dear.loadFromBuffer(bytes, &message)) << message;
  LexiconConverter costly;
  costly.setMatrix(&dear);
  feed(&costly);
  EXPECT_NE(costly.write().find("있다\t있다/mag\n"), std::string::npos);

  // Without a matrix nothing is checked.
  LexiconConverter without;
  feed(&without);
  EXPECT_NE(without.write().find("있다\t있다/mag\n"), std::string::npos);
}

TEST(LexiconConvertTest, DerivesPiecesThatRebuildContractedWords) {
  LexiconConverter c;
  // Three entries attest the ending ㄴ다 keyed on 다.
  c.add("간다", 100, "VV+EF,*,F,간다,Inflect,VV,EF,가/VV/*+ᆫ다/EF/*");
  c.add("산다", 200, "VV+EF,*,F,산다,Inflect,VV,EF,사/VV/*+ᆫ다/EF/*");
  c.add("한다", 50, "XSV+EF,*,F,한다,Inflect,XSV,EF,하/XSV/*+ᆫ다/EF/*");
  // ㄹ까 only once: its rest-keyed ending stays out.
  c.add("갈까", 100, "VV+EF,*,F,갈까,Inflect,VV,EF,가/VV/*+ᆯ까/EF/*");
  // Swallowed vowels.
  c.add("봐서", 100, "VV+EC,*,F,봐서,Inflect,VV,EC,보/VV/*+아서/EC/*");
  c.add("가서", 100, "VV+EC,*,F,가서,Inflect,VV,EC,가/VV/*+아서/EC/*");
  c.add("해서", 100, "VV+EC,*,F,해서,Inflect,VV,EC,하/VV/*+아서/EC/*");
  c.add("써서", 100, "VV+EC,*,F,써서,Inflect,VV,EC,쓰/VV/*+어서/EC/*");
  c.add("서서", 100, "VV+EC,*,F,서서,Inflect,VV,EC,서/VV/*+어서/EC/*");
  c.add("펴서", 100, "VV+EC,*,F,펴서,Inflect,VV,EC,펴/VV/*+어서/EC/*");
  // 먹어서 spells its 어: nothing to derive.
  c.add("먹어서", 100, "VV+EC,*,F,먹어서,Inflect,VV,EC,먹/VV/*+어서/EC/*");
  c.add("시원", 100, "XR,*,T,시원,*,*,*,*");
  c.write();

  EXPECT_TRUE(has(written(c, "간"), "가/vv+~ㄴ/_"));
  EXPECT_TRUE(has(written(c, "한"), "하/xsv+~ㄴ/_"));
  EXPECT_TRUE(has(written(c, "간다"), "가/vv+~ㄴ다/ef"));
  EXPECT_TRUE(has(written(c, "다"), "~ㄴ다/ef"));
  EXPECT_TRUE(has(written(c, "갈"), "가/vv+~ㄹ/_"));
  EXPECT_TRUE(written(c, "까").empty());
  EXPECT_TRUE(has(written(c, "봐"), "~보/vv+~아/_"));
  EXPECT_TRUE(has(written(c, "가"), "가/vv+~아/_"));
  EXPECT_TRUE(has(written(c, "해"), "~하/vv+~아/_"));
  EXPECT_TRUE(has(written(c, "써"), "~쓰/vv+~어/_"));
  std::vector<std::string> seo = written(c, "서");
  // No ending of this dictionary precedes an auxiliary: 보조용언- on all.
  EXPECT_TRUE(has(seo, "~아/_+~아서/ec[eomi:보조용언-]"));
  EXPECT_TRUE(has(seo, "~어서/ec[eomi:보조용언-,eomi:-어생략]"));
  EXPECT_TRUE(has(seo, "서/vv+~어/_"));
  EXPECT_TRUE(written(c, "먹어").empty());
  // A root stands only joined to the forms of 하.
  EXPECT_TRUE(written(c, "시원").empty());
  EXPECT_TRUE(has(written(c, "시원하"), "시원/xr+하/xsa[clue:어미+]"));
  EXPECT_TRUE(has(written(c, "시원한"), "시원/xr+하/xsa+~ㄴ/etm"));
  EXPECT_TRUE(has(written(c, "시원한"), "시원/xr+하/xsa+~ㄴ/_"));
  EXPECT_TRUE(has(written(c, "시원해"), "시원/xr+~하/xsa+~아/ec[eomi:보조용언-]"));
  EXPECT_TRUE(has(written(c, "시원해"), "시원/xr+~하/xsa+~아/_"));
  EXPECT_TRUE(has(written(c, "시원했"), "시원/xr+~하/xsa+~았/ep"));
}

TEST(AttributeTest, EndingMarkersFollowTheFormAndTheLists) {
  AttributeContext ctx;
  for (const char16_t* f : {u"으면", u"면", u"으니까", u"니까", u"으러", u"러", u"다",
                            u"으다", u"고", u"으고", u"습니다", u"는다", u"는", u"어"})
    ctx.endings.insert({f, "ec"});
  ctx.ecBeforeAux.insert(u"어");
  ctx.ecBeforeAux.insert(u"으려");
  typedef std::vector<std::string> M;
  EXPECT_EQ(endingMarkers(u"으면", "ec", ctx), (M{"@유종성", "-ㄹ종성", "보조용언-"}));
  EXPECT_EQ(endingMarkers(u"면", "ec", ctx), (M{"@무종성", "@ㄹ종성", "보조용언-"}));
  // ㄹ drops before ㄴ (사니까), so no @ㄹ종성.
  EXPECT_EQ(endingMarkers(u"니까", "ef", ctx), (M{"@무종성"}));
  // 으다 and 으고 are no twins of 다 and 고.
  EXPECT_EQ(endingMarkers(u"다", "ef", ctx), M{});
  EXPECT_EQ(endingMarkers(u"고", "ef", ctx), M{});
  EXPECT_EQ(endingMarkers(u"습니다", "ef", ctx), (M{"@유종성", "-ㄹ종성"}));
  EXPECT_EQ(endingMarkers(u"는다", "ef", ctx),
            (M{"-ㄹ종성", "@유종성", "-형용사", "-선어말어미"}));
  EXPECT_EQ(endingMarkers(u"는", "etm", ctx), (M{"-ㄹ종성"}));
  // 어 takes auxiliaries; 려 through its twin 으려.
  EXPECT_EQ(endingMarkers(u"어", "ec", ctx), M{});
  EXPECT_EQ(endingMarkers(u"려", "ec", ctx), M{});
  EXPECT_EQ(endingMarkers(u"ㄴ다", "ec", ctx), (M{"보조용언-"}));

  std::vector<std::string> errors;
  ASSERT_TRUE(ctx.lists.parse("# copula\n다/ef,ec +지정사\n면/e* !@ㄹ종성,+지정사\n",
                              "list", &errors));
  EXPECT_EQ(endingMarkers(u"다", "ef", ctx), (M{"+지정사"}));
  EXPECT_EQ(endingMarkers(u"다", "etm", ctx), M{});
  EXPECT_EQ(endingMarkers(u"면", "ec", ctx), (M{"@무종성", "보조용언-", "+지정사"}));
}

TEST(AttributeTest, ParticleMarkersPairTheTwoForms) {
  AttributeContext ctx;
  for (const char16_t* f : {u"나", u"이나", u"랑", u"이랑", u"서", u"에"})
    ctx.particles.insert({f, "jx"});
  ctx.particles.insert({u"이서", "jks"});
  ctx.particles.insert({u"로", "jkb"});
  ctx.particles.insert({u"으로", "jkb"});
  ctx.particles.insert({u"로서", "jkb"});
  ctx.particles.insert({u"으로서", "jkb"});
  typedef std::vector<std::string> M;
  EXPECT_EQ(particleMarkers(u"이나", "jx", ctx), (M{"@유종성"}));
  EXPECT_EQ(particleMarkers(u"나", "jx", ctx), (M{"@무종성"}));
  EXPECT_EQ(particleMarkers(u"랑", "jx", ctx), (M{"@무종성"}));
  // 이서/jks and 서/jx differ in tag: no pair.
  EXPECT_EQ(particleMarkers(u"서", "jx", ctx), M{});
  EXPECT_EQ(particleMarkers(u"에", "jx", ctx), M{});
  EXPECT_EQ(particleMarkers(u"로서", "jkb", ctx), (M{"@무종성", "+ㄹ종성"}));
  EXPECT_EQ(particleMarkers(u"으로", "jkb", ctx), (M{"@유종성"}));
  std::vector<std::string> errors;
  ASSERT_TRUE(ctx.lists.parse("가/jks,jkc @무종성\n는/jx @무종성,보조사-\n", "p", &errors));
  EXPECT_EQ(particleMarkers(u"가", "jks", ctx), (M{"@무종성"}));
  EXPECT_EQ(particleMarkers(u"가", "jx", ctx), M{});
  EXPECT_EQ(particleMarkers(u"는", "jx", ctx), (M{"@무종성", "보조사-"}));
}

TEST(AttributeTest, AnalysisMarkersNameTheirLexicon) {
  AttributeContext ctx;
  ctx.endings.insert({u"으면", "ec"});
  ctx.endings.insert({u"면", "ec"});
  auto markers = [&](std::vector<ConvMorpheme> ms) {
    ConvAnalysis a;
    a.morphemes = ms;
    return analysisMarkers(a, ctx);
  };
  auto m = [](const char16_t* form, const char* tag, bool unit = false) {
    ConvMorpheme x;
    x.form = form;
    x.tag = tag;
    x.unit = unit;
    return x;
  };
  typedef std::vector<std::string> M;
  EXPECT_EQ(markers({m(u"개", "nnb", true)}), (M{"nnb:@단위"}));
  EXPECT_EQ(markers({m(u"것", "nnb")}), (M{"nnb:+의존"}));
  EXPECT_EQ(markers({m(u"것", "nnb"), m(u"이", "vcp")}), (M{"nnb:+의존"}));
  EXPECT_EQ(markers({m(u"하", "xsa")}), (M{"clue:어미+"}));
  EXPECT_EQ(markers({m(u"스럽", "xsa")}), (M{"clue:어미+"}));
  EXPECT_EQ(markers({m(u"학교", "nng")}), M{});
  // The last ending's 보조용언- says what may follow a predicate.
  EXPECT_EQ(markers({m(u"먹", "vv"), m(u"으면", "ec")}), (M{"eomi:보조용언-"}));
  EXPECT_EQ(markers({m(u"으면", "ec"), m(u"도", "jx")}),
            (M{"eomi:@유종성", "eomi:-ㄹ종성", "eomi:보조용언-"}));
  // Written and read back by the lexicon compiler.
  std::string line = "먹으면\t" + formatAnalysis(ConvAnalysis{{m(u"먹", "vv"), m(u"으면", "ec")},
                                                              {}, 0, ConvAnalysis::EXPRESSION},
                                                 markers({m(u"먹", "vv"), m(u"으면", "ec")}));
  SourceEntry e;
  std::string message;
  ASSERT_TRUE(parseSourceLine(line, &e, &message)) << message;
  ASSERT_EQ(e.analyses.size(), 1u);
  EXPECT_EQ(e.analyses[0].flag, 1);
  EXPECT_EQ(e.analyses[0].attribute, 0x200u);
}

TEST(AttributeListsTest, ReportsBadLines) {
  AttributeLists lists;
  std::vector<std::string> errors;
  EXPECT_FALSE(lists.parse("다/ef +지정사\n다\n라/ +지정사\n고 +지정사\n  # only a comment\n",
                           "copula.txt", &errors));
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0], "copula.txt:2: a form without markers");
  EXPECT_EQ(errors[1], "copula.txt:3: a \"/\" without tags");
  EXPECT_EQ(errors[2], "copula.txt:4: a form without \"/TAG\"");
  EXPECT_EQ(lists.find(u"다", "ef"), (std::vector<std::string>{"+지정사"}));
}

TEST(LexiconConvertTest, EscapesSpecialCharacters) {
  EXPECT_EQ(escapeField("c++"), "c\\+\\+");
  EXPECT_EQ(escapeField("a/b"), "a\\/b");
  EXPECT_EQ(escapeField("~x#[y]"), "\\~x\\#\\[y\\]");
  ConvAnalysis a;
  ConvMorpheme m;
  m.form = u"c++";
  m.tag = "sl";
  a.morphemes = {m};
  SourceEntry e;
  std::string message;
  ASSERT_TRUE(parseSourceLine("c++\t" + formatAnalysis(a, {}), &e, &message)) << message;
  ASSERT_EQ(e.analyses.size(), 1u);
  EXPECT_EQ(e.analyses[0].morphemes[0].text.size(), 3u);
}

namespace {

// A small mecab-ko-dic: the words of the end-to-end checks.
std::vector<MecabEntry> fixtureEntries() {
  return {
      entry("학교", 1000, "NNG,장소,F,학교,*,*,*,*"),
      entry("학생", 1000, "NNG,*,T,학생,*,*,*,*"),
      entry("생활", 1000, "NNG,*,T,생활,*,*,*,*"),
      entry("학교생활", 900, "NNG,*,T,학교생활,Compound,*,*,학교/NNG/*+생활/NNG/*"),
      entry("참여", 1000, "NNG,*,F,참여,*,*,*,*"),
      entry("에", 1286, "JKB,*,F,에,*,*,*,*"),
      entry("에서", -824, "JKB,*,F,에서,*,*,*,*"),
      entry("는", 1047, "JX,*,T,는,*,*,*,*"),
      entry("은", 1100, "JX,*,T,은,*,*,*,*"),
      entry("이", 2338, "JKS,*,F,이,*,*,*,*"),
      entry("가", 1571, "JKS,*,F,가,*,*,*,*"),
      entry("이", 1201, "VCP,*,F,이,*,*,*,*"),
      entry("다", 2700, "EF,*,F,다,*,*,*,*"),
      entry("가", 3980, "VV,*,F,가,*,*,*,*"),
      entry("사", 4000, "VV,*,F,사,*,*,*,*"),
      entry("하", 2449, "XSV,*,F,하,*,*,*,*"),
      entry("하", 2301, "XSA,*,F,하,*,*,*,*"),
      entry("하", 3000, "VV,*,F,하,*,*,*,*"),
      entry("시원", 4000, "XR,*,T,시원,*,*,*,*"),
      entry("개", 3000, "NNBC,*,F,개,*,*,*,*"),
      entry("갔", 900, "VV+EP,*,T,갔,Inflect,VV,EP,가/VV/*+았/EP/*"),
      entry("간다", 900, "VV+EF,*,F,간다,Inflect,VV,EF,가/VV/*+ᆫ다/EF/*"),
      entry("산다", 900, "VV+EF,*,F,산다,Inflect,VV,EF,사/VV/*+ᆫ다/EF/*"),
      entry("한다", 900, "XSV+EF,*,F,한다,Inflect,XSV,EF,하/XSV/*+ᆫ다/EF/*"),
      entry("합니다", 900, "VV+EF,*,F,합니다,Inflect,VV,EF,하/VV/*+ᄇ니다/EF/*"),
      entry("갑니다", 900, "VV+EF,*,F,갑니다,Inflect,VV,EF,가/VV/*+ᄇ니다/EF/*"),
      entry("삽니다", 900, "VV+EF,*,F,삽니다,Inflect,VV,EF,사/VV/*+ᄇ니다/EF/*"),
  };
}

// The fixture converted with the repository's lists, compiled and loaded.
std::unique_ptr<KnowledgeImpl> convertedFixture(bool splitCompounds) {
  std::string bytes = dictionaryBytes(fixtureEntries());
  MecabDictionary dic;
  std::string message;
  EXPECT_TRUE(dic.loadFromBuffer(bytes, &message)) << message;
  ConvertOptions options;
  options.splitCompounds = splitCompounds;
  LexiconConverter c(options);
  std::vector<std::string> errors;
  EXPECT_TRUE(c.context().lists.parse("다/ef +지정사\n가/jks @무종성\n이/jks @유종성\n",
                                      "lists", &errors));
  EXPECT_TRUE(dic.forEachEntry(
      [&](const MecabEntry& e) { c.add(e.surface, e.token.wcost, e.feature); }, nullptr,
      nullptr, &message));
  return compileLexicon(c.write());
}

std::vector<std::string> analyses(KnowledgeImpl* k, const char* word) {
  AnalyzerImpl analyzer(k);
  CandidateImpl candidate;
  analyzer.process(word, &candidate);
  return describe(candidate);
}

}  // namespace

TEST(ConvertedLexiconTest, AnalyzesCommonWords) {
  std::unique_ptr<KnowledgeImpl> k = convertedFixture(false);
  ASSERT_TRUE(k);
  EXPECT_TRUE(has(analyses(k.get(), "학교에"), "학교/nng(0,2) + 에/jkb(2,3)"));
  EXPECT_TRUE(has(analyses(k.get(), "갔다"), "가/vv(0,1) + 았/ep(0,1) + 다/ef(1,2)"));
  // Stem with a dangling ㄴ, then the ending keyed on 다.
  std::vector<std::string> ganda = analyses(k.get(), "간다");
  EXPECT_TRUE(has(ganda, "가/vv(0,1) + ㄴ다/ef(1,2)"));
  EXPECT_TRUE(has(analyses(k.get(), "참여한다"),
                  "참여/nng(0,2) + 하/xsv(2,3) + ㄴ다/ef(3,4)"));
  EXPECT_TRUE(has(analyses(k.get(), "합니다"), "하/vv(0,1) + ㅂ니다/ef(1,3)"));
  // The copula, written and left out.
  EXPECT_TRUE(has(analyses(k.get(), "학생이다"),
                  "학생/nng(0,2) + 이/vcp(2,3) + 다/ef(3,4)"));
  EXPECT_TRUE(has(analyses(k.get(), "학교다"),
                  "학교/nng(0,2) + 이/vcp(2,3) + 다/ef(2,3)"));
  EXPECT_TRUE(analyses(k.get(), "학생다").size() == 0 ||
              !has(analyses(k.get(), "학생다"), "학생/nng(0,2) + 이/vcp(2,3) + 다/ef(2,3)"));
  // Particles fit the final consonant.
  EXPECT_TRUE(has(analyses(k.get(), "학생이"), "학생/nng(0,2) + 이/jks(2,3)"));
  EXPECT_FALSE(has(analyses(k.get(), "학생가"), "학생/nng(0,2) + 가/jks(2,3)"));
  // A particle joined to the particle before it.
  EXPECT_TRUE(has(analyses(k.get(), "학교에서는"),
                  "학교/nng(0,2) + 에서/jkb(2,4) + 는/jx(4,5)"));
  // A root with the adjective suffix, and an ending through its clue.
  EXPECT_TRUE(has(analyses(k.get(), "시원한"),
                  "시원/xr(0,2) + 하/xsa(2,3) + ㄴ/etm(2,3)"));
  EXPECT_TRUE(has(analyses(k.get(), "시원하다"),
                  "시원/xr(0,2) + 하/xsa(2,3) + 다/ef(3,4)"));
  // A compound stays one noun.
  EXPECT_TRUE(has(analyses(k.get(), "학교생활"), "학교생활/nng(0,4)"));
}

TEST(ConvertedLexiconTest, SplitCompoundsGetTheirOffsets) {
  std::unique_ptr<KnowledgeImpl> k = convertedFixture(true);
  ASSERT_TRUE(k);
  std::vector<std::string> got = analyses(k.get(), "학교생활");
  EXPECT_TRUE(has(got, "학교/nng(0,2) + 생활/nng(2,4)"));
  EXPECT_FALSE(has(got, "학교생활/nng(0,4)"));
}
