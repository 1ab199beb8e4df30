# Shared steps of the end-to-end flows, sourced inside the OBS sandbox:
# one Xvfb, one real OBS Studio, driven with xdotool and checked through
# files, OBS's own log and screenshots.

export HOME=${KESTRUNE_E2E_HOME:-/out/home}
export DISPLAY=${KESTRUNE_E2E_DISPLAY:-:7}
obs_dir=$HOME/.config/obs-studio
plugin_dir=$obs_dir/plugins/obs-kestrune
config_dir=$obs_dir/plugin_config/obs-kestrune
settings=$config_dir/settings.json
snapshots=$config_dir/snapshots
artifacts=${KESTRUNE_E2E_ARTIFACTS:-/out/artifacts}
title="Dock Layout Snapshots"
flow=${flow:-e2e}

obs_pid=
xvfb_pid=
obs_log=
main_window=
dialog_window=

mkdir -p "$artifacts"

note() { echo "-- $*"; }

fail() {
    echo "FAIL ($flow): $*" >&2
    if [ -n "$xvfb_pid" ]; then
        shot failure || true
    fi
    if [ -n "$obs_log" ]; then
        echo "--- last lines of the OBS log ($obs_log):" >&2
        tail -n 25 "$obs_log" >&2 || true
    fi
    exit 1
}

# wait_until SECONDS CMD...: true as soon as CMD succeeds, false at the deadline.
wait_until() {
    local deadline=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}

shot() {
    import -window root "$artifacts/$flow-$1.png" 2>/dev/null
}

cleanup() {
    if [ -n "$obs_pid" ] && kill -0 "$obs_pid" 2>/dev/null; then
        kill -KILL "$obs_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# A fresh OBS user folder: first-run wizard and updater off, the plug-in
# installed the way a user installs it.
fresh_home() {
    rm -rf "$HOME"
    mkdir -p "$obs_dir"
    printf '[General]\nFirstRun=true\nEnableAutoUpdates=false\n' >"$obs_dir/global.ini"
    cmake --install "$KESTRUNE_BUILD_DIR" --prefix "$plugin_dir" >/dev/null ||
        fail "cmake --install into the user plug-in folder failed"
    [ -f "$plugin_dir/bin/64bit/obs-kestrune.so" ] || fail "no module at $plugin_dir/bin/64bit"
    [ -f "$plugin_dir/data/locale/en-US.ini" ] || fail "no locale at $plugin_dir/data/locale"
}

new_log() {
    local f
    for f in "$obs_dir"/logs/*.txt; do
        [ -f "$f" ] || continue
        grep -qxF "$f" <<<"$logs_before" || {
            obs_log=$f
            return 0
        }
    done
    return 1
}

startup_complete() { new_log && grep -q "==== Startup complete" "$obs_log"; }

find_main_window() {
    main_window=$(xdotool search --onlyvisible --name '^OBS [0-9]' 2>/dev/null | head -n1)
    [ -n "$main_window" ]
}

start_obs() {
    if [ -z "$xvfb_pid" ]; then
        Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp >>"$artifacts/$flow-xvfb.txt" 2>&1 &
        xvfb_pid=$!
        wait_until 20 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"
    fi
    mkdir -p "$obs_dir/logs"
    logs_before=$(ls -d "$obs_dir"/logs/*.txt 2>/dev/null || true)
    obs_log=
    (cd /tmp && LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb \
        exec obs --disable-shutdown-check >>"$artifacts/$flow-obs-output.txt" 2>&1) &
    obs_pid=$!
    wait_until 90 startup_complete || fail "OBS did not report the end of its start-up"
    wait_until 30 find_main_window || fail "the OBS main window did not appear"
    # The main window shows a moment after start-up; let it settle.
    sleep 1
}

# A clean exit through OBS's own SIGINT handler, the same path as File > Exit.
stop_obs() {
    kill -INT "$obs_pid"
    wait_until 60 sh -c "! kill -0 $obs_pid 2>/dev/null" || fail "OBS did not exit within 60 s"
    local rc=0
    wait "$obs_pid" || rc=$?
    obs_pid=
    cp "$obs_log" "$artifacts/$flow-obs-log.txt"
    [ "$rc" -eq 0 ] || fail "OBS exited with status $rc"
    grep -q "Number of memory leaks" "$obs_log" || fail "OBS did not finish its shutdown"
}

windows_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

focus() {
    xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
    sleep 0.2
}

key() {
    xdotool key --delay 80 "$@"
    sleep 0.3
}

# Opens the Tools menu by its mnemonic and picks its last entry, ours: the
# plug-in adds it once OBS has finished loading, after every other tool.
open_dialog_from_tools() {
    focus "$main_window"
    key alt+t
    shot tools-menu
    key Up Return
    wait_for_dialog
}

find_dialog() {
    dialog_window=$(windows_named "$title" | head -n1)
    [ -n "$dialog_window" ]
}

wait_for_dialog() {
    wait_until 10 find_dialog || fail "the manager dialog did not open"
    sleep 0.5
    focus "$dialog_window"
}

# The name prompt is the second window with the dialog's title.
find_prompt() {
    prompt_window=$(windows_named "$title" | grep -vxF "$dialog_window" | head -n1)
    [ -n "$prompt_window" ]
}

# Save New: from the search field, Tab passes the list and lands on "Save New".
save_through_dialog() {
    local name=$1
    focus "$dialog_window"
    key ctrl+f Tab Tab space
    wait_until 10 find_prompt || fail "the name prompt did not open"
    focus "$prompt_window"
    xdotool type --delay 40 "$name"
    key Return
    wait_until 10 test -f "$snapshots/$name.json" || fail "no file for the snapshot \"$name\""
    wait_until 5 sh -c "! xdotool search --onlyvisible --name '^$title\$' | grep -qvxF '$dialog_window'" ||
        fail "the name prompt stayed open"
}

# Search for a name and press Return in the search field: loads the match.
load_through_dialog() {
    focus "$dialog_window"
    key ctrl+f
    xdotool type --delay 40 "$1"
    key Return
}

json() { jq -er "$1" "${2:-$settings}"; }

press() {
    xdotool keydown "$1"
    sleep 0.3
    xdotool keyup "$1"
    sleep 0.2
}
