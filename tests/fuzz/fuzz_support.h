// Shared by the fuzz targets: the fixture dictionary, user dictionary and
// model, built once per process into a temporary directory, the default
// dictionary and model when a build has made them, and the checks every
// result must pass. A failed check aborts, which the fuzzer reports as a
// crash together with the input.
#ifndef TALMORO_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define TALMORO_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "reliability_support.h"

namespace fuzz {

inline void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
  }
}

// Everything a target reads but does not fuzz, loaded on first use and kept
// for the whole process.
struct Resources {
  reliability::TempDir dir{"talmoro_fuzz"};
  Knowledge* fixtureDic = nullptr;
  UserKnowledge* fixtureUser = nullptr;
  Model* fixtureModel = nullptr;
  Knowledge* defaultDic = nullptr;  // null when none was built
  Model* defaultModel = nullptr;

  Resources() {
    std::string message;
    const std::string dic = dir.path() + "/dic";
    const std::string model = dir.path() + "/model";
    require(reliability::writeFixtureDictionary(dic, &message),
            "fixture dictionary");
    require(reliability::writeFixtureModel(model, &message), "fixture model");
    fixtureDic = Knowledge::createObject();
    require(fixtureDic->load(dic.c_str()) == 0, "fixture dictionary load");
    fixtureUser = UserKnowledge::createObject();
    require(fixtureUser->load(reliability::testData("user.dic").c_str()) == 0,
            "fixture user dictionary load");
    fixtureModel = Model::createObject();
    require(fixtureModel->load(model.c_str()) == 0, "fixture model load");

    const std::string defaultDicDir = reliability::defaultDictionaryDir();
    if (!defaultDicDir.empty()) {
      defaultDic = Knowledge::createObject();
      if (defaultDic->load(defaultDicDir.c_str()) != 0) {
        Knowledge::destroyObject(defaultDic);
        defaultDic = nullptr;
      }
    }
    const std::string defaultModelDir = reliability::defaultModelDir();
    if (!defaultModelDir.empty()) {
      defaultModel = Model::createObject();
      if (defaultModel->load(defaultModelDir.c_str()) != 0) {
        Model::destroyObject(defaultModel);
        defaultModel = nullptr;
      }
    }
  }
  ~Resources() {
    Model::destroyObject(defaultModel);
    Knowledge::destroyObject(defaultDic);
    Model::destroyObject(fixtureModel);
    UserKnowledge::destroyObject(fixtureUser);
    Knowledge::destroyObject(fixtureDic);
  }
};

inline Resources& resources() {
  static Resources r;
  return r;
}

// The input as zero-terminated text (an embedded zero ends it early, as it
// would for any caller).
inline std::string text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Number of 16-bit units of a UTF-8 text, or -1 when the engine cannot
// convert it (empty or malformed).
inline long unitCount(const char* utf8) {
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(utf8));
  if (units == nullptr) return -1;
  long n = 0;
  while (units[n] != 0) ++n;
  std::free(units);
  return n;
}

// A result's morphemes lie inside [0, limit] and are readable.
inline void checkResult(const Result* r, unsigned long limit) {
  require(r != nullptr, "result present");
  require(r->size() > 0, "result has morphemes");
  for (unsigned long i = 0; i < r->size(); ++i) {
    const int k = static_cast<int>(i);
    require(r->lexicon(k) != nullptr && r->posTag(k) != nullptr,
            "lexicon and tag");
    require(r->startOffset(k) <= r->endOffset(k), "start <= end");
    require(r->endOffset(k) <= limit, "end inside the text");
    require(r->length(k) == r->endOffset(k) - r->startOffset(k), "length");
  }
}

// Analyses one word and checks the candidate: one result at least for any
// convertible word, none otherwise, scores in descending order.
inline void analyzeAndCheck(Analyzer* analyzer, Candidate* candidate,
                            const char* word) {
  const unsigned long n = analyzer->process(word, candidate);
  require(n == candidate->size(), "count is the candidate's size");
  const long units = unitCount(word);
  if (units < 0) {
    require(n == 0, "no result for unconvertible text");
    return;
  }
  require(n >= 1, "a result for every word");
  require(candidate->origin() != nullptr, "origin set");
  for (unsigned long i = 0; i < n; ++i) {
    checkResult(candidate->get(i), static_cast<unsigned long>(units));
    if (i > 0)
      require(!(candidate->get(i)->score() > candidate->get(i - 1)->score()),
              "sorted by score");
  }
  require(candidate->get(n) == nullptr, "get past the end is null");
}

// Tags a sentence and checks it: one eojeol at least for any convertible
// text, each with a readable result inside the text.
inline void tagAndCheck(Tagger* tagger, Sentence* sentence, const char* text) {
  const unsigned long n = tagger->process(text, sentence);
  require(n == sentence->size(), "count is the sentence's size");
  const long units = unitCount(text);
  if (units < 0) {
    require(n == 0, "no eojeol for unconvertible text");
    return;
  }
  require(n >= 1, "an eojeol for every text");
  for (unsigned long i = 0; i < n; ++i) {
    const Eojul* e = sentence->get(i);
    require(e != nullptr && e->eojul() != nullptr, "eojeol text");
    checkResult(e->result(), static_cast<unsigned long>(units));
  }
  require(sentence->get(n) == nullptr, "get past the end is null");
}

// Reads a little-endian 32-bit length and that many bytes (fewer when the
// input ends first) from data[*at ..]; the piece goes to *out.
inline void takePiece(const uint8_t* data, size_t size, size_t* at,
                      std::string* out) {
  uint32_t length = 0;
  for (int b = 0; b < 4 && *at < size; ++b, ++*at)
    length |= static_cast<uint32_t>(data[*at]) << (8 * b);
  const size_t rest = size - *at;
  const size_t n = length < rest ? length : rest;
  out->assign(reinterpret_cast<const char*>(data + *at), n);
  *at += n;
}

// Words that reach every kind of dictionary entry of the fixture and the
// analyzer's other routes (irregular hits, symbols, unknown nouns).
inline const std::vector<std::string>& probeWords() {
  static const std::vector<std::string> words = {
      "학교에",   "사람이", "책을",   "나는",   "것이",   "개를",
      "갈다",     "가다",   "갑니다", "먹는데", "먹어요", "먹고",
      "학교에서", "책이다", "3개",    "漢字는", "Text를", "톨모로",
      "가방을",   "(사람)", "나를.",  "갈",     "ABC학교"};
  return words;
}

inline const char* probeSentence() {
  return "나는 학교에서 책을 먹고 갑니다. 사람이 3개를 먹는데 漢字는 톨모로!";
}

}  // namespace fuzz

#endif  // TALMORO_TESTS_FUZZ_FUZZ_SUPPORT_H_
