// The made-up record of an unknown noun, shared by guessing and compound
// splitting: attribute flag 0, then a single "nf" entry marked last whose
// length byte holds twice the unit count (surface flag clear) and whose
// units are copied from the text. Counts of 128 units or more wrap: the
// length byte has seven bits for them.
#ifndef TALMORO_ANALYZER_NF_RECORD_H_
#define TALMORO_ANALYZER_NF_RECORD_H_

#include <cstdint>

#include "base/membuf.h"
#include "pos/pos.h"

// Units an unknown-noun record holds for a node of `length` units.
inline unsigned long nfRecordUnits(unsigned long length) {
  return length % 128;
}

// Appends the record for the units at `units` to `records` and returns the
// offset of its attribute flag, or -1 when the buffer could not take it.
inline int appendNFRecord(membuf& records, const unsigned short* units,
                          unsigned long length) {
  const unsigned long count = nfRecordUnits(length);
  const size_t recpos = records.append_uint8(0);
  if (recpos == membuf::npos) return -1;
  records.append_uint32(NF | 1u);
  records.append_uint8(static_cast<uint8_t>(count * 2));
  for (unsigned long u = 0; u < count; ++u) records.append_uint16(units[u]);
  return static_cast<int>(recpos);
}

#endif  // TALMORO_ANALYZER_NF_RECORD_H_
