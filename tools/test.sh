#!/bin/sh
# Builds everything with clang, AddressSanitizer, UndefinedBehaviorSanitizer and the
# libFuzzer harnesses, warnings as errors, and runs every test (fuzzers briefly).
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTANDORA_SANITIZE=address -DTANDORA_FUZZ=ON -DTANDORA_WERROR=ON
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure --no-tests=error -j"$(nproc)"
