#!/usr/bin/env bash
# Fails when a tracked C++ file includes a header against the direction the
# layers depend in. Each folder of the tree has a rank; a file may include
# headers of its own folder and of folders of a lower rank, never of the same
# or a higher rank. A folder takes the row of the longest path in the table
# that contains it, so sub-folders share their parent's layer unless they have
# a row of their own. tests/ and tools/ may include anything.
#
# Extra rules in the last column:
#   not:A,B    never includes anything in A or B, whatever their rank
#   only:A,B   includes nothing of the tree but A and B
#   private:A  only A (and tests/, tools/) may include it
# A row for a folder that does not exist yet costs nothing, so new folders
# get their row before their first file lands.
set -u
cd "$(dirname "$0")/.."

table='
platform                0
platform/desktop        1
platform/headless       1
platform/x11            1   private:platform/x11,effect/module
framework/util          2
framework/dsp           2
framework/engine        3
framework/gui           4
framework/gui/controls  5
framework/vst           6
framework/native        6
effect/reverb           7   not:framework/vst,framework/gui,framework/native
effect/pedals           8   not:framework/vst,framework/gui,framework/native
effect/dsp              9   not:framework/vst,framework/gui,framework/native
effect/reverb/vst       10
effect/product          10
effect/editor           11
effect/module           12
host                    13  only:framework/vst
'

# Single includes that are known and accepted for now: "includer included".
# The editor frame makes its root group and hands mouse, idle and value work to
# groups and controls through their declared operations only.
allowed='
framework/gui/CPluginUI.cpp framework/gui/controls/CControl.h
framework/gui/CPluginUI.cpp framework/gui/controls/CControlGroup.h
framework/gui/CSynthEditor.cpp framework/gui/controls/CControl.h
framework/gui/CSynthEditor.cpp framework/gui/controls/CControlGroup.h
'

declare -A rank rule allow
while read -r a b; do
  [ -n "$a" ] && allow["$a $b"]=1
done <<<"$allowed"
while read -r folder r extra; do
  [ -n "$folder" ] || continue
  rank[$folder]=$r
  rule[$folder]=${extra:-}
done <<<"$table"

# Sets `layer` to the table row of a folder: the longest row path that is the
# folder or contains it; empty when none does.
layer_of() {
  local d=$1
  layer=
  while [ -n "$d" ] && [ "$d" != . ]; do
    [ -n "${rank[$d]+x}" ] && { layer=$d; return; }
    [ "${d%/*}" = "$d" ] && break
    d=${d%/*}
  done
}

# Is folder `d` inside one of the comma-separated folders in `list`?
inside() {
  local d=$1 list=$2 f
  IFS=, read -ra fs <<<"$list"
  for f in "${fs[@]}"; do
    [ "$d" = "$f" ] || [ "${d#"$f"/}" != "$d" ] && return 0
  done
  return 1
}

free_folder() { [ "${1%%/*}" = tests ] || [ "${1%%/*}" = tools ]; }

problems=()
while IFS= read -r hit; do
  file=${hit%%:*}
  rest=${hit#*:}
  line=${rest%%:*}
  text=${rest#*:}
  [[ $text =~ include[[:space:]]*[\"\<]([^\">]*) ]] || continue
  target=${BASH_REMATCH[1]}
  dir=${file%/*}
  [ "$dir" = "$file" ] && dir=.
  free_folder "$dir" && continue
  # A path next to the includer is its own folder; any other path is read
  # from the top of the tree.
  if [ -e "$dir/$target" ]; then
    tdir=$dir/$target
  elif [ -e "$target" ]; then
    tdir=$target
  else
    continue
  fi
  tdir=${tdir%/*}
  [ "$tdir" = "$target" ] && tdir=.
  [ "$tdir" = "$dir" ] && continue
  [ -n "${allow["$file $target"]+x}" ] && continue
  layer_of "$dir"
  from=$layer
  if [ -z "$from" ]; then
    problems+=("$file: folder $dir has no row in the layer table of tools/check_layers.sh")
    continue
  fi
  if free_folder "$tdir"; then
    problems+=("$file:$line: includes $target: only tests/ and tools/ may include tests/ and tools/")
    continue
  fi
  layer_of "$tdir"
  to=$layer
  if [ -z "$to" ]; then
    problems+=("$file:$line: includes $target, whose folder has no row in the layer table")
    continue
  fi
  [ "$from" = "$to" ] && continue
  why=
  case ${rule[$from]} in
    not:*) inside "$tdir" "${rule[$from]#not:}" && why="$from never includes $to" ;;
    only:*) inside "$tdir" "${rule[$from]#only:}" || why="$from includes only ${rule[$from]#only:}" ;;
  esac
  case ${rule[$to]} in
    private:*) inside "$dir" "${rule[$to]#private:}" || why="$to is included only by ${rule[$to]#private:}" ;;
  esac
  [ -z "$why" ] && [ "${rank[$to]}" -ge "${rank[$from]}" ] && why="$from (rank ${rank[$from]}) may not include $to (rank ${rank[$to]})"
  [ -n "$why" ] && problems+=("$file:$line: includes $target: $why")
done < <(git ls-files -z '*.cpp' '*.h' '*.hpp' '*.cc' '*.c' | xargs -0 grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]' /dev/null)

if [ ${#problems[@]} -gt 0 ]; then
  echo "layers: ${#problems[@]} include(s) against the layer direction:"
  printf '  %s\n' "${problems[@]}"
  exit 1
fi
echo "layers: clean"
