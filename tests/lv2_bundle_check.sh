#!/usr/bin/env bash
# Checks the built LV2 bundle the way a host's scanner sees it.
# Usage: lv2_bundle_check.sh BUNDLE_PARENT_DIR URI
set -euo pipefail
dir=$1 uri=$2
info=$(LV2_PATH="$dir" lv2info "$uri")

fail() { echo "FAIL: $*"; exit 1; }
grep -q "^$uri\$" <<<"$info" || fail "lv2info does not know $uri"
grep -qE "Name: +Zeri Za-Rirod$" <<<"$info" || fail "wrong plug-in name"
for sym in audio_in_1 audio_in_2 audio_out_1 audio_out_2; do
  grep -qE "Symbol: +$sym$" <<<"$info" || fail "port $sym missing"
done

ttl=$(cat "$dir"/*.lv2/dsp.ttl)
for name in Power Amount Threshold Attack Release Frequency Focus Range Mix "Listen Removed"; do
  grep -q "rdfs:label \"$name\"" <<<"$ttl" || fail "parameter $name not described"
done
echo "LV2 bundle OK: $uri"
