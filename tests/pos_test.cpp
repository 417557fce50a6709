#include "pos/pos.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Null-safe text for comparisons.
std::string str(const char* s) { return s == nullptr ? "<null>" : s; }

struct Tag {
  const char* name;
  unsigned int code;
  const char* level2;
  const char* level1;
};

// Every known tag with its code and its names at levels 2 and 1.
const Tag TAGS[] = {
    {"sn", 0x00000002, "sn", "sn"},    {"sh", 0x00000004, "sh", "sh"},
    {"sl", 0x00000008, "sl", "sl"},    {"sf", 0x00200010, "sf", "s_"},
    {"sp", 0x00400010, "sp", "s_"},    {"ss", 0x00800010, "ss", "s_"},
    {"se", 0x01000010, "se", "s_"},    {"so", 0x02000010, "so", "s_"},
    {"sw", 0x04000010, "sw", "s_"},    {"xr", 0x00000020, "xr", "xr"},
    {"xsb", 0x00000040, "xsb", "xsb"}, {"xsv", 0x00200080, "xs", "xs"},
    {"xsa", 0x00400080, "xs", "xs"},   {"xsn", 0x00000100, "xsn", "xsn"},
    {"xpn", 0x00000200, "xpn", "xp"},  {"ic", 0x00001000, "ic", "ic"},
    {"mm", 0x00004000, "mm", "mm"},    {"ep", 0x00200400, "ep", "e_"},
    {"ef", 0x00480400, "em", "e_"},    {"ec", 0x00880400, "em", "e_"},
    {"etm", 0x01000400, "etm", "e_"},  {"etn", 0x02000400, "etn", "e_"},
    {"j_", 0x00100800, "j__", "j_"},   {"jks", 0x00300800, "jk", "j_"},
    {"jkc", 0x00500800, "jk", "j_"},   {"jkg", 0x00900800, "jk", "j_"},
    {"jko", 0x01100800, "jk", "j_"},   {"jkb", 0x02100800, "jk", "j_"},
    {"jkv", 0x04100800, "jk", "j_"},   {"jkq", 0x08100800, "jk", "j_"},
    {"jx", 0x10000800, "jx", "j_"},    {"jc", 0x20000800, "jc", "j_"},
    {"mag", 0x00202000, "ma", "ma"},   {"maj", 0x00402000, "ma", "ma"},
    {"nng", 0x00220000, "nng", "n_"},  {"nfg", 0x00420000, "nfg", "n_"},
    {"nnc", 0x00820000, "nnc", "n_"},  {"nnx", 0x01020000, "nnx", "n_"},
    {"nnu", 0x02020000, "nnu", "n_"},  {"nfu", 0x04020000, "nfu", "n_"},
    {"nnp", 0x08020000, "nnp", "n_"},  {"nr", 0x10020000, "nr", "n_"},
    {"np", 0x20020000, "np", "n_"},    {"nnb", 0x40020000, "nnb", "n_"},
    {"nf", 0x80020000, "nf", "n_"},    {"vv", 0x00210000, "vv", "v_"},
    {"va", 0x00410000, "va", "v_"},    {"vx", 0x00810000, "vx", "v_"},
    {"vf", 0x01010000, "vf", "v_"},    {"vcp", 0x00208000, "vc", "vc"},
    {"vcn", 0x00408000, "vc", "vc"},
};

}  // namespace

TEST(PosValue, EveryTagRoundTrips) {
  for (const Tag& tag : TAGS) {
    SCOPED_TRACE(tag.name);
    const unsigned int code = getPosValue(tag.name);
    EXPECT_EQ(code, tag.code);
    EXPECT_EQ(str(getLevel3PosTag(code)), tag.name);
    EXPECT_EQ(str(getLevel2PosTag(code)), tag.level2);
    EXPECT_EQ(str(getLevel1PosTag(code)), tag.level1);
    // The flag bit does not take part in naming.
    EXPECT_EQ(str(getLevel3PosTag(code | 1u)), tag.name);
    EXPECT_EQ(str(getLevel2PosTag(code | 1u)), tag.level2);
    EXPECT_EQ(str(getLevel1PosTag(code | 1u)), tag.level1);
  }
  EXPECT_EQ(getPosValue("na"), NA);
  EXPECT_EQ(str(getLevel3PosTag(NA)), "na");
  EXPECT_EQ(str(getLevel2PosTag(NA)), "na");
  EXPECT_EQ(str(getLevel1PosTag(NA)), "na");
}

