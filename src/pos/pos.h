// Part-of-speech tag codes.
//
// A tag is a 32-bit code with four fields, from the least significant bit:
//   bit 0        flag bit: marks the last morpheme of an analysis in
//                dictionary records; ignored by comparison and naming;
//   bits 1-18    level-1 class, one bit per class (sn ... na);
//   bits 19-20   level-2 group: 19 for the "em" endings, 20 for "jk" particles;
//   bits 21-31   level-3 subclass, at most one bit.
#ifndef TALMORO_POS_POS_H_
#define TALMORO_POS_POS_H_

#include "base/export.h"

// A tag code. Comparisons ignore the flag bit; assignment copies all 32 bits.
class TALMORO_API pos_t {
 public:
  constexpr pos_t() : value_(0) {}
  constexpr pos_t(unsigned int value) : value_(value) {}
  constexpr pos_t(const pos_t& other) = default;

  pos_t& operator=(const pos_t& other);
  pos_t& operator=(unsigned int value);
  // Merges the three tag fields bitwise; keeps this code's flag bit.
  pos_t& operator|=(const pos_t& other);
  bool operator==(const pos_t& other) const;
  bool operator!=(const pos_t& other) const;
  bool operator==(unsigned int other) const;
  bool operator!=(unsigned int other) const;
  // All 32 bits, flag bit included.
  operator unsigned int() const;

 private:
  unsigned int value_;
};

TALMORO_API bool operator==(unsigned int a, const pos_t& b);
TALMORO_API bool operator!=(unsigned int a, const pos_t& b);

// No tag.
constexpr unsigned int POS_ZERO = 0x00000000;

// One constant per tag, named by the upper-cased tag.
constexpr unsigned int SN = 0x00000002;
constexpr unsigned int SH = 0x00000004;
constexpr unsigned int SL = 0x00000008;
constexpr unsigned int SF = 0x00200010;
constexpr unsigned int SP = 0x00400010;
constexpr unsigned int SS = 0x00800010;
constexpr unsigned int SE = 0x01000010;
constexpr unsigned int SO = 0x02000010;
constexpr unsigned int SW = 0x04000010;
constexpr unsigned int XR = 0x00000020;
constexpr unsigned int XSB = 0x00000040;
constexpr unsigned int XSV = 0x00200080;
constexpr unsigned int XSA = 0x00400080;
constexpr unsigned int XSN = 0x00000100;
constexpr unsigned int XPN = 0x00000200;
constexpr unsigned int EP = 0x00200400;
constexpr unsigned int EF = 0x00480400;
constexpr unsigned int EC = 0x00880400;
constexpr unsigned int ETM = 0x01000400;
constexpr unsigned int ETN = 0x02000400;
constexpr unsigned int J_ = 0x00100800;
constexpr unsigned int JKS = 0x00300800;
constexpr unsigned int JKC = 0x00500800;
constexpr unsigned int JKG = 0x00900800;
constexpr unsigned int JKO = 0x01100800;
constexpr unsigned int JKB = 0x02100800;
constexpr unsigned int JKV = 0x04100800;
constexpr unsigned int JKQ = 0x08100800;
constexpr unsigned int JX = 0x10000800;
constexpr unsigned int JC = 0x20000800;
constexpr unsigned int IC = 0x00001000;
constexpr unsigned int MAG = 0x00202000;
constexpr unsigned int MAJ = 0x00402000;
constexpr unsigned int MM = 0x00004000;
constexpr unsigned int VCP = 0x00208000;
constexpr unsigned int VCN = 0x00408000;
constexpr unsigned int VV = 0x00210000;
constexpr unsigned int VA = 0x00410000;
constexpr unsigned int VX = 0x00810000;
constexpr unsigned int VF = 0x01010000;
constexpr unsigned int NNG = 0x00220000;
constexpr unsigned int NFG = 0x00420000;
constexpr unsigned int NNC = 0x00820000;
constexpr unsigned int NNX = 0x01020000;
constexpr unsigned int NNU = 0x02020000;
constexpr unsigned int NFU = 0x04020000;
constexpr unsigned int NNP = 0x08020000;
constexpr unsigned int NR = 0x10020000;
constexpr unsigned int NP = 0x20020000;
constexpr unsigned int NNB = 0x40020000;
constexpr unsigned int NF = 0x80020000;
constexpr unsigned int NA = 0x00040000;

// Tag name (lower case, e.g. "nng") to code; an unknown name gives NA.
TALMORO_API unsigned int getPosValue(const char* name);

// Code to name: level 1 is the class ("n_"), level 2 folds subclasses of
// xs, ma, vc, ef/ec and the jk particles ("jk"), level 3 is the full tag name.
// POS_ZERO is "_" at every level; a code without a name gives null.
TALMORO_API const char* getLevel1PosTag(pos_t pos);
TALMORO_API const char* getLevel2PosTag(pos_t pos);
TALMORO_API const char* getLevel3PosTag(pos_t pos);

// 0 for 0; else the 1-based position of the highest set bit of the lowest
// non-zero byte, plus 8 times that byte's index.
TALMORO_API int bit_index(unsigned int x);

#endif  // TALMORO_POS_POS_H_
