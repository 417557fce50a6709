// InterResult: one node of the analysis lattice, an analysis record placed
// at a position of the word. It keeps a pointer into the record buffer and
// caches what the connection and pruning rules test: the first and last tag,
// the attribute word and five boundary characters. It owns its successor
// list (filled by the lattice search), never the nodes listed there.
#ifndef TALMORO_KNOWLEDGE_INTER_RESULT_H_
#define TALMORO_KNOWLEDGE_INTER_RESULT_H_

#include <cstddef>
#include <cstdint>

#include "base/membuf.h"
#include "base/opstack.h"
#include "pos/pos.h"

// The most morpheme entries read from one record: more than any analysis
// holds, so that a damaged record whose last entry lost its mark (or runs
// into the zero bytes after the records) costs a bounded walk. Every reader
// of records stops at the same entry.
constexpr size_t RECORD_MAX_ENTRIES = 255;

class InterResult {
 public:
  InterResult();
  virtual ~InterResult();
  InterResult(const InterResult&) = delete;
  InterResult& operator=(const InterResult&) = delete;

  // Fills the node from the record whose attribute flag byte is at `off` in
  // `buf`, covering `length` units of `text`. offset and length are set
  // separately. The walk over the morpheme entries stops at the entry marked
  // last, or, for a damaged record, at the end of the buffer's capacity or
  // after RECORD_MAX_ENTRIES entries.
  void parse(const membuf* buf, int off, const unsigned short* text,
             size_t length);

  // Changing either drops the decoded morphemes, whose offsets depend on
  // them.
  // What parse takes from a record, everything but the covered text's
  // boundary units: parsing a node from a Reading taken after parse(buf,
  // off, ...) is parse(buf, off, ...) as long as the buffer is unchanged.
  struct Reading {
    const membuf* rdata;
    int rindex;
    unsigned int posvalue;
    unsigned int lastpos;
    unsigned int attr;
    unsigned short firstChar;
    unsigned short firstLastChar;
    unsigned short lastChar;
    unsigned char attrflag;
    bool complex;
    bool number;
    bool numeral;
  };
  Reading reading() const {
    return Reading{rdata_,     rindex_,     posvalue_,        lastpos_,
                   attr_,      first_char_, first_last_char_, last_char_,
                   attrflag_,  complex_,    number_,          numeral_};
  }
  void parse(const Reading& r, const unsigned short* text, size_t length) {
    rdata_ = r.rdata;
    rindex_ = r.rindex;
    posvalue_ = r.posvalue;
    lastpos_ = r.lastpos;
    attr_ = r.attr;
    first_char_ = r.firstChar;
    first_last_char_ = r.firstLastChar;
    last_char_ = r.lastChar;
    attrflag_ = r.attrflag;
    complex_ = r.complex;
    number_ = r.number;
    numeral_ = r.numeral;
    decoded_ = false;
    setSurface(text, length);
  }

  void offset(size_t value) {
    offset_ = value;
    decoded_ = false;
  }
  size_t offset() const { return offset_; }
  void length(size_t value) {
    length_ = value;
    decoded_ = false;
  }
  size_t length() const { return length_; }

  unsigned int posvalue() const { return posvalue_; }
  unsigned int lastpos() const { return lastpos_; }
  // The record's attribute flag byte: 0 none, 2 clue morpheme, other
  // non-zero values ordinary attribute bits.
  unsigned char attrflag() const { return attrflag_; }
  unsigned int attr() const { return attr_; }
  bool complex() const { return complex_; }
  void nounirregular(bool value) { nounirregular_ = value; }
  bool nounirregular() const { return nounirregular_; }
  const membuf* rdata() const { return rdata_; }
  int rindex() const { return rindex_; }
  // The first morpheme's text (not terminated; its length is the first
  // length byte shifted right by one).
  const unsigned short* lexicon() const;
  OpStack<InterResult*>& child() { return child_; }
  const OpStack<InterResult*>& child() const { return child_; }
  // Whether the successor list was built in the current pass of the
  // lattice search; the search builds it when it first reaches the node.
  void linked(bool value) { linked_ = value; }
  bool linked() const { return linked_; }
  const char* result() const { return "(DEBUG mode only)"; }

  // Boundary characters: first and last unit of the first morpheme's text,
  // last unit of the last morpheme's text, first and last covered unit.
  unsigned short firstChar() const { return first_char_; }
  unsigned short firstLastChar() const { return first_last_char_; }
  unsigned short lastChar() const { return last_char_; }
  unsigned short surfaceFirst() const { return surface_first_; }
  unsigned short surfaceLast() const { return surface_last_; }

