#include "tagger/tagger_impl.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "base/revision.h"
#include "base/text.h"

namespace {

// A path must cost less than this to be taken as a predecessor.
constexpr float PATH_BOUND = 10000.0f;
// The score of a cell without predecessor, and the start of the final choice.
constexpr float NO_PATH_SCORE = 100000.0f;

bool isDelimiter(unsigned short unit) {
  return unit == 0x20 || unit == 0x09 || unit == 0x0A || unit == 0x0D;
}

// N / D in single precision; 1 / fallback when either count is 0.
float ratio(int n, int d, int fallback) {
  if (n == 0 || d == 0) return 1.0f / static_cast<float>(fallback);
  return static_cast<float>(n) / static_cast<float>(d);
}

// The natural logarithm of a ratio, taken in double precision; the macOS
// revision takes it in single precision, which changes the last bits of a
// score.
double ln(float r) {
  if constexpr (revision::SINGLE_PRECISION_LOG) return std::log(r);
  return std::log(static_cast<double>(r));
}

// A result that holds no morpheme (the analyzer never makes one) enters the
// keys as an empty unit.
const ModelUnit EMPTY_UNIT = {"", ""};

ModelUnit firstUnit(const ResultImpl* r) {
  if (r->size() == 0) return EMPTY_UNIT;
  return morphemeUnit(r->lexicon(0), r->pos(0));
}

ModelUnit lastUnit(const ResultImpl* r) {
  const unsigned long k = r->size();
  if (k == 0) return EMPTY_UNIT;
  const int t = static_cast<int>(k - 1);
  return morphemeUnit(r->lexicon(t), r->pos(t));
}

// The keys of a unit.
void writeKeys(const ModelUnit& u, std::string* lex, std::string* tag) {
  lex->clear();
  appendLexicalKey(lex, u);
  tag->clear();
  appendTagKey(tag, u);
}

// left ":" right into pair.
const char* joinPair(std::string* pair, const std::string& left,
                     const std::string& right) {
  pair->assign(left);
  pair->push_back(MODEL_PAIR_SEPARATOR);
  pair->append(right);
  return pair->c_str();
}

}  // namespace

TaggerImpl::TaggerImpl() : TaggerImpl(nullptr, nullptr, nullptr) {}

TaggerImpl::TaggerImpl(const Model* model)
    : TaggerImpl(model, nullptr, nullptr) {}

TaggerImpl::TaggerImpl(const Model* model, const Knowledge* knowledge)
    : TaggerImpl(model, knowledge, nullptr) {}

TaggerImpl::TaggerImpl(const Model* model, const Knowledge* knowledge,
                       const UserKnowledge* user)
    : model_(model) {
  analyzer_.setSysKnowledge(knowledge);
  analyzer_.setUserKnowledge(user);
}

TaggerImpl::~TaggerImpl() { clear(); }

void TaggerImpl::setModel(const Model* model) { model_ = model; }

void TaggerImpl::setSysKnowledge(const Knowledge* knowledge) {
  analyzer_.setSysKnowledge(knowledge);
}

void TaggerImpl::setUserKnowledge(const UserKnowledge* knowledge) {
  analyzer_.setUserKnowledge(knowledge);
}

void TaggerImpl::setStrictAnalysis(bool strict) {
  analyzer_.setStrictAnalysis(strict);
}

void TaggerImpl::clear() {
  for (CandidateList::Node* node = candidates_.head(); node != nullptr;
       node = node->next)
    delete node->element;
  candidates_.removeAll();
  node_.clear();
}

unsigned long TaggerImpl::process(const char* text, Sentence* sentence) {
  clear();
  SentenceImpl* out = static_cast<SentenceImpl*>(sentence);
  if (out == nullptr) return 0;
  out->clear();
  if (text == nullptr) return 0;
  unsigned short* units =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text));
  if (units == nullptr) return 0;
  unsigned long n = 0;
  while (units[n] != 0) ++n;

  if (process(units, out) == 0) {
    // Nothing was tagged: the whole input stands as one unknown noun.
    out->clear();
    ResultImpl* result = new ResultImpl();
    result->append(reinterpret_cast<const unsigned char*>(text), pos_t(NF), 0,
                   n);
    out->append(new EojulImpl(text, result));
  }
  std::free(units);
  clear();
  return out->size();
}

