#!/usr/bin/env bash
# Instructions per stereo frame of the whole chain and of each stage, measured
# with callgrind: two runs of different length, subtracted, so start-up and
# set-up drop out. Also prints the native time per frame.
# Usage: instructions_per_frame.sh BUILD_DIR [heavy|empty] [BLOCK] [chain|plugin]
# BLOCK is the frames per call (default 256); the two lengths differ by whole
# blocks of any power of two up to 256, so both runs end on the same short
# call, which drops out with the rest. "chain" (the default) calls the chain
# directly; "plugin" goes through the built plug-in's VST entry and
# processReplacing, so the adaptor and the engine's render loop count too.
set -eu
build=${1:?usage: $0 BUILD_DIR [heavy|empty] [BLOCK] [chain|plugin]}
program=${2:-heavy}
block=${3:-256}
entry=${4:-chain}
case $entry in
  chain) target=chain_frames ;;
  plugin) target=plugin_frames ;;
  *) echo "entry must be chain or plugin"; exit 2 ;;
esac
exe=$build/tests/bench/$target
[ -x "$exe" ] || { echo "missing $exe (build the target $target)"; exit 1; }
command -v valgrind >/dev/null || { echo "valgrind is not installed"; exit 1; }
short=48000 long=144000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$exe" "$program" 480000 "$block"
for n in $short $long; do
  valgrind --tool=callgrind --callgrind-out-file="$work/$n.out" "$exe" "$program" $n "$block" >/dev/null 2>&1
  callgrind_annotate --inclusive=yes --threshold=100 "$work/$n.out" 2>/dev/null >"$work/$n.txt"
done

total() { sed -n 's/^ *\([0-9,]*\) .*PROGRAM TOTALS.*/\1/p' "$1" | tr -d ,; }
echo "$program chain through the $entry entry, blocks of $block: $(( ($(total $work/$long.txt) - $(total $work/$short.txt)) / (long - short) )) instructions per frame"
# Inclusive cost of each stage's function, per frame (0 when the program
# leaves the stage out); "chain itself" is what the chain spends outside
# its stages (input and output gains, peaks, the pedal boxes).
cost() { # file, function
  grep -F "$2" "$1" | awk '$1 ~ /^[0-9,]+$/ { gsub(",", "", $1); print $1; exit }'
}
perframe() { # function
  local a b
  a=$(cost "$work/$short.txt" "$1"); b=$(cost "$work/$long.txt" "$1")
  echo $(( (${b:-0} - ${a:-0}) / (long - short) ))
}
staged=0
for stage in 'CPedal_DistModelA::process' 'powf' 'ModelStagePair::process' 'CPedal_Chorus::process' \
             'CPedal_Phaser::process' 'TapeLinePair::process' 'CPedal_Reverb::process' 'MasterEqualiser::process'; do
  n=$(perframe "$stage")
  printf '  %-28s %6d\n' "$stage" "$n"
  [ "$stage" = powf ] || staged=$((staged + n))
done
chain=$(perframe 'CDriveEffect::process(')
printf '  %-28s %6d\n' 'chain itself' $((chain - staged))
# What the plug-in spends on a block around the chain: the adaptor's entry,
# the host's time info and the engine's render loop.
[ "$entry" = chain ] || printf '  %-28s %6d\n' 'adaptor and engine' $(( $(perframe 'AudioEffect::entryProcessReplacing') - chain ))
exit 0
