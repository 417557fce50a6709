#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (ASan and UBSan) and
# runs each for a fixed time over a working copy of its seed corpus.
#
#   FUZZ_SECONDS   seconds per target (20)
#   FUZZ_TIMEOUT   seconds after which one input counts as a hang (5)
#   FUZZ_TARGETS   targets to run ("analyzer tagger user_knowledge knowledge
#                  model args")
#   FUZZ_BUILD_DIR build directory (build-fuzz)
#
# Inputs that crash, hang or leak are saved under BUILD/fuzz-artifacts/NAME/;
# the script then exits 1. The default dictionary and model (build/dic,
# build/model, or TALMORO_DIC and TALMORO_MODEL) are used when present.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-20}
timeout=${FUZZ_TIMEOUT:-5}
targets=${FUZZ_TARGETS:-"analyzer tagger user_knowledge knowledge model args"}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTALMORO_FUZZ=ON -DTALMORO_TESTS=OFF >/dev/null
cmake --build "$build" --target fuzz -j"$(nproc)"

passed=0
failed=0
for t in $targets; do
  work="$build/fuzz-work/$t"
  artifacts="$build/fuzz-artifacts/$t"
  log="$build/fuzz-work/$t.log"
  mkdir -p "$work" "$artifacts"
  # The fuzzer adds to the first corpus it is given: give it a copy, so that
  # the committed seeds stay as they are.
  cp "tests/fuzz/corpus/$t"/* "$work"/
  flags=(-max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb=2048
         -artifact_prefix="$artifacts/" -print_final_stats=1)
  # The user dictionary reports every malformed line on standard error.
  [ "$t" = user_knowledge ] && flags+=(-close_fd_mask=2)
  if "$build/tests/fuzz/${t}_fuzz" "${flags[@]}" "$work" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $t: ${runs:-?} inputs, no fault"
    passed=$((passed + 1))
  else
    echo "fuzz $t: FAULT (input saved in $artifacts)"
    tail -n 40 "$log"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