unsigned long TaggerImpl::process(const unsigned short* text,
                                  SentenceImpl* sentence) {
  if (sentence == nullptr) return 0;
  clear();
  sentence->clear();
  if (text == nullptr || text[0] == 0) return 0;

  unsigned short* token = nullptr;
  unsigned long capacity = 0;
  unsigned long pos = 0;
  for (;;) {
    while (isDelimiter(text[pos])) ++pos;
    if (text[pos] == 0) break;
    const unsigned long begin = pos;
    while (text[pos] != 0 && !isDelimiter(text[pos])) ++pos;
    const unsigned long length = pos - begin;

    if (length > capacity) {
      delete[] token;
      token = new (std::nothrow) unsigned short[length + 1];
      if (token == nullptr) {
        clear();
        sentence->clear();
        return 0;
      }
      capacity = length;
    }
    std::memcpy(token, text + begin, length * sizeof(unsigned short));
    token[length] = 0;

    CandidateImpl* candidate = new CandidateImpl();
    candidates_.append(candidate);
    analyzer_.process(token, candidate);
    moveBaseOffset(begin, candidate);
  }
  delete[] token;

  if (tagging(sentence) != 0) return 0;
  return sentence->size();
}

void TaggerImpl::moveBaseOffset(unsigned long base, CandidateImpl* candidate) {
  if (candidate == nullptr) return;
  for (CandidateImpl::ResultList::Node* node = candidate->results().head();
       node != nullptr; node = node->next) {
    ResultImpl* r = node->element;
    const unsigned long k = r->size();
    for (unsigned long m = 0; m < k; ++m) {
      r->startOffsetIncr(static_cast<int>(m), base);
      r->endOffsetIncr(static_cast<int>(m), base);
    }
  }
}

const char* TaggerImpl::normalizedPOS(pos_t tag) { return modelClassTag(tag); }

const ModelImpl* TaggerImpl::usableModel() const {
  const ModelImpl* model = static_cast<const ModelImpl*>(model_);
  if (model == nullptr || model->getMorphemeTransitionBOM() == 0 ||
      model->getEojulTransitionBOE() == 0)
    return nullptr;
  return model;
}

float TaggerImpl::morphemeStep(const ModelImpl* model, const UnitKeys& p,
                               const UnitKeys& c) {
  const int bom = model->getMorphemeTransitionBOM();
  const float lexical = ratio(
      model->getMorphemeTransition(joinPair(&pair_, p.lex, c.lex)),
      model->getMorphemeTransition(p.lex.c_str()), bom);
  const float tagged = ratio(
      model->getMorphemeTransition(joinPair(&pair_, p.tag, c.tag)),
      model->getMorphemeTransition(p.tag.c_str()), bom);
  return static_cast<float>(-ln(lexical) - ln(tagged));
}

float TaggerImpl::eojulTransition(const ModelImpl* model, const UnitKeys& u,
                                  const UnitKeys& c) {
  const int boe = model->getEojulTransitionBOE();
  const float lexical =
      ratio(model->getEojulTransition(joinPair(&pair_, u.lex, c.lex)),
            model->getEojulTransition(u.lex.c_str()), boe);
  const float mixed =
      ratio(model->getEojulTransition(joinPair(&pair_, u.tag, c.lex)),
            model->getEojulTransition(u.tag.c_str()), boe);
  const float tagged =
      ratio(model->getEojulTransition(joinPair(&pair_, u.tag, c.tag)),
            model->getEojulTransition(u.tag.c_str()), boe);
  return static_cast<float>(-ln(lexical) - 0.5 * ln(mixed) - ln(tagged));
}

float TaggerImpl::endCost(const ModelImpl* model, const UnitKeys& z) {
  const int boe = model->getEojulTransitionBOE();
  const std::string eoe(END_OF_EOJUL);
  const float lexical =
      ratio(model->getEojulTransition(joinPair(&pair_, z.lex, eoe)),
            model->getEojulTransition(z.lex.c_str()), boe);
  const float tagged =
      ratio(model->getEojulTransition(joinPair(&pair_, z.tag, eoe)),
            model->getEojulTransition(z.tag.c_str()), boe);
  return static_cast<float>(-ln(lexical) - ln(tagged));
}

void TaggerImpl::collectUnits(const CandidateImpl* candidate,
                              ColumnUnits* units) {
  units->first.clear();
  units->last.clear();
  units->firstOf.clear();
  units->lastOf.clear();
  UnitKeys keys;
  // The index of keys among the distinct units, appended when new (the tag
  // key follows from the lexical key).
  auto indexOf = [&keys](std::vector<UnitKeys>* distinct) {
    for (size_t k = 0; k < distinct->size(); ++k)
      if ((*distinct)[k].lex == keys.lex) return static_cast<unsigned>(k);
    distinct->push_back(keys);
    return static_cast<unsigned>(distinct->size() - 1);
  };
  for (const CandidateImpl::ResultList::Node* row = candidate->results().head();
       row != nullptr; row = row->next) {
    writeKeys(firstUnit(row->element), &keys.lex, &keys.tag);
    units->firstOf.push_back(indexOf(&units->first));
    writeKeys(lastUnit(row->element), &keys.lex, &keys.tag);
    units->lastOf.push_back(indexOf(&units->last));
  }
}

