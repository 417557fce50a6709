#include "knowledge/inter_result.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Builds analysis records byte by byte: link word, flag, optional attribute
// word, then the morpheme entries.
class RecordBytes {
 public:
  RecordBytes& u8(unsigned v) {
    bytes_.push_back(static_cast<unsigned char>(v));
    return *this;
  }
  RecordBytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
  RecordBytes& u32(unsigned v) { return u16(v & 0xFFFF).u16(v >> 16); }

  // A record head: link word and flag, with the attribute word when the
  // flag is non-zero.
  RecordBytes& head(unsigned flag = 0, unsigned attr = 0, int link = 0) {
    u32(static_cast<unsigned>(link)).u8(flag);
    if (flag != 0) u32(attr);
    return *this;
  }
  // One entry; the length byte is the unit count shifted left by one, with
  // the surface flag in bit 0.
  RecordBytes& entry(unsigned tag, const std::u16string& text,
                     bool surface = true) {
    u32(tag).u8((text.size() << 1) | (surface ? 1u : 0u));
    for (char16_t c : text) u16(c);
    return *this;
  }
  // An entry header with an explicit length byte and no text.
  RecordBytes& header(unsigned tag, unsigned lengthByte) {
    return u32(tag).u8(lengthByte);
  }

  size_t size() const { return bytes_.size(); }

  // A buffer whose capacity ends exactly after the last byte written, so a
  // read past the record is a read past the allocation.
  std::unique_ptr<membuf> buffer() const {
    std::unique_ptr<membuf> buf(new membuf(bytes_.size(), 1));
    buf->write(size_t{0}, bytes_.data(), bytes_.size());
    return buf;
  }

 private:
  std::vector<unsigned char> bytes_;
};

std::vector<unsigned short> units(const std::u16string& s) {
  std::vector<unsigned short> v(s.begin(), s.end());
  v.push_back(0);
  return v;
}

// A node over a record with the given first and last tags (one morpheme when
// they are equal), covering `length` units.
struct Node {
  Node(unsigned first, unsigned last, size_t length, unsigned attr = 0) {
    RecordBytes r;
    r.head(attr != 0 ? 1 : 0, attr);
    if (first == last) {
      r.entry(first | 1u, u"가");
    } else {
      r.entry(first, u"가").entry(last | 1u, u"나");
    }
    buf = r.buffer();
    node.reset(new InterResult());
    node->length(length);
    std::vector<unsigned short> text(length + 1, u'가');
    node->parse(buf.get(), 4, text.data(), length);
  }
  explicit Node(unsigned tag, size_t length = 1) : Node(tag, tag, length) {}

  std::unique_ptr<membuf> buf;
  std::unique_ptr<InterResult> node;
};

unsigned short lexiconUnit(const InterResult& n, size_t i) {
  unsigned short u;
  std::memcpy(&u, reinterpret_cast<const unsigned char*>(n.lexicon()) + 2 * i,
              sizeof u);
  return u;
}

TEST(InterResultTest, NewNodeIsEmpty) {
  InterResult n;
  EXPECT_EQ(n.offset(), 0u);
  EXPECT_EQ(n.length(), 0u);
  EXPECT_EQ(n.posvalue(), POS_ZERO);
  EXPECT_EQ(n.lastpos(), POS_ZERO);
  EXPECT_EQ(n.attr(), 0u);
  EXPECT_FALSE(n.complex());
  EXPECT_FALSE(n.nounirregular());
  EXPECT_EQ(n.rdata(), nullptr);
  EXPECT_EQ(n.lexicon(), nullptr);
  EXPECT_EQ(n.child().size(), 0u);
  EXPECT_STREQ(n.result(), "(DEBUG mode only)");
  EXPECT_FALSE(n.isPossibleBegin(3));
  EXPECT_FALSE(n.isPossibleEnd(3));
}

