// Morphotactics: whether a lattice node may directly follow another inside
// one word. The rules run in a fixed order, from clue morphemes through the
// class-specific groups (nouns, predicates, particles, endings, affixes,
// symbols) to a default; the first rule that decides gives the answer.
// They read only the cached fields of the two nodes and allocate nothing.
#include "base/revision.h"
#include "base/text.h"
#include "knowledge/inter_result.h"
#include "pos/attribute_bits.h"
#include "pos/pos.h"

namespace {

// ---------------------------------------------------------------------------
// Tag tests

constexpr unsigned int FLAG_BIT = 0x00000001;
constexpr unsigned int CLASS_FIELD = 0x0007FFFE;     // bits 1-18
constexpr unsigned int SUBCLASS_FIELD = 0xFFE00000;  // bits 21-31

constexpr unsigned int classOf(unsigned int tag) { return tag & CLASS_FIELD; }
constexpr unsigned int subclassOf(unsigned int tag) {
  return tag & SUBCLASS_FIELD;
}

// Level-1 classes, each taken from a tag of that class.
constexpr unsigned int CLASS_SN = classOf(SN);
constexpr unsigned int CLASS_SH = classOf(SH);
constexpr unsigned int CLASS_SL = classOf(SL);
constexpr unsigned int CLASS_S = classOf(SF);
constexpr unsigned int CLASS_XSN = classOf(XSN);
constexpr unsigned int CLASS_XP = classOf(XPN);
constexpr unsigned int CLASS_E = classOf(EP);
constexpr unsigned int CLASS_J = classOf(J_);
constexpr unsigned int CLASS_IC = classOf(IC);
constexpr unsigned int CLASS_MA = classOf(MAG);
constexpr unsigned int CLASS_MM = classOf(MM);
constexpr unsigned int CLASS_VC = classOf(VCP);
constexpr unsigned int CLASS_V = classOf(VV);
constexpr unsigned int CLASS_N = classOf(NNG);

// Tag equality: every bit but the flag bit.
bool isTag(unsigned int code, unsigned int tag) {
  return (code & ~FLAG_BIT) == (tag & ~FLAG_BIT);
}

template <typename... Tags>
bool isOneOf(unsigned int code, Tags... tags) {
  return (isTag(code, tags) || ...);
}

bool hasClass(unsigned int code, unsigned int cls) {
  return classOf(code) == cls;
}

template <typename... Classes>
bool hasClassOf(unsigned int code, Classes... classes) {
  return (hasClass(code, classes) || ...);
}

// A tag-less piece of a record: text that belongs to no morpheme of its own.
bool hasNoClass(unsigned int code) { return classOf(code) == 0; }

// Whether `code` carries the level-3 bit that `tag` has, whatever the class.
bool hasSubclass(unsigned int code, unsigned int tag) {
  return (code & subclassOf(tag)) != 0;
}

template <typename... Tags>
bool hasSubclassOf(unsigned int code, Tags... tags) {
  return (hasSubclass(code, tags) || ...);
}

bool hasSymbolClass(unsigned int code) {
  return hasClassOf(code, CLASS_S, CLASS_SL, CLASS_SH, CLASS_SN);
}

// ---------------------------------------------------------------------------
// Letters and syllables

// The compatibility letters the dictionary uses as one-letter endings and
// particles (the ㄴ of 간, the ㄹ of 갈, the ㅁ of 감, the ㅂ of 갑니다).
constexpr unsigned short LETTER_NIEUN = 0x3134;  // ㄴ
constexpr unsigned short LETTER_RIEUL = 0x3139;  // ㄹ
constexpr unsigned short LETTER_MIEUM = 0x3141;  // ㅁ
constexpr unsigned short LETTER_BIEUP = 0x3142;  // ㅂ
constexpr unsigned short LETTER_IEUNG = 0x3147;  // ㅇ

constexpr unsigned short SYLLABLE_NEUN = 0xB294;  // 는
constexpr unsigned short SYLLABLE_DAP = 0xB2F5;   // 답
constexpr unsigned short SYLLABLE_EO = 0xC5B4;    // 어
constexpr unsigned short SYLLABLE_YO = 0xC694;    // 요

bool isOneLetterMorpheme(unsigned short c) {
  return c == LETTER_NIEUN || c == LETTER_RIEUL || c == LETTER_MIEUM ||
         c == LETTER_BIEUP;
}

// Jamo indices as decode_han gives them.
constexpr unsigned short NOT_HANGUL = 99;
constexpr unsigned short INITIAL_NIEUN = 2;
constexpr unsigned short INITIAL_IEUNG = 11;
constexpr unsigned short MEDIAL_EU = 18;
constexpr unsigned short FINAL_NONE = 0;
constexpr unsigned short FINAL_RIEUL = 8;

// A code unit split into initial, medial and final jamo indices, as
// decode_han splits it (every index 99 outside the syllable block); done
// here inline, since the rules split a unit on many pairs.
struct Syllable {
  explicit Syllable(unsigned short c) {
    const unsigned int s = static_cast<unsigned short>(c - 0xAC00);
    if (s >= 11184) return;
    coda = static_cast<unsigned short>(s % 28);
    medial = static_cast<unsigned short>((s / 28) % 21);
    initial = static_cast<unsigned short>(s / 28 / 21);
  }

