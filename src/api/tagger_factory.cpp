// Factories of the tagger and its model.
#include "api/talmoro.h"
#include "tagger/model_impl.h"
#include "tagger/tagger_impl.h"

Model* Model::createObject() { return new ModelImpl(); }

void Model::destroyObject(Model* model) {
  delete static_cast<ModelImpl*>(model);
}

Tagger* Tagger::createObject() { return new TaggerImpl(); }

Tagger* Tagger::createObject(const Model* model) {
  return new TaggerImpl(model);
}

Tagger* Tagger::createObject(const Model* model, const Knowledge* knowledge) {
  return new TaggerImpl(model, knowledge);
}

Tagger* Tagger::createObject(const Model* model, const Knowledge* knowledge,
                             const UserKnowledge* user) {
  return new TaggerImpl(model, knowledge, user);
}

void Tagger::destroyObject(Tagger* tagger) {
  delete static_cast<TaggerImpl*>(tagger);
}
