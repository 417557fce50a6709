#include "mecab_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unordered_map>

#include "base/text.h"
#include "mecab_dic.h"
#include "mecab_silver.h"
#include "pos/pos.h"
#include "tagger/model_keys.h"

namespace {

bool readBytes(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *bytes = s.str();
  return !in.bad();
}

std::string lexicalKey(const TrainMorpheme& m) {
  std::string key;
  appendLexicalKey(&key, morphemeUnit(m.lexicon.c_str(),
                                      pos_t(getPosValue(m.tag.c_str()))));
  return key;
}

std::string tagKeyOf(const TrainMorpheme& m) {
  std::string key;
  appendTagKey(&key, morphemeUnit(m.lexicon.c_str(),
                                  pos_t(getPosValue(m.tag.c_str()))));
  return key;
}

std::string pair(const std::string& a, const std::string& b) {
  std::string key = a;
  key.push_back(MODEL_PAIR_SEPARATOR);
  key += b;
  return key;
}

// Open classes: many words, few of which the counts can afford.
bool isOpenTag(const std::string& tag) {
  static const char* const OPEN[] = {"nng", "nnp", "nfg", "nnc", "nf",
                                     "vv",  "va",  "mag", "xr",  "ic"};
  for (const char* t : OPEN)
    if (tag == t) return true;
  return false;
}

void put(KeyCounts* counts, const std::string& key, double value) {
  if (!(value >= 0.5)) return;
  const double capped = std::min(value, 2.0e9);
  (*counts)[key] += static_cast<long long>(std::llround(capped));
}

struct Lexeme {
  int tag = -1;       // index of its tag key
  double weight = 0;  // summed weights of the entries holding it
  bool open = false;
};

}  // namespace

bool MecabMatrix::loadFromBuffer(const std::string& bytes,
                                 std::string* message) {
  if (bytes.size() < 4) {
    *message = "matrix too short";
    return false;
  }
  const auto u16 = [&](size_t at) {
    return static_cast<size_t>(static_cast<unsigned char>(bytes[at]) |
                               (static_cast<unsigned char>(bytes[at + 1]) << 8));
  };
  rsize_ = u16(0);
  lsize_ = u16(2);
  const size_t n = rsize_ * lsize_;
  if (n == 0 || bytes.size() != 4 + 2 * n) {
    *message = "matrix of " + std::to_string(rsize_) + " x " +
               std::to_string(lsize_) + " costs does not fill its " +
               std::to_string(bytes.size()) + " bytes";
    rsize_ = lsize_ = 0;
    return false;
  }
  costs_.resize(n);
  for (size_t i = 0; i < n; ++i)
    costs_[i] = static_cast<int16_t>(u16(4 + 2 * i));
  return true;
}

bool MecabMatrix::load(const std::string& path, std::string* message) {
  std::string bytes;
  if (!readBytes(path, &bytes)) {
    *message = path + ": cannot read";
    return false;
  }
  if (!loadFromBuffer(bytes, message)) {
    *message = path + ": " + *message;
    return false;
  }
  return true;
}

std::map<int, int> parseLeftSpacePenalties(const std::string& dicrc) {
  std::map<int, int> penalties;
  std::istringstream in(dicrc);
  std::string line;
  const std::string name = "left-space-penalty-factor";
  while (std::getline(in, line)) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string::npos || line.compare(at, name.size(), name) != 0)
      continue;
    at = line.find('=', at + name.size());
    if (at == std::string::npos) continue;
    std::vector<long> numbers;
    std::string item;
    std::istringstream list(line.substr(at + 1));
    while (std::getline(list, item, ',')) {
      char* end = nullptr;
      const long v = std::strtol(item.c_str(), &end, 10);
      if (end == item.c_str()) break;
      numbers.push_back(v);
    }
    for (size_t i = 0; i + 1 < numbers.size(); i += 2)
      penalties[static_cast<int>(numbers[i])] = static_cast<int>(numbers[i + 1]);
  }
  return penalties;
}

