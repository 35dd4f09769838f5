#!/bin/bash
# Screenshot of the desktop program under Xvfb with a window manager and a tray (icewm),
# fed by two tollix-cli peers in network namespaces: the window sits at the right edge of
# the screen with both peers in one group. Needs root (network namespaces).
# Usage: scripts/screenshot-main-window.sh [OUTPUT.png]   (default build/main-window.png)
set -eu
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/main-window.png}")
scripts/install-deps.sh build test
for package in xvfb icewm imagemagick; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package"
done
make build >/dev/null

export TOLLIX_CLI=$PWD/build/apps/tollix-cli/tollix-cli
desktop=$PWD/build/apps/tollix/tollix
. tests/e2e/netns.sh

display=:93
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; cleanup' EXIT
sleep 1
DISPLAY=$display icewm >/dev/null 2>&1 &
sleep 1

new_bridge lan
for host in desk:10.60.0.1 ann:10.60.0.2 bob:10.60.0.3; do
    new_namespace "${host%%:*}"
    plug "${host%%:*}" lan "${host#*:}/24"
done
config="$WORK_DIR/desk"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Dana\nuser%%20last%%20name=Desk\n' \
    >"$config/Quardell/Tollix.conf"
DISPLAY=$display XDG_RUNTIME_DIR=$WORK_DIR ip netns exec "$NS_PREFIX-desk" \
    "$desktop" --config "$config" >"$WORK_DIR/desk.log" 2>&1 &
sleep 2
start_peer ann ANN --first Ann --last Lee --group Sales
start_peer bob BOB --first Bob --last Brown --group Sales
wait_for ANN "^contact${TAB}10\.60\.0\.1"
wait_for BOB "^contact${TAB}10\.60\.0\.1"
sleep 2
import -display "$display" -window root "$output"
echo "screenshot: $output"
