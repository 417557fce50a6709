// talmoro: morphological analysis and part-of-speech tagging of Korean.
//
// This header is everything a host program needs. Load a system dictionary
// (a directory holding "sys.tri", "sys.idx" and "sys.dat"), optionally a user
// dictionary (UTF-8 text) and, for tagging, a model (a directory holding
// "mtrans.frq", "etrans.frq" and "tagseq.rul"). Then either analyse one word
// (eojeol) into every plausible sequence of morphemes, scored and sorted:
//
//   Knowledge* dic = Knowledge::createObject();
//   if (dic->load("/usr/share/talmoro/dic") != 0) { /* error */ }
//   Analyzer* analyzer = Analyzer::createObject(dic);
//   Candidate* candidate = Candidate::createObject();
//   analyzer->process("학교에", candidate);
//   for (unsigned long k = 0; k < candidate->size(); ++k) {
//     const Result* r = candidate->get(k);
//     for (unsigned long i = 0; i < r->size(); ++i)
//       printf("%s/%s ", r->lexicon(i), r->posTag(i));
//   }
//   Candidate::destroyObject(candidate);
//   Analyzer::destroyObject(analyzer);
//   Knowledge::destroyObject(dic);
//
// or tag a sentence with a Tagger and a Sentence in the same way.
//
// Every object is created by its interface's createObject and destroyed by
// its destroyObject (never by delete). Dictionaries and models are read-only
// once loaded and may be shared by analyzers and taggers in several threads;
// the caller keeps them alive while any analyzer or tagger holds them. An
// analyzer, tagger, candidate or sentence is used by one thread at a time.
// Failures are return values: loads return 0 or a negative code, process
// returns a count, look-ups return null or 0. No operation throws, except
// the option reader of base/args.h.
#ifndef TALMORO_API_TALMORO_H_
#define TALMORO_API_TALMORO_H_

#include "base/args.h"
#include "base/export.h"
#include "base/text.h"
#include "pos/attributes.h"
#include "pos/pos.h"

// File names of a system dictionary directory.
inline constexpr char KNOWLEDGE_TRIE_FILE[] = "sys.tri";
inline constexpr char KNOWLEDGE_INDEX_FILE[] = "sys.idx";
inline constexpr char KNOWLEDGE_DATA_FILE[] = "sys.dat";

// File names of a model directory.
inline constexpr char MODEL_MORPHEME_TRANSITION_FILE[] = "mtrans.frq";
inline constexpr char MODEL_EOJUL_TRANSITION_FILE[] = "etrans.frq";
inline constexpr char MODEL_TAGSEQ_RULE_FILE[] = "tagseq.rul";

// The pseudo units of model keys: the begin and end of a word's morphemes
// and of a sentence's words ("BOM", "EOM", "BOE", "EOE").
extern TALMORO_API const char* const BEGIN_OF_MORPHEME;
extern TALMORO_API const char* const END_OF_MORPHEME;
extern TALMORO_API const char* const BEGIN_OF_EOJUL;
extern TALMORO_API const char* const END_OF_EOJUL;

class Result;
class Eojul;

// A system dictionary. Create, then load; read-only afterwards.
class TALMORO_API Knowledge {
 public:
  // Loads "sys.tri", "sys.idx" and "sys.dat" from the directory `dir`.
  // Returns 0 on success; -1 when "sys.tri" cannot be read whole, -2 when
  // "sys.idx" or "sys.dat" cannot be opened, -3 when the size of "sys.idx"
  // is not a multiple of 4. After a failure the dictionary must be loaded
  // again before use.
  virtual int load(const char* dir) = 0;
  // The same from three file images, which are copied (the caller keeps its
  // buffers). Returns 0, or -2 when idxSize is not a multiple of 4.
  virtual int loadFromBuffer(const char* tri, unsigned long triSize,
                             const char* idx, unsigned long idxSize,
                             const char* dat, unsigned long datSize) = 0;

  // A new empty dictionary. Release it with destroyObject.
  static Knowledge* createObject();
  // Destroys a dictionary; does nothing for null.
  static void destroyObject(Knowledge* knowledge);
};

// A user dictionary, compiled in memory from UTF-8 text. Each line holds a
// surface and one or more analyses, separated by spaces or tabs; an analysis
// is morphemes "lexicon/tag" joined by "+"; lines starting with ";" or a
// space are comments. Malformed lines are reported on standard error and
// skipped; they never fail the load.
class TALMORO_API UserKnowledge {
 public:
  // Loads a text file; 0 on success, -1 when the file cannot be opened.
  virtual int load(const char* path) = 0;
  // Loads from a writable zero-terminated buffer, which it modifies.
  // Returns 0.
  virtual int loadFromBuffer(char* text) = 0;

  static UserKnowledge* createObject();
  static void destroyObject(UserKnowledge* knowledge);
};

