#include "knowledge/inter_result.h"

namespace {

// Tag fields, with the flag bit and the group bits left out.
constexpr unsigned int kClassMask = 0x0007FFFEu;     // bits 1-18 in place
constexpr unsigned int kSubclassMask = 0xFFE00000u;  // bits 21-31 in place

// Level-1 classes as they sit in the code.
constexpr unsigned int kClassXs = 0x00000080u;
constexpr unsigned int kClassXsn = 0x00000100u;
constexpr unsigned int kClassXp = 0x00000200u;
constexpr unsigned int kClassE = 0x00000400u;
constexpr unsigned int kClassJ = 0x00000800u;
constexpr unsigned int kClassVc = 0x00008000u;
constexpr unsigned int kClassV = 0x00010000u;
constexpr unsigned int kClassN = 0x00020000u;

// Bound-noun attribute bits tested when a word begins with nnb.
constexpr unsigned int kBoundNounPlus = 0x2u;
constexpr unsigned int kBoundNounMinus = 0x4u;

// Size of an entry's header: 32-bit tag and length byte.
constexpr size_t kEntryHeader = 5;

unsigned int classOf(unsigned int code) { return code & kClassMask; }
unsigned int subclassOf(unsigned int code) { return code & kSubclassMask; }

bool isNoun(unsigned int code, unsigned int tag) {
  return classOf(code) == kClassN && subclassOf(code) == subclassOf(tag);
}

// True when `code` carries the (class, subclass) pair: class as the value of
// the level-1 field, subclass as a mask over the level-3 field (0: any).
bool matches(unsigned int code, unsigned int cls, unsigned int sub) {
  if (((code >> 1) & 0x3FFFFu) != cls) return false;
  return sub == 0 || ((code >> 21) & sub) != 0;
}

bool anyPair(unsigned int code, const unsigned int* classes,
             const unsigned int* subclasses) {
  for (size_t i = 0; classes[i] != 0; ++i) {
    if (matches(code, classes[i], subclasses[i])) return true;
  }
  return false;
}

// Three-way comparisons: the smaller rank, or the longer node, sorts first.
int byRank(int mine, int theirs) {
  if (mine < theirs) return -1;
  if (mine > theirs) return 1;
  return 0;
}

int byLength(size_t mine, size_t theirs) {
  if (mine > theirs) return -1;
  if (mine < theirs) return 1;
  return 0;
}

}  // namespace

InterResult::InterResult()
    : offset_(0),
      length_(0),
      complex_(false),
      nounirregular_(false),
      linked_(false),
      attrflag_(0),
      attr_(0),
      posvalue_(POS_ZERO),
      lastpos_(POS_ZERO),
      rdata_(nullptr),
      rindex_(0),
      first_char_(0),
      first_last_char_(0),
      last_char_(0),
      surface_first_(0),
      surface_last_(0) {}

InterResult::~InterResult() {}

// Entries are read only as far as the buffer's capacity reaches: a damaged
// record (no entry marked last, or a text running past the end) ends where
// the buffer ends. An entry whose header does not fit is not taken; one whose
// text is cut off keeps its tag and the units that do fit. A morpheme without
// text units has no boundary character, so 0 is cached for it.
void InterResult::parse(const membuf* buf, int off, const unsigned short* text,
                        size_t length) {
  rdata_ = buf;
  complex_ = false;
  attrflag_ = 0;
  attr_ = 0;
  posvalue_ = POS_ZERO;
  lastpos_ = POS_ZERO;
  first_char_ = 0;
  first_last_char_ = 0;
  last_char_ = 0;
  rindex_ = off;

  const size_t capacity = buf != nullptr ? buf->capacity() : 0;
  if (buf != nullptr && off >= 0 && static_cast<size_t>(off) < capacity) {
    // An attribute word cut off by the end of the buffer reads as 0.
    attrflag_ = buf->read_uint8(static_cast<size_t>(off));
    if (attrflag_ != 0) {
      attr_ = buf->read_uint32(static_cast<size_t>(off) + 1);
      rindex_ = off + 5;
    } else {
      rindex_ = off + 1;
    }

    size_t pos = static_cast<size_t>(rindex_);
    bool first = true;
    for (size_t entries = 0; entries < RECORD_MAX_ENTRIES && pos <= capacity &&
                             capacity - pos >= kEntryHeader;
         ++entries) {
      const unsigned int tag = buf->read_uint32(pos);
      size_t units = buf->read_uint8(pos + 4) >> 1;
      const size_t textAt = pos + kEntryHeader;
      const size_t room = (capacity - textAt) / 2;
      const bool cut = units > room;
      if (cut) units = room;
      const unsigned short lastUnit =
          units == 0 ? 0 : buf->read_uint16(textAt + 2 * (units - 1));
      if (first) {
        posvalue_ = tag;
        lastpos_ = tag;
        first_char_ = units == 0 ? 0 : buf->read_uint16(textAt);
        first_last_char_ = lastUnit;
        last_char_ = lastUnit;
        first = false;
      } else {
        complex_ = true;
        lastpos_ = tag;
        last_char_ = lastUnit;
      }
      if ((tag & 1u) != 0 || cut) break;
      pos = textAt + 2 * units;
    }
  }

  if (text != nullptr && length > 0) {
    surface_first_ = text[0];
    surface_last_ = text[length - 1];
  } else {
    surface_first_ = 0;
    surface_last_ = 0;
  }
}

const unsigned short* InterResult::lexicon() const {
  if (rdata_ == nullptr || rindex_ < 0) return nullptr;
  // Null when the first entry's text would start beyond the buffer.
  return reinterpret_cast<const unsigned short*>(
      rdata_->read(static_cast<size_t>(rindex_) + kEntryHeader));
}