TEST(InterResultTest, ParsesOneMorphemeRecordWithoutAttributes) {
  RecordBytes r;
  r.head().entry(NNG | 1u, u"사과");
  auto buf = r.buffer();
  auto text = units(u"사과를");
  InterResult n;
  n.offset(3);
  n.length(2);
  n.parse(buf.get(), 4, text.data(), 2);
  EXPECT_EQ(n.offset(), 3u);
  EXPECT_EQ(n.length(), 2u);
  EXPECT_FALSE(n.complex());
  EXPECT_EQ(n.attrflag(), 0);
  EXPECT_EQ(n.attr(), 0u);
  EXPECT_EQ(n.posvalue(), NNG | 1u);
  EXPECT_EQ(n.lastpos(), NNG | 1u);
  EXPECT_EQ(n.rdata(), buf.get());
  EXPECT_EQ(n.rindex(), 5);
  EXPECT_EQ(n.firstChar(), u'사');
  EXPECT_EQ(n.firstLastChar(), u'과');
  EXPECT_EQ(n.lastChar(), u'과');
  EXPECT_EQ(n.surfaceFirst(), u'사');
  EXPECT_EQ(n.surfaceLast(), u'과');
  ASSERT_NE(n.lexicon(), nullptr);
  EXPECT_EQ(lexiconUnit(n, 0), u'사');
  EXPECT_EQ(lexiconUnit(n, 1), u'과');
}

TEST(InterResultTest, ParsesTwoMorphemeRecordWithAttributeWord) {
  // A first record, then the one under test at a non-zero offset.
  RecordBytes r;
  r.head(0, 0, 11).entry(NNG | 1u, u"집");
  const size_t at = r.size();
  r.head(1, 0x400).entry(VV, u"먹").entry(EC | 1u, u"어서", false);
  auto buf = r.buffer();
  auto text = units(u"먹어서");
  InterResult n;
  n.parse(buf.get(), static_cast<int>(at) + 4, text.data(), 3);
  EXPECT_TRUE(n.complex());
  EXPECT_EQ(n.attrflag(), 1);
  EXPECT_EQ(n.attr(), 0x400u);
  EXPECT_EQ(n.posvalue(), VV);
  EXPECT_EQ(n.lastpos(), EC | 1u);
  EXPECT_EQ(n.rindex(), static_cast<int>(at) + 9);
  EXPECT_EQ(n.firstChar(), u'먹');
  EXPECT_EQ(n.firstLastChar(), u'먹');
  EXPECT_EQ(n.lastChar(), u'서');
  EXPECT_EQ(n.surfaceFirst(), u'먹');
  EXPECT_EQ(n.surfaceLast(), u'서');
  EXPECT_EQ(lexiconUnit(n, 0), u'먹');

  // Parsing the same node again overwrites every record field.
  auto other = units(u"집");
  n.parse(buf.get(), 4, other.data(), 1);
  EXPECT_FALSE(n.complex());
  EXPECT_EQ(n.attrflag(), 0);
  EXPECT_EQ(n.attr(), 0u);
  EXPECT_EQ(n.posvalue(), NNG | 1u);
  EXPECT_EQ(n.lastpos(), NNG | 1u);
  EXPECT_EQ(n.rindex(), 5);
  EXPECT_EQ(n.firstChar(), u'집');
  EXPECT_EQ(n.lastChar(), u'집');
  EXPECT_EQ(n.surfaceLast(), u'집');
}

TEST(InterResultTest, ClueFlagIsKeptAndThreeEntriesTakeTheLastTag) {
  RecordBytes r;
  r.head(2, 0x10001).entry(NNG, u"학교").entry(JKB, u"에").entry(JX | 1u, u"는");
  auto buf = r.buffer();
  auto text = units(u"학교에는");
  InterResult n;
  n.parse(buf.get(), 4, text.data(), 4);
  EXPECT_EQ(n.attrflag(), 2);
  EXPECT_EQ(n.attr(), 0x10001u);
  EXPECT_TRUE(n.complex());
  EXPECT_EQ(n.posvalue(), NNG);
  EXPECT_EQ(n.lastpos(), JX | 1u);
  EXPECT_EQ(n.firstLastChar(), u'교');
  EXPECT_EQ(n.lastChar(), u'는');
}

