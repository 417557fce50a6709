// The analysis lattice: dictionary look-up at every position, the order of
// each position list, and the depth-first enumeration of every chain of
// nodes that covers the word under the connection rules.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "knowledge/knowledge_impl.h"
#include "result/candidate_impl.h"
#include "result/result_impl.h"

namespace {

// Level-1 class values (the code shifted right by one, 18 bits) and level-3
// subclass masks (the code shifted right by 21), as hasPOS takes them.
constexpr unsigned int CLS_XSN = XSN >> 1;
constexpr unsigned int CLS_J = (J_ >> 1) & 0x3FFFF;
constexpr unsigned int CLS_VC = (VCP >> 1) & 0x3FFFF;
constexpr unsigned int CLS_N = (NNG >> 1) & 0x3FFFF;
constexpr unsigned int SUB_ANY = 0;
constexpr unsigned int SUB_NNB = NNB >> 21;

constexpr unsigned int LAST_ENTRY_BIT = 1;
constexpr size_t ENTRY_HEADER = 5;  // 32-bit tag and the length byte
constexpr size_t MAX_ENTRY_UNITS = 127;
// More morphemes than any analysis holds: a record without its last mark
// is copied no further.
constexpr size_t MAX_RECORD_ENTRIES = RECORD_MAX_ENTRIES;

// Final-consonant indices of irregular hits; 99 voids a hit.
constexpr unsigned char FINAL_NONE = 0;
constexpr unsigned char FINAL_NIEUN = 4;
constexpr unsigned char FINAL_RIEUL = 8;
constexpr unsigned char FINAL_BIEUP = 17;
constexpr unsigned char FINAL_VOID = 99;

// The contracted particles split off a noun's last syllable.
constexpr unsigned short JAMO_NIEUN = 0x3134;  // ㄴ
constexpr unsigned short JAMO_RIEUL = 0x3139;  // ㄹ
constexpr unsigned short JAMO_BIEUP = 0x3142;  // ㅂ

// A run of this many Hangul syllables or more is covered by one nf node,
// and from a position where such a run starts only nodes of MIN_LONG_NODE
// units or more are linked.
constexpr unsigned long LONG_RUN = 15;
constexpr unsigned long MIN_LONG_NODE = 13;

// Number marks: a number was followed by a bound noun / by a numeral here.
constexpr uint32_t MARK_NNB = 1;
constexpr uint32_t MARK_NR = 2;

bool isHangulSyllable(unsigned short unit) {
  return unit >= 0xAC00 && unit <= 0xD7AF;
}

// hanlength(text) >= count, looking no further than count units: the word
// may run far beyond its analysed prefix.
bool startsWithHangulRun(const unsigned short* text, unsigned long count) {
  for (unsigned long k = 0; k < count; ++k)
    if (!isHangulSyllable(text[k])) return false;
  return true;
}

InterResult* nodeAt(const void* element) {
  return *static_cast<InterResult* const*>(element);
}

// The three orders of a position list, each a pair of integers compared in
// turn, the smaller first: InterResult::compare (longer node first, then
// posorder), compare_for_sn and compare_for_nr (their rank first, then the
// longer node). A node's key is computed once per sort instead of once per
// comparison.
using ListOrder = AnalyzerImpl::ListOrder;

struct SortEntry {
  uint64_t major;
  uint64_t minor;
  InterResult* node;
};

// Ranks are small positive numbers; ~length puts the longer node first.
SortEntry sortEntry(InterResult* node, ListOrder order) {
  const uint64_t longerFirst = ~static_cast<uint64_t>(node->length());
  switch (order) {
    case ListOrder::AFTER_NUMBER:
      return {static_cast<uint64_t>(node->posorder_for_sn()), longerFirst,
              node};
    case ListOrder::AFTER_NUMERAL:
      return {static_cast<uint64_t>(node->posorder_for_nr()), longerFirst,
              node};
    case ListOrder::GENERAL:
    default:
      return {longerFirst, static_cast<uint64_t>(node->posorder()), node};
  }
}

bool sortsBefore(const SortEntry& a, const SortEntry& b) {
  if (a.major != b.major) return a.major < b.major;
  return a.minor < b.minor;
}

// Lists up to this length are sorted on the stack, which allocates
// nothing; longer ones by the library's stable sort.
constexpr uint64_t SMALL_LIST = 64;
// Lists up to this length are sorted by rank.
constexpr uint64_t RANKED_LIST = 16;

// A node's sort key in one 64-bit word for the lists sorted on the stack:
// the major and minor keys of sortEntry in 24 bits each above the node's
// index in the list. Keys are then all different and compare as
// (major, minor, index) do, so any sort of them gives the stable order.
// False when a key does not fit (a length or rank of 2^24 or more).
constexpr unsigned KEY_FIELD_BITS = 24;
constexpr uint64_t KEY_FIELD_MAX = (uint64_t{1} << KEY_FIELD_BITS) - 1;
constexpr unsigned KEY_INDEX_BITS = 16;

bool packedKey(InterResult* node, ListOrder order, uint64_t index,
               uint64_t* key) {
  const uint64_t length = node->length();
  int rank;
  switch (order) {
    case ListOrder::AFTER_NUMBER: rank = node->posorder_for_sn(); break;
    case ListOrder::AFTER_NUMERAL: rank = node->posorder_for_nr(); break;
    case ListOrder::GENERAL:
    default: rank = node->posorder(); break;
  }
  if (length > KEY_FIELD_MAX || rank < 0 ||
      static_cast<uint64_t>(rank) > KEY_FIELD_MAX)
    return false;
  const uint64_t longerFirst = KEY_FIELD_MAX - length;
  const uint64_t r = static_cast<uint64_t>(rank);
  const uint64_t major = order == ListOrder::GENERAL ? longerFirst : r;
  const uint64_t minor = order == ListOrder::GENERAL ? r : longerFirst;
  *key = (major << (KEY_FIELD_BITS + KEY_INDEX_BITS)) |
         (minor << KEY_INDEX_BITS) | index;
  return true;
}

void stableSort(InterResult** first, uint64_t count, ListOrder order) {
  std::vector<SortEntry> entries;
  entries.reserve(count);
  for (uint64_t i = 0; i < count; ++i)
    entries.push_back(sortEntry(first[i], order));
  std::stable_sort(entries.begin(), entries.end(), sortsBefore);
  for (uint64_t i = 0; i < count; ++i) first[i] = entries[i].node;
}

// The first node of a list, in its present order, that is not a
// noun-irregular one and is a number (numeral false) or a numeral; null when
// none.
InterResult* firstNumber(const OpStack<InterResult*>& list, bool numeral) {
  const uint64_t count = list.size();
  for (uint64_t k = 0; k < count; ++k) {
    InterResult* node = list.at(k);
    if (node != nullptr && (numeral ? node->isNumeral() : node->isNumber()) &&
        !node->nounirregular())
      return node;
  }
  return nullptr;
}

}  // namespace

