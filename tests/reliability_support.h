// Helpers of the reliability tests and fuzz targets (no test framework):
// the fixture dictionary and model written to a directory, the default
// dictionary, model and corpus when a build has made them, a generated
// Korean corpus, and results written out as text for comparison.
//
// Default resources are looked up in the environment first (TALMORO_DIC,
// TALMORO_MODEL, TALMORO_CORPUS), then under build/ of the source tree
// (build/dic, build/model, build/corpus/ko-prose.txt). A path is returned only
// when its files exist.
#ifndef TALMORO_TESTS_RELIABILITY_SUPPORT_H_
#define TALMORO_TESTS_RELIABILITY_SUPPORT_H_

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "knowledge/lexicon_source.h"
#include "tagger/model_trainer.h"

#ifndef TALMORO_TEST_DATA
#error "TALMORO_TEST_DATA must name the test data folder"
#endif

namespace reliability {

inline bool fileExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline bool writeFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

inline std::string testData(const char* name) {
  return std::string(TALMORO_TEST_DATA) + "/" + name;
}

inline std::string sourceDir() {
  return std::string(TALMORO_TEST_DATA) + "/../..";
}

// The environment's value for name, else the source tree's build/relative.
inline std::string locate(const char* name, const char* relative) {
  const char* env = getenv(name);
  if (env != nullptr && *env != '\0') return env;
  return sourceDir() + "/build/" + relative;
}

// The default system dictionary directory, or "" when none was built.
inline std::string defaultDictionaryDir() {
  std::string dir = locate("TALMORO_DIC", "dic");
  if (fileExists(dir + "/" + KNOWLEDGE_TRIE_FILE) &&
      fileExists(dir + "/" + KNOWLEDGE_INDEX_FILE) &&
      fileExists(dir + "/" + KNOWLEDGE_DATA_FILE))
    return dir;
  return "";
}

inline std::string defaultModelDir() {
  std::string dir = locate("TALMORO_MODEL", "model");
  if (fileExists(dir + "/" + MODEL_MORPHEME_TRANSITION_FILE) &&
      fileExists(dir + "/" + MODEL_EOJUL_TRANSITION_FILE))
    return dir;
  return "";
}

inline std::string defaultCorpusPath() {
  std::string path = locate("TALMORO_CORPUS", "corpus/ko-prose.txt");
  return fileExists(path) ? path : "";
}

// A fresh directory under the system's temporary folder, removed with the
// object.
class TempDir {
 public:
  explicit TempDir(const char* tag = "talmoro") {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" +
        tag + "_XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const char* name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Compiles tests/data/basic.lex into dir; false with a message on failure.
inline bool writeFixtureDictionary(const std::string& dir,
                                   std::string* message) {
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  if (!parseSource(readFile(testData("basic.lex")), &entries, &errors)) {
    *message = "basic.lex does not parse";
    return false;
  }
  CompiledLexicon lexicon;
  if (!compileEntries(entries, &lexicon)) {
    *message = "basic.lex does not compile";
    return false;
  }
  return writeLexicon(lexicon, dir, message);
}

// Trains tests/data/tagged.txt into dir; false with a message on failure.
inline bool writeFixtureModel(const std::string& dir, std::string* message) {
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  if (!parseTextCorpus(readFile(testData("tagged.txt")), &sentences, &errors)) {
    *message = "tagged.txt does not parse";
    return false;
  }
  ModelCounter counter;
  for (const TrainSentence& s : sentences) counter.addSentence(s);
  return writeModelTables(counter.morphemeCounts(), counter.eojulCounts(), dir,
                          message);
}

// The fixture dictionary and model written to dir/dic and dir/model.
inline bool writeFixtures(const std::string& dir, std::string* message) {
  return writeFixtureDictionary(dir + "/dic", message) &&
         writeFixtureModel(dir + "/model", message);
}

// A small deterministic generator (xorshift), so that corpora and damage
// offsets are the same on every run.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed != 0 ? seed : 1) {}
  uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  // In [0, n); 0 for n = 0.
  size_t below(size_t n) {
    return n == 0 ? 0 : static_cast<size_t>(next() % n);
  }

 private:
  uint64_t state_;
};

// Korean lines built from the fixture vocabulary and the kinds of tokens the
// analyzer treats apart (unknown words, numbers, Latin, Chinese characters,
// punctuation): `count` lines of 1 to 14 eojeol.
inline std::vector<std::string> generatedCorpus(size_t count, uint64_t seed) {
  static const char* const nouns[] = {"학교", "사람",   "책",     "나",  "것",
                                      "개",   "톨모로", "한국어", "가방"};
  static const char* const closedParticles[] = {"이", "을",   "은",
                                                "에", "에서", ""};
  static const char* const openParticles[] = {"가", "를",   "는",
                                              "에", "에서", ""};
  static const char* const others[] = {
      "먹고",    "먹는데", "가다", "갈",     "먹어요", "갑니다", "漢字",
      "123",     "Text",   "3개",  "책이다", "학교다", "(사람)", "나는데",
      "ABC학교", "것이",   "개를", "먹다가", "2024년", "~"};
  static const char* const ends[] = {".", "?", "!", ",", ""};
  // Nouns ending in a closed syllable take the particles of closed syllables.
  static const bool closed[] = {false, true,  true,  false, true,
                                false, false, false, true};
  Random random(seed);
  std::vector<std::string> lines;
  for (size_t n = 0; n < count; ++n) {
    std::string line;
    const size_t words = 1 + random.below(14);
    for (size_t w = 0; w < words; ++w) {
      if (w > 0) line += random.below(9) == 0 ? "  " : " ";
      if (random.below(3) == 0) {
        line += others[random.below(sizeof others / sizeof others[0])];
      } else {
        const size_t k = random.below(sizeof nouns / sizeof nouns[0]);
        line += nouns[k];
        line += closed[k] ? closedParticles[random.below(6)]
                          : openParticles[random.below(6)];
      }
      if (w + 1 == words) line += ends[random.below(5)];
    }
    lines.push_back(line);
  }
  return lines;
}

// The lines of a text file, blank lines dropped; at most `limit`.
inline std::vector<std::string> fileLines(const std::string& path,
                                          size_t limit) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (lines.size() < limit && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") != std::string::npos)
      lines.push_back(line);
  }
  return lines;
}

// A result as "lex/tag(start,end)+...:score" (the score's bits in hex, so
// that equal texts mean bit-equal results).
inline std::string describeResult(const Result* r) {
  std::string s;
  char buffer[64];
  for (unsigned long i = 0; i < r->size(); ++i) {
    const int k = static_cast<int>(i);
    if (i > 0) s += "+";
    s += r->lexicon(k);
    s += "/";
    s += r->posTag(k);
    std::snprintf(buffer, sizeof buffer, "(%lu,%lu)", r->startOffset(k),
                  r->endOffset(k));
    s += buffer;
  }
  const float score = r->score();
  uint32_t bits;
  std::memcpy(&bits, &score, sizeof bits);
  std::snprintf(buffer, sizeof buffer, ":%08x", bits);
  s += buffer;
  return s;
}

inline std::string describeCandidate(const Candidate* c) {
  std::string s = c->origin() != nullptr ? c->origin() : "(null)";
  for (unsigned long i = 0; i < c->size(); ++i) {
    s += "\n  ";
    s += describeResult(c->get(i));
  }
  return s;
}

inline std::string describeSentence(const Sentence* sentence) {
  std::string s;
  for (unsigned long i = 0; i < sentence->size(); ++i) {
    const Eojul* e = sentence->get(i);
    if (i > 0) s += " | ";
    s += e->eojul();
    s += " ";
    s += describeResult(e->result());
  }
  return s;
}

// The eojeol of a line: its fields between spaces and tabs.
inline std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

}  // namespace reliability

#endif  // TALMORO_TESTS_RELIABILITY_SUPPORT_H_