bool InterResult::hasPOS(const unsigned int* classes,
                         const unsigned int* subclasses) const {
  if (classes == nullptr || subclasses == nullptr) return false;
  return anyPair(posvalue_, classes, subclasses) ||
         anyPair(lastpos_, classes, subclasses);
}

bool InterResult::hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
                         unsigned int s2) const {
  const unsigned int c[] = {c1, c2, 0};
  const unsigned int s[] = {s1, s2, 0};
  return hasPOS(c, s);
}

bool InterResult::hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
                         unsigned int s2, unsigned int c3,
                         unsigned int s3) const {
  const unsigned int c[] = {c1, c2, c3, 0};
  const unsigned int s[] = {s1, s2, s3, 0};
  return hasPOS(c, s);
}

bool InterResult::hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
                         unsigned int s2, unsigned int c3, unsigned int s3,
                         unsigned int c4, unsigned int s4) const {
  const unsigned int c[] = {c1, c2, c3, c4, 0};
  const unsigned int s[] = {s1, s2, s3, s4, 0};
  return hasPOS(c, s);
}

bool InterResult::hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
                         unsigned int s2, unsigned int c3, unsigned int s3,
                         unsigned int c4, unsigned int s4, unsigned int c5,
                         unsigned int s5) const {
  const unsigned int c[] = {c1, c2, c3, c4, c5, 0};
  const unsigned int s[] = {s1, s2, s3, s4, s5, 0};
  return hasPOS(c, s);
}

bool InterResult::hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
                         unsigned int s2, unsigned int c3, unsigned int s3,
                         unsigned int c4, unsigned int s4, unsigned int c5,
                         unsigned int s5, unsigned int c6,
                         unsigned int s6) const {
  const unsigned int c[] = {c1, c2, c3, c4, c5, c6, 0};
  const unsigned int s[] = {s1, s2, s3, s4, s5, s6, 0};
  return hasPOS(c, s);
}

// General order: endings, particles, copula, affixes, nouns by kind, then
// predicates; everything else last.
int InterResult::posorder() const {
  const unsigned int code = posvalue_;
  switch (classOf(code)) {
    case kClassE: return 100;
    case kClassJ: return 200;
    case kClassVc: return 300;
    case kClassXsn:
    case kClassXp:
    case kClassXs: return 400;
    case kClassV: return 600;
    case kClassN:
      if (isNoun(code, NNU)) return 501;
      if (isNoun(code, NFU)) return 502;
      if (isNoun(code, NNG)) return 503;
      if (isNoun(code, NFG)) return 504;
      if (isNoun(code, NNP)) return 505;
      if (isNoun(code, NNB)) return 599;
      return 999;
    default: return 999;
  }
}

// Order after a number: bound nouns (units) first, then numerals.
int InterResult::posorder_for_sn() const {
  const unsigned int code = posvalue_;
  switch (classOf(code)) {
    case kClassE: return 500;
    case kClassJ: return 600;
    case kClassXsn: return 300;
    case kClassN:
      if (isNoun(code, NNB)) return 100;
      if (isNoun(code, NR)) return 200;
      if (isNoun(code, NNP)) return 300;
      if (isNoun(code, NNU) || isNoun(code, NFU) || isNoun(code, NNG) ||
          isNoun(code, NFG)) {
        return 400;
      }
      return 499;
    default: return 999;
  }
}

// Order after a numeral: bound nouns first, then numerals, then nouns.
int InterResult::posorder_for_nr() const {
  const unsigned int code = posvalue_;
  switch (classOf(code)) {
    case kClassE: return 500;
    case kClassJ: return 600;
    case kClassXsn: return 400;
    case kClassN:
      if (isNoun(code, NNB)) return 100;
      if (isNoun(code, NR)) return 200;
      if (isNoun(code, NNU) || isNoun(code, NFU) || isNoun(code, NNG) ||
          isNoun(code, NFG) || isNoun(code, NNP)) {
        return 300;
      }
      return 399;
    default: return 999;
  }
}

int InterResult::compare(const InterResult& other) const {
  const int byLen = byLength(length_, other.length_);
  if (byLen != 0) return byLen;
  return byRank(posorder(), other.posorder());
}

int InterResult::compare_for_sn(const InterResult& other) const {
  const int rank = byRank(posorder_for_sn(), other.posorder_for_sn());
  if (rank != 0) return rank;
  return byLength(length_, other.length_);
}

int InterResult::compare_for_nr(const InterResult& other) const {
  const int rank = byRank(posorder_for_nr(), other.posorder_for_nr());
  if (rank != 0) return rank;
  return byLength(length_, other.length_);
}

// A word cannot end in a prefix, a verb or adjective derivational suffix, a
// pre-final ending, a predicate stem or the copula.
bool InterResult::isPossibleEnd(unsigned int /*mode*/) const {
  const pos_t last(lastpos_);
  if (last == POS_ZERO || last == XPN || last == XSV || last == XSA ||
      last == EP) {
    return false;
  }
  const unsigned int cls = classOf(lastpos_);
  return cls != kClassV && cls != kClassVc;
}

// A word cannot begin with an ending, a particle or a suffix. In the strict
// pass a bound noun marked as never standing alone (the minus mark without
// the plus mark) cannot begin one either.
bool InterResult::isPossibleBegin(unsigned int mode) const {
  const pos_t first(posvalue_);
  if (first == POS_ZERO) return false;
  const unsigned int cls = classOf(posvalue_);
  if (cls == kClassE || cls == kClassJ || cls == kClassXsn || cls == kClassXs) {
    return false;
  }
  if ((mode & 1u) != 0 && first == NNB) {
    return (attr_ & (kBoundNounPlus | kBoundNounMinus)) != kBoundNounMinus;
  }
  return true;
}