// Equal elements keep the order in which they were pushed: the order of a
// list is the order in which chains are tried and results are produced.
void AnalyzerImpl::sortList(OpStack<InterResult*>& list, ListOrder order) {
  const uint64_t count = list.size();
  if (count < 2) return;
  InterResult** first = list.data();
  if (count > SMALL_LIST) {
    stableSort(first, count, order);
    return;
  }
  uint64_t keys[SMALL_LIST];
  InterResult* nodes[SMALL_LIST];
  for (uint64_t i = 0; i < count; ++i) {
    nodes[i] = first[i];
    if (!packedKey(first[i], order, i, &keys[i])) {
      stableSort(first, count, order);
      return;
    }
  }
  const uint64_t indexMask = (uint64_t{1} << KEY_INDEX_BITS) - 1;
  if (count <= RANKED_LIST) {
    // Each node goes to its rank, the number of smaller keys: more
    // comparisons than insertion makes, but no branch on their outcomes,
    // which a short list mispredicts.
    for (uint64_t i = 0; i < count; ++i) {
      uint64_t rank = 0;
      for (uint64_t j = 0; j < count; ++j) rank += keys[j] < keys[i];
      first[rank] = nodes[keys[i] & indexMask];
    }
    return;
  }
  // Dictionary hits come shortest first, so a list often arrives in about
  // the reverse of the general order: turned round first, insertion then
  // has less to move. Any order of the distinct keys sorts to the same
  // result.
  if (keys[0] > keys[count - 1]) std::reverse(keys, keys + count);
  for (uint64_t i = 1; i < count; ++i) {
    const uint64_t key = keys[i];
    uint64_t j = i;
    for (; j > 0 && key < keys[j - 1]; --j) keys[j] = keys[j - 1];
    keys[j] = key;
  }
  for (uint64_t i = 0; i < count; ++i) first[i] = nodes[keys[i] & indexMask];
}