TEST(InterResultTest, DamagedRecordsStopAtTheEndOfTheBuffer) {
  auto text = units(u"가이");
  {
    // No entry carries the last mark; the buffer ends after the second one.
    RecordBytes r;
    r.head().entry(NNG, u"가").entry(JKS, u"이");
    auto buf = r.buffer();
    ASSERT_EQ(buf->capacity(), r.size());
    InterResult n;
    n.parse(buf.get(), 4, text.data(), 2);
    EXPECT_TRUE(n.complex());
    EXPECT_EQ(n.posvalue(), NNG);
    EXPECT_EQ(n.lastpos(), JKS);
    EXPECT_EQ(n.lastChar(), u'이');
  }
  {
    // A trailing partial entry header is not taken as an entry.
    RecordBytes r;
    r.head().entry(NNG, u"가").u8(0x01).u8(0x08).u8(0x30);
    auto buf = r.buffer();
    InterResult n;
    n.parse(buf.get(), 4, text.data(), 1);
    EXPECT_FALSE(n.complex());
    EXPECT_EQ(n.lastpos(), NNG);
    EXPECT_EQ(n.lastChar(), u'가');
  }
  {
    // A length byte claiming 100 units where two remain (plus an odd byte):
    // the text is cut at the buffer's end and the walk stops there.
    RecordBytes r;
    r.head().header(NNG, 100 << 1).u16(u'하').u16(u'늘').u8(0x7F);
    auto buf = r.buffer();
    InterResult n;
    n.parse(buf.get(), 4, text.data(), 2);
    EXPECT_FALSE(n.complex());
    EXPECT_EQ(n.posvalue(), NNG);
    EXPECT_EQ(n.firstChar(), u'하');
    EXPECT_EQ(n.firstLastChar(), u'늘');
    EXPECT_EQ(n.lastChar(), u'늘');
  }
  {
    // The same for a second entry: it keeps its tag and the units that fit.
    RecordBytes r;
    r.head().entry(NNG, u"가").header(JKS | 1u, 50 << 1).u16(u'이');
    auto buf = r.buffer();
    InterResult n;
    n.parse(buf.get(), 4, text.data(), 2);
    EXPECT_TRUE(n.complex());
    EXPECT_EQ(n.lastpos(), JKS | 1u);
    EXPECT_EQ(n.firstLastChar(), u'가');
    EXPECT_EQ(n.lastChar(), u'이');
  }
  {
    // An attribute word cut off by the buffer's end reads as 0; a flag
    // beyond the buffer leaves an empty node.
    RecordBytes r;
    r.u32(0).u8(1).u8(0x55);
    auto buf = r.buffer();
    InterResult n;
    n.parse(buf.get(), 4, text.data(), 2);
    EXPECT_EQ(n.attrflag(), 1);
    EXPECT_EQ(n.attr(), 0u);
    EXPECT_EQ(n.posvalue(), POS_ZERO);
    EXPECT_EQ(n.lexicon(), nullptr);
    n.parse(buf.get(), 1000, text.data(), 2);
    EXPECT_EQ(n.attrflag(), 0);
    EXPECT_EQ(n.posvalue(), POS_ZERO);
    EXPECT_EQ(n.lastpos(), POS_ZERO);
    EXPECT_FALSE(n.complex());
    EXPECT_EQ(n.surfaceFirst(), u'가');
  }
}

TEST(InterResultTest, EntriesWithoutTextHaveNoBoundaryCharacter) {
  RecordBytes r;
  r.head().entry(NNG, u"").entry(JKS, u"이").entry(EC | 1u, u"");
  auto buf = r.buffer();
  auto text = units(u"이");
  InterResult n;
  n.parse(buf.get(), 4, text.data(), 1);
  EXPECT_TRUE(n.complex());
  EXPECT_EQ(n.posvalue(), NNG);
  EXPECT_EQ(n.lastpos(), EC | 1u);
  EXPECT_EQ(n.firstChar(), 0);
  EXPECT_EQ(n.firstLastChar(), 0);
  EXPECT_EQ(n.lastChar(), 0);
  EXPECT_EQ(n.surfaceFirst(), u'이');
}