bool derivePseudoCounts(const std::vector<PseudoToken>& tokens,
                        const MecabMatrix& matrix,
                        const PseudoCountOptions& options, KeyCounts* mtrans,
                        KeyCounts* etrans, std::string* message) {
  const double s = options.scale > 0 ? options.scale : 800.0;
  const size_t R = matrix.rightSize(), L = matrix.leftSize();
  if (R == 0 || L == 0) {
    *message = "empty connection matrix";
    return false;
  }

  // Tag keys and lexical units.
  std::map<std::string, int> tagIndex;
  std::vector<std::string> tagKeys;
  const auto tagOf = [&](const TrainMorpheme& m) {
    const std::string key = tagKeyOf(m);
    auto it = tagIndex.find(key);
    if (it != tagIndex.end()) return it->second;
    tagIndex[key] = static_cast<int>(tagKeys.size());
    tagKeys.push_back(key);
    return static_cast<int>(tagKeys.size() - 1);
  };
  std::vector<std::map<int, double>> A(L), Asp(L);  // left id -> first tag
  std::vector<std::map<int, double>> B(R);           // right id -> last tag
  std::unordered_map<std::string, Lexeme> lexemes;
  std::map<std::pair<std::string, std::string>, double> inner;  // in entries
  for (const PseudoToken& t : tokens) {
    if (t.morphemes.empty()) continue;
    if (t.left < 0 || static_cast<size_t>(t.left) >= L || t.right < 0 ||
        static_cast<size_t>(t.right) >= R) {
      *message = "a token's context id lies outside the matrix";
      return false;
    }
    const double w = std::exp(-t.cost / s);
    const int first = tagOf(t.morphemes.front());
    const int last = tagOf(t.morphemes.back());
    A[t.left][first] += w;
    Asp[t.left][first] += w * std::exp(-t.penalty / s);
    B[t.right][last] += w;
    std::string previous;
    for (size_t i = 0; i < t.morphemes.size(); ++i) {
      const TrainMorpheme& m = t.morphemes[i];
      const std::string lex = lexicalKey(m);
      const int tag = tagOf(m);
      if (lex != tagKeys[tag]) {  // symbols have no lexical form
        Lexeme& x = lexemes[lex];
        x.tag = tag;
        x.weight += w;
        x.open = isOpenTag(m.tag);
        if (!previous.empty()) inner[{previous, lex}] += w;
        previous = lex;
      } else {
        previous.clear();
      }
    }
  }
  const size_t T = tagKeys.size();
  if (T == 0) {
    *message = "no token to derive counts from";
    return false;
  }

  // Per right context: what follows without a space, after a space, and the
  // end of the sentence.
  std::vector<double> W(T, 0), Pend(T, 0), rawEoe(T, 0), startMix(T, 0);
  std::vector<std::vector<double>> Pin(T, std::vector<double>(T, 0));
  std::vector<std::vector<double>> Pe(T, std::vector<double>(T, 0));
  std::vector<double> nos(T), sp(T), boe(T, 0);
  std::vector<double> K(L);
  for (size_t r = 0; r < R; ++r) {
    double weight = 0;
    for (const auto& e : B[r]) weight += e.second;
    if (weight <= 0 && r != 0) continue;
    for (size_t l = 0; l < L; ++l) K[l] = std::exp(-matrix.cost(r, l) / s);
    std::fill(nos.begin(), nos.end(), 0.0);
    std::fill(sp.begin(), sp.end(), 0.0);
    for (size_t l = 0; l < L; ++l) {
      for (const auto& e : A[l]) nos[e.first] += K[l] * e.second;
      for (const auto& e : Asp[l]) sp[e.first] += K[l] * e.second;
    }
    if (r == 0) boe = nos;  // the sentence start
    if (weight <= 0) continue;
    double sumNos = 0, sumSp = 0;
    for (size_t b = 0; b < T; ++b) {
      sumNos += nos[b];
      sumSp += sp[b];
    }
    const double eos = K[0];
    const double total = sumNos + sumSp + eos;
    if (!(total > 0) || !(sumSp + eos > 0)) continue;
    const double end = (sumSp + eos) / total;
    for (const auto& e : B[r]) {
      const int a = e.first;
      const double wa = e.second;
      W[a] += wa;
      Pend[a] += wa * end;
      rawEoe[a] += wa * (sumSp > 0 ? eos / sumSp : 0.0);
      for (size_t b = 0; b < T; ++b) {
        Pin[a][b] += wa * nos[b] / total;
        if (sumSp > 0) Pe[a][b] += wa * sp[b] / sumSp;
      }
    }
    if (sumSp > 0)
      for (size_t b = 0; b < T; ++b) startMix[b] += weight * end * sp[b] / sumSp;
  }
  for (size_t a = 0; a < T; ++a) {
    if (W[a] <= 0) continue;
    Pend[a] /= W[a];
    rawEoe[a] /= W[a];
    for (size_t b = 0; b < T; ++b) {
      Pin[a][b] /= W[a];
      Pe[a][b] /= W[a];
    }
  }
  const auto normalize = [](std::vector<double>* v) {
    double sum = 0;
    for (double x : *v) sum += x;
    if (sum > 0)
      for (double& x : *v) x /= sum;
  };
  normalize(&startMix);
  normalize(&boe);

  // Expected visits of each tag per eojeol: a chain from BOM absorbed at EOM.
  std::vector<double> visits(T, 0), v = startMix, next(T);
  for (int step = 0; step < 200; ++step) {
    double mass = 0;
    for (size_t a = 0; a < T; ++a) {
      visits[a] += v[a];
      mass += v[a];
    }
    if (mass < 1e-12) break;
    std::fill(next.begin(), next.end(), 0.0);
    for (size_t a = 0; a < T; ++a)
      if (v[a] > 0)
        for (size_t b = 0; b < T; ++b) next[b] += v[a] * Pin[a][b];
    v.swap(next);
  }

  const double N = options.eojeols;
  const double sentences =
      N / (options.eojeolsPerSentence > 1 ? options.eojeolsPerSentence : 1);
  std::vector<double> Mtag(T), Mchain(T), Etag(T), PeE(T);
  for (size_t a = 0; a < T; ++a) Mtag[a] = Mchain[a] = N * visits[a];
  // The chain runs over tokens; the morphemes inside a multi-morpheme entry
  // follow each other as the entry spells them. An entry occurs in its first
  // tag's share of visits by its weight.
  std::vector<double> firstWeight(T, 0), innerVisits(T, 0);
  std::map<std::pair<int, int>, double> innerTags;
  for (const PseudoToken& t : tokens)
    if (!t.morphemes.empty())
      firstWeight[tagOf(t.morphemes.front())] += std::exp(-t.cost / s);
  for (const PseudoToken& t : tokens) {
    if (t.morphemes.size() < 2) continue;
    const int first = tagOf(t.morphemes.front());
    const double occurrences =
        Mchain[first] * std::exp(-t.cost / s) / firstWeight[first];
    int previousTag = first;
    for (size_t i = 1; i < t.morphemes.size(); ++i) {
      const int tag = tagOf(t.morphemes[i]);
      innerVisits[tag] += occurrences;
      innerTags[{previousTag, tag}] += occurrences;
      previousTag = tag;
    }
  }
  for (size_t a = 0; a < T; ++a) {
    Mtag[a] += innerVisits[a];
    Etag[a] = Mchain[a] * Pend[a];
  }
  // The end of the sentence: scale the raw odds so that the ends add up to
  // the number of sentences.
  const auto endsFor = [&](double gamma) {
    double sum = 0;
    for (size_t a = 0; a < T; ++a) sum += Etag[a] * std::min(0.9, gamma * rawEoe[a]);
    return sum;
  };
  double lo = 0, hi = 1;
  while (endsFor(hi) < sentences && hi < 1e300) hi *= 2;
  for (int i = 0; i < 200; ++i) {
    const double mid = (lo + hi) / 2;
    (endsFor(mid) < sentences ? lo : hi) = mid;
  }
  for (size_t a = 0; a < T; ++a) {
    PeE[a] = std::min(0.9, hi * rawEoe[a]);
    for (size_t b = 0; b < T; ++b) Pe[a][b] *= 1 - PeE[a];
  }

  // Tag keys.
  put(mtrans, BEGIN_OF_MORPHEME, N);
  put(etrans, BEGIN_OF_EOJUL, sentences);
  for (size_t b = 0; b < T; ++b) {
    put(mtrans, pair(BEGIN_OF_MORPHEME, tagKeys[b]), N * startMix[b]);
    put(etrans, pair(BEGIN_OF_EOJUL, tagKeys[b]), sentences * boe[b]);
  }
  for (size_t a = 0; a < T; ++a) {
    put(mtrans, tagKeys[a], Mtag[a]);
    put(mtrans, pair(tagKeys[a], END_OF_MORPHEME), Mchain[a] * Pend[a]);
    put(etrans, tagKeys[a], Etag[a]);
    put(etrans, pair(tagKeys[a], END_OF_EOJUL), Etag[a] * PeE[a]);
    for (size_t b = 0; b < T; ++b) {
      const auto inner = innerTags.find({static_cast<int>(a), static_cast<int>(b)});
      put(mtrans, pair(tagKeys[a], tagKeys[b]),
          Mchain[a] * Pin[a][b] + (inner == innerTags.end() ? 0.0 : inner->second));
      put(etrans, pair(tagKeys[a], tagKeys[b]), Etag[a] * Pe[a][b]);
    }
  }

  // Lexical keys: the closed classes whole, the open ones by weight.
  std::vector<double> tagWeight(T, 0);
  std::vector<std::pair<double, const std::string*>> open, all;
  for (const auto& e : lexemes) {
    tagWeight[e.second.tag] += e.second.weight;
    if (e.second.open) open.push_back({e.second.weight, &e.first});
  }
  // Heaviest first, ties by key, so the choice does not depend on hashing.
  const auto heavier = [](const std::pair<double, const std::string*>& x,
                          const std::pair<double, const std::string*>& y) {
    return x.first != y.first ? x.first > y.first : *x.second < *y.second;
  };
  std::sort(open.begin(), open.end(), heavier);
  std::unordered_map<std::string, bool> chosen;
  for (size_t i = 0; i < open.size() && i < options.openWords; ++i)
    chosen[*open[i].second] = true;
  for (const auto& e : lexemes) {
    if (!e.second.open) chosen[e.first] = true;
  }
  for (const auto& c : chosen) all.push_back({lexemes[c.first].weight, &c.first});
  std::sort(all.begin(), all.end(), heavier);
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string& x = *all[i].second;
    const Lexeme& lx = lexemes[x];
    const int t = lx.tag;
    const double p = tagWeight[t] > 0 ? lx.weight / tagWeight[t] : 0;
    const double mx = Mtag[t] * p, ex = Etag[t] * p;
    put(mtrans, x, mx);
    put(mtrans, pair(BEGIN_OF_MORPHEME, x), N * startMix[t] * p);
    put(mtrans, pair(x, END_OF_MORPHEME), mx * Pend[t]);
    put(etrans, x, ex);
    put(etrans, pair(x, END_OF_EOJUL), ex * PeE[t]);
    put(etrans, pair(BEGIN_OF_EOJUL, x), sentences * boe[t] * p);
    if (i < options.crossWords)
      for (size_t a = 0; a < T; ++a)
        put(etrans, pair(tagKeys[a], x), Etag[a] * Pe[a][t] * p);
  }
  for (const auto& e : inner) {
    const std::string& x = e.first.first;
    const std::string& y = e.first.second;
    if (!chosen.count(x) || !chosen.count(y)) continue;
    const Lexeme& lx = lexemes[x];
    const double p = tagWeight[lx.tag] > 0 ? lx.weight / tagWeight[lx.tag] : 0;
    put(mtrans, pair(x, y), Mtag[lx.tag] * p * (e.second / lx.weight));
  }
  return true;
}

