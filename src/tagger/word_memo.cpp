#include "tagger/word_memo.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

const float UNKNOWN = std::numeric_limits<float>::quiet_NaN();

// Bookkeeping per entry of a map with a string key, added to the bytes of
// its contents (node, key, value, bucket).
constexpr size_t ENTRY_OVERHEAD = 64;

// The largest unit id: keys keep the top bit for the kind of cost.
constexpr uint32_t MAX_UNIT_ID = 0x7FFFFFFEu;

// FNV-1a over a morpheme's tag code and text; the text's length too.
uint32_t pieceHash(unsigned code, const char* text, size_t* length) {
  uint32_t h = 2166136261u ^ code;
  h *= 16777619u;
  size_t n = 0;
  for (; text[n] != '\0'; ++n) {
    h ^= static_cast<unsigned char>(text[n]);
    h *= 16777619u;
  }
  *length = n;
  return h;
}

// The arena's first block; later blocks grow geometrically.
constexpr size_t ARENA_FIRST_BLOCK = 64 * 1024;

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
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next)
    morphemeCount += node->element->size();
  rows.clear();
  morphemes.clear();
  texts.clear();
  rows.reserve(candidate.size());
  morphemes.reserve(morphemeCount);
  // The records first, each text's offset in the pool being the sum of the
  // lengths before it; then the texts, copied into a pool of that size.
  uint64_t textBytes = 0;
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next) {
    const ResultImpl* r = node->element;
    const unsigned long k = r->size();
    rows.push_back(MemoRow{r->score(), 0.0f, 0, 0,
                           static_cast<uint32_t>(morphemes.size()),
                           static_cast<uint32_t>(k)});
    const ResultImpl::Morpheme* m = r->morphemes();
    for (unsigned long i = 0; i < k; ++i) {
      morphemes.push_back(MemoMorpheme{m[i].tag, narrow(textBytes),
                                       narrow(m[i].start), narrow(m[i].end)});
      textBytes += std::strlen(r->lexicon(static_cast<int>(i))) + 1;
    }
  }
  texts.resize(narrow(textBytes));
  size_t next = 0;
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next) {
    const ResultImpl* r = node->element;
    const unsigned long k = r->size();
    for (unsigned long i = 0; i < k; ++i, ++next) {
      const uint32_t at = morphemes[next].text;
      const size_t end = next + 1 < morphemes.size() ? morphemes[next + 1].text
                                                     : texts.size();
      std::memcpy(&texts[at], r->lexicon(static_cast<int>(i)), end - at);
    }
  }
}

ResultImpl* MemoWord::result(size_t j, unsigned long base) const {
  ResultImpl* r = new (std::nothrow) ResultImpl();
  if (r != nullptr) fill(j, base, r);
  return r;
}

void MemoWord::fill(size_t j, unsigned long base, ResultImpl* r) const {
  r->reset();
  const MemoRow& row = rows[j];
  if (row.count != 0) {
    // The row's texts lie one after another in the pool: copied at once.
    const uint32_t first = morphemes[row.begin].text;
    const uint32_t end = row.begin + row.count < morphemes.size()
                             ? morphemes[row.begin + row.count].text
                             : static_cast<uint32_t>(texts.size());
    const uint32_t at = r->texts(texts.data() + first, end - first);
    if (at != ResultImpl::TEXT_FULL) {
      for (uint32_t m = row.begin; m < row.begin + row.count; ++m) {
        const MemoMorpheme& mm = morphemes[m];
        r->appendPooled(pos_t(mm.pos), at + (mm.text - first),
                        static_cast<unsigned long>(mm.start) + base,
                        static_cast<unsigned long>(mm.end) + base);
      }
    }
  }
  r->score(row.score);
}

size_t MemoWord::bytes() const {
  return sizeof(MemoWord) + origin.capacity() + texts.capacity() +
         key.capacity() + rows.capacity() * sizeof(MemoRow) +
         morphemes.capacity() * sizeof(MemoMorpheme);
}

WordMemo::WordMemo(size_t budget)
    : budget_(budget), bytes_(0), arena_(ARENA_FIRST_BLOCK) {}

void WordMemo::reset() {
  std::vector<WordSlot>().swap(wordTable_);
  wordCount_ = 0;
  aside_.clear();
  arena_.release();
  unitIds_.clear();
  units_.clear();
  counts_.clear();
  pseudo_.clear();
  endCosts_.clear();
  transitions_.clear();
  steps_.clear();
  wideCosts_.clear();
  unitTags_.clear();
  tagIds_.clear();
  logs_.clear();
  std::vector<Piece>().swap(pieces_);
  std::string().swap(pieceTexts_);
  pieceCount_ = 0;
  pieceBytes_ = 0;
  bytes_ = 0;
}

void WordMemo::trimCosts() {
  if (transitions_.bytes() + steps_.bytes() + wideCosts_.bytes() +
          logs_.bytes() >
      budget_ / 4) {
    transitions_.clear();
    steps_.clear();
    wideCosts_.clear();
    logs_.clear();
  }
}

WordMemo::Key WordMemo::key(const unsigned short* units, size_t length) {
  // FNV-1a over the key's bytes.
  const char* data = reinterpret_cast<const char*>(units);
  const size_t size = length * sizeof(unsigned short);
  uint64_t h = 14695981039346656037ull;
  for (size_t i = 0; i < size; ++i) {
    h ^= static_cast<unsigned char>(data[i]);
    h *= 1099511628211ull;
  }
  return Key{data, size, h};
}

