#include "knowledge/lexicon_source.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "base/text.h"
#include "knowledge/lexicon_builder.h"
#include "pos/attributes.h"
#include "pos/pos.h"

namespace {

// One byte of a field and whether a backslash made it literal.
struct Char {
  char c;
  bool escaped;
};
typedef std::vector<Char> Token;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isPlain(const Char& ch, char c) { return !ch.escaped && ch.c == c; }

std::string literal(const Token& token, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to; ++i) text += token[i].c;
  return text;
}

std::string literal(const Token& token) {
  return literal(token, 0, token.size());
}

// Splits a line into fields at runs of blanks outside brackets. A field that
// begins with an unescaped "#" ends the line.
bool tokenize(const std::string& line, std::vector<Token>* fields,
              std::string* message) {
  size_t i = 0;
  const size_t n = line.size();
  while (true) {
    while (i < n && isBlank(line[i])) ++i;
    if (i >= n || line[i] == '#') return true;
    Token token;
    bool inBrackets = false;
    while (i < n) {
      char c = line[i];
      if (c == '\\') {
        if (i + 1 >= n) {
          *message = "backslash at the end of the line";
          return false;
        }
        token.push_back(Char{line[i + 1], true});
        i += 2;
        continue;
      }
      if (!inBrackets && isBlank(c)) break;
      if (c == '[') {
        if (inBrackets) {
          *message = "\"[\" inside an attribute list";
          return false;
        }
        inBrackets = true;
      } else if (c == ']') {
        inBrackets = false;
      }
      token.push_back(Char{c, false});
      ++i;
    }
    if (inBrackets) {
      *message = "attribute list without \"]\"";
      return false;
    }
    fields->push_back(std::move(token));
  }
}

// UTF-8 text to 16-bit units. An empty text gives no units.
bool toUnits(const std::string& text, std::vector<unsigned short>* units,
             std::string* message) {
  units->clear();
  if (text.empty()) return true;
  unsigned short* converted =
      utf8_touchar(reinterpret_cast<const unsigned char*>(text.c_str()));
  if (converted == nullptr) {
    *message = "\"" + text + "\" is not valid UTF-8";
    return false;
  }
  for (unsigned char c : text) {
    // The conversion turns a 4-byte sequence into a space.
    if (c >= 0xF0) {
      std::free(converted);
      *message = "\"" + text + "\" has a character outside the Basic "
                 "Multilingual Plane";
      return false;
    }
  }
  for (const unsigned short* u = converted; *u != 0; ++u) units->push_back(*u);
  std::free(converted);
  return true;
}

bool parseHex(const std::string& text, uint32_t* value) {
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
    return false;
  if (text.size() > 10) return false;
  uint32_t v = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      return false;
    }
    v = (v << 4) | digit;
  }
  *value = v;
  return true;
}

bool parseNumber(const std::string& text, uint32_t* value) {
  if (parseHex(text, value)) return true;
  if (text.empty() || text.size() > 9) return false;
  uint32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  *value = v;
  return true;
}

bool parseTag(const std::string& name, unsigned int* tag,
              std::string* message) {
  if (name == "_") {
    *tag = POS_ZERO;
    return true;
  }
  uint32_t code;
  if (parseHex(name, &code)) {
    if ((code & 1u) != 0) {
      *message = "tag code " + name + " has bit 0 set";
      return false;
    }
    *tag = code;
    return true;
  }
  if (name == "na") {
    *tag = NA;
    return true;
  }
  unsigned int value = getPosValue(name.c_str());
  // getPosValue also maps other names beginning with "vc" to vcp; only the
  // tag's own name is accepted here.
  const char* own = value == NA ? nullptr : getLevel3PosTag(pos_t(value));
  if (own == nullptr || name != own) {
    *message = "unknown tag \"" + name + "\"";
    return false;
  }
  *tag = value;
  return true;
}

