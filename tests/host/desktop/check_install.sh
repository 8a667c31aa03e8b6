#!/usr/bin/env bash
# Kelbrin installed as a desktop program: installs the build's kelbrin
# component into a temporary prefix and checks that the menu entry is valid
# (desktop-file-validate), that the icon is there in every size of the icon
# theme as a PNG of that size, and that the manual lies where Help finds it.
# Usage: check_install.sh BUILD_DIR
# Exits 0 on success, 1 on failure, 77 (skip) without desktop-file-validate.
set -u
build=$1
fail() { echo "FAIL: $*"; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kelbrin-desktop.XXXXXX") || fail "cannot make a temporary folder"
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
timeout -k 10 120 cmake --install "$build" --prefix "$prefix" --component kelbrin >"$work/install.log" 2>&1 \
  || { cat "$work/install.log"; fail "cmake --install into $prefix failed"; }

[ -x "$prefix/bin/Kelbrin" ] || fail "no bin/Kelbrin"
[ -s "$prefix/share/doc/tambrell/Tambrell.html" ] || fail "no share/doc/tambrell/Tambrell.html"
entry=$prefix/share/applications/kelbrin.desktop
[ -f "$entry" ] || fail "no share/applications/kelbrin.desktop"
grep -qx 'Icon=kelbrin' "$entry" || fail "the entry does not name the icon kelbrin"

for n in 16 24 32 48 64 128; do
  icon=$prefix/share/icons/hicolor/${n}x$n/apps/kelbrin.png
  [ -f "$icon" ] || fail "no $icon"
  # The PNG signature, then the header chunk's width and height (big-endian).
  [ "$(od -An -tx1 -N16 "$icon" | tr -d ' \n')" = 89504e470d0a1a0a0000000d49484452 ] || fail "$icon is no PNG"
  size=$(od -An -tu4 --endian=big -j16 -N8 "$icon" | xargs)
  [ "$size" = "$n $n" ] || fail "$icon is $size, not $n $n"
done

if ! command -v desktop-file-validate >/dev/null 2>&1; then
  echo "SKIP: desktop-file-validate is missing; ./test installs the Debian package 'desktop-file-utils'"
  exit 77
fi
desktop-file-validate "$entry" || fail "desktop-file-validate refuses $entry"
echo "PASS: entry, icons and manual installed into $prefix"
