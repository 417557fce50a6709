#include "result/result_impl.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "knowledge/inter_result.h"
#include "pos/attribute_bits.h"

namespace {

// Analysis records built byte by byte: link word, flag, optional attribute
// word, then the morpheme entries.
class RecordBytes {
 public:
  RecordBytes& u8(unsigned v) {
    bytes_.push_back(static_cast<unsigned char>(v));
    return *this;
  }
  RecordBytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
  RecordBytes& u32(unsigned v) { return u16(v & 0xFFFF).u16(v >> 16); }
  RecordBytes& head(unsigned attr = 0) {
    u32(0).u8(attr != 0 ? 1 : 0);
    if (attr != 0) u32(attr);
    return *this;
  }
  RecordBytes& entry(unsigned tag, const std::u16string& text, bool surface) {
    u32(tag).u8((text.size() << 1) | (surface ? 1u : 0u));
    for (char16_t c : text) u16(c);
    return *this;
  }
  // A buffer whose capacity ends right after the last byte.
  std::unique_ptr<membuf> buffer() const {
    std::unique_ptr<membuf> buf(new membuf(bytes_.size(), 1));
    buf->write(size_t{0}, bytes_.data(), bytes_.size());
    return buf;
  }

 private:
  std::vector<unsigned char> bytes_;
};

// Lattice nodes over hand-built records, and the path through them.
class Path {
 public:
  // A node at `offset` covering the next units of `surface`.
  Path& node(const RecordBytes& record, size_t offset, size_t length) {
    buffers_.push_back(record.buffer());
    std::unique_ptr<InterResult> node(new InterResult());
    node->offset(offset);
    node->length(length);
    std::vector<unsigned short> text(length + 1, 0xAC00);
    node->parse(buffers_.back().get(), 4, text.data(), length);
    path_.push(node.get());
    nodes_.push_back(std::move(node));
    return *this;
  }
  OpStack<InterResult*>& stack() { return path_; }

