#!/usr/bin/env bash
# ctest entry of the end-to-end flows: prepares the OBS sandbox and builds
# the plug-in there (setup), or runs one flow inside it.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
out=${KESTRUNE_E2E_OUT:?set by ctest}

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the end-to-end tests need root (debootstrap, chroot, mount namespaces)"
    exit 77
fi

case ${1:?setup or a flow name} in
setup)
    "$repo/scripts/sandbox.sh" prepare
    "$repo/scripts/sandbox.sh" build
    rm -rf "$out"
    mkdir -p "$out"
    ;;
*)
    mkdir -p "$out"
    KESTRUNE_OUT=$out exec "$repo/scripts/sandbox.sh" exec /src/tests/e2e/flows.sh "$1"
    ;;
esac
