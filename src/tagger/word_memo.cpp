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

// The arena's first block; later blocks double up to a huge page.
constexpr size_t ARENA_FIRST_BLOCK = 64 * 1024;

uint32_t narrow(uint64_t value) {
  if (value > std::numeric_limits<uint32_t>::max()) throw std::bad_alloc();
  return static_cast<uint32_t>(value);
}

uint8_t narrow8(uint64_t value) {
  if (value > std::numeric_limits<uint8_t>::max()) throw std::bad_alloc();
  return static_cast<uint8_t>(value);
}

uint16_t narrow16(uint64_t value) {
  if (value > std::numeric_limits<uint16_t>::max()) throw std::bad_alloc();
  return static_cast<uint16_t>(value);
}

}  // namespace

size_t MemoWord::Layout::bytes() const { return MemoWord(*this).bytes(); }

MemoWord::Layout MemoWord::measure(size_t keyBytes,
                                   const CandidateImpl& candidate) {
  Layout layout;
  layout.keyBytes = narrow(keyBytes);
  uint64_t morphemes = 0;
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next)
    morphemes += node->element->size();
  // Rows are indexed in 16 bits (a word has a few hundred at most).
  layout.rows = narrow16(candidate.size());
  layout.morphemes = narrow(morphemes);
  const char* origin = candidate.origin();
  if (origin != nullptr) layout.originBytes = narrow(std::strlen(origin) + 1);
  // The block's offsets are computed in size_t, so no sum overflows; a
  // block past 32 bits is refused like its parts.
  narrow(layout.bytes());
  return layout;
}

MemoWord* MemoWord::build(void* block, const Layout& layout, const char* key,
                          uint64_t hash, const CandidateImpl& candidate,
                          WordMemo* memo) {
  MemoWord* word = new (block) MemoWord(layout);
  word->hash_ = hash;
  if (layout.keyBytes != 0)
    std::memcpy(word->at<char>(keyAt()), key, layout.keyBytes);
  if (layout.originBytes != 0)
    std::memcpy(word->at<char>(word->originAt()), candidate.origin(),
                layout.originBytes);
  MemoRow* row = word->at<MemoRow>(word->rowsAt());
  MemoMorpheme* morpheme = word->at<MemoMorpheme>(word->morphemesAt());
  uint32_t m = 0;
  for (const CandidateImpl::ResultList::Node* node =
           candidate.results().head();
       node != nullptr; node = node->next, ++row) {
    const ResultImpl* r = node->element;
    const unsigned long k = r->size();
    *row = MemoRow{r->score(), 0.0f, m, static_cast<uint32_t>(k), 0, 0};
    const ResultImpl::Morpheme* rm = r->morphemes();
    for (unsigned long i = 0; i < k; ++i, ++m, ++morpheme)
      *morpheme = MemoMorpheme{
          memo->piece(rm[i].tag, r->lexicon(static_cast<int>(i))),
          narrow8(rm[i].start), narrow8(rm[i].end)};
  }
  return word;
}

void MemoWord::setEndUnits(const uint32_t* firsts, const uint32_t* lasts) {
  uint32_t* units = at<uint32_t>(unitsAt());
  uint32_t* lastUnits = units + rows_;
  MemoRow* row = at<MemoRow>(rowsAt());
  size_t firstCount = 0;
  size_t lastCount = 0;
  // Rows are few: each unit is looked for among those found before it.
  for (size_t r = 0; r < rows_; ++r) {
    size_t f = 0;
    while (f < firstCount && units[f] != firsts[r]) ++f;
    if (f == firstCount) units[firstCount++] = firsts[r];
    size_t l = 0;
    while (l < lastCount && lastUnits[l] != lasts[r]) ++l;
    if (l == lastCount) lastUnits[lastCount++] = lasts[r];
    row[r].firstOf = static_cast<uint16_t>(f);
    row[r].lastOf = static_cast<uint16_t>(l);
  }
  firstCount_ = static_cast<uint16_t>(firstCount);
  lastCount_ = static_cast<uint16_t>(lastCount);
}

bool MemoWord::hasKey(const char* key, size_t size) const {
  return size == keyBytes_ &&
         (size == 0 || std::memcmp(at<const char>(keyAt()), key, size) == 0);
}

