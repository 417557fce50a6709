// Unknown-word guessing: when the lattice gives no analysis, "nf" nodes are
// added where an unknown noun plausibly begins and ends: before symbol runs,
// before a particle that closes the word, before known nouns and at the end
// of the word. A guess is always longer than the longest known noun starting
// at the same position, and never reaches across the start of a symbol run.
#include "analyzer/analyzer_impl.h"

#include "analyzer/nf_record.h"

namespace {

// Level-1 class values (the tag shifted right by one) and level-3 masks.
constexpr unsigned int kClassSymbol = 8;    // s_
constexpr unsigned int kClassLatin = 4;     // sl
constexpr unsigned int kClassHanja = 2;     // sh
constexpr unsigned int kClassNumber = 1;    // sn
constexpr unsigned int kClassParticle = 1024;  // j_
constexpr unsigned int kClassNoun = 0x10000;   // n_
// nng, nfg, nnu and nfu.
constexpr unsigned int kKnownNouns = 1 | 2 | 16 | 32;

// Particle attribute bits: the particle follows only open syllables
// ("@무종성"), or only closed ones ("@유종성").
constexpr unsigned int kAfterOpenSyllable = 0x1;
constexpr unsigned int kAfterClosedSyllable = 0x2;

bool isSymbolLike(const InterResult* node) {
  return node->hasPOS(kClassSymbol, 0, kClassLatin, 0, kClassHanja, 0,
                      kClassNumber, 0);
}

bool isParticle(const InterResult* node) {
  return node->hasPOS(kClassParticle, 0);
}

bool isKnownNoun(const InterResult* node) {
  return node->hasPOS(kClassNoun, kKnownNouns);
}

// Everything but a Hangul syllable without final consonant counts as closed.
bool hasFinalConsonant(unsigned short unit) {
  if (unit < 0xAC00 || unit > 0xD7AF) return true;
  return (unit - 0xAC00) % 28 != 0;
}

// Whether the particle's attribute lets it follow the unit `before`.
bool particleFits(const InterResult* particle, unsigned short before) {
  const unsigned int attr = particle->attr();
  const bool closed = hasFinalConsonant(before);
  if ((attr & kAfterOpenSyllable) != 0) return !closed;
  if ((attr & kAfterClosedSyllable) != 0) return closed;
  return true;
}

}  // namespace

void AnalyzerImpl::addNF(unsigned long offset, const unsigned short* text,
                         unsigned long length) {
  if (text == nullptr || offset >= ANALYZER_POSITIONS) return;
  const unsigned short* at = text + offset;
  const int recpos = appendNFRecord(records_, at, length);
  if (recpos < 0) return;
  InterResult* node = newNode();
  node->offset(offset);
  node->length(nfRecordUnits(length));
  node->parse(&records_, recpos, at, length);
  adopt(offset, node);
}

void AnalyzerImpl::guessNF(const unsigned short* text, unsigned long n) {
  // At most the analysed prefix, and never past the text's terminator: every
  // position looked at below then has a list.
  n = boundedLength(text, n);

  // The first symbol-like node of a list; noun-irregular nodes never count.
  auto symbolAt = [this, n](unsigned long p) -> InterResult* {
    if (p >= n) return nullptr;
    return findExistsPOSWithoutLength(p, kClassSymbol, 0, kClassLatin, 0,
                                      kClassHanja, 0, kClassNumber, 0);
  };

  // Set once the run-end rule has guessed the last unit. The one-unit rule
  // below then adds no second, equal node there, which would only repeat
  // every analysis through it: the last unit gets exactly one guess, whether
  // a symbol run starts there or not.
  bool lastUnitGuessed = false;
  unsigned long i = 0;
  while (i < n) {
    // Symbol runs are skipped; a run ending one unit short of the end
    // leaves that unit to an unknown noun.
    const InterResult* symbol = symbolAt(i);
    if (symbol != nullptr && symbol->length() > 0) {
      i += symbol->length();
      if (i == n - 1) {
        addNF(n - 1, text, 1);
        lastUnitGuessed = true;
      }
      continue;
    }

    // A single unit before a symbol, before a closing particle, or at the
    // end of the word.
    bool boundary = i + 1 == n;
    if (!boundary) {
      const OpStack<InterResult*>& next = positions_[i + 1];
      for (uint64_t k = 0; k < next.size(); ++k) {
        const InterResult* node = next.at(k);
        if ((!node->nounirregular() && isSymbolLike(node)) ||
            (isParticle(node) &&
             (i + 2 == n || symbolAt(i + 2) != nullptr))) {
          boundary = true;
          break;
        }
      }
    }
    if (boundary) {
      if (!(lastUnitGuessed && i == n - 1)) addNF(i, text, 1);
      ++i;
      continue;
    }

    // The longest known noun here: guesses must be longer.
    unsigned long longest = 0;
    const OpStack<InterResult*>& here = positions_[i];
    for (uint64_t k = 0; k < here.size(); ++k) {
      const InterResult* node = here.at(k);
      if (!node->nounirregular() && isKnownNoun(node) &&
          node->length() > longest)
        longest = node->length();
    }

    for (unsigned long len = 2; i + len <= n && len > longest; ++len) {
      const unsigned long j = i + len;
      if (j == n) {
        addNF(i, text, len);
        break;
      }
      bool stop = false;
      const OpStack<InterResult*>& after = positions_[j];
      for (uint64_t k = 0; k < after.size(); ++k) {
        const InterResult* node = after.at(k);
        if (!node->nounirregular() && isSymbolLike(node)) {
          // A noun never runs into a symbol run.
          addNF(i, text, len);
          stop = true;
          break;
        }
        if (isParticle(node)) {
          if (!particleFits(node, text[j - 1])) continue;
          const unsigned long end = j + node->length();
          if (end == n || symbolAt(end) != nullptr) {
            addNF(i, text, len);
            break;
          }
          continue;
        }
        if (isKnownNoun(node) && node->length() >= 2) {
          addNF(i, text, len);
          break;
        }
      }
      if (stop) break;
    }

    i += longest > 0 ? longest : 1;
  }
}
