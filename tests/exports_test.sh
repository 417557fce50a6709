#!/usr/bin/env bash
# Checks the dynamic symbol table of libtalmoro.so: every name a host needs is
# exported, no internal class is, and only the standard runtime is linked.
set -euo pipefail
lib="$1"
symbols=$(nm -D --defined-only "$lib" | c++filt)
status=0

required=(
  readfile utf8_ucharlen utf8_touchar uchar_utf8len uchar_toutf8 utohangul
  ustrtohangul ustrtolower decode_han getPosValue getLevel1PosTag
  getLevel2PosTag getLevel3PosTag bit_index getEomiAttribute
  getJosaAttribute getBoundNounAttribute getClueAttribute
  'pos_t::operator==' 'pos_t::operator!=' 'pos_t::operator=' 'pos_t::operator|='
  'pos_t::operator unsigned int'
  'args::reader::parse' 'args::options::add' 'args::formatter::formatter'
  'args::args::getOption' 'args::exception::what'
  BEGIN_OF_MORPHEME END_OF_MORPHEME BEGIN_OF_EOJUL END_OF_EOJUL
  'Analyzer::createObject' 'Analyzer::destroyObject'
  'Tagger::createObject' 'Tagger::destroyObject'
  'Knowledge::createObject' 'Knowledge::destroyObject'
  'UserKnowledge::createObject' 'UserKnowledge::destroyObject'
  'Model::createObject' 'Model::destroyObject'
  'Candidate::createObject' 'Candidate::destroyObject'
  'Sentence::createObject' 'Sentence::destroyObject'
)
for name in "${required[@]}"; do
  if ! grep -qF " $name" <<<"$symbols"; then
    echo "not exported: $name"
    status=1
  fi
done

internal=$(grep -E 'Impl|membuf|OpStack|InterResult|TagNode|DoublyLinkedList|HANGUL_' <<<"$symbols" || true)
if [ -n "$internal" ]; then
  echo "internal names exported:"
  echo "$internal"
  status=1
fi

needed=$(objdump -p "$lib" | awk '/NEEDED/ {print $2}')
for dep in $needed; do
  case "$dep" in
    libstdc++.so.*|libm.so.*|libgcc_s.so.*|libc.so.*|ld-linux*) ;;
    *) echo "links a library beyond the standard runtime: $dep"; status=1 ;;
  esac
done

[ "$status" -eq 0 ] && echo "exports ok: $(wc -l <<<"$symbols") symbols"
exit "$status"
