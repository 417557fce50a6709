// Text in the engine: zero-terminated arrays of 16-bit code units, one unit
// per code point of the Basic Multilingual Plane. These functions convert it
// from and to UTF-8, lower-case it, replace Chinese characters by their Hangul
// reading and decompose Hangul syllables. Null arguments give null or 0.
#ifndef TALMORO_BASE_TEXT_H_
#define TALMORO_BASE_TEXT_H_

#include <cstddef>

#include "base/export.h"

// The whole file as a new zero-terminated buffer (release with delete[]);
// null when the path cannot be opened or is not a regular file.
TALMORO_API char* readfile(const char* path);

// Number of code points; 0 for an empty or malformed string.
TALMORO_API size_t utf8_ucharlen(const unsigned char* text);

// New 16-bit string (release with free); null for an empty or malformed
// string. A code point above U+FFFF becomes one space.
TALMORO_API unsigned short* utf8_touchar(const unsigned char* text);

// UTF-8 bytes needed for the first n units, or up to the terminating zero.
TALMORO_API size_t uchar_utf8len(const unsigned short* text, int n);
TALMORO_API size_t uchar_utf8len(const unsigned short* text);

// New UTF-8 string of the first n units, or up to the terminating zero
// (release with free); null when there is nothing to encode.
TALMORO_API unsigned char* uchar_toutf8(const unsigned short* text, int n);
TALMORO_API unsigned char* uchar_toutf8(const unsigned short* text);

// Number of Hangul readings of c; *out points at the first (its primary
// reading) or is null when there is none.
TALMORO_API size_t utohangul(unsigned short c, const unsigned short** out);

// Replaces, in place, every unit that has a reading by its primary reading;
// returns the length in units.
TALMORO_API size_t ustrtohangul(unsigned short* text);

// Lower-cases in place; returns its argument.
TALMORO_API unsigned short* ustrtolower(unsigned short* text);

// Initial, medial and final jamo indices of a Hangul syllable (final 0 when
// there is none); all three are 99 for a unit outside U+AC00 to U+D7AF.
TALMORO_API void decode_han(unsigned short c, unsigned short& initial,
                            unsigned short& medial, unsigned short& final);

#endif  // TALMORO_BASE_TEXT_H_
