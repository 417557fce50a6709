// InterResult: one node of the analysis lattice, an analysis record placed
// at a position of the word. It keeps a pointer into the record buffer and
// caches what the connection and pruning rules test: the first and last tag,
// the attribute word and five boundary characters. It owns its successor
// list (filled by the lattice search), never the nodes listed there.
#ifndef TALMORO_KNOWLEDGE_INTER_RESULT_H_
#define TALMORO_KNOWLEDGE_INTER_RESULT_H_

#include <cstddef>

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

  void offset(size_t value) { offset_ = value; }
  size_t offset() const { return offset_; }
  void length(size_t value) { length_ = value; }
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

  // Ranks of the first tag and the sort comparisons built on them: -1 when
  // this node sorts first, 1 when `other` does, 0 when they tie.
  int posorder() const;
  int compare(const InterResult& other) const;
  int posorder_for_sn() const;
  int compare_for_sn(const InterResult& other) const;
  int posorder_for_nr() const;
  int compare_for_nr(const InterResult& other) const;

  // Whether the node may start or end a word in pass `mode` (3 or 6).
  bool isPossibleBegin(unsigned int mode) const;
  bool isPossibleEnd(unsigned int mode) const;
  // Whether this node may directly follow `prev` inside a word.
  bool isPossible(const InterResult* prev, unsigned int mode) const;

 private:
  // Whether a tag code carries the (class, subclass) pair of hasPOS.
  static bool codeHas(unsigned int code, unsigned int cls, unsigned int sub) {
    if (((code >> 1) & 0x3FFFFu) != cls) return false;
    return sub == 0 || ((code >> 21) & sub) != 0;
  }

  size_t offset_;
  size_t length_;
  bool complex_;
  bool nounirregular_;
  bool linked_;
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
};

#endif  // TALMORO_KNOWLEDGE_INTER_RESULT_H_
