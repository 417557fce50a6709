// Damaged dictionary and model files: each of the dictionary's three files
// and each of the model's two tables is cut short at many lengths and has
// single bits flipped at many offsets; every variant is loaded, and a loaded
// one analyses and tags a fixed text. Every variant must give a load error
// or results that stay inside the text, and never read outside a buffer
// (which the sanitizer build checks).
//
// The fixture dictionary and model are always damaged; the default ones
// (build/dic and build/model, or TALMORO_DIC and TALMORO_MODEL) too when a
// build has made them, with fewer variants, since they are large.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "api/talmoro.h"
#include "base/revision.h"
#include "reliability_support.h"

namespace {

using reliability::Random;
using reliability::TempDir;

const char kText[] =
    "나는 학교에서 책을 먹고 갑니다. 사람이 3개를 먹는데 漢字는 톨모로! "
    "오늘은 날씨가 좋아서 친구와 함께 공원에 갔다. (Text) 갈다";
const char* const kWords[] = {"학교에서", "갈다", "먹어요"};

struct Files {
  std::string dir;
  std::vector<std::string> names;
  std::vector<std::string> data;
};

Files readFiles(const std::string& dir, std::vector<std::string> names) {
  Files f;
  f.dir = dir;
  f.names = names;
  for (const std::string& n : names)
    f.data.push_back(reliability::readFile(dir + "/" + n));
  return f;
}

// Problems with the results of a loaded variant; empty when there is none.
std::string checkResult(const Result* r, unsigned long limit) {
  if (r == nullptr || r->size() == 0) return "empty result";
  for (unsigned long i = 0; i < r->size(); ++i) {
    const int k = static_cast<int>(i);
    if (r->lexicon(k) == nullptr || r->posTag(k) == nullptr)
      return "null lexicon or tag";
    if (r->startOffset(k) > r->endOffset(k) || r->endOffset(k) > limit)
      return "offsets outside the text";
  }
  return "";
}

unsigned long unitsOf(const char* text) {
  unsigned short* u =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text));
  unsigned long n = 0;
  while (u != nullptr && u[n] != 0) ++n;
  std::free(u);
  return n;
}

// Analyses the words and tags the text with the given objects.
std::string analyseAndTag(const Knowledge* dic, const Model* model) {
  Analyzer* analyzer = Analyzer::createObject(dic);
  Candidate* candidate = Candidate::createObject();
  Tagger* tagger = Tagger::createObject(model, dic);
  Sentence* sentence = Sentence::createObject();
  std::string problem;
  for (const char* w : kWords) {
    if (analyzer->process(w, candidate) == 0) problem = "no analysis";
    for (unsigned long i = 0; problem.empty() && i < candidate->size(); ++i)
      problem = checkResult(candidate->get(i), unitsOf(w));
  }
  if (problem.empty()) {
    const unsigned long n = tagger->process(kText, sentence);
    if (n == 0 || n != sentence->size()) problem = "no eojeol";
    for (unsigned long i = 0; problem.empty() && i < n; ++i)
      problem = checkResult(sentence->get(i)->result(), unitsOf(kText));
  }
  Sentence::destroyObject(sentence);
  Tagger::destroyObject(tagger);
  Candidate::destroyObject(candidate);
  Analyzer::destroyObject(analyzer);
  return problem;
}

// A file of at most this many bytes is damaged at every offset.
constexpr size_t kSmallFile = 2048;

// The lengths a file is cut to: all of them for a small file; else the
// first bytes, the unit boundaries near both ends, and evenly spread
// lengths.
std::vector<size_t> cutLengths(size_t size, size_t spread) {
  std::set<size_t> lengths;
  if (size <= 512) {
    for (size_t n = 0; n < size; ++n) lengths.insert(n);
  } else {
    for (size_t n : {0, 1, 3, 4, 5, 7, 8, 9, 12, 16, 17}) lengths.insert(n);
    for (size_t d : {1, 3, 4, 5, 8, 9}) lengths.insert(size - d);
    for (size_t k = 1; k < spread; ++k) lengths.insert(size * k / spread);
  }
  return std::vector<size_t>(lengths.begin(), lengths.end());
}

