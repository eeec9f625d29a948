#!/bin/sh
# Builds everything with clang, AddressSanitizer, UndefinedBehaviorSanitizer and the
# libFuzzer harnesses, warnings as errors, and runs every test (fuzzers briefly, the JACK
# and sound output tests beside servers of their own, and the checks that no test source is
# left out of its program and no wait runs out silently); then builds every library file by
# file, without unity batches, with every test program that starts threads, compiles every
# header alone, and runs those programs again under ThreadSanitizer (the MIDI input thread
# and its ring, the detection thread, the window's and the command-line tool's workers, the
# prompt handover, a slot read while it plays); last, builds the Debian package and checks
# it.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
# A build folder made by an earlier version of this script with make cannot switch generators.
for folder in build-test build-test-tsan; do
  grep -qs "CMAKE_GENERATOR:INTERNAL=Ninja" "$folder/CMakeCache.txt" || rm -rf "$folder"
done
# -O1, as the sanitizers' authors advise for their builds, and line tables only (-g1): the
# reports keep their files and lines, and the two builds are spared the optimiser's and the
# debug information's heaviest work, which nobody reads here.
lines_only="-O1 -g1 -DNDEBUG"
# Ninja: it compiles a target's sources while the libraries it needs are still linking, so
# both cores stay busy where make waits for each target in turn.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$lines_only" \
  -DCMAKE_CXX_COMPILER=clang++ -DTANDORA_SANITIZE=address -DTANDORA_FUZZ=ON -DTANDORA_WERROR=ON
cmake --build build-test -j"$(nproc)"
# Beside a JACK server of its own, for the end-to-end run of tandora-pedal and tandora-cli
# over real MIDI ports, and a PulseAudio server of its own, for a song played through Qt
# Multimedia; those tests are process-based or sound-based and run in this stage only.
tools/jack_server.sh tools/pulse_server.sh ctest --test-dir build-test --output-on-failure --no-tests=error -j"$(nproc)"

cmake -S . -B build-test-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$lines_only" \
  -DCMAKE_CXX_COMPILER=clang++ -DTANDORA_SANITIZE=thread -DTANDORA_WERROR=ON \
  -DTANDORA_UNITY=OFF -DTANDORA_UNITY_TESTS=ON -DCMAKE_VERIFY_INTERFACE_HEADER_SETS=ON
threaded='support_tests device_tests emulator_tests core_tests playback_tests app_tests cli_tests'
# The libraries file by file: in the unity batches above, a file that misses an #include
# borrows its neighbour's. Each file alone costs three times its share of a batch, so the
# test programs stay in batches, or the command would pass its 15 minutes.
cmake --build build-test-tsan -j"$(nproc)" --target $threaded
# The headers that no source includes first, each compiled alone; the rest were, by their
# sources just now.
cmake --build build-test-tsan -j"$(nproc)" --target headers_alone
# Debian's Qt is not instrumented: its own locking is invisible, so reports from inside it
# are suppressed; a report with a frame of ours still fails the run.
TSAN_OPTIONS="suppressions=$(pwd)/tools/tsan.supp halt_on_error=1" \
  ctest --test-dir build-test-tsan --output-on-failure --no-tests=error -j"$(nproc)" \
  -R "^($(echo $threaded | tr ' ' '|'))\$"

tools/check_package.sh
