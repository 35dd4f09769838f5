#!/bin/sh
# Installs a built package the way an administrator does, into a fresh Debian 12 root made
# by debootstrap: dpkg -i, then apt-get -f install for the dependencies. Then runs the
# installed programs there and checks the relay unit against that root.
# Usage (as root): packaging/try-install.sh build/package/tollix_<version>_<arch>.deb
# KEEP_ROOT=1 keeps the root (its path is printed) instead of removing it.
set -eu

deb=$(realpath "$1")
mirror=${MIRROR:-http://deb.debian.org/debian}
root=$(mktemp -d /var/tmp/tollix-root.XXXXXX)

cleanup() {
    umount "$root/proc" 2>/dev/null || true
    if [ "${KEEP_ROOT:-0}" = 1 ]; then
        echo "try-install: the root stays in $root"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

"$(dirname "$0")/../scripts/install-deps.sh" try-install
debootstrap --variant=minbase bookworm "$root" "$mirror"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"

set -x
chroot "$root" dpkg -i "/tmp/$(basename "$deb")" || true  # leaves the dependencies open
chroot "$root" apt-get -f install -y -q
chroot "$root" dpkg -s tollix | grep '^Status: install ok installed'
chroot "$root" tollix --version
chroot "$root" tollix-cli --version
systemd-analyze verify --man=no --root="$root" /lib/systemd/system/tollix-relay.service
systemd-analyze security --offline=true --root="$root" tollix-relay.service | tail -1
