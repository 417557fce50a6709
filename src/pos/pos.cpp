#include "pos/pos.h"

#include <cstring>

namespace {

// Everything but the flag bit.
constexpr unsigned int TAG_MASK = ~0x1u;

constexpr int CLASS_ROWS = 20;
constexpr int SUBCLASS_COLUMNS = 13;

// Class names by class index (0 when the class field is empty).
const char* const LEVEL1_NAMES[] = {
    "_",  "sn", "sh", "sl", "s_", "xr", "xsb", "xs", "xsn", "xp",
    "e_", "j_", "ic", "ma", "mm", "vc", "v_",  "n_", "na",
};
constexpr int LEVEL1_ROWS =
    static_cast<int>(sizeof LEVEL1_NAMES / sizeof LEVEL1_NAMES[0]);

// Full tag names by (class index, subclass index); unlisted cells are null.
const char* const LEVEL3_NAMES[CLASS_ROWS][SUBCLASS_COLUMNS] = {
    {"_"},
    {"sn"},
    {"sh"},
    {"sl"},
    {"s_", "sf", "sp", "ss", "se", "so", "sw"},
    {"xr"},
    {"xsb"},
    {"xs_", "xsv", "xsa"},
    {"xsn"},
    {"xpn"},
    {"e_", "ep", "ef", "ec", "etm", "etn"},
    {"j_", "jks", "jkc", "jkg", "jko", "jkb", "jkv", "jkq", "jx", "jc"},
    {"ic"},
    {"ma", "mag", "maj"},
    {"mm"},
    {"vc", "vcp", "vcn"},
    {"v_", "vv", "va", "vx", "vf"},
    {"n_", "nng", "nfg", "nnc", "nnx", "nnu", "nfu", "nnp", "nr", "np", "nnb",
     "nf"},
    {"na"},
    {},
};

// Level-2 names: the subclasses of xs, ma and vc fold into their class, ef
// and ec into "em", the case particles into "jk".
const char* const LEVEL2_NAMES[CLASS_ROWS][SUBCLASS_COLUMNS] = {
    {"_"},
    {"sn"},
    {"sh"},
    {"sl"},
    {"s_", "sf", "sp", "ss", "se", "so", "sw"},
    {"xr"},
    {"xsb"},
    {"xs_", "xs", "xs"},
    {"xsn"},
    {"xpn"},
    {"e__", "ep", "em", "em", "etm", "etn"},
    {"j__", "jk", "jk", "jk", "jk", "jk", "jk", "jk", "jx", "jc"},
    {"ic"},
    {"ma", "ma", "ma"},
    {"mm"},
    {"vc", "vc", "vc"},
    {"v_", "vv", "va", "vx", "vf"},
    {"n_", "nng", "nfg", "nnc", "nnx", "nnu", "nfu", "nnp", "nr", "np", "nnb",
     "nf"},
    {"na"},
    {},
};

// Entry b: 1-based position of the highest set bit of b; 0 for 0.
constexpr struct BitTable {
  unsigned char entry[256];
  constexpr BitTable() : entry() {
    for (int b = 1; b < 256; ++b) {
      int position = 0;
      for (int v = b; v != 0; v >>= 1) ++position;
      entry[b] = static_cast<unsigned char>(position);
    }
  }
} lowestBitTable;

int classIndex(pos_t pos) {
  return bit_index((static_cast<unsigned int>(pos) >> 1) & 0x3FFFFu);
}

int subclassIndex(pos_t pos) {
  return bit_index(static_cast<unsigned int>(pos) >> 21);
}

const char* lookup(const char* const (&table)[CLASS_ROWS][SUBCLASS_COLUMNS],
                   pos_t pos) {
  const int row = classIndex(pos);
  const int column = subclassIndex(pos);
  if (row < 0 || row >= CLASS_ROWS || column < 0 ||
      column >= SUBCLASS_COLUMNS)
    return nullptr;
  return table[row][column];
}

struct NamedCode {
  const char* name;
  unsigned int code;
};

// Known names by first letter, in the order they are compared.
const NamedCode E_NAMES[] = {
    {"ep", EP}, {"ef", EF}, {"ec", EC}, {"etm", ETM}, {"etn", ETN}};
const NamedCode I_NAMES[] = {{"ic", IC}};
const NamedCode J_NAMES[] = {{"jks", JKS}, {"jkc", JKC}, {"jkg", JKG},
                             {"jko", JKO}, {"jkb", JKB}, {"jkv", JKV},
                             {"jkq", JKQ}, {"jx", JX},   {"jc", JC},
                             {"j_", J_}};
const NamedCode M_NAMES[] = {{"mm", MM}, {"mag", MAG}, {"maj", MAJ}};
const NamedCode N_NAMES[] = {{"nng", NNG}, {"nfg", NFG}, {"nnc", NNC},
                             {"nnx", NNX}, {"nnu", NNU}, {"nfu", NFU},
                             {"nnp", NNP}, {"nr", NR},   {"np", NP},
                             {"nnb", NNB}, {"nf", NF}};
const NamedCode S_NAMES[] = {{"sf", SF}, {"sp", SP}, {"ss", SS},
                             {"se", SE}, {"so", SO}, {"sw", SW},
                             {"sl", SL}, {"sh", SH}, {"sn", SN}};
const NamedCode V_NAMES[] = {{"vv", VV}, {"va", VA},   {"vx", VX},
                             {"vf", VF}, {"vcp", VCP}, {"vcn", VCN}};
const NamedCode X_NAMES[] = {{"xpn", XPN}, {"xsn", XSN}, {"xsv", XSV},
                             {"xsa", XSA}, {"xsb", XSB}, {"xr", XR}};

template <size_t N>
bool findCode(const NamedCode (&names)[N], const char* name,
              unsigned int* code) {
  for (const NamedCode& entry : names) {
    if (strcmp(entry.name, name) == 0) {
      *code = entry.code;
      return true;
    }
  }
  return false;
}

}  // namespace