TEST(InterResultTest, HasPOSMatchesClassAndSubclassOfEitherTag) {
  for (unsigned tag : {NNG, NFG, NNU, NFU}) {
    EXPECT_TRUE(Node(tag).node->hasPOS(0x10000, 51)) << std::hex << tag;
  }
  for (unsigned tag : {NNP, NNB, NR, NNC, VV, JKS}) {
    EXPECT_FALSE(Node(tag).node->hasPOS(0x10000, 51)) << std::hex << tag;
  }
  EXPECT_TRUE(Node(NNB).node->hasPOS(0x10000, 512));
  EXPECT_FALSE(Node(NNG).node->hasPOS(0x10000, 512));
  EXPECT_TRUE(Node(NP).node->hasPOS(0x10000, 0));

  for (unsigned tag : {SF, SW, SL, SH, SN}) {
    EXPECT_TRUE(Node(tag).node->hasPOS(8, 0, 4, 0, 2, 0, 1, 0))
        << std::hex << tag;
  }
  EXPECT_FALSE(Node(NNG).node->hasPOS(8, 0, 4, 0, 2, 0, 1, 0));
  EXPECT_FALSE(Node(XSN).node->hasPOS(8, 0, 4, 0, 2, 0, 1, 0));

  for (unsigned tag : {JKS, JKO, JX, JC, J_}) {
    EXPECT_TRUE(Node(tag).node->hasPOS(1024, 0)) << std::hex << tag;
  }
  EXPECT_FALSE(Node(EC).node->hasPOS(1024, 0));

  // The last tag counts as well as the first; the first never stands in
  // for a missing match of the last.
  Node nounParticle(NNG, JKS, 2);
  EXPECT_TRUE(nounParticle.node->hasPOS(1024, 0));
  EXPECT_TRUE(nounParticle.node->hasPOS(0x10000, 51));
  EXPECT_FALSE(nounParticle.node->hasPOS(0x200, 0));
  Node verbEnding(VV, EC, 2);
  EXPECT_TRUE(verbEnding.node->hasPOS(0x200, 4));  // ec
  EXPECT_FALSE(verbEnding.node->hasPOS(0x200, 1));  // ep
}

TEST(InterResultTest, HasPOSOverloadsReadEveryPair) {
  Node jx(JX);
  const unsigned J = 1024, JXSUB = 0x80;  // jx: level-3 bit 28
  EXPECT_TRUE(jx.node->hasPOS(J, JXSUB));
  EXPECT_TRUE(jx.node->hasPOS(1, 0, J, JXSUB));
  EXPECT_TRUE(jx.node->hasPOS(1, 0, 2, 0, J, JXSUB));
  EXPECT_TRUE(jx.node->hasPOS(1, 0, 2, 0, 4, 0, J, JXSUB));
  EXPECT_TRUE(jx.node->hasPOS(1, 0, 2, 0, 4, 0, 8, 0, J, JXSUB));
  EXPECT_TRUE(jx.node->hasPOS(1, 0, 2, 0, 4, 0, 8, 0, 16, 0, J, JXSUB));
  EXPECT_FALSE(jx.node->hasPOS(1, 0, 2, 0, 4, 0, 8, 0, 16, 0, J, 1));
  const unsigned classes[] = {0x10000, J, 0};
  const unsigned subs[] = {0, 0x100, 0};  // any noun, jc
  EXPECT_FALSE(jx.node->hasPOS(classes, subs));
  EXPECT_TRUE(Node(JC).node->hasPOS(classes, subs));
}

struct RankRow {
  unsigned tag;
  int general, afterNumber, afterNumeral;
};

