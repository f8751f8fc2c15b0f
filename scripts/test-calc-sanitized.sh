#!/usr/bin/env bash
# Builds the calculator engine and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own, and runs them; then
# the library shared between threads under ThreadSanitizer.
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

# Threads sharing the library under ThreadSanitizer: the library and its
# thread test built straight from their sources, as the Windows script builds
# the DLL.
tsan="$build/threadsanitizer"
mkdir -p "$tsan"
engine=()
for source in "$root"/calc/*.cpp; do
  [ "$(basename "$source")" = abaco.cpp ] || engine+=("$source")
done
gcc -std=gnu17 -O1 -g -fsanitize=thread -fPIC -fvisibility=hidden -c -o "$tsan/trigonometry.o" \
  "$root/calclib/trigonometry.c"
g++ -std=c++20 -O1 -g -fsanitize=thread -fPIC -shared -fvisibility=hidden -I"$root" -DBRUNZIT_COMPILED_PLAN=1 \
  -o "$tsan/libAbaco32.so" "$root/calclib/abaco32.cpp" "${engine[@]}" "$root/platform/cp1252.cpp" \
  "$tsan/trigonometry.o" -Wl,--version-script="$root/calclib/abaco32.map"
gcc -std=c11 -O1 -g -fsanitize=thread -I"$root" -o "$tsan/abaco32_threads" "$root/tests/calclib/abaco32_threads.c" \
  -L"$tsan" -lAbaco32 -Wl,-rpath,"$tsan" -lm -lpthread
export TSAN_OPTIONS=halt_on_error=1
for mode in calculators exports answer; do
  "$tsan/abaco32_threads" "$mode"
done
