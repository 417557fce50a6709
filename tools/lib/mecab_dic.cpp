#include "mecab_dic.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "knowledge/trie_builder.h"

namespace {

uint32_t readU32(const std::string& data, size_t offset) {
  const unsigned char* p =
      reinterpret_cast<const unsigned char*>(data.data()) + offset;
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t readU16(const std::string& data, size_t offset) {
  const unsigned char* p =
      reinterpret_cast<const unsigned char*>(data.data()) + offset;
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void putU32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void putU16(std::string* out, uint16_t v) {
  out->push_back(static_cast<char>(v & 0xff));
  out->push_back(static_cast<char>(v >> 8));
}

// Keys longer than this cannot come from a sound dictionary; the walk stops
// there instead of following a damaged array forever.
constexpr size_t MAX_KEY_BYTES = 4096;

}  // namespace

bool MecabDictionary::load(const std::string& path, std::string* message) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *message = "cannot open " + path;
    return false;
  }
  std::string bytes;
  char buffer[1 << 16];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    *message = "cannot read " + path;
    return false;
  }
  data_.swap(bytes);
  if (!parse(message)) {
    *message = path + ": " + *message;
    return false;
  }
  return true;
}

bool MecabDictionary::loadFromBuffer(const std::string& bytes,
                                     std::string* message) {
  data_ = bytes;
  return parse(message);
}

bool MecabDictionary::parse(std::string* message) {
  header_ = MecabHeader();
  units_ = tokens_ = 0;
  if (data_.size() < MECAB_DIC_HEADER_SIZE) {
    *message = "file too short for a dictionary header";
    return false;
  }
  uint32_t* fields[] = {&header_.magic,  &header_.version, &header_.type,
                        &header_.lexsize, &header_.lsize, &header_.rsize,
                        &header_.dsize,  &header_.tsize,  &header_.fsize,
                        &header_.dummy};
  for (size_t i = 0; i < 10; ++i) *fields[i] = readU32(data_, 4 * i);
  const char* name = data_.data() + 40;
  header_.charset.assign(name, strnlen(name, 32));

  if ((header_.magic ^ MECAB_DIC_MAGIC_XOR) != data_.size()) {
    *message = "magic number does not match the file size";
    return false;
  }
  if (header_.version != MECAB_DIC_VERSION) {
    *message = "unsupported dictionary version " + std::to_string(header_.version);
    return false;
  }
  uint64_t total = static_cast<uint64_t>(MECAB_DIC_HEADER_SIZE) +
                   header_.dsize + header_.tsize + header_.fsize;
  if (total != data_.size()) {
    *message = "section sizes do not add up to the file size";
    return false;
  }
  if (header_.dsize % 8 != 0 || header_.tsize % 16 != 0) {
    *message = "double array or token section has a partial record";
    return false;
  }
  arrayOffset_ = MECAB_DIC_HEADER_SIZE;
  tokenOffset_ = arrayOffset_ + header_.dsize;
  featureOffset_ = tokenOffset_ + header_.tsize;
  units_ = header_.dsize / 8;
  tokens_ = header_.tsize / 16;
  return true;
}

int32_t MecabDictionary::base(size_t unit) const {
  return static_cast<int32_t>(readU32(data_, arrayOffset_ + 8 * unit));
}

uint32_t MecabDictionary::check(size_t unit) const {
  return readU32(data_, arrayOffset_ + 8 * unit + 4);
}

bool MecabDictionary::token(size_t index, MecabToken* token,
                            std::string* feature) const {
  if (index >= tokens_) return false;
  size_t at = tokenOffset_ + 16 * index;
  token->lcAttr = readU16(data_, at);
  token->rcAttr = readU16(data_, at + 2);
  token->posid = readU16(data_, at + 4);
  token->wcost = static_cast<int16_t>(readU16(data_, at + 6));
  token->feature = readU32(data_, at + 8);
  token->compound = readU32(data_, at + 12);
  if (token->feature >= header_.fsize) return false;
  const char* start = data_.data() + featureOffset_ + token->feature;
  size_t room = header_.fsize - token->feature;
  size_t len = strnlen(start, room);
  if (len == room) return false;  // no terminator inside the section
  feature->assign(start, len);
  return true;
}

