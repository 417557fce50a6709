// Attribute bits of dictionary records, by the marker that names each in the
// source lexicon. An attribute word holds the bits of all markers of an entry
// combined with OR. What a bit means depends on the morpheme it belongs to:
// ending bits on endings, particle bits on particles, bound-noun bits on
// bound nouns, clue bits on records whose attribute flag is
// CLUE_ATTRIBUTE_FLAG. The values are part of the record format.
#ifndef TALMORO_POS_ATTRIBUTE_BITS_H_
#define TALMORO_POS_ATTRIBUTE_BITS_H_

// Attribute flag byte of a record (0: no attribute word; any other value
// except this one: ordinary attribute bits).
constexpr unsigned char CLUE_ATTRIBUTE_FLAG = 2;

// Ending bits (markers of the ending lexicon).
constexpr unsigned int EOMI_AFTER_OPEN_SYLLABLE = 0x1;      // "@무종성"
constexpr unsigned int EOMI_AFTER_CLOSED_SYLLABLE = 0x2;    // "@유종성"
constexpr unsigned int EOMI_AFTER_RIEUL_OR_OPEN = 0x4;      // "@ㄹ종성"
constexpr unsigned int EOMI_NOT_AFTER_RIEUL = 0x8;          // "-ㄹ종성"
constexpr unsigned int EOMI_AFTER_SSANGSIOT = 0x10;         // "@ㅆ종성"
constexpr unsigned int EOMI_NOT_AFTER_VERB = 0x20;          // "-동사"
constexpr unsigned int EOMI_NOT_AFTER_ADJECTIVE = 0x40;     // "-형용사"
constexpr unsigned int EOMI_NOT_AFTER_PREFINAL = 0x80;      // "-선어말어미"
constexpr unsigned int EOMI_NO_AUX_PARTICLE_AFTER = 0x100;  // "보조사-"
constexpr unsigned int EOMI_NO_AUX_PREDICATE_AFTER = 0x200; // "보조용언-"
constexpr unsigned int EOMI_COPULA_DROPPABLE = 0x400;       // "+지정사"
constexpr unsigned int EOMI_NOT_AFTER_COPULA = 0x800;       // "-지정사"
constexpr unsigned int EOMI_NO_COPULA_DROP = 0x1000;        // "-지정사생략"
constexpr unsigned int EOMI_ONLY_AFTER_COPULA = 0x2000;     // "@지정사"
constexpr unsigned int EOMI_HONORIFIC_EUSI = 0x4000;        // "+으시"
constexpr unsigned int EOMI_EO_DROPPED = 0x8000;            // "-어생략"
constexpr unsigned int EOMI_YEO_IRREGULAR = 0x10000;        // "여불규칙"
constexpr unsigned int EOMI_SPECIAL = 0x20000;              // "특이"
constexpr unsigned int EOMI_EOJEOL_GUESS = 0x40000;         // "어절추정"

// Particle bits (markers of the particle lexicon).
constexpr unsigned int JOSA_AFTER_OPEN_SYLLABLE = 0x1;      // "@무종성"
constexpr unsigned int JOSA_AFTER_CLOSED_SYLLABLE = 0x2;    // "@유종성"
constexpr unsigned int JOSA_ALSO_AFTER_RIEUL = 0x4;         // "+ㄹ종성"
constexpr unsigned int JOSA_AFTER_NOMINAL = 0x8;            // "@체언"
constexpr unsigned int JOSA_AFTER_PRONOUN = 0x10;           // "@대명사"
constexpr unsigned int JOSA_NO_AUX_PARTICLE_AFTER = 0x20;   // "보조사-"
constexpr unsigned int JOSA_NO_ENDING_AFTER = 0x40;         // "어미-"
constexpr unsigned int JOSA_EOJEOL_GUESS = 0x80;            // "어절추정"

// Bound-noun bits (markers of the bound-noun lexicon).
constexpr unsigned int BOUND_NOUN_UNIT = 0x1;               // "@단위"
constexpr unsigned int BOUND_NOUN_PLUS_DEPENDENT = 0x2;     // "+의존"
constexpr unsigned int BOUND_NOUN_MINUS_DEPENDENT = 0x4;    // "-의존"

// Clue bits. The low 16 bits speak of the preceding node, the bits from
// 0x10000 upwards of the following node.
constexpr unsigned int CLUE_AFTER_NOUN_1SYL = 0x1;            // "+1음절명사"
constexpr unsigned int CLUE_AFTER_NOUN_2SYL = 0x2;            // "+2음절명사"
constexpr unsigned int CLUE_AFTER_VERB_1SYL = 0x4;            // "+1음절동사"
constexpr unsigned int CLUE_AFTER_VERB_2SYL = 0x8;            // "+2음절동사"
constexpr unsigned int CLUE_AFTER_AUX_PARTICLE = 0x10;        // "+보조사"
constexpr unsigned int CLUE_BEFORE_NOUN_1SYL = 0x10000;       // "1음절명사+"
constexpr unsigned int CLUE_BEFORE_NOUN_2SYL = 0x20000;       // "2음절명사+"
constexpr unsigned int CLUE_BEFORE_VERB_1SYL = 0x40000;       // "1음절동사+"
constexpr unsigned int CLUE_BEFORE_VERB_2SYL = 0x80000;       // "2음절동사+"
constexpr unsigned int CLUE_BEFORE_BOUND_NOUN = 0x100000;     // "의존명사+"
constexpr unsigned int CLUE_BEFORE_ENDING = 0x200000;         // "어미+"
constexpr unsigned int CLUE_BEFORE_AUX_PARTICLE = 0x400000;   // "보조사+"

#endif  // TALMORO_POS_ATTRIBUTE_BITS_H_