const MemoWord* WordMemo::find(const Key& key) const {
  if (wordTable_.empty()) return nullptr;
  const size_t mask = wordTable_.size() - 1;
  for (size_t i = key.hash & mask; wordTable_[i].word != nullptr;
       i = (i + 1) & mask) {
    const WordSlot& slot = wordTable_[i];
    if (slot.hash == key.hash && slot.word->key.size() == key.size &&
        std::memcmp(slot.word->key.data(), key.data, key.size) == 0)
      return slot.word;
  }
  return nullptr;
}

void WordMemo::prefetchSlot(const Key& key) const {
  if (wordTable_.empty()) return;
  __builtin_prefetch(&wordTable_[key.hash & (wordTable_.size() - 1)]);
}

void WordMemo::prefetchWord(const Key& key) const {
  if (wordTable_.empty()) return;
  const uint64_t hash = key.hash;
  const size_t mask = wordTable_.size() - 1;
  for (size_t i = hash & mask; wordTable_[i].word != nullptr;
       i = (i + 1) & mask) {
    if (wordTable_[i].hash != hash) continue;
    const char* word = reinterpret_cast<const char*>(wordTable_[i].word);
    __builtin_prefetch(word);
    __builtin_prefetch(word + 64);
    __builtin_prefetch(word + 128);
    __builtin_prefetch(word + 192);
    return;
  }
}

MemoWord* WordMemo::newWord() {
  if (full()) {
    aside_.push_back(
        std::make_unique<MemoWord>(std::pmr::new_delete_resource()));
    return aside_.back().get();
  }
  void* at = arena_.allocate(sizeof(MemoWord), alignof(MemoWord));
  return new (at) MemoWord(&arena_);
}

const MemoWord* WordMemo::insert(const Key& key, MemoWord* word) {
  if (word->texts.get_allocator().resource() != &arena_) return word;
  word->key.assign(key.data, key.size);
  word->hash = key.hash;
  // Doubled at half load.
  if (2 * (wordCount_ + 1) > wordTable_.size()) growWords();
  const size_t mask = wordTable_.size() - 1;
  size_t i = word->hash & mask;
  while (wordTable_[i].word != nullptr) i = (i + 1) & mask;
  wordTable_[i] = WordSlot{word->hash, word};
  ++wordCount_;
  bytes_ += word->bytes() + sizeof(WordSlot) * 2;
  return word;
}

void WordMemo::growWords() {
  std::vector<WordSlot> table(std::max<size_t>(1024, 2 * wordTable_.size()),
                              WordSlot{0, nullptr});
  const size_t mask = table.size() - 1;
  for (const WordSlot& slot : wordTable_) {
    if (slot.word == nullptr) continue;
    size_t i = slot.hash & mask;
    while (table[i].word != nullptr) i = (i + 1) & mask;
    table[i] = slot;
  }
  wordTable_.swap(table);
}

uint32_t WordMemo::unitId(const UnitKeys& keys) {
  auto found = unitIds_.find(keys.lex);
  if (found != unitIds_.end()) return found->second;
  if (units_.size() > MAX_UNIT_ID) throw std::bad_alloc();
  const uint32_t id = static_cast<uint32_t>(units_.size());
  unitIds_.emplace(keys.lex, id);
  const auto tag =
      tagIds_.emplace(keys.tag, static_cast<uint32_t>(tagIds_.size()));
  if (tag.second) bytes_ += keys.tag.capacity() + ENTRY_OVERHEAD;
  unitTags_.push_back(tag.first->second);
  units_.push_back(keys);
  counts_.push_back(UnitCounts());
  endCosts_.push_back(UNKNOWN);
  bytes_ += 2 * (keys.lex.capacity() + ENTRY_OVERHEAD) + keys.tag.capacity() +
            sizeof(UnitCounts) + sizeof(uint32_t);
  return id;
}

uint32_t& WordMemo::pieceId(unsigned code, const char* text) {
  size_t length;
  const uint32_t hash = pieceHash(code, text, &length);
  if (2 * (pieceCount_ + 1) > pieces_.size()) {
    // Doubled and refilled at half load.
    std::vector<Piece> old(std::max<size_t>(64, 2 * pieces_.size()),
                           Piece{0, 0, NO_UNIT, NO_UNIT});
    old.swap(pieces_);
    const size_t mask = pieces_.size() - 1;
    for (const Piece& p : old) {
      if (p.text == NO_UNIT) continue;
      size_t i = p.hash & mask;
      while (pieces_[i].text != NO_UNIT) i = (i + 1) & mask;
      pieces_[i] = p;
    }
  }
  const size_t mask = pieces_.size() - 1;
  size_t i = hash & mask;
  for (; pieces_[i].text != NO_UNIT; i = (i + 1) & mask) {
    const Piece& p = pieces_[i];
    if (p.hash == hash && p.code == code &&
        std::memcmp(pieceTexts_.data() + p.text, text, length + 1) == 0)
      return pieces_[i].id;
  }
  if (pieceTexts_.size() >= NO_UNIT) throw std::bad_alloc();
  const uint32_t offset = static_cast<uint32_t>(pieceTexts_.size());
  pieceTexts_.append(text, length + 1);
  pieces_[i] = Piece{hash, code, offset, NO_UNIT};
  ++pieceCount_;
  const size_t held =
      pieces_.capacity() * sizeof(Piece) + pieceTexts_.capacity();
  bytes_ += held - pieceBytes_;
  pieceBytes_ = held;
  return pieces_[i].id;
}

uint32_t WordMemo::pseudoId(const char* name) {
  for (const Pseudo& p : pseudo_)
    if (p.name == name) return p.id;
  const uint32_t id = unitId(UnitKeys{name, name});
  pseudo_.push_back(Pseudo{name, id});
  return id;
}