bool MecabDictionary::forEachEntry(
    const std::function<void(const MecabEntry&)>& visit, size_t* keys,
    size_t* entries, std::string* message) const {
  size_t keyCount = 0, entryCount = 0;
  auto finish = [&](bool ok) {
    if (keys) *keys = keyCount;
    if (entries) *entries = entryCount;
    return ok;
  };
  if (units_ == 0) return finish(true);

  struct Frame {
    size_t node;
    std::string key;
  };
  int32_t root = base(0);
  if (root < 0 || static_cast<size_t>(root) >= units_) {
    *message = "trie root lies outside the double array";
    return finish(false);
  }
  std::vector<Frame> stack;
  stack.push_back({static_cast<size_t>(root), std::string()});
  size_t visits = 0;
  MecabEntry entry;
  while (!stack.empty()) {
    Frame frame = std::move(stack.back());
    stack.pop_back();
    // In a sound double array every unit has one parent, so a walk that
    // visits more nodes than there are units has met a cycle.
    if (++visits > units_) {
      *message = "double array is cyclic";
      return finish(false);
    }
    size_t b = frame.node;
    if (check(b) == b && base(b) < 0) {
      uint32_t value = static_cast<uint32_t>(-(static_cast<int64_t>(base(b)) + 1));
      size_t first = value >> 8, count = value & 0xff;
      if (first + count > tokens_) {
        *message = "key " + frame.key + " names tokens beyond the token section";
        return finish(false);
      }
      ++keyCount;
      entry.surface = frame.key;
      for (size_t t = first; t < first + count; ++t) {
        if (!token(t, &entry.token, &entry.feature)) {
          *message = "token " + std::to_string(t) +
                     " has a feature offset outside the feature section";
          return finish(false);
        }
        ++entryCount;
        visit(entry);
      }
    }
    if (frame.key.size() >= MAX_KEY_BYTES) {
      *message = "key longer than " + std::to_string(MAX_KEY_BYTES) + " bytes";
      return finish(false);
    }
    // Children pushed in reverse so that they are visited in byte order.
    for (int c = 255; c >= 1; --c) {
      size_t p = b + static_cast<size_t>(c) + 1;
      if (p >= units_ || check(p) != b) continue;
      int32_t child = base(p);
      if (child < 0 || static_cast<size_t>(child) >= units_) {
        *message = "trie node points outside the double array";
        return finish(false);
      }
      stack.push_back({static_cast<size_t>(child), frame.key + static_cast<char>(c)});
    }
  }
  return finish(true);
}

bool buildMecabDictionary(const std::vector<MecabEntry>& entries,
                          std::string* bytes, std::string* message) {
  // Group tokens by key, keys sorted by byte value.
  std::map<std::string, std::vector<const MecabEntry*>> byKey;
  for (const MecabEntry& e : entries) {
    if (e.surface.empty() || e.surface.find('\0') != std::string::npos) {
      *message = "empty key or key with a zero byte";
      return false;
    }
    byKey[e.surface].push_back(&e);
  }
  std::vector<std::vector<unsigned short>> keyUnits;
  std::vector<int> values;
  std::string tokenBytes, features;
  std::map<std::string, uint32_t> featureAt;
  uint32_t tokenIndex = 0;
  for (const auto& kv : byKey) {
    if (kv.second.size() > 255) {
      *message = "key " + kv.first + " has more than 255 tokens";
      return false;
    }
    std::vector<unsigned short> units;
    for (unsigned char c : kv.first) units.push_back(c);
    keyUnits.push_back(units);
    values.push_back(static_cast<int>((tokenIndex << 8) | kv.second.size()));
    for (const MecabEntry* e : kv.second) {
      auto found = featureAt.find(e->feature);
      uint32_t at;
      if (found == featureAt.end()) {
        at = static_cast<uint32_t>(features.size());
        features += e->feature;
        features.push_back('\0');
        featureAt[e->feature] = at;
      } else {
        at = found->second;
      }
      putU16(&tokenBytes, e->token.lcAttr);
      putU16(&tokenBytes, e->token.rcAttr);
      putU16(&tokenBytes, e->token.posid);
      putU16(&tokenBytes, static_cast<uint16_t>(e->token.wcost));
      putU32(&tokenBytes, at);
      putU32(&tokenBytes, e->token.compound);
      ++tokenIndex;
    }
  }
  std::vector<const unsigned short*> keyPtrs;
  std::vector<size_t> lengths;
  for (const auto& k : keyUnits) {
    keyPtrs.push_back(k.data());
    lengths.push_back(k.size());
  }
  std::vector<TrieUnit> units;
  if (!buildTrie(keyPtrs.size(), keyPtrs.data(), lengths.data(), values.data(),
                 &units)) {
    *message = "cannot build the double array";
    return false;
  }
  std::string out;
  size_t size = MECAB_DIC_HEADER_SIZE + units.size() * 8 + tokenBytes.size() +
                features.size();
  putU32(&out, static_cast<uint32_t>(size) ^ MECAB_DIC_MAGIC_XOR);
  putU32(&out, MECAB_DIC_VERSION);
  putU32(&out, 0);
  putU32(&out, tokenIndex);
  putU32(&out, 1);
  putU32(&out, 1);
  putU32(&out, static_cast<uint32_t>(units.size() * 8));
  putU32(&out, static_cast<uint32_t>(tokenBytes.size()));
  putU32(&out, static_cast<uint32_t>(features.size()));
  putU32(&out, 0);
  std::string charset = "UTF-8";
  charset.resize(32, '\0');
  out += charset;
  for (const TrieUnit& u : units) {
    putU32(&out, static_cast<uint32_t>(u.base));
    putU32(&out, u.check);
  }
  out += tokenBytes;
  out += features;
  bytes->swap(out);
  return true;
}