  bool isSyllable() const {
    return initial != NOT_HANGUL && medial != NOT_HANGUL;
  }
  bool isOpen() const { return isSyllable() && coda == FINAL_NONE; }
  bool isClosed() const { return isSyllable() && coda != FINAL_NONE; }
  bool endsInRieul() const { return isSyllable() && coda == FINAL_RIEUL; }

  unsigned short initial = NOT_HANGUL;
  unsigned short medial = NOT_HANGUL;
  unsigned short coda = NOT_HANGUL;  // final consonant, 0 for none
};

// The linking vowel 으 (as in 먹으면).
bool isLinkingEu(unsigned short c) {
  const Syllable s(c);
  return s.initial == INITIAL_IEUNG && s.medial == MEDIAL_EU &&
         s.coda == FINAL_NONE;
}

// ---------------------------------------------------------------------------
// Rule plumbing

// Bits of the pass word: strict first pass, clue morphemes, relaxed second
// pass (the analyzer passes 3, then 6).
struct Pass {
  explicit Pass(unsigned int mode)
      : first((mode & 0x1) != 0),
        clues((mode & 0x2) != 0),
        second((mode & 0x4) != 0) {}

  bool first;
  bool clues;
  bool second;
};

enum class Verdict { CONTINUE, ACCEPT, REJECT };

Verdict decide(bool condition) {
  return condition ? Verdict::ACCEPT : Verdict::REJECT;
}

// One group of rules: N is the following node, P the preceding one.
using Rule = Verdict (*)(const InterResult& N, const InterResult& P,
                         const Pass& pass);

// ---------------------------------------------------------------------------
// Spots where the revisions of the rules part (base/revision.h)

// A record ending in a bound noun that starts with an adnominal ending
// (-ㄴ 것, -ㄹ 수) takes no further noun. The earlier rules lack this.
bool nounRefusedAfterAdnominalBoundNoun(const InterResult& P) {
  if constexpr (revision::EARLIER_CONNECTION_RULES) return false;
  return isTag(P.lastpos(), NNB) && isTag(P.posvalue(), ETM);
}

// The unit whose final consonant selects a particle's form: the last unit
// of the text P covers; in the earlier rules the last character of P's last
// morpheme, which differs where the text carries more (그댄 read as 그대).
unsigned short particleFinalUnit(const InterResult& P) {
  if constexpr (revision::EARLIER_CONNECTION_RULES) return P.lastChar();
  return P.surfaceLast();
}

// Pronouns and proper nouns take neither a noun suffix nor an adjective
// suffix, except in the reduced revision.
bool suffixRefusesPronounOrProperNoun(unsigned int last) {
  if constexpr (revision::SUFFIX_AFTER_PRONOUN) return false;
  return isOneOf(last, NP, NNP);
}

// ---------------------------------------------------------------------------
// Group 0: clue morphemes, records that license only neighbours of a given
// shape. The low clue bits speak of the node before, the high ones of the
// node after.

Verdict clueAcceptsPrevious(unsigned int a, const InterResult& P) {
  const unsigned int last = P.lastpos();
  if (a & CLUE_AFTER_NOUN_1SYL)
    return decide(hasClass(last, CLASS_N) && P.length() >= 1);
  if (a & CLUE_AFTER_NOUN_2SYL)
    return decide(hasClass(last, CLASS_N) && P.length() >= 2);
  if (a & CLUE_AFTER_VERB_1SYL)
    return decide(isTag(last, VV) && P.length() >= 1);
  if (a & CLUE_AFTER_VERB_2SYL)
    return decide(isTag(last, VV) && P.length() >= 2);
  if (a & CLUE_AFTER_AUX_PARTICLE) return decide(isTag(last, JX));
  return Verdict::CONTINUE;
}

// The verb clues measure the clue node itself, not the verb after it.
Verdict clueAcceptsNext(unsigned int b, const InterResult& N,
                        const InterResult& P) {
  const unsigned int first = N.posvalue();
  if (b & CLUE_BEFORE_NOUN_1SYL)
    return decide(hasClass(first, CLASS_N) && N.length() >= 1);
  if (b & CLUE_BEFORE_NOUN_2SYL)
    return decide(hasClass(first, CLASS_N) && N.length() >= 2);
  if (b & CLUE_BEFORE_VERB_1SYL)
    return decide(isTag(first, VV) && P.length() >= 1);
  if (b & CLUE_BEFORE_VERB_2SYL)
    return decide(isTag(first, VV) && P.length() >= 2);
  if (b & CLUE_BEFORE_BOUND_NOUN) return decide(isTag(first, NNB));
  if (b & CLUE_BEFORE_ENDING) {
    if (!hasClass(first, CLASS_E)) return Verdict::REJECT;
    // A clue ending in a bare letter wants the ending spelled with it;
    // otherwise no one-letter ending may follow.
    if (isOneLetterMorpheme(P.lastChar()))
      return decide(N.firstChar() == P.lastChar());
    return decide(!isOneLetterMorpheme(N.firstChar()));
  }
  if (b & CLUE_BEFORE_AUX_PARTICLE) return decide(isTag(first, JX));
  return Verdict::CONTINUE;
}

Verdict clueMorphemesOf(const InterResult& N, const InterResult& P,
                        const Pass& pass) {
  if (!pass.clues) {
    return N.attrflag() == CLUE_ATTRIBUTE_FLAG ? Verdict::REJECT
                                               : Verdict::CONTINUE;
  }
  if (N.attrflag() == CLUE_ATTRIBUTE_FLAG) {
    const Verdict v = clueAcceptsPrevious(N.attr(), P);
    if (v != Verdict::CONTINUE) return v;
  }
  if (P.attrflag() == CLUE_ATTRIBUTE_FLAG)
    return clueAcceptsNext(P.attr(), N, P);
  return Verdict::CONTINUE;
}

// Most pairs hold no clue morpheme, and then the group has nothing to say.
inline Verdict clueMorphemes(const InterResult& N, const InterResult& P,
                             const Pass& pass) {
  if (N.attrflag() != CLUE_ATTRIBUTE_FLAG &&
      P.attrflag() != CLUE_ATTRIBUTE_FLAG)
    return Verdict::CONTINUE;
  return clueMorphemesOf(N, P, pass);
}

// ---------------------------------------------------------------------------
// Group 1: any noun.

Verdict allowsNounAfter(const InterResult& N, const InterResult& P,
                        const Pass& pass) {
  const unsigned int first = N.posvalue();
  if (!hasClass(first, CLASS_N)) return Verdict::CONTINUE;
  const unsigned int last = P.lastpos();
  const unsigned int prevFirst = P.posvalue();

  // 1. A noun follows a noun, symbol, determiner, prefix or noun suffix, or
  // an adnominal or nominal ending that is more than a bare letter.
  if (!hasClassOf(last, CLASS_SL, CLASS_S, CLASS_SH, CLASS_SN, CLASS_N,
                  CLASS_MM) &&
      !isOneOf(last, XPN, XSN)) {
    if (!isOneOf(last, ETM, ETN)) return Verdict::REJECT;
    if (pass.first && isOneLetterMorpheme(P.lastChar())) return Verdict::REJECT;
  }

  // 2. An adnominal ending fused with its bound noun closes the phrase.
  if (nounRefusedAfterAdnominalBoundNoun(P)) return Verdict::REJECT;

  // 3. A determiner modifies a full common noun: no pronoun, no proper noun,
  // no one-syllable noun; nor does a prefix take a one-syllable noun.
  if (isTag(last, MM) && !isTag(first, NNB)) {
    if (pass.first && (hasSubclassOf(first, NP, NNP) || N.length() == 1))
      return Verdict::REJECT;
  } else if (pass.first && N.length() == 1 && isTag(last, XPN)) {
    return Verdict::REJECT;
  }

  // 4. A prefix does not attach to a proper noun.
  if (isTag(first, NNP) && isTag(last, XPN)) return Verdict::REJECT;

  // 5. A numeral does not follow a guessed noun or an ending; in the strict
  // pass no other noun either.
  if (isTag(first, NR)) {
    if (isTag(last, NF)) return Verdict::REJECT;
    if (pass.first && isOneOf(last, NNG, NFG, NNU, NFU, NF, NP, NNP, NNB))
      return Verdict::REJECT;
    if (isOneOf(last, ETM, ETN)) return Verdict::REJECT;
  }

  // 6. A proper noun takes no bound noun.
  if (isTag(first, NNB) && isTag(last, NNP)) return Verdict::REJECT;

  // 7. A guessed noun does not follow a numeral, another guessed noun or a
  // one-unit noun.
  if (isTag(first, NF)) {
    if (isOneOf(last, NR, NF) ||
        (P.length() == 1 && hasClass(prevFirst, CLASS_N)))
      return Verdict::REJECT;
  }

  // 8. A one-unit noun (other than a numeral) is no compound part after a
  // one-unit noun, a prefix, a noun suffix, or, for a common noun, a proper
  // noun.
  if (N.length() == 1 && !hasSubclass(first, NR)) {
    if (P.length() == 1 && hasClass(prevFirst, CLASS_N) &&
        !hasSubclassOf(prevFirst, NR, NNB))
      return Verdict::REJECT;
    if (isOneOf(last, XPN, XSN)) return Verdict::REJECT;
    if (hasSubclassOf(first, NFG, NNG, NNU, NFU) && hasSubclass(prevFirst, NNP))
      return Verdict::REJECT;
  }
  return Verdict::CONTINUE;
}

// Group 2: a pronoun starts a word or follows a symbol.
Verdict allowsPronounAfter(const InterResult& N, const InterResult& P,
                           const Pass&) {
  if (isTag(N.posvalue(), NP) && !hasSymbolClass(P.lastpos()))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 3: in the strict pass a proper noun follows no bound noun and no
// affix.
Verdict allowsProperNounAfter(const InterResult& N, const InterResult& P,
                              const Pass& pass) {
  if (isTag(N.posvalue(), NNP) && pass.first &&
      isOneOf(P.lastpos(), NNB, XPN, XSN))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 4: a bound noun needs what its bits allow before it: a unit noun a
// number or determiner, a dependent one a noun or a spelled-out adnominal
// ending.
Verdict allowsBoundNoun(const InterResult& N, const InterResult& P,
                        const Pass&) {
  if (!isTag(N.posvalue(), NNB)) return Verdict::CONTINUE;
  const unsigned int a = N.attr();
  const unsigned int last = P.lastpos();
  const bool afterAdnominal =
      isOneOf(last, ETM, ETN) && !isOneLetterMorpheme(P.lastChar());

  if ((a & BOUND_NOUN_UNIT) && isOneOf(last, MM, NR, SN))
    return Verdict::CONTINUE;
  if ((a & BOUND_NOUN_MINUS_DEPENDENT) &&
      (hasClass(last, CLASS_N) || afterAdnominal))
    return Verdict::CONTINUE;
  if ((a & BOUND_NOUN_PLUS_DEPENDENT) &&
      (hasClassOf(last, CLASS_S, CLASS_N) || afterAdnominal))
    return Verdict::CONTINUE;
  return Verdict::REJECT;
}

// Group 5: a verb stem inside a word, only in the relaxed pass and only
// after a noun, adverb, particle or connective/final ending.
Verdict allowsVerbAfter(const InterResult& N, const InterResult& P,
                        const Pass& pass) {
  if (!isTag(N.posvalue(), VV)) return Verdict::CONTINUE;
  const unsigned int last = P.lastpos();
  if (hasSymbolClass(last))
    return pass.first ? Verdict::REJECT : Verdict::CONTINUE;
  if (!pass.second) return Verdict::REJECT;
  switch (classOf(last)) {
    case CLASS_N:
      return hasSubclassOf(last, NP, NR, NNB) ? Verdict::REJECT
                                              : Verdict::CONTINUE;
    case CLASS_MA:
    case CLASS_J:
      return Verdict::CONTINUE;
    case CLASS_E:
      return hasSubclassOf(last, ETN, EP, ETM) ? Verdict::REJECT
                                               : Verdict::CONTINUE;
    default:
      return Verdict::REJECT;
  }
}

// Group 6: an adjective stem inside a word. In the strict pass only a noun
// with the suffix 답 (사람답다); in the relaxed pass after a noun or a
// determiner.
Verdict allowsAdjectiveAfter(const InterResult& N, const InterResult& P,
                             const Pass& pass) {
  const unsigned int last = P.lastpos();
  if (!isTag(N.posvalue(), VA) || hasSymbolClass(last))
    return Verdict::CONTINUE;
  if (pass.first) {
    if (!hasClass(last, CLASS_N)) return Verdict::REJECT;
    if (hasSubclassOf(last, NP, NR, NNB) || N.firstLastChar() != SYLLABLE_DAP)
      return Verdict::REJECT;
    return Verdict::CONTINUE;
  }
  if (!pass.second) return Verdict::REJECT;
  if (hasClass(last, CLASS_N))
    return hasSubclassOf(last, NP, NR, NNB) ? Verdict::REJECT
                                            : Verdict::CONTINUE;
  if (hasClass(last, CLASS_MM)) return Verdict::CONTINUE;
  return Verdict::REJECT;
}

// Group 7: an auxiliary predicate follows a connective ending (먹어 보다).
Verdict allowsAuxiliaryPredicate(const InterResult& N, const InterResult& P,
                                 const Pass&) {
  if (!isTag(N.posvalue(), VX)) return Verdict::CONTINUE;
  const unsigned int last = P.lastpos();
  if (!hasSymbolClass(last) && !isTag(last, EC)) return Verdict::REJECT;
  // A one-unit record that opens with a stem but does not end in one.
  if (P.length() == 1 && hasClass(P.posvalue(), CLASS_V) &&
      !hasClass(last, CLASS_V))
    return Verdict::REJECT;
  if (isTag(last, EC) && (P.attr() & EOMI_NO_AUX_PREDICATE_AFTER))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 8: the copula follows a noun, symbol, noun suffix, particle or final
// ending, but no noun whose record ends in a bare letter.
Verdict allowsCopula(const InterResult& N, const InterResult& P, const Pass&) {
  if (!hasClass(N.posvalue(), CLASS_VC)) return Verdict::CONTINUE;
  const unsigned int last = P.lastpos();
  if (!hasClassOf(last, CLASS_SL, CLASS_S, CLASS_SH, CLASS_SN, CLASS_N) &&
      !isTag(last, EF) && !hasClassOf(last, CLASS_XSN, CLASS_J))
    return Verdict::REJECT;
  if (hasClass(P.posvalue(), CLASS_N) && isOneLetterMorpheme(P.lastChar()))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 9: a determiner, adverb or interjection starts a word or follows a
// symbol. The particle, ending and affix rules below never see these
// classes.
Verdict allowsModifierOrInterjection(const InterResult& N, const InterResult& P,
                                     const Pass&) {
  if (hasClassOf(N.posvalue(), CLASS_MM, CLASS_MA, CLASS_IC) &&
      !hasSymbolClass(P.lastpos()))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// ---------------------------------------------------------------------------
// Group 10, steps 1 to 3: particles.

// The particle's form must fit the final consonant before it: 가/는/를 after
// an open syllable (로 also after ㄹ), 이/은/을 after a closed one.
bool particleFitsFinalConsonant(const InterResult& N, const InterResult& P) {
  const unsigned int a = N.attr();
  const unsigned int last = P.lastpos();
  const Syllable unit(particleFinalUnit(P));
  if ((a & JOSA_AFTER_OPEN_SYLLABLE) && unit.isClosed() &&
      !((a & JOSA_ALSO_AFTER_RIEUL) && unit.coda == FINAL_RIEUL))
    return false;
  if ((a & JOSA_AFTER_CLOSED_SYLLABLE) && unit.isOpen()) return false;
  if ((a & JOSA_AFTER_NOMINAL) && !hasClassOf(last, CLASS_XSN, CLASS_N))
    return false;
  if ((a & JOSA_AFTER_PRONOUN) &&
      !(hasClass(last, CLASS_N) || hasSubclass(last, NP)))
    return false;
  return true;
}

Verdict allowsParticle(const InterResult& N, const InterResult& P,
                       const Pass& pass) {
  const unsigned int first = N.posvalue();
  if (!hasClass(first, CLASS_J)) return Verdict::CONTINUE;
  const unsigned int last = P.lastpos();

  if (!isTag(first, JX)) {
    // A case particle or conjunctive particle follows a nominal.
    if (!(hasSymbolClass(last) ||
          hasClassOf(last, CLASS_N, CLASS_XSN, CLASS_MM) || isTag(last, ETN)))
      return Verdict::REJECT;
  } else {
    // An auxiliary particle also follows adverbs, endings and particles.
    if (!(hasSymbolClass(last) ||
          hasClassOf(last, CLASS_N, CLASS_MA, CLASS_MM) ||
          isOneOf(last, XSN, EC, EF, ETN, JX)))
      return Verdict::REJECT;
    if (isTag(last, EC) && (P.attr() & EOMI_NO_AUX_PARTICLE_AFTER))
      return Verdict::REJECT;
    if (isTag(last, JX) && (P.attr() & JOSA_NO_AUX_PARTICLE_AFTER))
      return Verdict::REJECT;
    if (hasClass(P.posvalue(), CLASS_V)) return Verdict::REJECT;
  }

  if (hasClassOf(last, CLASS_N, CLASS_XSN) && !particleFitsFinalConsonant(N, P))
    return Verdict::REJECT;

  if (pass.first && isTag(last, NR)) return Verdict::REJECT;
  if (hasClass(last, CLASS_MA) && P.length() == 1) return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// ---------------------------------------------------------------------------
// Group 10, step 4: endings.

// An ending right on a noun, the copula 이 left out (학교다, 학교면).
Verdict endingFitsNoun(const InterResult& N, const InterResult& P,
                       const Pass& pass) {
  const unsigned int last = P.lastpos();
  // A guessed noun takes no one-unit ending.
  if (hasSubclass(last, NF) && N.length() < 2) return Verdict::REJECT;
  // The copula drops only after an open syllable (학교다, not 책다).
  if (!Syllable(P.lastChar()).isOpen()) return Verdict::REJECT;
  if (!(N.attr() & EOMI_COPULA_DROPPABLE)) return Verdict::REJECT;
  if (pass.first && hasSubclass(last, NP) &&
      Syllable(N.firstChar()).initial == INITIAL_IEUNG)
    return Verdict::REJECT;
  if (N.attr() & EOMI_NO_COPULA_DROP) return Verdict::REJECT;
  return decide(!isOneLetterMorpheme(N.firstChar()));
}

// The ending's bits against the unit before it (its final consonant) and
// against P's last tag.
bool endingFitsFinalConsonant(const InterResult& N, const InterResult& P) {
  const unsigned int a = N.attr();
  const unsigned int last = P.lastpos();
  const Syllable unit(P.surfaceLast());
  if ((a & EOMI_AFTER_OPEN_SYLLABLE) && unit.isClosed() &&
      !((a & EOMI_AFTER_RIEUL_OR_OPEN) && unit.coda == FINAL_RIEUL))
    return false;
  if ((a & EOMI_AFTER_CLOSED_SYLLABLE) && unit.isOpen()) return false;
  if ((a & EOMI_AFTER_RIEUL_OR_OPEN) && unit.isClosed() &&
      unit.coda != FINAL_RIEUL)
    return false;
  if ((a & EOMI_NOT_AFTER_RIEUL) && unit.endsInRieul()) return false;
  if ((a & EOMI_NOT_AFTER_VERB) && isTag(last, VV)) return false;
  if ((a & EOMI_NOT_AFTER_ADJECTIVE) && isTag(last, VA)) return false;
  if ((a & EOMI_NOT_AFTER_PREFINAL) && isTag(last, EP)) return false;
  if ((a & EOMI_NOT_AFTER_COPULA) && hasClass(last, CLASS_VC)) return false;
  if ((a & EOMI_ONLY_AFTER_COPULA) && !hasClass(last, CLASS_VC)) return false;
  if ((a & EOMI_EO_DROPPED) && P.lastChar() != SYLLABLE_EO) return false;
  return true;
}

// A record ending in a tag-less piece spells the start of the ending that
// completes it: ㅇ and 요 an ending in ㅇ, 는 an ending in ㄴ, anything else
// the very same unit.
bool tagLessPieceJoins(unsigned short c, const InterResult& N) {
  switch (c) {
    case LETTER_IEUNG:
      return Syllable(N.firstChar()).initial == INITIAL_IEUNG;
    case SYLLABLE_YO:
      return Syllable(N.surfaceFirst()).initial == INITIAL_IEUNG;
    case SYLLABLE_NEUN:
      return Syllable(N.firstChar()).initial == INITIAL_NIEUN;
    default:
      return c == N.firstChar();
  }
}

// An ending after a stem, an ending, the copula, a symbol or a tag-less
// piece.
Verdict endingFitsStem(const InterResult& N, const InterResult& P,
                       const Pass&) {
  const unsigned int first = N.posvalue();
  const unsigned int last = P.lastpos();
  const unsigned int a = N.attr();

  // 1. A noun that swallowed a particle takes no ending.
  if (P.nounirregular()) return Verdict::REJECT;

  // 2. After a symbol the copula is left out (3다).
  if (hasClass(last, CLASS_S)) return decide(a & EOMI_COPULA_DROPPABLE);

  // 3. Endings follow predicates, endings, xsv and tag-less pieces; after
  // the copula a pre-final ending or one that also stands for the copula.
  if (hasClass(last, CLASS_VC) && !isTag(first, EP) &&
      !(a & EOMI_COPULA_DROPPABLE))
    return Verdict::REJECT;
  if (!hasClassOf(last, CLASS_VC, CLASS_E, CLASS_V) &&
      !(isTag(last, XSV) || hasNoClass(last)))
    return Verdict::REJECT;

  // 4. A bare letter on either side only joins a tag-less piece spelled with
  // the same letter (가 + ㄴ); no ending follows a final, connective,
  // nominal or adnominal ending (a pre-final one is followed by more).
  if (isOneLetterMorpheme(P.lastChar()) || isOneLetterMorpheme(N.firstChar())) {
    if (!(hasNoClass(last) && P.lastChar() == N.firstChar()))
      return Verdict::REJECT;
  } else if (isOneOf(last, EF, EC, ETN, ETM)) {
    return Verdict::REJECT;
  }

  // 5.
  if (!endingFitsFinalConsonant(N, P)) return Verdict::REJECT;

  // 6.
  if (hasNoClass(last) && !tagLessPieceJoins(P.lastChar(), N))
    return Verdict::REJECT;

  // 7. The linking vowel 으 comes only after a closed stem syllable
  // (먹으면, not 가으면).
  if (!isTag(first, EP) && hasClass(last, CLASS_V) &&
      isLinkingEu(N.surfaceFirst()) && Syllable(P.firstLastChar()).isOpen())
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

Verdict allowsEnding(const InterResult& N, const InterResult& P,
                     const Pass& pass) {
  if (!hasClass(N.posvalue(), CLASS_E)) return Verdict::CONTINUE;
  if (hasClassOf(P.lastpos(), CLASS_XSN, CLASS_N))
    return endingFitsNoun(N, P, pass);
  return endingFitsStem(N, P, pass);
}

// ---------------------------------------------------------------------------
// Group 10, steps 5 and 6: affixes.

// A prefix inside a word follows a noun or a symbol.
Verdict allowsPrefix(const InterResult& N, const InterResult& P, const Pass&) {
  const unsigned int last = P.lastpos();
  if (hasClass(N.posvalue(), CLASS_XP) &&
      !(hasSymbolClass(last) || hasClass(last, CLASS_N)))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// A noun suffix (들, 님, 적) follows a noun, a nominal ending, a Latin word
// or a number.
Verdict allowsNounSuffix(const InterResult& N, const InterResult& P,
                         const Pass&) {
  if (!hasClass(N.posvalue(), CLASS_XSN)) return Verdict::CONTINUE;
  const unsigned int last = P.lastpos();
  if (!(hasClass(last, CLASS_N) || isOneOf(last, ETN, SL, SN)))
    return Verdict::REJECT;
  if (suffixRefusesPronounOrProperNoun(last)) return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 11: the verb suffix (하다, 되다) and the adjective suffix (스럽다)
// derive predicates from nouns.
Verdict allowsPredicateSuffix(const InterResult& N, const InterResult& P,
                              const Pass&) {
  const unsigned int first = N.posvalue();
  const unsigned int last = P.lastpos();
  if (isTag(first, XSV)) {
    if (!(hasClass(last, CLASS_N) || isTag(last, XSN))) return Verdict::REJECT;
    if (isOneOf(last, NP, NNP)) return Verdict::REJECT;
  } else if (isTag(first, XSA)) {
    if (!hasClass(last, CLASS_N)) return Verdict::REJECT;
    if (suffixRefusesPronounOrProperNoun(last)) return Verdict::REJECT;
  }
  return Verdict::CONTINUE;
}

// Group 12: a punctuation or other symbol does not follow a bare stem, the
// copula or a tag-less piece, which all need an ending first.
Verdict allowsSymbol(const InterResult& N, const InterResult& P, const Pass&) {
  const unsigned int last = P.lastpos();
  if (hasClass(N.posvalue(), CLASS_S) &&
      (hasClassOf(last, CLASS_VC, CLASS_V) || hasNoClass(last)))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 13: a number does not follow a predicate record, nor, in the strict
// pass, a determiner or interjection.
Verdict allowsNumber(const InterResult& N, const InterResult& P,
                     const Pass& pass) {
  const unsigned int prevFirst = P.posvalue();
  if (isTag(N.posvalue(), SN) &&
      (hasClass(prevFirst, CLASS_V) ||
       (!pass.second && hasClassOf(prevFirst, CLASS_MM, CLASS_IC))))
    return Verdict::REJECT;
  return Verdict::CONTINUE;
}

// Group 14: a tagged morpheme that passed every rule may follow; a tag-less
// piece only continues a tag-less piece ending in the unit it starts with.
bool defaultConnection(const InterResult& N, const InterResult& P) {
  if (!hasNoClass(N.posvalue())) return true;
  if (!hasNoClass(P.lastpos())) return false;
  return P.lastChar() == N.firstChar();
}

// The clue group, then the groups that can decide for a node, in order: the
// first that decides gives the answer, and when none does the default
// connection. The
// list is fixed at compile time, so every group is inlined into the switch
// of isPossible.
template <Rule... Groups>
bool connect(const InterResult& N, const InterResult& P, const Pass& pass) {
  Verdict verdict = clueMorphemes(N, P, pass);
  if (verdict != Verdict::CONTINUE) return verdict == Verdict::ACCEPT;
  static_cast<void>(
      (... && ((verdict = Groups(N, P, pass)) == Verdict::CONTINUE)));
  if (verdict != Verdict::CONTINUE) return verdict == Verdict::ACCEPT;
  return defaultConnection(N, P);
}

// The tags the groups test N against belong to the classes they are filed
// under.
static_assert(classOf(NP) == CLASS_N && classOf(NNP) == CLASS_N &&
                  classOf(NNB) == CLASS_N,
              "pronoun, proper noun and bound noun are nouns");
static_assert(classOf(VA) == CLASS_V && classOf(VX) == CLASS_V,
              "adjective and auxiliary stems share the verb class");
static_assert(classOf(XSV) == classOf(XSA),
              "the predicate suffixes share one class");
static_assert(classOf(SN) == CLASS_SN, "numbers have a class of their own");

// Groups 0 to 13, in the order in which they apply. Every group but the
// clue group looks first at the class of N's first tag and passes on any
// other class, so a node meets only the groups of its own class (kept in
// this order) after the clue group. Inlined into both callers below.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline bool possible(const InterResult& N, const InterResult& P,
                     const Pass& pass) {
  switch (classOf(N.posvalue())) {
    case CLASS_N:
      return connect<allowsNounAfter, allowsPronounAfter,
                     allowsProperNounAfter, allowsBoundNoun>(N, P, pass);
    case CLASS_V:
      return connect<allowsVerbAfter, allowsAdjectiveAfter,
                     allowsAuxiliaryPredicate>(N, P, pass);
    case CLASS_VC:
      return connect<allowsCopula>(N, P, pass);
    case CLASS_MM:
    case CLASS_MA:
    case CLASS_IC:
      return connect<allowsModifierOrInterjection>(N, P, pass);
    case CLASS_J:
      return connect<allowsParticle>(N, P, pass);
    case CLASS_E:
      return connect<allowsEnding>(N, P, pass);
    case CLASS_XP:
      return connect<allowsPrefix>(N, P, pass);
    case CLASS_XSN:
      return connect<allowsNounSuffix>(N, P, pass);
    case classOf(XSV):
      return connect<allowsPredicateSuffix>(N, P, pass);
    case CLASS_S:
      return connect<allowsSymbol>(N, P, pass);
    case CLASS_SN:
      return connect<allowsNumber>(N, P, pass);
    default:
      return connect<>(N, P, pass);
  }
}

}  // namespace

bool InterResult::isPossible(const InterResult* prev, unsigned int mode) const {
  if (prev == nullptr) return false;
  return possible(*this, *prev, Pass(mode));
}

void InterResult::pushPossible(const InterResult* prev,
                               const OpStack<InterResult*>& followers,
                               unsigned int mode,
                               OpStack<InterResult*>& out) {
  if (prev == nullptr) return;
  const Pass pass(mode);
  const uint64_t count = followers.size();
  for (uint64_t k = 0; k < count; ++k) {
    InterResult* follower = followers.at(k);
    if (possible(*follower, *prev, pass)) out.push(follower);
  }
}
