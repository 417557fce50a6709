#!/usr/bin/env bash
# Runs the smoke program natively and, under wine, its Windows build on the
# same dictionary, user dictionary and model, and compares the outputs.
#   windows_smoke_test.sh NATIVE_SMOKE WINDOWS_SMOKE TALMORO_DICT TALMORO_TRAIN WINE WORK_DIR
set -euo pipefail
native="$1" windows="$2" dict="$3" train="$4" wine="$5" work="$6"
data="$(cd "$(dirname "$0")" && pwd)/data"

rm -rf "$work"
mkdir -p "$work"
"$dict" -i "$data/basic.lex" -o "$work/dic" >/dev/null
"$train" -i "$data/tagged.txt" -o "$work/model" >/dev/null

"$native" "$work/dic" "$data/user.dic" "$work/model" "$work/native.txt" 2>/dev/null
# A prefix of its own, no desktop, no .NET or HTML engines, no messages.
export WINEPREFIX="$work/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" "$windows" "$work/dic" "$data/user.dic" "$work/model" "$work/windows.txt" 2>/dev/null

grep -q '학교/nng' "$work/native.txt" || { echo "native output holds no analysis"; exit 1; }
if ! cmp -s "$work/native.txt" "$work/windows.txt"; then
  echo "the Windows build writes other results:"
  diff "$work/native.txt" "$work/windows.txt" || true
  exit 1
fi
echo "windows smoke ok: $(wc -l <"$work/native.txt") lines alike"
