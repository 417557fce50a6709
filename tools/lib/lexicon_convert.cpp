#include "lexicon_convert.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>

#include "base/text.h"
#include "knowledge/lexicon_source.h"
#include "mecab_dic.h"
#include "mecab_model.h"
#include "pos/pos.h"

namespace {

// --- Hangul ---------------------------------------------------------------

constexpr char16_t SYLLABLE_FIRST = 0xAC00;
constexpr char16_t SYLLABLE_LAST = 0xD7A3;

constexpr char16_t JAMO_NIEUN = 0x3134;  // ㄴ
constexpr char16_t JAMO_RIEUL = 0x3139;  // ㄹ
constexpr char16_t JAMO_MIEUM = 0x3141;  // ㅁ
constexpr char16_t JAMO_BIEUP = 0x3142;  // ㅂ

constexpr char16_t SYL_A = 0xC544;    // 아
constexpr char16_t SYL_EO = 0xC5B4;   // 어
constexpr char16_t SYL_YEO = 0xC5EC;  // 여
constexpr char16_t SYL_I = 0xC774;    // 이
constexpr char16_t SYL_EU = 0xC73C;   // 으
constexpr char16_t SYL_RO = 0xB85C;   // 로
constexpr char16_t SYL_HA = 0xD558;   // 하

// Initial, medial and final indices.
enum { I_NIEUN = 2, I_BIEUP = 7, I_SIOS = 9, I_IEUNG = 11 };
enum { M_A = 0, M_AE = 1, M_EO = 4, M_YEO = 6, M_O = 8, M_WA = 9, M_WAE = 10,
       M_WEO = 14, M_EU = 18, M_I = 20, M_YE = 7 };
enum { F_SSANGSIOS = 20 };

bool isSyllable(char16_t c) { return c >= SYLLABLE_FIRST && c <= SYLLABLE_LAST; }

struct Syllable {
  int initial, medial, final;
};

Syllable split(char16_t c) {
  int v = c - SYLLABLE_FIRST;
  return Syllable{v / 588, (v / 28) % 21, v % 28};
}

char16_t compose(int initial, int medial, int final) {
  return static_cast<char16_t>(SYLLABLE_FIRST + (initial * 21 + medial) * 28 + final);
}

// Compatibility consonants by final index 1..27.
const char16_t FINAL_COMPAT[28] = {
    0,      0x3131, 0x3132, 0x3133, 0x3134, 0x3135, 0x3136, 0x3137, 0x3139, 0x313A,
    0x313B, 0x313C, 0x313D, 0x313E, 0x313F, 0x3140, 0x3141, 0x3142, 0x3144, 0x3145,
    0x3146, 0x3147, 0x3148, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
// Compatibility consonants by initial index 0..18.
const char16_t INITIAL_COMPAT[19] = {
    0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141, 0x3142, 0x3143, 0x3145,
    0x3146, 0x3147, 0x3148, 0x3149, 0x314A, 0x314B, 0x314C, 0x314D, 0x314E};

int finalIndexOf(char16_t compat) {
  for (int i = 1; i < 28; ++i)
    if (FINAL_COMPAT[i] == compat) return i;
  return 0;
}

bool isCompatJamo(char16_t c) { return c >= 0x3131 && c <= 0x318E; }
bool isCompatVowel(char16_t c) { return c >= 0x314F && c <= 0x3163; }

// The four jamo that stand for a contracted ending or particle.
bool isContractionJamo(char16_t c) {
  return c == JAMO_NIEUN || c == JAMO_RIEUL || c == JAMO_MIEUM || c == JAMO_BIEUP;
}

bool endsWith(const std::u16string& s, const std::u16string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// --- Tags -------------------------------------------------------------------

bool isEndingTag(const std::string& t) {
  return t == "ep" || t == "ef" || t == "ec" || t == "etm" || t == "etn";
}

bool isParticleTag(const std::string& t) { return !t.empty() && t[0] == 'j'; }

bool isNounTag(const std::string& t) {
  return t == "nng" || t == "nnp" || t == "nnb" || t == "nr" || t == "np";
}

bool isPredicateTag(const std::string& t) {
  return t == "vv" || t == "va" || t == "vx" || t == "vcp" || t == "vcn";
}

// Tags after which a fused ending can be split off into a piece.
bool isStemTag(const std::string& t) {
  return isPredicateTag(t) || t == "xsv" || t == "xsa" || t == "ep";
}

bool isSymbolTag(const std::string& t) {
  return t == "sf" || t == "sp" || t == "ss" || t == "se" || t == "so" || t == "sw";
}

// The tag the analyzer's own symbol runs give an ASCII character, or "".
std::string asciiSymbolTag(char16_t c) {
  if (c == '!' || c == '.' || c == '?') return "sf";
  if (c == ',' || c == '/' || c == ';') return "sp";
  if (std::strchr("\"'()<>[]{}", static_cast<char>(c)) != nullptr && c != 0) return "ss";
  if (c == '-' || c == '_' || c == '~') return "so";
  return "";
}

void addUnique(std::vector<std::string>* list, const std::string& item) {
  if (std::find(list->begin(), list->end(), item) == list->end()) list->push_back(item);
}

void applyListed(std::vector<std::string>* markers,
                 const std::vector<std::string>& listed) {
  for (const std::string& m : listed) {
    if (!m.empty() && m[0] == '!') {
      markers->erase(std::remove(markers->begin(), markers->end(), m.substr(1)),
                     markers->end());
    } else {
      addUnique(markers, m);
    }
  }
}

std::vector<std::string> splitOn(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t at = s.find(sep, start);
    parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos
                                                            : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return parts;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

// Jamo of an expression form to compatibility jamo; a leading vowel jamo
// (ㅓ, ㅏ, ㅕ, ㅔ: a contracted 어/아) becomes the syllable with ㅇ, taking
// a following consonant as its final (ㅓㅆ → 었). False when jamo remain
// anywhere but as the first unit, or the first is not one of ㄴ ㄹ ㅁ ㅂ.
bool normalizeForm(const std::u16string& in, std::u16string* out) {
  std::u16string s;
  for (char16_t c : in) s.push_back(toCompatibilityJamo(c));
  if (!s.empty() && isCompatVowel(s[0])) {
    int medial = s[0] - 0x314F;
    int final = 0;
    size_t used = 1;
    if (s.size() > 1 && isCompatJamo(s[1]) && !isCompatVowel(s[1])) {
      final = finalIndexOf(s[1]);
      if (final > 0) used = 2;
    }
    s = std::u16string(1, compose(I_IEUNG, medial, final)) + s.substr(used);
  }
  if (s.empty()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (!isCompatJamo(s[i])) continue;
    if (i != 0 || !isContractionJamo(s[i])) return false;
  }
  *out = s;
  return true;
}

// Endings whose 으-form is the same ending after a closed syllable begin
// with ㄴ, ㄹ, ㅁ or ㅅ (니까/으니까, 러/으러, 면/으면, 시/으시) or are 오;
// 고, 다, 지, 어 and their like have no such twin (으고, 으다 are dialect).
bool takesEpentheticEu(const Syllable& s) {
  enum { I_RIEUL = 5, I_MIEUM = 6 };
  enum { M_E = 5 };
  if (s.initial == I_NIEUN) return s.medial != M_E;  // not 네
  if (s.initial == I_RIEUL) return s.medial != M_O;  // not 로
  if (s.initial == I_MIEUM || s.initial == I_SIOS) return true;
  return s.initial == I_IEUNG && s.medial == M_O;    // 오, 옵
}

// A stem whose last syllable lost the 어/아 of an ending it swallowed (아퍼
// read as 아프 alone, 났 as 나): the ending is missing from the analysis.
bool losesVowel(const std::u16string& surface, const std::u16string& form) {
  if (surface.empty() || form.empty() || surface.size() != form.size()) return false;
  char16_t s = surface.back(), f = form.back();
  if (!isSyllable(s) || !isSyllable(f) || s == f) return false;
  Syllable a = split(s), b = split(f);
  if (a.final == F_SSANGSIOS && b.final != F_SSANGSIOS) return true;
  static const int fused[] = {M_A, M_AE, M_EO, M_YEO, M_WA, M_WAE, M_WEO};
  if (a.medial == b.medial) return false;
  return std::find(std::begin(fused), std::end(fused), a.medial) != std::end(fused);
}

// A stem syllable that swallows a following 아/어 without changing (가+아
// → 가, 서+어 → 서, 개+어 → 개) is open and ends in ㅏ ㅐ ㅓ ㅔ ㅕ; 하 never
// does (하+여 → 해).
bool absorbsVowel(char16_t stemLast) {
  if (!isSyllable(stemLast) || stemLast == SYL_HA) return false;
  Syllable s = split(stemLast);
  enum { M_E = 5 };
  return s.final == 0 && (s.medial == M_A || s.medial == M_AE || s.medial == M_EO ||
                          s.medial == M_E || s.medial == M_YEO);
}

// The copula 이 fused into the first syllable (이, 인, 입, 여, 였, 예...),
// as opposed to a copula the surface leaves out (라는 read as 이+라는).
bool spellsCopula(const std::u16string& surface) {
  if (surface.empty() || !isSyllable(surface[0])) return false;
  Syllable s = split(surface[0]);
  return s.initial == I_IEUNG &&
         (s.medial == M_I || s.medial == M_YEO || s.medial == M_YE);
}

}  // namespace

// --- Text helpers -------------------------------------------------------------

std::u16string utf8ToUnits(const std::string& text) {
  std::u16string out;
  size_t i = 0, n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      return std::u16string();
    }
    if (i + len > n) return std::u16string();
    for (size_t k = 1; k < len; ++k) {
      unsigned char d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return std::u16string();
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp > 0xFFFF || cp == 0) return std::u16string();  // outside the BMP
    out.push_back(static_cast<char16_t>(cp));
    i += len;
  }
  return out;
}

std::string unitsToUtf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

char16_t toCompatibilityJamo(char16_t c) {
  if (c >= 0x1100 && c <= 0x1112) return INITIAL_COMPAT[c - 0x1100];
  if (c >= 0x1161 && c <= 0x1175) return static_cast<char16_t>(0x314F + (c - 0x1161));
  if (c >= 0x11A8 && c <= 0x11C2) return FINAL_COMPAT[c - 0x11A8 + 1];
  return c;
}

std::string escapeField(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::strchr("\\+[]/~# \t", c) != nullptr && c != 0) out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

// --- Attribute lists ----------------------------------------------------------

bool AttributeLists::parse(const std::string& text, const std::string& name,
                           std::vector<std::string>* errors) {
  bool ok = true;
  std::vector<std::string> lines = splitOn(text, '\n');
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string line = lines[i];
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    line = trim(line);
    if (line.empty()) continue;
    size_t blank = line.find_first_of(" \t");
    std::string head = line.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : trim(line.substr(blank));
    auto fail = [&](const std::string& message) {
      errors->push_back(name + ":" + std::to_string(i + 1) + ": " + message);
      ok = false;
    };
    if (rest.empty()) {
      fail("a form without markers");
      continue;
    }
    Rule rule;
    std::string form = head;
    size_t slash = head.rfind('/');
    if (slash == std::string::npos) {
      fail("a form without \"/TAG\"");
      continue;
    }
    form = head.substr(0, slash);
    for (const std::string& t : splitOn(head.substr(slash + 1), ','))
      if (!t.empty()) rule.tags.push_back(t);
    if (rule.tags.empty()) {
      fail("a \"/\" without tags");
      continue;
    }
    for (const std::string& m : splitOn(rest, ','))
      if (!trim(m).empty()) rule.markers.push_back(trim(m));
    std::u16string units = utf8ToUnits(form);
    if (units.empty()) {
      fail("empty or malformed form");
      continue;
    }
    rules_[units].push_back(rule);
  }
  return ok;
}