 private:
  std::vector<std::unique_ptr<membuf>> buffers_;
  std::vector<std::unique_ptr<InterResult>> nodes_;
  OpStack<InterResult*> path_;
};

const unsigned LAST = 1;

// "lex/tag(start,end)" for every morpheme, joined by spaces.
std::string describe(const ResultImpl& r) {
  std::string out;
  for (unsigned long i = 0; i < r.size(); ++i) {
    const int k = static_cast<int>(i);
    if (i > 0) out += ' ';
    out += std::string(r.lexicon(k)) + "/" + r.posTag(k) + "(" +
           std::to_string(r.startOffset(k)) + "," +
           std::to_string(r.endOffset(k)) + ")";
  }
  return out;
}

TEST(ResultTest, AppendStoresMorphemesAndOffsetSettersChangeThem) {
  ResultImpl r;
  EXPECT_EQ(r.size(), 0u);
  EXPECT_EQ(r.score(), 0.0f);

  r.append(reinterpret_cast<const unsigned char*>("학교"), pos_t(NNG), 0, 2);
  r.append(reinterpret_cast<const unsigned char*>("에"), pos_t(JKB | LAST), 2,
           3);
  r.append(nullptr, pos_t(SF), 3, 3);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_STREQ(r.lexicon(0), "학교");
  EXPECT_STREQ(r.lexicon(1), "에");
  EXPECT_STREQ(r.lexicon(2), "");
  EXPECT_STREQ(r.posTag(0), "nng");
  EXPECT_STREQ(r.posTag(1), "jkb");
  // The tag is kept as given, flag bit included.
  EXPECT_EQ(static_cast<unsigned>(r.pos(1)), JKB | LAST);
  EXPECT_EQ(r.startOffset(1), 2u);
  EXPECT_EQ(r.endOffset(1), 3u);
  EXPECT_EQ(r.length(0), 2u);
  EXPECT_EQ(r.length(2), 0u);

  r.startOffset(1, 10);
  r.endOffset(1, 12);
  EXPECT_EQ(r.startOffset(1), 10u);
  EXPECT_EQ(r.endOffset(1), 12u);
  r.startOffsetIncr(0, 5);
  r.endOffsetIncr(0, 5);
  EXPECT_EQ(r.startOffset(0), 5u);
  EXPECT_EQ(r.endOffset(0), 7u);
  // Neighbouring records are untouched.
  EXPECT_EQ(r.startOffset(2), 3u);
  EXPECT_STREQ(r.lexicon(1), "에");
}

TEST(ResultTest, ReservedMorphemesGiveWhatAppendGives) {
  // Three morphemes added into reserved room after one appended the plain
  // way, beyond the inline storage of both buffers.
  ResultImpl r;
  r.append(reinterpret_cast<const unsigned char*>("책"), pos_t(NNG), 0, 1);
  ASSERT_TRUE(r.reserve(3, 11));
  r.appendReserved(pos_t(NNG), "학교", 7, 1, 3);
  r.appendReserved(pos_t(JKB), "에", 4, 3, 4);
  r.appendReserved(pos_t(SF), "", 1, 4, 4);
  // No room is asked for more than the pool can count.
  EXPECT_FALSE(r.reserve(1, ResultImpl::TEXT_FULL));

  ResultImpl plain;
  plain.append(reinterpret_cast<const unsigned char*>("책"), pos_t(NNG), 0, 1);
  plain.append(reinterpret_cast<const unsigned char*>("학교"), pos_t(NNG), 1,
               3);
  plain.append(reinterpret_cast<const unsigned char*>("에"), pos_t(JKB), 3, 4);
  plain.append(nullptr, pos_t(SF), 4, 4);
  EXPECT_EQ(describe(r), describe(plain));

  // Long texts and many morphemes make both buffers grow.
  const std::string big(1000, 'a');
  ResultImpl grown;
  ASSERT_TRUE(grown.reserve(100, 100 * (big.size() + 1)));
  for (unsigned long k = 0; k < 100; ++k)
    grown.appendReserved(pos_t(NNG), big.c_str(), big.size() + 1, k, k + 1);
  ASSERT_EQ(grown.size(), 100u);
  EXPECT_EQ(std::string(grown.lexicon(99)), big);
  EXPECT_EQ(grown.startOffset(99), 99u);
}

TEST(ResultTest, PosTagOfUnnamedCodeIsEmptyNotNull) {
  const unsigned unnamed = 0x00400002;  // sn with a subclass bit
  ASSERT_EQ(getLevel3PosTag(pos_t(unnamed)), nullptr);
  ResultImpl r;
  r.append(reinterpret_cast<const unsigned char*>("1"), pos_t(unnamed), 0, 1);
  ASSERT_NE(r.posTag(0), nullptr);
  EXPECT_STREQ(r.posTag(0), "");
}

TEST(ResultTest, ManyMorphemesGrowBothBuffers) {
  ResultImpl r;
  for (int i = 0; i < 200; ++i)
    r.append(reinterpret_cast<const unsigned char*>("가나다라마바사"),
             pos_t(NNG), i, i + 1);
  ASSERT_EQ(r.size(), 200u);
  EXPECT_STREQ(r.lexicon(199), "가나다라마바사");
  EXPECT_EQ(r.startOffset(199), 199u);
}

TEST(ResultTest, SetSpellsSurfaceMorphemesAndExtendsTheLastToTheNodeEnd) {
  // 먹었다: 먹 and 다 spelled out, 었 not; the last entry reaches the end.
  RecordBytes rec;
  rec.head()
      .entry(VV, u"먹", true)
      .entry(EP, u"었", false)
      .entry(EF | LAST, u"다", true);
  Path path;
  path.node(rec, 0, 3);
  ResultImpl r;
  r.set(nullptr, path.stack());
  EXPECT_EQ(describe(r), "먹/vv(0,1) 었/ep(1,1) 다/ef(1,3)");
  EXPECT_EQ(static_cast<unsigned>(r.pos(2)), EF | LAST);

  // Contracted: no entry spelled out, every one covers the whole node.
  RecordBytes contracted;
  contracted.head().entry(VV, u"하", false).entry(EC | LAST, u"어", false);
  Path second;
  second.node(contracted, 4, 1);
  ResultImpl c;
  c.set(nullptr, second.stack());
  EXPECT_EQ(describe(c), "하/vv(4,5) 어/ec(4,5)");

  // A spelled entry longer than the node is cut at the node end and the
  // next one starts where it started.
  RecordBytes longer;
  longer.head().entry(NNG, u"가나다", true).entry(JKS | LAST, u"가", true);
  Path third;
  third.node(longer, 2, 2);
  ResultImpl l;
  l.set(nullptr, third.stack());
  EXPECT_EQ(describe(l), "가나다/nng(2,4) 가/jks(2,4)");
}

TEST(ResultTest, SetRestoresCopulaAfterOpenSyllableNounOnly) {
  // 학교다: noun node, then an ending node allowing the copula to drop.
  RecordBytes noun;
  noun.head().entry(NNG | LAST, u"학교", true);
  RecordBytes ending;
  ending.head(EOMI_COPULA_DROPPABLE).entry(EF | LAST, u"다", true);
  Path open;
  open.node(noun, 0, 2).node(ending, 2, 1);
  ResultImpl r;
  r.set(nullptr, open.stack());
  EXPECT_EQ(describe(r), "학교/nng(0,2) 이/vcp(2,3) 다/ef(2,3)");
  EXPECT_EQ(static_cast<unsigned>(r.pos(1)), VCP);

  // 책다: closed syllable, no copula.
  RecordBytes closedNoun;
  closedNoun.head().entry(NNG | LAST, u"책", true);
  Path closed;
  closed.node(closedNoun, 0, 1).node(ending, 1, 1);
  ResultImpl c;
  c.set(nullptr, closed.stack());
  EXPECT_EQ(describe(c), "책/nng(0,1) 다/ef(1,2)");

  // Without the attribute no copula either.
  RecordBytes plainEnding;
  plainEnding.head().entry(EF | LAST, u"다", true);
  Path plain;
  plain.node(noun, 0, 2).node(plainEnding, 2, 1);
  ResultImpl p;
  p.set(nullptr, plain.stack());
  EXPECT_EQ(describe(p), "학교/nng(0,2) 다/ef(2,3)");

  // After a symbol the copula comes back whatever the attribute; its end
  // is the ending's own end, not the extension to the node end.
  RecordBytes symbol;
  symbol.head()
      .entry(SF, u".", true)
      .entry(EC, u"다", true)
      .entry(JX | LAST, u"가", false);
  Path sym;
  sym.node(symbol, 0, 4);
  ResultImpl s;
  s.set(nullptr, sym.stack());
  EXPECT_EQ(describe(s), "./sf(0,1) 이/vcp(1,2) 다/ec(1,2) 가/jx(2,4)");
}

TEST(ResultTest, SetSkipsPlaceholderEntries) {
  // The placeholder spells 책 (closed syllable); had it become the previous
  // morpheme the copula would be missing, and had it advanced the start the
  // ending would begin at 3.
  RecordBytes rec;
  rec.head(EOMI_COPULA_DROPPABLE)
      .entry(NNG, u"학교", true)
      .entry(POS_ZERO, u"책", true)
      .entry(EF | LAST, u"다", true);
  Path path;
  path.node(rec, 0, 3);
  ResultImpl r;
  r.set(nullptr, path.stack());
  EXPECT_EQ(describe(r), "학교/nng(0,2) 이/vcp(2,3) 다/ef(2,3)");

  // A placeholder marked last still ends the record.
  RecordBytes tail;
  tail.head().entry(NNG, u"학교", true).entry(POS_ZERO | LAST, u"", false);
  RecordBytes next;
  next.head().entry(JKS | LAST, u"가", true);
  Path p2;
  p2.node(tail, 0, 2).node(next, 2, 1);
  ResultImpl t;
  t.set(nullptr, p2.stack());
  EXPECT_EQ(describe(t), "학교/nng(0,2) 가/jks(2,3)");
}

TEST(ResultTest, SetMergesRepeatedFinalJamo) {
  // 가ㄴ followed by ㄴ: only the second record stays.
  RecordBytes rec;
  rec.head().entry(VV, u"가ㄴ", false).entry(ETM | LAST, u"ㄴ", false);
  Path path;
  path.node(rec, 0, 1);
  ResultImpl r;
  r.set(nullptr, path.stack());
  EXPECT_EQ(describe(r), "ㄴ/etm(0,1)");

  // The same across two nodes, with ㅂ.
  RecordBytes first;
  first.head().entry(VV | LAST, u"하ㅂ", false);
  RecordBytes second;
  second.head().entry(EF | LAST, u"ㅂ니다", true);
  Path across;
  across.node(first, 0, 1).node(second, 1, 2);
  ResultImpl a;
  a.set(nullptr, across.stack());
  EXPECT_EQ(describe(a), "ㅂ니다/ef(1,3)");

  // ㅅ is not one of the merged jamo, and a different jamo never merges.
  RecordBytes other;
  other.head()
      .entry(VV, u"가ㅅ", false)
      .entry(EP, u"ㅅ", false)
      .entry(EF | LAST, u"ㄴ", false);
  Path none;
  none.node(other, 0, 1);
  ResultImpl n;
  n.set(nullptr, none.stack());
  EXPECT_EQ(n.size(), 3u);
}

TEST(ResultTest, SetKeepsPreviousLastUnitAcrossEmptyEntry) {
  // An entry without units writes an empty text and leaves 교 as the
  // previous last unit, so the copula is still restored after it.
  RecordBytes noun;
  noun.head().entry(NNG, u"학교", true).entry(NNG | LAST, u"", false);
  RecordBytes ending;
  ending.head(EOMI_COPULA_DROPPABLE).entry(EC | LAST, u"고", true);
  Path path;
  path.node(noun, 0, 2).node(ending, 2, 1);
  ResultImpl r;
  r.set(nullptr, path.stack());
  EXPECT_EQ(describe(r), "학교/nng(0,2) /nng(0,2) 이/vcp(2,3) 고/ec(2,3)");
}

TEST(ResultTest, SetReadsBackwardPathsInTheirOwnOrder) {
  RecordBytes noun;
  noun.head().entry(NNG | LAST, u"학교", true);
  RecordBytes particle;
  particle.head().entry(JKB | LAST, u"에", true);
  Path path;
  path.node(particle, 2, 1).node(noun, 0, 2);
  path.stack().backward(true);
  ResultImpl r;
  r.set(nullptr, path.stack());
  EXPECT_EQ(describe(r), "학교/nng(0,2) 에/jkb(2,3)");
}

TEST(ResultTest, SetStaysInsideDamagedRecords) {
  // No entry marked last: the walk stops at the end of the buffer.
  RecordBytes unmarked;
  unmarked.head().entry(NNG, u"학교", true).entry(JKB, u"에", true);
  Path path;
  path.node(unmarked, 0, 3);
  ResultImpl r;
  r.set(nullptr, path.stack());
  EXPECT_EQ(describe(r), "학교/nng(0,2) 에/jkb(2,3)");

  // An entry whose text would run past the buffer is not read.
  RecordBytes cut;
  cut.head().entry(NNG, u"학교", true).u32(JKB | LAST).u8(100 << 1 | 1);
  cut.u16(u'에');
  Path cutPath;
  cutPath.node(cut, 0, 3);
  ResultImpl c;
  c.set(nullptr, cutPath.stack());
  EXPECT_EQ(describe(c), "학교/nng(0,2)");
}

TEST(ResultTest, PrintWritesMorphemesAndScore) {
  ResultImpl r;
  r.append(reinterpret_cast<const unsigned char*>("학교"), pos_t(NNG), 0, 2);
  r.append(reinterpret_cast<const unsigned char*>("에"), pos_t(JKB | LAST), 2,
           3);
  testing::internal::CaptureStdout();
  r.print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "학교/nng(0,2/2) + 에/jkb(2,3/1) score=0.000000\n");

