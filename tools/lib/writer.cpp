#include "writer.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Length of the well-formed UTF-8 sequence at p (at most n bytes), with its
// code point in *cp; 0 when the bytes there are not one.
size_t decodeUtf8(const unsigned char* p, size_t n, uint32_t* cp) {
  if (n == 0) return 0;
  const unsigned char b0 = p[0];
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  size_t length;
  uint32_t value;
  uint32_t least;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    value = b0 & 0x1F;
    least = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    value = b0 & 0x0F;
    least = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    value = b0 & 0x07;
    least = 0x10000;
  } else {
    return 0;
  }
  if (n < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (p[i] & 0x3F);
  }
  // Overlong forms, surrogates and values past the last code point.
  if (value < least || (value >= 0xD800 && value <= 0xDFFF) ||
      value > 0x10FFFF)
    return 0;
  *cp = value;
  return length;
}

bool isDelimiter(uint32_t cp) {
  return cp == ' ' || cp == '\t' || cp == '\n' || cp == '\r' || cp > 0xFFFF;
}

void appendScore(std::string* out, float score) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", static_cast<double>(score));
  *out += buffer;
}

// JSON has no NaN or infinity.
void appendJsonNumber(std::string* out, float score) {
  if (std::isfinite(score)) {
    appendScore(out, score);
  } else {
    *out += "null";
  }
}

