#!/usr/bin/env bash
# Robustness stages, run by scripts/test.sh after the ordinary suite:
#   1. clang with AddressSanitizer + UndefinedBehaviorSanitizer (and libFuzzer's
#      coverage instrumentation, so one build serves both): the test suites
#      (all but the bundle host tests, which need the plug-in bundles), then
#      every fuzz target for FUZZ_SECONDS each;
#   2. ThreadSanitizer: the concurrent stress test.
# Any sanitizer report or broken fuzz invariant fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-60}
ASAN_DIR=${ASAN_DIR:-build-asan}
TSAN_DIR=${TSAN_DIR:-build-tsan}
supp=$PWD/sanitizers
fuzz_targets=(fuzz_state_blob fuzz_preset_file fuzz_preset_name fuzz_value_text)

stage() { echo "== $1 ($(date -u +%T))"; }
elapsed() { echo "== $1 took $((SECONDS - $2)) s"; }

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp
export LSAN_OPTIONS=suppressions=$supp/lsan.supp:print_suppressions=0
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp

start=$SECONDS
stage "ASan/UBSan build"
CC=clang CXX=clang++ cmake -S . -B "$ASAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZERI_SANITIZE=address,undefined -DZERI_FUZZ=ON >/dev/null
cmake --build "$ASAN_DIR" --target zeri_tests zeri_render_tests "${fuzz_targets[@]}"
elapsed "ASan/UBSan build" $start

start=$SECONDS
stage "ASan/UBSan test suite"
# The face's gesture tests need a window, hence the X server.
xvfb-run -a "$ASAN_DIR/tests/zeri_tests" --gtest_brief=1
"$ASAN_DIR/tests/zeri_render_tests" --gtest_brief=1
elapsed "ASan/UBSan test suite" $start

for target in "${fuzz_targets[@]}"; do
  start=$SECONDS
  stage "fuzzing $target for $FUZZ_SECONDS s"
  # New inputs go to a scratch corpus; the seeds in the repository stay as they are.
  work="$ASAN_DIR/fuzz-corpus/$target"
  mkdir -p "$work" "$ASAN_DIR/fuzz-crashes"
  "$ASAN_DIR/fuzz/$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$ASAN_DIR/fuzz-crashes/$target-" "$work" "fuzz/corpus/$target"
  elapsed "fuzzing $target" $start
done

start=$SECONDS
stage "TSan build"
cmake -S . -B "$TSAN_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZERI_SANITIZE=thread >/dev/null
cmake --build "$TSAN_DIR" --target zeri_tests
elapsed "TSan build" $start

start=$SECONDS
stage "TSan stress"
"$TSAN_DIR/tests/zeri_tests" --gtest_filter='Stress.*'
elapsed "TSan stress" $start