  ResultImpl one;
  one.append(reinterpret_cast<const unsigned char*>("책"), pos_t(NNG), 0, 1);
  one.scoring(1, 1);
  testing::internal::CaptureStdout();
  one.print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "책/nng(0,1/1) score=26.000000\n");
}

TEST(ResultTest, IndexOutsideTheMorphemesReadsNothingAndWritesNothing) {
  ResultImpl r;
  r.append(reinterpret_cast<const unsigned char*>("책"), pos_t(NNG), 4, 5);
  for (int i : {1, 8, -1}) {
    EXPECT_STREQ(r.lexicon(i), "");
    EXPECT_STREQ(r.posTag(i), "_");
    EXPECT_EQ(static_cast<unsigned>(r.pos(i)), 0u);
    EXPECT_EQ(r.startOffset(i), 0u);
    EXPECT_EQ(r.endOffset(i), 0u);
    EXPECT_EQ(r.length(i), 0u);
    r.startOffset(i, 7);
    r.endOffsetIncr(i, 7);
  }
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(describe(r), "책/nng(4,5)");
}

TEST(ResultTest, PosTagNamesEveryCodeAsTheTagTableDoes) {
  // One class bit, any group bits, no subclass bit or one (flag bit set
  // and clear), and codes of other shapes.
  std::vector<unsigned> codes = {0u, 1u, 0x3u, 0x6u, 0x00600010u, 0xFFFFFFFFu};
  for (unsigned cls = 1; cls <= 18; ++cls)
    for (unsigned group = 0; group < 4; ++group)
      for (unsigned sub = 20; sub <= 31; ++sub) {
        const unsigned code =
            (1u << cls) | (group << 19) | (sub == 20 ? 0u : 1u << sub);
        codes.push_back(code);
        codes.push_back(code | 1u);
      }
  ResultImpl r;
  for (unsigned code : codes) r.append(nullptr, pos_t(code), 0, 0);
  ASSERT_EQ(r.size(), codes.size());
  for (size_t i = 0; i < codes.size(); ++i) {
    const char* want = getLevel3PosTag(pos_t(codes[i]));
    EXPECT_STREQ(r.posTag(static_cast<int>(i)), want != nullptr ? want : "")
        << std::hex << codes[i];
  }
}

