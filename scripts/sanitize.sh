#!/usr/bin/env bash
# Builds the engine, its tools and the test suite with AddressSanitizer and
# UndefinedBehaviorSanitizer (LeakSanitizer included) in a build directory of
# their own, and runs the suite. Any report fails the test that caused it.
#
#   SANITIZE_BUILD_DIR  build directory (build-asan)
#   SKIP_LABELS         ctest labels left out ("valgrind|leaks": Valgrind
#                       cannot run ASan programs, and the 10,000-round leak
#                       check takes over a minute; set to "valgrind" to run it)
#   CTEST_ARGS          extra ctest arguments
#
# The export check is left out: a sanitized library links the sanitizer
# runtimes, which that check rightly refuses. So is the install check: its
# host programs are built without the sanitizer and cannot load the library.
# The Java binding is not built: a virtual machine cannot load an ASan
# library without preloading.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-asan}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALMORO_SANITIZE=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_JNI=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

# allocator_may_return_null: a request that cannot be had must give null
# from nothrow new, the engine's own failure path (tests make such requests).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
# shellcheck disable=SC2086
ctest --output-on-failure -j"$(nproc)" -E 'LibraryExports|InstallTree' \
  -LE "${SKIP_LABELS:-valgrind|leaks}" ${CTEST_ARGS:-}
