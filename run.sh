#!/usr/bin/env bash
# The main job: install what is needed, build, and run the demo on a sentence.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
bash scripts/build.sh
echo "漢字와 한국어 Text 처리" | build/talmoro-demo
