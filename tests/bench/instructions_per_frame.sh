#!/usr/bin/env bash
# Instructions per stereo frame of the whole chain and of each stage, measured
# with callgrind: two runs of different length, subtracted, so start-up and
# set-up drop out. Also prints the native time per frame.
# Usage: instructions_per_frame.sh BUILD_DIR [heavy|empty]
set -eu
build=${1:?usage: $0 BUILD_DIR [heavy|empty]}
program=${2:-heavy}
exe=$build/tests/bench/chain_frames
[ -x "$exe" ] || { echo "missing $exe (build the target chain_frames)"; exit 1; }
command -v valgrind >/dev/null || { echo "valgrind is not installed"; exit 1; }
short=48000 long=144000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$exe" "$program" 480000
for n in $short $long; do
  valgrind --tool=callgrind --callgrind-out-file="$work/$n.out" "$exe" "$program" $n >/dev/null 2>&1
  callgrind_annotate --inclusive=yes --threshold=100 "$work/$n.out" 2>/dev/null >"$work/$n.txt"
done

total() { sed -n 's/^ *\([0-9,]*\) .*PROGRAM TOTALS.*/\1/p' "$1" | tr -d ,; }
echo "$program chain: $(( ($(total $work/$long.txt) - $(total $work/$short.txt)) / (long - short) )) instructions per frame"
# Inclusive cost of each stage's function, per frame.
for stage in 'CDriveEffect::process(' 'ModelStage::process' 'CPedal_DistModelA::process' 'powf' \
             'PlateReverb::process' 'CTapeDelay::process' 'EqBand::processBlock' 'MasterEqualiser::process' \
             'CPedal_Chorus::process' 'CPedal_Phaser::process' 'CPedal_Delay::process' 'CPedal_Reverb::process'; do
  a=$(grep -F "$stage" "$work/$short.txt" | head -n 1 | awk '{print $1}' | tr -d ,)
  b=$(grep -F "$stage" "$work/$long.txt" | head -n 1 | awk '{print $1}' | tr -d ,)
  [ -n "$a" ] && [ -n "$b" ] && printf '  %-28s %6d\n' "$stage" $(( (b - a) / (long - short) ))
done
exit 0
