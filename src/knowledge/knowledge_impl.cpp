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

// Opens path for binary reading and learns its size. Null when it cannot be
// opened or sought, or when it claims bytes but yields none (a directory
// reports a huge size on some file systems).
std::FILE* open_sized(const char* path, size_t* size) {
  std::FILE* fp = std::fopen(path, "rb");
  if (fp == nullptr) return nullptr;
  long end = -1;
  if (std::fseek(fp, 0, SEEK_END) == 0) end = std::ftell(fp);
  bool ok = end >= 0 && std::fseek(fp, 0, SEEK_SET) == 0;
  if (ok && end > 0) {
    ok = std::fgetc(fp) != EOF && std::fseek(fp, 0, SEEK_SET) == 0;
  }
  if (!ok) {
    std::fclose(fp);
    return nullptr;
  }
  *size = static_cast<size_t>(end);
  return fp;
}

// Reads exactly n bytes into dst and closes fp; false on a short read.
bool read_close(std::FILE* fp, void* dst, size_t n) {
  bool ok = n == 0 || std::fread(dst, 1, n, fp) == n;
  std::fclose(fp);
  return ok;
}

}  // namespace

KnowledgeImpl::KnowledgeImpl()
    : records_(kRecordsInitial, kRecordsBlock), generation_(nextGeneration()) {}

KnowledgeImpl::~KnowledgeImpl() { trie_.clear(); }

void KnowledgeImpl::attachTrie() {
  if (units_.empty()) {
    trie_.clear();
  } else {
    trie_.set_array(units_.data(), units_.size());
  }
}

void KnowledgeImpl::releaseTrie() {
  trie_.clear();
  std::vector<TrieUnit>().swap(units_);
}

int KnowledgeImpl::load(const char* dir) {
  generation_ = nextGeneration();
  if (dir == nullptr) return -1;
  char path[kPathMax + 1];
  size_t size = 0;

  make_path(path, dir, KNOWLEDGE_TRIE_FILE);
  std::FILE* fp = open_sized(path, &size);
  if (fp == nullptr) return -1;
  releaseTrie();
  size_t count = size / sizeof(TrieUnit);
  try {
    units_.resize(count);
  } catch (const std::exception&) {
    std::fclose(fp);
    return -1;
  }
  if (!read_close(fp, units_.data(), count * sizeof(TrieUnit))) {
    releaseTrie();
    return -1;
  }
  attachTrie();

  make_path(path, dir, KNOWLEDGE_INDEX_FILE);
  fp = open_sized(path, &size);
  if (fp == nullptr) return -2;
  if (size % sizeof(int32_t) != 0) {
    std::fclose(fp);
    return -3;
  }
  std::vector<int32_t>().swap(index_);
  try {
    index_.resize(size / sizeof(int32_t));
  } catch (const std::exception&) {
    std::fclose(fp);
    return -2;
  }
  // A short read would leave garbage offsets: report it like a missing file.
  if (!read_close(fp, index_.data(), size)) {
    std::vector<int32_t>().swap(index_);
    return -2;
  }

  make_path(path, dir, KNOWLEDGE_DATA_FILE);
  fp = open_sized(path, &size);
  if (fp == nullptr) return -2;
  // The new records replace the old ones: the buffer keeps its storage and
  // its size is the loaded byte count.
  records_.clear();
  if (records_.reserve(size) == membuf::npos) {
    std::fclose(fp);
    records_.clear();
    return -2;
  }
  if (!read_close(fp, records_.buf(), size)) {
    records_.clear();
    return -2;
  }
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

  records_.clear();
  if (records_.reserve(datSize) == membuf::npos) {
    records_.clear();
    return -2;
  }
  if (datSize != 0) std::memcpy(records_.buf(), dat, datSize);

  trie_.clear();
  units_ = std::move(units);
  index_ = std::move(index);
  attachTrie();
  return 0;
}

void KnowledgeImpl::setStructures(std::vector<TrieUnit>&& units,
                                  std::vector<int32_t>&& index) {
  generation_ = nextGeneration();
  trie_.clear();
  units_ = std::move(units);
  index_ = std::move(index);
  attachTrie();
}

void KnowledgeImpl::clearStructures() {
  generation_ = nextGeneration();
  releaseTrie();
  std::vector<int32_t>().swap(index_);
  records_.clear();
}

bool KnowledgeImpl::addHit(int64_t b, size_t length,
                           unsigned char final_consonant,
                           result_pair_type* result, size_t* count) const {
  // Node b ends a key when unit b is its own child with a negative base.
  const TrieUnit& unit = units_[static_cast<size_t>(b)];
  if (unit.check != static_cast<uint32_t>(b) || unit.base >= 0) return false;
  int64_t value = -static_cast<int64_t>(unit.base) - 1;
  if (value >= static_cast<int64_t>(index_.size())) return false;
  int32_t offset = index_[static_cast<size_t>(value)];
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
  if (key == nullptr || units_.empty()) return 0;
  const TrieUnit* units = units_.data();
  const int64_t n = static_cast<int64_t>(units_.size());
  // The child of node b for unit c, or -1. A node outside the array (a
  // negative or oversized base of a damaged trie) has no child.
  auto child = [units, n](int64_t b, unsigned c) -> int64_t {
    int64_t p = b + c + 1;
    if (p >= n || units[p].check != static_cast<uint32_t>(b)) return -1;
    return p;
  };

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

int KnowledgeImpl::next(int offset) const { return nextRecord(offset); }

const membuf* KnowledgeImpl::rdata() const { return &records_; }
