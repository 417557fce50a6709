#include "tagger/model_trainer.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "base/text.h"
#include "pos/pos.h"
#include "tagger/model_keys.h"

namespace {

// --- Lines ---------------------------------------------------------------

// Splits text at "\n", dropping a "\r" before it and a leading byte-order
// mark; a final line without "\n" counts.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    if (end == std::string::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

bool isTagChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// --- The text format -----------------------------------------------------

// Morphemes LEXICON/TAG joined by "+". A "+" is a separator only where the
// text before it ends a morpheme (a "/" after a non-empty lexicon and a
// tag); otherwise it belongs to the lexicon, so "+/sw" and "a+b/nng" stay
// single morphemes.
bool parseTextEojeol(const std::string& word, TrainEojeol* out,
                     std::string* message) {
  std::string current;
  bool open = false;
  for (const std::string& piece : split(word, '+')) {
    if (open)
      current += "+" + piece;
    else
      current = piece;
    open = true;
    const size_t slash = current.rfind('/');
    if (slash == std::string::npos || slash == 0 ||
        slash + 1 == current.size())
      continue;
    bool tagLike = true;
    for (size_t i = slash + 1; i < current.size(); ++i)
      if (!isTagChar(current[i])) tagLike = false;
    if (!tagLike) continue;
    const std::string tag = current.substr(slash + 1);
    TrainMorpheme m;
    if (!mapCorpusTag(tag, &m.tag)) {
      *message = "unknown tag \"" + tag + "\" in \"" + word + "\"";
      return false;
    }
    m.lexicon = current.substr(0, slash);
    out->push_back(m);
    open = false;
  }
  if (open) {
    *message = "\"" + word + "\" is not LEXICON/TAG joined by \"+\"";
    return false;
  }
  return true;
}

// --- CoNLL-U -------------------------------------------------------------

// The value of KEY= in a MISC field; false when absent.
bool miscValue(const std::string& misc, const std::string& key,
               std::string* value) {
  for (const std::string& entry : split(misc, '|')) {
    if (entry.size() > key.size() && entry.compare(0, key.size(), key) == 0 &&
        entry[key.size()] == '=') {
      *value = entry.substr(key.size() + 1);
      return true;
    }
  }
  return false;
}

bool parseConlluToken(const std::vector<std::string>& fields,
                      TrainEojeol* out, std::string* message) {
  const std::string& lemma = fields[2];
  const std::string& xpos = fields[4];
  const std::vector<std::string> tags = split(xpos, '+');
  std::vector<std::string> lemmas = split(lemma, '+');
  if (lemmas.size() != tags.size()) {
    std::string orig;
    if (miscValue(fields[9], "OrigLemma", &orig)) lemmas = split(orig, '+');
  }
  // A lexicon that is itself "+" (or holds one) under a single tag.
  if (lemmas.size() != tags.size() && tags.size() == 1) lemmas = {lemma};
  if (lemmas.size() != tags.size()) {
    *message = std::to_string(lemmas.size()) + " morphemes in \"" + lemma +
               "\" for " + std::to_string(tags.size()) + " tags \"" + xpos +
               "\"";
    return false;
  }
  for (size_t i = 0; i < tags.size(); ++i) {
    TrainMorpheme m;
    if (!mapCorpusTag(tags[i], &m.tag)) {
      *message = "unknown tag \"" + tags[i] + "\"";
      return false;
    }
    if (lemmas[i].empty()) {
      *message = "empty morpheme in \"" + lemma + "\"";
      return false;
    }
    m.lexicon = lemmas[i];
    out->push_back(m);
  }
  return true;
}

// --- Counting ------------------------------------------------------------

ModelUnit unitOf(const TrainMorpheme& m) {
  return morphemeUnit(m.lexicon.c_str(), pos_t(getPosValue(m.tag.c_str())));
}

std::string lexKey(const ModelUnit& u) {
  std::string key;
  appendLexicalKey(&key, u);
  return key;
}

std::string tagKey(const ModelUnit& u) {
  std::string key;
  appendTagKey(&key, u);
  return key;
}

std::string pairKey(const std::string& a, const std::string& b) {
  std::string key = a;
  key.push_back(MODEL_PAIR_SEPARATOR);
  key += b;
  return key;
}

// Adds 1 to each distinct key among keys[0 .. n).
void countDistinct(KeyCounts* counts, const std::string* keys, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    bool seen = false;
    for (size_t k = 0; k < i; ++k)
      if (keys[k] == keys[i]) seen = true;
    if (!seen) ++(*counts)[keys[i]];
  }
}

