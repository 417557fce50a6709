#!/usr/bin/env bash
# Builds the engine and the thread test with ThreadSanitizer in a build
# directory of its own and runs it: eight threads share one dictionary, user
# dictionary and model, each with its own analyzer and tagger. Any report
# fails the run.
#
#   TSAN_BUILD_DIR  build directory (build-tsan)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TSAN_BUILD_DIR:-build-tsan}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALMORO_TSAN=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_JNI=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target threads_test threads_test_reduced

export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
"$build/tests/threads_test"
"$build/tests/threads_test_reduced"
