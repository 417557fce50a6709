#!/usr/bin/env bash
# Builds the engine, its tools and the test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (LeakSanitizer included) in a build directory of
# their own, and runs the suite. Any report fails the test that caused it.
#
#   SANITIZE_BUILD_DIR  build directory (build-asan)
#   CTEST_ARGS          extra ctest arguments (e.g. "-LE valgrind")
#
# The export check is left out: a sanitized library links the sanitizer
# runtimes, which that check rightly refuses. The Java binding is not built:
# a virtual machine cannot load an ASan library without preloading.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-asan}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALMORO_SANITIZE=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_JNI=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
# Valgrind cannot run programs built with ASan.
# shellcheck disable=SC2086
ctest --output-on-failure -j"$(nproc)" -E 'LibraryExports' -LE valgrind ${CTEST_ARGS:-}
