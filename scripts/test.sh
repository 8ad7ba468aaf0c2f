#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite twice: once plain, once under
# AddressSanitizer + UndefinedBehaviorSanitizer (any report fails the run), with the
# Debian package checked by lintian in between; then the fuzz targets for a few seconds
# each and a short benchmark smoke run. Both builds treat warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
JOBS=${JOBS:-$(nproc)}

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREEFMERE_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"
ctest --test-dir build --output-on-failure -j "$JOBS"

# The Debian package, made from this build (Debian's compiler flags; cpack strips the
# programs): lintian must find no error and no warning in it.
rm -f build/package/reefmere_*.deb
cpack --config build/CPackConfig.cmake -B build/package >/dev/null
lintian --fail-on error,warning build/package/reefmere_*.deb

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DREEFMERE_SANITIZE=ON -DREEFMERE_BENCH=OFF -DREEFMERE_WERROR=ON >/dev/null
cmake --build build-asan -j "$JOBS"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$JOBS"

# Fuzz targets (clang, libFuzzer): each runs a few seconds from its seed corpus
# (fuzz/corpus/<name>/, plus the bundled archives for the archive readers), so a reader
# that crashes on what the fuzzer finds quickly fails the run.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREEFMERE_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$JOBS" --target fuzz_all
FUZZ_SECONDS=${FUZZ_SECONDS:-5}
for f in build-fuzz/bin/fuzz_* ; do
  name=$(basename "$f"); name=${name#fuzz_}
  work=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
  case "$name" in lump_archive|fish_species) cp build/share/reefmere/*.fish "$work"/ ;; esac
  ( cd "$work" && ASAN_OPTIONS=detect_leaks=0 "$OLDPWD/$f" -max_total_time="$FUZZ_SECONDS" -max_len=65536 \
      -close_fd_mask=2 -print_final_stats=1 . >log 2>&1 ) || { tail -50 "$work/log"; exit 1; }
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  echo "fuzz_$name: $runs executions in $FUZZ_SECONDS s"
  rm -rf "$work"
done

# Benchmarks: a smoke run only (numbers from shared machines are not assertions).
for b in build/bench/bench_* ; do
  [ -x "$b" ] || continue
  "$b" --benchmark_min_time=0.01 >/dev/null
done
echo "all tests passed"