int stack_compare(const void* a, const void* b) {
  return nodeAt(a)->compare(*nodeAt(b));
}

int stack_compare_for_sn(const void* a, const void* b) {
  return nodeAt(a)->compare_for_sn(*nodeAt(b));
}

int stack_compare_for_nr(const void* a, const void* b) {
  return nodeAt(a)->compare_for_nr(*nodeAt(b));
}

void AnalyzerImpl::parseRecord(InterResult* node, const membuf* buf, int off,
                               const unsigned short* text, size_t length,
                               int first, unsigned k) {
  if (readings_.empty() || buf == nullptr) {
    node->parse(buf, off, text, length);
    return;
  }
  CachedReading& slot = readingSlot(first, k);
  if (slot.buf == buf && slot.off == off) {
    node->parse(slot.reading, text, length);
    return;
  }
  node->parse(buf, off, text, length);
  slot.buf = buf;
  slot.off = off;
  slot.reading = node->reading();
}

void AnalyzerImpl::prefetchRecord(const membuf* buf, int record) const {
  if (record < 0 || record > INT32_MAX - 4 || buf == nullptr) return;
  if (static_cast<size_t>(record) < buf->size())
    __builtin_prefetch(buf->buf() + record);
  if (!readings_.empty()) __builtin_prefetch(&readingSlot(record, 0));
}

static_assert(ANALYZER_MAX_UNITS <= KNOWLEDGE_MAX_STARTS,
              "every start of a word is searched at once");