void MemoWord::fill(size_t j, unsigned long base, const WordMemo& memo,
                    ResultImpl* r) const {
  r->reset();
  const MemoRow& row = rows()[j];
  const MemoSpan<const MemoMorpheme> all = morphemes();
  const uint32_t end = row.begin + row.count;
  size_t bytes = 0;
  for (uint32_t m = row.begin; m < end; ++m)
    bytes += memo.pieceLength(all[m].piece) + 1;
  // Memory ran out: the row without morphemes rather than a part.
  if (r->reserve(row.count, bytes)) {
    for (uint32_t m = row.begin; m < end; ++m) {
      const MemoMorpheme& mm = all[m];
      r->appendReserved(pos_t(memo.pieceCode(mm.piece)),
                        memo.pieceText(mm.piece),
                        memo.pieceLength(mm.piece) + 1,
                        static_cast<unsigned long>(mm.start) + base,
                        static_cast<unsigned long>(mm.end) + base);
    }
  }
  r->score(row.score);
}

size_t MemoWord::bytes() const {
  return (endAt() + alignof(MemoWord) - 1) / alignof(MemoWord) *
         alignof(MemoWord);
}

WordMemo::WordMemo(size_t budget)
    : budget_(budget),
      bytes_(0),
      arena_(ARENA_FIRST_BLOCK) {}

void WordMemo::reset() {
  BlockArray<WordSlot>().swap(wordTable_);
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
  std::vector<PieceInfo>().swap(pieceList_);
  std::vector<Piece>().swap(pieces_);
  std::string().swap(pieceTexts_);
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
    if (slot.hash == key.hash && slot.word->hasKey(key.data, key.size))
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

MemoWord* WordMemo::add(const Key& key, const CandidateImpl& candidate) {
  const MemoWord::Layout layout = MemoWord::measure(key.size, candidate);
  if (full()) {
    std::unique_ptr<unsigned char[]> block(new unsigned char[layout.bytes()]);
    aside_.push_back(std::move(block));
    return MemoWord::build(aside_.back().get(), layout, key.data, key.hash,
                           candidate, this);
  }
  void* block = arena_.allocate(layout.bytes(), alignof(MemoWord));
  MemoWord* word =
      MemoWord::build(block, layout, key.data, key.hash, candidate, this);
  // Doubled at half load.
  if (2 * (wordCount_ + 1) > wordTable_.size()) growWords();
  const size_t mask = wordTable_.size() - 1;
  size_t i = key.hash & mask;
  while (wordTable_[i].word != nullptr) i = (i + 1) & mask;
  wordTable_[i] = WordSlot{key.hash, word};
  ++wordCount_;
  bytes_ += word->bytes() + sizeof(WordSlot) * 2;
  return word;
}

void WordMemo::growWords() {
  BlockArray<WordSlot> table(std::max<size_t>(1024, 2 * wordTable_.size()),
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

uint32_t WordMemo::piece(unsigned code, const char* text) {
  size_t length;
  const uint32_t hash = pieceHash(code, text, &length);
  if (2 * (pieceList_.size() + 1) > pieces_.size()) {
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
      return p.index;
  }
  if (pieceTexts_.size() + length >= NO_UNIT || pieceList_.size() >= NO_UNIT)
    throw std::bad_alloc();
  const uint32_t offset = static_cast<uint32_t>(pieceTexts_.size());
  const uint32_t index = static_cast<uint32_t>(pieceList_.size());
  pieceList_.push_back(
      PieceInfo{code, offset, static_cast<uint32_t>(length), NO_UNIT});
  pieceTexts_.append(text, length + 1);
  pieces_[i] = Piece{hash, code, offset, index};
  const size_t held = pieces_.capacity() * sizeof(Piece) +
                      pieceList_.capacity() * sizeof(PieceInfo) +
                      pieceTexts_.capacity();
  bytes_ += held - pieceBytes_;
  pieceBytes_ = held;
  return index;
}

uint32_t WordMemo::pseudoId(const char* name) {
  for (const Pseudo& p : pseudo_)
    if (p.name == name) return p.id;
  const uint32_t id = unitId(UnitKeys{name, name});
  pseudo_.push_back(Pseudo{name, id});
  return id;
}

