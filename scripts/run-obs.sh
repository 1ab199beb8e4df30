#!/usr/bin/env bash
# Starts real OBS Studio (Qt 6, from Debian 13) with this working tree's
# plug-in: prepares the sandbox if needed, builds and installs the plug-in.
#
# With DISPLAY set, OBS opens on that display; its configuration, snapshots
# included, stays in the sandbox between runs. Without a display it runs a
# scripted demo under Xvfb and saves screenshots into a folder it names at
# the end (KESTRUNE_DEMO_DIR, default build/demo in this tree).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ "${1:-}" = --inside ]; then
    shift
    mode=$1
    flow=demo
    KESTRUNE_E2E_HOME=$([ "$mode" = display ] && echo /root || echo /out/home)
    KESTRUNE_E2E_ARTIFACTS=/out/raw
    keep_display=${DISPLAY:-}
    source /src/tests/e2e/obs.sh
    if [ "$mode" = display ]; then
        export DISPLAY=$keep_display
        mkdir -p "$obs_dir"
        [ -f "$obs_dir/global.ini" ] ||
            printf '[General]\nFirstRun=true\nEnableAutoUpdates=false\n' >"$obs_dir/global.ini"
        cmake --install "$KESTRUNE_BUILD_DIR" --prefix "$plugin_dir" >/dev/null
        trap - EXIT
        cd /tmp
        exec env QT_QPA_PLATFORM=xcb obs --disable-shutdown-check
    fi

    fresh_home
    start_obs
    focus "$main_window"
    xdotool key alt+t
    sleep 0.5
    shot tools-menu
    key Escape
    open_dialog_from_tools
    save_through_dialog Live
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    xdotool mousemove $((X + 100)) $((Y + HEIGHT - 237))
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    sleep 1
    save_through_dialog Editing
    shot editing-layout
    load_through_dialog Live
    sleep 1
    key ctrl+a BackSpace
    save_through_dialog Review
    focus "$dialog_window"
    key ctrl+f
    shot manager
    stop_obs
    ls "$snapshots" >"$artifacts/snapshots.txt"
    # The OBS window and the dialog over it, without the empty rest of the screen.
    for name in tools-menu manager editing-layout; do
        convert "$artifacts/demo-$name.png" -crop 1100x790+0+0 +repage "$artifacts/demo-$name.png"
    done
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=DISPLAY,XAUTHORITY,KESTRUNE_SANDBOX,KESTRUNE_DEMO_DIR "$0" "$@"
fi
if ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

"$repo/scripts/sandbox.sh" prepare
"$repo/scripts/sandbox.sh" build

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting OBS Studio with OBS-Kestrune on $DISPLAY (Tools > Dock Layout Snapshots)"
    KESTRUNE_DISPLAY=1 exec "$repo/scripts/sandbox.sh" exec /src/scripts/run-obs.sh --inside display
fi

demo=${KESTRUNE_DEMO_DIR:-$repo/build/demo}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "No DISPLAY: running a scripted demo under Xvfb"
KESTRUNE_OUT=$work "$repo/scripts/sandbox.sh" exec /src/scripts/run-obs.sh --inside demo
mkdir -p "$demo"
for name in tools-menu manager editing-layout; do
    cp "$work/raw/demo-$name.png" "$demo/$name.png"
done
cp "$work/raw/demo-obs-log.txt" "$demo/obs-log.txt"
echo "OBS ran with the plug-in; snapshots saved: $(tr '\n' ' ' <"$work/raw/snapshots.txt")"
echo "Screenshots: $demo"
