#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "model_fixture.h"
#include "tagger/model_impl.h"
#include "tagger/model_trainer.h"

namespace {

// Three sentences, six eojeol; a symbol, a repeated noun, two ef endings.
const char TEXT_CORPUS[] =
    "\xEF\xBB\xBF나/np+는/jx 학교/nng+에/jkb 가/vv+ㄴ다/ef+./sf\n"
    "\n"
    "학교/NNG+가/JKS\t크/va+다/ef\r\n"
    "  책/nng  \n";

// The same corpus in CoNLL-U: a contracted ending through OrigLemma, a full
// stop joined by SpaceAfter=No, a multi-word range to skip.
const char CONLLU_CORPUS[] =
    "# sent_id = 1\n"
    "# text = 나는 학교에 간다.\n"
    "1\t나는\t나+는\tPRON\tNP+JX\t_\t3\tnsubj\t_\t_\n"
    "2\t학교에\t학교+에\tNOUN\tNNG+JKB\t_\t3\tobl\t_\t_\n"
    "3\t간다\t가\tVERB\tVV+EF\t_\t0\troot\t_\tOrigLemma=가+ㄴ다|SpaceAfter=No\n"
    "4\t.\t.\tPUNCT\tSF\t_\t3\tpunct\t_\t_\n"
    "\n"
    "# text = 학교가 크다\n"
    "1-2\t학교가크다\t_\t_\t_\t_\t_\t_\t_\t_\n"
    "1\t학교가\t학교+가\tNOUN\tNNG+JKS\t_\t2\tnsubj\t_\t_\n"
    "2\t크다\t크+다\tADJ\tVA+EF\t_\t0\troot\t_\t_\n"
    "\n"
    "# text = 책\n"
    "1\t책\t책\tNOUN\tNNG\t_\t0\troot\t_\t_\n";

// Counted by hand from the corpus above.
const KeyCounts EXPECTED_MTRANS = {
    // units with a right neighbour, lexical and tag form
    {"BOM", 6}, {"나/np", 1}, {"/np", 1}, {"는/j_", 1}, {"/j_", 1},
    {"학교/n_", 2}, {"/n_", 3}, {"에/jkb", 1}, {"/jkb", 1}, {"가/vv", 1},
    {"/vv", 1}, {"ㄴ다/ef", 1}, {"/ef", 2}, {"sf", 1}, {"가/jks", 1},
    {"/jks", 1}, {"크/va", 1}, {"/va", 1}, {"다/ef", 1}, {"책/n_", 1},
    // lexical:lexical pairs
    {"BOM:나/np", 1}, {"나/np:는/j_", 1}, {"는/j_:EOM", 1},
    {"BOM:학교/n_", 2}, {"학교/n_:에/jkb", 1}, {"에/jkb:EOM", 1},
    {"BOM:가/vv", 1}, {"가/vv:ㄴ다/ef", 1}, {"ㄴ다/ef:sf", 1},
    {"sf:EOM", 1}, {"학교/n_:가/jks", 1}, {"가/jks:EOM", 1},
    {"BOM:크/va", 1}, {"크/va:다/ef", 1}, {"다/ef:EOM", 1},
    {"BOM:책/n_", 1}, {"책/n_:EOM", 1},
    // tag:tag pairs (sf:EOM is the same key in both forms)
    {"BOM:/np", 1}, {"/np:/j_", 1}, {"/j_:EOM", 1}, {"BOM:/n_", 3},
    {"/n_:/jkb", 1}, {"/jkb:EOM", 1}, {"BOM:/vv", 1}, {"/vv:/ef", 1},
    {"/ef:sf", 1}, {"/n_:/jks", 1}, {"/jks:EOM", 1}, {"BOM:/va", 1},
    {"/va:/ef", 1}, {"/ef:EOM", 1}, {"/n_:EOM", 1},
};

const KeyCounts EXPECTED_ETRANS = {
    // left units: BOE and the last morpheme of every eojeol
    {"BOE", 3}, {"는/j_", 1}, {"/j_", 1}, {"에/jkb", 1}, {"/jkb", 1},
    {"sf", 1}, {"가/jks", 1}, {"/jks", 1}, {"다/ef", 1}, {"/ef", 1},
    {"책/n_", 1}, {"/n_", 1},
    // into the next first morpheme: lex:lex, tag:lex, tag:tag
    {"BOE:나/np", 1}, {"BOE:/np", 1},
    {"는/j_:학교/n_", 1}, {"/j_:학교/n_", 1}, {"/j_:/n_", 1},
    {"에/jkb:가/vv", 1}, {"/jkb:가/vv", 1}, {"/jkb:/vv", 1},
    {"BOE:학교/n_", 1}, {"BOE:/n_", 2},
    {"가/jks:크/va", 1}, {"/jks:크/va", 1}, {"/jks:/va", 1},
    {"BOE:책/n_", 1},
    // sentence ends
    {"sf:EOE", 1}, {"다/ef:EOE", 1}, {"/ef:EOE", 1}, {"책/n_:EOE", 1},
    {"/n_:EOE", 1},
};

ModelCounter countAll(const std::vector<TrainSentence>& sentences) {
  ModelCounter counter;
  for (const TrainSentence& s : sentences) counter.addSentence(s);
  return counter;
}

}  // namespace

