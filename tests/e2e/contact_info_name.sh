#!/bin/bash
# A contact named <img src=/dev/zero>: "Contact info" on it, in the desktop program on a real
# X server, shows the name as it is. Had the box taken the name for rich text, it would read
# the "image" from /dev/zero and grow by hundreds of megabytes a second.
set -u
. "$(dirname "$0")/netns.sh"
desktop_xvfb
xdo() { DISPLAY=$display xdotool "$@"; }

lan_hosts desk:10.81.0.1 b:10.81.0.2
config="$WORK_DIR/desk-config"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Dee\nuser%%20last%%20name=Sk\n' >"$config/Quardell/Tollix.conf"

start_peer b B --first '<img src=/dev/zero>' --last '' --group Ops
wait_for B "^state${TAB}connected"
start_desktop desk "$config"
wait_for B "^contact${TAB}10\.81\.0\.1${TAB}online"  # the desktop has had B's answer too

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$desk/status"; }
frame=$(xdo search --sync --onlyvisible --name '^Tollix$' | head -n 1)
xdo windowfocus --sync "$frame"
sleep 1
before=$(rss)
# The tree has the focus: the group, then its contact, then the contact menu's last entry.
xdo key Down Down Menu
sleep 0.5
xdo key Up Return
for _ in $(seq 50); do  # a box that reads /dev/zero never shows
    xdo search --onlyvisible --name '^Info$' >/dev/null && break
    sleep 0.1
done
xdo search --onlyvisible --name '^Info$' >/dev/null || echo "the Info box did not show"
sleep 3
after=$(rss)
kill -0 "$desk" 2>/dev/null || fail "the desktop program ended"
grows=$(( (after - before) / 1024 ))
echo "memory before Contact info: $((before / 1024)) MB, with the box open 3 s: $((after / 1024)) MB"
[ "$grows" -lt 20 ] || fail "the desktop program grew by $grows MB"

kill -TERM "$desk"
wait "$desk" || fail "the desktop program exited with status $?"
send_command B quit
stop_peer B
echo "PASS"
