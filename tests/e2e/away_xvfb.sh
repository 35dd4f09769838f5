#!/bin/bash
# The desktop program's activity source on a real X server: with no input for the away
# time-out the copy announces that it is away (a tollix-cli peer sees "away"), a key
# release alone changes nothing, and one key press brings it back online.
set -u
. "$(dirname "$0")/netns.sh"
desktop_xvfb

new_bridge lan
new_namespace desk
new_namespace b
plug desk lan 10.79.0.1/24
plug b lan 10.79.0.2/24

config="$WORK_DIR/desk-config"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Dee\nuser%%20last%%20name=Sk\nAWAY%%20notification%%20timeout=3\n' \
    >"$config/Quardell/Tollix.conf"

start_peer b B --first Bea
wait_for B "^state${TAB}connected"
start_desktop desk "$config"
present="^contact${TAB}10\.79\.0\.1${TAB}"
wait_for B "${present}online"
wait_for B "${present}away" 10

xkey() { DISPLAY=$display xdotool "$@"; }
xkey keyup a  # a release alone is no activity
sleep 2.5
[ "$(grep -c "${present}online" "$WORK_DIR/B.out")" -eq 1 ] || fail "a key release brought the copy back"
xkey keydown a
wait_for_count B "${present}online" 2 5
xkey keyup a
xkey keydown b keyup b  # further input sends nothing more
sleep 1
[ "$(grep -c "${present}online" "$WORK_DIR/B.out")" -eq 2 ] || fail "not exactly one return online"

kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
wait_for B "${present}offline"
send_command B quit
stop_peer B
echo "PASS"
