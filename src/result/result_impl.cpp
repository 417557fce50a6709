#include "result/result_impl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text.h"
#include "knowledge/inter_result.h"
#include "pos/attribute_bits.h"

namespace {

// The level-1 class bits of a tag code, and the flag bit that marks the
// last entry of a dictionary record (ignored when tags are compared).
constexpr unsigned int CLASS_MASK = 0x0007FFFE;
constexpr unsigned int CLASS_S = 0x00000010;
constexpr unsigned int CLASS_E = 0x00000400;
constexpr unsigned int CLASS_N = 0x00020000;
constexpr unsigned int LAST_ENTRY_BIT = 0x1;

// A morpheme entry: tag word, length byte, then the units of its text.
constexpr size_t ENTRY_HEADER = 5;

constexpr unsigned short HANGUL_FIRST = 0xAC00;
constexpr unsigned short HANGUL_LAST = 0xD7AF;

// "이", the copula restored between an open-syllable noun and an ending.
const unsigned char COPULA_TEXT[] = "\xEC\x9D\xB4";

unsigned int classOf(unsigned int code) { return code & CLASS_MASK; }

// Final jamo that an analysis may split off one morpheme and repeat at the
// head of the next one (ㄹ ㄴ ㅂ ㅁ).
bool isMergeableJamo(unsigned short c) {
  return c == 0x3139 || c == 0x3134 || c == 0x3142 || c == 0x3141;
}

bool isOpenSyllable(unsigned short c) {
  return c >= HANGUL_FIRST && c <= HANGUL_LAST && (c - HANGUL_FIRST) % 28 == 0;
}

// Little-endian values at unaligned addresses of a record buffer.
uint32_t load32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
unsigned short unitAt(const unsigned char* units, size_t k) {
  return static_cast<unsigned short>(units[2 * k] | (units[2 * k + 1] << 8));
}

// The UTF-8 form of the first n 16-bit units at `units` (up to a zero unit)
// into `out`, zero-terminated; returns its length without the zero, at most
// 3n. Surrogates are not paired: each becomes its own three bytes, as
// uchar_toutf8 does.
size_t toUtf8(const unsigned char* units, size_t n, char* out) {
  char* p = out;
  for (size_t i = 0; i < n; ++i) {
    const unsigned short c = unitAt(units, i);
    if (c == 0) break;
    if (c < 0x80) {
      *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<char>(0xC0 | (c >> 6));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *p++ = static_cast<char>(0xE0 | (c >> 12));
      *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  *p = 0;
  return static_cast<size_t>(p - out);
}

// Moves `data` (`used` elements of `size` bytes, `inlineData` when not yet
// on the heap) to a heap block of twice `capacity` elements, at least
// `needed`; false when memory runs out or the count would overflow.
template <typename T>
bool enlarge(T*& data, uint32_t& capacity, uint32_t used, size_t needed,
             const T* inlineData) {
  size_t fresh = static_cast<size_t>(capacity) * 2;
  if (fresh < needed) fresh = needed;
  if (fresh > UINT32_MAX) return false;
  T* block;
  if (data == inlineData) {
    block = static_cast<T*>(std::malloc(fresh * sizeof(T)));
    if (block != nullptr && used != 0)
      std::memcpy(static_cast<void*>(block), data, used * sizeof(T));
  } else {
    block = static_cast<T*>(std::realloc(data, fresh * sizeof(T)));
  }
  if (block == nullptr) return false;
  data = block;
  capacity = static_cast<uint32_t>(fresh);
  return true;
}

}  // namespace

ResultImpl::ResultImpl()
    : m_(inlineMorphemes_),
      count_(0),
      capacity_(INLINE_MORPHEMES),
      text_(inlineText_),
      textSize_(0),
      textCapacity_(INLINE_TEXT),
      score_(0.0f) {}

ResultImpl::~ResultImpl() {
  if (m_ != inlineMorphemes_) std::free(m_);
  if (text_ != inlineText_) std::free(text_);
}

namespace {

// The full tag names of the usual codes, looked up once: one class bit
// (bits 1-18), any level-2 group bits (19-20) and at most one subclass bit
// (21-31). Names are asked for every morpheme written out.
class TagNames {
 public:
  TagNames() {
    for (unsigned cls = 0; cls < CLASSES; ++cls)
      for (unsigned group = 0; group < GROUPS; ++group)
        for (unsigned sub = 0; sub < SUBCLASSES; ++sub) {
          const unsigned int code = (1u << (cls + 1)) | (group << 19) |
                                    (sub == 0 ? 0u : 1u << (sub + 20));
          names_[index(cls, group, sub)] = getLevel3PosTag(pos_t(code));
        }
  }

  // The same as getLevel3PosTag(code).
  const char* name(unsigned int code) const {
    const unsigned int cls = code & CLASS_MASK;
    const unsigned int sub = code >> 21;
    if (cls == 0 || (cls & (cls - 1)) != 0 || (sub & (sub - 1)) != 0)
      return getLevel3PosTag(pos_t(code));
    const unsigned clsIndex = static_cast<unsigned>(__builtin_ctz(cls)) - 1;
    const unsigned subIndex =
        sub == 0 ? 0 : static_cast<unsigned>(__builtin_ctz(sub)) + 1;
    return names_[index(clsIndex, (code >> 19) & 0x3, subIndex)];
  }

 private:
  static constexpr unsigned CLASSES = 18;
  static constexpr unsigned GROUPS = 4;
  static constexpr unsigned SUBCLASSES = 12;  // none, then bits 21-31
  static unsigned index(unsigned cls, unsigned group, unsigned sub) {
    return (cls * GROUPS + group) * SUBCLASSES + sub;
  }
  const char* names_[CLASSES * GROUPS * SUBCLASSES];
};

}  // namespace

const char* ResultImpl::posTag(int i) const {
  static const TagNames names;
  const char* name = names.name(has(i) ? m_[i].tag : 0u);
  return name != nullptr ? name : "";
}

bool ResultImpl::growMorphemes() {
  return enlarge(m_, capacity_, count_, static_cast<size_t>(count_) + 1,
                 inlineMorphemes_);
}

bool ResultImpl::growText(size_t n) {
  return enlarge(text_, textCapacity_, textSize_,
                 static_cast<size_t>(textSize_) + n, inlineText_);
}

void ResultImpl::appendRecord(unsigned int tag, uint32_t textOff,
                              unsigned long start, unsigned long end) {
  if (!roomForMorpheme()) return;
  m_[count_++] = Morpheme{tag, textOff, start, end};
}

void ResultImpl::append(const unsigned char* text, pos_t pos,
                        unsigned long start, unsigned long end) {
  const char* s = text != nullptr ? reinterpret_cast<const char*>(text) : "";
  const size_t n = std::strlen(s) + 1;
  if (!roomForText(n) || !roomForMorpheme()) return;
  const uint32_t off = textSize_;
  std::memcpy(text_ + off, s, n);
  textSize_ += static_cast<uint32_t>(n);
  appendRecord(static_cast<unsigned int>(pos), off, start, end);
}

void ResultImpl::set(const Knowledge* /*knowledge*/,
                     OpStack<InterResult*>& path) {
  Carry carry = startCarry();
  path.rewind();
  while (path.hasNext()) {
    if (!appendNode(path.next(), &carry)) return;
  }
}

ResultImpl::Carry ResultImpl::startCarry() { return Carry{NA, 0}; }

bool ResultImpl::appendNode(const InterResult* node, Carry* carry) {
  if (node == nullptr || node->rdata() == nullptr || node->rindex() < 0)
    return true;
  const membuf* records = node->rdata();
  const unsigned char* data = records->buf();
  const size_t capacity = data != nullptr ? records->capacity() : 0;
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
    const unsigned int tag = load32(data + off);
    const unsigned char lengthByte = data[off + 4];
    const size_t n = lengthByte >> 1;
    const bool surface = (lengthByte & 1) != 0;
    if ((capacity - off - ENTRY_HEADER) / 2 < n) break;
    const unsigned char* units = data + off + ENTRY_HEADER;
    off += ENTRY_HEADER + n * 2;
    last = (tag & LAST_ENTRY_BIT) != 0;

    // A placeholder entry emits nothing.
    if ((tag & ~LAST_ENTRY_BIT) == POS_ZERO) continue;

    // The text goes to the pool now: the copula, when restored below,
    // takes the next place.
    if (!roomForText(n * 3 + 1)) return false;
    const uint32_t textOff = textSize_;
    textSize_ += static_cast<uint32_t>(toUtf8(units, n, text_ + textOff) + 1);

    const unsigned short first = n > 0 ? unitAt(units, 0) : 0;
    const unsigned short lastUnit = n > 0 ? unitAt(units, n - 1) : 0;

    // A split-off final jamo repeated by the next morpheme: the earlier
    // record gives way to this one.
    if (n > 0 && isMergeableJamo(carry->last) && first == carry->last &&
        count_ >= 1)
      --count_;

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
      const unsigned int prevClass = classOf(carry->tag);
      const bool afterSymbol = prevClass == CLASS_S;
      const bool afterOpenNoun =
          (prevClass == CLASS_N || prevClass == classOf(XSN)) &&
          isOpenSyllable(carry->last) &&
          (node->attr() & EOMI_COPULA_DROPPABLE) != 0;
      if (afterSymbol || afterOpenNoun) {
        if (!roomForText(sizeof COPULA_TEXT) || !roomForMorpheme())
          return false;
        append(COPULA_TEXT, pos_t(VCP), start, static_cast<uint64_t>(e));
      }
    }

    if (!roomForMorpheme()) return false;
    appendRecord(tag, textOff, start, end);

    if (surface && e - static_cast<int64_t>(node->offset()) <
                       static_cast<int64_t>(node->length()))
      s = static_cast<int32_t>(runEnd);

    carry->tag = tag;
    // An entry without units leaves the previous last unit as it was.
    if (n > 0) carry->last = lastUnit;
  }
  return true;
}

