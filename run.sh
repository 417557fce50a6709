#!/usr/bin/env bash
# The main job: install what is needed, build the library and programs, build
# the default dictionary (from mecab-ko-dic) and model (from Korean prose of
# Debian's documentation), and tag a sample sentence. Quick when run again.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
if ! command -v npm >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends npm >/dev/null
fi
bash scripts/build.sh
bash scripts/build-dictionary.sh
bash scripts/build-model.sh
echo "나는 어제 학교에서 친구들과 함께 점심을 먹었다." | tee /dev/stderr | build/talmoro -f text
