#include "knowledge/inter_result.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "base/inline_buffer.h"

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

constexpr unsigned int classOf(unsigned int code) { return code & kClassMask; }

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

constexpr unsigned int subclassOf(unsigned int code) {
  return code & kSubclassMask;
}

constexpr bool isNoun(unsigned int code, unsigned int tag) {
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
      number_(false),
      numeral_(false),
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
      surface_last_(0),
      decoded_(false),
      pieceCount_(0),
      pieceCapacity_(INLINE_PIECES),
      textSize_(0),
      textCapacity_(INLINE_TEXT),
      pieces_(inlinePieces_),
      texts_(inlineText_) {}

InterResult::~InterResult() {
  if (pieces_ != inlinePieces_) std::free(pieces_);
  if (texts_ != inlineText_) std::free(texts_);
}

// Entries are read only as far as the buffer's capacity reaches: a damaged
// record (no entry marked last, or a text running past the end) ends where
// the buffer ends. An entry whose header does not fit is not taken; one whose
// text is cut off keeps its tag and the units that do fit. A morpheme without
// text units has no boundary character, so 0 is cached for it.
void InterResult::parse(const membuf* buf, int off, const unsigned short* text,
                        size_t length) {
  rdata_ = buf;
  decoded_ = false;
  complex_ = false;
  attrflag_ = 0;
  attr_ = 0;
  posvalue_ = POS_ZERO;
  lastpos_ = POS_ZERO;
  first_char_ = 0;
  first_last_char_ = 0;
  last_char_ = 0;
  rindex_ = off;

  // Read straight from the storage: every read below is checked against
  // the capacity first, as the buffer's own readers would check it.
  const unsigned char* data = buf != nullptr ? buf->buf() : nullptr;
  const size_t capacity = data != nullptr ? buf->capacity() : 0;
  if (off >= 0 && static_cast<size_t>(off) < capacity) {
    const size_t at = static_cast<size_t>(off);
    attrflag_ = data[at];
    if (attrflag_ != 0) {
      // An attribute word cut off by the end of the buffer reads as 0.
      attr_ = capacity - at >= 5 ? load32(data + at + 1) : 0;
      rindex_ = off + 5;
    } else {
      rindex_ = off + 1;
    }

    size_t pos = static_cast<size_t>(rindex_);
    for (size_t entries = 0; entries < RECORD_MAX_ENTRIES && pos <= capacity &&
                             capacity - pos >= kEntryHeader;
         ++entries) {
      const unsigned int tag = load32(data + pos);
      size_t units = data[pos + 4] >> 1;
      const size_t textAt = pos + kEntryHeader;
      const size_t room = (capacity - textAt) / 2;
      const bool cut = units > room;
      if (cut) units = room;
      const unsigned char* unitData = data + textAt;
      const unsigned short lastUnit =
          units == 0 ? 0 : unitAt(unitData, units - 1);
      if (entries == 0) {
        posvalue_ = tag;
        first_char_ = units == 0 ? 0 : unitAt(unitData, 0);
        first_last_char_ = lastUnit;
      } else {
        complex_ = true;
      }
      lastpos_ = tag;
      last_char_ = lastUnit;
      if ((tag & 1u) != 0 || cut) break;
      pos = textAt + 2 * units;
    }
  }

  setKinds();
  setSurface(text, length);
}

bool InterResult::growPieces() const {
  return enlargeInlineBuffer(pieces_, pieceCapacity_, pieceCount_,
                 static_cast<size_t>(pieceCount_) + 1, inlinePieces_);
}

bool InterResult::growText(size_t n) const {
  return enlargeInlineBuffer(texts_, textCapacity_, textSize_,
                 static_cast<size_t>(textSize_) + n, inlineText_);
}

// The entries as results read them: the walk ends at the entry marked last,
// or before an entry that does not lie wholly inside the record buffer or
// that lies past the most entries a record is read for (a damaged record).
// A morpheme spelled in the surface runs from where the previous spelled one
// ended for as many units as its text has (the last one to the node's end);
// one that is not spelled ends where the spelled run ends. The last one
// always ends at the node's end.
bool InterResult::decode() const {
  pieceCount_ = 0;
  textSize_ = 0;
  if (rdata_ == nullptr || rindex_ < 0) {
    decoded_ = true;
    return true;
  }
  const unsigned char* data = rdata_->buf();
  const size_t capacity = data != nullptr ? rdata_->capacity() : 0;
  const size_t nodeEnd = offset_ + length_;

  int32_t s = static_cast<int32_t>(offset_);
  size_t runEnd = nodeEnd;
  size_t off = static_cast<size_t>(rindex_);
  size_t entries = 0;
  for (bool last = false; !last; ++entries) {
    if (entries == RECORD_MAX_ENTRIES) break;
    if (off > capacity || capacity - off < kEntryHeader) break;
    const unsigned int tag = load32(data + off);
    const unsigned char lengthByte = data[off + 4];
    const size_t n = lengthByte >> 1;
    const bool surface = (lengthByte & 1) != 0;
    if ((capacity - off - kEntryHeader) / 2 < n) break;
    const unsigned char* units = data + off + kEntryHeader;
    off += kEntryHeader + n * 2;
    last = (tag & 1u) != 0;

    // A placeholder entry gives no morpheme.
    if ((tag & ~1u) == POS_ZERO) continue;

    // TEXT_SLACK more: results copy texts in whole words.
    if (!roomForText(n * 3 + 1 + TEXT_SLACK) || !roomForPiece()) return false;
    Piece& piece = pieces_[pieceCount_];
    piece.tag = tag;
    piece.text = textSize_;
    piece.textSize =
        static_cast<uint32_t>(toUtf8(units, n, texts_ + textSize_) + 1);
    textSize_ += piece.textSize;
    piece.hasUnits = n > 0;
    piece.firstUnit = n > 0 ? unitAt(units, 0) : 0;
    piece.lastUnit = n > 0 ? unitAt(units, n - 1) : 0;

    int64_t e;
    if (surface) {
      e = static_cast<int64_t>(s) + static_cast<int64_t>(n);
      if (e - static_cast<int64_t>(offset_) >= static_cast<int64_t>(length_))
        e = static_cast<int64_t>(nodeEnd);
      runEnd = static_cast<size_t>(e);
    } else {
      e = static_cast<int64_t>(runEnd);
    }
    piece.start = static_cast<uint64_t>(static_cast<int64_t>(s));
    piece.end = last ? nodeEnd : static_cast<uint64_t>(e);
    piece.copulaEnd = static_cast<uint64_t>(e);
    ++pieceCount_;

    if (surface &&
        e - static_cast<int64_t>(offset_) < static_cast<int64_t>(length_))
      s = static_cast<int32_t>(runEnd);
  }
  decoded_ = true;
  return true;
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

namespace {

// General order: endings, particles, copula, affixes, nouns by kind, then
// predicates; everything else last.
constexpr int generalRank(unsigned int code) {
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
constexpr int rankAfterNumber(unsigned int code) {
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
constexpr int rankAfterNumeral(unsigned int code) {
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

// The ranks of the three orders for every code of one class and at most one
// subclass, looked up without the switches' branches, which the mixed tags
// of a list mispredict. The group bits take no part in a rank.
constexpr unsigned kRankSubclasses = 12;  // none, then bits 21-31
constexpr unsigned kRankCodes = 19 * kRankSubclasses;  // class bits 1-18
struct RankTable {
  short general[kRankCodes];
  short afterNumber[kRankCodes];
  short afterNumeral[kRankCodes];
};
constexpr RankTable makeRankTable() {
  RankTable table{};
  for (unsigned cls = 1; cls <= 18; ++cls) {
    for (unsigned sub = 0; sub < kRankSubclasses; ++sub) {
      const unsigned int code =
          (1u << cls) | (sub == 0 ? 0u : 1u << (sub + 20));
      const unsigned i = cls * kRankSubclasses + sub;
      table.general[i] = static_cast<short>(generalRank(code));
      table.afterNumber[i] = static_cast<short>(rankAfterNumber(code));
      table.afterNumeral[i] = static_cast<short>(rankAfterNumeral(code));
    }
  }
  return table;
}
constexpr RankTable kRanks = makeRankTable();

// The rank of `code` in `ranks` (one of kRanks' arrays), or rank(code) for a
// code of no class, several classes or several subclasses.
int rankOf(unsigned int code, const short* ranks, int (*rank)(unsigned int)) {
  const unsigned int cls = classOf(code);
  const unsigned int sub = subclassOf(code);
  if (cls == 0 || (cls & (cls - 1)) != 0 || (sub & (sub - 1)) != 0)
    return rank(code);
  const unsigned subIndex =
      sub == 0 ? 0 : static_cast<unsigned>(__builtin_ctz(sub)) - 20;
  return ranks[static_cast<unsigned>(__builtin_ctz(cls)) * kRankSubclasses +
               subIndex];
}

}  // namespace

int InterResult::posorder() const {
  return rankOf(posvalue_, kRanks.general, generalRank);
}

int InterResult::posorder_for_sn() const {
  return rankOf(posvalue_, kRanks.afterNumber, rankAfterNumber);
}

int InterResult::posorder_for_nr() const {
  return rankOf(posvalue_, kRanks.afterNumeral, rankAfterNumeral);
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
