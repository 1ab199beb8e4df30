#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Starts real OBS Studio (Qt 6) with this working tree's plug-in: prepares the
# sandbox if needed, builds and installs the plug-in. KESTRUNE_SUITE picks the
# Debian suite: trixie (OBS 30, the default) or forky (OBS 32).
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
        first_run_off
        cmake --install "$KESTRUNE_BUILD_DIR" --prefix "$plugin_dir" >/dev/null
        trap - EXIT
        cd /tmp
        exec env QT_QPA_PLATFORM=xcb obs --disable-shutdown-check
    fi

    fresh_home
    start_obs
    focus "$main"
    xdotool key alt+t
    sleep 0.5
    shot tools-menu
    key Escape
    open_dialog
    save Live
    float_scenes_dock
    save Editing
    shot editing-layout
    load Live
    key ctrl+a BackSpace
    save Review
    stop_obs
    # A second session: a key bound to Live, Editing marked for the start and
    # linked to the profile, and a file the list cannot read.
    seeded=$(jq '.snapshotHotkeys["Live.json"] = [{key: "OBS_KEY_F5", control: true}] |
        .loadAtStart = "Editing.json" | .profileLinks = {Untitled: "Editing.json"}' "$settings")
    printf '%s\n' "$seeded" >"$settings"
    echo '{"plugin": "obs-kestrune", "format": 1,' >"$snapshots/half-copied.json"
    start_obs
    open_dialog
    key ctrl+f
    shot manager
    key Tab Menu
    shot context-menu
    key Escape
    eval "$(xdotool getwindowgeometry --shell "$main")"
    stop_obs
    ls "$snapshots" >"$artifacts/snapshots.txt"
    # The OBS window and the dialog over it, without the empty rest of the screen.
    for name in tools-menu manager context-menu editing-layout; do
        convert "$artifacts/demo-$name.png" -crop "$((X + WIDTH))x$((Y + HEIGHT))+0+0" +repage "$artifacts/demo-$name.png"
    done
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=DISPLAY,XAUTHORITY,KESTRUNE_SUITE,KESTRUNE_SANDBOX,KESTRUNE_DEMO_DIR "$0" "$@"
fi
if ! command -v debootstrap >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

suite=${KESTRUNE_SUITE:-trixie}
"$repo/scripts/sandbox.sh" "$suite" prepare
"$repo/scripts/sandbox.sh" "$suite" build

if [ -n "${DISPLAY:-}" ]; then
    echo "Starting OBS Studio with OBS-Kestrune on $DISPLAY (Tools > Dock Layout Snapshots)"
    KESTRUNE_DISPLAY=1 exec "$repo/scripts/sandbox.sh" "$suite" exec /src/scripts/run-obs.sh --inside display
fi

demo=${KESTRUNE_DEMO_DIR:-$repo/build/demo}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "No DISPLAY: running a scripted demo under Xvfb"
KESTRUNE_OUT=$work "$repo/scripts/sandbox.sh" "$suite" exec /src/scripts/run-obs.sh --inside demo
mkdir -p "$demo"
for name in tools-menu manager context-menu editing-layout; do
    cp "$work/raw/demo-$name.png" "$demo/$name.png"
done
cp "$work/raw/demo-obs-log.txt" "$demo/obs-log.txt"
echo "OBS ran with the plug-in ($suite); snapshots saved: $(tr '\n' ' ' <"$work/raw/snapshots.txt")"
echo "Screenshots: $demo"
