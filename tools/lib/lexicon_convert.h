// Conversion of MeCab dictionary entries (mecab-ko-dic) into lines of our
// source lexicon (the input of talmoro-dict).
//
// Each entry becomes one analysis of its surface:
// - a plain entry one morpheme: the surface with its tag;
// - an Inflect or Preanalysis entry the morphemes of its expression field
//   (form/TAG/*+form/TAG/*), each marked spelled ("~" cleared) when its form
//   stands literally at the current position of the surface;
// - a Compound entry (and a one-tag Preanalysis entry) one morpheme, or its
//   parts when compounds are split.
// Tags are renamed (NNBC to nnb, SSO and SSC to ss, SC to sp, SY to sw, the
// rest lower-cased) and jamo of the Hangul Jamo block become compatibility
// jamo (ᆫ ᆯ ᆷ ᆸ to ㄴ ㄹ ㅁ ㅂ); vowel jamo that stand for a contracted 아/어
// (ㅓ, ㅓㅆ, ㅔ요) become syllables (어, 었, 에요).
//
// Besides the entries themselves the converter derives the pieces that let
// the analyzer's connection rules rebuild contracted words:
// - a stem whose last syllable swallowed the jamo of an ending gets a record
//   with a dangling tag-less jamo (간 → 가/vv+~ㄴ/_), and the ending a record
//   keyed on the rest of its surface (다 → ~ㄴ다/ef);
// - a stem that swallowed the 아/어/여 of an ending gets a tag-less vowel
//   piece (봐 → ~보/vv+~아/_, 써 → ~쓰/vv+~어/_); the ending is keyed on its
//   rest, 어-endings as "-어생략" records (서 → ~어서/ec), 아/여-endings led
//   by the same tag-less vowel (서 → ~아/_+~아서/ec);
// - each root (xr) joined to the forms of the adjective suffix 하 (시원하,
//   시원한, 시원해, ...), since the rules let no suffix follow a root;
// - frequent particles joined to the particles that may follow them
//   (에서는, 와의, 만을), since the rules chain no particle to a case
//   particle and no case particle to an auxiliary one.
//
// Entries are written in the conventions of the tagged text the default
// model learns from (conventionTag, haEndingForm): 있 is a verb, only the
// joining adverbs are conjunctive, 하 takes the 아-forms of its endings
// (하였다 as 하+았+다), and every final ending (ef) also reads as a
// connective one (ec), as it does where no punctuation closes it. Of
// readings the tagger cannot tell apart or would always decide one way (a
// common and a proper noun, a noun and a bound noun, an adjective and a
// verb of one spelling) the cheaper stands alone, and the adjective suffix
// 하 stands only in the records of the roots.
//
// Attribute markers (ending, particle and bound-noun bits) are assigned by
// rules on the forms and by hand-kept lists (AttributeLists); see
// endingMarkers and particleMarkers.
#ifndef TALMORO_TOOLS_LIB_LEXICON_CONVERT_H_
#define TALMORO_TOOLS_LIB_LEXICON_CONVERT_H_

#include <cstddef>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class MecabMatrix;

// --- Small text helpers (16-bit units, BMP only) ---------------------------

std::u16string utf8ToUnits(const std::string& text);
std::string unitsToUtf8(const std::u16string& text);

// Hangul Jamo block letters (choseong, jungseong, jongseong) to the
// Hangul Compatibility Jamo letter of the same sound; other units unchanged.
char16_t toCompatibilityJamo(char16_t c);

// --- Hand-kept attribute lists ----------------------------------------------

// Lines "FORM/TAG[,TAG...] MARKER[,MARKER...]  # comment": the markers are
// added to every ending or particle of that form and one of those tags (our
// lower-case names; "e*" is any ending tag, "j*" any particle tag). Markers
// are written as in the source lexicon and belong to the lexicon of the
// morpheme's tag. "!MARKER" removes a marker that a rule would assign.
class AttributeLists {
 public:
  // Parses one list file's text; appends "NAME:LINE: message" for each bad
  // line. True when no line is bad.
  bool parse(const std::string& text, const std::string& name,
             std::vector<std::string>* errors);
  // Markers listed for (form, tag), in list order; removals keep their
  // leading "!".
  std::vector<std::string> find(const std::u16string& form,
                                const std::string& tag) const;
  bool empty() const { return rules_.empty(); }

 private:
  struct Rule {
    std::vector<std::string> tags;  // empty: any tag
    std::vector<std::string> markers;
  };
  std::map<std::u16string, std::vector<Rule>> rules_;
};

// --- Converted analyses -----------------------------------------------------

