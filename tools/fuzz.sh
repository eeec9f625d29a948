#!/bin/sh
# Long run of one libFuzzer harness with leak checking on:  tools/fuzz.sh NAME SECONDS
# Builds the fuzz build (clang, ASan+UBSan, libFuzzer) in build-fuzz when needed, then
# runs fuzz_NAME for SECONDS from its corpus, which keeps what the run finds, and with
# its dictionary when the harness has one (fuzz/<folder>/NAME.dict).
set -e
if [ $# -ne 2 ]; then
  echo "usage: $0 NAME SECONDS   (runs build-fuzz/.../fuzz_NAME)" >&2
  exit 2
fi
name=$1
seconds=$2
cd "$(dirname "$0")/.."
source=$(ls fuzz/*/fuzz_"$name".cpp 2>/dev/null | head -n 1)
if [ -z "$source" ]; then
  echo "$0: no harness fuzz/*/fuzz_$name.cpp" >&2
  exit 2
fi
folder=$(basename "$(dirname "$source")")

if [ ! -f build-fuzz/CMakeCache.txt ]; then
  launcher=
  command -v ccache >/dev/null && launcher=-DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTANDORA_FUZZ=ON -DTANDORA_SANITIZE=address $launcher
fi
cmake --build build-fuzz -j"$(nproc)" --target "fuzz_$name"

# A folder with one harness may keep its corpus in corpus/, one with several in corpus/NAME.
bin=build-fuzz/fuzz/$folder
corpus=$bin/corpus/$name
if [ ! -d "$corpus" ] && [ -d "$bin/corpus" ] && [ -z "$(find "$bin/corpus" -mindepth 1 -type d)" ]; then
  corpus=$bin/corpus
fi
mkdir -p "$corpus"
dict=
if [ -f "fuzz/$folder/$name.dict" ]; then
  dict=-dict=fuzz/$folder/$name.dict
fi
# The audio import's harness alone suppresses a leak inside libsndfile's Ogg/Vorbis open
# (see the file for why); every other harness keeps every leak check.
lsan=
if [ "$name" = song_import ]; then
  lsan="suppressions=$(pwd)/tools/lsan_sndfile.supp"
fi
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="$lsan" QT_QPA_PLATFORM=offscreen \
  "$bin/fuzz_$name" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 $dict "$corpus"
