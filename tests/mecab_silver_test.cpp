#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mecab_silver.h"
#include "tagger/model_trainer.h"

namespace {

std::string morphemesOf(const std::string& surface, const std::string& feature) {
  std::vector<SilverMorpheme> out;
  std::string reason;
  if (!silverTokenMorphemes(surface, feature, &out, &reason)) return "!" + reason;
  return formatSilverEojeol(out);
}

std::string convert(const std::vector<std::string>& lines, SilverStats* stats = nullptr) {
  SilverConverter c;
  std::string out;
  for (const std::string& l : lines) c.addLine(l, &out);
  c.finish(&out);
  if (stats != nullptr) *stats = c.stats();
  return out;
}

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(MecabSilver, TokenMorphemesFollowTheDictionaryConversion) {
  EXPECT_EQ(morphemesOf("문장", "NNG,*,T,문장,*,*,*,*"), "문장/nng");
  // Expression morphemes, conjoining jamo as compatibility jamo.
  EXPECT_EQ(morphemesOf("인가요", "VCP+EF,*,F,인가요,Inflect,VCP,EF,이/VCP/*+ᆫ가요/EF/*"),
            "이/vcp+ㄴ가요/ef");
  EXPECT_EQ(morphemesOf("입니다", "VCP+EC,*,F,입니다,Inflect,VCP,EC,이/VCP/*+ᄇ니다/EC/*"),
            "이/vcp+ㅂ니다/ec");
  // Renamed tags.
  EXPECT_EQ(morphemesOf("개", "NNBC,*,F,개,*,*,*,*"), "개/nnb");
  EXPECT_EQ(morphemesOf("(", "SSO,*,*,*,*,*,*,*"), "(/ss");
  EXPECT_EQ(morphemesOf(")", "SSC,*,*,*,*,*,*,*"), ")/ss");
  EXPECT_EQ(morphemesOf(",", "SC,*,*,*,*,*,*,*"), ",/sp");
  EXPECT_EQ(morphemesOf("~", "SY,*,*,*,*,*,*,*"), "~/sw");
  // Forms as the analyzer writes them: Latin in lower case.
  EXPECT_EQ(morphemesOf("FAQ", "SL,*,*,*,*,*,*,*"), "faq/sl");
  // A compound stays one morpheme, as in the converted dictionary.
  EXPECT_EQ(morphemesOf("대학교", "NNG,*,F,대학교,Compound,*,*,대학/NNG/*+교/NNG/*"),
            "대학교/nng");
  // A one-tag preanalysis too; a multi-tag one is split.
  EXPECT_EQ(morphemesOf("가나", "NNG,*,F,가나,Preanalysis,*,*,가/NNG/*+나/NNG/*"),
            "가나/nng");
  EXPECT_EQ(morphemesOf("갔다", "VV+EP+EF,*,F,갔다,Preanalysis,VV,EF,가/VV/*+았/EP/*+다/EF/*"),
            "가/vv+았/ep+다/ef");
  // Failures.
  EXPECT_EQ(morphemesOf("듭니다", "UNKNOWN,*,*,*,*,*,*,*")[0], '!');
  EXPECT_EQ(morphemesOf("갔다", "VV+EF,*,F,갔다,*,*,*,*")[0], '!');
  EXPECT_EQ(morphemesOf("", "NNG,*,*,*,*,*,*,*")[0], '!');
}

TEST(MecabSilver, TokensJoinIntoEojeolWhereTheTextHasNoSpace) {
  SilverStats stats;
  const std::string out = convert(
      {"이\tMM,~명사,F,이,*,*,*,*", " FAQ\tSL,*,*,*,*,*,*,*",
       "는\tJX,*,T,는,*,*,*,*",
       "  무엇\tNP,*,T,무엇,*,*,*,*",
       "인가요\tVCP+EF,*,F,인가요,Inflect,VCP,EF,이/VCP/*+ᆫ가요/EF/*",
       "?\tSF,*,*,*,*,*,*,*", "EOS"},
      &stats);
  EXPECT_EQ(out, "이/mm faq/sl+는/jx 무엇/np+이/vcp+ㄴ가요/ef+?/sf\n");
  EXPECT_EQ(stats.sentences, 1u);
  EXPECT_EQ(stats.eojeols, 3u);
  EXPECT_EQ(stats.tokens, 6u);
  EXPECT_EQ(stats.morphemes, 7u);
  EXPECT_EQ(stats.dropped, 0u);
}

TEST(MecabSilver, TokensFollowTheConventionsOfTheDictionary) {
  // 있 as a verb, sentence adverbs as general ones, inside entries too.
  EXPECT_EQ(morphemesOf("있", "VA,*,T,있,*,*,*,*"), "있/vv");
  EXPECT_EQ(morphemesOf("있다", "VA+EF,*,F,있다,Inflect,VA,EF,있/VA/*+다/EF/*"),
            "있/vv+다/ef");
  EXPECT_EQ(morphemesOf("또한", "MAJ,*,T,또한,*,*,*,*"), "또한/mag");
  EXPECT_EQ(morphemesOf("그리고", "MAJ,*,F,그리고,*,*,*,*"), "그리고/maj");
  EXPECT_EQ(morphemesOf("하여", "XSV+EC,*,F,하여,Inflect,XSV,EC,하/XSV/*+여/EC/*"),
            "하/xsv+아/ec");
  // 하 and its 여-ending as two tokens; 여 after another morpheme stays.
  EXPECT_EQ(convert({"수상\tNNG,*,T,수상,*,*,*,*", "하\tXSV,*,F,하,*,*,*,*",
                     "였\tEP,*,T,였,*,*,*,*", "다\tEF,*,F,다,*,*,*,*",
                     ".\tSF,*,*,*,*,*,*,*", " 여\tNR,*,F,여,*,*,*,*", "EOS"}),
            "수상/nng+하/xsv+았/ep+다/ef+./sf 여/nr\n");
  // A final ending no punctuation follows within its eojeol is connective.
  EXPECT_EQ(convert({"좋\tVA,*,T,좋,*,*,*,*", "습니다\tEF,*,F,습니다,*,*,*,*",
                     " 정말\tMAG,*,T,정말,*,*,*,*", " 좋\tVA,*,T,좋,*,*,*,*",
                     "다\tEF,*,F,다,*,*,*,*", "EOS"}),
            "좋/va+습니다/ec 정말/mag 좋/va+다/ec\n");
}

TEST(MecabSilver, EveryInputSentenceKeepsItsLine) {
  SilverStats stats;
  const std::string out = convert(
      {"가\tVV,*,F,가,*,*,*,*", "EOS",
       "EOS",  // an empty input line
       "깅에\tUNKNOWN,*,*,*,*,*,*,*", " 책\tNNG,*,T,책,*,*,*,*", "EOS",
       "책\tNNG,*,T,책,*,*,*,*\r", "EOS\r",
       "끝\tNNG,*,T,끝,*,*,*,*"},  // output cut short: flushed by finish
      &stats);
  EXPECT_EQ(out, "가/vv\n\n\n책/nng\n끝/nng\n");
  EXPECT_EQ(stats.sentences, 3u);
  EXPECT_EQ(stats.dropped, 1u);
  ASSERT_EQ(stats.dropReasons.size(), 1u);
  EXPECT_EQ(stats.dropReasons.begin()->second, 1u);
  // A line without a feature column drops its sentence.
  EXPECT_EQ(convert({"책", "EOS"}), "\n");
}

TEST(MecabSilver, FileConversionFeedsTheTrainer) {
  // The test programs run at once share the temporary folder.
  const std::string dir =
      ::testing::TempDir() + "/talmoro." + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  const std::string in = dir + "/silver_in.txt", out = dir + "/silver_out.txt";
  {
    std::ofstream f(in, std::ios::binary);
    f << "학교\tNNG,*,F,학교,*,*,*,*\n에\tJKB,*,F,에,*,*,*,*\n"
         " 갔다\tVV+EP+EF,*,F,갔다,Inflect,VV,EF,가/VV/*+았/EP/*+다/EF/*\n"
         ".\tSF,*,*,*,*,*,*,*\nEOS\n";
  }
  std::FILE* err = std::tmpfile();
  ASSERT_EQ(convertMecabOutputFile(in, out, err), 0);
  std::fclose(err);
  const std::string text = readAll(out);
  EXPECT_EQ(text, "학교/nng+에/jkb 가/vv+았/ep+다/ef+./sf\n");
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  ASSERT_TRUE(parseTextCorpus(text, &sentences, &errors));
  ASSERT_EQ(sentences.size(), 1u);
  ASSERT_EQ(sentences[0].size(), 2u);
  EXPECT_EQ(sentences[0][1].size(), 4u);
  EXPECT_EQ(sentences[0][1][0].lexicon, "가");

  err = std::tmpfile();
  EXPECT_EQ(convertMecabOutputFile(dir + "/no/such/file", out, err), 1);
  EXPECT_EQ(convertMecabOutputFile(in, dir + "/no/such/dir/out", err), 1);
  std::fclose(err);
  std::filesystem::remove_all(dir);
}
