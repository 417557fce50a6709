#!/usr/bin/env bash
# Builds build/corpus/ko-prose.txt: Korean prose, one sentence per line,
# taken from the HTML of Debian's Korean documentation packages.
#
#   scripts/build-corpus.sh [--cache DIR] [--output FILE] [--max-chars N] [--force]
#
# The packages are fetched once with `apt-get download` into the cache
# directory (default build/corpus-cache) and unpacked with dpkg-deb. The
# corpus is rebuilt only when the packages, the extractor or the options
# changed since the last build.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cache=build/corpus-cache
output=build/corpus/ko-prose.txt
max_chars=1000000
force=0
while [ $# -gt 0 ]; do
  case "$1" in
    --cache) cache=$2; shift 2 ;;
    --output) output=$2; shift 2 ;;
    --max-chars) max_chars=$2; shift 2 ;;
    --force) force=1; shift ;;
    -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
    *) echo "build-corpus.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

packages=(libreoffice-help-ko gimp-help-ko debian-faq-ko)
extractor=$root/tools/ko_prose.py

mkdir -p "$cache" "$(dirname "$output")"
cache=$(cd "$cache" && pwd)

# The cached .deb of a package, if any (the newest version when several).
cached_deb() {
  ls -1 "$cache/$1"_*.deb 2>/dev/null | sort -V | tail -n 1
}

missing=()
for p in "${packages[@]}"; do
  [ -n "$(cached_deb "$p")" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  for tool in apt-get dpkg-deb python3; do
    command -v "$tool" >/dev/null || { echo "build-corpus.sh: $tool is needed" >&2; exit 1; }
  done
  # A machine whose package lists were never fetched knows no candidate.
  if ! apt-cache show "${missing[0]}" >/dev/null 2>&1; then
    apt-get update -qq
  fi
  echo "downloading: ${missing[*]}"
  (cd "$cache" && apt-get download -q "${missing[@]}" 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  for p in "${missing[@]}"; do
    [ -n "$(cached_deb "$p")" ] || { echo "build-corpus.sh: cannot download $p" >&2; exit 1; }
  done
fi

debs=()
for p in "${packages[@]}"; do debs+=("$(cached_deb "$p")"); done

# What the corpus depends on: the packages, the extractor and the options.
stamp_text=$( {
  for d in "${debs[@]}"; do echo "$(basename "$d") $(stat -c %s "$d")"; done
  sha256sum < "$extractor"
  echo "max_chars=$max_chars"
} )
stamp=$output.stamp
if [ $force = 0 ] && [ -s "$output" ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$stamp_text" ]; then
  echo "$output is up to date ($(wc -l < "$output") lines)"
  exit 0
fi

work=$(mktemp -d "$cache/extract.XXXXXX")
trap 'rm -rf "$work"' EXIT
for d in "${debs[@]}"; do dpkg-deb -x "$d" "$work"; done
python3 "$extractor" "$work/usr/share" -o "$output" --max-chars "$max_chars"
printf '%s\n' "$stamp_text" > "$stamp"