bool readMecabModelSource(const std::string& dir,
                          std::vector<PseudoToken>* tokens, MecabMatrix* matrix,
                          std::string* message) {
  if (!matrix->load(dir + "/matrix.bin", message)) return false;
  std::string dicrc;
  std::map<int, int> penalties;
  if (readBytes(dir + "/dicrc", &dicrc)) penalties = parseLeftSpacePenalties(dicrc);
  MecabDictionary dic;
  if (!dic.load(dir + "/sys.dic", message)) return false;
  tokens->clear();
  const bool ok = dic.forEachEntry(
      [&](const MecabEntry& e) {
        std::vector<SilverMorpheme> morphemes;
        std::string reason;
        if (!silverTokenMorphemes(e.surface, e.feature, &morphemes, &reason))
          return;
        PseudoToken t;
        t.left = e.token.lcAttr;
        t.right = e.token.rcAttr;
        t.cost = e.token.wcost;
        const auto p = penalties.find(e.token.posid);
        t.penalty = p == penalties.end() ? 0 : p->second;
        for (const SilverMorpheme& m : morphemes)
          t.morphemes.push_back(TrainMorpheme{m.form, m.tag});
        tokens->push_back(std::move(t));
      },
      nullptr, nullptr, message);
  return ok;
}

void moveOpenFinalEndings(KeyCounts* mtrans) {
  const std::string end = std::string(1, MODEL_PAIR_SEPARATOR) + END_OF_MORPHEME;
  const std::string ef = "/ef", ec = "/ec";
  std::vector<std::pair<std::string, long long>> moved;
  for (const auto& e : *mtrans) {
    const std::string& key = e.first;
    if (key.size() < end.size() + ef.size() ||
        key.compare(key.size() - end.size(), end.size(), end) != 0)
      continue;
    const std::string unit = key.substr(0, key.size() - end.size());
    if (unit.size() < ef.size() ||
        unit.compare(unit.size() - ef.size(), ef.size(), ef) != 0 ||
        unit.find(MODEL_PAIR_SEPARATOR) != std::string::npos)
      continue;
    moved.push_back({unit, e.second});
  }
  for (const auto& m : moved) {
    const std::string twin = m.first.substr(0, m.first.size() - ef.size()) + ec;
    mtrans->erase(m.first + end);
    (*mtrans)[twin + end] += m.second;
    auto unit = mtrans->find(m.first);
    if (unit != mtrans->end()) {
      unit->second = std::max(0LL, unit->second - m.second);
      if (unit->second == 0) mtrans->erase(unit);
    }
    (*mtrans)[twin] += m.second;
  }
}

