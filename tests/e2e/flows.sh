#!/usr/bin/env bash
# End-to-end flows in real OBS Studio, run inside the sandbox by run.sh.
# They share one OBS user folder and run in the order CMake gives them:
# each starts where the previous one left the snapshots and settings.
set -euo pipefail
flow=${1:?flow name}
source "$(dirname "$0")/obs.sh"

log_time() { grep -m1 -F "$1" "$obs_log" | cut -d' ' -f1 | tr -d ':.'; }
file_time() { date -r "$1" +%H%M%S%3N; }
state_of() { jq -er .state "$snapshots/$1.json"; }
order() { jq -r '.snapshotOrder | join(",")' "$settings"; }

# The module's start line, and the settings file written once OBS has
# finished loading, not when the module was loaded.
flow_start() {
    fresh_home
    start_obs
    grep -qF "[obs-kestrune] Loaded version 1.0.0 (OBS 32.0.4)" "$obs_log" ||
        fail "no start line from the plug-in in the OBS log"
    wait_until 10 test -f "$settings" || fail "settings.json was not written after start-up"
    sleep 0.5
    local loaded complete written
    loaded=$(log_time "[obs-kestrune] Loaded version")
    complete=$(log_time "==== Startup complete")
    written=$(file_time "$settings")
    note "module loaded $loaded, start-up complete $complete, settings written $written"
    [ "$written" -ge "$complete" ] && [ "$complete" -ge "$loaded" ] ||
        fail "settings.json was written before OBS finished loading"
    [ "$(jq -c 'keys' "$settings")" = \
        '["cycleHotkey","last","openHotkey","previousHotkey","snapshotHotkeys","snapshotOrder"]' ] ||
        fail "settings.json members: $(jq -c keys "$settings")"
    jq -e '.last == "" and .snapshotOrder == [] and .snapshotHotkeys == {} and
        (.cycleHotkey | type) == "array"' "$settings" >/dev/null ||
        fail "a fresh settings.json holds unexpected values: $(jq -c . "$settings")"
    [ -d "$snapshots" ] || fail "the snapshots folder was not created"
    stop_obs
}

flow_tools_menu() {
    start_obs
    open_dialog_from_tools
    shot dialog
    local WIDTH HEIGHT X Y WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$dialog_window")"
    [ "$WIDTH" -ge 400 ] && [ "$HEIGHT" -ge 300 ] ||
        fail "the dialog is ${WIDTH}x${HEIGHT}, too small to be the manager"
    # Once built, the dialog is hidden on close and shown again, never doubled.
    key Escape
    wait_until 5 sh -c "[ -z \"\$(xdotool search --onlyvisible --name '^$title\$')\" ]" ||
        fail "Escape did not close the dialog"
    open_dialog_from_tools
    [ "$(windows_named "$title" | wc -l)" -eq 1 ] || fail "a second manager dialog opened"
    stop_obs
}

flow_save() {
    start_obs
    open_dialog_from_tools
    save_through_dialog Studio
    shot saved
    save_through_dialog Review
    jq -e '.plugin == "obs-kestrune" and .format == 1 and .name == "Studio" and
        (.docks | index("scenesDock") != null) and (.state | length) > 0' \
        "$snapshots/Studio.json" >/dev/null ||
        fail "Studio.json is not a snapshot of this window: $(head -c 300 "$snapshots/Studio.json")"
    wait_until 5 sh -c "[ \"\$(jq -r '.snapshotOrder|join(\",\")' '$settings')\" = Studio.json,Review.json ]" ||
        fail "the settings do not list the new snapshots in order: $(order)"
    stop_obs
}

# Floats the Scenes dock with a double click on its title bar, which lies
# 237 px above the bottom edge of OBS 30's default window.
float_scenes_dock() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    xdotool mousemove $((X + 100)) $((Y + HEIGHT - 237))
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    sleep 1
}

dock_strip() {
    local X Y WIDTH HEIGHT WINDOW SCREEN
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    import -window root -crop "210x200+$X+$((Y + HEIGHT - 230))" "$artifacts/$flow-$1.png"
}

flow_load_restores() {
    start_obs
    open_dialog_from_tools
    load_through_dialog Studio
    sleep 0.5
    dock_strip before
    float_scenes_dock
    shot moved-screen
    save_through_dialog Moved
    [ "$(state_of Moved)" != "$(state_of Studio)" ] ||
        fail "the Scenes dock did not move (the test's double click missed its title bar)"
    dock_strip moved
    load_through_dialog Studio
    sleep 1
    shot loaded
    dock_strip after
    save_through_dialog Check
    [ "$(state_of Check)" = "$(state_of Studio)" ] ||
        fail "loading Studio did not put the docks back as they were saved"
    local changed
    changed=$(compare -metric AE "$artifacts/$flow-before.png" "$artifacts/$flow-after.png" null: 2>&1 || true)
    [ "$changed" = 0 ] || fail "the dock area differs from before the move in $changed pixels"
    [ "$(compare -metric AE "$artifacts/$flow-before.png" "$artifacts/$flow-moved.png" null: 2>&1 || true)" != 0 ] ||
        fail "the screenshot did not see the dock move"
    jq -e --arg p "$snapshots/Check.json" '.last == $p' "$settings" >/dev/null ||
        fail "\"last\" is not the snapshot saved last"
    stop_obs
}