void AnalyzerImpl::searchTrie(const unsigned short* text, unsigned long n) {
  n = boundedLength(text, n);
  if (n == 0) return;
  checkReadings();
  const KnowledgeImpl* dictionaries[2] = {sysKnowledge(), userKnowledge()};
  InterResult* spare = nullptr;  // a parsed node that was not kept

  // The searches of every start go in step, dictionary by dictionary; then
  // each hit's cached reading and record are fetched from memory as it is
  // listed, and the nodes are made, in the same order, when the waits have
  // overlapped.
  bool irregular[ANALYZER_POSITIONS];
  for (unsigned long i = 0; i < n; ++i)
    irregular[i] = i == 0 || !isHangulSyllable(text[i]);
  for (size_t d = 0; d < 2; ++d) {
    if (dictionaries[d] == nullptr) continue;
    if (!searchHits_[d]) {
      // Left uninitialised: only the rows that long words reach are ever
      // written, and memory untouched takes no room.
      searchHits_[d].reset(
          new result_pair_type[KNOWLEDGE_MAX_HITS * ANALYZER_POSITIONS]);
    }
    dictionaries[d]->searchEach(text, n, irregular, searchHits_[d].get(),
                                searchCounts_[d]);
  }
  trieHits_.clear();
  for (unsigned long i = 0; i < n; ++i) {
    for (size_t d = 0; d < 2; ++d) {
      const KnowledgeImpl* dictionary = dictionaries[d];
      if (dictionary == nullptr) continue;
      result_pair_type* hits = &searchHits_[d][KNOWLEDGE_MAX_HITS * i];
      const size_t count = searchCounts_[d][i];
      // An irregular hit comes just before an ordinary hit of the same
      // length; the ordinary reading wins.
      for (size_t k = 0; k + 1 < count; ++k) {
        if (hits[k].length == hits[k + 1].length)
          hits[k].final_consonant = FINAL_VOID;
      }
      const membuf* rdata = dictionary->rdata();
      for (size_t h = 0; h < count; ++h) {
        const unsigned long length = hits[h].length;
        if (length == 0 || length > n - i) continue;
        trieHits_.push_back(TrieHit{i, dictionary, hits[h].value, length,
                                    hits[h].final_consonant});
        prefetchRecord(rdata, hits[h].value);
      }
    }
  }

  for (const TrieHit& hit : trieHits_) {
    const unsigned long i = hit.offset;
    const KnowledgeImpl* dictionary = hit.dictionary;
    const membuf* rdata = dictionary->rdata();
    const unsigned long length = hit.length;
    const unsigned char final = hit.finalConsonant;
    int r = hit.record;
    for (unsigned k = 0; r >= 0 && r <= INT32_MAX - 4; ++k) {
      InterResult* node = spare != nullptr ? spare : newNode();
      spare = nullptr;
      node->offset(i);
      node->length(length);
      parseRecord(node, rdata, r + 4, text + i, length, hit.record, k);
      if (final == FINAL_NONE) {
        adopt(i, node);
      } else {
        const pos_t last(node->lastpos());
        if (last == NNG || last == NP) {
          if (final == FINAL_NIEUN || final == FINAL_RIEUL) {
            const unsigned short jamo =
                final == FINAL_NIEUN ? JAMO_NIEUN : JAMO_RIEUL;
            newInterResultForNounIrregular(rdata, r + 4, text + i, length, i,
                                           jamo, pos_t(JX));
            newInterResultForNounIrregular(rdata, r + 4, text + i, length, i,
                                           jamo, pos_t(POS_ZERO));
          } else if (final == FINAL_BIEUP) {
            newInterResultForNounIrregular(rdata, r + 4, text + i, length, i,
                                           JAMO_BIEUP, pos_t(POS_ZERO));
          }
        }
        spare = node;
      }
      r = dictionary->nextRecord(r);
      if (r == 0) break;
    }
  }
  releaseNode(spare);

  // Long Hangul runs: one nf node over the run, less a final one- or
  // two-syllable particle that the dictionary found there.
  unsigned long p = 0;
  while (p < n) {
    const unsigned long h = hanlength(text + p);
    if (h < LONG_RUN) {
      p += h + 1;
      continue;
    }
    const unsigned long e = p + h;
    unsigned long L = h;
    if (findExistsPOS(e - 1, 1, CLS_J, SUB_ANY) != nullptr)
      L = h - 1;
    else if (findExistsPOS(e - 2, 2, CLS_J, SUB_ANY) != nullptr)
      L = h - 2;

    const size_t recpos = records_.size();
    records_.append_uint8(0);
    records_.append_uint32(NF | LAST_ENTRY_BIT);
    records_.append_uint8(static_cast<uint8_t>(L * 2));
    for (unsigned long u = p; u < p + L; ++u) records_.append_uint16(text[u]);
    pushNode(p, L, &records_, static_cast<int>(recpos), text + p);
    p += L + 1;
  }
}