std::string upper(const char* tag) {
  std::string s(tag != nullptr ? tag : "");
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

const char* orEmpty(const char* text) { return text != nullptr ? text : ""; }

// The code points of a line (valid UTF-8), by offset in 16-bit units as the
// engine counts them: one unit per code point. The offsets are found on the
// first request: most lines never make one.
class LineUnits {
 public:
  explicit LineUnits(const std::string& line) : line_(line) {}
  // The UTF-8 text of units [start, end), or false when out of range.
  bool text(unsigned long start, unsigned long end, std::string* out) const {
    if (starts_.empty()) index();
    if (start >= end || end >= starts_.size()) return false;
    *out = line_.substr(starts_[start], starts_[end] - starts_[start]);
    return true;
  }

 private:
  void index() const {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(line_.data());
    size_t n = line_.size(), at = 0;
    while (n > 0) {
      uint32_t cp;
      size_t k = decodeUtf8(p, n, &cp);
      if (k == 0) k = 1;
      starts_.push_back(at);
      p += k;
      n -= k;
      at += k;
    }
    starts_.push_back(line_.size());
  }

  const std::string& line_;
  mutable std::vector<size_t> starts_;
};

bool equalsIgnoringAsciiCase(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool isLatinTag(const char* tag) {
  return tag[0] == 's' && tag[1] == 'l' && tag[2] == '\0';
}

// The lexical form of morpheme k, whose tag name is `tag`. The analyzer
// reads lower-cased text, so a Latin morpheme (sl) is written as the line
// spells it, copied into *scratch, when the line holds the same letters at
// its offsets (moved by `base`).
const char* lexicalForm(const Result& r, int k, const char* tag,
                        const LineUnits* units, unsigned long base,
                        std::string* scratch) {
  const char* lexicon = orEmpty(r.lexicon(k));
  if (units != nullptr && isLatinTag(tag) &&
      units->text(r.startOffset(k) + base, r.endOffset(k) + base, scratch) &&
      equalsIgnoringAsciiCase(*scratch, lexicon))
    return scratch->c_str();
  return lexicon;
}

void appendLexicon(std::string* out, const Result& r, int k,
                   const LineUnits* units, unsigned long base) {
  std::string scratch;
  *out += lexicalForm(r, k, orEmpty(r.posTag(k)), units, base, &scratch);
}

std::string lexiconOf(const Result& r, int k, const LineUnits* units,
                      unsigned long base) {
  std::string text;
  appendLexicon(&text, r, k, units, base);
  return text;
}

// Output gathered in a fixed buffer and handed to the string in large
// appends: a line's pieces are a few bytes each, and appending them one by
// one to the string costs several times more than copying them here.
class Gather {
 public:
  explicit Gather(std::string* out) : out_(out) {}
  ~Gather() { flush(); }
  Gather(const Gather&) = delete;
  Gather& operator=(const Gather&) = delete;

  void add(const char* text, size_t n) {
    if (n > sizeof buffer_ - used_) {
      flush();
      if (n > sizeof buffer_) {
        out_->append(text, n);
        return;
      }
    }
    std::memcpy(buffer_ + used_, text, n);
    used_ += n;
  }
  // The pieces of a line are a few bytes each: copied byte by byte, which
  // costs less than measuring them first and copying them in one call.
  void add(const char* text) {
    size_t used = used_;
    for (; *text != '\0'; ++text) {
      if (used == sizeof buffer_) {
        used_ = used;
        flush();
        used = 0;
      }
      buffer_[used++] = *text;
    }
    used_ = used;
  }
  void add(const std::string& text) { add(text.data(), text.size()); }
  void add(char c) {
    if (used_ == sizeof buffer_) flush();
    buffer_[used_++] = c;
  }
  void flush() {
    out_->append(buffer_, used_);
    used_ = 0;
  }

 private:
  std::string* out_;
  size_t used_ = 0;
  char buffer_[4096];
};

// lex/tag joined by `separator`.
void appendMorphemes(Gather* out, const Result& r, char separator,
                     const LineUnits* units, unsigned long base) {
  std::string scratch;
  const unsigned long count = r.size();
  for (unsigned long i = 0; i < count; ++i) {
    const int k = static_cast<int>(i);
    const char* tag = orEmpty(r.posTag(k));
    if (i > 0) out->add(separator);
    out->add(lexicalForm(r, k, tag, units, base, &scratch));
    out->add('/');
    out->add(tag);
  }
}

// [{"lexicon":..,"tag":..,"start":..,"end":..},...], offsets moved by `base`.
void appendJsonMorphemes(std::string* out, const Result& r,
                         const LineUnits* units, unsigned long base) {
  *out += '[';
  for (unsigned long i = 0; i < r.size(); ++i) {
    const int k = static_cast<int>(i);
    if (i > 0) *out += ',';
    *out += "{\"lexicon\":";
    appendJsonString(out, lexiconOf(r, k, units, base));
    *out += ",\"tag\":";
    appendJsonString(out, orEmpty(r.posTag(k)));
    *out += ",\"start\":" + std::to_string(r.startOffset(k) + base);
    *out += ",\"end\":" + std::to_string(r.endOffset(k) + base);
    *out += '}';
  }
  *out += ']';
}

// One CoNLL-U token line for a word and its analysis.
void appendConlluToken(std::string* out, size_t index, const char* word,
                       const Result* r, const LineUnits* units,
                       unsigned long base) {
  std::string lemma;
  std::string xpos;
  if (r != nullptr) {
    for (unsigned long i = 0; i < r->size(); ++i) {
      const int k = static_cast<int>(i);
      if (i > 0) {
        lemma += '+';
        xpos += '+';
      }
      appendLexicon(&lemma, *r, k, units, base);
      xpos += upper(r->posTag(k));
    }
  }
  if (lemma.empty()) lemma = "_";
  if (xpos.empty()) xpos = "_";
  *out += std::to_string(index);
  *out += '\t';
  *out += orEmpty(word);
  *out += '\t' + lemma + "\t_\t" + xpos + "\t_\t_\t_\t_\t_\n";
}

// "# sent_id" and "# text =", with the text on one line and as UTF-8.
void appendConlluHeader(std::string* out, const std::string& line, size_t id) {
  *out += "# sent_id = " + std::to_string(id) + "\n# text = ";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data());
  size_t n = line.size();
  while (n > 0) {
    uint32_t cp;
    const size_t k = decodeUtf8(p, n, &cp);
    if (k == 0) {
      *out += "\xEF\xBF\xBD";
      ++p;
      --n;
      continue;
    }
    if (cp < 0x20 || cp == 0x7F) {
      *out += ' ';
    } else {
      out->append(reinterpret_cast<const char*>(p), k);
    }
    p += k;
    n -= k;
  }
  *out += '\n';
}

}  // namespace

bool parseOutputFormat(const std::string& name, OutputFormat* format) {
  if (name == "text") {
    *format = OutputFormat::kText;
  } else if (name == "morphs") {
    *format = OutputFormat::kMorphs;
  } else if (name == "json") {
    *format = OutputFormat::kJson;
  } else if (name == "conllu") {
    *format = OutputFormat::kConllu;
  } else {
    return false;
  }
  return true;
}