std::vector<std::string> AttributeLists::find(const std::u16string& form,
                                              const std::string& tag) const {
  std::vector<std::string> out;
  auto it = rules_.find(form);
  if (it == rules_.end()) return out;
  for (const Rule& r : it->second) {
    bool matches = false;
    for (const std::string& t : r.tags) {
      // "e*" stands for every ending tag, "j*" for every particle tag.
      if (t == tag || (t == "e*" && isEndingTag(tag)) || (t == "j*" && isParticleTag(tag)))
        matches = true;
    }
    if (!matches) continue;
    out.insert(out.end(), r.markers.begin(), r.markers.end());
  }
  return out;
}

// --- Attribute rules ------------------------------------------------------------

std::vector<std::string> endingMarkers(const std::u16string& form,
                                       const std::string& tag,
                                       const AttributeContext& ctx) {
  std::vector<std::string> m;
  if (form.empty()) return m;
  if (isSyllable(form[0])) {
    Syllable s = split(form[0]);
    auto hasEnding = [&](const std::u16string& f) {
      for (const char* t : {"ep", "ef", "ec", "etm", "etn"})
        if (ctx.endings.count({f, t})) return true;
      return false;
    };
    if (s.initial == I_IEUNG && s.medial == M_EU) {
      // 으면, 은, 을: the 으 fills a closed syllable and drops after ㄹ.
      addUnique(&m, "@유종성");
      addUnique(&m, "-ㄹ종성");
    } else if (takesEpentheticEu(s) && hasEnding(std::u16string(1, SYL_EU) + form)) {
      // 면 of 으면: after an open syllable; ㄹ keeps its place (살면) unless
      // the ending begins with ㄴ ㅅ ㅂ or 오, before which it drops (사니).
      addUnique(&m, "@무종성");
      bool rieulDrops = s.initial == I_NIEUN || s.initial == I_SIOS ||
                        s.initial == I_BIEUP ||
                        (s.initial == I_IEUNG && s.medial == M_O);
      if (!rieulDrops) addUnique(&m, "@ㄹ종성");
    }
    if (s.initial == I_SIOS && s.medial == M_EU && s.final == 17) {
      // 습니다 after a closed syllable other than ㄹ (삽니다, not 살습니다).
      addUnique(&m, "@유종성");
      addUnique(&m, "-ㄹ종성");
    }
    if (s.initial == I_NIEUN && s.medial == M_EU) {
      // 는, 느냐: ㄹ drops before them (사는).
      addUnique(&m, "-ㄹ종성");
      if (form.size() >= 2 && s.final == 4 && form[1] == 0xB2E4) {
        // 는다: the closed-syllable present of verbs only (먹는다, 간다).
        addUnique(&m, "@유종성");
        addUnique(&m, "-형용사");
        addUnique(&m, "-선어말어미");
      }
    }
  }
  if (tag == "ec") {
    // An ending seen before an auxiliary predicate, itself or its 으-twin
    // (려/으려), may take one; the others may not.
    std::u16string twin = form.size() > 1 && form[0] == SYL_EU
                              ? form.substr(1)
                              : std::u16string(1, SYL_EU) + form;
    if (!ctx.ecBeforeAux.count(form) && !ctx.ecBeforeAux.count(twin))
      addUnique(&m, "보조용언-");
  }
  applyListed(&m, ctx.lists.find(form, tag));
  return m;
}

