#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# End-to-end flows in real OBS Studio, run by ctest inside the sandbox. They
# share one OBS user folder: each starts where the one before it left.
set -euo pipefail
flow=${1:?flow name}
source "$(dirname "$0")/obs.sh"

log_time() { grep -m1 -F "$1" "$obs_log" | cut -d' ' -f1 | tr -d ':.'; }
settings_are() { jq -e "$@" "$settings" >/dev/null; }
last_is() { settings_are --arg p "$snapshots/$1.json" '.last == $p'; }
state() { jq -er .state "$snapshots/$1.json"; }
dock_strip() { scenes_bar && import -window root -crop "210x200+$bar_x+$((bar_y + 7))" "$artifacts/$flow-$1.png"; }
pixels_between() { cd "$artifacts" && compare -metric AE "$flow-$1.png" "$flow-$2.png" null: 2>&1 | cut -d' ' -f1; }
# Bindings and order as kept across sessions; a snapshot without keys may be stored as [].
kept() { jq -S 'del(.snapshotHotkeys[] | select(. == []))' "$settings"; }

flow_first_run() {
    fresh_home
    start_obs
    [ "$(grep -cF "[obs-kestrune] Loaded version $KESTRUNE_E2E_VERSION (OBS " "$obs_log")" -eq 1 ] ||
        fail start-line "not one start line of version $KESTRUNE_E2E_VERSION in the OBS log"
    wait_until 10 test -f "$settings" && sleep 0.5 || fail settings-after-startup "settings.json was not written"
    stamps="$(log_time "[obs-kestrune] Loaded") $(log_time "==== Startup complete") $(date -r "$settings" +%H%M%S%3N)"
    tr ' ' '\n' <<<"$stamps" | sort -cn ||
        fail settings-after-startup "not in order: module loaded, start-up complete, settings written ($stamps)"
    settings_are 'keys == ["collectionLinks","cycleHotkey","last","loadAtStart","openHotkey","previousHotkey",
        "profileLinks","snapshotHotkeys","snapshotOrder"] and .loadAtStart == "" and .profileLinks == {} and
        .last == "" and .snapshotOrder == [] and .snapshotHotkeys == {} and (.cycleHotkey | type) == "array"' ||
        fail settings-members "a fresh settings.json holds $(jq -c . "$settings")"
    [ -d "$snapshots" ] || fail snapshots-folder "the snapshots folder was not created"

    open_dialog
    xdotool getwindowgeometry "$dialog" | awk -F'[ x]+' '/Geometry/ { exit !($3 >= 400 && $4 >= 300) }' ||
        fail tools-entry "the dialog is too small to be the manager"
    key Escape && wait_until 5 eval '[ -z "$(windows)" ]' || fail escape-hides "Escape did not hide the dialog"
    open_dialog && [ "$(windows | wc -l)" -eq 1 ] || fail reopen-once "reopening showed a second manager dialog"

    save Studio
    save Review
    jq -e '.plugin == "obs-kestrune" and .format == 1 and .name == "Studio" and
        (.docks | index("scenesDock")) != null and (.state | length) > 0' "$snapshots/Studio.json" >/dev/null ||
        fail save-file "Studio.json is not a snapshot of this window: $(head -c 300 "$snapshots/Studio.json")"
    wait_until 5 settings_are '.snapshotOrder == ["Studio.json", "Review.json"]' ||
        fail save-order "the new snapshots are not listed in order: $(jq -c .snapshotOrder "$settings")"

    dock_strip before # a double click lost to a busy machine is tried again
    for try in 1 2 3; do float_scenes_dock && dock_strip moved && [ "$(pixels_between before moved)" != 0 ] && break; done
    save Moved && [ "$(state Moved)" != "$(state Studio)" ] || fail load-restores "the click did not move the dock"
    load Studio && dock_strip after
    save Check && [ "$(state Check)" = "$(state Studio)" ] || fail load-restores "loading did not put the docks back"
    [ "$(pixels_between before after)" = 0 ] || fail load-strip "the dock area differs from before the move"
    [ "$(pixels_between before moved)" != 0 ] || fail load-strip "the screenshot did not see the dock move"
    last_is Check || fail load-last "\"last\" is not the snapshot saved last"
    stop_obs
}

