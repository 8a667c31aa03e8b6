#!/usr/bin/env bash
# Drives Tambrell.so through Debian's Ardour 7 without a display:
#   1. Ardour's own out-of-process scanner accepts the library;
#   2. a headless session (dummy backend) instantiates it on a stereo track, lists
#      its 44 parameters, sets and reads some back, renders twice and saves;
#   3. the plug-in chunk stored in the session is given a pedal and a new program
#      name, the session is reloaded, the state is read back and rendered again;
#   4. the renders are checked: finite, not silent, the two empty-chain renders
#      alike, and the pedal heard.
# Usage: run_ardour_test.sh --probe TB_ARDOUR_PROBE --crash-report LIB (--plugin PATH/Tambrell.so | --install BUILD_DIR)
# LIB is preloaded into Ardour's session runner and prints the crashing
# thread's frames at a fatal signal.
# With --install, the build is installed into a temporary prefix first and the
# installed copy is tested. Exits 0 on success, 1 on failure, 77 (skip) when
# Ardour is not installed.
set -u

HERE=$(cd "$(dirname "$0")" && pwd)
LUA_BIN=${ARDOUR_LUA:-ardour7-lua}
SCANNER=${ARDOUR_VST_SCANNER:-/usr/lib/ardour7/ardour-vst-scanner}
ARDOUR_LIBS=/usr/lib/ardour7
SECS=10
# index=value of published parameters; values exact in single precision.
SETTINGS="0=0.625 1=0.4375 7=0.75 13=0.75 14=0 15=0.25 16=0.625 40=0"
# Box 1 holds a distortion pedal (type 1) once the stored chunk says so.
PEDAL_EDIT="45=1"
RELOAD_NAME="Ardour Reload"
FACTORY_NAME="01 Clean"

probe="" plugin="" install_from="" crash_report=""
while [ $# -gt 0 ]; do
    case $1 in
        --probe) probe=$2; shift 2 ;;
        --plugin) plugin=$2; shift 2 ;;
        --install) install_from=$2; shift 2 ;;
        --crash-report) crash_report=$2; shift 2 ;;
        *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
done

fail() { echo "FAIL: $*"; exit 1; }

if ! command -v "$LUA_BIN" >/dev/null 2>&1 || [ ! -x "$SCANNER" ]; then
    echo "SKIP: Ardour 7 is not installed ($LUA_BIN or $SCANNER missing); ./test installs the Debian package 'ardour'"
    exit 77
fi
[ -x "$probe" ] || fail "the probe program '$probe' is missing"
[ -f "$crash_report" ] || fail "the crash reporter '$crash_report' is missing"

work=$(mktemp -d "${TMPDIR:-/tmp}/tambrell-ardour.XXXXXX") || fail "cannot make a temporary folder"
[ -n "${TB_KEEP_ARDOUR_WORK:-}" ] || trap 'rm -rf "$work"' EXIT

