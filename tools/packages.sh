# Sourced by ./run and ./test: installs the Debian packages named in the
# arguments that are not installed yet, as root or through sudo.
tb_ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "These packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
      return 1
    fi
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q || return 1
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# What the plug-in and its tests need to build.
TB_BUILD_PACKAGES=(g++ cmake make pkg-config ccache clang-format-14 libgtest-dev libgmock-dev googletest
  libbenchmark-dev libx11-dev libxext-dev)

# What the editor needs when it runs: a dialog program for loading and saving
# presets (kdialog serves too where it is installed); and xdg-open, with which
# Kelbrin opens its manual and help links.
TB_RUN_PACKAGES=(zenity xdg-utils)

# What the editor's tests against a real X server need: a virtual server, XTest,
# and XFixes to see the cursor.
TB_X11_TEST_PACKAGES=(xvfb xauth libxtst-dev libxfixes-dev)

# What Kelbrin, the standalone program, needs: Debian's JUCE 7 (module sources
# and the juceaide tool) and JUCE's Linux dependencies: ALSA, JACK, FreeType,
# X11 and its extensions.
TB_KELBRIN_PACKAGES=(juce-modules-source libasound2-dev libjack-jackd2-dev libfreetype-dev libx11-dev libxrandr-dev
  libxinerama-dev libxcursor-dev libxext-dev libxcomposite-dev libxrender-dev libgl-dev libpng-dev libjpeg-dev)

# What Kelbrin's end-to-end tests need: a JACK server they run on its dummy backend.
TB_JACK_TEST_PACKAGES=(jackd2)

# What the test of Kelbrin's desktop install needs: the menu entry's validator.
TB_DESKTOP_TEST_PACKAGES=(desktop-file-utils)

# What the bounded fuzz stage of ./test needs (libFuzzer comes with clang's runtime).
TB_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

# What the real-host test needs: Debian's Ardour 7 (headless ardour7-lua and its
# VST scanner). Optional: without it that test reports SKIP.
TB_HOST_TEST_PACKAGES=(ardour)
