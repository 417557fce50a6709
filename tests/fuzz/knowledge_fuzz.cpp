// Knowledge::loadFromBuffer on mutated images of a small real dictionary,
// then analysis of the probe words and tagging of the probe sentence.
//
// sys.tri of even a small dictionary is mostly empty units (Hangul code
// units start at 0xAC00), so the input carries the trie sparsely and the
// target expands it into the image that loadFromBuffer receives:
//
//   u32 unit count (at most 2^20)
//   u32 n, then n times: u32 unit index, i32 base, u32 check
//       (units not listed are zero; an index past the count is dropped)
//   u32 length, then that many bytes of sys.idx
//   the rest: sys.dat
//
// All numbers are little-endian; a field cut short by the input's end reads
// as what is there. make_seeds.py writes the seed from a compiled dictionary.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "knowledge/trie_builder.h"

namespace {

uint32_t take32(const uint8_t* data, size_t size, size_t* at) {
  uint32_t v = 0;
  for (int b = 0; b < 4 && *at < size; ++b, ++*at)
    v |= static_cast<uint32_t>(data[*at]) << (8 * b);
  return v;
}

constexpr uint32_t kMaxUnits = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Resources& r = fuzz::resources();
  static Candidate* candidate = Candidate::createObject();
  static Sentence* sentence = Sentence::createObject();
  static Analyzer* analyzer = Analyzer::createObject();
  static Tagger* tagger = Tagger::createObject(r.fixtureModel);

  size_t at = 0;
  const uint32_t count = take32(data, size, &at) % (kMaxUnits + 1);
  const uint32_t listed = take32(data, size, &at);
  std::vector<TrieUnit> units(count, TrieUnit{0, 0});
  for (uint32_t k = 0; k < listed && at + 12 <= size; ++k) {
    const uint32_t index = take32(data, size, &at);
    const int32_t base = static_cast<int32_t>(take32(data, size, &at));
    const uint32_t check = take32(data, size, &at);
    if (index < count) units[index] = TrieUnit{base, check};
  }
  std::string idx;
  fuzz::takePiece(data, size, &at, &idx);
  const std::string dat(reinterpret_cast<const char*>(data + at), size - at);

  Knowledge* dic = Knowledge::createObject();
  const int rc =
      dic->loadFromBuffer(reinterpret_cast<const char*>(units.data()),
                          units.size() * sizeof(TrieUnit), idx.data(),
                          idx.size(), dat.data(), dat.size());
  if (idx.size() % 4 != 0) {
    fuzz::require(rc == -2, "an unaligned index is refused");
  } else {
    fuzz::require(rc == 0, "an aligned image loads");
    analyzer->setSysKnowledge(dic);
    tagger->setSysKnowledge(dic);
    for (const std::string& w : fuzz::probeWords())
      fuzz::analyzeAndCheck(analyzer, candidate, w.c_str());
    fuzz::tagAndCheck(tagger, sentence, fuzz::probeSentence());
    analyzer->setSysKnowledge(nullptr);
    tagger->setSysKnowledge(nullptr);
  }
  Knowledge::destroyObject(dic);
  return 0;
}
