#!/usr/bin/env bash
# Guards against an install recipe in README.md that fails as typed (it once
# built only the plug-in and then installed everything, which stopped at the
# missing program): runs the README's own recipes from "## Where files go" and
# checks the files each one puts in place.
#
# The build folder the recipes name stands for this build tree and their prefix
# for a temporary one. Their configure line is checked, not run: run here, it
# would reconfigure this tree (the suite's own, tests included) and rebuild it.
# The tree is built before its tests run, so the recipes' build lines find
# nothing left to do; what a recipe builds is therefore checked against what it
# installs before it installs.
# Usage: check_readme_recipes.sh README BUILD_DIR KELBRIN_BUILT(ON|OFF)
# Exits 0 on success, 1 on failure.
set -u
readme=$1 build=$(cd "$2" && pwd) kelbrin=$3
fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tambrell-recipes.XXXXXX") || fail "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT

# The section's indented blocks, one file each (block.1, block.2, ...).
awk -v out="$work/block" '
  /^## / { inside = ($0 == "## Where files go"); started = 0; next }
  !inside { next }
  /^    / { if (!started) { started = 1; n++ }; print substr($0, 5) > (out "." n); next }
  { started = 0 }
' "$readme"

plugin_block="" all_block=""
for b in "$work"/block.*; do
  [ -e "$b" ] || break
  grep -q '^cmake --install ' "$b" || continue
  if grep -q '^cmake --install .*--component plugin' "$b"; then
    plugin_block=$b
  elif ! grep -q '^cmake --install .*--component' "$b"; then
    all_block=$b
  fi
done
[ -n "$plugin_block" ] || fail "the README gives no recipe that installs the plug-in alone (--component plugin)"
[ -n "$all_block" ] || fail "the README gives no recipe that installs everything (cmake --install without --component)"

# The install components this tree has, and the target that builds each one's
# files (Kelbrin's target builds the plug-in too, which it plays).
components=$(grep -rhoE 'CMAKE_INSTALL_COMPONENT STREQUAL "[^"]+"' "$build" --include=cmake_install.cmake \
  | sed -E 's/.*"(.*)"/\1/' | sort -u)
[ -n "$components" ] || fail "the build tree has no install components"
builds() { # builds COMPONENT TARGET...: whether building the targets builds the component
  local component=$1 t
  shift
  for t in "$@"; do
    case "$component:$t" in
      *:all | plugin:Tambrell | plugin:Kelbrin | kelbrin:Kelbrin) return 0 ;;
      plugin:* | kelbrin:*) ;;
      *) fail "this check does not know which target builds the component '$component'" ;;
    esac
  done
  return 1
}

# run_recipe BLOCK PREFIX: each line runs with the build folder and prefix
# replaced; the configure line only has to name options this project knows.
run_recipe() {
  local block=$1 prefix=$2 line words i dir="" opt targets=() c
  while IFS= read -r line; do
    line=${line%%#*}
    read -ra words <<<"$line"
    [ ${#words[@]} -gt 0 ] || continue
    [ "${words[0]}" = cmake ] || fail "the recipe runs '${words[0]}', not cmake: $line"
    if [ "${words[1]-}" = -S ]; then
      if [ "${words[2]-}" != . ] || [ "${words[3]-}" != -B ] || [ -z "${words[4]-}" ]; then
        fail "the configure line is not 'cmake -S . -B DIR ...': $line"
      fi
      dir=${words[4]}
      for opt in "${words[@]:5}"; do
        [[ $opt == -D* ]] || fail "the configure line passes '$opt', which this check does not know"
        opt=${opt#-D}
        grep -q "^${opt%%=*}:" "$build/CMakeCache.txt" || fail "the configure line sets ${opt%%=*}, which the build does not know"
      done
      continue
    fi
    [ -n "$dir" ] || fail "the recipe builds or installs before it configures: $line"
    # Substitute the folders; note what a build line builds and which
    # components an install line installs (all of them without --component).
    local built=() wanted=() after=""
    for i in "${!words[@]}"; do
      case "$after:${words[i]}" in
        *:-*) after=${words[i]} ;;
        --target:*) built+=("${words[i]}") ;;
        --component:*) wanted+=("${words[i]}") ;;
        --prefix:*) words[i]=$prefix ;;
      esac
      [ "${words[i]}" = "$dir" ] && words[i]=$build
    done
    if [ "${words[1]-}" = --build ]; then
      [ ${#built[@]} -gt 0 ] || built=(all)
      targets+=("${built[@]}")
    elif [ "${words[1]-}" = --install ]; then
      [ ${#wanted[@]} -gt 0 ] || mapfile -t wanted <<<"$components"
      for c in "${wanted[@]}"; do
        grep -qx "$c" <<<"$components" || fail "the recipe installs the component '$c', which the build does not have"
        builds "$c" "${targets[@]}" || fail "the recipe installs the component '$c' but builds only: ${targets[*]:-nothing}"
      done
    fi
    echo "RUN: ${words[*]}"
    # From the temporary folder, so a path the substitution missed cannot
    # reach a build folder of the checkout.
    (cd "$work" && timeout -k 10 250 "${words[@]}") >"$work/run.log" 2>&1 \
      || { tail -n 40 "$work/run.log"; fail "the recipe stops at: $line"; }
  done <"$block"
}

# files ROOT: the files below ROOT, one relative path a line, sorted.
files() { (cd "$1" 2>/dev/null && find . -type f -o -type l | sed 's|^\./||' | sort); }

# expect PREFIX WHAT: the prefix holds exactly the files listed in "$work/want".
expect() {
  sort -o "$work/want" "$work/want"
  files "$1" >"$work/got"
  diff "$work/want" "$work/got" >"$work/diff" || { cat "$work/diff"; fail "$2 does not install what it should (< missing, > extra)"; }
}

# The plug-in's part: the built folder as it is, data folders included.
files "$build/Tambrell" | sed 's|^|lib/lxvst/Tambrell/|' >"$work/plugin_files"
grep -qx 'lib/lxvst/Tambrell/Tambrell.so' "$work/plugin_files" || fail "the build tree holds no Tambrell/Tambrell.so"
grep -q '^lib/lxvst/Tambrell/Presets/.*\.tbprg$' "$work/plugin_files" || fail "the build tree holds no factory presets"
grep -q '^lib/lxvst/Tambrell/Gfx/.*\.tga$' "$work/plugin_files" || fail "the build tree holds no pictures"

run_recipe "$plugin_block" "$work/plugin"
cp "$work/plugin_files" "$work/want"
expect "$work/plugin" "the plug-in recipe"

run_recipe "$all_block" "$work/all"
cp "$work/plugin_files" "$work/want"
if [ "$kelbrin" = ON ]; then
  printf '%s\n' bin/Kelbrin share/applications/kelbrin.desktop share/doc/tambrell/Tambrell.html >>"$work/want"
  files "$build/host/icons/hicolor" | sed 's|^|share/icons/hicolor/|' >>"$work/want"
fi
expect "$work/all" "the recipe for everything (Kelbrin built: $kelbrin)"
echo "PASS: both README recipes install what they should (Kelbrin built: $kelbrin)"