bool isValidUtf8(const std::string& text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* const end = p + text.size();
  while (p < end) {
    const unsigned char b0 = p[0];
    if (b0 != 0 && b0 < 0x80) {
      ++p;
      continue;
    }
    // Three-byte sequences, which Hangul takes, checked in place: only the
    // lead E0 can start an overlong form (second byte below A0), and only
    // ED a surrogate (second byte from A0).
    if ((b0 & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
        (p[2] & 0xC0) == 0x80) {
      if (b0 == 0xE0 ? p[1] < 0xA0 : b0 == 0xED && p[1] >= 0xA0) return false;
      p += 3;
      continue;
    }
    uint32_t cp;
    const size_t k = decodeUtf8(p, static_cast<size_t>(end - p), &cp);
    if (k == 0 || cp == 0) return false;
    p += k;
  }
  return true;
}

void appendJsonString(std::string* out, const char* text, size_t length) {
  static const char kHex[] = "0123456789abcdef";
  *out += '"';
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t n = text != nullptr ? length : 0;
  while (n > 0) {
    uint32_t cp;
    const size_t k = decodeUtf8(p, n, &cp);
    if (k == 0) {
      *out += "\xEF\xBF\xBD";  // U+FFFD for each byte that is not UTF-8
      ++p;
      --n;
      continue;
    }
    switch (cp) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\b': *out += "\\b"; break;
      case '\f': *out += "\\f"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      default:
        if (cp < 0x20) {
          *out += "\\u00";
          *out += kHex[cp >> 4];
          *out += kHex[cp & 0xF];
        } else {
          out->append(reinterpret_cast<const char*>(p), k);
        }
    }
    p += k;
    n -= k;
  }
  *out += '"';
}

void appendJsonString(std::string* out, const std::string& text) {
  appendJsonString(out, text.data(), text.size());
}

bool hasWords(const std::string& line) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data());
  size_t n = line.size();
  while (n > 0) {
    uint32_t cp;
    size_t k = decodeUtf8(p, n, &cp);
    if (k == 0) return true;  // kept as a byte of a word by splitWords
    if (!isDelimiter(cp)) return true;
    p += k;
    n -= k;
  }
  return false;
}

std::vector<std::pair<std::string, unsigned long>> splitWords(
    const std::string& line) {
  std::vector<std::pair<std::string, unsigned long>> words;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line.data());
  size_t n = line.size();
  unsigned long unit = 0;
  std::string word;
  unsigned long start = 0;
  while (n > 0) {
    uint32_t cp;
    size_t k = decodeUtf8(p, n, &cp);
    if (k == 0) {  // not expected: callers check first; keep the byte
      k = 1;
      cp = p[0];
    }
    if (isDelimiter(cp)) {
      if (!word.empty()) words.emplace_back(word, start);
      word.clear();
    } else {
      if (word.empty()) start = unit;
      word.append(reinterpret_cast<const char*>(p), k);
    }
    ++unit;
    p += k;
    n -= k;
  }
  if (!word.empty()) words.emplace_back(word, start);
  return words;
}