std::vector<std::string> particleMarkers(const std::u16string& form,
                                         const std::string& tag,
                                         const AttributeContext& ctx) {
  std::vector<std::string> m;
  if (form.empty()) return m;
  if (form[0] == SYL_I && form.size() > 1 && ctx.particles.count({form.substr(1), tag})) {
    addUnique(&m, "@유종성");  // 이나 of 나/이나
  } else if (ctx.particles.count({std::u16string(1, SYL_I) + form, tag})) {
    addUnique(&m, "@무종성");  // 나 of 나/이나
  }
  if (form.size() > 1 && form[0] == SYL_EU && form[1] == SYL_RO &&
      ctx.particles.count({form.substr(1), tag})) {
    addUnique(&m, "@유종성");  // 으로 after a closed syllable
  } else if (form[0] == SYL_RO &&
             ctx.particles.count({std::u16string(1, SYL_EU) + form, tag})) {
    addUnique(&m, "@무종성");  // 로 after an open syllable or ㄹ
    addUnique(&m, "+ㄹ종성");
  }
  applyListed(&m, ctx.lists.find(form, tag));
  return m;
}

std::vector<std::string> analysisMarkers(const ConvAnalysis& a,
                                         const AttributeContext& ctx) {
  std::vector<std::string> out;
  if (a.morphemes.empty()) return out;
  const ConvMorpheme& first = a.morphemes.front();
  const ConvMorpheme& last = a.morphemes.back();
  std::string lexicon;  // of the first morpheme's bits
  if (isEndingTag(first.tag)) {
    lexicon = "eomi";
    for (const std::string& m : endingMarkers(first.form, first.tag, ctx))
      out.push_back("eomi:" + m);
  } else if (isParticleTag(first.tag)) {
    lexicon = "josa";
    for (const std::string& m : particleMarkers(first.form, first.tag, ctx))
      out.push_back("josa:" + m);
  } else if (first.tag == "nnb") {
    lexicon = "nnb";
    out.push_back(first.unit ? "nnb:@단위" : "nnb:+의존");
  }
  if (a.morphemes.size() > 1) {
    // What may follow the last morpheme.
    if (last.tag == "ec" && (lexicon.empty() || lexicon == "eomi")) {
      for (const std::string& m : endingMarkers(last.form, last.tag, ctx))
        if (m == "보조사-" || m == "보조용언-") addUnique(&out, "eomi:" + m);
    } else if (last.tag == "jx" && (lexicon.empty() || lexicon == "josa")) {
      for (const std::string& m : particleMarkers(last.form, last.tag, ctx))
        if (m == "보조사-") addUnique(&out, "josa:" + m);
    }
  }
  for (const std::string& m : a.extraMarkers) addUnique(&out, m);
  // The rules let no ending follow the adjective suffix except through a
  // clue that admits an ending.
  if (out.empty() && last.tag == "xsa") out.push_back("clue:어미+");
  return out;
}

std::string formatAnalysis(const ConvAnalysis& a,
                           const std::vector<std::string>& markers) {
  std::string out;
  for (size_t i = 0; i < a.morphemes.size(); ++i) {
    const ConvMorpheme& m = a.morphemes[i];
    if (i > 0) out += '+';
    if (!m.spelled) out += '~';
    out += escapeField(unitsToUtf8(m.form));
    out += '/';
    out += m.tag;
  }
  if (!markers.empty()) {
    out += '[';
    for (size_t i = 0; i < markers.size(); ++i) {
      if (i > 0) out += ',';
      out += markers[i];
    }
    out += ']';
  }
  return out;
}

// --- The converter ----------------------------------------------------------------

LexiconConverter::LexiconConverter(const ConvertOptions& options)
    : options_(options) {}

