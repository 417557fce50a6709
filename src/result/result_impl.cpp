#include "result/result_impl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text.h"
#include "knowledge/inter_result.h"
#include "pos/attribute_bits.h"

namespace {

// One morpheme record: tag (32 bits), text offset (signed 32 bits), start
// and end (64 bits each).
constexpr size_t POS_FIELD = 0;
constexpr size_t LEXICON_FIELD = 4;
constexpr size_t START_FIELD = 8;
constexpr size_t END_FIELD = 16;
constexpr size_t RECORD_SIZE = 24;

// The level-1 class bits of a tag code.
constexpr unsigned int CLASS_MASK = 0x0007FFFE;
constexpr unsigned int CLASS_S = 0x00000010;
constexpr unsigned int CLASS_E = 0x00000400;
constexpr unsigned int CLASS_N = 0x00020000;

// A morpheme entry: tag word, length byte, then the units of its text.
constexpr size_t ENTRY_HEADER = 5;
constexpr unsigned int LAST_ENTRY_BIT = 0x1;

constexpr unsigned short HANGUL_FIRST = 0xAC00;
constexpr unsigned short HANGUL_LAST = 0xD7AF;

// "이", the copula restored between an open-syllable noun and an ending.
const unsigned char COPULA_TEXT[] = "\xEC\x9D\xB4";

unsigned int classOf(unsigned int code) { return code & CLASS_MASK; }

size_t recordAt(int i) { return static_cast<size_t>(i) * RECORD_SIZE; }

// Final jamo that an analysis may split off one morpheme and repeat at the
// head of the next one (ㄹ ㄴ ㅂ ㅁ).
bool isMergeableJamo(unsigned short c) {
  return c == 0x3139 || c == 0x3134 || c == 0x3142 || c == 0x3141;
}

bool isOpenSyllable(unsigned short c) {
  return c >= HANGUL_FIRST && c <= HANGUL_LAST && (c - HANGUL_FIRST) % 28 == 0;
}

// Most results hold a handful of morphemes: the first blocks fit ten records
// and 128 text bytes, and grow when needed. Storage is zero-filled as it
// grows, so reads past what was written still give zero bytes.
constexpr size_t MORPHEME_BLOCK = 10 * RECORD_SIZE;
constexpr size_t TEXT_BLOCK = 128;

// Enough for the UTF-8 form of the longest entry text (127 units, at most
// three bytes each) and its terminating zero.
constexpr size_t ENTRY_TEXT_MAX = 127 * 3 + 1;

// The UTF-8 form of the first n units of `units` (up to a zero unit) into
// `out`, zero-terminated; returns its length without the zero. Surrogates
// are not paired: each becomes its own three bytes, as uchar_toutf8 does.
size_t toUtf8(const unsigned short* units, size_t n, unsigned char* out) {
  unsigned char* p = out;
  for (size_t i = 0; i < n && units[i] != 0; ++i) {
    const unsigned short c = units[i];
    if (c < 0x80) {
      *p++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
  }
  *p = 0;
  return static_cast<size_t>(p - out);
}

}  // namespace

ResultImpl::ResultImpl()
    : morphemes_(MORPHEME_BLOCK, MORPHEME_BLOCK),
      texts_(TEXT_BLOCK, TEXT_BLOCK),
      score_(0.0f) {}

ResultImpl::~ResultImpl() {}

unsigned long ResultImpl::size() const {
  return morphemes_.size() / RECORD_SIZE;
}

const char* ResultImpl::lexicon(int i) const {
  const int32_t off = morphemes_.read_int32(recordAt(i) + LEXICON_FIELD);
  const char* text = texts_.read_s(static_cast<size_t>(off));
  return text != nullptr ? text : "";
}

const char* ResultImpl::posTag(int i) const {
  const char* name = getLevel3PosTag(pos(i));
  return name != nullptr ? name : "";
}

pos_t ResultImpl::pos(int i) const {
  return pos_t(morphemes_.read_uint32(recordAt(i) + POS_FIELD));
}

unsigned long ResultImpl::startOffset(int i) const {
  return morphemes_.read_uint64(recordAt(i) + START_FIELD);
}

unsigned long ResultImpl::endOffset(int i) const {
  return morphemes_.read_uint64(recordAt(i) + END_FIELD);
}

unsigned long ResultImpl::length(int i) const {
  return endOffset(i) - startOffset(i);
}

float ResultImpl::score() const { return score_; }

void ResultImpl::startOffset(int i, unsigned long value) {
  morphemes_.write_uint64(recordAt(i) + START_FIELD, value);
}

void ResultImpl::endOffset(int i, unsigned long value) {
  morphemes_.write_uint64(recordAt(i) + END_FIELD, value);
}

void ResultImpl::startOffsetIncr(int i, unsigned long delta) {
  startOffset(i, startOffset(i) + delta);
}

void ResultImpl::endOffsetIncr(int i, unsigned long delta) {
  endOffset(i, endOffset(i) + delta);
}

void ResultImpl::append(const unsigned char* text, pos_t pos,
                        unsigned long start, unsigned long end) {
  const size_t off = texts_.size();
  texts_.append_sn(text != nullptr ? reinterpret_cast<const char*>(text) : "");
  appendRecord(static_cast<unsigned int>(pos), off, start, end);
}

void ResultImpl::appendRecord(unsigned int tag, size_t textOff, uint64_t start,
                              uint64_t end) {
  unsigned char record[RECORD_SIZE];
  membuf::write_uint32(record + POS_FIELD, tag);
  membuf::write_int32(record + LEXICON_FIELD, static_cast<int32_t>(textOff));
  membuf::write_uint64(record + START_FIELD, start);
  membuf::write_uint64(record + END_FIELD, end);
  morphemes_.append(record, RECORD_SIZE);
}

void ResultImpl::set(const Knowledge* /*knowledge*/,
                     OpStack<InterResult*>& path) {
  // Carried from node to node: the tag and the last text unit of the
  // previous morpheme entry that was not a placeholder.
  pos_t previousTag(NA);
  unsigned short previousLast = 0;
  unsigned short units[127];
  unsigned char text[ENTRY_TEXT_MAX];

  path.rewind();
  while (path.hasNext()) {
    const InterResult* node = path.next();
    if (node == nullptr || node->rdata() == nullptr || node->rindex() < 0)
      continue;
    const membuf* records = node->rdata();
    const size_t capacity = records->capacity();
    const size_t nodeEnd = node->offset() + node->length();

    int32_t s = static_cast<int32_t>(node->offset());
    size_t runEnd = nodeEnd;
    size_t off = static_cast<size_t>(node->rindex());

    // The walk ends at the entry marked last, or before an entry that does
    // not lie wholly inside the record buffer or that lies past the most
    // entries a record is read for (a damaged record).
    size_t entries = 0;
    for (bool last = false; !last; ++entries) {
      if (entries == RECORD_MAX_ENTRIES) break;
      if (off > capacity || capacity - off < ENTRY_HEADER) break;
      const unsigned int tag = records->read_uint32(off);
      const unsigned char lengthByte = records->read_uint8(off + 4);
      const size_t n = lengthByte >> 1;
      const bool surface = (lengthByte & 1) != 0;
      if ((capacity - off - ENTRY_HEADER) / 2 < n) break;
      records->read(off + ENTRY_HEADER, units, n * 2);
      off += ENTRY_HEADER + n * 2;
      last = (tag & LAST_ENTRY_BIT) != 0;

      // The text goes to the pool even for an entry that emits nothing.
      const size_t textOff = texts_.size();
      const size_t textLength = toUtf8(units, n, text);
      texts_.append(text, textLength + 1);

      if (pos_t(tag) == POS_ZERO) continue;

      // A split-off final jamo repeated by the next morpheme: the earlier
      // record gives way to this one.
      if (n > 0 && isMergeableJamo(previousLast) && units[0] == previousLast &&
          morphemes_.size() >= RECORD_SIZE)
        morphemes_.seek_current(-static_cast<long>(RECORD_SIZE));

      int64_t e;
      if (surface) {
        e = static_cast<int64_t>(s) + static_cast<int64_t>(n);
        if (e - static_cast<int64_t>(node->offset()) >=
            static_cast<int64_t>(node->length()))
          e = static_cast<int64_t>(nodeEnd);
        runEnd = static_cast<size_t>(e);
      } else {
        e = static_cast<int64_t>(runEnd);
      }
      const uint64_t start = static_cast<uint64_t>(static_cast<int64_t>(s));
      const uint64_t end = last ? nodeEnd : static_cast<uint64_t>(e);

      // An ending after a symbol, or after an open-syllable noun when the
      // ending allows the copula to be dropped, gets the copula back.
      if (classOf(tag) == CLASS_E) {
        const unsigned int prevClass = classOf(previousTag);
        const bool afterSymbol = prevClass == CLASS_S;
        const bool afterOpenNoun =
            (prevClass == CLASS_N || prevClass == classOf(XSN)) &&
            isOpenSyllable(previousLast) &&
            (node->attr() & EOMI_COPULA_DROPPABLE) != 0;
        if (afterSymbol || afterOpenNoun)
          append(COPULA_TEXT, pos_t(VCP), start, static_cast<uint64_t>(e));
      }

      appendRecord(tag, textOff, start, end);

      if (surface && e - static_cast<int64_t>(node->offset()) <
                         static_cast<int64_t>(node->length()))
        s = static_cast<int32_t>(runEnd);

      previousTag = pos_t(tag);
      // An entry without units leaves the previous last unit as it was.
      if (n > 0) previousLast = units[n - 1];
    }
  }
}

void ResultImpl::printMorphemes() const {
  const unsigned long count = size();
  for (unsigned long i = 0; i < count; ++i) {
    const int k = static_cast<int>(i);
    if (i > 0) std::fputs(" + ", stdout);
    std::printf("%s/%s(%zu,%zu/%zu)", lexicon(k), posTag(k),
                static_cast<size_t>(startOffset(k)),
                static_cast<size_t>(endOffset(k)),
                static_cast<size_t>(length(k)));
  }
}

void ResultImpl::print() const {
  printMorphemes();
  std::printf(" score=%f\n", static_cast<double>(score_));
}
