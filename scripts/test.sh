#!/usr/bin/env bash
# Sets everything up and runs every test: the formatting check, the full build (programs, Windows
# template, UI tests), the core's tests again under AddressSanitizer and UBSan with assertions on,
# and a short run of every fuzz harness.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
JOBS=${JOBS:-$(nproc)}

export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=offscreen
export WINEDEBUG=-all

echo "== formatting: every C and C++ file as .clang-format lays it out"
git ls-files -z -- '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run -Werror

echo "== full build"
bash scripts/build.sh
echo "== tests"
ctest --test-dir build --output-on-failure -j "$JOBS" --timeout 600

echo "== core tests under AddressSanitizer + UBSan, assertions on"
BUILD_DIR=build-asan bash scripts/build.sh -DFOLIO_SANITIZE=ON -DFOLIO_BUILD_UI=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS" --timeout 600

echo "== fuzz harnesses (clang, libFuzzer): a short run of each on its corpus"
FUZZ_TIME=20 bash tests/fuzz/run.sh
echo "== all tests passed"
