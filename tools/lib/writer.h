// The output formats of the talmoro program: one writer turns a tagged
// sentence, or the analyses of every word of a line, into text.
//
//   text    per word: WORD TAB lex/tag+lex/tag...; a blank line after each
//           sentence
//   morphs  one line per input line: lex/tag lex/tag ...
//   json    one object per input line (JSON Lines)
//   conllu  one token per word, morphemes in LEMMA and upper-cased tags in
//           XPOS, joined by "+"; "# sent_id" and "# text =" comments
//
// Every call appends exactly one sentence's worth of output, so that output
// stays aligned with the input lines, even for empty or unreadable lines.
#ifndef TALMORO_TOOLS_LIB_WRITER_H_
#define TALMORO_TOOLS_LIB_WRITER_H_

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "api/talmoro.h"

enum class OutputFormat { kText, kMorphs, kJson, kConllu };

// Reads "text", "morphs", "json" or "conllu"; false for any other name.
bool parseOutputFormat(const std::string& name, OutputFormat* format);

// True when `text` is well-formed UTF-8: shortest forms only, no surrogates,
// nothing above U+10FFFF, and no NUL byte.
bool isValidUtf8(const std::string& text);

// Appends `text` as a quoted JSON string. Quotes, backslashes and control
// characters are escaped; a byte sequence that is not UTF-8 becomes U+FFFD,
// so the output is always valid UTF-8.
void appendJsonString(std::string* out, const char* text, size_t length);
void appendJsonString(std::string* out, const std::string& text);

// One word of a line under analysis: its text, the offset of its first unit
// in the line (in 16-bit units, as the tagger counts them) and its analyses.
struct AnalyzedWord {
  std::string word;
  unsigned long start;
  const Candidate* candidate;
};

// Cuts a line into words where the tagger does: at spaces, tabs, line feeds
// and carriage returns, and at code points above U+FFFF, which the engine
// reads as spaces. Each word comes with its offset in 16-bit units (one per
// code point). The line must be valid UTF-8.
std::vector<std::pair<std::string, unsigned long>> splitWords(
    const std::string& line);
// True when splitWords would find a word.
bool hasWords(const std::string& line);

class Writer {
 public:
  explicit Writer(OutputFormat format) : format_(format) {}

  OutputFormat format() const { return format_; }

  // A tagged line. `id` numbers the sentence (its line number) for conllu.
  void writeTagged(const std::string& line, size_t id, const Sentence& sentence,
                   std::string* out) const;

  // Every analysis of every word of a line, best first. Offsets in json are
  // moved to the line, as in tagged output. Text: WORD TAB RANK TAB
  // morphemes TAB SCORE per analysis, a blank line after the line; json: one
  // object per line with "candidates" per word. Morphs and conllu have one
  // analysis per word and write the best one.
  void writeAnalyzed(const std::string& line, size_t id,
                     const std::vector<AnalyzedWord>& words,
                     std::string* out) const;

  // A line with nothing to tag (empty or blank) or that could not be read:
  // the same shape of output with no words, so later lines stay aligned.
  // `error`, when not null, is noted in json and conllu.
  void writeEmpty(const std::string& line, size_t id, const char* error,
                  std::string* out) const;

 private:
  OutputFormat format_;
};

#endif  // TALMORO_TOOLS_LIB_WRITER_H_
