// UserKnowledgeImpl: a user dictionary compiled in memory from UTF-8 text
// into the same trie, index and records as a system dictionary, and searched
// through its KnowledgeImpl part.
#ifndef TALMORO_KNOWLEDGE_USER_KNOWLEDGE_IMPL_H_
#define TALMORO_KNOWLEDGE_USER_KNOWLEDGE_IMPL_H_

#include "api/talmoro.h"
#include "knowledge/knowledge_impl.h"

class UserKnowledgeImpl : public UserKnowledge, public KnowledgeImpl {
 public:
  UserKnowledgeImpl();

  // Loads a text file: -1 when it cannot be read, else loadFromBuffer's 0.
  int load(const char* path) override;
  // Compiles the zero-terminated text, which it modifies. Returns 0.
  int loadFromBuffer(char* text) override;
  using KnowledgeImpl::loadFromBuffer;
  virtual ~UserKnowledgeImpl();

  void clear();
};

#endif  // TALMORO_KNOWLEDGE_USER_KNOWLEDGE_IMPL_H_