# Bindings written into settings.json while OBS is not running, and the order
# reversed: the cycle has to follow the user's order, not the files'.
flow_hotkeys() {
    seeded=$(jq '.snapshotOrder |= reverse | .cycleHotkey = [{key: "OBS_KEY_F9"}] |
        .previousHotkey = [{key: "OBS_KEY_F8"}] | .openHotkey = [{key: "OBS_KEY_F11"}] |
        .snapshotHotkeys["Review.json"] = [{key: "OBS_KEY_F10", shift: true}]' "$settings")
    printf '%s\n' "$seeded" >"$settings"
    bindings() { jq -c '[.cycleHotkey, .previousHotkey, .openHotkey, .snapshotHotkeys["Review.json"]]' "$@"; }
    start_obs
    [ "$(bindings "$settings")" = "$(bindings <<<"$seeded")" ] || fail cycle-bound "bindings lost at the start"
    last_is Check || fail shift-f10 "the first run did not leave Check as the last snapshot"
    press F10 shift && wait_until 5 last_is Review || fail shift-f10 "Shift+F10, bound to Review, did not load it"
    # In the order Check, Moved, Review, Studio the second press wraps around.
    for next in Studio Check; do
        press F9 && wait_until 5 last_is $next || fail cycle "F9 loaded $(jq .last "$settings"), not $next"
        said=$(status_bar)
        grep -qi "layout.*$next.*loaded" <<<"$said" || fail status-bar "the status bar read \"$said\""
    done
    stop_obs
    [ "$(bindings "$settings")" = "$(bindings <<<"$seeded")" ] || fail bindings-kept "bindings lost in the session"
}

# The next session starts with what the last one wrote; quitting writes
# settings.json once, with the live state.
flow_restart() {
    before=$(kept) stamp=$(stat -c %y "$settings")
    start_obs
    wait_until 10 eval '[ "$(stat -c %y "$settings")" != "$stamp" ]' || fail restart "settings.json not rewritten"
    open_dialog
    content=$(cat "$settings")
    inotifywait -m -q -e close_write,moved_to --format %f "$config_dir" >"$artifacts/$flow-events.txt" &
    sleep 0.5
    stop_obs
    [ "$(grep -cx settings.json "$artifacts/$flow-events.txt")" = 1 ] || fail quit-writes-once "not written once"
    [ "$(cat "$settings")" = "$content" ] || fail quit-writes-once "quitting changed the settings without cause"
    [ "$(kept)" = "$before" ] || fail restart "settings changed across a restart: $before => $(kept)"
}

# The snapshot marked for the start is applied when OBS starts, over the
# layout OBS saved itself; a profile link is kept for the remote flow.
flow_autoload() {
    own=$(sed -n 's/^DockState=//p' "$obs_dir"/user.ini "$obs_dir"/global.ini | tail -n1)
    seeded=$(jq '.loadAtStart = "Moved.json" | .profileLinks = {Linked: "Review.json"}' "$settings")
    printf '%s\n' "$seeded" >"$settings"
    start_obs
    wait_until 5 last_is Moved || fail start-mark "\"last\" is $(jq .last "$settings"), not Moved"
    open_dialog && save AfterStart
    [ "$(state AfterStart)" = "$(state Moved)" ] && [ "$own" != "$(state Moved)" ] ||
        fail start-mark "the layout after the start is not the marked snapshot's"
    stop_obs
}

# Vendor requests and events through obs-websocket's own server, from a client
# no one here wrote: no password, and the sandbox has only the loopback.
flow_remote() {
    mkdir -p "$obs_dir/plugin_config/obs-websocket"
    echo '{"first_load": false, "server_enabled": true, "server_port": 4455, "auth_required": false,
        "alerts_enabled": false}' >"$obs_dir/plugin_config/obs-websocket/config.json"
    seeded=$(jq '.loadAtStart = ""' "$settings") && printf '%s\n' "$seeded" >"$settings"
    start_obs
    MAIN=$main SNAPSHOTS=$snapshots NODE_PATH=/out/node_modules node /src/tests/e2e/RemoteFlowsTest.cjs ||
        fail remote "the client's check above failed"
    stop_obs
}

"flow_$flow"
echo "-- $flow passed"
