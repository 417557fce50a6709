// UserKnowledgeImpl: a user dictionary compiled in memory from UTF-8 text
// into the same trie, index and records as a system dictionary, and searched
// through its KnowledgeImpl part.
//
// Text format: one surface per line followed by its analyses, separated by
// runs of spaces and tabs; an analysis is morphemes "lexicon/tag" joined by
// "+" (the tag follows the last "/"). Lines starting with ";" or a space are
// comments. Surfaces and lexicons are lower-cased; the tags nng and nfg are
// stored as the user-noun tags nnu and nfu. Every morpheme counts as spelled
// in the surface. Analyses of one surface are chained in file order.
#ifndef TALMORO_KNOWLEDGE_USER_KNOWLEDGE_IMPL_H_
#define TALMORO_KNOWLEDGE_USER_KNOWLEDGE_IMPL_H_

#include <vector>

#include "api/talmoro.h"
#include "knowledge/knowledge_impl.h"
#include "knowledge/lexicon_builder.h"

class UserKnowledgeImpl : public UserKnowledge, public KnowledgeImpl {
 public:
  UserKnowledgeImpl();

  // Loads a text file: -1 when it cannot be read (the dictionary is left as
  // it was), else loadFromBuffer's 0.
  int load(const char* path) override;
  // Compiles the zero-terminated text, which it modifies. Returns 0: bad
  // lines and analyses are reported on standard error and left out.
  int loadFromBuffer(char* text) override;
  using KnowledgeImpl::loadFromBuffer;
  virtual ~UserKnowledgeImpl();

  // Empties the dictionary: keys, index, records and trie.
  void clear();

 private:
  void compileLine(char* line);
  void compileAnalysis(const char* surface, const unsigned short* key,
                       size_t keyLength, char* analysis);

  // The surface key of every entered record; units allocated with malloc.
  std::vector<LexiconKey> keys_;
};

#endif  // TALMORO_KNOWLEDGE_USER_KNOWLEDGE_IMPL_H_
