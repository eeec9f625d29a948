#!/bin/sh
# Builds everything with clang, AddressSanitizer, UndefinedBehaviorSanitizer and the
# libFuzzer harnesses, warnings as errors, and runs every test (fuzzers briefly); then
# runs the device tests again under ThreadSanitizer, for the MIDI input thread, the ring
# it fills and the detection thread; last, builds the Debian package and checks it.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTANDORA_SANITIZE=address -DTANDORA_FUZZ=ON -DTANDORA_WERROR=ON
cmake --build build-test -j"$(nproc)"
ctest --test-dir build-test --output-on-failure --no-tests=error -j"$(nproc)"

cmake -S . -B build-test-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTANDORA_SANITIZE=thread -DTANDORA_WERROR=ON
cmake --build build-test-tsan -j"$(nproc)" --target device_tests emulator_tests
ctest --test-dir build-test-tsan --output-on-failure --no-tests=error -R '^(device|emulator)_tests$'

tools/check_package.sh