void AnalyzerImpl::newInterResultForNounIrregular(
    const membuf* rdata, int recpos, const unsigned short* text,
    unsigned long length, unsigned long offset, unsigned short jamo,
    pos_t tag) {
  if (rdata == nullptr || recpos < 0 || text == nullptr || length == 0 ||
      offset >= ANALYZER_POSITIONS)
    return;
  const size_t capacity = rdata->capacity();
  size_t off = static_cast<size_t>(recpos);
  if (off >= capacity) return;

  // The dictionary record is read into locals first: rdata may be the
  // record buffer being appended to.
  const size_t start = records_.size();
  const uint8_t flag = rdata->read_uint8(off);
  records_.append_uint8(flag);
  ++off;
  if (flag != 0) {
    records_.append_uint32(rdata->read_uint32(off));
    off += 4;
  }
  // Entries up to the one marked last; a damaged record ends where an
  // entry no longer fits in the buffer.
  unsigned short units[MAX_ENTRY_UNITS];
  for (size_t entries = 0; entries < MAX_RECORD_ENTRIES &&
                           off <= capacity && capacity - off >= ENTRY_HEADER;
       ++entries) {
    const uint32_t entryTag = rdata->read_uint32(off);
    const uint8_t lengthByte = rdata->read_uint8(off + 4);
    const size_t count = lengthByte >> 1;
    if ((capacity - off - ENTRY_HEADER) / 2 < count) break;
    rdata->read(off + ENTRY_HEADER, units, count * 2);
    records_.append_uint32(entryTag & ~LAST_ENTRY_BIT);
    records_.append_uint8(lengthByte);
    records_.append(units, count * 2);
    off += ENTRY_HEADER + count * 2;
    if ((entryTag & LAST_ENTRY_BIT) != 0) break;
  }
  records_.append_uint32(static_cast<unsigned int>(tag) | LAST_ENTRY_BIT);
  records_.append_uint8(2);
  records_.append_uint16(jamo);

  InterResult* node = newNode();
  node->offset(offset);
  node->length(length);
  node->nounirregular(true);
  node->parse(&records_, static_cast<int>(start), text, length);
  adopt(offset, node);
}

// Lists from usedPositions_ on are empty: sorting them does nothing, and
// their flags and cursors are read by nothing but this function.
void AnalyzerImpl::sortStack() {
  for (unsigned long p = 0; p < usedPositions_; ++p)
    positions_[p].sorted(false);

  for (unsigned long i = 0; i < usedPositions_; ++i) {
    OpStack<InterResult*>& list = positions_[i];
    // An empty list has nothing to find, sort or read.
    if (list.size() == 0) {
      list.sorted(true);
      list.rewind();
      continue;
    }
    // The list after a number or a numeral puts bound nouns first. The
    // searches leave no trace: the list's cursor is rewound below.
    InterResult* node = firstNumber(list, false);
    if (node != nullptr && i + node->length() <= ANALYZER_MAX_UNITS) {
      OpStack<InterResult*>& next = positions_[i + node->length()];
      if (!next.sorted()) sortList(next, ListOrder::AFTER_NUMBER);
      next.sorted(true);
    }
    node = firstNumber(list, true);
    if (node != nullptr && i + node->length() <= ANALYZER_MAX_UNITS) {
      OpStack<InterResult*>& next = positions_[i + node->length()];
      if (!next.sorted()) sortList(next, ListOrder::AFTER_NUMERAL);
      next.sorted(true);
    }
    if (!list.sorted()) sortList(list, ListOrder::GENERAL);
    list.sorted(true);
    list.rewind();
  }
}

InterResult* AnalyzerImpl::findExistsPOS(unsigned long position,
                                         unsigned long length,
                                         unsigned int cls, unsigned int sub) {
  if (position >= ANALYZER_POSITIONS) return nullptr;
  OpStack<InterResult*>& list = positions_[position];
  list.rewind();
  while (list.hasNext()) {
    InterResult* node = list.next();
    if (node != nullptr && node->length() == length &&
        node->hasPOS(cls, sub) && !node->nounirregular())
      return node;
  }
  return nullptr;
}