// --- Files ---------------------------------------------------------------

bool writeFile(const std::string& path, const void* data, size_t size,
               std::string* message) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    *message = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  const bool written =
      size == 0 || std::fwrite(data, 1, size, file) == size;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    *message = "cannot write " + path;
    std::remove(path.c_str());
    return false;
  }
  return true;
}

bool readWholeFile(const char* path, std::string* text) {
  char* data = readfile(path);
  if (data == nullptr) return false;
  text->assign(data);
  delete[] data;
  return true;
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

bool mapCorpusTag(const std::string& tag, std::string* ours) {
  static const struct {
    const char* sejong;
    const char* ours;
  } SPECIAL[] = {{"NNBC", "nnb"}, {"SSO", "ss"}, {"SSC", "ss"},
                 {"SC", "sp"},    {"SY", "sw"},  {"NV", "vf"}};
  for (const auto& entry : SPECIAL) {
    if (tag == entry.sejong) {
      *ours = entry.ours;
      return true;
    }
  }
  std::string lower = tag;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  // Only names that decode back to themselves are ours (getPosValue also
  // maps unknown names to na and any vc... name to vcp).
  const char* name = getLevel3PosTag(pos_t(getPosValue(lower.c_str())));
  if (lower.empty() || name == nullptr || lower != name) return false;
  *ours = lower;
  return true;
}

bool parseTextCorpus(const std::string& text,
                     std::vector<TrainSentence>* sentences,
                     std::vector<CorpusError>* errors) {
  const std::vector<std::string> lines = splitLines(text);
  bool ok = true;
  for (size_t n = 0; n < lines.size(); ++n) {
    TrainSentence sentence;
    std::string message;
    bool good = true;
    const std::string& line = lines[n];
    size_t pos = 0;
    while (good) {
      while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
      if (pos == line.size()) break;
      size_t end = pos;
      while (end < line.size() && line[end] != ' ' && line[end] != '\t')
        ++end;
      TrainEojeol eojeol;
      good = parseTextEojeol(line.substr(pos, end - pos), &eojeol, &message);
      if (good) sentence.push_back(eojeol);
      pos = end;
    }
    if (!good) {
      errors->push_back(CorpusError{n + 1, message});
      ok = false;
    } else if (!sentence.empty()) {
      sentences->push_back(sentence);
    }
  }
  return ok;
}

bool parseConlluCorpus(const std::string& text,
                       std::vector<TrainSentence>* sentences,
                       std::vector<CorpusError>* errors) {
  const std::vector<std::string> lines = splitLines(text);
  bool ok = true;
  TrainSentence sentence;
  bool joinNext = false;
  for (size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    if (line.empty()) {
      if (!sentence.empty()) sentences->push_back(sentence);
      sentence.clear();
      joinNext = false;
      continue;
    }
    if (line[0] == '#') continue;
    const std::vector<std::string> fields = split(line, '\t');
    if (fields.size() != 10) {
      errors->push_back(CorpusError{
          n + 1, "expected 10 tab-separated fields, found " +
                     std::to_string(fields.size())});
      ok = false;
      continue;
    }
    const std::string& id = fields[0];
    if (id.find('-') != std::string::npos || id.find('.') != std::string::npos)
      continue;
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
      errors->push_back(CorpusError{n + 1, "bad token id \"" + id + "\""});
      ok = false;
      continue;
    }
    TrainEojeol token;
    std::string message;
    if (!parseConlluToken(fields, &token, &message)) {
      errors->push_back(CorpusError{n + 1, message});
      ok = false;
      continue;
    }
    if (joinNext && !sentence.empty())
      sentence.back().insert(sentence.back().end(), token.begin(), token.end());
    else
      sentence.push_back(token);
    std::string space;
    joinNext = miscValue(fields[9], "SpaceAfter", &space) && space == "No";
  }
  if (!sentence.empty()) sentences->push_back(sentence);
  return ok;
}