void TaggerImpl::computeMorphemeTransition() {
  const ModelImpl* model = usableModel();
  if (model == nullptr) return;
  stepCosts_.clear();
  unsigned long i = 0;
  for (CandidateList::Node* column = candidates_.head();
       column != nullptr && i < node_.count(); column = column->next, ++i) {
    unsigned long j = 0;
    for (CandidateImpl::ResultList::Node* row =
             column->element->results().head();
         row != nullptr && j < node_.width(); row = row->next, ++j) {
      const ResultImpl* r = row->element;
      const unsigned long k = r->size();
      writeKeys(pseudoUnit(BEGIN_OF_MORPHEME), &left_.lex, &left_.tag);
      float s = 0.0f;
      for (unsigned long t = 0; t <= k; ++t) {
        const ModelUnit c =
            t < k ? morphemeUnit(r->lexicon(static_cast<int>(t)),
                                 r->pos(static_cast<int>(t)))
                  : pseudoUnit(END_OF_MORPHEME);
        writeKeys(c, &right_.lex, &right_.tag);
        stepKey_.assign(left_.lex);
        stepKey_.push_back('\0');
        stepKey_.append(right_.lex);
        auto known = stepCosts_.find(stepKey_);
        if (known == stepCosts_.end())
          known = stepCosts_.emplace(stepKey_, morphemeStep(model, left_, right_))
                      .first;
        s += known->second;
        std::swap(left_, right_);
      }
      node_.setProbability(i, j, s);
    }
  }
}

TagChoice TaggerImpl::probability(unsigned long i, unsigned long j,
                                  bool last) {
  const ModelImpl* model = usableModel();
  const CandidateList::Node* current = candidates_.at(i);
  if (model == nullptr || current == nullptr) return TagChoice{0, 0.0f};
  if (i >= node_.count() || j >= node_.width())
    return TagChoice{0, NO_PATH_SCORE};
  const CandidateList::Node* previous = i > 0 ? current->prev : nullptr;
  return probability(model, previous != nullptr ? previous->element : nullptr,
                     current->element, i, j, last);
}

TagChoice TaggerImpl::probability(const ModelImpl* model,
                                  const CandidateImpl* previous,
                                  const CandidateImpl* current,
                                  unsigned long i, unsigned long j,
                                  bool last) {
  const ResultImpl* r = current->at(j);
  if (r == nullptr) return TagChoice{0, NO_PATH_SCORE};
  const float p = node_.getProbability(i, j);

  UnitKeys c;
  writeKeys(firstUnit(r), &c.lex, &c.tag);

  float bound = PATH_BOUND;
  TagChoice best{0, NO_PATH_SCORE};
  // Column 0 has the one pseudo predecessor BOE with score 0.
  const unsigned long predecessors =
      i == 0 ? 1 : (previous != nullptr ? previous->size() : 0);
  const CandidateImpl::ResultList::Node* row =
      i == 0 || previous == nullptr ? nullptr : previous->results().head();
  UnitKeys u;
  for (unsigned long k = 0; k < predecessors; ++k) {
    float score;
    if (i == 0) {
      writeKeys(pseudoUnit(BEGIN_OF_EOJUL), &u.lex, &u.tag);
      score = 0.0f;
    } else {
      writeKeys(lastUnit(row->element), &u.lex, &u.tag);
      score = node_.getScore(i - 1, k);
      row = row->next;
    }
    const float total = (score + p) + eojulTransition(model, u, c);
    if (bound > total) {
      bound = total;
      best.score = total;
      best.index = static_cast<unsigned int>(k);
    }
  }

  if (last) {
    UnitKeys z;
    writeKeys(lastUnit(r), &z.lex, &z.tag);
    best.score += endCost(model, z);
  }
  return best;
}

void TaggerImpl::chooseFirstResults(SentenceImpl* sentence) {
  for (CandidateList::Node* column = candidates_.head(); column != nullptr;
       column = column->next) {
    CandidateImpl* candidate = column->element;
    ResultImpl* r = candidate->at(0);
    if (r == nullptr) continue;
    candidate->remove(r, false);
    sentence->append(new EojulImpl(candidate->origin(), r));
  }
}