if [ -n "$install_from" ]; then
    prefix=$work/prefix
    timeout -k 10 120 cmake --install "$install_from" --prefix "$prefix" --component plugin >"$work/install.log" 2>&1 \
        || { cat "$work/install.log"; fail "cmake --install into $prefix failed"; }
    plugin=$prefix/lib/lxvst/Tambrell/Tambrell.so
    echo "INSTALLED into a temporary prefix:"
    (cd "$prefix" && find . -path ./lib/lxvst/Tambrell/Presets/\* -prune -o -print | sort | sed 's/^/  /')
    echo "  ($(ls "$prefix/lib/lxvst/Tambrell/Presets" | wc -l) files in Presets)"
    [ -f "$plugin" ] || fail "the install holds no lib/lxvst/Tambrell/Tambrell.so"
    ls "$prefix"/lib/lxvst/Tambrell/Presets/*.tbprg >/dev/null 2>&1 || fail "the install holds no factory presets beside the plug-in"
    # Hosts search the whole lxvst folder; the plug-in sits one level down.
    lxvst_path=$prefix/lib/lxvst
else
    [ -f "$plugin" ] || fail "the plug-in '$plugin' is missing"
    lxvst_path=$(dirname "$plugin")
fi
plugin=$(cd "$(dirname "$plugin")" && pwd)/$(basename "$plugin")

# A throw-away home: Ardour's configuration, caches and the plug-in's own
# configuration all start empty, so the plug-in falls back to its own folder.
export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache XDG_DATA_HOME=$HOME/.local/share
export XDG_CONFIG_DIRS=$work/no-system-config
export LXVST_PATH=$lxvst_path
unset VST_PATH LADSPA_PATH LV2_PATH VST3_PATH JACK_DEFAULT_SERVER 2>/dev/null
mkdir -p "$XDG_CONFIG_HOME/ardour7/scripts" "$XDG_CONFIG_HOME/ardour7/export" "$XDG_CONFIG_DIRS"
cp "$HERE/test_signal.lua" "$XDG_CONFIG_HOME/ardour7/scripts/"
preset_id=5d0c9a5e-7b1f-4f43-9a3e-1c6b2f7d8e41
# 32-bit float WAV (Ardour's own "BWAV 32float" format), so a NaN would survive.
cat >"$XDG_CONFIG_HOME/ardour7/export/tambrell-float.preset" <<PRESET
<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="$preset_id" name="Tambrell test float">
  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>
  <ExportFilename>
    <Folder relative="1" path="export"/>
    <Field name="label" enabled="0"/>
    <Field name="session" enabled="0"/>
    <Field name="snapshot" enabled="0"/>
    <Field name="timespan" enabled="1"/>
    <Field name="revision" enabled="0"/>
    <Field name="time" enabled="0" value="T_None"/>
    <Field name="date" enabled="0" value="D_None"/>
  </ExportFilename>
</ExportPreset>
PRESET

session=$work/session
renders=$work/renders
sname=tambrell
cd "$work" || fail "cannot enter $work"

# Ardour trusts its scan cache only when the cache is newer than the library,
# at one-second resolution: a library built this very second would be ignored.
age=$(( $(date +%s) - $(stat -c %Y "$plugin") ))
[ "$age" -ge 2 ] || sleep 2

echo "=== scan: $plugin"
LD_LIBRARY_PATH=$ARDOUR_LIBS timeout -k 10 60 "$SCANNER" -f -v "$plugin" >"$work/scan.log" 2>&1
rc=$?
grep -E 'Found Plugin|VST2Info|ERROR|Error' "$work/scan.log" | sed 's/^\s*/  /'
[ $rc -eq 0 ] || { cat "$work/scan.log"; fail "ardour-vst-scanner refused the plug-in (exit $rc)"; }
grep -q 'name="Tambrell"' "$work/scan.log" || fail "the scanner did not report Tambrell"

# Ardour 7.3's headless sessions crash now and then (heap corruption in its own
# threads around export and teardown; seen with only Ardour's own Lua plug-ins
# on the track too; valgrind finds no bad access by the plug-in), in about one
# run in four. A phase that dies by a signal is run again from the same saved
# session, up to ATTEMPTS times, but only when the crashing thread's stack,
# printed by the preloaded reporter, holds no frame of Tambrell.so. A crash
# inside the plug-in, or one without a stack to show where it was, fails.
ATTEMPTS=6
retried=0
rerendered=0

# The crash report in a log: "outside", "inside" (a frame of Tambrell.so) or
# "unknown" (no report).
crash_origin() {
    local report
    report=$(sed -n '/^CRASH signal/,/^CRASH END/p' "$1")
    if [ -z "$report" ] || ! grep -q '^CRASH END' <<<"$report"; then
        echo unknown
    elif grep -q '^FRAME [^ ]*/Tambrell\.so ' <<<"$report"; then
        echo inside
    else
        echo outside
    fi
}

