#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the suite against both
# Linux builds (and the Java and Windows checks), the suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, the thread test under
# ThreadSanitizer, and a short run of each fuzz target over its corpus.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)")
bash scripts/sanitize.sh
bash scripts/tsan.sh
FUZZ_SECONDS=${FUZZ_SECONDS:-15} bash scripts/fuzz.sh
