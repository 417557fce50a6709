// The double-array trie of the dictionaries: darts with 16-bit keys, whose
// unit array (int32 base, uint32 check per unit) is the "sys.tri" format.
#ifndef TALMORO_KNOWLEDGE_DARTS_TRIE_H_
#define TALMORO_KNOWLEDGE_DARTS_TRIE_H_

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wregister"
#include <darts.h>
#pragma GCC diagnostic pop

typedef Darts::DoubleArrayImpl<unsigned short, unsigned short, int,
                               unsigned int, Darts::Length<unsigned short>>
    SysTrie;

#endif  // TALMORO_KNOWLEDGE_DARTS_TRIE_H_
