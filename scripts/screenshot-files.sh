#!/bin/bash
# Screenshots of files sent and received by the desktop program under Xvfb with a window
# manager (icewm), fed by tollix-cli peers in network namespaces:
#   - OUTPUT.png: the file transfer dialog while a file goes to Ann, chosen through the
#     dialog's chooser as a user would (a 20 Mbit/s link makes the transfer last);
#   - OUTPUT-offer.png: the conversation window that Bob's offer of two files opened, with
#     its Accept, "Save as..." and Decline.
# Needs root (network namespaces).
# Usage: scripts/screenshot-files.sh [OUTPUT.png]   (default build/file-transfer.png; the
#        README's pictures are docs/file-transfer.png and docs/file-transfer-offer.png)
set -eu
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-build/file-transfer.png}")
. scripts/desktop-scene.sh xdotool

new_bridge lan
for host in desk:10.61.0.1 ann:10.61.0.2 bob:10.61.0.3; do
    new_namespace "${host%%:*}"
    plug "${host%%:*}" lan "${host#*:}/24"
done
# Slow enough for a picture in the middle of the transfer.
tc -n "$NS_PREFIX-desk" qdisc add dev eth0 root tbf rate 20mbit burst 32kb latency 50ms

files="$WORK_DIR/files"
mkdir -p "$files" "$WORK_DIR/ann-inbox"
head -c 150M /dev/urandom >"$files/Site survey 2026.mp4"
head -c 2411724 /dev/urandom >"$files/Quarterly report.pdf"
head -c 318467 /dev/urandom >"$files/Floor plan.png"

start_peer ann ANN --first Ann --last Lee --group Sales --accept-files "$WORK_DIR/ann-inbox"
start_peer bob BOB --first Bob --last Brown --group Sales
config="$WORK_DIR/desk"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Dana\nuser%%20last%%20name=Desk\n' \
    >"$config/Quardell/Tollix.conf"
# Started in the files' folder, where the dialog's chooser opens.
env --chdir="$files" DISPLAY="$display" XDG_RUNTIME_DIR="$WORK_DIR" QT_FONT_DPI=96 \
    ip netns exec "$NS_PREFIX-desk" "$desktop" --config "$config" >>"$WORK_DIR/desk.log" 2>&1 &
desk=$!
for peer in ANN BOB; do
    wait_for "$peer" "^contact${TAB}10\.61\.0\.1${TAB}online" 20
done
sleep 1

# window NAME [--onlyvisible]: the ID of the (visible) window whose title matches NAME.
window() {
    for _ in $(seq 100); do
        id=$(DISPLAY=$display xdotool search ${2:-} --name "$1" | head -n 1) || true
        [ -n "$id" ] && { echo "$id"; return; }
        sleep 0.1
    done
    fail "no window named /$1/" >&2
}
# shoot WINDOW OUTPUT: the window with its frame.
shoot() {
    import -display "$display" -frame -window "$1" "$2"
    echo "screenshot: $2"
}

# Bob offers two files: his conversation opens with the offer, minimised (as a text's
# would) until the user brings it forward.
send_command BOB "sendfile 10.61.0.1 $files/Quarterly\\x20report.pdf $files/Floor\\x20plan.png"
wait_for BOB "^file${TAB}sending${TAB}.*Floor plan.png"
conversation=$(window "Bob Brown") || exit 1
DISPLAY=$display xdotool windowactivate --sync "$conversation"
DISPLAY=$display xdotool windowsize "$conversation" 600 330
sleep 2
shoot "$conversation" "${output%.png}-offer.png"

# "Send file" from Ann's menu in the tree, then Send: the chooser opens in the files'
# folder, where the name is typed as a user would.
main=$(window "^Tollix$" --onlyvisible) || exit 1
DISPLAY=$display xdotool windowactivate --sync "$main"
eval "$(DISPLAY=$display xdotool getwindowgeometry --shell "$main")"
ann_row=$((Y + 66 + 20 * 1))  # the group "Sales", then Ann
DISPLAY=$display xdotool mousemove "$((X + 70))" "$ann_row" click 1 click 3
sleep 0.5
DISPLAY=$display xdotool key Down Down Return

dialog=$(window '^Send file to' --onlyvisible) || exit 1
DISPLAY=$display xdotool windowactivate --sync "$dialog" key Return
sleep 1
DISPLAY=$display xdotool type --delay 20 '"Site survey 2026.mp4"'
DISPLAY=$display xdotool key Return
wait_for ANN "^file${TAB}offer${TAB}" 20
sleep 8
shoot "$dialog" "$output"

kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