TEST(InterResultTest, RanksFollowTheOrderingTable) {
  const RankRow rows[] = {
      {EP, 100, 500, 500},   {EF, 100, 500, 500},   {EC, 100, 500, 500},
      {ETM, 100, 500, 500},  {ETN, 100, 500, 500},  {JKS, 200, 600, 600},
      {JX, 200, 600, 600},   {JC, 200, 600, 600},   {J_, 200, 600, 600},
      {VCP, 300, 999, 999},  {VCN, 300, 999, 999},  {XSN, 400, 300, 400},
      {XPN, 400, 999, 999},  {XSV, 400, 999, 999},  {XSA, 400, 999, 999},
      {NNU, 501, 400, 300},  {NFU, 502, 400, 300},  {NNG, 503, 400, 300},
      {NFG, 504, 400, 300},  {NNP, 505, 300, 300},  {NNB, 599, 100, 100},
      {NR, 999, 200, 200},   {NNC, 999, 499, 399},  {NNX, 999, 499, 399},
      {NP, 999, 499, 399},   {NF, 999, 499, 399},   {0x00020000, 999, 499, 399},
      {VV, 600, 999, 999},   {VA, 600, 999, 999},   {VX, 600, 999, 999},
      {VF, 600, 999, 999},   {SN, 999, 999, 999},   {SF, 999, 999, 999},
      {SL, 999, 999, 999},   {MAG, 999, 999, 999},  {MM, 999, 999, 999},
      {IC, 999, 999, 999},   {XR, 999, 999, 999},   {XSB, 999, 999, 999},
      {NA, 999, 999, 999},
      // Two subclasses, two classes: codes no dictionary makes.
      {NNG | NNP, 999, 499, 399},  {EP | JKS, 999, 999, 999},
  };
  for (const RankRow& row : rows) {
    // Node marks its only tag with the last-morpheme bit: it must not count.
    Node n(row.tag);
    ASSERT_EQ(n.node->posvalue(), row.tag | 1u);
    EXPECT_EQ(n.node->posorder(), row.general) << std::hex << row.tag;
    EXPECT_EQ(n.node->posorder_for_sn(), row.afterNumber) << std::hex << row.tag;
    EXPECT_EQ(n.node->posorder_for_nr(), row.afterNumeral) << std::hex << row.tag;
  }
  // Only the first tag is ranked.
  Node nounParticle(NNG, JKS, 2);
  EXPECT_EQ(nounParticle.node->posorder(), 503);
  InterResult empty;
  EXPECT_EQ(empty.posorder(), 999);
}

TEST(InterResultTest, CompareOrdersByLengthThenRank) {
  Node nng(NNG, 2), jks(JKS, 2), shortJks(JKS, 1), nng2(NNG, 2);
  EXPECT_EQ(jks.node->compare(*nng.node), -1);
  EXPECT_EQ(nng.node->compare(*jks.node), 1);
  EXPECT_EQ(nng.node->compare(*shortJks.node), -1);
  EXPECT_EQ(shortJks.node->compare(*nng.node), 1);
  EXPECT_EQ(nng.node->compare(*nng2.node), 0);
  Node vcp(VCP, 1), vcn(VCN, 1);
  EXPECT_EQ(vcp.node->compare(*vcn.node), 0);
}

TEST(InterResultTest, NumberOrderingsRankBeforeLength) {
  Node nnb(NNB, 1), nng(NNG, 3), nr(NR, 2), xsn(XSN, 1), nnu(NNU, 2);
  EXPECT_EQ(nnb.node->compare_for_sn(*nng.node), -1);
  EXPECT_EQ(nng.node->compare_for_sn(*nnb.node), 1);
  EXPECT_EQ(nnb.node->compare(*nng.node), 1);  // the general order differs
  EXPECT_EQ(nr.node->compare_for_sn(*nng.node), -1);
  EXPECT_EQ(xsn.node->compare_for_sn(*nng.node), -1);
  EXPECT_EQ(xsn.node->compare_for_nr(*nng.node), 1);
  EXPECT_EQ(nnb.node->compare_for_nr(*nr.node), -1);
  EXPECT_EQ(nr.node->compare_for_nr(*nng.node), -1);
  // Equal ranks: longer first, then a tie.
  EXPECT_EQ(nng.node->compare_for_sn(*nnu.node), -1);
  EXPECT_EQ(nnu.node->compare_for_sn(*nng.node), 1);
  EXPECT_EQ(nnu.node->compare_for_nr(*nng.node), 1);
  Node nnu2(NNU, 2);
  EXPECT_EQ(nnu.node->compare_for_sn(*nnu2.node), 0);
  EXPECT_EQ(nnu.node->compare_for_nr(*nnu2.node), 0);
}

