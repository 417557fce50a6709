// UserKnowledge::loadFromBuffer on arbitrary text, then analysis of the
// surfaces it declared and of the probe words with the fixture system
// dictionary and the fuzzed user dictionary.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Resources& r = fuzz::resources();
  static Candidate* candidate = Candidate::createObject();
  static Sentence* sentence = Sentence::createObject();
  static Analyzer* analyzer = Analyzer::createObject(r.fixtureDic);
  static Tagger* tagger = Tagger::createObject(r.fixtureModel, r.fixtureDic);

  const std::string source = fuzz::text(data, size);
  std::vector<char> buffer(source.begin(), source.end());
  buffer.push_back('\0');
  UserKnowledge* user = UserKnowledge::createObject();
  fuzz::require(user->loadFromBuffer(buffer.data()) == 0, "load returns 0");

  analyzer->setUserKnowledge(user);
  tagger->setUserKnowledge(user);
  // The first fields of the text are surfaces the dictionary may now hold.
  size_t lines = 0;
  for (const std::string& line : reliability::words(source)) {
    if (++lines > 32) break;
    fuzz::analyzeAndCheck(analyzer, candidate, line.c_str());
  }
  for (const std::string& w : fuzz::probeWords())
    fuzz::analyzeAndCheck(analyzer, candidate, w.c_str());

  fuzz::tagAndCheck(tagger, sentence, fuzz::probeSentence());
  analyzer->setUserKnowledge(nullptr);
  tagger->setUserKnowledge(nullptr);
  UserKnowledge::destroyObject(user);
  return 0;
}