ModelCounter::ModelCounter() : sentences_(0), eojeols_(0), morphemes_(0) {}

long long ModelCounter::morpheme(const std::string& key) const {
  const auto it = mtrans_.find(key);
  return it == mtrans_.end() ? 0 : it->second;
}

long long ModelCounter::eojul(const std::string& key) const {
  const auto it = etrans_.find(key);
  return it == etrans_.end() ? 0 : it->second;
}

void ModelCounter::addSentence(const TrainSentence& sentence) {
  bool empty = true;
  for (const TrainEojeol& e : sentence)
    if (!e.empty()) empty = false;
  if (empty) return;
  ++sentences_;

  // Inside each eojeol: BOM, the morphemes, EOM.
  for (const TrainEojeol& eojeol : sentence) {
    if (eojeol.empty()) continue;
    ++eojeols_;
    morphemes_ += eojeol.size();
    ModelUnit p = pseudoUnit(BEGIN_OF_MORPHEME);
    for (size_t t = 0; t <= eojeol.size(); ++t) {
      const ModelUnit c =
          t < eojeol.size() ? unitOf(eojeol[t]) : pseudoUnit(END_OF_MORPHEME);
      const std::string lexP = lexKey(p), tagP = tagKey(p);
      keys_[0] = lexP;
      keys_[1] = tagP;
      countDistinct(&mtrans_, keys_, 2);
      keys_[0] = pairKey(lexP, lexKey(c));
      keys_[1] = pairKey(tagP, tagKey(c));
      countDistinct(&mtrans_, keys_, 2);
      p = c;
    }
  }

  // Across eojeol: BOE, the last morpheme of each eojeol, EOE.
  ModelUnit u = pseudoUnit(BEGIN_OF_EOJUL);
  for (const TrainEojeol& eojeol : sentence) {
    if (eojeol.empty()) continue;
    const ModelUnit c = unitOf(eojeol.front());
    const std::string lexU = lexKey(u), tagU = tagKey(u);
    const std::string lexC = lexKey(c), tagC = tagKey(c);
    keys_[0] = lexU;
    keys_[1] = tagU;
    countDistinct(&etrans_, keys_, 2);
    keys_[0] = pairKey(lexU, lexC);
    keys_[1] = pairKey(tagU, lexC);
    keys_[2] = pairKey(tagU, tagC);
    countDistinct(&etrans_, keys_, 3);
    u = unitOf(eojeol.back());
  }
  const std::string lexZ = lexKey(u), tagZ = tagKey(u);
  keys_[0] = lexZ;
  keys_[1] = tagZ;
  countDistinct(&etrans_, keys_, 2);
  keys_[0] = pairKey(lexZ, END_OF_EOJUL);
  keys_[1] = pairKey(tagZ, END_OF_EOJUL);
  countDistinct(&etrans_, keys_, 2);
}

bool buildModelTable(const KeyCounts& counts, ModelTrie* table,
                     std::string* message) {
  table->clear();
  if (counts.empty()) return true;
  // The map holds its keys sorted byte-wise and unique, as darts needs them.
  std::vector<const unsigned char*> keys;
  std::vector<size_t> lengths;
  std::vector<int> values;
  keys.reserve(counts.size());
  lengths.reserve(counts.size());
  values.reserve(counts.size());
  for (const auto& entry : counts) {
    if (entry.first.empty() || entry.first.find('\0') != std::string::npos) {
      *message = "a key is empty or holds a zero byte";
      return false;
    }
    keys.push_back(reinterpret_cast<const unsigned char*>(entry.first.data()));
    lengths.push_back(entry.first.size());
    values.push_back(entry.second > INT_MAX ? INT_MAX
                                            : static_cast<int>(entry.second));
  }
  int rc;
  try {
    rc = table->build(keys.size(), keys.data(), lengths.data(), values.data());
  } catch (const std::bad_alloc&) {
    rc = -1;
  }
  if (rc != 0) {
    table->clear();
    *message = "cannot build a table of " + std::to_string(counts.size()) +
               " keys (darts error " + std::to_string(rc) + ")";
    return false;
  }
  return true;
}

