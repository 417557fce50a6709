// Analyzer::process on arbitrary bytes, with the fixture dictionaries (plain
// and strict) and with the default dictionary when one was built.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Resources& r = fuzz::resources();
  static Analyzer* fixture =
      Analyzer::createObject(r.fixtureDic, r.fixtureUser);
  static Analyzer* strict = [&r] {
    Analyzer* a = Analyzer::createObject(r.fixtureDic);
    a->setStrictAnalysis(true);
    return a;
  }();
  static Analyzer* plain = Analyzer::createObject();
  static Analyzer* full =
      r.defaultDic != nullptr ? Analyzer::createObject(r.defaultDic) : nullptr;
  static Candidate* candidate = Candidate::createObject();

  const std::string word = fuzz::text(data, size);
  fuzz::analyzeAndCheck(fixture, candidate, word.c_str());
  fuzz::analyzeAndCheck(strict, candidate, word.c_str());
  fuzz::analyzeAndCheck(plain, candidate, word.c_str());
  if (full != nullptr) fuzz::analyzeAndCheck(full, candidate, word.c_str());
  return 0;
}
