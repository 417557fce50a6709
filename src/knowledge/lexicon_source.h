// The source lexicon of a system dictionary and its compilation into the
// files "sys.tri", "sys.idx" and "sys.dat" (the talmoro-dict program).
//
// A source lexicon is UTF-8 text, one surface per line with its analyses:
//
//   # surface   analysis ...
//   학교        학교/nng
//   가          가/vv  가/jks[@무종성]
//   갈          갈/vv  가/vv+~ㄹ/etm
//   는데        는데/ec[+지정사,-형용사]
//
// Fields are separated by runs of spaces and tabs; a field beginning with
// "#" starts a comment that runs to the end of the line; blank lines are
// ignored. An analysis is morphemes joined by "+", optionally followed
// directly by an attribute list in brackets:
//
//   morpheme   [~]LEXICON/TAG     the tag follows the last "/"; a leading
//                                 "~" clears the surface flag (the text is
//                                 not spelled in the surface)
//   TAG        a tag name (nng, jks, ...), "_" for an entry without tag,
//              or a code in hexadecimal (0x...) with bit 0 clear
//   [m,m,...]  attribute markers, OR-ed into the record's attribute word:
//              a bare marker (@유종성, +지정사, @단위, ...) belongs to the
//              ending, particle or bound-noun lexicon chosen by the first
//              morpheme's class; "eomi:", "josa:", "nnb:" or "clue:" name
//              the lexicon explicitly; a value 0x... gives bits directly (also
//              after a prefix). Clue markers set the attribute flag 2, all
//              others the flag 1; "flag:N" writes the flag byte N itself.
//
// A backslash makes the next byte literal (for "\+", "\[", "\~", "\#",
// "\ ", "\\" and a "/" inside a lexicon). Keys are stored as written, not
// lower-cased; text must stay inside the Basic Multilingual Plane and every
// lexicon within 127 units. Analyses of one surface, on one line or on
// several, are chained in file order.
#ifndef TALMORO_KNOWLEDGE_LEXICON_SOURCE_H_
#define TALMORO_KNOWLEDGE_LEXICON_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/membuf.h"
#include "knowledge/trie_builder.h"

struct SourceMorpheme {
  std::vector<unsigned short> text;
  unsigned int tag;  // bit 0 clear; the compiler marks the last entry
  bool spelled;      // the surface flag
};

struct SourceAnalysis {
  std::vector<SourceMorpheme> morphemes;
  unsigned char flag;  // attribute flag byte; 0 means no attribute word
  uint32_t attribute;
};

struct SourceEntry {
  size_t line;  // 1-based line number in the source
  std::vector<unsigned short> surface;
  std::vector<SourceAnalysis> analyses;
};

struct SourceError {
  size_t line;
  std::string message;
};

// Parses one line (without its line break). Returns true and fills *entry;
// a blank or comment line gives an entry without surface and analyses.
// Returns false with a message when the line is malformed.
bool parseSourceLine(const std::string& line, SourceEntry* entry,
                     std::string* message);

// Parses a whole source text (lines end at "\n", a "\r" before it and a
// leading byte-order mark are dropped). Appends the entries of the good lines
// and one error per bad line. True when no line is bad.
bool parseSource(const std::string& text, std::vector<SourceEntry>* entries,
                 std::vector<SourceError>* errors);

// The three structures of a compiled dictionary.
struct CompiledLexicon {
  CompiledLexicon();
  std::vector<TrieUnit> units;
  std::vector<int32_t> index;
  membuf records;
};

// Writes one record per analysis in entry order and builds the trie and
// index over the surfaces. False when the structures cannot be built.
bool compileEntries(const std::vector<SourceEntry>& entries,
                    CompiledLexicon* out);

// Writes "sys.tri", "sys.idx" and "sys.dat" into dir (created when missing)
// through temporary files that are renamed once all three are complete.
// False with a message when anything fails; no dictionary file is then
// replaced.
bool writeLexicon(const CompiledLexicon& lexicon, const std::string& dir,
                  std::string* message);

// Reads, parses, compiles and writes: the whole run of talmoro-dict. Every
// bad line is reported on `err` as "SOURCE:LINE: message"; when any line is
// bad nothing is written. Returns 0 on success, 1 on failure.
int compileSourceFile(const char* sourcePath, const char* outputDir,
                      FILE* err);

#endif  // TALMORO_KNOWLEDGE_LEXICON_SOURCE_H_
