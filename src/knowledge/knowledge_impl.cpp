#include "knowledge/knowledge_impl.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

#include "base/generation.h"

namespace {

constexpr size_t kPathMax = 4094;
constexpr size_t kRecordsInitial = 1048576;
constexpr size_t kRecordsBlock = 65536;

constexpr unsigned short kHangulFirst = 0xAC00;
constexpr unsigned short kHangulLast = 0xD7AF;
constexpr unsigned short kFinalCount = 28;

// dir + "/" + name, cut to kPathMax characters.
void make_path(char (&path)[kPathMax + 1], const char* dir, const char* name) {
  std::snprintf(path, sizeof path, "%s/%s", dir, name);
}

}  // namespace

KnowledgeImpl::KnowledgeImpl()
    : unitData_(nullptr),
      unitCount_(0),
      indexData_(nullptr),
      indexCount_(0),
      records_(kRecordsInitial, kRecordsBlock),
      generation_(nextGeneration()) {}

KnowledgeImpl::~KnowledgeImpl() { trie_.clear(); }

void KnowledgeImpl::attachTrie() {
  if (!units_.empty()) {
    unitData_ = units_.data();
    unitCount_ = units_.size();
  } else {
    unitData_ = reinterpret_cast<const TrieUnit*>(unitFile_.data());
    unitCount_ = unitFile_.size() / sizeof(TrieUnit);
  }
  if (unitCount_ == 0) {
    unitData_ = nullptr;
    trie_.clear();
  } else {
    // darts only reads the array it is given.
    trie_.set_array(const_cast<TrieUnit*>(unitData_), unitCount_);
  }
}

void KnowledgeImpl::releaseTrie() {
  trie_.clear();
  unitData_ = nullptr;
  unitCount_ = 0;
  std::vector<TrieUnit>().swap(units_);
  unitFile_.reset();
}

void KnowledgeImpl::attachIndex() {
  if (!index_.empty()) {
    indexData_ = index_.data();
    indexCount_ = index_.size();
  } else {
    indexData_ = reinterpret_cast<const int32_t*>(indexFile_.data());
    indexCount_ = indexFile_.size() / sizeof(int32_t);
  }
}

void KnowledgeImpl::releaseIndex() {
  indexData_ = nullptr;
  indexCount_ = 0;
  std::vector<int32_t>().swap(index_);
  indexFile_.reset();
}

void KnowledgeImpl::releaseRecords() {
  records_.borrow(nullptr, 0);
  recordFile_.reset();
}

int KnowledgeImpl::load(const char* dir) {
  generation_ = nextGeneration();
  if (dir == nullptr) return -1;
  char path[kPathMax + 1];
  FileImage image;

  make_path(path, dir, KNOWLEDGE_TRIE_FILE);
  if (!image.open(path)) return -1;
  releaseTrie();
  unitFile_ = std::move(image);
  attachTrie();

  make_path(path, dir, KNOWLEDGE_INDEX_FILE);
  if (!image.open(path)) return -2;
  if (image.size() % sizeof(int32_t) != 0) return -3;
  releaseIndex();
  indexFile_ = std::move(image);
  attachIndex();

  make_path(path, dir, KNOWLEDGE_DATA_FILE);
  if (!image.open(path)) return -2;
  // The new records replace the old ones; the buffer reads the file's
  // bytes where they lie.
  records_.borrow(image.data(), image.size());
  recordFile_ = std::move(image);
  return 0;
}

int KnowledgeImpl::loadFromBuffer(const char* tri, unsigned long triSize,
                                  const char* idx, unsigned long idxSize,
                                  const char* dat, unsigned long datSize) {
  generation_ = nextGeneration();
  if (tri == nullptr && triSize != 0) return -1;
  if (idxSize % sizeof(int32_t) != 0) return -2;
  if ((idx == nullptr && idxSize != 0) || (dat == nullptr && datSize != 0)) {
    return -2;
  }
  std::vector<TrieUnit> units;
  std::vector<int32_t> index;
  try {
    units.resize(triSize / sizeof(TrieUnit));
  } catch (const std::exception&) {
    return -1;
  }
  try {
    index.resize(idxSize / sizeof(int32_t));
  } catch (const std::exception&) {
    return -2;
  }
  if (!units.empty()) {
    std::memcpy(units.data(), tri, units.size() * sizeof(TrieUnit));
  }
  if (idxSize != 0) std::memcpy(index.data(), idx, idxSize);

  releaseRecords();
  if (records_.reserve(datSize) == membuf::npos) {
    records_.clear();
    return -2;
  }
  if (datSize != 0) std::memcpy(records_.buf(), dat, datSize);

  releaseTrie();
  releaseIndex();
  units_ = std::move(units);
  index_ = std::move(index);
  attachTrie();
  attachIndex();
  return 0;
}

void KnowledgeImpl::setStructures(std::vector<TrieUnit>&& units,
                                  std::vector<int32_t>&& index) {
  generation_ = nextGeneration();
  releaseTrie();
  releaseIndex();
  units_ = std::move(units);
  index_ = std::move(index);
  attachTrie();
  attachIndex();
}

void KnowledgeImpl::clearStructures() {
  generation_ = nextGeneration();
  releaseTrie();
  releaseIndex();
  releaseRecords();
}

