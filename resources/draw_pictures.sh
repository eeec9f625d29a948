#!/bin/sh
# Redraws every picture of the window into resources/pictures/ (all of them are drawn by
# draw_pictures.cpp; none is taken from elsewhere). Commit the result.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-pictures >/dev/null
cmake --build build-pictures --target draw_pictures
build-pictures/resources/draw_pictures resources/pictures
