#!/usr/bin/env bash
# The whole test suite on a fresh Debian 12 machine: installs what it needs,
# builds everything (plug-in bundles included) and runs CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR"

# Sanitizer builds, fuzzing and the concurrent stress (SKIP_ROBUSTNESS=1 skips them).
if [ "${SKIP_ROBUSTNESS:-0}" != 1 ]; then
  bash scripts/robustness.sh
fi

# Last, so the run ends with CTest's summary of the whole suite.
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 900
