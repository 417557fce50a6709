// Text conversion, lower-casing, hanja readings and syllable decomposition.
#include "base/text.h"

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "base/hangul_table.h"
#include "base/revision.h"

#ifndef S_ISREG
#define S_ISREG(mode) (((mode) & S_IFMT) == S_IFREG)
#endif

namespace {

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length in bytes of the UTF-8 sequence starting at p, or 0 when it is
// malformed. Never looks past the terminating zero, which is no continuation.
int sequenceLength(const unsigned char* p) {
  const unsigned char b = p[0];
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) return isContinuation(p[1]) ? 2 : 0;
  if constexpr (revision::UTF8_BYTE_COUNT) {
    // Every lead byte from 0xE0 up starts three bytes; the fourth byte of a
    // four-byte sequence is then a stray continuation.
    if (b >= 0xE0) {
      return isContinuation(p[1]) && isContinuation(p[2]) ? 3 : 0;
    }
  }
  if ((b & 0xF0) == 0xE0) {
    return isContinuation(p[1]) && isContinuation(p[2]) ? 3 : 0;
  }
  if ((b & 0xF8) == 0xF0) {
    return isContinuation(p[1]) && isContinuation(p[2]) && isContinuation(p[3])
               ? 4
               : 0;
  }
  return 0;
}

int encodedLength(unsigned short c) {
  if (c < 0x80) return 1;
  if (c < 0x800) return 2;
  return 3;
}

// How a run of units is lower-cased.
enum class Lower : unsigned char {
  kAdd,        // add value
  kEvenPlus1,  // even units get 1 added, odd ones stay
  kOddPlus1,   // odd units get 1 added, even ones stay
  kOddAdd,     // odd units get value added, even ones stay
  kSet,        // every unit becomes value
};

struct LowerRule {
  unsigned short first;
  unsigned short last;
  Lower how;
  int value;
};

