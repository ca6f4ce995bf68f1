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

# The host's bypass switch is the lv2:enabled port the wrapper adds.
grep -qE "Designation: +http://lv2plug.in/ns/lv2core#enabled$" <<<"$info" || fail "no lv2:enabled port"

# Hosts that list patch parameters in the order the bundle describes them must
# see the same order as every other format.
ttl=$(cat "$dir"/*.lv2/dsp.ttl)
labels=$(grep -A1 "a lv2:Parameter" <<<"$ttl" | sed -n 's/.*rdfs:label "\(.*\)".*/\1/p' | paste -sd,)
expected="Power,Amount,Threshold,Attack,Release,Frequency,Focus,Range,Mix,Listen Removed"
[ "$labels" = "$expected" ] || fail "parameters described as '$labels', expected '$expected'"
echo "LV2 bundle OK: $uri"