std::string LexiconConverter::mapTag(const std::string& mecabTag) {
  std::string t;
  if (mecabTag == "NNBC") {
    t = "nnb";
  } else if (mecabTag == "SSO" || mecabTag == "SSC") {
    t = "ss";
  } else if (mecabTag == "SC") {
    t = "sp";
  } else if (mecabTag == "SY") {
    t = "sw";
  } else {
    for (char c : mecabTag) t.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  if (t.empty() || getPosValue(t.c_str()) == NA) return "";
  // getPosValue reads every name beginning with "vc" as vcp.
  if (t.compare(0, 2, "vc") == 0 && t != "vcp" && t != "vcn") return "";
  return t;
}

// Conjunctive adverbs proper: those that join sentences by pointing back at
// what was said (그리고, 그러나, 그래서, 그런데, 그러므로 and the other 그-
// forms) and the coordinators of words and clauses.
static bool isConjunctiveAdverb(const std::u16string& form) {
  static const char16_t* const OTHERS[] = {u"및", u"또는", u"혹은", u"내지",
                                           u"하지만", u"따라서", u"근데"};
  if (!form.empty() && form[0] == u'그') return true;
  for (const char16_t* o : OTHERS)
    if (form == o) return true;
  return false;
}

std::string LexiconConverter::conventionTag(const std::u16string& form,
                                           const std::string& tag) {
  if (tag == "va" && form == u"있") return "vv";
  // Sentence adverbs that the source files with the conjunctive ones
  // (또한, 역시, 다만, 오히려) modify the sentence: general adverbs.
  if (tag == "maj" && !isConjunctiveAdverb(form)) return "mag";
  return tag;
}

std::u16string LexiconConverter::haEndingForm(const std::u16string& form) {
  if (form.empty() || !isSyllable(form[0])) return form;
  Syllable s = split(form[0]);
  if (s.initial != I_IEUNG || s.medial != M_YEO) return form;
  std::u16string out = form;
  out[0] = compose(I_IEUNG, M_A, s.final);
  return out;
}

bool LexiconConverter::isHaStem(const std::u16string& form, const std::string& tag) {
  return form == u"하" && (tag == "vv" || tag == "va" || tag == "vx" ||
                           tag == "xsv" || tag == "xsa");
}

// True when `form` stands at `pos` of `surface` with its last syllable
// closed by the jamo that begins the next morpheme (하 in 합 before ㅂ니다):
// the morpheme still covers its own syllables.
static bool spelledWithFusedJamo(const std::u16string& surface, size_t pos,
                                 const std::u16string& form, char16_t next) {
  size_t n = form.size();
  if (n == 0 || pos + n > surface.size() || !isContractionJamo(next)) return false;
  if (surface.compare(pos, n - 1, form, 0, n - 1) != 0) return false;
  char16_t s = surface[pos + n - 1], f = form[n - 1];
  if (!isSyllable(s) || !isSyllable(f)) return false;
  Syllable a = split(s), b = split(f);
  return b.final == 0 && a.initial == b.initial && a.medial == b.medial &&
         a.final == finalIndexOf(next);
}

void LexiconConverter::assignSpelling(const std::u16string& surface,
                                      std::vector<ConvMorpheme>* morphemes) {
  size_t pos = 0;
  for (size_t i = 0; i < morphemes->size(); ++i) {
    ConvMorpheme& m = (*morphemes)[i];
    char16_t next = i + 1 < morphemes->size() ? (*morphemes)[i + 1].form[0] : 0;
    if (m.tag != "_" && ((pos + m.form.size() <= surface.size() &&
                          surface.compare(pos, m.form.size(), m.form) == 0) ||
                         spelledWithFusedJamo(surface, pos, m.form, next))) {
      m.spelled = true;
      pos += m.form.size();
    } else {
      m.spelled = false;
    }
  }
}

bool LexiconConverter::convertExpression(const std::u16string& surface,
                                         const std::string& expression,
                                         std::vector<ConvMorpheme>* out,
                                         std::string* reason) {
  out->clear();
  for (const std::string& part : splitOn(expression, '+')) {
    // form/TAG/semantic; the form may itself hold "/".
    size_t last = part.rfind('/');
    size_t tagAt = last == std::string::npos ? std::string::npos : part.rfind('/', last - 1);
    if (last == std::string::npos || tagAt == std::string::npos || last == 0) {
      *reason = "malformed expression";
      return false;
    }
    std::string mecabTag = part.substr(tagAt + 1, last - tagAt - 1);
    ConvMorpheme m;
    m.tag = mapTag(mecabTag);
    if (m.tag.empty()) {
      *reason = "unknown tag " + mecabTag;
      return false;
    }
    m.unit = mecabTag == "NNBC";
    std::u16string raw = utf8ToUnits(part.substr(0, tagAt));
    if (raw.empty() || !normalizeForm(raw, &m.form) || m.form.size() > 127) {
      *reason = "form with odd jamo";
      return false;
    }
    m.tag = conventionTag(m.form, m.tag);
    if (!out->empty() && (isEndingTag(m.tag) || m.tag == "_") &&
        isHaStem(out->back().form, out->back().tag))
      m.form = haEndingForm(m.form);
    out->push_back(m);
  }
  if (out->empty()) {
    *reason = "malformed expression";
    return false;
  }
  assignSpelling(surface, out);
  return true;
}

void LexiconConverter::put(const std::u16string& surface, ConvAnalysis analysis) {
  entries_[surface].push_back(std::move(analysis));
}

void LexiconConverter::noteSequences(const std::vector<ConvMorpheme>& ms) {
  for (size_t i = 0; i < ms.size(); ++i) {
    const ConvMorpheme& m = ms[i];
    if (isEndingTag(m.tag)) ctx_.endings.insert({m.form, m.tag});
    if (isParticleTag(m.tag)) ctx_.particles.insert({m.form, m.tag});
    if (i + 1 < ms.size() && m.tag == "ec") {
      if (ms[i + 1].tag == "vx") ctx_.ecBeforeAux.insert(m.form);
    }
  }
}

void LexiconConverter::derivePieces(const std::u16string& surface,
                                    const std::vector<ConvMorpheme>& ms, int cost) {
  size_t k = ms.size();
  if (k < 2) return;
  const ConvMorpheme& last = ms[k - 1];
  if (!isEndingTag(last.tag) || !isStemTag(ms[k - 2].tag)) return;
  const std::u16string& f = last.form;
  bool jamo = isContractionJamo(f[0]);
  bool vowel = f[0] == SYL_A || f[0] == SYL_EO || f[0] == SYL_YEO;
  if (!jamo && !vowel) return;
  std::u16string rest = f.substr(1);
  if (surface.size() < rest.size() + 1 || !endsWith(surface, rest)) return;
  size_t pos = surface.size() - rest.size() - 1;
  char16_t fused = surface[pos];
  if (!isSyllable(fused)) return;
  if (jamo && split(fused).final != finalIndexOf(f[0])) return;
  if (vowel && fused == f[0]) return;  // spelled out: nothing was swallowed
  const std::u16string& stem = ms[k - 2].form;
  if (vowel && fused == stem.back() && !absorbsVowel(fused)) return;

  ConvAnalysis piece;
  piece.kind = ConvAnalysis::DERIVED;
  piece.cost = cost;
  piece.morphemes.assign(ms.begin(), ms.end() - 1);
  ConvMorpheme dangling;
  dangling.form = std::u16string(1, f[0]);
  dangling.tag = "_";
  dangling.spelled = false;
  piece.morphemes.push_back(dangling);
  std::u16string pieceKey = surface.substr(0, pos + 1);
  assignSpelling(pieceKey, &piece.morphemes);
  put(pieceKey, piece);
  count(jamo ? "derived: stem with a dangling jamo" : "derived: stem with a swallowed 아/어");

  if (rest.empty()) return;
  // Rest-keyed endings wait for enough attestations (write drops the rare
  // ones, mostly dialect spellings of a single entry).
  ConvAnalysis ending;
  ending.kind = ConvAnalysis::DERIVED;
  ending.cost = cost;
  ConvMorpheme e = last;
  e.spelled = false;
  if (vowel && f[0] != SYL_EO) ending.morphemes.push_back(dangling);
  ending.morphemes.push_back(e);
  if (vowel && f[0] == SYL_EO) ending.extraMarkers.push_back("eomi:-어생략");
  Pending& p = pending_[{rest, formatAnalysis(ending, ending.extraMarkers)}];
  if (p.attestations == 0 || cost < p.analysis.cost) p.analysis = ending;
  ++p.attestations;
}

void LexiconConverter::addPendingEndings() {
  for (auto& kv : pending_) {
    const Pending& p = kv.second;
    bool jamo = isContractionJamo(p.analysis.morphemes.back().form[0]);
    if (p.attestations < MIN_ENDING_ATTESTATIONS) {
      count("dropped: derived ending attested fewer than 3 times");
      continue;
    }
    put(kv.first.first, p.analysis);
    count(jamo ? "derived: jamo-initial ending keyed on its rest"
               : "derived: 아/어-initial ending keyed on its rest");
  }
  pending_.clear();
}

void LexiconConverter::add(const std::string& surfaceUtf8, int wcost,
                           const std::string& feature, int left, int right) {
  if (left >= 0 && right >= 0) {
    // Every token, kept or not, takes part in the connection-cost check.
    size_t comma = feature.find(',');
    std::string tag = feature.substr(0, comma);
    Token t;
    t.left = left;
    t.right = right;
    t.cost = wcost;
    t.morphemes = static_cast<int>(std::count(tag.begin(), tag.end(), '+')) + 1;
    // Conjunctive adverbs (MAJ) open sentences, which a word standing alone
    // does not show: 하지만, 따라서 stay.
    t.adverb = tag == "MAG" && feature.find(",Inflect,") == std::string::npos;
    tokens_[surfaceUtf8].push_back(t);
  }
  std::u16string original = utf8ToUnits(surfaceUtf8);
  if (original.empty()) {
    count("dropped: surface not UTF-8 inside the BMP");
    return;
  }
  // The analyzer searches lower-cased text in which every character with a
  // Hangul reading (Chinese characters) has been replaced by that reading.
  std::vector<unsigned short> buf(original.begin(), original.end());
  buf.push_back(0);
  ustrtolower(buf.data());
  std::u16string key(buf.begin(), buf.end() - 1);
  for (char16_t c : key) {
    const unsigned short* reading;
    if (utohangul(c, &reading) > 0) {
      count("dropped: key with Chinese characters (searched by reading)");
      return;
    }
  }

  std::vector<std::string> f = splitOn(feature, ',');
  while (f.size() < 8) f.push_back("*");
  if (f.size() > 8) {
    std::string expr = f[7];
    for (size_t i = 8; i < f.size(); ++i) expr += "," + f[i];
    f.resize(8);
    f[7] = expr;
  }
  const std::string& mecabTag = f[0];
  const std::string& type = f[4];
  bool multiTag = mecabTag.find('+') != std::string::npos;
  bool whole = type == "Compound" || (type == "Preanalysis" && !multiTag);
  bool expression = type == "Inflect" || (type == "Preanalysis" && multiTag) ||
                    (whole && options_.splitCompounds);

  ConvAnalysis a;
  a.cost = wcost;
  if (!expression) {
    ConvMorpheme m;
    m.tag = mapTag(mecabTag);
    if (m.tag.empty()) {
      count("dropped: unknown tag " + mecabTag);
      return;
    }
    m.unit = mecabTag == "NNBC";
    m.form = original;
    m.tag = conventionTag(m.form, m.tag);
    if (isEndingTag(m.tag) && haEndingForm(m.form) != m.form) {
      // The 여-endings stand after 하 alone (하여, 하였다), where they are
      // written as their 아-forms.
      m.form = haEndingForm(m.form);
      m.spelled = false;
    }
    if (m.form.size() > 127) {
      count("dropped: longer than 127 units");
      return;
    }
    if (isSymbolTag(m.tag) && key.size() == 1 && key[0] < 0x80 &&
        asciiSymbolTag(key[0]) == m.tag) {
      count("dropped: ASCII symbol the analyzer's symbol runs give");
      return;
    }
    if (key.size() == 1 && wcost >= RARE_ONE_SYLLABLE_COST) {
      // A rare reading of a single syllable connects almost anywhere in the
      // lattice and, through the pruning rules, can remove the right one.
      count("dropped: one-syllable entry rarer than the cost limit");
      return;
    }
    a.morphemes.push_back(m);
    a.kind = ConvAnalysis::PLAIN;
    noteSequences(a.morphemes);
    if (m.tag == "xr") {
      // No rule restricts what a root follows, and none lets a suffix follow
      // it: roots enter the lexicon only joined to their 하 forms.
      roots_.insert(key);
      count("dropped: root kept only in its 하 forms");
      return;
    }
    put(key, a);
    count(whole ? "kept: compound as one morpheme" : "kept: plain");
    return;
  }

  std::string reason;
  if (!convertExpression(key, f[7], &a.morphemes, &reason)) {
    count("dropped: " + reason);
    return;
  }
  const ConvMorpheme& first = a.morphemes.front();
  noteSequences(a.morphemes);
  if (first.tag == "vcp" && !first.spelled && !spellsCopula(key)) {
    count("dropped: copula left out of the surface (the +지정사 endings cover it)");
    return;
  }
  if (!first.spelled && isSyllable(key[0]) && isSyllable(first.form[0]) &&
      split(key[0]).initial != split(first.form[0]).initial) {
    // 에 read as 께+로, 이 as 점+이: the first morpheme borrows from a word
    // before the surface.
    count("dropped: first morpheme does not begin the surface");
    return;
  }
  if (a.morphemes.size() == 1) {
    // A variant spelling of one morpheme (깨달 for 깨닫, 노 for 놀).
    if (isStemTag(first.tag) && losesVowel(key, first.form)) {
      count("dropped: stem variant that swallows an ending");
      return;
    }
    a.kind = ConvAnalysis::VARIANT;
    put(key, a);
    count("kept: variant of one morpheme");
    return;
  }
  bool grammatical = isEndingTag(first.tag) || isParticleTag(first.tag);
  if (grammatical && !first.spelled) {
    // Only a pre-final ending fused with the next (셨 = 시+었) begins
    // where the surface does; 렸 read as 었, 는 as ㄹ지+는 borrow from
    // what precedes.
    // A particle may fuse with a following jamo (엔 = 에+ㄴ, 에선 = 에서+ㄴ)
    // but keeps its vowel.
    bool fused = isSyllable(key[0]) && isSyllable(first.form[0]);
    if (fused && isParticleTag(first.tag))
      fused = split(key[0]).medial == split(first.form[0]).medial;
    if (fused && isEndingTag(first.tag)) fused = first.tag == "ep";
    if (!fused) {
      count("dropped: starts with a particle or ending the surface does not spell");
      return;
    }
  }
  if (isParticleTag(first.tag)) {
    for (size_t i = 1; i < a.morphemes.size(); ++i) {
      const ConvMorpheme& m = a.morphemes[i];
      if (isNounTag(m.tag) || isPredicateTag(m.tag)) {
        count("dropped: particle followed by a content word");
        return;
      }
      if (!m.spelled && !(m.form.size() == 1 && isContractionJamo(m.form[0]))) {
        count("dropped: particle followed by a morpheme the surface does not spell");
        return;
      }
    }
  }
  for (size_t i = 1; i < a.morphemes.size(); ++i) {
    const ConvMorpheme& p = a.morphemes[i - 1];
    const ConvMorpheme& m = a.morphemes[i];
    if (isParticleTag(m.tag) && (isStemTag(p.tag) || p.tag == "xsn")) {
      // 한 read as 하+ㄴ/jx: a particle on a predicate stem.
      count("dropped: particle right after a stem");
      return;
    }
    if (!m.spelled && (m.tag == "nng" || m.tag == "nnp" || m.tag == "np" ||
                       m.tag == "nr")) {
      // 이 read as 이+ㄴ+일+이: a noun the surface does not spell.
      count("dropped: noun the surface does not spell");
      return;
    }
  }
  const ConvMorpheme& last = a.morphemes.back();
  if (last.form.size() == 1 && isContractionJamo(last.form[0]) &&
      (!isSyllable(key.back()) || split(key.back()).final != finalIndexOf(last.form[0]))) {
    count("dropped: jamo ending the surface does not show");
    return;
  }
  if (last.form.size() == 1 &&
      (last.form[0] == SYL_A || last.form[0] == SYL_EO || last.form[0] == SYL_YEO)) {
    const std::u16string& stem = a.morphemes[a.morphemes.size() - 2].form;
    if (key.back() == stem.back() && !absorbsVowel(key.back())) {
      count("dropped: 아/어 ending the surface does not show");
      return;
    }
  }
  if ((first.tag == "xsv" || first.tag == "xsa") && !first.spelled &&
      (!isSyllable(key[0]) || split(key[0]).initial != 18)) {
    count("dropped: suffix left out of the surface");
    return;
  }
  a.kind = ConvAnalysis::EXPRESSION;
  derivePieces(key, a.morphemes, wcost);
  put(key, a);
  count(whole ? "kept: compound split into its parts" : "kept: " + type);
}

void LexiconConverter::addRootSuffixes() {
  // The forms of the adjective suffix 하 after a root: 하 itself (endings
  // follow through its clue), 한/할/함 with their ending, 한/할/합 with a
  // dangling jamo for the jamo-initial endings, 해 as 하+아 (also as a piece
  // for 해서, 해요) and 했 as 하+았.
  struct Form {
    const char16_t* surface;
    const char16_t* ending;  // null: 하 alone
    const char* tag;         // of the ending, "_" for a piece
  };
  static const Form forms[] = {
      {u"하", nullptr, ""},      {u"한", u"ㄴ", "etm"}, {u"한", u"ㄴ", "_"},
      {u"할", u"ㄹ", "etm"},     {u"할", u"ㄹ", "_"},   {u"함", u"ㅁ", "etn"},
      {u"합", u"ㅂ", "_"},       {u"해", u"아", "ec"},  {u"해", u"아", "_"},
      {u"했", u"았", "ep"},
  };
  for (const std::u16string& root : roots_) {
    if (!std::all_of(root.begin(), root.end(), isSyllable)) continue;
    for (const Form& f : forms) {
      ConvAnalysis a;
      a.kind = ConvAnalysis::ROOT_SUFFIX;
      ConvMorpheme r, h;
      r.form = root;
      r.tag = "xr";
      h.form = u"하";
      h.tag = "xsa";
      a.morphemes = {r, h};
      if (f.ending != nullptr) {
        ConvMorpheme e;
        e.form = f.ending;
        e.tag = f.tag;
        a.morphemes.push_back(e);
      }
      std::u16string key = root + f.surface;
      assignSpelling(key, &a.morphemes);
      put(key, a);
      count("derived: root joined to a form of 하/xsa");
    }
  }
}

void LexiconConverter::addParticleChains() {
  // The rules let an auxiliary particle follow only a noun-like morpheme or
  // another auxiliary particle, and a case particle follow no particle at
  // all: 에서는, 와의, 만을 must be records of their own. Each frequent
  // particle is joined to the few particles that follow it, in the form its
  // last syllable takes (는 after an open syllable, 은 after a closed one).
  struct Next {
    const char16_t* open;    // after an open syllable (and, for 로, ㄹ)
    const char16_t* closed;  // after a closed syllable
    const char* tag;
    bool afterCase;          // follows a case particle (jkb, jc, 께서)
    bool afterAux;           // follows an auxiliary particle (jx)
  };
  static const Next nexts[] = {
      {u"는", u"은", "jx", true, false},   {u"도", u"도", "jx", true, false},
      {u"만", u"만", "jx", true, false},   {u"까지", u"까지", "jx", true, false},
      {u"요", u"요", "jx", true, false},   {u"의", u"의", "jkg", true, true},
      {u"를", u"을", "jko", false, true},  {u"가", u"이", "jks", false, true},
      {u"로", u"으로", "jkb", false, true}, {u"에", u"에", "jkb", false, true},
  };
  std::vector<std::pair<std::u16string, ConvAnalysis>> chains;
  for (const auto& kv : entries_) {
    for (const ConvAnalysis& a : kv.second) {
      if (a.kind != ConvAnalysis::PLAIN || a.cost >= PARTICLE_CHAIN_COST) continue;
      const ConvMorpheme& p = a.morphemes[0];
      bool isCase = p.tag == "jkb" || p.tag == "jc" || (p.tag == "jks" && p.form == u"께서");
      bool isAux = p.tag == "jx";
      if ((!isCase && !isAux) || !isSyllable(p.form.back())) continue;
      int final = split(p.form.back()).final;
      for (const Next& n : nexts) {
        if (!(isCase ? n.afterCase : n.afterAux)) continue;
        bool open = final == 0 || (final == 8 && n.tag == std::string("jkb") &&
                                   n.open == std::u16string(u"로"));
        ConvMorpheme second;
        second.form = open ? n.open : n.closed;
        second.tag = n.tag;
        ConvAnalysis chain;
        chain.kind = ConvAnalysis::DERIVED;
        chain.cost = a.cost;
        chain.morphemes = {p, second};
        chains.push_back({kv.first + second.form, chain});
      }
    }
  }
  for (auto& c : chains) {
    put(c.first, c.second);
    count("derived: particle joined to a following particle");
  }
}

void LexiconConverter::addOpenFinalEndings() {
  // An analysis ending in a final ending (ef) gets a twin ending in the same
  // ending as a connective one (ec), which it reads at the end of an eojeol
  // that no punctuation closes (see markOpenFinalEnding).
  for (auto& kv : entries_) {
    std::vector<ConvAnalysis>& list = kv.second;
    std::set<std::string> have;
    for (const ConvAnalysis& a : list) have.insert(formatAnalysis(a, {}));
    const size_t n = list.size();
    for (size_t i = 0; i < n; ++i) {
      if (list[i].morphemes.back().tag != "ef") continue;
      ConvAnalysis twin = list[i];
      twin.morphemes.back().tag = "ec";
      if (twin.kind == ConvAnalysis::PLAIN) twin.kind = ConvAnalysis::DERIVED;
      if (!have.insert(formatAnalysis(twin, {})).second) continue;
      list.push_back(twin);
      count("derived: final ending read as a connective one");
    }
  }
}

std::vector<ConvAnalysis> LexiconConverter::analysesOf(const std::u16string& s) const {
  auto it = entries_.find(s);
  return it == entries_.end() ? std::vector<ConvAnalysis>() : it->second;
}

bool LexiconConverter::splitBeatsAdverb(const std::string& surface) const {
  if (matrix_ == nullptr) return false;
  const size_t R = matrix_->rightSize(), L = matrix_->leftSize();
  auto fits = [&](const Token& t) {
    return t.left >= 0 && t.right >= 0 && static_cast<size_t>(t.right) < R &&
           static_cast<size_t>(t.left) < L;
  };
  // The cheapest adverb reading: BOS, the token, EOS.
  long adverb = LONG_MAX;
  auto whole = tokens_.find(surface);
  if (whole == tokens_.end()) return false;
  for (const Token& t : whole->second) {
    if (!t.adverb || !fits(t)) continue;
    adverb = std::min(adverb, static_cast<long>(matrix_->cost(0, t.left)) + t.cost +
                                  matrix_->cost(t.right, 0));
  }
  if (adverb == LONG_MAX) return false;
  // Code point boundaries of the surface.
  std::vector<size_t> at;
  for (size_t i = 0; i < surface.size(); ++i)
    if ((static_cast<unsigned char>(surface[i]) & 0xC0) != 0x80) at.push_back(i);
  at.push_back(surface.size());
  const size_t n = at.size() - 1;
  // Best cost of a path from BOS ending in each token that ends at each
  // boundary; a whole-surface token of one morpheme is left out, so that
  // every complete path holds two or more morphemes.
  struct Node {
    int right;
    long cost;
  };
  std::vector<std::vector<Node>> ending(n + 1);
  ending[0].push_back(Node{0, 0});
  for (size_t b = 0; b < n; ++b) {
    if (ending[b].empty()) continue;
    for (size_t e = b + 1; e <= n; ++e) {
      auto it = tokens_.find(surface.substr(at[b], at[e] - at[b]));
      if (it == tokens_.end()) continue;
      for (const Token& t : it->second) {
        if (!fits(t) || (b == 0 && e == n && t.morphemes < 2)) continue;
        long best = LONG_MAX;
        for (const Node& p : ending[b])
          best = std::min(best, p.cost + matrix_->cost(p.right, t.left));
        ending[e].push_back(Node{t.right, best + t.cost});
      }
    }
  }
  long split = LONG_MAX;
  for (const Node& p : ending[n])
    split = std::min(split, p.cost + matrix_->cost(p.right, 0));
  return split < adverb;
}

std::string LexiconConverter::write() {
  if (matrix_ != nullptr) {
    for (auto& kv : entries_) {
      std::vector<ConvAnalysis>& list = kv.second;
      auto isAdverb = [](const ConvAnalysis& a) {
        return a.kind == ConvAnalysis::PLAIN && a.morphemes[0].tag == "mag";
      };
      if (std::none_of(list.begin(), list.end(), isAdverb)) continue;
      if (!splitBeatsAdverb(unitsToUtf8(kv.first))) continue;
      size_t before = list.size();
      list.erase(std::remove_if(list.begin(), list.end(), isAdverb), list.end());
      count("dropped: adverb the source's costs read as a split",
            before - list.size());
    }
  }
  addPendingEndings();
  addRootSuffixes();
  addParticleChains();
  addOpenFinalEndings();
  std::string out;
  surfaces_ = analyses_ = 0;
  for (auto& kv : entries_) {
    std::vector<ConvAnalysis>& list = kv.second;
    std::stable_sort(list.begin(), list.end(),
                     [](const ConvAnalysis& a, const ConvAnalysis& b) {
                       return a.cost < b.cost;
                     });
    std::set<std::string> plainTags;
    for (const ConvAnalysis& a : list)
      if (a.kind == ConvAnalysis::PLAIN) plainTags.insert(a.morphemes[0].tag);
    std::set<std::string> seen;
    std::string line;
    bool haveNoun = false;
    std::string stemTag;  // the tag of the cheapest plain va or vv reading
    std::string nounTag;  // of the cheapest plain nng, nnp or nnb reading
    for (const ConvAnalysis& a : list) {
      const std::string& firstTag = a.morphemes[0].tag;
      if (a.kind == ConvAnalysis::PLAIN && nounTag.empty() &&
          (firstTag == "nng" || firstTag == "nnp" ||
           (firstTag == "nnb" && !a.morphemes[0].unit)))
        nounTag = firstTag == "nnb" ? "nnb" : "noun";
      if (a.kind == ConvAnalysis::PLAIN && (firstTag == "nng" || firstTag == "nnp")) {
        // The tagger gives common and proper nouns one class, so two such
        // readings of a surface tie and the choice between them would be
        // arbitrary: the more frequent (cheaper) one stands alone.
        if (haveNoun || nounTag == "nnb") {
          count("dropped: common or proper noun behind a cheaper one");
          continue;
        }
        haveNoun = true;
      }
      if (a.kind != ConvAnalysis::ROOT_SUFFIX && a.morphemes[0].tag == "xsa" &&
          a.morphemes[0].form == u"하") {
        // The adjective suffix 하 stands after roots (깨끗하다), whose
        // records spell it; after a noun 하 is the verb suffix (입단한).
        count("dropped: adjective suffix 하 outside a root's forms");
        continue;
      }
      if (a.kind == ConvAnalysis::PLAIN && firstTag == "nnb" &&
          !a.morphemes[0].unit && nounTag == "noun") {
        // 등, 중, 곳: the tagger, which sees nouns far more often than bound
        // nouns, would take the noun reading almost everywhere; the bound
        // noun stays only when the source reads it as the more frequent.
        count("dropped: bound noun behind a cheaper noun");
        continue;
      }
      if (a.kind == ConvAnalysis::PLAIN &&
          (a.morphemes[0].tag == "va" || a.morphemes[0].tag == "vv")) {
        // Without a lexical count of its own a stem is scored by its tag,
        // and the verbs, far more frequent, would always win: of an
        // adjective and a verb reading (맛있, 멋있) the cheaper stands alone.
        if (!stemTag.empty() && stemTag != a.morphemes[0].tag) {
          count("dropped: verb or adjective behind a cheaper one");
          continue;
        }
        stemTag = a.morphemes[0].tag;
      }
      if (a.kind == ConvAnalysis::VARIANT &&
          (plainTags.count(a.morphemes[0].tag) ||
           (!isStemTag(a.morphemes[0].tag) && !plainTags.empty()))) {
        // 물론 read as 몰론, 가 as 갈/vv: a variant must not shadow the word;
        // outside the stems (whose variants are irregular forms, 깨달 of
        // 깨닫) it is a spelling variant and yields to any plain reading.
        count("dropped: variant shadowing a plain entry");
        continue;
      }
      std::string text = formatAnalysis(a, analysisMarkers(a, ctx_));
      if (!seen.insert(text).second) {
        count("merged: duplicate analysis");
        continue;
      }
      line += '\t';
      line += text;
      ++analyses_;
    }
    if (line.empty()) continue;
    out += escapeField(unitsToUtf8(kv.first));
    out += line;
    out += '\n';
    ++surfaces_;
  }
  return out;
}

// --- The whole run ------------------------------------------------------------

namespace {

bool readText(const std::string& path, std::string* text) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  std::string data;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  bool ok = std::ferror(f) == 0;
  std::fclose(f);
  if (ok) text->swap(data);
  return ok;
}

}  // namespace

