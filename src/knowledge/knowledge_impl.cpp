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

size_t KnowledgeImpl::search(const unsigned short* key,
                             result_pair_type (&result)[KNOWLEDGE_MAX_HITS],
                             bool irregular) const {
  Walk walk;
  startWalk(&walk, key, result, irregular);
  while (step(&walk)) {
  }
  return walk.count;
}

void KnowledgeImpl::startWalk(Walk* walk, const unsigned short* key,
                              result_pair_type* hits, bool irregular) const {
  walk->key = key;
  walk->hits = hits;
  walk->count = 0;
  walk->depth = 0;
  walk->irregular = irregular;
  // A walk without a key or a trie ends at its first step.
  walk->node = key == nullptr || unitCount_ == 0 ? -1 : unitData_[0].base;
}

int KnowledgeImpl::next(int offset) const { return nextRecord(offset); }

const membuf* KnowledgeImpl::rdata() const { return &records_; }