bool parseMorpheme(const Token& token, size_t from, size_t to,
                   SourceMorpheme* morph, std::string* message) {
  if (from == to) {
    *message = "empty morpheme";
    return false;
  }
  morph->spelled = true;
  if (isPlain(token[from], '~')) {
    morph->spelled = false;
    ++from;
  }
  size_t slash = to;
  for (size_t i = to; i > from; --i) {
    if (isPlain(token[i - 1], '/')) {
      slash = i - 1;
      break;
    }
  }
  if (slash == to) {
    *message = "morpheme \"" + literal(token, from, to) +
               "\" has no \"/\" before its tag";
    return false;
  }
  std::string lexicon = literal(token, from, slash);
  if (!parseTag(literal(token, slash + 1, to), &morph->tag, message))
    return false;
  if (!toUnits(lexicon, &morph->text, message)) return false;
  if (morph->text.size() > LEXICON_MAX_UNITS) {
    *message = "lexicon \"" + lexicon + "\" has " +
               std::to_string(morph->text.size()) +
               " units, more than 127";
    return false;
  }
  return true;
}

std::string trim(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && isBlank(text[b])) ++b;
  while (e > b && isBlank(text[e - 1])) --e;
  return text.substr(b, e - b);
}

enum class MarkerKind { kAttribute, kClue };

// The bits of one marker, looked up in the lexicon its prefix names or, for
// a bare marker, in the lexicon of the first morpheme's class.
bool markerBits(const std::string& marker, unsigned int firstTag,
                uint32_t* bits, MarkerKind* kind, std::string* message) {
  struct Lexicon {
    const char* prefix;
    unsigned int (*lookup)(const unsigned char*);
    const char* name;
  };
  static const Lexicon LEXICONS[] = {
      {"eomi:", getEomiAttribute, "ending"},
      {"josa:", getJosaAttribute, "particle"},
      {"nnb:", getBoundNounAttribute, "bound-noun"},
      {"clue:", getClueAttribute, "clue"},
  };
  const Lexicon* lexicon = nullptr;
  std::string name = marker;
  for (const Lexicon& l : LEXICONS) {
    size_t len = std::strlen(l.prefix);
    if (marker.compare(0, len, l.prefix) == 0) {
      lexicon = &l;
      name = marker.substr(len);
      break;
    }
  }
  *kind = (lexicon == &LEXICONS[3]) ? MarkerKind::kClue : MarkerKind::kAttribute;
  if (parseHex(name, bits)) return true;
  if (lexicon == nullptr) {
    unsigned int cls = firstTag & 0x7FFFEu;
    if (cls == 0x400u) {
      lexicon = &LEXICONS[0];
    } else if (cls == 0x800u) {
      lexicon = &LEXICONS[1];
    } else if (pos_t(firstTag) == NNB) {
      lexicon = &LEXICONS[2];
    } else {
      *message = "marker \"" + marker +
                 "\" needs a lexicon prefix (eomi:, josa:, nnb: or clue:) "
                 "when the first morpheme is not an ending, particle or "
                 "bound noun";
      return false;
    }
  }
  *bits = lexicon->lookup(reinterpret_cast<const unsigned char*>(name.c_str()));
  if (*bits == 0) {
    *message = "\"" + name + "\" is no " + lexicon->name + " marker";
    return false;
  }
  return true;
}