TEST(ResultTest, SetKeepsLongTextsWhole) {
  // Texts beyond what a result holds at first: one entry of 127 units of
  // three UTF-8 bytes each, then more morphemes than fit at first.
  std::u16string longText(127, u'가');
  RecordBytes rec;
  rec.head().entry(NNG, longText, true);
  for (int i = 0; i < 11; ++i) rec.entry(JX, u"는", false);
  rec.entry(JKS | LAST, u"가", false);
  Path path;
  path.node(rec, 0, 127);
  ResultImpl r;
  r.set(nullptr, path.stack());
  ASSERT_EQ(r.size(), 13u);
  std::string want;
  for (int i = 0; i < 127; ++i) want += "가";
  EXPECT_EQ(r.lexicon(0), want);
  EXPECT_EQ(r.length(0), 127u);
  EXPECT_STREQ(r.lexicon(11), "는");
  EXPECT_STREQ(r.lexicon(12), "가");
  EXPECT_EQ(r.endOffset(12), 127u);
}

// set() on the nodes of `all` at `picks`, in that order.
std::string setOn(Path& all, std::initializer_list<uint64_t> picks) {
  OpStack<InterResult*> path;
  for (uint64_t k : picks) path.push(all.stack().at(k));
  ResultImpl r;
  r.set(nullptr, path);
  return describe(r);
}