# The cycle hotkey, bound by hand in settings.json while OBS is not running.
flow_cycle_hotkey() {
    [ -f "$settings" ] || fail "no settings.json left by the earlier flows"
    local seeded
    seeded=$(jq '.cycleHotkey = [{"key": "OBS_KEY_F9"}]' "$settings")
    printf '%s\n' "$seeded" >"$settings"
    local names last0 expected
    names=$(jq -r '.snapshotOrder[]' "$settings")
    last0=$(jq -r '.last | split("/") | last' "$settings")
    start_obs
    jq -e '.cycleHotkey == [{"key": "OBS_KEY_F9"}]' "$settings" >/dev/null ||
        fail "the binding did not survive the start: $(jq -c .cycleHotkey "$settings")"
    local i
    for i in 1 2; do
        expected=$(awk -v cur="$last0" '{ n[NR] = $0; if ($0 == cur) at = NR }
            END { print n[at % NR + 1] }' <<<"$names")
        press F9
        wait_until 5 jq -e --arg p "$snapshots/$expected" '.last == $p' "$settings" >/dev/null ||
            fail "F9 press $i: \"last\" is $(jq .last "$settings"), expected $expected after $last0"
        note "F9 press $i loaded $expected"
        last0=$expected
    done
    stop_obs
}

# Order, last and every binding written by one OBS session are what the
# next session starts with, and still work there.
flow_restart() {
    [ -f "$settings" ] || fail "no settings.json left by the earlier flows"
    local seeded
    seeded=$(jq '.snapshotOrder |= reverse | .previousHotkey = [{"key": "OBS_KEY_F8"}] |
        .openHotkey = [{"key": "OBS_KEY_F11"}] |
        .snapshotHotkeys["Review.json"] = [{"key": "OBS_KEY_F10", "shift": true}]' "$settings")
    printf '%s\n' "$seeded" >"$settings"
    start_obs
    press_shift_f10() {
        xdotool keydown shift keydown F10
        sleep 0.3
        xdotool keyup F10 keyup shift
    }
    press_shift_f10
    wait_until 5 jq -e --arg p "$snapshots/Review.json" '.last == $p' "$settings" >/dev/null ||
        fail "Shift+F10, bound to Review in settings.json, did not load it"
    stop_obs
    local before
    before=$(jq -S 'del(.snapshotHotkeys | .[] | select(. == []))' "$settings")
    jq -e '.snapshotHotkeys["Review.json"] == [{"key": "OBS_KEY_F10", "shift": true}] and
        .openHotkey == [{"key": "OBS_KEY_F11"}] and .previousHotkey == [{"key": "OBS_KEY_F8"}]' \
        "$settings" >/dev/null || fail "bindings lost in the first session: $(jq -c . "$settings")"
    local stamp
    stamp=$(stat -c %y "$settings")
    start_obs
    wait_until 10 sh -c "[ \"\$(stat -c %y '$settings')\" != '$stamp' ]" ||
        fail "the restarted OBS did not rewrite settings.json"
    stop_obs
    local after
    after=$(jq -S 'del(.snapshotHotkeys | .[] | select(. == []))' "$settings")
    [ "$before" = "$after" ] || fail "settings changed across a restart:
before: $before
after:  $after"
    note "order after restart: $(order)"
}

# Quitting writes settings.json exactly once, with the live state.
flow_quit_writes_once() {
    start_obs
    open_dialog_from_tools
    sleep 0.5
    local before
    before=$(cat "$settings")
    inotifywait -m -q -e close_write,moved_to --format '%e %f' "$config_dir" >"$artifacts/$flow-events.txt" &
    local watcher=$!
    sleep 0.5
    stop_obs
    sleep 0.2
    kill "$watcher" 2>/dev/null || true
    wait "$watcher" 2>/dev/null || true
    local writes
    writes=$(awk '$2 == "settings.json"' "$artifacts/$flow-events.txt" | wc -l)
    [ "$writes" -eq 1 ] || fail "quitting wrote settings.json $writes times: $(cat "$artifacts/$flow-events.txt")"
    [ "$(cat "$settings")" = "$before" ] || fail "quitting changed the settings without cause"
}

case $flow in
start | tools_menu | save | load_restores | cycle_hotkey | restart | quit_writes_once)
    "flow_$flow"
    note "$flow passed"
    ;;
*)
    echo "unknown flow: $flow" >&2
    exit 2
    ;;
esac