TEST(Trainer, MapsCorpusTags) {
  std::string tag;
  const std::pair<const char*, const char*> cases[] = {
      {"NNG", "nng"}, {"nng", "nng"}, {"NNBC", "nnb"}, {"SSO", "ss"},
      {"SSC", "ss"},  {"SC", "sp"},   {"SY", "sw"},    {"NA", "na"},
      {"XSV", "xsv"}, {"VCP", "vcp"}, {"NF", "nf"},    {"NV", "vf"}};
  for (const auto& c : cases) {
    EXPECT_TRUE(mapCorpusTag(c.first, &tag)) << c.first;
    EXPECT_EQ(tag, c.second) << c.first;
  }
  for (const char* bad : {"", "XX", "vcx", "n_x", "NNGX", "_"})
    EXPECT_FALSE(mapCorpusTag(bad, &tag)) << bad;
}

TEST(Trainer, CountsTextCorpusKeyByKey) {
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  ASSERT_TRUE(parseTextCorpus(TEXT_CORPUS, &sentences, &errors));
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(sentences.size(), 3u);
  ASSERT_EQ(sentences[0].size(), 3u);
  ASSERT_EQ(sentences[0][2].size(), 3u);
  EXPECT_EQ(sentences[0][2][2].lexicon, ".");
  EXPECT_EQ(sentences[1][0][1].tag, "jks");  // upper-case Sejong tag mapped

  const ModelCounter counter = countAll(sentences);
  EXPECT_EQ(counter.sentences(), 3u);
  EXPECT_EQ(counter.eojeols(), 6u);
  EXPECT_EQ(counter.morphemes(), 12u);
  EXPECT_EQ(counter.morphemeCounts(), EXPECTED_MTRANS);
  EXPECT_EQ(counter.eojulCounts(), EXPECTED_ETRANS);
}

TEST(Trainer, CountsConlluCorpusLikeText) {
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  ASSERT_TRUE(parseConlluCorpus(CONLLU_CORPUS, &sentences, &errors));
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(sentences.size(), 3u);
  ASSERT_EQ(sentences[0].size(), 3u);  // "간다" and "." are one eojeol
  ASSERT_EQ(sentences[0][2].size(), 3u);
  EXPECT_EQ(sentences[0][2][1].lexicon, "ㄴ다");
  EXPECT_EQ(sentences[1].size(), 2u);  // the range line is skipped

  const ModelCounter counter = countAll(sentences);
  EXPECT_EQ(counter.morphemeCounts(), EXPECTED_MTRANS);
  EXPECT_EQ(counter.eojulCounts(), EXPECTED_ETRANS);
}

TEST(Trainer, TextMorphemeSplitting) {
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  // "+" and "/" inside lexicons: split at the last "/", "+" only after a tag.
  ASSERT_TRUE(parseTextCorpus("+/sw a+b/nng //sp x/sl++/sw\n", &sentences,
                              &errors));
  ASSERT_EQ(sentences.size(), 1u);
  const TrainSentence& s = sentences[0];
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0][0].lexicon, "+");
  EXPECT_EQ(s[1][0].lexicon, "a+b");
  EXPECT_EQ(s[2][0].lexicon, "/");
  EXPECT_EQ(s[2][0].tag, "sp");
  ASSERT_EQ(s[3].size(), 2u);
  EXPECT_EQ(s[3][1].lexicon, "+");
}