InterResult* AnalyzerImpl::findExistsPOSWithoutLength(unsigned long position,
                                                      unsigned int c1,
                                                      unsigned int s1) {
  // The one-pair form of findWithoutLength, which sortStack asks for every
  // list: the same walk with the one-pair test.
  if (position >= ANALYZER_POSITIONS) return nullptr;
  OpStack<InterResult*>& list = positions_[position];
  list.rewind();
  while (list.hasNext()) {
    InterResult* node = list.next();
    if (node != nullptr && node->hasPOS(c1, s1) && !node->nounirregular())
      return node;
  }
  return nullptr;
}

InterResult* AnalyzerImpl::findExistsPOSWithoutLength(
    unsigned long position, unsigned int c1, unsigned int s1, unsigned int c2,
    unsigned int s2) {
  const unsigned int classes[] = {c1, c2, 0};
  const unsigned int subclasses[] = {s1, s2, 0};
  return findWithoutLength(position, classes, subclasses);
}

InterResult* AnalyzerImpl::findExistsPOSWithoutLength(
    unsigned long position, unsigned int c1, unsigned int s1, unsigned int c2,
    unsigned int s2, unsigned int c3, unsigned int s3, unsigned int c4,
    unsigned int s4) {
  const unsigned int classes[] = {c1, c2, c3, c4, 0};
  const unsigned int subclasses[] = {s1, s2, s3, s4, 0};
  return findWithoutLength(position, classes, subclasses);
}

InterResult* AnalyzerImpl::findWithoutLength(unsigned long position,
                                             const unsigned int* classes,
                                             const unsigned int* subclasses) {
  if (position >= ANALYZER_POSITIONS) return nullptr;
  OpStack<InterResult*>& list = positions_[position];
  list.rewind();
  while (list.hasNext()) {
    InterResult* node = list.next();
    if (node != nullptr && node->hasPOS(classes, subclasses) &&
        !node->nounirregular())
      return node;
  }
  return nullptr;
}