// A tagger model: transition counts and tag-sequence patterns.
class TALMORO_API Model {
 public:
  // Loads "mtrans.frq", "etrans.frq" and "tagseq.rul" from `dir`; 0 on
  // success, -1 on failure.
  virtual int load(const char* dir) = 0;

  static Model* createObject();
  static void destroyObject(Model* model);
};

// One analysis of a word: a sequence of morphemes. Offsets count 16-bit
// code units (one per code point) of the analysed word, or of the sentence
// for a tagged word. Indexes are not checked: keep them below size().
class TALMORO_API Result {
 public:
  // Number of morphemes.
  virtual unsigned long size() const = 0;
  // The morpheme's dictionary form as UTF-8; owned by the result.
  virtual const char* lexicon(int i) const = 0;
  // The morpheme's tag name, such as "nng".
  virtual const char* posTag(int i) const = 0;
  virtual pos_t pos(int i) const = 0;
  virtual unsigned long startOffset(int i) const = 0;
  virtual unsigned long endOffset(int i) const = 0;
  // endOffset(i) - startOffset(i).
  virtual unsigned long length(int i) const = 0;
  // Higher is better; results of a candidate come sorted by it.
  virtual float score() const = 0;
};

// The analyses of one word, best first. Owns its results: pointers from it
// stay valid until it is cleared, processed into again or destroyed.
class TALMORO_API Candidate {
 public:
  virtual void clear() = 0;
  // Number of results.
  virtual unsigned long size() const = 0;
  // The analysed word as UTF-8, or null before any analysis.
  virtual const char* origin() const = 0;
  // The result at `index` (0 is the best), or null when out of range.
  virtual const Result* get(unsigned long index) const = 0;

  static Candidate* createObject();
  // Destroys the candidate and every result it holds; nothing for null.
  static void destroyObject(Candidate* candidate);
};

// One word of a tagged sentence with the analysis chosen for it.
class TALMORO_API Eojul {
 public:
  // The word as UTF-8.
  virtual const char* eojul() const = 0;
  // The chosen analysis, with offsets in the sentence.
  virtual const Result* result() const = 0;
};

// The words of a tagged sentence, in order. Owns them, as a candidate owns
// its results.
class TALMORO_API Sentence {
 public:
  virtual void clear() = 0;
  virtual unsigned long size() const = 0;
  // The word at `index`, or null when out of range.
  virtual const Eojul* get(unsigned long index) const = 0;

  static Sentence* createObject();
  static void destroyObject(Sentence* sentence);
};

// Analyses one word at a time.
class TALMORO_API Analyzer {
 public:
  // Replace the dictionaries used by later calls; null means none. The
  // analyzer keeps the pointers and never frees them.
  virtual void setSysKnowledge(const Knowledge* knowledge) = 0;
  virtual void setUserKnowledge(const UserKnowledge* knowledge) = 0;
  // Analyses one word of UTF-8 text into `candidate` (which must come from
  // Candidate::createObject and is cleared first). Returns the number of
  // results; every non-empty, well-formed word gets at least one. A null
  // text returns 0 and leaves the candidate untouched.
  virtual unsigned long process(const char* text, Candidate* candidate) = 0;
  // Strict analysis skips the relaxed second pass. Off by default.
  virtual void setStrictAnalysis(bool strict) = 0;

  static Analyzer* createObject();
  static Analyzer* createObject(const Knowledge* knowledge);
  static Analyzer* createObject(const Knowledge* knowledge,
                                const UserKnowledge* user);
  static void destroyObject(Analyzer* analyzer);
};

// Tags a sentence: cuts it into words at spaces, tabs, line feeds and
// carriage returns, analyses each and chooses one analysis per word with the
// model. Without a model, or with one whose "BOM" or "BOE" count is 0, it
// runs no search and keeps, for every word, the analysis the analyzer ranked
// first.
class TALMORO_API Tagger {
 public:
  virtual void setModel(const Model* model) = 0;
  virtual void setSysKnowledge(const Knowledge* knowledge) = 0;
  virtual void setUserKnowledge(const UserKnowledge* knowledge) = 0;
  // Tags a UTF-8 sentence into `sentence` (which must come from
  // Sentence::createObject and is cleared first). Returns the number of
  // words; 0 for a null text.
  virtual unsigned long process(const char* text, Sentence* sentence) = 0;
  virtual void setStrictAnalysis(bool strict) = 0;

  static Tagger* createObject();
  static Tagger* createObject(const Model* model);
  static Tagger* createObject(const Model* model, const Knowledge* knowledge);
  static Tagger* createObject(const Model* model, const Knowledge* knowledge,
                              const UserKnowledge* user);
  static void destroyObject(Tagger* tagger);
};

#endif  // TALMORO_API_TALMORO_H_