void foldEmissions(KeyCounts* mtrans) {
  std::vector<std::pair<const std::string*, long long>> units;
  for (const auto& e : *mtrans) {
    const std::string& key = e.first;
    if (key.empty() || key[0] == '/' || key.find(MODEL_PAIR_SEPARATOR) != std::string::npos)
      continue;
    const size_t slash = key.rfind('/');
    if (slash == std::string::npos || slash == 0) continue;
    const auto tag = mtrans->find(key.substr(slash));
    if (tag != mtrans->end() && tag->second > e.second)
      units.push_back({&key, tag->second});
  }
  for (const auto& u : units) (*mtrans)[*u.first] = u.second;
}

void addCounts(const KeyCounts& from, double weight, KeyCounts* into) {
  for (const auto& e : from) {
    const double v = static_cast<double>(e.second) * weight;
    if (v >= 0.5) (*into)[e.first] += static_cast<long long>(std::llround(v));
  }
}

int buildMecabModel(const MecabModelJob& job, FILE* out, FILE* err) {
  KeyCounts mtrans, etrans;
  PseudoCountOptions options = job.options;
  std::string message;
  if (!job.corpus.empty()) {
    char* data = readfile(job.corpus.c_str());
    if (data == nullptr) {
      std::fprintf(err, "%s: cannot read\n", job.corpus.c_str());
      return 1;
    }
    const std::string text(data);
    delete[] data;
    std::vector<TrainSentence> sentences;
    std::vector<CorpusError> errors;
    if (!parseTextCorpus(text, &sentences, &errors)) {
      for (const CorpusError& e : errors)
        std::fprintf(err, "%s:%zu: %s\n", job.corpus.c_str(), e.line,
                     e.message.c_str());
      return 1;
    }
    ModelCounter counter;
    for (const TrainSentence& s : sentences) counter.addSentence(s);
    if (counter.sentences() == 0) {
      std::fprintf(err, "%s: no sentence\n", job.corpus.c_str());
      return 1;
    }
    const double k = job.resolution > 0 ? job.resolution : 1.0;
    addCounts(counter.morphemeCounts(), k, &mtrans);
    addCounts(counter.eojulCounts(), k, &etrans);
    options.eojeols = k * job.pseudoShare * static_cast<double>(counter.eojeols());
    options.eojeolsPerSentence = static_cast<double>(counter.eojeols()) /
                                 static_cast<double>(counter.sentences());
    std::fprintf(out, "%s: %zu sentences, %zu eojeol, %zu morphemes\n",
                 job.corpus.c_str(), counter.sentences(), counter.eojeols(),
                 counter.morphemes());
  }
  if (job.pseudo && options.eojeols > 0) {
    std::vector<PseudoToken> tokens;
    MecabMatrix matrix;
    if (!readMecabModelSource(job.dictionary, &tokens, &matrix, &message)) {
      std::fprintf(err, "%s\n", message.c_str());
      return 1;
    }
    KeyCounts pm, pe;
    if (!derivePseudoCounts(tokens, matrix, options, &pm, &pe, &message)) {
      std::fprintf(err, "%s\n", message.c_str());
      return 1;
    }
    std::fprintf(out, "%s: %zu tokens, %zu + %zu keys derived (%.0f eojeol)\n",
                 job.dictionary.c_str(), tokens.size(), pm.size(), pe.size(),
                 options.eojeols);
    addCounts(pm, 1.0, &mtrans);
    addCounts(pe, 1.0, &etrans);
  }
  if (mtrans.empty() || etrans.empty()) {
    std::fprintf(err, "no counts; nothing written\n");
    return 1;
  }
  if (job.openFinalEndings) moveOpenFinalEndings(&mtrans);
  if (job.emission) foldEmissions(&mtrans);
  if (!writeModelTables(mtrans, etrans, job.output, &message)) {
    std::fprintf(err, "%s\n", message.c_str());
    return 1;
  }
  std::fprintf(out, "%s: %zu + %zu keys\n", job.output.c_str(), mtrans.size(),
               etrans.size());
  return 0;
}