bool parseAttributes(const std::string& list, SourceAnalysis* analysis,
                     std::string* message) {
  const unsigned int firstTag = analysis->morphemes.front().tag;
  bool explicitFlag = false;
  bool anyAttribute = false, anyClue = false;
  uint32_t word = 0;
  uint32_t flag = 0;
  size_t start = 0;
  while (true) {
    size_t comma = list.find(',', start);
    std::string marker =
        trim(list.substr(start, comma == std::string::npos ? std::string::npos
                                                           : comma - start));
    if (marker.empty()) {
      *message = "empty attribute marker";
      return false;
    }
    if (marker.compare(0, 5, "flag:") == 0) {
      if (!parseNumber(marker.substr(5), &flag) || flag > 255) {
        *message = "flag \"" + marker.substr(5) + "\" is no byte value";
        return false;
      }
      explicitFlag = true;
    } else {
      uint32_t bits;
      MarkerKind kind;
      if (!markerBits(marker, firstTag, &bits, &kind, message)) return false;
      word |= bits;
      (kind == MarkerKind::kClue ? anyClue : anyAttribute) = true;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (anyClue && anyAttribute) {
    *message = "clue markers and other markers in one record";
    return false;
  }
  if (!explicitFlag) {
    flag = anyClue ? LEXICON_FLAG_CLUE : LEXICON_FLAG_ATTRIBUTE;
  } else if (flag == 0 && (anyClue || anyAttribute)) {
    *message = "flag 0 carries no attribute word";
    return false;
  }
  analysis->flag = static_cast<unsigned char>(flag);
  analysis->attribute = flag == 0 ? 0 : word;
  return true;
}

bool parseAnalysis(const Token& token, SourceAnalysis* analysis,
                   std::string* message) {
  analysis->morphemes.clear();
  analysis->flag = LEXICON_FLAG_NONE;
  analysis->attribute = 0;
  size_t end = token.size();
  for (size_t i = 0; i < token.size(); ++i) {
    if (isPlain(token[i], '[')) {
      end = i;
      break;
    }
    if (isPlain(token[i], ']')) {
      *message = "\"]\" without \"[\"";
      return false;
    }
  }
  size_t from = 0;
  for (size_t i = 0; i <= end; ++i) {
    if (i < end && !isPlain(token[i], '+')) continue;
    SourceMorpheme morph;
    if (!parseMorpheme(token, from, i, &morph, message)) return false;
    analysis->morphemes.push_back(std::move(morph));
    from = i + 1;
  }
  if (end == token.size()) return true;
  if (!isPlain(token.back(), ']')) {
    *message = "text after the attribute list";
    return false;
  }
  return parseAttributes(literal(token, end + 1, token.size() - 1), analysis,
                         message);
}

bool writeFile(const std::filesystem::path& path, const void* data,
               size_t size, std::string* message) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    *message = "cannot create " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) *message = "cannot write " + path.string();
  return ok;
}

void putLE32(std::vector<unsigned char>* out, uint32_t v) {
  for (int k = 0; k < 4; ++k) out->push_back(static_cast<unsigned char>(v >> (8 * k)));
}

}  // namespace

CompiledLexicon::CompiledLexicon() : records(1 << 20, 1 << 16) {}

bool parseSourceLine(const std::string& line, SourceEntry* entry,
                     std::string* message) {
  entry->surface.clear();
  entry->analyses.clear();
  std::vector<Token> fields;
  if (!tokenize(line, &fields, message)) return false;
  if (fields.empty()) return true;

  std::string surface = literal(fields[0]);
  if (fields.size() == 1) {
    *message = "surface \"" + surface + "\" without analysis";
    return false;
  }
  if (!toUnits(surface, &entry->surface, message)) return false;
  for (size_t k = 1; k < fields.size(); ++k) {
    SourceAnalysis analysis;
    if (!parseAnalysis(fields[k], &analysis, message)) {
      *message = "analysis " + std::to_string(k) + " (" +
                 literal(fields[k]) + "): " + *message;
      entry->surface.clear();
      entry->analyses.clear();
      return false;
    }
    entry->analyses.push_back(std::move(analysis));
  }
  return true;
}

bool parseSource(const std::string& text, std::vector<SourceEntry>* entries,
                 std::vector<SourceError>* errors) {
  bool good = true;
  size_t pos = 0;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
  for (size_t lineNo = 1; pos <= text.size(); ++lineNo) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos = end + 1;

    SourceEntry entry;
    std::string message;
    if (!parseSourceLine(line, &entry, &message)) {
      errors->push_back(SourceError{lineNo, message});
      good = false;
      continue;
    }
    if (entry.surface.empty()) continue;
    entry.line = lineNo;
    entries->push_back(std::move(entry));
  }
  return good;
}

