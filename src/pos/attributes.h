// Attribute markers: the short strings that name the attribute bits of
// dictionary records in a source lexicon. A lexicon compiler calls one of
// these per marker and combines the bits of an entry's markers with OR.
// Each returns the marker's bit, or 0 when the string is no marker of that
// lexicon (the match is exact, byte for byte).
#ifndef TALMORO_POS_ATTRIBUTES_H_
#define TALMORO_POS_ATTRIBUTES_H_

#include "base/export.h"

TALMORO_API unsigned int getEomiAttribute(const unsigned char* marker);
TALMORO_API unsigned int getJosaAttribute(const unsigned char* marker);
TALMORO_API unsigned int getBoundNounAttribute(const unsigned char* marker);
TALMORO_API unsigned int getClueAttribute(const unsigned char* marker);

#endif  // TALMORO_POS_ATTRIBUTES_H_
