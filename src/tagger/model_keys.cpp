#include "tagger/model_keys.h"

const char* modelClassTag(pos_t tag) {
  if (tag == SS || tag == SE || tag == SO || tag == SW) return "s_";
  if (tag == NNG || tag == NFG || tag == NNC || tag == NNX || tag == NNU ||
      tag == NFU || tag == NNP || tag == NF || tag == XR)
    return "n_";
  if (tag == JX) return "j_";
  const char* name = getLevel3PosTag(tag);
  return name != nullptr ? name : "";
}

ModelUnit morphemeUnit(const char* lexicon, pos_t tag) {
  const char* cls = modelClassTag(tag);
  if (lexicon == nullptr || cls[0] == 's') lexicon = "";
  return ModelUnit{lexicon, cls};
}

ModelUnit pseudoUnit(const char* name) { return ModelUnit{nullptr, name}; }

void appendLexicalKey(std::string* key, const ModelUnit& unit) {
  if (unit.lexicon != nullptr && unit.lexicon[0] != '\0') {
    key->append(unit.lexicon);
    key->push_back('/');
  }
  key->append(unit.tag);
}

void appendTagKey(std::string* key, const ModelUnit& unit) {
  if (unit.lexicon != nullptr && unit.lexicon[0] != '\0') key->push_back('/');
  key->append(unit.tag);
}
