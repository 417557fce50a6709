#include "tagger/model_impl.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base/generation.h"
#include "base/text.h"
#include "knowledge/trie_builder.h"

namespace {

// dir "/" name into buffer; false when it does not fit in MODEL_PATH_MAX
// bytes (terminator included).
bool modelPath(char* buffer, const char* dir, const char* name) {
  const int n =
      std::snprintf(buffer, MODEL_PATH_MAX, "%s%c%s", dir, '/', name);
  return n >= 0 && static_cast<size_t>(n) < MODEL_PATH_MAX;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

ModelImpl::ModelImpl()
    : bomCount_(0), boeCount_(0), eoeCount_(0), generation_(nextGeneration()) {}

ModelImpl::~ModelImpl() {
  for (char* text : ruleTexts_) delete[] text;
}

int ModelImpl::openTable(ModelTrie* table, FileImage* file,
                         const char* path) {
  table->clear();
  if (!file->open(path)) {
    file->reset();
    return -1;
  }
  const size_t units = file->size() / sizeof(TrieUnit);
  // darts only reads the array it is given.
  if (units != 0) table->set_array(file->data(), units);
  return 0;
}

int64_t ModelImpl::tableRoot(const ModelTrie& table) {
  const TrieUnit* units = static_cast<const TrieUnit*>(table.array());
  if (units == nullptr || table.size() == 0) return TABLE_MISS;
  return static_cast<uint32_t>(units[0].base);
}

int64_t ModelImpl::tableWalk(const ModelTrie& table, int64_t state,
                             const unsigned char* key, size_t length) {
  if (state == TABLE_MISS) return TABLE_MISS;
  const TrieUnit* units = static_cast<const TrieUnit*>(table.array());
  const size_t size = table.size();
  // darts: from node b the child for byte c is unit b + c + 1, valid when
  // its check is b.
  uint32_t b = static_cast<uint32_t>(state);
  for (size_t i = 0; i < length; ++i) {
    const uint32_t p = b + key[i] + 1u;
    if (p >= size || units[p].check != b) return TABLE_MISS;
    b = static_cast<uint32_t>(units[p].base);
  }
  return b;
}

void ModelImpl::tableWalks(const ModelTrie& table, TableWalk* walks,
                           size_t n) {
  tableWalks(table, n, table, walks, n);
}

void ModelImpl::tableWalks(const ModelTrie& first, size_t split,
                           const ModelTrie& second, TableWalk* walks,
                           size_t n) {
  const TrieUnit* const tables[2] = {
      static_cast<const TrieUnit*>(first.array()),
      static_cast<const TrieUnit*>(second.array())};
  const size_t sizes[2] = {first.size(), second.size()};
  // Up to WINDOW walks go at once, one byte each per round, and a walk that
  // ends makes room for the next. A round first finds the unit each walk
  // reads next and starts fetching it, then reads them all: the fetches of
  // a round wait together, and the rounds are as few as the bytes allow.
  constexpr size_t WINDOW = 32;
  uint32_t going[WINDOW];   // index of the walk
  uint32_t walked[WINDOW];  // its bytes walked so far
  uint32_t next[WINDOW];    // the unit it reads next
  bool inside[WINDOW];      // whether that unit is in the array
  size_t count = 0;
  size_t waiting = 0;  // the first walk not yet started
  for (;;) {
    for (; count < WINDOW && waiting < n; ++waiting) {
      const TableWalk& walk = walks[waiting];
      if (walk.state == TABLE_MISS || walk.length == 0) continue;
      going[count] = static_cast<uint32_t>(waiting);
      walked[count] = 0;
      ++count;
    }
    if (count == 0) return;
    for (size_t g = 0; g < count; ++g) {
      const TableWalk& walk = walks[going[g]];
      const size_t t = going[g] >= split;
      const uint32_t p =
          static_cast<uint32_t>(walk.state) + walk.key[walked[g]] + 1u;
      // Outside the array: unit 0 is read instead, and the walk misses.
      inside[g] = p < sizes[t];
      next[g] = inside[g] ? p : 0;
      __builtin_prefetch(&tables[t][next[g]]);
    }
    size_t kept = 0;
    for (size_t g = 0; g < count; ++g) {
      TableWalk& walk = walks[going[g]];
      const uint32_t i = walked[g];
      // Without a branch on the loaded unit, so that a miss does not stop
      // the loads of the walks after it.
      const uint32_t b = static_cast<uint32_t>(walk.state);
      const TrieUnit unit = tables[going[g] >= split][next[g]];
      const bool found = inside[g] & (unit.check == b);
      // TABLE_MISS has all bits set: or-ing it in stands for a miss.
      walk.state = static_cast<int64_t>(static_cast<uint32_t>(unit.base)) |
                   -static_cast<int64_t>(!found);
      going[kept] = going[g];
      walked[kept] = i + 1;
      kept += found & (i + 1 < walk.length);
    }
    count = kept;
  }
}

int ModelImpl::tableValue(const ModelTrie& table, int64_t state) {
  if (state == TABLE_MISS) return -1;
  // Node b ends a key when unit b has check b and a negative base, the
  // value being -base - 1.
  const TrieUnit* units = static_cast<const TrieUnit*>(table.array());
  const uint32_t p = static_cast<uint32_t>(state);
  if (p >= table.size()) return -1;
  const int32_t n = units[p].base;
  if (units[p].check != p || n >= 0) return -1;
  return -(n + 1);
}

int ModelImpl::findInTable(const ModelTrie& table, const unsigned char* key,
                           size_t length) {
  return tableValue(table, tableWalk(table, tableRoot(table), key, length));
}

int ModelImpl::lookup(const ModelTrie& table, const char* key) {
  if (key == nullptr) return 0;
  const size_t length = std::strlen(key);
  if (length == 0) return 0;
  const int value =
      findInTable(table, reinterpret_cast<const unsigned char*>(key), length);
  return value < 0 ? 0 : value;
}

int ModelImpl::getMorphemeTransition(const char* key) const {
  return lookup(mtrans_, key);
}

int ModelImpl::getEojulTransition(const char* key) const {
  return lookup(etrans_, key);
}

int ModelImpl::load(const char* dir) {
  generation_ = nextGeneration();
  if (dir == nullptr) return -1;
  char path[MODEL_PATH_MAX];
  if (!modelPath(path, dir, MODEL_MORPHEME_TRANSITION_FILE) ||
      openTable(&mtrans_, &mtransFile_, path) != 0)
    return -1;
  if (!modelPath(path, dir, MODEL_EOJUL_TRANSITION_FILE) ||
      openTable(&etrans_, &etransFile_, path) != 0)
    return -1;
  if (modelPath(path, dir, MODEL_TAGSEQ_RULE_FILE)) loadRuleTagSequence(path);
  bomCount_ = getMorphemeTransition(BEGIN_OF_MORPHEME);
  boeCount_ = getEojulTransition(BEGIN_OF_EOJUL);
  eoeCount_ = getEojulTransition(END_OF_EOJUL);
  return 0;
}

int ModelImpl::loadRuleTagSequence(const char* path) {
  char* text = readfile(path);
  if (text == nullptr) return -1;
  ruleTexts_.push_back(text);

  char* p = text;
  while (*p != '\0') {
    while (*p == '\r' || *p == '\n') ++p;
    if (*p == '\0') break;
    char* line = p;
    while (*p != '\0' && *p != '\r' && *p != '\n') ++p;
    if (*p != '\0') *p++ = '\0';

    if (line[0] == ';' || line[0] == ' ') continue;
    char* end = line + std::strlen(line);
    while (end > line && isBlank(end[-1])) --end;
    *end = '\0';
    while (isBlank(*line)) ++line;
    if (*line != '\0') rules_.push_back(line);
  }
  return 0;
}

bool ModelImpl::matchTagSequence(const char* text) const {
  if (text == nullptr) return false;
  for (const char* rule : rules_)
    if (uwildcard(rule, text)) return true;
  return false;
}
