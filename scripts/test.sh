#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite twice: once plain, once under
# AddressSanitizer + UndefinedBehaviorSanitizer (any report fails the run), with the
# Debian package checked by lintian in between. Then a short benchmark smoke run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS=${JOBS:-$(nproc)}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure -j "$JOBS"

# The Debian package, made from this build (Debian's compiler flags; cpack strips the
# programs): lintian must find no error and no warning in it.
rm -f build/package/reefmere_*.deb
cpack --config build/CPackConfig.cmake -B build/package >/dev/null
lintian --fail-on error,warning build/package/reefmere_*.deb

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DREEFMERE_SANITIZE=ON -DREEFMERE_BENCH=OFF >/dev/null
cmake --build build-asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS"

# Benchmarks: a smoke run only (numbers from shared machines are not assertions).
for b in build/bench/bench_* ; do
  [ -x "$b" ] || continue
  "$b" --benchmark_min_time=0.01 >/dev/null
done
echo "all tests passed"
