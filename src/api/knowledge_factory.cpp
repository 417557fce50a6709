#include "api/talmoro.h"
#include "knowledge/knowledge_impl.h"

Knowledge* Knowledge::createObject() { return new KnowledgeImpl(); }

// Every Knowledge comes from a KnowledgeImpl (a user dictionary's Knowledge
// side included), whose destructor is virtual.
void Knowledge::destroyObject(Knowledge* knowledge) {
  delete static_cast<KnowledgeImpl*>(knowledge);
}