TEST(PosValue, NamedConstantsMatchTheTable) {
  EXPECT_EQ(getPosValue("nng"), NNG);
  EXPECT_EQ(getPosValue("nfu"), NFU);
  EXPECT_EQ(getPosValue("jks"), JKS);
  EXPECT_EQ(getPosValue("j_"), J_);
  EXPECT_EQ(getPosValue("ef"), EF);
  EXPECT_EQ(getPosValue("xsb"), XSB);
  EXPECT_EQ(getPosValue("vcn"), VCN);
  EXPECT_EQ(POS_ZERO, 0u);
}

TEST(PosValue, UnknownNamesFallBack) {
  EXPECT_EQ(getPosValue(""), NA);
  EXPECT_EQ(getPosValue(nullptr), NA);
  EXPECT_EQ(getPosValue("NNG"), NA);
  EXPECT_EQ(getPosValue("Nng"), NA);
  EXPECT_EQ(getPosValue("nngx"), NA);
  EXPECT_EQ(getPosValue("nn"), NA);
  EXPECT_EQ(getPosValue("nng "), NA);
  EXPECT_EQ(getPosValue("a"), NA);
  EXPECT_EQ(getPosValue("zz"), NA);
  // Class names are not tag names.
  EXPECT_EQ(getPosValue("ma"), NA);
  EXPECT_EQ(getPosValue("n_"), NA);
  EXPECT_EQ(getPosValue("xs"), NA);
  EXPECT_EQ(getPosValue("s_"), NA);
  EXPECT_EQ(getPosValue("e_"), NA);
  EXPECT_EQ(getPosValue("jk"), NA);
  // Any other "vc..." name is the positive copula.
  EXPECT_EQ(getPosValue("vcx"), VCP);
  EXPECT_EQ(getPosValue("vc"), VCP);
  EXPECT_EQ(getPosValue("vcnn"), VCP);
  EXPECT_EQ(getPosValue("v"), NA);
  EXPECT_EQ(getPosValue("vz"), NA);
}

TEST(PosCode, ComparisonIgnoresFlagBit) {
  const pos_t flagged(NF | 1u);
  EXPECT_TRUE(flagged == pos_t(NF));
  EXPECT_TRUE(flagged == NF);
  EXPECT_TRUE(NF == flagged);
  EXPECT_FALSE(flagged != NF);
  EXPECT_FALSE(NF != flagged);
  EXPECT_FALSE(flagged != pos_t(NF));
  EXPECT_TRUE(flagged != NNG);
  EXPECT_TRUE(NNG != flagged);
  EXPECT_FALSE(flagged == pos_t(NNB));
  // Any other bit counts, the highest included.
  EXPECT_TRUE(pos_t(NF) != (NF & 0x7FFFFFFFu));
  EXPECT_TRUE(pos_t(0u) == 1u);
}

TEST(PosCode, AssignmentAndMergeHandleFlagBit) {
  pos_t p;
  EXPECT_EQ(static_cast<unsigned int>(p), 0u);
  p = NNG | 1u;
  EXPECT_EQ(static_cast<unsigned int>(p), NNG | 1u);
  pos_t q;
  q = p;
  EXPECT_EQ(static_cast<unsigned int>(q), NNG | 1u);
  const pos_t copied(p);
  EXPECT_EQ(static_cast<unsigned int>(copied), NNG | 1u);

  // The left operand's flag bit survives; the right one's is not taken.
  pos_t merged(NNG);
  merged |= pos_t(0x00800000u | 1u);
  EXPECT_EQ(static_cast<unsigned int>(merged), NNG | 0x00800000u);
  pos_t flagged(SF | 1u);
  flagged |= pos_t(0x00400000u);
  EXPECT_EQ(static_cast<unsigned int>(flagged), SF | 0x00400000u | 1u);
  pos_t group(EP);
  group |= pos_t(0x00080000u);
  EXPECT_EQ(static_cast<unsigned int>(group), EP | 0x00080000u);
}