// Sorted, non-overlapping ranges; a unit outside all of them stays.
constexpr LowerRule kLowerRules[] = {
    {0x0041, 0x005A, Lower::kAdd, 0x20},
    {0x00C0, 0x00D6, Lower::kAdd, 0x20},  // U+00D7 multiplication sign stays
    {0x00D8, 0x00DE, Lower::kAdd, 0x20},  // U+00DF sharp s stays
    {0x0100, 0x012F, Lower::kEvenPlus1, 0},
    {0x0130, 0x0130, Lower::kSet, 0x0069},  // dotted capital I
    {0x0131, 0x0137, Lower::kEvenPlus1, 0},
    {0x0139, 0x0148, Lower::kOddPlus1, 0},
    {0x014A, 0x0177, Lower::kEvenPlus1, 0},
    {0x0178, 0x0178, Lower::kSet, 0x00FF},
    {0x0179, 0x017E, Lower::kOddPlus1, 0},
    // Latin Extended-B: pairs and letters whose small form lies in the IPA
    // block; U+0189, U+01A6 and every unit not listed stay.
    {0x0181, 0x0181, Lower::kSet, 0x0253},
    {0x0182, 0x0182, Lower::kSet, 0x0183},
    {0x0184, 0x0184, Lower::kSet, 0x0185},
    {0x0186, 0x0186, Lower::kSet, 0x0254},
    {0x0187, 0x0187, Lower::kSet, 0x0188},
    {0x018A, 0x018A, Lower::kSet, 0x0257},
    {0x018B, 0x018B, Lower::kSet, 0x018C},
    {0x018E, 0x018E, Lower::kSet, 0x0258},
    {0x018F, 0x018F, Lower::kSet, 0x0259},
    {0x0190, 0x0190, Lower::kSet, 0x025B},
    {0x0191, 0x0191, Lower::kSet, 0x0192},
    {0x0193, 0x0193, Lower::kSet, 0x0260},
    {0x0194, 0x0194, Lower::kSet, 0x0263},
    {0x0196, 0x0196, Lower::kSet, 0x0269},
    {0x0197, 0x0197, Lower::kSet, 0x0268},
    {0x0198, 0x0198, Lower::kSet, 0x0199},
    {0x019C, 0x019C, Lower::kSet, 0x026F},
    {0x019D, 0x019D, Lower::kSet, 0x0272},
    {0x019F, 0x019F, Lower::kSet, 0x0275},
    {0x01A0, 0x01A0, Lower::kSet, 0x01A1},
    {0x01A2, 0x01A2, Lower::kSet, 0x01A3},
    {0x01A4, 0x01A4, Lower::kSet, 0x01A5},
    {0x01A7, 0x01A7, Lower::kSet, 0x01A8},
    {0x01A9, 0x01A9, Lower::kSet, 0x0283},
    {0x01AC, 0x01AC, Lower::kSet, 0x01AD},
    {0x01AE, 0x01AE, Lower::kSet, 0x0288},
    {0x01AF, 0x01AF, Lower::kSet, 0x01B0},
    {0x01B1, 0x01B1, Lower::kSet, 0x028A},
    {0x01B2, 0x01B2, Lower::kSet, 0x028B},
    {0x01B3, 0x01B3, Lower::kSet, 0x01B4},
    {0x01B5, 0x01B5, Lower::kSet, 0x01B6},
    {0x01B7, 0x01B7, Lower::kSet, 0x0292},
    {0x01B8, 0x01B8, Lower::kSet, 0x01B9},
    {0x01BC, 0x01BC, Lower::kSet, 0x01BD},
    {0x01C4, 0x01C5, Lower::kSet, 0x01C6},  // DŽ and Dž become dž
    {0x01C7, 0x01C8, Lower::kSet, 0x01C9},
    {0x01CA, 0x01CB, Lower::kSet, 0x01CC},
    {0x01CD, 0x01CD, Lower::kSet, 0x01CE},
    {0x01CF, 0x01CF, Lower::kSet, 0x01D0},
    {0x01D1, 0x01DB, Lower::kOddPlus1, 0},
    {0x01DE, 0x01EE, Lower::kEvenPlus1, 0},
    {0x01F1, 0x01F1, Lower::kSet, 0x01F3},
    {0x01F4, 0x01F4, Lower::kSet, 0x01F5},
    {0x01FA, 0x01FE, Lower::kEvenPlus1, 0},
    {0x0200, 0x0217, Lower::kEvenPlus1, 0},
    // Greek capitals with tonos; U+0387, U+038B and U+038D stay.
    {0x0386, 0x0386, Lower::kSet, 0x03AC},
    {0x0388, 0x0388, Lower::kSet, 0x03AD},
    {0x0389, 0x0389, Lower::kSet, 0x03AE},
    {0x038A, 0x038A, Lower::kSet, 0x03AF},
    {0x038C, 0x038C, Lower::kSet, 0x03CC},
    {0x038E, 0x038E, Lower::kSet, 0x03CD},
    {0x038F, 0x038F, Lower::kSet, 0x03CE},
    {0x0391, 0x03A1, Lower::kAdd, 0x20},  // U+03A2 is unassigned and stays
    {0x03A3, 0x03AB, Lower::kAdd, 0x20},
    {0x03E2, 0x03EE, Lower::kEvenPlus1, 0},
    {0x0401, 0x040C, Lower::kAdd, 0x50},  // U+040D stays
    {0x040E, 0x040F, Lower::kAdd, 0x50},
    {0x0410, 0x042F, Lower::kAdd, 0x20},
    {0x0460, 0x0480, Lower::kEvenPlus1, 0},
    {0x0490, 0x04BE, Lower::kEvenPlus1, 0},
    {0x04C1, 0x04C4, Lower::kOddPlus1, 0},  // U+04C5 stays
    {0x04C6, 0x04C8, Lower::kOddPlus1, 0},  // U+04C9 stays
    {0x04CA, 0x04CB, Lower::kOddPlus1, 0},
    {0x04D0, 0x04EB, Lower::kEvenPlus1, 0},  // U+04EC stays
    {0x04ED, 0x04F5, Lower::kEvenPlus1, 0},  // U+04F6 stays
    {0x04F7, 0x04F8, Lower::kEvenPlus1, 0},
    {0x0531, 0x0556, Lower::kAdd, 0x30},
    {0x10A0, 0x10C5, Lower::kAdd, 0x30},
    {0x1E00, 0x1E94, Lower::kEvenPlus1, 0},
    {0x1EA0, 0x1EF8, Lower::kEvenPlus1, 0},
    {0x1F08, 0x1F0F, Lower::kAdd, -8},
    {0x1F18, 0x1F1D, Lower::kAdd, -8},
    {0x1F28, 0x1F2F, Lower::kAdd, -8},
    {0x1F38, 0x1F3F, Lower::kAdd, -8},
    {0x1F48, 0x1F4D, Lower::kAdd, -8},
    {0x1F59, 0x1F5F, Lower::kOddAdd, -8},
    {0x1F68, 0x1F6F, Lower::kAdd, -8},
    {0x1F88, 0x1F8F, Lower::kAdd, -8},
    {0x1F98, 0x1F9F, Lower::kAdd, -8},
    {0x1FA8, 0x1FAF, Lower::kAdd, -8},
    {0x1FB8, 0x1FB9, Lower::kAdd, -8},
    {0x1FD8, 0x1FD9, Lower::kAdd, -8},
    {0x1FE8, 0x1FE9, Lower::kAdd, -8},
    {0x24B6, 0x24CF, Lower::kAdd, 0x1A},  // circled Latin capitals
    {0xFF21, 0xFF3A, Lower::kAdd, 0x20},  // fullwidth Latin capitals
};

