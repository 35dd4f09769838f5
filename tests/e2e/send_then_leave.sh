#!/bin/bash
# `tollix-cli --send` (a script's typical use) sends its text, then its farewell at once.
# The desktop program, on a real X server, keeps the text where the user sees it: its
# window stays open after the sender has left, and the history keeps it unread until the
# user has the window in front of them.
set -u
. "$(dirname "$0")/netns.sh"
desktop_xvfb sqlite3
xdo() { DISPLAY=$display xdotool "$@"; }

lan_hosts desk:10.82.0.1 s:10.82.0.2 b:10.82.0.3
config="$WORK_DIR/desk-config"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Dee\nuser%%20last%%20name=Sk\n' >"$config/Quardell/Tollix.conf"
history="$config/Quardell/Tollix/history.sqlite"

start_peer b B --first Bea
wait_for B "^state${TAB}connected"
start_desktop desk "$config"
wait_for B "^contact${TAB}10\.82\.0\.1${TAB}online"

in_ns s "$TOLLIX_CLI" --first Sam --send 10.82.0.1 "build done" >"$WORK_DIR/S.out" 2>&1 ||
    fail "tollix-cli --send exited with status $?"
marks() { sqlite3 "$history" "SELECT text || ':' || unread FROM entries" 2>/dev/null; }
for _ in $(seq 50); do
    [ "$(marks)" = "build done:1" ] && break
    sleep 0.1
done
[ "$(marks)" = "build done:1" ] || fail "stored as '$(marks)', not unread"
sleep 1  # the farewell came right behind the text
window=$(xdo search --name '^Tollix : Sam user$' | head -n 1)
[ -n "$window" ] || fail "no conversation window with Sam after Sam left"
[ "$(marks)" = "build done:1" ] || fail "read without the window being looked at"

# The user opens it from the tree, where Sam is still listed (last, after Bea), with "Send
# message" in the contact menu.
frame=$(xdo search --onlyvisible --name '^Tollix$' | head -n 1)
xdo windowfocus --sync "$frame"
sleep 1
xdo key Down End Menu  # the first key only makes an item current
sleep 0.5
xdo key Down Return
for _ in $(seq 50); do
    [ "$(marks)" = "build done:0" ] && break
    sleep 0.1
done
[ "$(marks)" = "build done:0" ] || fail "still '$(marks)' after the window was in front of the user"

kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
send_command B quit
stop_peer B
echo "PASS"
