#!/bin/sh
# Builds the Debian package in its own Release build folder, build-package/, and prints the
# package's path as the last line. Only what the package holds is built, not the tests.
set -e
cd "$(dirname "$0")/.."
tools/install-deps.sh
grep -qs "CMAKE_GENERATOR:INTERNAL=Ninja" build-package/CMakeCache.txt || rm -rf build-package
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
# The install step cpack runs would otherwise build every target first; -s strips the programs.
# Warnings are errors here too: gcc at -O2 warns of things the clang test build does not see.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTANDORA_SANITIZE= -DTANDORA_FUZZ=OFF -DTANDORA_WERROR=ON \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON -DCMAKE_EXE_LINKER_FLAGS=-s $launcher >/dev/null
cmake --build build-package -j"$(nproc)" --target package_contents
rm -f build-package/tandora_*.deb
(cd build-package && cpack -G DEB >&2)
ls "$PWD"/build-package/tandora_*.deb
