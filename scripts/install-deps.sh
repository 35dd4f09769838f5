#!/bin/sh
# Installs the Debian packages that a make target needs, and only those that are missing,
# so that a fresh Debian 12 machine builds, runs and tests Tollix with one command.
# Usage: scripts/install-deps.sh GROUP...
#        (groups: build test fuzz package try-install bench-files)
set -eu

packages_for() {
    case "$1" in
        build) echo "g++ make cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
                     qt6-svg-dev libqt6svg6 qt6-qpa-plugins libx11-dev libxi-dev libxcb1-dev
                     libbenchmark-dev libqt6sql6-sqlite libssl-dev" ;;
        test) echo "iproute2 xvfb xauth xdotool dbus-daemon dbus-bin sqlite3 tcpdump" ;;
        fuzz) echo "clang libclang-rt-14-dev" ;;
        package) echo "dpkg-dev file lintian" ;;
        try-install) echo "debootstrap" ;;
        bench-files) echo "iproute2 python3" ;;
        *) echo "install-deps: unknown group '$1'" >&2; exit 2 ;;
    esac
}

is_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=""
for group in "$@"; do
    for package in $(packages_for "$group"); do
        is_installed "$package" || missing="$missing $package"
    done
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "install-deps: missing packages:$missing; run as root or install sudo" >&2
    exit 1
fi

echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -q
# shellcheck disable=SC2086 # the package list is meant to split into words
$as_root apt-get install -y -q --no-install-recommends $missing