run_phase() { # mode, render name
    local mode=$1 name=$2 log=$work/$2.log attempt rc
    [ -f "$session/$sname.ardour" ] && cp "$session/$sname.ardour" "$work/before-$name.ardour"
    for attempt in $(seq $ATTEMPTS); do
        echo "=== ardour7-lua: $mode, rendering $name (attempt $attempt)"
        [ -f "$work/before-$name.ardour" ] && cp "$work/before-$name.ardour" "$session/$sname.ardour"
        rm -f "$renders/$name.wav"
        MODE=$mode RENDER=$name SESS=$session SNAME=$sname PLUGIN=$plugin SETTINGS=$SETTINGS SECS=$SECS \
            PRESET=$preset_id OUT=$renders LD_PRELOAD=$crash_report \
            timeout -k 10 300 "$LUA_BIN" "$HERE/ardour_session.lua" </dev/null >"$log" 2>&1
        rc=$?
        grep -E '^(FOUND|INSTANCE|PARAM|SET|RELOAD|RELOADED|EXPORTED|PHASE|FAIL|Error)' "$log"
        if [ $rc -eq 124 ] || [ $rc -eq 137 ]; then
            tail -n 40 "$log"; fail "ardour7-lua ($mode, $name) timed out"
        fi
        [ $rc -eq 0 ] && break
        if [ $rc -le 128 ] || [ $attempt -eq $ATTEMPTS ]; then
            tail -n 40 "$log"; fail "ardour7-lua ($mode, $name) failed (exit $rc)"
        fi
        case $(crash_origin "$log") in
            inside)
                sed -n '/^CRASH signal/,/^CRASH END/p' "$log"
                fail "ardour7-lua ($mode, $name) crashed inside Tambrell (signal $((rc - 128)))" ;;
            unknown)
                tail -n 40 "$log"
                fail "ardour7-lua ($mode, $name) died by signal $((rc - 128)) without a stack to show the crash is outside Tambrell" ;;
        esac
        echo "NOTE: ardour7-lua died by signal $((rc - 128)) with no Tambrell frame on the crashing stack; running the phase again"
        retried=$((retried + 1))
        [ "$mode" = create ] && rm -rf "$session"
    done
    grep -q "^PHASE $mode DONE" "$log" || { tail -n 40 "$log"; fail "ardour7-lua ($mode, $name) stopped early"; }
    "$probe" render "$renders/$name.wav" $SECS -60 || fail "the render $name.wav is broken"
}

run_phase create chain_empty
# With no configuration the plug-in starts on the first factory program from the
# Presets folder beside it; Ardour's saved chunk carries the values just set.
"$probe" chunk-show "$session/$sname.ardour" --name "$FACTORY_NAME" $SETTINGS 45=0 \
    || fail "the saved session does not hold the expected chunk"

run_phase reload chain_empty_again
# The same input through the restored state: alike once the gains have settled.
# Now and then Ardour's export feeds the test tone at another transport alignment
# (same peak and RMS, shifted phase), so a render that differs is made again; a
# state that did not come back differs every time and still fails.
for again in 1 2 3; do
    "$probe" compare "$renders/chain_empty.wav" "$renders/chain_empty_again.wav" 1 --same -80 && break
    [ $again -eq 3 ] && fail "the reloaded session does not sound like the saved one"
    echo "NOTE: the reloaded render differs from the saved one; rendering it again"
    rerendered=$((rerendered + 1))
    run_phase reload chain_empty_again
done

"$probe" chunk-edit "$session/$sname.ardour" "$RELOAD_NAME" $PEDAL_EDIT || fail "cannot edit the stored chunk"
run_phase reload chain_pedal
"$probe" compare "$renders/chain_empty.wav" "$renders/chain_pedal.wav" 1 --differ -20 \
    || fail "the pedal set through the chunk is not heard"
# The chunk Ardour saves after the reload comes from the plug-in: the program
# name and the pedal came back through setChunk, the values through both paths.
"$probe" chunk-show "$session/$sname.ardour" --name "$RELOAD_NAME" $SETTINGS $PEDAL_EDIT \
    || fail "the state did not come back after the reload"
echo "PASS: Tambrell in Ardour 7 ($plugin; Ardour crashes retried: $retried; renders made again: $rerendered)"
