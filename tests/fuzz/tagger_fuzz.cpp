// Tagger::process on arbitrary bytes: the fixture dictionaries and model,
// a tagger without model, and the default dictionary and model when built.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Resources& r = fuzz::resources();
  static Tagger* fixture =
      Tagger::createObject(r.fixtureModel, r.fixtureDic, r.fixtureUser);
  static Tagger* noModel = Tagger::createObject(nullptr, r.fixtureDic);
  static Tagger* full =
      r.defaultDic != nullptr
          ? Tagger::createObject(
                r.defaultModel != nullptr ? r.defaultModel : r.fixtureModel,
                r.defaultDic)
          : nullptr;
  static Sentence* sentence = Sentence::createObject();

  const std::string text = fuzz::text(data, size);
  fuzz::tagAndCheck(fixture, sentence, text.c_str());
  fuzz::tagAndCheck(noModel, sentence, text.c_str());
  if (full != nullptr) fuzz::tagAndCheck(full, sentence, text.c_str());
  return 0;
}
