#!/usr/bin/env bash
# Checks talmoro-1.0.dll: its export table names exactly the Java native
# functions of the binding, it imports only system DLLs, and its symbol
# table holds neither the option reader, the attribute marker functions nor
# the print operations.
set -euo pipefail
objdump="$1"
nm="$2"
dll="$3"
status=0

expected=$(sed 's/^/Java_com_quillon_talmoro_/' <<'NAMES' | sort
Analyzer_createObject__
Analyzer_createObject__Lcom_quillon_talmoro_Knowledge_2
Analyzer_createObject__Lcom_quillon_talmoro_Knowledge_2Lcom_quillon_talmoro_UserKnowledge_2
Analyzer_destroyObject
Analyzer_setSysKnowledge
Analyzer_setUserKnowledge
Analyzer_setStrictAnalysis
Analyzer_process
Knowledge_createObject
Knowledge_destroyObject
Knowledge_load
Knowledge_loadFromBuffer
UserKnowledge_createObject
UserKnowledge_destroyObject
UserKnowledge_load
UserKnowledge_loadFromBuffer
Model_createObject
Model_destroyObject
Model_load
Tagger_createObject__
Tagger_createObject__Lcom_quillon_talmoro_Model_2
Tagger_createObject__Lcom_quillon_talmoro_Model_2Lcom_quillon_talmoro_Knowledge_2
Tagger_createObject__Lcom_quillon_talmoro_Model_2Lcom_quillon_talmoro_Knowledge_2Lcom_quillon_talmoro_UserKnowledge_2
Tagger_destroyObject
Tagger_setModel
Tagger_setSysKnowledge
Tagger_setUserKnowledge
Tagger_process
NAMES
)

headers=$("$objdump" -p "$dll")
# The name pointer table lists one "[ordinal] name" line per export.
exported=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on = 1; next}
                on && /^\t\[ *[0-9]+\] / {print $NF; next}
                on {on = 0}' <<<"$headers" | sort)
if [ "$exported" != "$expected" ]; then
  echo "export table differs (< expected, > exported):"
  diff <(echo "$expected") <(echo "$exported") || true
  status=1
fi

for dep in $(awk '/DLL Name:/ {print $3}' <<<"$headers"); do
  case "${dep,,}" in
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|api-ms-win-*) ;;
    *) echo "imports a DLL beyond the system's: $dep"; status=1 ;;
  esac
done

# Code that the link dropped may leave a name behind as an absolute symbol;
# only names in the text section count.
symbols=$("$nm" -C --defined-only "$dll" | awk '$2 == "T" || $2 == "t"')
if ! grep -q ' Java_com_quillon_talmoro_Analyzer_process$' <<<"$symbols"; then
  echo "no symbol table to check"
  status=1
fi
left_out=$(grep -E ' args::|get(Eomi|Josa|BoundNoun|Clue)Attribute|::print(Morphemes|Candidates)?\(' <<<"$symbols" || true)
if [ -n "$left_out" ]; then
  echo "carries code it should leave out:"
  echo "$left_out"
  status=1
fi

[ "$status" -eq 0 ] && echo "windows exports ok: $(wc -l <<<"$exported") names"
exit "$status"