unsigned short toLower(unsigned short c) {
  // Fast exits for ASCII below 'A' and the wide gap holding Hangul and CJK.
  if (c < 0x41 || (c > 0x24CF && c < 0xFF21) || c > 0xFF3A) return c;
  for (const LowerRule& rule : kLowerRules) {
    if (c < rule.first) break;
    if (c > rule.last) continue;
    switch (rule.how) {
      case Lower::kAdd:
        return static_cast<unsigned short>(c + rule.value);
      case Lower::kEvenPlus1:
        return (c & 1) ? c : static_cast<unsigned short>(c + 1);
      case Lower::kOddPlus1:
        return (c & 1) ? static_cast<unsigned short>(c + 1) : c;
      case Lower::kOddAdd:
        return (c & 1) ? static_cast<unsigned short>(c + rule.value) : c;
      case Lower::kSet:
        return static_cast<unsigned short>(rule.value);
    }
  }
  return c;
}

}  // namespace

char* readfile(const char* path) {
  if (path == nullptr) return nullptr;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return nullptr;

  // Directories and devices open on some systems but have no usable size.
  struct stat info;
  if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fclose(file);
    return nullptr;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return nullptr;
  }

  const size_t n = static_cast<size_t>(size);
  char* buffer = new (std::nothrow) char[n + 1];
  if (buffer == nullptr) {
    std::fclose(file);
    return nullptr;
  }
  const size_t got = std::fread(buffer, 1, n, file);
  std::fclose(file);
  buffer[got] = '\0';
  return buffer;
}

size_t utf8_ucharlen(const unsigned char* text) {
  if (text == nullptr) return 0;
  size_t count = 0;
  while (*text != 0) {
    const int length = sequenceLength(text);
    if (length == 0) return 0;
    text += length;
    // The byte-count revision counts bytes, so utf8_touchar allocates more
    // units than it fills.
    count += revision::UTF8_BYTE_COUNT ? static_cast<size_t>(length) : 1;
  }
  return count;
}