pos_t& pos_t::operator=(const pos_t& other) {
  value_ = other.value_;
  return *this;
}

pos_t& pos_t::operator=(unsigned int value) {
  value_ = value;
  return *this;
}

pos_t& pos_t::operator|=(const pos_t& other) {
  value_ |= other.value_ & TAG_MASK;
  return *this;
}

bool pos_t::operator==(const pos_t& other) const {
  return ((value_ ^ other.value_) & TAG_MASK) == 0;
}

bool pos_t::operator!=(const pos_t& other) const { return !(*this == other); }

bool pos_t::operator==(unsigned int other) const {
  return ((value_ ^ other) & TAG_MASK) == 0;
}

bool pos_t::operator!=(unsigned int other) const { return !(*this == other); }

pos_t::operator unsigned int() const { return value_; }

bool operator==(unsigned int a, const pos_t& b) { return b == a; }

bool operator!=(unsigned int a, const pos_t& b) { return b != a; }

unsigned int getPosValue(const char* name) {
  if (name == nullptr) return NA;
  unsigned int code = NA;
  switch (name[0]) {
    case 'e':
      findCode(E_NAMES, name, &code);
      break;
    case 'i':
      findCode(I_NAMES, name, &code);
      break;
    case 'j':
      findCode(J_NAMES, name, &code);
      break;
    case 'm':
      findCode(M_NAMES, name, &code);
      break;
    case 'n':
      findCode(N_NAMES, name, &code);
      break;
    case 's':
      findCode(S_NAMES, name, &code);
      break;
    case 'v':
      // Any other "vc..." name is taken as the positive copula.
      if (!findCode(V_NAMES, name, &code) && name[1] == 'c') code = VCP;
      break;
    case 'x':
      findCode(X_NAMES, name, &code);
      break;
    default:
      break;
  }
  return code;
}

const char* getLevel1PosTag(pos_t pos) {
  const int row = classIndex(pos);
  if (row < 0 || row >= LEVEL1_ROWS) return nullptr;
  return LEVEL1_NAMES[row];
}

const char* getLevel2PosTag(pos_t pos) { return lookup(LEVEL2_NAMES, pos); }

const char* getLevel3PosTag(pos_t pos) { return lookup(LEVEL3_NAMES, pos); }

int bit_index(unsigned int x) {
  for (int byte = 0; byte < 4; ++byte) {
    const unsigned int bits = (x >> (8 * byte)) & 0xFFu;
    if (bits != 0) return lowestBitTable.entry[bits] + 8 * byte;
  }
  return 0;
}