// Byte offsets to damage: every byte of a small file; otherwise at most
// `targeted` of the offsets the text reads (evenly chosen among them) and
// `extra` at random.
std::vector<size_t> flipOffsets(size_t size, const std::set<size_t>& read,
                                size_t targeted, size_t extra, uint64_t seed) {
  std::set<size_t> offsets;
  if (size <= kSmallFile) {
    for (size_t n = 0; n < size; ++n) offsets.insert(n);
  } else {
    const std::vector<size_t> all(read.begin(), read.end());
    for (size_t k = 0; k < targeted && k < all.size(); ++k) {
      const size_t n = all[k * all.size() / std::min(targeted, all.size())];
      if (n < size) offsets.insert(n);
    }
    Random random(seed);
    for (size_t k = 0; k < extra; ++k) offsets.insert(random.below(size));
  }
  return std::vector<size_t>(offsets.begin(), offsets.end());
}

// --- Dictionary -------------------------------------------------------------

struct Unit {
  int32_t base;
  uint32_t check;
};

Unit unitAt(const std::string& tri, int64_t i) {
  Unit u{0, 0};
  if (i >= 0 && static_cast<size_t>(i + 1) * 8 <= tri.size())
    std::memcpy(&u, tri.data() + i * 8, 8);
  return u;
}

// The bytes of the three files that analysing kText reads in the intact
// dictionary: the trie units of every prefix walk (with the irregular
// siblings), the index entries of the hits and the records of their chains.
void readBytes(const Files& f, std::set<size_t> (&out)[3]) {
  const std::string& tri = f.data[0];
  const std::string& idx = f.data[1];
  const std::string& dat = f.data[2];
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(kText));
  ASSERT_NE(units, nullptr);
  const int64_t count = static_cast<int64_t>(tri.size() / 8);
  auto touchUnit = [&](int64_t i) {
    if (i < 0 || i >= count) return;
    for (size_t b = 0; b < 8; ++b)
      out[0].insert(static_cast<size_t>(i) * 8 + b);
  };
  auto touchHit = [&](int64_t b) {
    const Unit u = unitAt(tri, b);
    if (u.check != static_cast<uint32_t>(b) || u.base >= 0) return;
    const int64_t value = -static_cast<int64_t>(u.base) - 1;
    if ((value + 1) * 4 > static_cast<int64_t>(idx.size())) return;
    for (size_t k = 0; k < 4; ++k)
      out[1].insert(static_cast<size_t>(value) * 4 + k);
    int32_t r;
    std::memcpy(&r, idx.data() + value * 4, 4);
    // The chain's records, entry by entry, up to the last-marked entry.
    for (int guard = 0;
         guard < 64 && r >= 0 && static_cast<size_t>(r) + 5 <= dat.size();
         ++guard) {
      size_t off = static_cast<size_t>(r);
      int32_t link;
      std::memcpy(&link, dat.data() + off, 4);
      const unsigned char flag = static_cast<unsigned char>(dat[off + 4]);
      size_t end = off + 5 + (flag != 0 ? 4 : 0);
      for (int e = 0; e < 32 && end + 5 <= dat.size(); ++e) {
        uint32_t tag;
        std::memcpy(&tag, dat.data() + end, 4);
        end += 5 + 2 * (static_cast<unsigned char>(dat[end + 4]) >> 1);
        if ((tag & 1u) != 0) break;
      }
      for (size_t k = off; k < end && k < dat.size(); ++k) out[2].insert(k);
      if (link <= r) break;
      r = link;
    }
  };
  for (size_t start = 0; units[start] != 0; ++start) {
    int64_t b = unitAt(tri, 0).base;
    touchUnit(0);
    for (size_t i = start; units[i] != 0 && b >= 0 && b < count; ++i) {
      touchUnit(b);
      touchHit(b);
      const unsigned short c = units[i];
      if (c >= 0xAC00 && c <= 0xD7AF) {
        const unsigned short final = (c - 0xAC00) % 28;
        if (final != 0) {
          const int64_t q = b + (c - final) + 1;
          touchUnit(q);
          if (unitAt(tri, q).check == static_cast<uint32_t>(b)) {
            touchUnit(unitAt(tri, q).base);
            touchHit(unitAt(tri, q).base);
          }
        }
      }
      const int64_t p = b + c + 1;
      touchUnit(p);
      if (p >= count || unitAt(tri, p).check != static_cast<uint32_t>(b)) break;
      b = unitAt(tri, p).base;
    }
  }
  std::free(units);
}

struct Outcome {
  size_t variants = 0;
  size_t refused = 0;
};

