// Test helper: a system dictionary compiled in memory from source-lexicon
// text, and an analyzer whose lattice is built over a word from it, so that
// the analyzer's steps can be driven one by one.
#ifndef TALMORO_TESTS_LEXICON_FIXTURE_H_
#define TALMORO_TESTS_LEXICON_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/analyzer_impl.h"
#include "base/text.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/lexicon_source.h"

// Compiles `source` and loads it; null (with a test failure) when the
// source does not compile.
inline std::unique_ptr<KnowledgeImpl> compileLexicon(const std::string& source) {
  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  if (!parseSource(source, &entries, &errors)) {
    for (const SourceError& e : errors)
      ADD_FAILURE() << "line " << e.line << ": " << e.message;
    return nullptr;
  }
  CompiledLexicon lexicon;
  if (!compileEntries(entries, &lexicon)) {
    ADD_FAILURE() << "the lexicon does not compile";
    return nullptr;
  }
  std::unique_ptr<KnowledgeImpl> k(new KnowledgeImpl());
  const int rc = k->loadFromBuffer(
      reinterpret_cast<const char*>(lexicon.units.data()),
      lexicon.units.size() * sizeof(TrieUnit),
      reinterpret_cast<const char*>(lexicon.index.data()),
      lexicon.index.size() * sizeof(int32_t),
      reinterpret_cast<const char*>(lexicon.records.buf()),
      lexicon.records.size());
  if (rc != 0) {
    ADD_FAILURE() << "loadFromBuffer returned " << rc;
    return nullptr;
  }
  return k;
}

// Zero-terminated 16-bit units of a UTF-8 text.
inline std::vector<unsigned short> units(const char* utf8) {
  std::vector<unsigned short> out;
  unsigned short* u = utf8_touchar(reinterpret_cast<const unsigned char*>(utf8));
  for (unsigned short* p = u; p != nullptr && *p != 0; ++p) out.push_back(*p);
  std::free(u);
  out.push_back(0);
  return out;
}

// Number of units before the terminator.
inline unsigned long unitCount(const std::vector<unsigned short>& text) {
  return text.empty() ? 0 : text.size() - 1;
}

// The dictionary and symbol lattice over `text`, sorted, as the analyzer
// builds it before its first pass.
inline void buildLattice(AnalyzerImpl* a, const std::vector<unsigned short>& text) {
  a->clear();
  a->searchTrie(text.data(), unitCount(text));
  a->searchSymbol(text.data(), unitCount(text));
  a->sortStack();
}

// "lex/tag(start,end)" per morpheme, joined by " + ".
inline std::string describe(const Result* r) {
  std::string s;
  for (unsigned long i = 0; i < r->size(); ++i) {
    const int k = static_cast<int>(i);
    if (i > 0) s += " + ";
    s += r->lexicon(k);
    s += "/";
    s += r->posTag(k);
    s += "(" + std::to_string(r->startOffset(k)) + "," +
         std::to_string(r->endOffset(k)) + ")";
  }
  return s;
}

inline std::vector<std::string> describe(const Candidate& c) {
  std::vector<std::string> out;
  for (unsigned long i = 0; i < c.size(); ++i) out.push_back(describe(c.get(i)));
  return out;
}

#endif  // TALMORO_TESTS_LEXICON_FIXTURE_H_