ResultImpl::Mark ResultImpl::mark(const Carry& carry) const {
  Mark m{count_, textSize_, carry, Morpheme{0, 0, 0, 0}};
  if (count_ != 0) m.before = m_[count_ - 1];
  return m;
}

// A node's morphemes only ever lie at or after the one before the mark, so
// putting that one back and cutting both arrays restores the state exactly.
void ResultImpl::backTo(const Mark& mark, Carry* carry) {
  if (mark.count > capacity_ || mark.textSize > textCapacity_) return;
  count_ = mark.count;
  textSize_ = mark.textSize;
  if (count_ != 0) m_[count_ - 1] = mark.before;
  *carry = mark.carry;
}

bool ResultImpl::assign(const ResultImpl& other) {
  count_ = 0;
  textSize_ = 0;
  if (other.count_ > capacity_ &&
      !enlarge(m_, capacity_, 0, other.count_, inlineMorphemes_))
    return false;
  if (other.textSize_ > textCapacity_ &&
      !enlarge(text_, textCapacity_, 0, other.textSize_, inlineText_))
    return false;
  if (other.count_ != 0)
    std::memcpy(static_cast<void*>(m_), other.m_,
                other.count_ * sizeof(Morpheme));
  if (other.textSize_ != 0) std::memcpy(text_, other.text_, other.textSize_);
  count_ = other.count_;
  textSize_ = other.textSize_;
  return true;
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