// Loads the three images and, when they load, analyses and tags with them.
void tryDictionary(const std::string& tri, const std::string& idx,
                   const std::string& dat, const Model* model,
                   const std::string& what, Outcome* outcome) {
  Knowledge* dic = Knowledge::createObject();
  const int rc = dic->loadFromBuffer(tri.data(), tri.size(), idx.data(),
                                     idx.size(), dat.data(), dat.size());
  ++outcome->variants;
  if (rc != 0) {
    ++outcome->refused;
    EXPECT_LT(rc, 0) << what;
  } else {
    EXPECT_EQ(analyseAndTag(dic, model), "") << what;
  }
  Knowledge::destroyObject(dic);
}

// The same through files: the damaged file written, the others linked.
void tryDictionaryFiles(const Files& f, size_t which, const std::string& image,
                        const Model* model, const std::string& what,
                        Outcome* outcome) {
  TempDir dir("talmoro_damaged");
  for (size_t k = 0; k < 3; ++k) {
    const std::string path = dir.path() + "/" + f.names[k];
    if (k == which) {
      ASSERT_TRUE(reliability::writeFile(path, image));
    } else {
      ASSERT_EQ(symlink((f.dir + "/" + f.names[k]).c_str(), path.c_str()), 0);
    }
  }
  Knowledge* dic = Knowledge::createObject();
  const int rc = dic->load(dir.path().c_str());
  ++outcome->variants;
  if (rc != 0) {
    ++outcome->refused;
    EXPECT_LT(rc, 0) << what;
  } else {
    EXPECT_EQ(analyseAndTag(dic, model), "") << what;
  }
  Knowledge::destroyObject(dic);
}

void damageDictionary(const Files& f, const Model* model, size_t spread,
                      size_t targetedFlips, size_t extra, size_t fileCuts) {
  std::set<size_t> targeted[3];
  readBytes(f, targeted);
  ASSERT_FALSE(targeted[0].empty());
  ASSERT_FALSE(targeted[2].empty()) << "the text hits no record";
  Outcome outcome;
  for (size_t which = 0; which < 3; ++which) {
    const std::string& original = f.data[which];
    std::string image[3] = {f.data[0], f.data[1], f.data[2]};
    // Cut short.
    const std::vector<size_t> lengths = cutLengths(original.size(), spread);
    for (size_t n : lengths) {
      image[which] = original.substr(0, n);
      tryDictionary(image[0], image[1], image[2], model,
                    f.names[which] + " cut to " + std::to_string(n), &outcome);
    }
    // A few of the cuts through the files themselves.
    for (size_t k = 0; k < fileCuts && k < lengths.size(); ++k) {
      const size_t n = lengths[k * lengths.size() / fileCuts];
      tryDictionaryFiles(f, which, original.substr(0, n), model,
                         f.names[which] + " file cut to " + std::to_string(n),
                         &outcome);
    }
    // One bit flipped.
    image[which] = original;
    // A small file has two bits flipped at every offset, a large one one.
    const bool small = original.size() <= kSmallFile;
    for (size_t off : flipOffsets(original.size(), targeted[which],
                                  targetedFlips, extra, 17 + which)) {
      for (unsigned bit : {static_cast<unsigned>(off % 8), 7u}) {
        image[which][off] = static_cast<char>(original[off] ^ (1u << bit));
        tryDictionary(image[0], image[1], image[2], model,
                      f.names[which] + " bit " + std::to_string(bit) +
                          " flipped at " + std::to_string(off),
                      &outcome);
        image[which][off] = original[off];
        if (bit == 7 || !small) break;
      }
      if (::testing::Test::HasFailure()) return;
    }
  }
  std::printf("dictionary %s: %zu variants, %zu refused at load\n",
              f.dir.c_str(), outcome.variants, outcome.refused);
  ::testing::Test::RecordProperty("variants",
                                  static_cast<int>(outcome.variants));
}

// --- Model ------------------------------------------------------------------