bool writeModelTables(const KeyCounts& mtrans, const KeyCounts& etrans,
                      const std::string& dir, std::string* message) {
  ModelTrie tables[2];
  if (!buildModelTable(mtrans, &tables[0], message) ||
      !buildModelTable(etrans, &tables[1], message))
    return false;
  if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
    *message = "cannot create " + dir + ": " + std::strerror(errno);
    return false;
  }
  const std::string names[3] = {MODEL_MORPHEME_TRANSITION_FILE,
                                MODEL_EOJUL_TRANSITION_FILE,
                                MODEL_TAGSEQ_RULE_FILE};
  std::string temporary[3];
  for (int i = 0; i < 3; ++i) {
    temporary[i] = dir + "/." + names[i] + ".tmp";
    const bool ok =
        i < 2 ? writeFile(temporary[i], tables[i].array(),
                          tables[i].total_size(), message)
              : writeFile(temporary[i], "", 0, message);
    if (!ok) {
      for (int k = 0; k < i; ++k) std::remove(temporary[k].c_str());
      return false;
    }
  }
  for (int i = 0; i < 3; ++i) {
    const std::string target = dir + "/" + names[i];
    if (std::rename(temporary[i].c_str(), target.c_str()) != 0) {
      *message = "cannot replace " + target + ": " + std::strerror(errno);
      for (int k = i; k < 3; ++k) std::remove(temporary[k].c_str());
      return false;
    }
  }
  return true;
}

int trainModelFile(const char* corpusPath, const char* format,
                   const char* outputDir, FILE* out, FILE* err) {
  if (corpusPath == nullptr || outputDir == nullptr) return 1;
  CorpusFormat kind;
  const std::string name = format != nullptr ? format : "";
  if (name == "text") {
    kind = CorpusFormat::Text;
  } else if (name == "conllu") {
    kind = CorpusFormat::Conllu;
  } else if (name.empty()) {
    kind = endsWith(corpusPath, ".conllu") ? CorpusFormat::Conllu
                                           : CorpusFormat::Text;
  } else {
    std::fprintf(err, "unknown corpus format \"%s\" (text or conllu)\n",
                 name.c_str());
    return 1;
  }

  std::string text;
  if (!readWholeFile(corpusPath, &text)) {
    std::fprintf(err, "%s: cannot read\n", corpusPath);
    return 1;
  }
  std::vector<TrainSentence> sentences;
  std::vector<CorpusError> errors;
  const bool parsed = kind == CorpusFormat::Conllu
                          ? parseConlluCorpus(text, &sentences, &errors)
                          : parseTextCorpus(text, &sentences, &errors);
  for (const CorpusError& e : errors)
    std::fprintf(err, "%s:%zu: %s\n", corpusPath, e.line, e.message.c_str());
  if (!parsed) {
    std::fprintf(err, "%s: %zu bad line(s); nothing written\n", corpusPath,
                 errors.size());
    return 1;
  }

  ModelCounter counter;
  for (const TrainSentence& s : sentences) counter.addSentence(s);
  if (counter.sentences() == 0) {
    std::fprintf(err, "%s: no sentence; nothing written\n", corpusPath);
    return 1;
  }
  std::string message;
  if (!writeModelTables(counter.morphemeCounts(), counter.eojulCounts(),
                        outputDir, &message)) {
    std::fprintf(err, "%s\n", message.c_str());
    return 1;
  }
  std::fprintf(out,
               "%zu sentences, %zu eojeol, %zu morphemes\n"
               "%s: %zu keys (BOM %lld)\n"
               "%s: %zu keys (BOE %lld)\n",
               counter.sentences(), counter.eojeols(), counter.morphemes(),
               MODEL_MORPHEME_TRANSITION_FILE, counter.morphemeCounts().size(),
               counter.morpheme(BEGIN_OF_MORPHEME), MODEL_EOJUL_TRANSITION_FILE,
               counter.eojulCounts().size(), counter.eojul(BEGIN_OF_EOJUL));
  return 0;
}
