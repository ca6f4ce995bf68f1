#!/usr/bin/env bash
# Our LV2 against the peer de-essers (MDA DeEss, Calf Deesser) in the same
# JUCE LV2 host, then the Google Benchmark cases. Extra arguments go to the
# comparison tool: [rounds] [seconds of audio per run].
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" --target ZeriZaRirod_LV2 zeri_peer_compare zeri_bench

"$BUILD_DIR/bench/zeri_peer_compare_artefacts/Release/zeri_peer_compare" \
  "$BUILD_DIR/ZeriZaRirod_artefacts/Release/LV2/Zeri Za-Rirod.lv2" "$@"
"$BUILD_DIR/bench/zeri_bench" --benchmark_counters_tabular=true
