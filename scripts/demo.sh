#!/usr/bin/env bash
# The main job from a terminal on a fresh Debian 12 machine: installs what it
# needs, builds zeri-render, records a voice full of s, sh and t sounds with
# espeak-ng and de-esses it at the defaults and with a stronger setting.
#   bash scripts/demo.sh [FOLDER]      (FOLDER defaults to demo/)
set -euo pipefail
OUT=${1:+$(realpath -m "$1")} # a folder given is taken from where the command was run
cd "$(dirname "$0")/.."
OUT=${OUT:-demo}
BUILD_DIR=${BUILD_DIR:-build}

bash scripts/setup.sh

echo "demo: building zeri-render in $BUILD_DIR/ (the first build takes a few minutes)"
mkdir -p "$OUT"
if ! { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
       && cmake --build "$BUILD_DIR" --target zeri-render; } >"$OUT/build.log" 2>&1; then
  tail -n 30 "$OUT/build.log"
  echo "demo: the build failed; the whole log is $OUT/build.log" >&2
  exit 1
fi
render="$BUILD_DIR/zeri-render"

# A synthetic voice, levelled to peaks of -20 dBFS: the default threshold
# (-30 dB) suits a voice at that level.
text="She sells seashells by the seashore. Six sticky skeletons sat still, sipping sweet sodas.
Sam's sister Susan should stop stressing; it's just sixty-six tiny toasts."
espeak-ng -v en-us -s 150 -w "$OUT/voice.wav" "$text"
sox "$OUT/voice.wav" -r 48000 -c 2 -b 24 "$OUT/before.wav" rate -v 48000 norm -20
rm "$OUT/voice.wav"

echo
echo "== Defaults"
"$render" "$OUT/before.wav" "$OUT/after.wav" --plot "$OUT/plot.png" --json "$OUT/after.json"

echo
echo "== Stronger: lower threshold, more amount, deeper range"
"$render" "$OUT/before.wav" "$OUT/after-stronger.wav" --threshold -36 --amount 70 --range 14 \
  --plot "$OUT/plot-stronger.png" --json "$OUT/after-stronger.json"

echo
echo "demo: listen to $OUT/before.wav against $OUT/after.wav and $OUT/after-stronger.wav;"
echo "      $OUT/plot.png shows the waveform and the gain reduction over time."
