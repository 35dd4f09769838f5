#!/bin/bash
# "Contact info" on a contact named <img src=/dev/zero>, in the desktop program on a real X
# server, shows the name as it is. Taken for rich text, the box would read the "image"
# from /dev/zero and grow by hundreds of megabytes a second.
set -u
. "$(dirname "$0")/netns.sh"
desktop_xvfb
xdo() { DISPLAY=$display xdotool "$@"; }
rss_mb() { awk '/^VmRSS:/ { print int($2 / 1024) }' "/proc/$desk/status"; }

lan_hosts desk:10.81.0.1 b:10.81.0.2
start_peer b B --first '<img src=/dev/zero>'
wait_for B "^state${TAB}connected"
start_desktop desk "$WORK_DIR/desk"
wait_for B "^contact${TAB}10\.81\.0\.1${TAB}online"  # it has had B's answer too
xdo windowfocus --sync "$(xdo search --sync --onlyvisible --name '^Tollix$' | head -n 1)"
sleep 1
before=$(rss_mb)
xdo key Down Down Menu  # the tree: the group, its contact, then the contact menu
sleep 0.5
xdo key Up Return  # its last entry, "Contact info"
sleep 3
after=$(rss_mb)
echo "memory before Contact info: $before MB, with the box open 3 s: $after MB"
[ $((after - before)) -lt 20 ] || fail "the desktop program grew by $((after - before)) MB"
xdo search --onlyvisible --name '^Info$' >/dev/null || fail "no Info box"
kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
echo "PASS"
