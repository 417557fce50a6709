// One loaded dictionary, user dictionary and model shared by eight threads,
// each with an analyzer and a tagger of its own, over a corpus: every thread
// must give exactly the results of a single thread. Run under ThreadSanitizer
// (TALMORO_TSAN) it also shows that sharing the loaded objects is free of
// data races.
//
// The corpus is build/corpus/ko-prose.txt (or TALMORO_CORPUS) when present,
// else lines generated from the fixture vocabulary; the dictionary and
// model are the default ones when built, else the fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "api/talmoro.h"
#include "reliability_support.h"

namespace {

constexpr size_t kThreads = 8;
constexpr size_t kLines = 300;

// The analyses of every word and the tagging of every line, as text.
struct Output {
  std::vector<std::string> analyses;
  std::vector<std::string> taggings;
};

// Processes the lines from `first` on, wrapping around, so that the threads
// are at different lines at any moment; the output is in corpus order.
Output run(const std::vector<std::string>& lines, size_t first,
           const Knowledge* dic, const UserKnowledge* user,
           const Model* model) {
  Analyzer* analyzer = Analyzer::createObject(dic, user);
  Tagger* tagger = Tagger::createObject(model, dic, user);
  Candidate* candidate = Candidate::createObject();
  Sentence* sentence = Sentence::createObject();
  Output out;
  out.analyses.resize(lines.size());
  out.taggings.resize(lines.size());
  for (size_t k = 0; k < lines.size(); ++k) {
    const size_t i = (first + k) % lines.size();
    std::string analyses;
    for (const std::string& w : reliability::words(lines[i])) {
      analyzer->process(w.c_str(), candidate);
      analyses += reliability::describeCandidate(candidate);
      analyses += "\n";
    }
    out.analyses[i] = analyses;
    tagger->process(lines[i].c_str(), sentence);
    out.taggings[i] = reliability::describeSentence(sentence);
  }
  Sentence::destroyObject(sentence);
  Candidate::destroyObject(candidate);
  Tagger::destroyObject(tagger);
  Analyzer::destroyObject(analyzer);
  return out;
}

TEST(Threads, SharedKnowledgeAndModelGiveSingleThreadResults) {
  reliability::TempDir dir("talmoro_threads");
  std::string message;
  std::string dicDir = reliability::defaultDictionaryDir();
  std::string modelDir = reliability::defaultModelDir();
  if (dicDir.empty()) {
    dicDir = dir.path() + "/dic";
    ASSERT_TRUE(reliability::writeFixtureDictionary(dicDir, &message))
        << message;
  }
  if (modelDir.empty()) {
    modelDir = dir.path() + "/model";
    ASSERT_TRUE(reliability::writeFixtureModel(modelDir, &message)) << message;
  }
  Knowledge* dic = Knowledge::createObject();
  ASSERT_EQ(dic->load(dicDir.c_str()), 0);
  UserKnowledge* user = UserKnowledge::createObject();
  ASSERT_EQ(user->load(reliability::testData("user.dic").c_str()), 0);
  Model* model = Model::createObject();
  ASSERT_EQ(model->load(modelDir.c_str()), 0);

  const std::string corpus = reliability::defaultCorpusPath();
  const std::vector<std::string> lines =
      corpus.empty() ? reliability::generatedCorpus(kLines, 7)
                     : reliability::fileLines(corpus, kLines);
  ASSERT_GE(lines.size(), 100u);

  const Output reference = run(lines, 0, dic, user, model);
  // The reference is not trivial: words get analyses and lines eojeol.
  size_t eojeol = 0;
  for (const std::string& t : reference.taggings) {
    EXPECT_FALSE(t.empty());
    eojeol += 1 + std::count(t.begin(), t.end(), '|');
  }
  EXPECT_GT(eojeol, lines.size());

  std::vector<Output> outputs(kThreads);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      outputs[t] = run(lines, t * lines.size() / kThreads, dic, user, model);
    });
  }
  for (std::thread& t : threads) t.join();

  for (size_t t = 0; t < kThreads; ++t) {
    size_t differences = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (outputs[t].analyses[i] != reference.analyses[i] ||
          outputs[t].taggings[i] != reference.taggings[i]) {
        if (++differences <= 3)
          ADD_FAILURE() << "thread " << t << ", line " << i << ": " << lines[i]
                        << "\n  analyses:\n"
                        << outputs[t].analyses[i] << "  expected:\n"
                        << reference.analyses[i]
                        << "  tagging: " << outputs[t].taggings[i]
                        << "\n  expected: " << reference.taggings[i];
      }
    }
    EXPECT_EQ(differences, 0u) << "thread " << t;
  }

  Model::destroyObject(model);
  UserKnowledge::destroyObject(user);
  Knowledge::destroyObject(dic);
}

}  // namespace
