# SPDX-License-Identifier: GPL-2.0-or-later
# Shared steps of the end-to-end flows and the demo, sourced inside the OBS
# sandbox: one Xvfb, one real OBS Studio, driven with xdotool.
export HOME=${KESTRUNE_E2E_HOME:-/out/home} DISPLAY=${KESTRUNE_E2E_DISPLAY:-:7}
obs_dir=$HOME/.config/obs-studio plugin_dir=$HOME/.config/obs-studio/plugins/obs-kestrune
config_dir=$obs_dir/plugin_config/obs-kestrune
settings=$config_dir/settings.json snapshots=$config_dir/snapshots
artifacts=${KESTRUNE_E2E_ARTIFACTS:-/out/artifacts}
title="Dock Layout Snapshots" obs_pid='' obs_log='' main='' dialog=''
mkdir -p "$artifacts"
# Reaped here: a zombie Xvfb would keep its display locked for the next flow.
trap '{ kill -KILL $(jobs -p) || true; wait; } 2>/dev/null' EXIT

# fail CHECK MESSAGE: names the failed check, keeps a screenshot, shows OBS's last words.
fail() { echo "FAIL $flow/$1: $2" >&2 && shot "failed-$1"; [ -z "$obs_log" ] || tail -n 25 "$obs_log" >&2; exit 1; }
# wait_until SECONDS CMD...: true as soon as CMD succeeds, false at the deadline.
wait_until() { local n=$(($1 * 10)); until "${@:2}"; do ((n--)) && sleep 0.1 || return 1; done; }
shot() { import -window root "$artifacts/$flow-$1.png" 2>/dev/null; }
windows() { xdotool search --onlyvisible --name "^$title\$" 2>/dev/null || true; }
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1" && sleep 0.2; }
key() { xdotool key --delay 80 "$@" && sleep 0.3; }

# OBS 30 reads global.ini, 31 and later user.ini: no first-run wizard, no updater.
first_run_off() {
    [ -f "$obs_dir/global.ini" ] || { mkdir -p "$obs_dir" &&
        printf '[General]\nFirstRun=true\nEnableAutoUpdates=false\n' | tee "$obs_dir"/{global,user}.ini >/dev/null; }
}
# A fresh OBS user folder with the plug-in installed the way a user installs it.
fresh_home() { rm -rf "$HOME" && first_run_off &&
    cmake --install "$KESTRUNE_BUILD_DIR" --prefix "$plugin_dir" >/dev/null; }

started() { obs_log=$(ls "$obs_dir"/logs/*.txt 2>/dev/null) && grep -q "==== Startup complete" "$obs_log"; }
shown() { main=$(xdotool search --onlyvisible --name '^OBS [0-9]' 2>/dev/null | head -n1) && [ -n "$main" ]; }
start_obs() {
    xdotool getdisplaygeometry &>/dev/null || { Xvfb "$DISPLAY" -screen 0 1600x1000x24 -nolisten tcp 2>/dev/null & }
    wait_until 20 xdotool getdisplaygeometry &>/dev/null || fail startup "Xvfb did not start"
    # Earlier sessions' logs are in the artifacts already: the one left is this session's.
    rm -rf "$obs_dir/logs"
    (cd /tmp && LIBGL_ALWAYS_SOFTWARE=1 QT_QPA_PLATFORM=xcb exec obs --disable-shutdown-check) \
        >>"$artifacts/$flow-obs-output.txt" 2>&1 & obs_pid=$!
    wait_until 90 started && wait_until 30 shown && sleep 1 || fail startup "OBS did not finish its start-up"
}
# A clean exit through OBS's own SIGINT handler, the same path as File > Exit.
stop_obs() {
    kill -INT "$obs_pid" && wait_until 60 eval '! kill -0 $obs_pid 2>/dev/null' && wait "$obs_pid" &&
        cp "$obs_log" "$artifacts/$flow-obs-log.txt" && grep -q "Number of memory leaks" "$obs_log" ||
        fail shutdown "OBS did not shut down cleanly"
}

# The Tools menu by its mnemonic, then its last entry: ours, added after every
# other tool once OBS has finished loading.
open_dialog() {
    focus "$main" && key alt+t && shot tools-menu && key Up Return
    wait_until 10 eval 'dialog=$(windows | head -n1) && [ -n "$dialog" ]' && sleep 0.5 && focus "$dialog" ||
        fail tools-entry "the manager dialog did not open"
}
# Save New: Tab from the search field passes the list and lands on the button.
# The name prompt is the other window with the dialog's title.
prompt() { windows | grep -vxF "$dialog"; }
save() {
    focus "$dialog" && key ctrl+f Tab Tab space && wait_until 10 prompt >/dev/null || fail save "no name prompt"
    focus "$(prompt | head -n1)" && xdotool type --delay 40 "$1" && key Return
    wait_until 10 test -f "$snapshots/$1.json" || fail save "no file for the snapshot \"$1\""
    wait_until 5 eval '! prompt >/dev/null' || fail save "the name prompt stayed open"
}
# Return in the search field loads the snapshot found.
load() { focus "$dialog" && key ctrl+f && xdotool type --delay 40 "$1" && key Return && sleep 1; }

# The Scenes dock's title bar: bottom left in OBS 30's default window, top left in
# OBS 32's. Read anew each time, since loading a snapshot can move the window.
scenes_bar() { eval "$(xdotool getwindowgeometry --shell "$main")"
    bar_x=$X bar_y=$([ "$KESTRUNE_SUITE" = trixie ] && echo $((Y + HEIGHT - 237)) || echo $((Y + 39))); }
# The status bar's message as read from the screen (it shows for 3 s).
status_bar() { eval "$(xdotool getwindowgeometry --shell "$main")"
    import -window root -crop "700x28+$X+$((Y + HEIGHT - 28))" -resize 300% "$artifacts/$flow-status.png" &&
        tesseract "$artifacts/$flow-status.png" - --psm 7 2>/dev/null; }
# A double click on its title bar floats the dock.
float_scenes_dock() { focus "$main" && scenes_bar && xdotool mousemove $((bar_x + 100)) "$bar_y" sleep 0.3 click --repeat 2 1 sleep 1; }
# press KEY [MODIFIER]: function keys go by keycode, since with forky's keyboard
# data "xdotool key F9" holds Alt as well.
press() {
    local code=$(xmodmap -pke | awk -v k="$1" '$4 == k { print $2; exit }')
    xdotool ${2:+keydown $2} keydown "$code" sleep 0.3 keyup "$code" ${2:+keyup $2} sleep 0.2
}
