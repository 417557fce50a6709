// Conversion of MeCab's output (mecab-ko-dic) into the text corpus format of
// the model trainer: one sentence per line, eojeol separated by spaces, each
// eojeol its morphemes LEXICON/TAG joined by "+".
//
// MeCab is run with the node format "%M\t%H\n" (the surface with the white
// space before it, a tab, the feature CSV) and the end-of-sentence line
// "EOS". A token whose surface has leading white space, and the first token
// of a sentence, begins an eojeol; the others join the eojeol before them.
//
// A token becomes the morphemes the dictionary converter gives its entry:
// an Inflect entry or a Preanalysis entry of several tags the morphemes of
// its expression field (form/TAG/* joined by "+"); any other token (plain
// words, Compound entries, one-tag Preanalysis entries, unknown words of a
// known class) one morpheme, its surface with its tag. Tags and jamo are
// mapped by LexiconConverter (NNBC to nnb, SSO and SSC to ss, SC to sp, SY to
// sw, the rest lower-cased; jongseong jamo to compatibility jamo), and in
// the converter's conventions (LexiconConverter::conventionTag, 여-endings
// after 하 as their 아-forms, also across tokens; markOpenFinalEnding). A
// sentence with a token that cannot be mapped (MeCab's UNKNOWN class, a
// malformed expression) is left out as a whole and written as an empty
// line, so that output line n stays sentence n of the input.
#ifndef TALMORO_TOOLS_LIB_MECAB_SILVER_H_
#define TALMORO_TOOLS_LIB_MECAB_SILVER_H_

#include <cstddef>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

struct SilverMorpheme {
  std::string form;  // UTF-8
  std::string tag;   // our tag name
};

struct SilverStats {
  size_t sentences = 0;  // sentences written
  size_t dropped = 0;    // sentences left out
  size_t eojeols = 0;
  size_t tokens = 0;
  size_t morphemes = 0;
  std::map<std::string, size_t> dropReasons;  // reason -> sentences
};

// The morphemes of one MeCab token (surface without its leading white
// space, feature CSV); false with a reason when it cannot be converted.
bool silverTokenMorphemes(const std::string& surface,
                          const std::string& feature,
                          std::vector<SilverMorpheme>* out,
                          std::string* reason);

// A final ending counts as one (ef) only where punctuation closes the
// sentence after it; one that ends its eojeol (a sentence left open, a
// title, a line of several sentences) is tagged as a connective ending
// (ec), as the tagger's dictionary also reads it.
void markOpenFinalEnding(std::vector<SilverMorpheme>* eojeol);

// Writes morphemes as LEXICON/TAG joined by "+".
std::string formatSilverEojeol(const std::vector<SilverMorpheme>& morphemes);

class SilverConverter {
 public:
  // Feeds one line of MeCab output (without its line break). Complete
  // sentences are appended to `out`, each with its line break.
  void addLine(const std::string& line, std::string* out);
  // Flushes a sentence left open by output that did not end in "EOS".
  void finish(std::string* out);
  const SilverStats& stats() const { return stats_; }

 private:
  void endSentence(std::string* out);

  std::vector<std::vector<SilverMorpheme>> eojeols_;
  bool open_ = false;  // a token of the current sentence was seen
  std::string failure_;
  SilverStats stats_;
};

// Converts the MeCab output in file `input` ("-" for standard input) into
// the corpus file `output` (written through a temporary file renamed when
// complete). Counts go to `err`. Returns 0 on success, 1 on failure.
int convertMecabOutputFile(const std::string& input, const std::string& output,
                           FILE* err);

#endif  // TALMORO_TOOLS_LIB_MECAB_SILVER_H_
