// The keys of the tagger model tables, shared by the tagger and the model
// trainer so that both write a morpheme the same way.
//
// A morpheme enters a key as a unit of its dictionary form L and its class
// tag T (modelClassTag). Symbol classes (T beginning with "s") drop L. A
// unit has two written forms:
//
//   form           L not empty   L empty
//   lexical key    L/T           T
//   tag key        /T            T
//
// The pseudo units "BOM", "EOM", "BOE" and "EOE" are their name in both
// forms. A pair key is two unit keys joined by ":".
#ifndef TALMORO_TAGGER_MODEL_KEYS_H_
#define TALMORO_TAGGER_MODEL_KEYS_H_

#include <string>

#include "pos/pos.h"

// The class tag of a morpheme tag: "s_" for ss, se, so and sw; "n_" for
// nng, nfg, nnc, nnx, nnu, nfu, nnp, nf and xr; "j_" for jx; otherwise the
// tag's full name ("" for a code without one).
const char* modelClassTag(pos_t tag);

struct ModelUnit {
  const char* lexicon;  // dictionary form, "" when dropped; null: pseudo unit
  const char* tag;      // class tag, or the pseudo unit's name
};

// The unit of a morpheme (both strings must outlive the unit).
ModelUnit morphemeUnit(const char* lexicon, pos_t tag);
// A pseudo unit such as BEGIN_OF_MORPHEME.
ModelUnit pseudoUnit(const char* name);

// Append the lexical or the tag key of a unit.
void appendLexicalKey(std::string* key, const ModelUnit& unit);
void appendTagKey(std::string* key, const ModelUnit& unit);

// The pair separator.
constexpr char MODEL_PAIR_SEPARATOR = ':';

#endif  // TALMORO_TAGGER_MODEL_KEYS_H_