TEST(InterResultTest, IsPossibleEndTestsTheLastTag) {
  for (unsigned tag : {XPN, XSV, XSA, EP, VV, VA, VX, VF, VCP, VCN}) {
    EXPECT_FALSE(Node(tag).node->isPossibleEnd(3)) << std::hex << tag;
    EXPECT_FALSE(Node(tag).node->isPossibleEnd(6)) << std::hex << tag;
  }
  for (unsigned tag : {NNG, NNB, EC, EF, ETM, JKS, JX, XSN, SF, SN, MAG}) {
    EXPECT_TRUE(Node(tag).node->isPossibleEnd(3)) << std::hex << tag;
  }
  EXPECT_FALSE(Node(NNG, EP, 2).node->isPossibleEnd(3));
  EXPECT_TRUE(Node(VV, EC, 2).node->isPossibleEnd(3));
}

TEST(InterResultTest, IsPossibleBeginTestsTheFirstTag) {
  for (unsigned tag : {EP, EC, ETN, JKS, JX, J_, XSN, XSV, XSA}) {
    EXPECT_FALSE(Node(tag).node->isPossibleBegin(3)) << std::hex << tag;
    EXPECT_FALSE(Node(tag).node->isPossibleBegin(6)) << std::hex << tag;
  }
  for (unsigned tag : {NNG, VV, VCP, XPN, MAG, SN, XR}) {
    EXPECT_TRUE(Node(tag).node->isPossibleBegin(3)) << std::hex << tag;
  }
  EXPECT_TRUE(Node(NNG, JKS, 2).node->isPossibleBegin(3));
  EXPECT_FALSE(Node(JKS, NNG, 2).node->isPossibleBegin(3));
  // A pre-final ending can neither begin nor end a word.
  Node ep(EP);
  EXPECT_FALSE(ep.node->isPossibleBegin(6));
  EXPECT_FALSE(ep.node->isPossibleEnd(6));
}

TEST(InterResultTest, BoundNounBeginsOnlyWithoutTheMinusMarkInStrictPass) {
  EXPECT_TRUE(Node(NNB, NNB, 1, 0).node->isPossibleBegin(3));
  EXPECT_TRUE(Node(NNB, NNB, 1, 0x1).node->isPossibleBegin(3));
  EXPECT_TRUE(Node(NNB, NNB, 1, 0x2).node->isPossibleBegin(3));
  EXPECT_TRUE(Node(NNB, NNB, 1, 0x6).node->isPossibleBegin(3));
  Node minus(NNB, NNB, 1, 0x4);
  EXPECT_EQ(minus.node->attr(), 0x4u);
  EXPECT_FALSE(minus.node->isPossibleBegin(3));
  EXPECT_FALSE(Node(NNB, NNB, 1, 0x5).node->isPossibleBegin(3));
  EXPECT_TRUE(minus.node->isPossibleBegin(6));
  // The rule concerns a bound noun only.
  EXPECT_TRUE(Node(NNG, NNG, 1, 0x4).node->isPossibleBegin(3));
  // Only the first tag decides.
  EXPECT_FALSE(Node(NNB, JKS, 2, 0x4).node->isPossibleBegin(3));
  EXPECT_TRUE(Node(NNG, NNB, 2, 0x4).node->isPossibleBegin(3));
}

TEST(InterResultTest, ChildListHoldsSuccessorsAndEndMark) {
  InterResult a, b;
  a.child().push(&b);
  a.child().push(nullptr);
  ASSERT_EQ(a.child().size(), 2u);
  EXPECT_EQ(a.child().at(0), &b);
  EXPECT_EQ(a.child().top(), nullptr);
  a.nounirregular(true);
  EXPECT_TRUE(a.nounirregular());
}

}  // namespace