TEST(ResultTest, NodeByNodeWithBacktrackingMatchesSetOnEveryPath) {
  // 0: 하ㅂ/vv ending in a merged jamo; 1: ㅂ니다/ef, which replaces it;
  // 2: 고/ec; 3: 학교/nng; 4: 다/ef that restores the copula after 3.
  RecordBytes stem, merging, plain, noun, ending;
  stem.head().entry(VV | LAST, u"하ㅂ", false);
  merging.head().entry(EF | LAST, u"ㅂ니다", true);
  plain.head().entry(EC | LAST, u"고", true);
  noun.head().entry(NNG | LAST, u"학교", true);
  ending.head(EOMI_COPULA_DROPPABLE).entry(EF | LAST, u"다", true);
  Path all;
  all.node(stem, 0, 1).node(merging, 1, 2).node(plain, 1, 1);
  all.node(noun, 0, 2).node(ending, 2, 1);
  auto node = [&](uint64_t k) { return all.stack().at(k); };

  ResultImpl built;
  ResultImpl::Carry carry = ResultImpl::startCarry();
  const ResultImpl::Mark atStart = built.mark(carry);
  ASSERT_TRUE(built.appendNode(node(0), &carry));
  const ResultImpl::Mark afterStem = built.mark(carry);
  ASSERT_TRUE(built.appendNode(node(1), &carry));
  EXPECT_EQ(describe(built), setOn(all, {0, 1}));
  EXPECT_EQ(describe(built), "ㅂ니다/ef(1,3)");

  // Back to the stem: the record that the merge replaced is back, and so is
  // the carry (the merge happens again on the same node).
  built.backTo(afterStem, &carry);
  EXPECT_EQ(describe(built), setOn(all, {0}));
  ASSERT_TRUE(built.appendNode(node(2), &carry));
  EXPECT_EQ(describe(built), setOn(all, {0, 2}));
  built.backTo(afterStem, &carry);
  ASSERT_TRUE(built.appendNode(node(1), &carry));
  EXPECT_EQ(describe(built), setOn(all, {0, 1}));

  // Back to the start: nothing left, and the carry no longer speaks of the
  // stem, so a new path reads as set() reads it.
  built.backTo(atStart, &carry);
  EXPECT_EQ(built.size(), 0u);
  ASSERT_TRUE(built.appendNode(node(3), &carry));
  ASSERT_TRUE(built.appendNode(node(4), &carry));
  EXPECT_EQ(describe(built), setOn(all, {3, 4}));
  EXPECT_EQ(describe(built), "학교/nng(0,2) 이/vcp(2,3) 다/ef(2,3)");
}

