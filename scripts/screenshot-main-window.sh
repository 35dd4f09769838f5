#!/bin/bash
# Screenshots of the desktop program under Xvfb with a window manager and a tray (icewm),
# fed by two tollix-cli peers in network namespaces: the window sits at the right edge of
# the screen with both peers in one group and "Ready" in its status bar. Taken at 96 DPI,
# at 120 DPI scaled (device pixel ratio 1.25) and at 120 DPI with larger fonts instead.
# Needs root (network namespaces).
# Usage: scripts/screenshot-main-window.sh [OUTPUT.png]   (default build/main-window.png;
#        the 120 DPI ones go beside it as OUTPUT-120dpi-scaled.png and -120dpi-fonts.png)
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

start_xvfb 1280x1024x24
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
start_peer ann ANN --first Ann --last Lee --group Sales
start_peer bob BOB --first Bob --last Brown --group Sales
wait_for ANN "^state${TAB}connected"
wait_for BOB "^state${TAB}connected"

# shoot RUN OUTPUT ENV...: starts the desktop program with ENV, waits until both peers
# list it for the RUN-th time, takes the picture and ends the program.
shoot() {
    run=$1
    picture=$2
    shift 2
    env DISPLAY="$display" XDG_RUNTIME_DIR="$WORK_DIR" "$@" ip netns exec "$NS_PREFIX-desk" \
        "$desktop" --config "$config" >>"$WORK_DIR/desk.log" 2>&1 &
    desk=$!
    wait_for_count ANN "^contact${TAB}10\.60\.0\.1${TAB}online" "$run"
    wait_for_count BOB "^contact${TAB}10\.60\.0\.1${TAB}online" "$run"
    sleep 2
    import -display "$display" -window root "$picture"
    kill -TERM "$desk"
    wait "$desk" || fail "the desktop program exited with status $?"
    echo "screenshot: $picture"
}

shoot 1 "$output" QT_FONT_DPI=96
shoot 2 "${output%.png}-120dpi-scaled.png" QT_FONT_DPI=120
shoot 3 "${output%.png}-120dpi-fonts.png" QT_FONT_DPI=120 QT_ENABLE_HIGHDPI_SCALING=0
