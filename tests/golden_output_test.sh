#!/usr/bin/env bash
# The tagger's json output on tests/data/speed-sample.txt must equal
# tests/data/speed-sample.json byte for byte, with one thread and with two.
# The dictionary (basic.lex) and the model (tagged.txt) are compiled here.
#
#   golden_output_test.sh TALMORO TALMORO_DICT TALMORO_TRAIN DATA_DIR
set -euo pipefail
if [ $# -ne 4 ]; then
  echo "usage: $0 TALMORO TALMORO_DICT TALMORO_TRAIN DATA_DIR" >&2
  exit 2
fi
talmoro=$1 dict=$2 train=$3 data=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$dict" -i "$data/basic.lex" -o "$work/dic" > "$work/dict.log" 2>&1 ||
  { cat "$work/dict.log" >&2; echo "FAIL: basic.lex does not compile" >&2; exit 1; }
"$train" -i "$data/tagged.txt" -o "$work/model" > "$work/train.log" 2>&1 ||
  { cat "$work/train.log" >&2; echo "FAIL: tagged.txt does not train" >&2; exit 1; }

failed=0
for threads in 1 2; do
  out=$work/out.$threads.json
  "$talmoro" -d "$work/dic" -m "$work/model" -f json -t "$threads" \
    < "$data/speed-sample.txt" > "$out"
  if cmp -s "$out" "$data/speed-sample.json"; then
    echo "ok: -t $threads output equals speed-sample.json"
  else
    echo "FAIL: -t $threads output differs from speed-sample.json:" >&2
    diff <(tr '}' '\n' < "$data/speed-sample.json") <(tr '}' '\n' < "$out") |
      head -n 20 >&2 || true
    failed=1
  fi
done
exit $failed
