#!/usr/bin/env bash
# Builds what the Java tests load: the small dictionary and a model trained
# on a small tagged corpus.
# Usage: make_fixtures.sh TALMORO_DICT TALMORO_TRAIN DATA_DIR OUT_DIR
set -euo pipefail
dict=$1 train=$2 data=$3 out=$4
rm -rf "$out"
mkdir -p "$out"
"$dict" -i "$data/basic.lex" -o "$out/dic"
"$train" -i "$data/java/tagged.txt" -o "$out/model"