void damageModel(const Files& f, const Knowledge* dic, size_t spread,
                 size_t extra) {
  TempDir dir("talmoro_damaged_model");
  Outcome outcome;
  for (size_t which = 0; which < 2; ++which) {
    const std::string& original = f.data[which];
    const std::string other = dir.path() + "/" + f.names[1 - which];
    ASSERT_TRUE(reliability::writeFile(other, f.data[1 - which]));
    ASSERT_TRUE(reliability::writeFile(
        dir.path() + "/" + MODEL_TAGSEQ_RULE_FILE, f.data[2]));
    const std::string path = dir.path() + "/" + f.names[which];
    auto attempt = [&](const std::string& image, const std::string& what) {
      ASSERT_TRUE(reliability::writeFile(path, image));
      Model* model = Model::createObject();
      const int rc = model->load(dir.path().c_str());
      ++outcome.variants;
      if (rc != 0) {
        ++outcome.refused;
        EXPECT_EQ(rc, -1) << what;
      } else {
        EXPECT_EQ(analyseAndTag(dic, model), "") << what;
      }
      Model::destroyObject(model);
    };
    for (size_t n : cutLengths(original.size(), spread))
      attempt(original.substr(0, n),
              f.names[which] + " cut to " + std::to_string(n));
    // Units of a small table, at most 600 evenly spread, have one bit of
    // their base or their check flipped; a large table gets random offsets.
    std::vector<size_t> offsets;
    if (original.size() <= 64 * 1024) {
      const size_t units = original.size() / 8;
      const size_t stride = units > 600 ? (units + 599) / 600 : 1;
      for (size_t u = 0; u < units; u += stride)
        offsets.push_back(u * 8 + (u % 8));
    } else {
      offsets = flipOffsets(original.size(), {}, 0, extra, 31 + which);
    }
    std::string image = original;
    for (size_t off : offsets) {
      if (off >= image.size()) continue;
      const unsigned bit = (off / 8) % 8;
      image[off] = static_cast<char>(original[off] ^ (1u << bit));
      attempt(image, f.names[which] + " bit " + std::to_string(bit) +
                         " flipped at " + std::to_string(off));
      image[off] = original[off];
      if (::testing::Test::HasFailure()) return;
    }
  }
  std::printf("model %s: %zu variants, %zu refused at load\n", f.dir.c_str(),
              outcome.variants, outcome.refused);
}

Files dictionaryFiles(const std::string& dir) {
  return readFiles(
      dir, {KNOWLEDGE_TRIE_FILE, KNOWLEDGE_INDEX_FILE, KNOWLEDGE_DATA_FILE});
}

Files modelFiles(const std::string& dir) {
  return readFiles(dir, {MODEL_MORPHEME_TRANSITION_FILE,
                         MODEL_EOJUL_TRANSITION_FILE, MODEL_TAGSEQ_RULE_FILE});
}

class DamagedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string message;
    ASSERT_TRUE(reliability::writeFixtures(dir_.path(), &message)) << message;
    dic_ = Knowledge::createObject();
    ASSERT_EQ(dic_->load((dir_.path() + "/dic").c_str()), 0);
    model_ = Model::createObject();
    ASSERT_EQ(model_->load((dir_.path() + "/model").c_str()), 0);
  }
  void TearDown() override {
    Model::destroyObject(model_);
    Knowledge::destroyObject(dic_);
  }

  TempDir dir_{"talmoro_damaged_fixture"};
  Knowledge* dic_ = nullptr;
  Model* model_ = nullptr;
};

TEST_F(DamagedFiles, FixtureDictionary) {
  const Files f = dictionaryFiles(dir_.path() + "/dic");
  ASSERT_EQ(analyseAndTag(dic_, model_), "");
  damageDictionary(f, model_, 48, 400, 100, 6);
}

TEST_F(DamagedFiles, FixtureModel) {
  const Files f = modelFiles(dir_.path() + "/model");
  damageModel(f, dic_, 48, 300);
}

TEST_F(DamagedFiles, DefaultDictionary) {
  const std::string dir = reliability::defaultDictionaryDir();
  if (dir.empty()) GTEST_SKIP() << "no default dictionary was built";
  if (revision::REDUCED) GTEST_SKIP() << "the main build reads the same files";
  const Files f = dictionaryFiles(dir);
  // Each variant copies the whole dictionary: a hundred or so of them.
  damageDictionary(f, model_, 4, 20, 5, 1);
}

TEST_F(DamagedFiles, DefaultModel) {
  const std::string dir = reliability::defaultModelDir();
  if (dir.empty()) GTEST_SKIP() << "no default model was built";
  if (revision::REDUCED) GTEST_SKIP() << "the main build reads the same files";
  const Files f = modelFiles(dir);
  // The default dictionary, when there is one, reaches more of its keys.
  Knowledge* dic = nullptr;
  const std::string dicDir = reliability::defaultDictionaryDir();
  if (!dicDir.empty()) {
    dic = Knowledge::createObject();
    ASSERT_EQ(dic->load(dicDir.c_str()), 0);
  }
  damageModel(f, dic != nullptr ? dic : dic_, 8, 60);
  Knowledge::destroyObject(dic);
}

}  // namespace
