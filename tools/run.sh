#!/bin/sh
# Builds the program and starts it. Where there is no display it runs under Xvfb.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target Tandora
if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ] || [ -n "$QT_QPA_PLATFORM" ]; then
  exec build/app/Tandora
fi
exec xvfb-run -a build/app/Tandora
