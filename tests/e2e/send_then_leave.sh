#!/bin/bash
# `tollix-cli --send` (a script's typical use) sends its text, then its farewell at once.
# The desktop program, on a real X server, keeps the text where the user sees it: its
# window stays open after the sender has left, and the history keeps it unread until the
# user has the window in front of them.
set -u
. "$(dirname "$0")/netns.sh"
desktop_xvfb sqlite3
xdo() { DISPLAY=$display xdotool "$@"; }
marks() { sqlite3 "$WORK_DIR/desk/Quardell/Tollix/history.sqlite" \
    "SELECT text || ':' || unread FROM entries" 2>/dev/null; }
expect_marks() {  # WANTED WHEN: the history holds WANTED within 5 s
    for _ in $(seq 50); do [ "$(marks)" = "$1" ] && return; sleep 0.1; done
    fail "$2, the history holds '$(marks)'"
}

lan_hosts desk:10.82.0.1 s:10.82.0.2 b:10.82.0.3
start_peer b B --first Bea
wait_for B "^state${TAB}connected"
start_desktop desk "$WORK_DIR/desk"
wait_for B "^contact${TAB}10\.82\.0\.1${TAB}online"
in_ns s "$TOLLIX_CLI" --first Sam --send 10.82.0.1 "build done" >"$WORK_DIR/S.out" 2>&1 ||
    fail "tollix-cli --send exited with status $?"
expect_marks "build done:1" "once Sam has sent"
sleep 1
xdo search --name '^Tollix : Sam user$' >/dev/null || fail "no window with Sam after Sam left"
expect_marks "build done:1" "with the window not looked at"
# The user opens it from the tree, where Sam is still listed (last, after Bea).
xdo windowfocus --sync "$(xdo search --onlyvisible --name '^Tollix$' | head -n 1)"
sleep 1
xdo key Down End Menu  # the first key only makes an item current
sleep 0.5
xdo key Down Return  # "Send message"
expect_marks "build done:0" "with the window in front of the user"
kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
echo "PASS"