struct ConvMorpheme {
  std::u16string form;
  std::string tag;  // our name, "_" for a tag-less piece
  bool spelled = true;
  bool unit = false;  // a counter noun (NNBC)
};

struct ConvAnalysis {
  std::vector<ConvMorpheme> morphemes;
  std::vector<std::string> extraMarkers;  // prefixed ("eomi:-어생략")
  int cost = 0;
  enum Kind { PLAIN, EXPRESSION, VARIANT, DERIVED, ROOT_SUFFIX } kind = PLAIN;
};

// Facts about the whole dictionary that the attribute rules consult.
struct AttributeContext {
  std::set<std::pair<std::u16string, std::string>> endings;    // form, tag
  std::set<std::pair<std::u16string, std::string>> particles;  // form, tag
  std::set<std::u16string> ecBeforeAux;       // ec forms seen before a vx
  AttributeLists lists;
};

// Markers (bare, of the ending lexicon) of an ending. Rules:
//   으-initial (으면, 은, 을, 음, 읍시다)  @유종성 -ㄹ종성: after a closed
//                                 syllable, never after ㄹ, which drops 으
//   its 으-less twin (면, 시, 니까)  @무종성, and @ㄹ종성 unless it begins
//                                 with ㄴ ㅅ ㅂ or 오, before which ㄹ drops
//   습-initial (습니다)            @유종성 -ㄹ종성
//   는-, 느-initial (는, 는데)     -ㄹ종성 (사는, not 살는)
//   는다-initial (는다, 는다고)    also @유종성 -형용사 -선어말어미
//   ec never seen before vx       보조용언- (itself or its 으-twin)
// then the hand-kept lists (+지정사 and others) add or remove markers.
std::vector<std::string> endingMarkers(const std::u16string& form,
                                       const std::string& tag,
                                       const AttributeContext& ctx);

// Markers (bare, of the particle lexicon) of a particle. Rules:
//   이X where X is a particle of the same tag: 이X @유종성, X @무종성
//   (이나/나, 이랑/랑, 이며/며, 이야/야 ...)
//   으로X where 로X is a particle of the same tag: 으로X @유종성,
//   로X @무종성 +ㄹ종성 (로 also follows ㄹ: 물로)
// then the hand-kept lists (가/이, 는/은, 를/을, 와/과, 보조사- ...).
std::vector<std::string> particleMarkers(const std::u16string& form,
                                         const std::string& tag,
                                         const AttributeContext& ctx);

// The markers of a whole analysis, each prefixed by its lexicon ("eomi:",
// "josa:", "nnb:", "clue:"): the first morpheme's bits (how the analysis
// attaches to what precedes), the last morpheme's 보조사-/보조용언- (what may
// follow it) when they belong to the same lexicon or the first has none,
// "clue:어미+" on an analysis that ends in the adjective suffix (xsa), whose
// endings the rules admit only through that clue, and the analysis' extra
// markers.
std::vector<std::string> analysisMarkers(const ConvAnalysis& analysis,
                                         const AttributeContext& ctx);

// One analysis in source-lexicon syntax ("가/vv+~ㄴ/_[eomi:@유종성]").
std::string formatAnalysis(const ConvAnalysis& analysis,
                           const std::vector<std::string>& markers);

// Escapes a surface or lexicon for the source lexicon.
std::string escapeField(const std::string& text);

// --- The converter ------------------------------------------------------------

struct ConvertOptions {
  bool splitCompounds = false;  // Compound entries as their parts
};

class LexiconConverter {
 public:
  explicit LexiconConverter(const ConvertOptions& options = ConvertOptions());

  AttributeContext& context() { return ctx_; }

  // Feeds one MeCab entry: UTF-8 surface, word cost, feature CSV
  // (tag,semantic,jongseong,reading,type,first,last,expression) and, when
  // known, its left and right context ids (for setMatrix).
  void add(const std::string& surface, int wcost, const std::string& feature,
           int left = -1, int right = -1);

  // The source dictionary's connection costs. With them, write() drops an
  // adverb entry (mag) whose surface the source dictionary's own costs read,
  // standing alone, more cheaply as a chain of two or more morphemes (있다
  // as 있+다, 어떻게 as 어떻+게, 정치적으로 as 정치+적+으로): the analyzer
  // lets an adverb remove every analysis that splits its stretch, so such an
  // entry would hide the reading the word almost always has. Not owned.
  void setMatrix(const MecabMatrix* matrix) { matrix_ = matrix; }

  // Finishes the derivations and returns the source lexicon: one line per
  // surface, surfaces sorted, analyses by ascending cost.
  std::string write();

