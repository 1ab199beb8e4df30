#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Real OBS Studio with Qt 6 in a cached Debian root file system, one per suite:
# trixie (Debian 13, OBS 30, the default) or forky (OBS 32).
#
#   sandbox.sh [SUITE] prepare       make or repair the root (debootstrap + packages)
#   sandbox.sh [SUITE] build         build the plug-in from this working tree inside the root
#   sandbox.sh [SUITE] exec CMD...   run CMD in the root, without network
#   sandbox.sh [SUITE] build-dir     print the build folder as seen inside the root
#
# KESTRUNE_SUITE    suite when none is given (default trixie)
# KESTRUNE_SANDBOX  root folder (default /var/cache/obs-kestrune/SUITE)
# KESTRUNE_MIRROR   Debian mirror (default http://deb.debian.org/debian)
# KESTRUNE_OUT      host folder bound read-write at /out inside the root (exec)
# KESTRUNE_DISPLAY  set to 1 to reach the caller's X display from inside (exec)
#
# Without root it exits with 77, which ctest reports as a skipped test.
# Every mount lives in a private mount namespace of this script's own process,
# so nothing stays mounted once it ends, however it ends.
set -euo pipefail

src=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
suite=${KESTRUNE_SUITE:-trixie}
case ${1:-} in
trixie | forky)
    suite=$1
    shift
    ;;
esac
export KESTRUNE_SUITE=$suite
root=${KESTRUNE_SANDBOX:-/var/cache/obs-kestrune/$suite}
mirror=${KESTRUNE_MIRROR:-http://deb.debian.org/debian}
marker=$root/.kestrune-complete
packages=(obs-studio libobs-dev qt6-base-dev cmake g++ make
    xvfb xauth xdotool x11-xserver-utils imagemagick libgl1-mesa-dri fonts-dejavu-core jq inotify-tools
    tesseract-ocr nodejs)
# One build folder per working tree: two trees never share object files.
build_dir=/var/tmp/kestrune-build/$(printf '%s' "$src" | sha1sum | cut -c1-12)

die() {
    echo "sandbox: $*" >&2
    exit 1
}

if [ "$(id -u)" -ne 0 ]; then
    echo "sandbox: SKIPPED, needs root (debootstrap, chroot and mount namespaces)" >&2
    exit 77
fi
case $root in
/ | "" | /usr | /var | /home | /work) die "refusing KESTRUNE_SANDBOX=$root" ;;
esac

# Runs inside the private namespace: mount what the root needs, then chroot.
inside() {
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t sysfs -o ro sysfs "$root/sys"
    mkdir -p "$root/src" "$root/out" "$root/tmp/.X11-unix"
    mount --bind "$src" "$root/src"
    mount -o remount,bind,ro "$root/src"
    if [ -n "${KESTRUNE_OUT:-}" ]; then
        mount --bind "$KESTRUNE_OUT" "$root/out"
    fi
    local pass=()
    if [ "${KESTRUNE_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
        mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
        pass+=(DISPLAY="$DISPLAY")
        if [ -n "${XAUTHORITY:-}${HOME:-}" ]; then
            local auth=${XAUTHORITY:-$HOME/.Xauthority}
            if [ -f "$auth" ]; then
                cp "$auth" "$root/tmp/.kestrune-xauth"
                pass+=(XAUTHORITY=/tmp/.kestrune-xauth)
            fi
        fi
    fi
    if command -v ip >/dev/null; then
        ip link set lo up 2>/dev/null || true
    fi
    exec chroot "$root" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" DEBIAN_FRONTEND=noninteractive \
        KESTRUNE_BUILD_DIR="$build_dir" KESTRUNE_SUITE="$suite" \
        ${KESTRUNE_E2E_VERSION:+KESTRUNE_E2E_VERSION="$KESTRUNE_E2E_VERSION"} \
        "${pass[@]}" "$@"
}

# enter NETWORK CMD...: NETWORK is "net" (keep the host's) or "nonet".
enter() {
    local flags=(-m --propagation private)
    [ "$1" = nonet ] && flags+=(-n)
    shift
    unshare "${flags[@]}" -- "$0" __inside "$@"
}

prepare() {
    mkdir -p "$(dirname "$root")"
    exec 9>"$root.lock"
    flock 9
    if [ ! -f "$marker" ]; then
        if [ -e "$root" ]; then
            # Only ever delete what an earlier, unfinished run of ours left.
            [ -f "$root/etc/debian_version" ] || [ -d "$root/debootstrap" ] ||
                [ -z "$(ls -A "$root")" ] || die "$root exists and is no Debian root; not touching it"
            echo "sandbox: removing incomplete root $root"
            rm -rf --one-file-system "$root"
        fi
        echo "sandbox: debootstrap $suite into $root"
        # Older debootstraps have no script for forky; sid's serves every later suite.
        local script=()
        [ -e "/usr/share/debootstrap/scripts/$suite" ] || script=(/usr/share/debootstrap/scripts/sid)
        debootstrap --variant=minbase --include=ca-certificates "$suite" "$root" "$mirror" "${script[@]}" \
            >"$root.debootstrap.log" 2>&1 || {
            tail -n 20 "$root.debootstrap.log" >&2
            die "debootstrap failed (log: $root.debootstrap.log)"
        }
    fi
    local wanted
    wanted=$(printf '%s\n' "${packages[@]}")
    if [ "$(cat "$marker" 2>/dev/null)" != "$wanted" ]; then
        echo "sandbox: installing OBS Studio and the build tools"
        cp /etc/resolv.conf "$root/etc/resolv.conf"
        # Testing's Release files can carry a lapsed date; packages are still checked by signature.
        echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99kestrune"
        enter net sh -c 'apt-get update -qq && apt-get install -y -qq --no-install-recommends "$@" >/dev/null' \
            sh "${packages[@]}" || die "apt-get in the root failed"
        printf '%s\n' "$wanted" >"$marker"
    fi
}

build() {
    [ -f "$marker" ] || die "no sandbox yet: run '$0 prepare' first"
    enter nonet sh -c "cmake -S /src -B '$build_dir' -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DBUILD_TESTING=OFF -DKESTRUNE_BUILD_BENCHMARKS=OFF >/dev/null &&
        cmake --build '$build_dir' -j$(nproc) --target obs-kestrune"
}

case ${1:-} in
prepare) prepare ;;
build) build ;;
build-dir) echo "$build_dir" ;;
exec)
    shift
    [ $# -gt 0 ] || die "exec needs a command"
    [ -f "$marker" ] || die "no sandbox yet: run '$0 prepare' first"
    if [ "${KESTRUNE_DISPLAY:-}" = 1 ]; then enter net "$@"; else enter nonet "$@"; fi
    ;;
__inside)
    shift
    inside "$@"
    ;;
*)
    sed -n '3,17p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