int TaggerImpl::tagging(SentenceImpl* sentence) {
  if (sentence == nullptr) return 0;
  const ModelImpl* model = usableModel();
  if (model == nullptr) {
    node_.clear();
    chooseFirstResults(sentence);
    return 0;
  }
  if (node_.init(&candidates_) != 0) return -1;
  computeMorphemeTransition();
  const unsigned long n = candidates_.size();
  if (n == 0) return 0;

  // The same search as probability(i, j, last) cell by cell, with every
  // cost term computed once per distinct pair of units of two columns.
  float finalScore = NO_PATH_SCORE;
  unsigned long finalIndex = 0;
  const float UNKNOWN = std::numeric_limits<float>::quiet_NaN();
  ColumnUnits* before = &columnUnits_[0];
  ColumnUnits* units = &columnUnits_[1];
  // Column 0's predecessor: BOE with score 0.
  before->last.assign(1, UnitKeys());
  writeKeys(pseudoUnit(BEGIN_OF_EOJUL), &before->last[0].lex,
            &before->last[0].tag);
  before->lastOf.assign(1, 0);
  unsigned long i = 0;
  for (CandidateList::Node* column = candidates_.head(); column != nullptr;
       column = column->next, ++i) {
    const CandidateImpl* current = column->element;
    const bool last = i == n - 1;
    const unsigned long rows = current->size();
    const unsigned long predecessors = before->lastOf.size();
    collectUnits(current, units);
    const size_t firsts = units->first.size();
    transitions_.assign(before->last.size() * firsts, UNKNOWN);
    if (last) endCosts_.assign(units->last.size(), UNKNOWN);
    for (unsigned long j = 0; j < rows; ++j) {
      const float p = node_.getProbability(i, j);
      const unsigned b = units->firstOf[j];
      float bound = PATH_BOUND;
      TagChoice best{0, NO_PATH_SCORE};
      for (unsigned long k = 0; k < predecessors; ++k) {
        const unsigned a = before->lastOf[k];
        float& transition = transitions_[a * firsts + b];
        if (std::isnan(transition))
          transition = eojulTransition(model, before->last[a], units->first[b]);
        const float score = i == 0 ? 0.0f : node_.getScore(i - 1, k);
        const float total = (score + p) + transition;
        if (bound > total) {
          bound = total;
          best.score = total;
          best.index = static_cast<unsigned int>(k);
        }
      }
      if (last) {
        float& end = endCosts_[units->lastOf[j]];
        if (std::isnan(end)) end = endCost(model, units->last[units->lastOf[j]]);
        best.score += end;
      }
      node_.setEdge(i, j, static_cast<int>(best.index), best.score);
      if (last && finalScore > node_.getScore(i, j)) {
        finalScore = node_.getScore(i, j);
        finalIndex = j;
      }
    }
    std::swap(before, units);
  }

  // Back-trace from the cheapest cell of the last column.
  unsigned long j = finalIndex;
  i = n;
  for (CandidateList::Node* column = candidates_.tail(); column != nullptr;
       column = column->prev) {
    --i;
    CandidateImpl* candidate = column->element;
    ResultImpl* r = candidate->at(j);
    if (r == nullptr) {
      j = 0;
      continue;
    }
    j = static_cast<unsigned long>(node_.getEdge(i, j));
    candidate->remove(r, false);
    sentence->prepend(new EojulImpl(candidate->origin(), r));
  }
  return 0;
}

void TaggerImpl::printCandidates() const {
  std::printf("===== candidates =====\n");
  size_t i = 0;
  for (const CandidateList::Node* column = candidates_.head();
       column != nullptr; column = column->next, ++i) {
    size_t j = 0;
    for (const CandidateImpl::ResultList::Node* row =
             column->element->results().head();
         row != nullptr; row = row->next, ++j) {
      const ResultImpl* r = row->element;
      std::printf("[%zu,%zu] ", i, j);
      const unsigned long k = r->size();
      for (unsigned long m = 0; m < k; ++m) {
        if (m > 0) std::fputc('+', stdout);
        std::printf("%s/%s", r->lexicon(static_cast<int>(m)),
                    r->posTag(static_cast<int>(m)));
      }
      std::printf(" (%f)\n", static_cast<double>(r->score()));
    }
    std::fputc('\n', stdout);
  }
  std::fputc('\n', stdout);
  std::fflush(stdout);
}