TEST(Trainer, ReportsBadLines) {
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  EXPECT_FALSE(parseTextCorpus("책/nng\n학교/nng+에\n학교/qq\n/nng\n책/nng\n",
                               &sentences, &errors));
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].line, 2u);
  EXPECT_EQ(errors[1].line, 3u);
  EXPECT_NE(errors[1].message.find("qq"), std::string::npos);
  EXPECT_EQ(errors[2].line, 4u);
  EXPECT_EQ(sentences.size(), 2u);  // the good lines

  sentences.clear();
  errors.clear();
  EXPECT_FALSE(parseConlluCorpus(
      "# c\n"
      "1\t책\t책\tNOUN\tNNG\t_\t0\troot\t_\n"              // 9 fields
      "1\t학교에\t학교\tNOUN\tNNG+JKB\t_\t0\troot\t_\t_\n"  // 1 lemma, 2 tags
      "1\t책\t책\tNOUN\tXYZ\t_\t0\troot\t_\t_\n"            // unknown tag
      "x\t책\t책\tNOUN\tNNG\t_\t0\troot\t_\t_\n"            // bad id
      "1\t책\t책\tNOUN\tNNG\t_\t0\troot\t_\t_\n",
      &sentences, &errors));
  ASSERT_EQ(errors.size(), 4u);
  EXPECT_EQ(errors[0].line, 2u);
  EXPECT_EQ(errors[1].line, 3u);
  EXPECT_EQ(errors[2].line, 4u);
  EXPECT_NE(errors[2].message.find("XYZ"), std::string::npos);
  EXPECT_EQ(errors[3].line, 5u);
}

TEST(Trainer, WritesLoadableModel) {
  TempDir temp;
  ASSERT_FALSE(temp.path().empty());
  const std::string corpus = temp.path() + "/corpus.txt";
  const std::string model = temp.path() + "/model";
  writeText(corpus, TEXT_CORPUS);
  const TrainerRun run = runTrainer(corpus, nullptr, model);
  ASSERT_EQ(run.status, 0);
  const std::string& report = run.report;
  EXPECT_NE(report.find("3 sentences, 6 eojeol, 12 morphemes"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("mtrans.frq: " +
                        std::to_string(EXPECTED_MTRANS.size()) + " keys"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("etrans.frq: " +
                        std::to_string(EXPECTED_ETRANS.size()) + " keys"),
            std::string::npos)
      << report;
  EXPECT_EQ(run.messages, "");

  ModelImpl loaded;
  ASSERT_EQ(loaded.load(model.c_str()), 0);
  EXPECT_EQ(loaded.getMorphemeTransitionBOM(), 6);
  EXPECT_EQ(loaded.getEojulTransitionBOE(), 3);
  EXPECT_EQ(loaded.getEojulTransitionEOE(), 0);
  EXPECT_EQ(loaded.ruleCount(), 0u);
  for (const auto& entry : EXPECTED_MTRANS)
    EXPECT_EQ(loaded.getMorphemeTransition(entry.first.c_str()), entry.second)
        << entry.first;
  for (const auto& entry : EXPECTED_ETRANS)
    EXPECT_EQ(loaded.getEojulTransition(entry.first.c_str()), entry.second)
        << entry.first;
  EXPECT_EQ(loaded.getMorphemeTransition("BOE"), 0);

  // A bad line fails the run and writes nothing.
  const std::string bad = temp.path() + "/bad.conllu";
  const std::string badModel = temp.path() + "/bad-model";
  writeText(bad, std::string(CONLLU_CORPUS) + "5\tx\tx\tX\tQQ\t_\t0\t_\t_\t_\n");
  const TrainerRun failed = runTrainer(bad, nullptr, badModel);
  EXPECT_EQ(failed.status, 1);
  const std::string& message = failed.messages;
  EXPECT_NE(message.find(bad + ":15: unknown tag \"QQ\""), std::string::npos)
      << message;
  struct stat info;
  EXPECT_NE(stat(badModel.c_str(), &info), 0);
  // An explicit format overrides the file name; an unknown one fails.
  EXPECT_EQ(runTrainer(corpus, "conllu", badModel).status, 1);
  EXPECT_EQ(runTrainer(corpus, "xml", badModel).status, 1);
  EXPECT_EQ(stat(badModel.c_str(), &info), -1);
}
