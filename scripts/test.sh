#!/usr/bin/env bash
# Installs what is needed, builds Tarnwell and runs every test:
#   1. the program and all its tests (unit, integration, gui);
#   2. the engine, platform and worker again under AddressSanitizer and
#      ThreadSanitizer;
#   3. the fuzz targets, each for a bounded time (clang, libFuzzer);
#   4. the Windows build (mingw-w64) and its tests under Wine;
#   5. the house style: clang-format and clang-tidy over both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

werror=OFF
[ -n "${CI:-}" ] && werror=ON
jobs=${TARNWELL_JOBS:-2}

stage() { printf '\n=== %s ===\n' "$*"; }

stage "build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_WERROR=$werror
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

for san in address thread; do
    stage "sanitizer: $san"
    cmake -S . -B "build-$san" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWELL_WERROR=$werror \
        -DTARNWELL_BUILD_UI=OFF -DTARNWELL_SANITIZE=$san
    cmake --build "build-$san" -j "$jobs"
    # ThreadSanitizer is for the threads: the worker and the directory reader.
    labels='unit|integration'
    [ "$san" = thread ] && labels='worker'
    TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ASAN_OPTIONS="detect_leaks=1" \
        ctest --test-dir "build-$san" --output-on-failure -j "$jobs" -L "$labels"
done

stage "fuzz"
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTARNWELL_BUILD_UI=OFF \
    -DTARNWELL_FUZZ=ON -DTARNWELL_SANITIZE=address,undefined
cmake --build build-fuzz -j "$jobs"
ctest --test-dir build-fuzz --output-on-failure -j "$jobs" -L fuzz

stage "Windows build under Wine"
scripts/test-wine.sh

stage "house style"
scripts/check-style.sh build
scripts/check-style.sh build-win