bool compileEntries(const std::vector<SourceEntry>& entries,
                    CompiledLexicon* out) {
  out->records.clear();
  out->units.clear();
  out->index.clear();
  std::vector<LexiconKey> keys;
  for (const SourceEntry& entry : entries) {
    for (const SourceAnalysis& analysis : entry.analyses) {
      if (analysis.morphemes.empty()) return false;
      size_t record = appendRecordStart(&out->records);
      if (record == membuf::npos || record > 0x7FFFFFFF) return false;
      appendRecordAttribute(&out->records, analysis.flag, analysis.attribute);
      size_t last = membuf::npos;
      for (const SourceMorpheme& m : analysis.morphemes) {
        last = appendRecordMorpheme(&out->records, m.tag, m.text.data(),
                                    m.text.size(), m.spelled);
        if (last == membuf::npos) return false;
      }
      markLastMorpheme(&out->records, last);
      keys.push_back(LexiconKey{entry.surface.data(), entry.surface.size(),
                                static_cast<int32_t>(record)});
    }
  }
  return buildLexicon(&keys, &out->records, &out->units, &out->index);
}

bool writeLexicon(const CompiledLexicon& lexicon, const std::string& dir,
                  std::string* message) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    *message = "cannot create directory " + dir + ": " + ec.message();
    return false;
  }

  std::vector<unsigned char> tri, idx;
  tri.reserve(lexicon.units.size() * 8);
  for (const TrieUnit& u : lexicon.units) {
    putLE32(&tri, static_cast<uint32_t>(u.base));
    putLE32(&tri, u.check);
  }
  idx.reserve(lexicon.index.size() * 4);
  for (int32_t v : lexicon.index) putLE32(&idx, static_cast<uint32_t>(v));

  struct Output {
    const char* name;
    const void* data;
    size_t size;
  };
  const Output outputs[] = {
      {"sys.tri", tri.data(), tri.size()},
      {"sys.idx", idx.data(), idx.size()},
      {"sys.dat", lexicon.records.buf(), lexicon.records.size()},
  };
  const fs::path base(dir);
  bool ok = true;
  for (const Output& o : outputs) {
    if (!writeFile(base / (std::string(o.name) + ".tmp"), o.data, o.size,
                   message)) {
      ok = false;
      break;
    }
  }
  for (const Output& o : outputs) {
    if (!ok) break;
    fs::rename(base / (std::string(o.name) + ".tmp"), base / o.name, ec);
    if (ec) {
      *message = "cannot rename into " + (base / o.name).string() + ": " +
                 ec.message();
      ok = false;
    }
  }
  if (!ok) {
    for (const Output& o : outputs)
      fs::remove(base / (std::string(o.name) + ".tmp"), ec);
  }
  return ok;
}

int compileSourceFile(const char* sourcePath, const char* outputDir,
                      FILE* err) {
  char* raw = readfile(sourcePath);
  if (raw == nullptr) {
    std::fprintf(err, "talmoro-dict: cannot read %s\n", sourcePath);
    return 1;
  }
  std::string text(raw);
  delete[] raw;

  std::vector<SourceEntry> entries;
  std::vector<SourceError> errors;
  if (!parseSource(text, &entries, &errors)) {
    std::string lines;
    for (const SourceError& e : errors) {
      std::fprintf(err, "%s:%zu: %s\n", sourcePath, e.line, e.message.c_str());
      if (!lines.empty()) lines += ", ";
      lines += std::to_string(e.line);
    }
    std::fprintf(err,
                 "talmoro-dict: %zu bad line%s in %s (line%s %s); nothing "
                 "written\n",
                 errors.size(), errors.size() == 1 ? "" : "s", sourcePath,
                 errors.size() == 1 ? "" : "s", lines.c_str());
    return 1;
  }

  CompiledLexicon lexicon;
  if (!compileEntries(entries, &lexicon)) {
    std::fprintf(err, "talmoro-dict: cannot build the dictionary\n");
    return 1;
  }
  std::string message;
  if (!writeLexicon(lexicon, outputDir, &message)) {
    std::fprintf(err, "talmoro-dict: %s\n", message.c_str());
    return 1;
  }
  return 0;
}
