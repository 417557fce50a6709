// Tagger model counts derived from a MeCab dictionary (mecab-ko-dic): its
// connection costs (matrix.bin) and word costs (sys.dic), optionally added
// to the counts of a tagged corpus.
//
// Costs become weights exp(-cost / scale). For every right context r of the
// dictionary, the weights of what may follow it are summed per class tag of
// the following word's first morpheme, once as written without a space
// (the rest of the eojeol) and once after a space (the left-space penalties
// of the dictionary's dicrc added: particles and endings rarely begin an
// eojeol), and the end of the sentence (connection to BOS/EOS). Normalised
// per context and averaged over the contexts of a tag, weighted by the word
// weights of the tokens that end in that tag, these give
//   P(b | a)     next morpheme's tag b inside the eojeol,
//   P(EOM | a)   end of eojeol after a (a space or the end of the sentence),
//   Pe(b | a)    first tag b of the next eojeol,
//   Pe(EOE | a)  end of sentence, scaled so that sentences have on average
//                `eojeolsPerSentence` eojeol.
// Word probabilities p(x | T) within a class tag come from the word weights
// of the entries that hold morpheme x. The counts are then "expected counts"
// of a corpus of `eojeols` eojeol: M(/a) from the visits of a chain started
// at BOM, pairs M(/a:/b) = M(/a) P(b | a), lexical units M(x) = M(/T) p(x|T),
// BOM:x, x:EOM, the pairs inside multi-morpheme entries, and the matching
// eojeol-table keys (lexical pairs across eojeol are left to the fallback).
// Lexical keys are made for every morpheme of a closed class and for the
// `openWords` most weighty morphemes of the open classes (nouns, verbs,
// adjectives, adverbs, roots, interjections, foreign words), tag:lexical
// eojeol keys for the `crossWords` most weighty morphemes only.
//
// The combined morpheme counts are then adjusted (moveOpenFinalEndings,
// foldEmissions) before the tables are written.
#ifndef TALMORO_TOOLS_LIB_MECAB_MODEL_H_
#define TALMORO_TOOLS_LIB_MECAB_MODEL_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tagger/model_trainer.h"

// matrix.bin: two 16-bit sizes (the number of right ids, then of left ids)
// and the 16-bit costs, the cost of right id r followed by left id l at
// r + rsize * l.
class MecabMatrix {
 public:
  bool load(const std::string& path, std::string* message);
  bool loadFromBuffer(const std::string& bytes, std::string* message);
  size_t rightSize() const { return rsize_; }
  size_t leftSize() const { return lsize_; }
  int cost(size_t right, size_t left) const {
    return costs_[right + rsize_ * left];
  }

 private:
  size_t rsize_ = 0;
  size_t lsize_ = 0;
  std::vector<int16_t> costs_;
};

// The "left-space-penalty-factor" entry of a dicrc text: posid -> penalty.
std::map<int, int> parseLeftSpacePenalties(const std::string& dicrc);

struct PseudoCountOptions {
  double scale = 400.0;               // cost units per factor e
  double eojeols = 1e6;               // M(BOM)
  double eojeolsPerSentence = 8.0;    // M(BOM) / E(BOE)
  size_t openWords = 30000;
  size_t crossWords = 3000;
};

// One dictionary token as the derivation sees it.
struct PseudoToken {
  int left = 0;   // left context id
  int right = 0;  // right context id
  int cost = 0;   // word cost
  int penalty = 0;  // left-space penalty of its posid
  std::vector<TrainMorpheme> morphemes;
};

// Derives the counts from tokens and a connection matrix. False with a
// message when a token's context id lies outside the matrix.
bool derivePseudoCounts(const std::vector<PseudoToken>& tokens,
                        const MecabMatrix& matrix,
                        const PseudoCountOptions& options, KeyCounts* mtrans,
                        KeyCounts* etrans, std::string* message);

// Reads sys.dic, matrix.bin and dicrc of a dictionary directory into tokens
// and matrix; the tokens' morphemes are those of the silver converter, and
// tokens it cannot convert are skipped.
bool readMecabModelSource(const std::string& dir,
                          std::vector<PseudoToken>* tokens, MecabMatrix* matrix,
                          std::string* message);

// Moves the counts of a final ending (ef) closing an eojeol, x/ef:EOM and
// /ef:EOM, to the same ending as a connective one (x/ec:EOM, /ec:EOM), with
// the unit counts: an eojeol-final ending is read as ef only when
// punctuation follows it within the eojeol (see markOpenFinalEnding).
void moveOpenFinalEndings(KeyCounts* mtrans);

// Replaces the count of every lexical unit x/T of the morpheme table by the
// count of its tag /T. The tagger divides the count of a pair x:y by the
// count of x; with this, the quotient is P(y | x) P(x | T), so that a
// morpheme's own probability within its tag (와 among the conjunctive
// particles, and among the adverbial ones) enters the score, and not only
// the probabilities of its tag and of what follows it.
void foldEmissions(KeyCounts* mtrans);

// Adds `weight` times every count of `from` into `into` (rounded; keys that
// round to 0 are not added).
void addCounts(const KeyCounts& from, double weight, KeyCounts* into);

struct MecabModelJob {
  std::string dictionary;  // mecab-ko-dic directory
  std::string corpus;      // tagged corpus in text format, may be empty
  std::string output;      // model directory
  PseudoCountOptions options;
  bool pseudo = true;      // derive counts from the dictionary
  // With a corpus, the dictionary's counts stand for this share of the
  // corpus' eojeol (options.eojeols is then ignored).
  double pseudoShare = 0.1;
  // Every count is multiplied by this, so that the derived counts of rare
  // pairs survive rounding next to the corpus counts. Ratios stay; only the
  // fallback 1/M(BOM), 1/E(BOE) of unseen pairs shrinks with it.
  double resolution = 1.0;
  // Lexical units counted as their tag (see foldEmissions).
  bool emission = true;
  // Final endings that end an eojeol counted as connective ones (see
  // moveOpenFinalEndings).
  bool openFinalEndings = true;
};

// The whole run of talmoro-mecab-model. Returns 0 on success, 1 on failure.
int buildMecabModel(const MecabModelJob& job, FILE* out, FILE* err);

#endif  // TALMORO_TOOLS_LIB_MECAB_MODEL_H_