TEST(ResultTest, AssignCopiesMorphemesAndTextsWhateverTheSizes) {
  // A source beyond the first storage of a result, copied into one that
  // held something else and kept its score.
  std::u16string longText(100, u'가');
  RecordBytes rec;
  rec.head().entry(NNG, longText, true);
  for (int i = 0; i < 10; ++i) rec.entry(JX, u"는", false);
  rec.entry(JKS | LAST, u"가", false);
  Path path;
  path.node(rec, 0, 100);
  ResultImpl source;
  source.set(nullptr, path.stack());

  ResultImpl copy;
  copy.append(reinterpret_cast<const unsigned char*>("x"), pos_t(NNG), 0, 1);
  copy.score(2.5f);
  ASSERT_TRUE(copy.assign(source));
  EXPECT_EQ(describe(copy), describe(source));
  EXPECT_EQ(copy.size(), 12u);
  EXPECT_FLOAT_EQ(copy.score(), 2.5f);
  // The copy owns its texts: emptying the source leaves them.
  const std::string before = copy.lexicon(0);
  source.reset();
  source.append(reinterpret_cast<const unsigned char*>("y"), pos_t(NNG), 0, 1);
  EXPECT_EQ(copy.lexicon(0), before);

  // An empty source leaves an empty result.
  ResultImpl empty;
  ASSERT_TRUE(copy.assign(empty));
  EXPECT_EQ(copy.size(), 0u);
  EXPECT_STREQ(copy.lexicon(0), "");
}

}  // namespace