  // Counters by reason ("kept: ...", "dropped: ...", "derived: ...").
  const std::map<std::string, size_t>& stats() const { return stats_; }
  size_t surfaceCount() const { return surfaces_; }
  size_t analysisCount() const { return analyses_; }

  // The analyses collected for a surface so far (for tests).
  std::vector<ConvAnalysis> analysesOf(const std::u16string& surface) const;

  // Converts an expression field against its surface; false with a reason
  // when a morpheme is malformed or carries an unknown tag.
  static bool convertExpression(const std::u16string& surface,
                                const std::string& expression,
                                std::vector<ConvMorpheme>* out,
                                std::string* reason);
  // Recomputes the surface flags of morphemes against a surface: spelled
  // while each form stands literally at the current position.
  static void assignSpelling(const std::u16string& surface,
                             std::vector<ConvMorpheme>* morphemes);
  // MeCab tag to our tag name; empty when the engine has no such tag.
  static std::string mapTag(const std::string& mecabTag);
  // The tag of a morpheme in our conventions: the existential 있 is a verb
  // (있다, 있는, 있었다), never an adjective, whatever the source says; a
  // conjunctive adverb (maj) is one that joins sentences or words (그리고,
  // 그러나, 및, 또는), the others (또한, 역시, 다만) are general adverbs.
  static std::string conventionTag(const std::u16string& form,
                                   const std::string& tag);
  // The 여/였 of an ending after the stem 하 written as the 아/았 it is a
  // variant of (하+여 → 하+아, 하+였 → 하+았, 하+여서 → 하+아서); other
  // forms unchanged.
  static std::u16string haEndingForm(const std::u16string& form);
  // True for the stem or suffix 하 (vv, va, vx, xsv, xsa) after which
  // endings are written by haEndingForm.
  static bool isHaStem(const std::u16string& form, const std::string& tag);

 private:
  void count(const std::string& reason, size_t n = 1) { stats_[reason] += n; }
  void put(const std::u16string& surface, ConvAnalysis analysis);
  void noteSequences(const std::vector<ConvMorpheme>& morphemes);
  void derivePieces(const std::u16string& surface,
                    const std::vector<ConvMorpheme>& morphemes, int cost);
  void addRootSuffixes();
  void addPendingEndings();
  void addParticleChains();
  void addOpenFinalEndings();
  // True when the tokens read `surface` more cheaply as two or more
  // morphemes than as its cheapest adverb token.
  bool splitBeatsAdverb(const std::string& surface) const;

  // Particles joined to the particles that follow them: those more frequent
  // than this word cost.
  static constexpr int PARTICLE_CHAIN_COST = 4000;

  // An ending keyed on the rest of its surface enters the lexicon only when
  // this many entries attest it.
  static constexpr size_t MIN_ENDING_ATTESTATIONS = 3;
  // Plain one-syllable entries with a word cost from here on are dropped.
  static constexpr int RARE_ONE_SYLLABLE_COST = 7000;
  struct Pending {
    ConvAnalysis analysis;
    size_t attestations = 0;
  };

  // A source token as the connection-cost check sees it.
  struct Token {
    int left, right, cost;
    int morphemes;  // 1, or the parts of its expression
    bool adverb;    // a plain MAG or MAJ entry
  };

  ConvertOptions options_;
  AttributeContext ctx_;
  const MecabMatrix* matrix_ = nullptr;
  std::unordered_map<std::string, std::vector<Token>> tokens_;  // by surface
  std::map<std::u16string, std::vector<ConvAnalysis>> entries_;
  std::set<std::u16string> roots_;
  std::map<std::pair<std::u16string, std::string>, Pending> pending_;
  std::map<std::string, size_t> stats_;
  size_t surfaces_ = 0;
  size_t analyses_ = 0;
};

// --- The whole run of talmoro-mecab-convert ------------------------------------

struct ConvertJob {
  std::string dictionary;  // sys.dic, or a directory holding it
  std::string output;      // the source lexicon to write
  std::vector<std::string> attributeFiles;   // AttributeLists files
  std::vector<std::string> supplementFiles;  // source lexicons appended
  ConvertOptions options;
  bool progress = true;  // progress and counts on `err`
};

// Reads the dictionary, the lists and the supplements, converts and writes
// the output through a temporary file renamed when complete. Every problem
// is reported on `err`; a bad list or supplement line fails the run.
// Returns 0 on success, 1 on failure.
int convertDictionary(const ConvertJob& job, FILE* err);

#endif  // TALMORO_TOOLS_LIB_LEXICON_CONVERT_H_
