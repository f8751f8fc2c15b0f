#!/usr/bin/env bash
# Builds the calculator engine and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own, and runs them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-calc-sanitize}"
cmake -S "$root" -B "$build" -G Ninja -DBRUNZIT_SANITIZE=ON -DBRUNZIT_BUILD_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=(calc_tests)
if cmake --build "$build" --target help | grep -q calc_muparser_tests; then targets+=(calc_muparser_tests); fi
cmake --build "$build" --target "${targets[@]}" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  "$build/bin/$t" --gtest_brief=1
done
