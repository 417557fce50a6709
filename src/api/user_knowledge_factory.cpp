#include <new>

#include "api/talmoro.h"
#include "knowledge/user_knowledge_impl.h"

UserKnowledge* UserKnowledge::createObject() {
  return new (std::nothrow) UserKnowledgeImpl();
}

// The interface has no virtual destructor: delete through the implementation.
void UserKnowledge::destroyObject(UserKnowledge* knowledge) {
  if (knowledge == nullptr) return;
  delete static_cast<UserKnowledgeImpl*>(knowledge);
}
