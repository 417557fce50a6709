#include "result/result_impl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/inline_buffer.h"
#include "base/text.h"
#include "knowledge/inter_result.h"
#include "pos/attribute_bits.h"

namespace {

// The level-1 class bits of a tag code.
constexpr unsigned int CLASS_MASK = 0x0007FFFE;
constexpr unsigned int CLASS_S = 0x00000010;
constexpr unsigned int CLASS_E = 0x00000400;
constexpr unsigned int CLASS_N = 0x00020000;

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
  return enlargeInlineBuffer(m_, capacity_, count_, static_cast<size_t>(count_) + 1,
                 inlineMorphemes_);
}

bool ResultImpl::growText(size_t n) {
  return enlargeInlineBuffer(text_, textCapacity_, textSize_,
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

bool ResultImpl::reserve(size_t morphemes, size_t bytes) {
  if (bytes >= TEXT_FULL - textSize_ || morphemes > UINT32_MAX - count_)
    return false;
  if (morphemes > capacity_ - count_ &&
      !enlargeInlineBuffer(m_, capacity_, count_, count_ + morphemes,
                           inlineMorphemes_))
    return false;
  return roomForText(bytes);
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

// The node's pieces are decoded once (InterResult::pieces); what is left
// here depends on the morpheme before each one.
bool ResultImpl::appendNode(const InterResult* node, Carry* carry) {
  if (node == nullptr || node->rdata() == nullptr || node->rindex() < 0)
    return true;
  InterResult::Pieces pieces;
  if (!node->pieces(&pieces)) return false;

  for (uint32_t k = 0; k < pieces.count; ++k) {
    const InterResult::Piece& piece = pieces.list[k];
    // The text goes to the pool now: the copula, when restored below,
    // takes the next place.
    // Copied in 8-byte words (texts are short): both sides have room for
    // the last word's bytes past the zero, which nothing reads.
    if (!roomForText(piece.textSize + InterResult::TEXT_SLACK)) return false;
    const uint32_t textOff = textSize_;
    const char* from = pieces.texts + piece.text;
    char* to = text_ + textOff;
    for (uint32_t k = 0; k < piece.textSize; k += 8)
      std::memcpy(to + k, from + k, 8);
    textSize_ += piece.textSize;

    // A split-off final jamo repeated by the next morpheme: the earlier
    // record gives way to this one.
    if (piece.hasUnits && isMergeableJamo(carry->last) &&
        piece.firstUnit == carry->last && count_ >= 1)
      --count_;

    // An ending after a symbol, or after an open-syllable noun when the
    // ending allows the copula to be dropped, gets the copula back.
    if (classOf(piece.tag) == CLASS_E) {
      const unsigned int prevClass = classOf(carry->tag);
      const bool afterSymbol = prevClass == CLASS_S;
      const bool afterOpenNoun =
          (prevClass == CLASS_N || prevClass == classOf(XSN)) &&
          isOpenSyllable(carry->last) &&
          (node->attr() & EOMI_COPULA_DROPPABLE) != 0;
      if (afterSymbol || afterOpenNoun) {
        if (!roomForText(sizeof COPULA_TEXT) || !roomForMorpheme())
          return false;
        append(COPULA_TEXT, pos_t(VCP), piece.start, piece.copulaEnd);
      }
    }

    if (!roomForMorpheme()) return false;
    appendRecord(piece.tag, textOff, piece.start, piece.end);

    carry->tag = piece.tag;
    // An entry without units leaves the previous last unit as it was.
    if (piece.hasUnits) carry->last = piece.lastUnit;
  }
  return true;
}

bool ResultImpl::assign(const ResultImpl& other) {
  count_ = 0;
  textSize_ = 0;
  if (other.count_ > capacity_ &&
      !enlargeInlineBuffer(m_, capacity_, 0, other.count_, inlineMorphemes_))
    return false;
  if (other.textSize_ > textCapacity_ &&
      !enlargeInlineBuffer(text_, textCapacity_, 0, other.textSize_, inlineText_))
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
