// The revision of the engine that a build carries. One source tree serves
// every build: the compile definition TALMORO_REVISION, read here and nowhere
// else, selects it. Each point where the revisions part is a named constant
// below, tested right beside the behaviour it changes; as the tests are of
// constants, every branch is compiled in every build. Only .cpp files of
// the engine and the tests include it: code outside them (tools, the Java
// binding) does not depend on the revision, and the tools share one set of
// objects between the builds.
//
//   TALMORO_REVISION  build
//   0 (default)       libtalmoro.so and talmoro-1.0.dll: the engine's own
//                     behaviour
//   1                 libtalmoro-1.0.dylib (macOS)
//   2                 libtalmoro-reduced.so
//
// Revisions 1 and 2 share their text conversion, most of their connection
// rules and their analyzer driver; the reduced pruning rules and the absent
// pronoun/proper-noun rejections before noun and adjective suffixes belong
// to revision 2 alone, the single-precision logarithm of the tagger to
// revision 1 alone.
#ifndef TALMORO_BASE_REVISION_H_
#define TALMORO_BASE_REVISION_H_

#ifndef TALMORO_REVISION
#define TALMORO_REVISION 0
#endif

#if TALMORO_REVISION < 0 || TALMORO_REVISION > 2
#error "TALMORO_REVISION must be 0, 1 or 2"
#endif

namespace revision {

constexpr int NUMBER = TALMORO_REVISION;

constexpr bool MACOS = NUMBER == 1;
constexpr bool REDUCED = NUMBER == 2;

// utf8_ucharlen counts bytes rather than code points, and every lead byte
// from 0xE0 up starts a three-byte sequence, so a four-byte sequence makes
// the text malformed.
constexpr bool UTF8_BYTE_COUNT = MACOS || REDUCED;

// Connection rules: no rejection of a noun after a record that runs from an
// adnominal ending into a bound noun, and the particle's final-consonant
// checks read the last character of the preceding morpheme instead of the
// last unit of the text it covers.
constexpr bool EARLIER_CONNECTION_RULES = MACOS || REDUCED;

// Connection rules: a pronoun or proper noun may take a noun suffix or an
// adjective suffix.
constexpr bool SUFFIX_AFTER_PRONOUN = REDUCED;

// Analyzer driver: compound-noun decomposition follows whenever the lattice
// gave results, even when pruning removed them all; unknown nouns are
// guessed only when the lattice gave nothing.
constexpr bool DECOMPOSE_AFTER_PRUNING_EMPTIED = MACOS || REDUCED;

// Pruning: the reduced rule set (stage 2 only, fewer rules, unit nouns in
// the noun lists).
constexpr bool REDUCED_PRUNING = REDUCED;

// Tagger: the logarithm of a ratio is taken in single precision.
constexpr bool SINGLE_PRECISION_LOG = MACOS;

}  // namespace revision

#endif  // TALMORO_BASE_REVISION_H_