bool KnowledgeImpl::addHit(int64_t b, size_t length,
                           unsigned char final_consonant,
                           result_pair_type* result, size_t* count) const {
  // Node b ends a key when unit b is its own child with a negative base.
  const TrieUnit& unit = unitData_[static_cast<size_t>(b)];
  if (unit.check != static_cast<uint32_t>(b) || unit.base >= 0) return false;
  int64_t value = -static_cast<int64_t>(unit.base) - 1;
  if (value >= static_cast<int64_t>(indexCount_)) return false;
  int32_t offset = indexData_[static_cast<size_t>(value)];
  if (!isRecord(offset)) return false;
  result[*count].value = offset;
  result[*count].length = length;
  result[*count].final_consonant = final_consonant;
  ++*count;
  return true;
}

size_t KnowledgeImpl::search(const unsigned short* key,
                             result_pair_type (&result)[KNOWLEDGE_MAX_HITS],
                             bool irregular) const {
  if (key == nullptr || unitCount_ == 0) return 0;
  const TrieUnit* units = unitData_;
  const int64_t n = static_cast<int64_t>(unitCount_);

  size_t count = 0;
  int64_t b = units[0].base;
  size_t i = 0;
  for (; key[i] != 0; ++i) {
    if (b < 0 || b >= n) return count;
    if (addHit(b, i, 0, result, &count) && count == KNOWLEDGE_MAX_HITS) {
      return count;
    }
    unsigned short c = key[i];
    if (irregular && c >= kHangulFirst && c <= kHangulLast) {
      unsigned short final_index = (c - kHangulFirst) % kFinalCount;
      if (final_index == 4 || final_index == 8 || final_index == 17) {
        // The same syllable without its final consonant, which then belongs
        // to the next morpheme.
        int64_t q = child(b, static_cast<unsigned short>(c - final_index));
        if (q >= 0) {
          int64_t bq = units[q].base;
          if (bq >= 0 && bq < n &&
              addHit(bq, i + 1, static_cast<unsigned char>(final_index), result,
                     &count) &&
              count == KNOWLEDGE_MAX_HITS) {
            return count;
          }
        }
      }
    }
    int64_t p = child(b, c);
    if (p < 0) return count;
    b = units[p].base;
  }
  if (b >= 0 && b < n) addHit(b, i, 0, result, &count);
  return count;
}

void KnowledgeImpl::searchEach(const unsigned short* text, size_t n,
                               const bool* irregular, result_pair_type* hits,
                               size_t* counts) const {
  if (n > KNOWLEDGE_MAX_STARTS) n = KNOWLEDGE_MAX_STARTS;
  for (size_t s = 0; s < n; ++s) counts[s] = 0;
  if (text == nullptr || n == 0 || unitCount_ == 0) return;
  const TrieUnit* units = unitData_;
  const int64_t size = static_cast<int64_t>(unitCount_);
  // Each round takes every search still going one unit further, as one
  // pass of search()'s loop; a search ends when it misses, holds
  // KNOWLEDGE_MAX_HITS hits or has read to the end of the text. The node a
  // search reaches, and the child it reads next, are fetched from memory
  // while the other searches take their step.
  int64_t node[KNOWLEDGE_MAX_STARTS];
  size_t start[KNOWLEDGE_MAX_STARTS];
  for (size_t s = 0; s < n; ++s) {
    node[s] = units[0].base;
    start[s] = s;
  }
  size_t going = n;
  for (size_t depth = 0; going != 0; ++depth) {
    size_t kept = 0;
    for (size_t g = 0; g < going; ++g) {
      const size_t s = start[g];
      int64_t b = node[g];
      result_pair_type* result = hits + KNOWLEDGE_MAX_HITS * s;
      size_t* count = &counts[s];
      if (b < 0 || b >= size) continue;
      if (addHit(b, depth, 0, result, count) && *count == KNOWLEDGE_MAX_HITS)
        continue;
      if (s + depth == n) continue;  // the hits past the text are not kept
      const unsigned short c = text[s + depth];
      if (irregular[s] && c >= kHangulFirst && c <= kHangulLast) {
        const unsigned short final_index = (c - kHangulFirst) % kFinalCount;
        if (final_index == 4 || final_index == 8 || final_index == 17) {
          const int64_t q =
              child(b, static_cast<unsigned short>(c - final_index));
          if (q >= 0) {
            const int64_t bq = units[q].base;
            if (bq >= 0 && bq < size &&
                addHit(bq, depth + 1, static_cast<unsigned char>(final_index),
                       result, count) &&
                *count == KNOWLEDGE_MAX_HITS)
              continue;
          }
        }
      }
      const int64_t p = child(b, c);
      if (p < 0) continue;
      b = units[p].base;
      if (b >= 0 && b < size) {
        __builtin_prefetch(&units[b]);
        const int64_t next =
            s + depth + 1 < n ? b + text[s + depth + 1] + 1 : b;
        if (next < size) __builtin_prefetch(&units[next]);
      }
      node[kept] = b;
      start[kept] = s;
      ++kept;
    }
    going = kept;
  }
}

int KnowledgeImpl::next(int offset) const { return nextRecord(offset); }

const membuf* KnowledgeImpl::rdata() const { return &records_; }
