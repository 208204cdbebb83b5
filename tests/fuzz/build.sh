#!/usr/bin/env bash
# Configures and builds the fuzz harnesses with clang into build-fuzz/ (or $FUZZ_BUILD_DIR).
# Debian 12's clang 14 cannot compile libstdc++ 12's <expected>; clang 16 can.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
CXX_BIN="${FUZZ_CXX:-clang++-16}"
C_BIN="${FUZZ_CC:-clang-16}"
# No build type: the harnesses' own -O1 -g, and assertions stay on.
cmake -S "$ROOT/tests/fuzz" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE= \
  -DCMAKE_C_COMPILER="$C_BIN" -DCMAKE_CXX_COMPILER="$CXX_BIN" > /dev/null
cmake --build "$BUILD" -j "${JOBS:-2}"
