// The model trainer: counts a tagged corpus into the tables of a tagger
// model ("mtrans.frq", "etrans.frq" and an empty "tagseq.rul"), the whole
// run of the talmoro-train program.
//
// The counts are those whose quotients the tagger takes, so that every
// ratio it computes is the relative frequency it names. With units and keys
// as in model_keys.h (a morpheme's unit uses the tagger's class tags):
//
//   mtrans  per eojeol, over the units BOM, its morphemes, EOM: every unit
//           that has a right neighbour (BOM and each morpheme) in its
//           lexical and its tag form, and every adjacent pair in the
//           lexical:lexical and tag:tag forms. M("BOM") is the number of
//           eojeol.
//   etrans  per sentence, the left units BOE and the last morpheme of every
//           eojeol, in both forms; the pair of each with the first morpheme
//           of the next eojeol in the lexical:lexical, tag:lexical and
//           tag:tag forms; the pair of the sentence's last morpheme with
//           EOE in the lexical and tag forms. E("BOE") is the number of
//           sentences.
//
// Where two forms of one occurrence give the same key (symbols, pseudo
// units) it is counted once.
//
// Corpus formats:
//   text     one sentence per line, eojeol separated by spaces or tabs, each
//            eojeol its morphemes LEXICON/TAG joined by "+" (the tag follows
//            the last "/"); blank lines are skipped.
//   conllu   CoNLL-U: LEMMA holds the morphemes joined by "+", XPOS their
//            tags joined by "+"; where the counts differ the MISC entry
//            OrigLemma= gives the morphemes. Tokens with SpaceAfter=No join
//            the next token's eojeol. Multi-word ranges and empty nodes are
//            skipped.
// Tags are ours (nng, jks, ...) or Sejong tags, mapped by mapCorpusTag.
#ifndef TALMORO_TAGGER_MODEL_TRAINER_H_
#define TALMORO_TAGGER_MODEL_TRAINER_H_

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tagger/model_impl.h"

struct TrainMorpheme {
  std::string lexicon;
  std::string tag;  // our tag name
};
typedef std::vector<TrainMorpheme> TrainEojeol;
typedef std::vector<TrainEojeol> TrainSentence;

struct CorpusError {
  size_t line;  // 1-based
  std::string message;
};

enum class CorpusFormat { Text, Conllu };

// Our name of a corpus tag: one of ours as it is; a Sejong tag lower-cased,
// with NNBC -> nnb, SSO and SSC -> ss, SC -> sp, SY -> sw, NV -> vf. False
// for anything else.
bool mapCorpusTag(const std::string& tag, std::string* ours);

// Parse a whole corpus text (a leading byte-order mark and CR before LF are
// dropped). Appends the sentences of the good lines and one error per bad
// line; true when no line is bad.
bool parseTextCorpus(const std::string& text,
                     std::vector<TrainSentence>* sentences,
                     std::vector<CorpusError>* errors);
bool parseConlluCorpus(const std::string& text,
                       std::vector<TrainSentence>* sentences,
                       std::vector<CorpusError>* errors);

typedef std::map<std::string, long long> KeyCounts;

class ModelCounter {
 public:
  ModelCounter();
  // Counts one sentence; an empty one counts nothing.
  void addSentence(const TrainSentence& sentence);

  const KeyCounts& morphemeCounts() const { return mtrans_; }
  const KeyCounts& eojulCounts() const { return etrans_; }
  // The count of a key, 0 when absent.
  long long morpheme(const std::string& key) const;
  long long eojul(const std::string& key) const;
  size_t sentences() const { return sentences_; }
  size_t eojeols() const { return eojeols_; }
  size_t morphemes() const { return morphemes_; }

 private:
  KeyCounts mtrans_;
  KeyCounts etrans_;
  size_t sentences_;
  size_t eojeols_;
  size_t morphemes_;
  std::string keys_[3];
};

// Builds the darts table of the counts (a count above INT_MAX is stored as
// INT_MAX). False with a message when darts refuses the keys.
bool buildModelTable(const KeyCounts& counts, ModelTrie* table,
                     std::string* message);

// Writes dir/mtrans.frq, dir/etrans.frq and an empty dir/tagseq.rul (dir is
// created when missing) through temporary files renamed once all three are
// complete. False with a message when anything fails; no model file is then
// replaced.
bool writeModelTables(const KeyCounts& mtrans, const KeyCounts& etrans,
                      const std::string& dir, std::string* message);

// Reads, parses, counts and writes. format is "text", "conllu" or null /
// empty to choose by the file name (".conllu" or not). Every bad line is
// reported on err as "CORPUS:LINE: message" and then nothing is written.
// On success prints the counts on out. Returns 0 on success, 1 on failure.
int trainModelFile(const char* corpusPath, const char* format,
                   const char* outputDir, FILE* out, FILE* err);

#endif  // TALMORO_TAGGER_MODEL_TRAINER_H_
