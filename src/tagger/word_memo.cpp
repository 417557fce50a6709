#include "tagger/word_memo.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

const float UNKNOWN = std::numeric_limits<float>::quiet_NaN();

// Bookkeeping per hash-map entry, added to the bytes of its contents: for
// entries with a string key, and for those keyed by a number (node, key,
// value, bucket).
constexpr size_t ENTRY_OVERHEAD = 64;
constexpr size_t NUMERIC_ENTRY_BYTES = 40;

uint32_t narrow(uint64_t value) {
  if (value > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  return static_cast<uint32_t>(value);
}

}  // namespace

void MemoWord::assign(const CandidateImpl& candidate) {
  const char* o = candidate.origin();
  hasOrigin = o != nullptr;
  origin.assign(hasOrigin ? o : "");
  // Sized once: the memo holds many words, and grown vectors carry unused
  // capacity.
  size_t morphemeCount = 0;
  size_t textBytes = 0;
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next) {
    const ResultImpl* r = node->element;
    const unsigned long k = r->size();
    morphemeCount += k;
    for (unsigned long m = 0; m < k; ++m)
      textBytes += std::strlen(r->lexicon(static_cast<int>(m))) + 1;
  }
  narrow(textBytes);
  std::vector<MemoRow>().swap(rows);
  std::vector<MemoMorpheme>().swap(morphemes);
  std::string().swap(texts);
  rows.reserve(candidate.size());
  morphemes.reserve(morphemeCount);
  texts.reserve(textBytes);
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next) {
    const ResultImpl* r = node->element;
    const unsigned long k = r->size();
    rows.push_back(MemoRow{r->score(), 0.0f, 0, 0,
                           static_cast<uint32_t>(morphemes.size()),
                           static_cast<uint32_t>(k)});
    for (unsigned long m = 0; m < k; ++m) {
      const int i = static_cast<int>(m);
      morphemes.push_back(MemoMorpheme{static_cast<unsigned int>(r->pos(i)),
                                       static_cast<uint32_t>(texts.size()),
                                       narrow(r->startOffset(i)),
                                       narrow(r->endOffset(i))});
      texts.append(r->lexicon(i));
      texts.push_back('\0');
    }
  }
}

ResultImpl* MemoWord::result(size_t j, unsigned long base) const {
  ResultImpl* r = new (std::nothrow) ResultImpl();
  if (r == nullptr) return nullptr;
  const MemoRow& row = rows[j];
  for (uint32_t m = row.begin; m < row.begin + row.count; ++m) {
    const MemoMorpheme& mm = morphemes[m];
    r->append(reinterpret_cast<const unsigned char*>(texts.data() + mm.text),
              pos_t(mm.pos), static_cast<unsigned long>(mm.start) + base,
              static_cast<unsigned long>(mm.end) + base);
  }
  r->score(row.score);
  return r;
}

size_t MemoWord::bytes() const {
  return sizeof(MemoWord) + origin.capacity() + texts.capacity() +
         rows.capacity() * sizeof(MemoRow) +
         morphemes.capacity() * sizeof(MemoMorpheme);
}

WordMemo::WordMemo(size_t budget)
    : budget_(budget), bytes_(0), costBytes_(0) {}

void WordMemo::reset() {
  words_.clear();
  aside_.clear();
  unitIds_.clear();
  units_.clear();
  counts_.clear();
  pseudo_.clear();
  endCosts_.clear();
  transitions_.clear();
  steps_.clear();
  bytes_ = 0;
  costBytes_ = 0;
}

void WordMemo::trimCosts() {
  if (costBytes_ <= budget_ / 4) return;
  transitions_.clear();
  steps_.clear();
  costBytes_ = 0;
}

const MemoWord* WordMemo::find(const std::string& key) const {
  auto found = words_.find(key);
  return found != words_.end() ? found->second.get() : nullptr;
}

const MemoWord* WordMemo::insert(const std::string& key,
                                 std::unique_ptr<MemoWord> word) {
  const MemoWord* kept = word.get();
  if (full()) {
    aside_.push_back(std::move(word));
    return kept;
  }
  bytes_ += key.capacity() + word->bytes() + ENTRY_OVERHEAD;
  words_.emplace(key, std::move(word));
  return kept;
}

uint32_t WordMemo::unitId(const UnitKeys& keys) {
  auto found = unitIds_.find(keys.lex);
  if (found != unitIds_.end()) return found->second;
  const uint32_t id = static_cast<uint32_t>(units_.size());
  unitIds_.emplace(keys.lex, id);
  units_.push_back(keys);
  counts_.push_back(UnitCounts());
  endCosts_.push_back(UNKNOWN);
  bytes_ += 2 * (keys.lex.capacity() + ENTRY_OVERHEAD) + keys.tag.capacity() +
            sizeof(UnitCounts);
  return id;
}

uint32_t WordMemo::pseudoId(const char* name) {
  for (const Pseudo& p : pseudo_)
    if (p.name == name) return p.id;
  const uint32_t id = unitId(UnitKeys{name, name});
  pseudo_.push_back(Pseudo{name, id});
  return id;
}

float& WordMemo::transition(uint32_t a, uint32_t b) {
  const uint64_t key = (static_cast<uint64_t>(a) << 32) | b;
  auto found = transitions_.find(key);
  if (found != transitions_.end()) return found->second;
  costBytes_ += NUMERIC_ENTRY_BYTES;
  return transitions_.emplace(key, UNKNOWN).first->second;
}

float& WordMemo::endCost(uint32_t z) { return endCosts_[z]; }

float& WordMemo::step(uint32_t p, uint32_t c) {
  const uint64_t key = (static_cast<uint64_t>(p) << 32) | c;
  auto found = steps_.find(key);
  if (found != steps_.end()) return found->second;
  costBytes_ += NUMERIC_ENTRY_BYTES;
  return steps_.emplace(key, UNKNOWN).first->second;
}