  // True when the first or the last tag has one of the (class, subclass)
  // pairs: class is a level-1 field value, subclass a mask over the level-3
  // field (0: any). `classes` ends with 0.
  bool hasPOS(const unsigned int* classes, const unsigned int* subclasses) const;
  // The one-pair test the lattice search asks most often; a class of 0 ends
  // the pair list at once, as in the list form.
  bool hasPOS(unsigned int c1, unsigned int s1) const {
    if (c1 == 0) return false;
    return codeHas(posvalue_, c1, s1) || codeHas(lastpos_, c1, s1);
  }
  bool hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
              unsigned int s2) const;
  bool hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
              unsigned int s2, unsigned int c3, unsigned int s3) const;
  bool hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
              unsigned int s2, unsigned int c3, unsigned int s3,
              unsigned int c4, unsigned int s4) const;
  bool hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
              unsigned int s2, unsigned int c3, unsigned int s3,
              unsigned int c4, unsigned int s4, unsigned int c5,
              unsigned int s5) const;
  bool hasPOS(unsigned int c1, unsigned int s1, unsigned int c2,
              unsigned int s2, unsigned int c3, unsigned int s3,
              unsigned int c4, unsigned int s4, unsigned int c5,
              unsigned int s5, unsigned int c6, unsigned int s6) const;

  // hasPOS of the number class, and of the noun class with the numeral
  // subclass, kept from parse: the lattice search asks them on every step.
  bool isNumber() const { return number_; }
  bool isNumeral() const { return numeral_; }

  // Ranks of the first tag and the sort comparisons built on them: -1 when
  // this node sorts first, 1 when `other` does, 0 when they tie.
  int posorder() const;
  int compare(const InterResult& other) const;
  int posorder_for_sn() const;
  int compare_for_sn(const InterResult& other) const;
  int posorder_for_nr() const;
  int compare_for_nr(const InterResult& other) const;

  // One morpheme of the record as a result takes it, before anything that
  // depends on the morpheme before it: placeholder entries left out, the
  // text in UTF-8, the offsets in the word. `copulaEnd` is where a copula
  // restored before it would end.
  struct Piece {
    unsigned int tag;       // as stored, last-entry bit included
    uint32_t text;          // offset of its zero-terminated text in texts
    uint32_t textSize;      // bytes of the text with the zero
    uint64_t start;
    uint64_t end;
    uint64_t copulaEnd;
    unsigned short firstUnit;  // first and last 16-bit unit of the entry
    unsigned short lastUnit;
    bool hasUnits;             // the entry has units (its count is not 0)
  };
  struct Pieces {
    const Piece* list;
    uint32_t count;
    const char* texts;
  };
  // Bytes after the end of the last text that may be read: a text may be
  // copied in 8-byte words, the last one running past its zero.
  static constexpr uint32_t TEXT_SLACK = 7;
  // The pieces of the record, decoded on the first call after parse (or
  // after offset or length changed) and kept: every path through the node
  // reads the same ones. Unlike parse, the walk stops before an entry whose
  // text is cut off by the end of the buffer. False when memory ran out.
  bool pieces(Pieces* out) const {
    if (!decoded_ && !decode()) return false;
    out->list = pieces_;
    out->count = pieceCount_;
    out->texts = texts_;
    return true;
  }

  // Whether the node may start or end a word in pass `mode` (3 or 6).
  bool isPossibleBegin(unsigned int mode) const;
  bool isPossibleEnd(unsigned int mode) const;
  // Whether this node may directly follow `prev` inside a word.
  bool isPossible(const InterResult* prev, unsigned int mode) const;
  // Pushes onto `out`, in list order, every node of `followers` that
  // isPossible admits after `prev`: the lattice search's linking loop, the
  // pass decoded once for the whole list.
  static void pushPossible(const InterResult* prev,
                           const OpStack<InterResult*>& followers,
                           unsigned int mode, OpStack<InterResult*>& out);

 private:
  // Whether a tag code carries the (class, subclass) pair of hasPOS.
  static bool codeHas(unsigned int code, unsigned int cls, unsigned int sub) {
    if (((code >> 1) & 0x3FFFFu) != cls) return false;
    return sub == 0 || ((code >> 21) & sub) != 0;
  }

  // The tests of hasPOS spelled out on the fields in place.
  void setKinds() {
    constexpr unsigned int classField = 0x0007FFFEu;
    constexpr unsigned int numeralBit = NR & 0xFFE00000u;
    const unsigned int first = posvalue_ & classField;
    const unsigned int last = lastpos_ & classField;
    number_ = first == SN || last == SN;
    numeral_ = (first == (NR & classField) && (posvalue_ & numeralBit)) ||
               (last == (NR & classField) && (lastpos_ & numeralBit));
  }
  void setSurface(const unsigned short* text, size_t length) {
    if (text != nullptr && length > 0) {
      surface_first_ = text[0];
      surface_last_ = text[length - 1];
    } else {
      surface_first_ = 0;
      surface_last_ = 0;
    }
  }
  // Fills the piece cache; false when memory ran out.
  bool decode() const;
  bool roomForPiece() const {
    return pieceCount_ < pieceCapacity_ || growPieces();
  }
  bool roomForText(size_t n) const {
    return n <= textCapacity_ - textSize_ || growText(n);
  }
  bool growPieces() const;
  bool growText(size_t n) const;

  size_t offset_;
  size_t length_;
  bool complex_;
  bool nounirregular_;
  bool linked_;
  bool number_;
  bool numeral_;
  unsigned char attrflag_;
  unsigned int attr_;
  // Raw tag codes (flag bit included), read by the connection rules on
  // every pair of neighbouring nodes.
  unsigned int posvalue_;
  unsigned int lastpos_;
  const membuf* rdata_;
  int rindex_;
  OpStack<InterResult*> child_;
  unsigned short first_char_;
  unsigned short first_last_char_;
  unsigned short last_char_;
  unsigned short surface_first_;
  unsigned short surface_last_;

  // The piece cache, filled by pieces(): storage inside the node for the
  // usual record, on the heap for a longer one (kept for reuse).
  static constexpr uint32_t INLINE_PIECES = 4;
  static constexpr uint32_t INLINE_TEXT = 48;
  mutable bool decoded_;
  mutable uint32_t pieceCount_;
  mutable uint32_t pieceCapacity_;
  mutable uint32_t textSize_;
  mutable uint32_t textCapacity_;
  mutable Piece* pieces_;
  mutable char* texts_;
  mutable Piece inlinePieces_[INLINE_PIECES];
  mutable char inlineText_[INLINE_TEXT];
};

#endif  // TALMORO_KNOWLEDGE_INTER_RESULT_H_
