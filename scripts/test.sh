#!/usr/bin/env bash
# Installs what is needed, builds Tarnwell and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

werror=OFF
[ -n "${CI:-}" ] && werror=ON

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWELL_WERROR=$werror
cmake --build build
ctest --test-dir build --output-on-failure -j2