unsigned short* utf8_touchar(const unsigned char* text) {
  if (text == nullptr || *text == 0) return nullptr;
  // One pass: a code point takes at least one byte, so the byte count bounds
  // the unit count; a malformed sequence frees the array.
  size_t bytes = 0;
  while (text[bytes] != 0) ++bytes;
  unsigned short* out =
      static_cast<unsigned short*>(std::malloc((bytes + 1) * sizeof *out));
  if (out == nullptr) return nullptr;

  size_t i = 0;
  while (*text != 0) {
    const unsigned char* p = text;
    const int length = sequenceLength(p);
    if (length == 1) {
      out[i] = p[0];
    } else if (length == 2) {
      out[i] = static_cast<unsigned short>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
    } else if (length == 3) {
      out[i] = static_cast<unsigned short>(
          ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
    } else if (length == 4) {
      out[i] = 0x20;  // beyond 16 bits: one space keeps one unit per code point
    } else {
      std::free(out);
      return nullptr;
    }
    text += length;
    ++i;
  }
  out[i] = 0;
  return out;
}

size_t uchar_utf8len(const unsigned short* text, int n) {
  if (text == nullptr || n <= 0) return 0;
  size_t length = 0;
  for (int i = 0; i < n && text[i] != 0; ++i) length += encodedLength(text[i]);
  return length;
}

size_t uchar_utf8len(const unsigned short* text) {
  return uchar_utf8len(text, INT_MAX);
}

unsigned char* uchar_toutf8(const unsigned short* text, int n) {
  const size_t length = uchar_utf8len(text, n);
  if (length == 0) return nullptr;
  unsigned char* out = static_cast<unsigned char*>(std::malloc(length + 1));
  if (out == nullptr) return nullptr;

  unsigned char* p = out;
  for (int i = 0; i < n && text[i] != 0; ++i) {
    const unsigned short c = text[i];
    if (c < 0x80) {
      *p++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
      *p++ = static_cast<unsigned char>(0xC0 | (c >> 6));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
      // Surrogates are not paired: each becomes its own three bytes.
      *p++ = static_cast<unsigned char>(0xE0 | (c >> 12));
      *p++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      *p++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
  }
  *p = 0;
  return out;
}

unsigned char* uchar_toutf8(const unsigned short* text) {
  return uchar_toutf8(text, INT_MAX);
}

size_t utohangul(unsigned short c, const unsigned short** out) {
  if (out == nullptr) return 0;
  const size_t begin = HANGUL_INDEX[c];
  const size_t end = c == 0xFFFF ? HANGUL_CODE_LENGTH : HANGUL_INDEX[c + 1];
  const size_t count = end - begin;
  *out = count != 0 ? HANGUL_CODE + begin : nullptr;
  return count;
}

size_t ustrtohangul(unsigned short* text) {
  if (text == nullptr) return 0;
  size_t length = 0;
  for (; text[length] != 0; ++length) {
    const unsigned short* reading = nullptr;
    if (utohangul(text[length], &reading) != 0) text[length] = reading[0];
  }
  return length;
}

unsigned short* ustrtolower(unsigned short* text) {
  if (text == nullptr) return nullptr;
  for (unsigned short* p = text; *p != 0; ++p) *p = toLower(*p);
  return text;
}

void decode_han(unsigned short c, unsigned short& initial,
                unsigned short& medial, unsigned short& final) {
  // The whole Hangul Syllables block, including the twelve units after the
  // last assigned syllable U+D7A3.
  const unsigned short s = static_cast<unsigned short>(c - 0xAC00);
  if (s >= 11184) {
    initial = medial = final = 99;
    return;
  }
  final = static_cast<unsigned short>(s % 28);
  medial = static_cast<unsigned short>(((s - final) / 28) % 21);
  initial = static_cast<unsigned short>(((s - final) / 28 - medial) / 21);
}