TEST(PosDecode, ZeroAndNamelessCells) {
  EXPECT_EQ(str(getLevel1PosTag(POS_ZERO)), "_");
  EXPECT_EQ(str(getLevel2PosTag(POS_ZERO)), "_");
  EXPECT_EQ(str(getLevel3PosTag(POS_ZERO)), "_");
  EXPECT_EQ(str(getLevel3PosTag(1u)), "_");
  // The group bits alone do not name anything.
  EXPECT_EQ(str(getLevel3PosTag(0x00180000u)), "_");

  // Class fields on their own.
  EXPECT_EQ(str(getLevel3PosTag(0x00000010u)), "s_");
  EXPECT_EQ(str(getLevel3PosTag(0x00000080u)), "xs_");
  EXPECT_EQ(str(getLevel2PosTag(0x00000080u)), "xs_");
  EXPECT_EQ(str(getLevel3PosTag(0x00000400u)), "e_");
  EXPECT_EQ(str(getLevel2PosTag(0x00000400u)), "e__");
  EXPECT_EQ(str(getLevel3PosTag(0x00002000u)), "ma");
  EXPECT_EQ(str(getLevel3PosTag(0x00008000u)), "vc");
  EXPECT_EQ(str(getLevel3PosTag(0x00010000u)), "v_");
  EXPECT_EQ(str(getLevel3PosTag(0x00020000u)), "n_");

  // A subclass that the class does not have: no name at levels 2 and 3.
  EXPECT_EQ(getLevel3PosTag(0x00200002u), nullptr);
  EXPECT_EQ(getLevel2PosTag(0x00200002u), nullptr);
  EXPECT_EQ(str(getLevel1PosTag(0x00200002u)), "sn");
  EXPECT_EQ(getLevel3PosTag(0x80000010u), nullptr);
  EXPECT_EQ(getLevel3PosTag(0x00200000u), nullptr);
  EXPECT_EQ(str(getLevel1PosTag(0x00200000u)), "_");
  // The last subclass column and class row exist but are empty.
  EXPECT_EQ(getLevel3PosTag(0x80000800u), nullptr);
  EXPECT_EQ(getLevel2PosTag(0x80040000u), nullptr);
  EXPECT_EQ(getLevel3PosTag(0xFFFFFFFFu), nullptr);
}

TEST(PosDecode, LowerByteOfClassFieldDecides) {
  // sn (field bit 0) and nng's class (field bit 16) lie in different bytes.
  EXPECT_EQ(str(getLevel1PosTag(SN | NNG)), "sn");
  // e_ is field bit 9, byte 1; sl is field bit 2, byte 0.
  EXPECT_EQ(str(getLevel1PosTag(0x00000400u | SL)), "sl");
  // xp (byte 1) and vc (byte 1): the higher bit of that byte.
  EXPECT_EQ(str(getLevel1PosTag(0x00000200u | 0x00008000u)), "vc");
  // Within one byte the highest bit wins.
  EXPECT_EQ(str(getLevel1PosTag(SN | SH)), "sh");
  // Subclass bits in different bytes: jc's bit (byte 1) loses to jks's.
  EXPECT_EQ(str(getLevel3PosTag(JKS | JC)), "jks");
}

TEST(PosBitIndex, HighestBitOfLowestNonZeroByte) {
  EXPECT_EQ(bit_index(0u), 0);
  for (int bit = 0; bit < 32; ++bit) {
    SCOPED_TRACE(bit);
    EXPECT_EQ(bit_index(1u << bit), bit + 1);
  }
  EXPECT_EQ(bit_index(0x03u), 2);
  EXPECT_EQ(bit_index(0xFFu), 8);
  EXPECT_EQ(bit_index(0x0180u), 8);
  EXPECT_EQ(bit_index(0x0300u), 10);
  EXPECT_EQ(bit_index(0x80010000u), 17);
  EXPECT_EQ(bit_index(0xFF000000u), 32);
  EXPECT_EQ(bit_index(0xFFFFFFFFu), 8);
}