void AnalyzerImpl::analysis(unsigned int mode, const unsigned short* text,
                            unsigned long n, CandidateImpl* candidate) {
  if (candidate == nullptr) return;
  if (n > ANALYZER_MAX_UNITS) n = ANALYZER_MAX_UNITS;
  if (n == 0) return;

  // The caller's word may end before n (the steps can be driven on their
  // own): Hangul runs are measured only inside it.
  unsigned long textLength = 0;
  if (text != nullptr) {
    while (textLength < n && text[textLength] != 0) ++textLength;
  }

  // Linking: a node gets the nodes that may follow it, and a null entry when
  // the word may end after it. The connection rules are pure, so a list is
  // built only when the enumeration first reaches its node: nodes that no
  // chain reaches are never linked, and the lists read are the same.
  unsigned long minLength[ANALYZER_POSITIONS];
  for (unsigned long i = 0; i < n; ++i) {
    minLength[i] = i < textLength && startsWithHangulRun(text + i, LONG_RUN)
                       ? MIN_LONG_NODE
                       : 0;
    OpStack<InterResult*>& list = positions_[i];
    for (uint64_t k = 0; k < list.size(); ++k) list.at(k)->linked(false);
  }
  auto link = [&](InterResult* node) {
    if (node->linked()) return;
    node->linked(true);
    OpStack<InterResult*>& successors = node->child();
    successors.empty();
    const unsigned long i = node->offset();
    const unsigned long length = node->length();
    // A node of no length would follow itself.
    if (i >= n || length == 0 || length < minLength[i] || length > n - i)
      return;
    const unsigned long end = i + length;
    if (end != n) {
      InterResult::pushPossible(node, positions_[end], mode, successors);
    } else if (node->isPossibleEnd(mode)) {
      successors.push(nullptr);
    }
  };

  OpStack<InterResult*> path;
  // The morphemes of the path's first builtDepth nodes, added as results
  // need them: the results below a common prefix share its work. A path
  // holds at most one node per unit of the word.
  ResultImpl built;
  ResultImpl::Carry carry = ResultImpl::startCarry();
  ResultImpl::Mark builtMarks[ANALYZER_POSITIONS];
  uint64_t builtDepth = 0;
  // Fills `result` as set() on the path would.
  auto buildResult = [&](ResultImpl* result) {
    bool fits = path.size() <= ANALYZER_POSITIONS;
    for (; fits && builtDepth < path.size(); ++builtDepth) {
      builtMarks[builtDepth] = built.mark(carry);
      fits = built.appendNode(path.at(builtDepth), &carry);
    }
    if (fits && result->assign(built)) return;
    // Memory ran out: the plain way, and the prefix is built anew.
    result->reset();
    result->set(sys_, path);
    built.reset();
    carry = ResultImpl::startCarry();
    builtDepth = 0;
  };

  // Enumeration, depth first, from every node that may begin the word.
  uint32_t marks[ANALYZER_POSITIONS] = {};
  OpStack<InterResult*>& starts = positions_[0];
  for (uint64_t k = 0; k < starts.size(); ++k) {
    InterResult* start = starts.at(k);
    // Nodes of the first list are only ever starts: one that may not begin
    // the word needs no successors.
    if (!start->isPossibleBegin(mode)) continue;
    link(start);
    if (start->child().size() == 0) continue;
    path.empty();
    built.reset();
    carry = ResultImpl::startCarry();
    builtDepth = 0;
    start->child().rewind();
    path.push(start);

    while (path.size() != 0) {
      InterResult* top = path.top();
      OpStack<InterResult*>& successors = top->child();
      if (!successors.hasNext()) {
        path.pop();
        if (builtDepth > path.size()) {
          builtDepth = path.size();
          built.backTo(builtMarks[builtDepth], &carry);
        }
        continue;
      }
      InterResult* next = successors.next();

      if (next == nullptr) {
        ResultImpl* result = candidate->newResult();
        buildResult(result);
        candidate->append(result);
        // Remember where a number was followed by a bound noun or numeral.
        for (uint64_t c = 1; c < path.size(); ++c) {
          const InterResult* node = path.at(c);
          if (!path.at(c - 1)->isNumber()) continue;
          if (node->offset() >= ANALYZER_POSITIONS) continue;
          if (node->hasPOS(CLS_N, SUB_NNB)) marks[node->offset()] |= MARK_NNB;
          if (node->isNumeral()) marks[node->offset()] |= MARK_NR;
        }
        if (candidate->size() >= ANALYZER_MAX_RESULTS) return;
        continue;
      }

      const uint32_t mark =
          next->offset() < ANALYZER_POSITIONS ? marks[next->offset()] : 0;
      const bool afterNumber = mark != 0 && top->isNumber();
      // Rule A: after a number + bound noun was read here, a one-unit piece
      // other than a noun suffix or copula does not follow a number.
      if ((mark & MARK_NNB) != 0 && afterNumber &&
          !next->hasPOS(CLS_XSN, SUB_ANY) && !next->hasPOS(CLS_VC, SUB_ANY) &&
          next->length() == 1) {
        successors.remove(next);
        continue;
      }
      // Rule B: the same after number + numeral, sparing bound nouns.
      if ((mark & MARK_NR) != 0 && afterNumber &&
          !next->hasPOS(CLS_N, SUB_NNB) && !next->hasPOS(CLS_XSN, SUB_ANY) &&
          next->length() == 1) {
        successors.remove(next);
        continue;
      }

      link(next);
      next->child().rewind();
      if (next->child().size() != 0)
        path.push(next);
      else
        successors.remove(next);  // a dead end is not walked again
    }
    if (candidate->size() >= ANALYZER_MAX_RESULTS) return;
  }
}