void Writer::writeTagged(const std::string& line, size_t id,
                         const Sentence& sentence, std::string* out) const {
  const unsigned long count = sentence.size();
  const LineUnits units(line);
  switch (format_) {
    case OutputFormat::kText: {
      Gather text(out);
      for (unsigned long i = 0; i < count; ++i) {
        const Eojul* e = sentence.get(i);
        text.add(orEmpty(e->eojul()));
        text.add('\t');
        if (e->result() != nullptr)
          appendMorphemes(&text, *e->result(), '+', &units, 0);
        text.add('\n');
      }
      text.add('\n');
      break;
    }
    case OutputFormat::kMorphs: {
      Gather text(out);
      bool first = true;
      for (unsigned long i = 0; i < count; ++i) {
        const Result* r = sentence.get(i)->result();
        if (r == nullptr || r->size() == 0) continue;
        if (!first) text.add(' ');
        first = false;
        appendMorphemes(&text, *r, ' ', &units, 0);
      }
      text.add('\n');
      break;
    }
    case OutputFormat::kJson:
      *out += "{\"text\":";
      appendJsonString(out, line);
      *out += ",\"eojeols\":[";
      for (unsigned long i = 0; i < count; ++i) {
        const Eojul* e = sentence.get(i);
        if (i > 0) *out += ',';
        *out += "{\"eojeol\":";
        appendJsonString(out, orEmpty(e->eojul()));
        *out += ",\"morphemes\":";
        if (e->result() != nullptr) {
          appendJsonMorphemes(out, *e->result(), &units, 0);
        } else {
          *out += "[]";
        }
        *out += ",\"score\":";
        appendJsonNumber(out, e->result() != nullptr ? e->result()->score() : 0);
        *out += '}';
      }
      *out += "]}\n";
      break;
    case OutputFormat::kConllu:
      appendConlluHeader(out, line, id);
      for (unsigned long i = 0; i < count; ++i) {
        const Eojul* e = sentence.get(i);
        appendConlluToken(out, i + 1, e->eojul(), e->result(), &units, 0);
      }
      *out += '\n';
      break;
  }
}

void Writer::writeAnalyzed(const std::string& line, size_t id,
                           const std::vector<AnalyzedWord>& words,
                           std::string* out) const {
  const LineUnits units(line);
  switch (format_) {
    case OutputFormat::kText: {
      Gather text(out);
      std::string score;
      for (const AnalyzedWord& w : words) {
        for (unsigned long k = 0; k < w.candidate->size(); ++k) {
          const Result* r = w.candidate->get(k);
          text.add(w.word);
          text.add('\t');
          text.add(std::to_string(k + 1));
          text.add('\t');
          appendMorphemes(&text, *r, '+', &units, w.start);
          text.add('\t');
          score.clear();
          appendScore(&score, r->score());
          text.add(score);
          text.add('\n');
        }
      }
      text.add('\n');
      break;
    }
    case OutputFormat::kMorphs: {
      Gather text(out);
      bool first = true;
      for (const AnalyzedWord& w : words) {
        const Result* r = w.candidate->get(0);
        if (r == nullptr || r->size() == 0) continue;
        if (!first) text.add(' ');
        first = false;
        appendMorphemes(&text, *r, ' ', &units, w.start);
      }
      text.add('\n');
      break;
    }
    case OutputFormat::kJson:
      *out += "{\"text\":";
      appendJsonString(out, line);
      *out += ",\"eojeols\":[";
      for (size_t i = 0; i < words.size(); ++i) {
        const AnalyzedWord& w = words[i];
        if (i > 0) *out += ',';
        *out += "{\"eojeol\":";
        appendJsonString(out, w.word);
        *out += ",\"candidates\":[";
        for (unsigned long k = 0; k < w.candidate->size(); ++k) {
          const Result* r = w.candidate->get(k);
          if (k > 0) *out += ',';
          *out += "{\"rank\":" + std::to_string(k + 1) + ",\"morphemes\":";
          appendJsonMorphemes(out, *r, &units, w.start);
          *out += ",\"score\":";
          appendJsonNumber(out, r->score());
          *out += '}';
        }
        *out += "]}";
      }
      *out += "]}\n";
      break;
    case OutputFormat::kConllu:
      appendConlluHeader(out, line, id);
      for (size_t i = 0; i < words.size(); ++i)
        appendConlluToken(out, i + 1, words[i].word.c_str(),
                          words[i].candidate->get(0), &units, words[i].start);
      *out += '\n';
      break;
  }
}

void Writer::writeEmpty(const std::string& line, size_t id, const char* error,
                        std::string* out) const {
  switch (format_) {
    case OutputFormat::kText:
    case OutputFormat::kMorphs:
      *out += '\n';
      break;
    case OutputFormat::kJson:
      *out += "{\"text\":";
      appendJsonString(out, line);
      *out += ",\"eojeols\":[]";
      if (error != nullptr) {
        *out += ",\"error\":";
        appendJsonString(out, error);
      }
      *out += "}\n";
      break;
    case OutputFormat::kConllu:
      appendConlluHeader(out, line, id);
      if (error != nullptr) *out += std::string("# error = ") + error + "\n";
      *out += '\n';
      break;
  }
}