int convertDictionary(const ConvertJob& job, FILE* err) {
  std::string path = job.dictionary;
  if (std::filesystem::is_directory(path)) path += "/sys.dic";

  LexiconConverter converter(job.options);
  std::vector<std::string> errors;
  for (const std::string& file : job.attributeFiles) {
    std::string text;
    if (!readText(file, &text)) {
      std::fprintf(err, "%s: cannot read\n", file.c_str());
      return 1;
    }
    converter.context().lists.parse(text, file, &errors);
  }
  std::string supplement;
  for (const std::string& file : job.supplementFiles) {
    std::string text;
    if (!readText(file, &text)) {
      std::fprintf(err, "%s: cannot read\n", file.c_str());
      return 1;
    }
    std::vector<SourceEntry> parsed;
    std::vector<SourceError> bad;
    if (!parseSource(text, &parsed, &bad)) {
      for (const SourceError& e : bad)
        errors.push_back(file + ":" + std::to_string(e.line) + ": " + e.message);
    }
    supplement += "# supplement: " + file + "\n" + text;
    if (!supplement.empty() && supplement.back() != '\n') supplement += '\n';
  }
  if (!errors.empty()) {
    for (const std::string& e : errors) std::fprintf(err, "%s\n", e.c_str());
    return 1;
  }

  auto started = std::chrono::steady_clock::now();
  MecabDictionary dic;
  std::string message;
  if (!dic.load(path, &message)) {
    std::fprintf(err, "%s\n", message.c_str());
    return 1;
  }
  if (job.progress)
    std::fprintf(err, "%s: %u entries, %zu double-array units\n", path.c_str(),
                 dic.header().lexsize, dic.unitCount());
  // The connection costs beside sys.dic, when there are any.
  MecabMatrix matrix;
  std::string matrixPath =
      std::filesystem::path(path).parent_path().append("matrix.bin").string();
  if (std::filesystem::exists(matrixPath)) {
    if (!matrix.load(matrixPath, &message)) {
      std::fprintf(err, "%s: %s\n", matrixPath.c_str(), message.c_str());
      return 1;
    }
    converter.setMatrix(&matrix);
  } else if (job.progress) {
    std::fprintf(err, "%s: none; adverbs are not checked against splits\n",
                 matrixPath.c_str());
  }
  size_t seen = 0;
  size_t keys = 0, entries = 0;
  bool walked = dic.forEachEntry(
      [&](const MecabEntry& e) {
        converter.add(e.surface, e.token.wcost, e.feature, e.token.lcAttr,
                      e.token.rcAttr);
        if (job.progress && ++seen % 100000 == 0)
          std::fprintf(err, "  %zu entries read\n", seen);
      },
      &keys, &entries, &message);
  if (!walked) {
    std::fprintf(err, "%s: %s\n", path.c_str(), message.c_str());
    return 1;
  }
  std::string text = converter.write();
  std::string header =
      "# Converted from mecab-ko-dic (Apache-2.0) by talmoro-mecab-convert.\n";
  std::string tmp = job.output + ".tmp";
  FILE* out = std::fopen(tmp.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(err, "%s: cannot write\n", tmp.c_str());
    return 1;
  }
  bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
            std::fwrite(text.data(), 1, text.size(), out) == text.size() &&
            std::fwrite(supplement.data(), 1, supplement.size(), out) ==
                supplement.size();
  ok = std::fclose(out) == 0 && ok;
  if (!ok || std::rename(tmp.c_str(), job.output.c_str()) != 0) {
    std::remove(tmp.c_str());
    std::fprintf(err, "%s: cannot write\n", job.output.c_str());
    return 1;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                 started).count();
  if (job.progress) {
    std::fprintf(err, "read %zu keys, %zu entries\n", keys, entries);
    for (const auto& kv : converter.stats())
      std::fprintf(err, "  %-70s %zu\n", kv.first.c_str(), kv.second);
    std::fprintf(err, "wrote %s: %zu surfaces, %zu analyses (+ supplements) in %.1f s\n",
                 job.output.c_str(), converter.surfaceCount(),
                 converter.analysisCount(), seconds);
  }
  return 0;
}