namespace {

// The pieces of a node as one line: "text/tag(start,end,copulaEnd)" each.
std::string describePieces(const InterResult& n) {
  InterResult::Pieces p;
  if (!n.pieces(&p)) return "(no memory)";
  std::string out;
  for (uint32_t k = 0; k < p.count; ++k) {
    const InterResult::Piece& piece = p.list[k];
    if (k > 0) out += ' ';
    const std::string text(p.texts + piece.text);
    EXPECT_EQ(text.size() + 1, piece.textSize);
    out += text + "/" + std::to_string(piece.tag) + "(" +
           std::to_string(piece.start) + "," + std::to_string(piece.end) +
           "," + std::to_string(piece.copulaEnd) + ")";
  }
  return out;
}

TEST(InterResultTest, PiecesFollowTheNodeThroughMovesAndReuse) {
  // 먹/vv spelled, 었/ep not spelled, 다/ef spelled and last; a placeholder
  // entry between them gives no piece.
  RecordBytes r;
  r.head().entry(VV, u"먹").entry(POS_ZERO, u"", false).entry(EP, u"었", false);
  r.entry(EF | 1u, u"다");
  auto buf = r.buffer();
  auto text = units(u"먹었다");
  InterResult n;
  n.offset(2);
  n.length(3);
  n.parse(buf.get(), 4, text.data(), 3);
  const std::string vv = std::to_string(VV), ep = std::to_string(EP),
                    ef = std::to_string(EF | 1u);
  EXPECT_EQ(describePieces(n), "먹/" + vv + "(2,3,3) 었/" + ep +
                                   "(3,3,3) 다/" + ef + "(3,5,4)");
  InterResult::Pieces p;
  ASSERT_TRUE(n.pieces(&p));
  EXPECT_EQ(p.list[0].firstUnit, u'먹');
  EXPECT_EQ(p.list[2].lastUnit, u'다');
  EXPECT_TRUE(p.list[1].hasUnits);

  // Moving or stretching the node moves its pieces; the kept ones are not
  // read again.
  n.offset(0);
  EXPECT_EQ(describePieces(n), "먹/" + vv + "(0,1,1) 었/" + ep +
                                   "(1,1,1) 다/" + ef + "(1,3,2)");
  n.length(4);
  EXPECT_EQ(describePieces(n), "먹/" + vv + "(0,1,1) 었/" + ep +
                                   "(1,1,1) 다/" + ef + "(1,4,2)");

  // A node reused for another record (as the analyzer's spare nodes are)
  // gives that record's pieces, not the ones it had.
  RecordBytes other;
  other.head(1, 0x40).entry(NNG | 1u, u"밥");
  auto otherBuf = other.buffer();
  n.offset(0);
  n.length(1);
  n.parse(otherBuf.get(), 4, text.data(), 1);
  EXPECT_EQ(describePieces(n), "밥/" + std::to_string(NNG | 1u) + "(0,1,1)");

  // A node without a record has no pieces.
  InterResult empty;
  EXPECT_EQ(describePieces(empty), "");
}

TEST(InterResultTest, LongRecordsGrowThePieceStorageAndKeepEveryText) {
  // More pieces and more text than a node holds in itself, then a short
  // record in the same node.
  RecordBytes r;
  r.head();
  for (int i = 0; i < 9; ++i)
    r.entry(i == 8 ? (JX | 1u) : JX, std::u16string(20, u'가'), false);
  auto buf = r.buffer();
  auto text = units(u"가");
  InterResult n;
  n.length(1);
  n.parse(buf.get(), 4, text.data(), 1);
  InterResult::Pieces p;
  ASSERT_TRUE(n.pieces(&p));
  ASSERT_EQ(p.count, 9u);
  std::string sixty;
  for (int i = 0; i < 20; ++i) sixty += "가";
  for (uint32_t k = 0; k < p.count; ++k) {
    EXPECT_EQ(std::string(p.texts + p.list[k].text), sixty) << k;
    EXPECT_EQ(p.list[k].end, 1u);
  }

  RecordBytes shortRecord;
  shortRecord.head().entry(NNG | 1u, u"A");
  auto shortBuf = shortRecord.buffer();
  n.parse(shortBuf.get(), 4, text.data(), 1);
  EXPECT_EQ(describePieces(n), "A/" + std::to_string(NNG | 1u) + "(0,1,1)");
}

TEST(InterResultTest, PiecesStopBeforeAnEntryCutOffByTheBuffer) {
  // parse keeps the tag of an entry whose text runs past the buffer; a
  // result takes no such morpheme.
  RecordBytes r;
  r.head().entry(NNG, u"가").header(JKS | 1u, 50 << 1).u16(u'이');
  auto buf = r.buffer();
  auto text = units(u"가이");
  InterResult n;
  n.length(2);
  n.parse(buf.get(), 4, text.data(), 2);
  EXPECT_EQ(n.lastpos(), JKS | 1u);
  EXPECT_EQ(describePieces(n), "가/" + std::to_string(NNG) + "(0,1,1)");
}

}  // namespace
