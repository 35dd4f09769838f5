#!/bin/bash
# The desktop program's "Send file" to a contact whose program has private conversations
# off: a file chosen in the dialog's chooser is answered with the box of every contact
# without sessions ("Not implemented yet!", titled Tollix), and nothing reaches the contact.
set -u
. "$(dirname "$0")/netns.sh"
desktop_xvfb
xdo() { DISPLAY=$display xdotool "$@"; }

lan_hosts desk:10.82.0.1 d:10.82.0.4
start_peer d D --first Dan --config "$(open_only_config)"
wait_for D "^state${TAB}connected"
start_desktop desk "$WORK_DIR/desk"
wait_for D "^contact${TAB}10\.82\.0\.1${TAB}online"
xdo windowfocus --sync "$(xdo search --sync --onlyvisible --name '^Tollix$' | head -n 1)"
sleep 1
xdo key Down Down Menu Down Down Return  # the group, its contact, the menu's "Send file"
xdo windowfocus --sync "$(xdo search --sync --onlyvisible --name '^Send file to: Dan' | head -n 1)"
xdo key Return  # Send, with no file yet: the chooser
sleep 1
xdo type "$TOLLIX_CLI"
xdo key Return
sleep 2
[ "$(xdo search --onlyvisible --name '^Tollix$' | wc -l)" -eq 2 ] ||
    fail "no box beside the main window"
grep -q "^file" "$WORK_DIR/D.out" && fail "Dan heard of a file"
kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
echo "PASS"
