// Fast look-ups in the one-syllable connection tables of prune_tables.cpp.
#ifndef TALMORO_ANALYZER_PRUNE_TABLES_H_
#define TALMORO_ANALYZER_PRUNE_TABLES_H_

// The tables by name.
enum OneSyllableTable { MM1_NNB1, NNB1_XSN1, NNB1_NNB1 };

// The answer of AnalyzerImpl::can1SyllableConnect on the named table, found
// by binary search: the tables are sorted and all their words are of three
// UTF-8 bytes, so a text of another length is in none of them.
bool oneSyllableConnects(OneSyllableTable table, const char* w1,
                         const char* w2);

#endif  // TALMORO_ANALYZER_PRUNE_TABLES_H_
