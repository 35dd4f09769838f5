#!/bin/bash
# The forged-text flood against the desktop program: 2,000 texts in 10 seconds, each from
# a sender address of its own, to `tollix` on a virtual X server, in network namespaces of
# this script's own. Prints the conversation windows the texts opened, the resident memory
# before and after, and how fast and how often the program answered announcements (one a
# second) meanwhile. Targets: at most 10 windows, at most 60 MB more, a median answer
# under 10 ms.
#
# As root: `make bench-flood-desktop`, or bench/flood_desktop.sh [BUILD_DIR]. Everything is
# sent only to addresses inside the namespaces this script creates, and removed when it
# ends.
set -u
build=${1:-build}
export TOLLIX_CLI="$build/apps/tollix-cli/tollix-cli"
DESKTOP="$build/apps/tollix/tollix"
LOAD="$build/bench/tollix-load"
. "$(dirname "$0")/../tests/e2e/netns.sh"
[ -x "$DESKTOP" ] && [ -x "$LOAD" ] || fail "$DESKTOP or $LOAD is missing; build first"
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || skip "needs Xvfb and xdotool"

DESK=10.34.0.1
lan_hosts desk:$DESK load:10.34.0.2 probe:10.34.0.3

config="$WORK_DIR/desk"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Flooded\nuser%%20last%%20name=Desk\n' \
    >"$config/Quardell/Tollix.conf"
start_xvfb 1280x1024x24
# Not through in_ns: $! must be the program's own process.
DISPLAY="$display" XDG_RUNTIME_DIR="$WORK_DIR" QT_QPA_PLATFORM=xcb \
    ip netns exec "$NS_PREFIX-desk" "$DESKTOP" --config "$config" >"$WORK_DIR/desk.out" 2>&1 &
desk=$!

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$desk/status"; }
windows() { in_ns desk env DISPLAY="$display" xdotool search --name '^Tollix : ' 2>/dev/null | wc -l; }

# Up and answering, then a little time to settle.
in_ns probe "$LOAD" probe 10.34.0.3 "$DESK" 3 >"$WORK_DIR/warmup.out"
grep -q "^probe answered [1-9]" "$WORK_DIR/warmup.out" || fail "the desktop program does not answer"
sleep 2
rss_before=$(rss_kb)
windows_before=$(windows)

in_ns probe "$LOAD" probe 10.34.0.3 "$DESK" 12 >"$WORK_DIR/probe.out" &
prober=$!
sleep 0.5
in_ns load "$LOAD" forged-texts "$DESK" "$DESK" 2000 200 >"$WORK_DIR/flood.out"
wait "$prober"
sleep 1
rss_after=$(rss_kb)
windows_after=$(windows)
read -r _ _ answered _ median _ maximum <"$WORK_DIR/probe.out"
kill -TERM "$desk"
wait "$desk" || fail "the desktop program ended with status $? on SIGTERM"

echo "== forged texts: 2,000 in 10 s, each from a sender of its own, to the desktop program"
echo "texts sent: $(awk '/^sent/ { print $2 }' "$WORK_DIR/flood.out")"
echo "conversation windows opened: $((windows_after - windows_before)) (target at most 10)"
awk -v a="$rss_before" -v b="$rss_after" 'BEGIN {
    printf "resident memory: %.1f MB before, %.1f MB after (%+.1f MB; target at most +60 MB)\n",
           a / 1024, b / 1024, (b - a) / 1024 }'
echo "announcements answered: $answered, median $median ms (target under 10 ms), maximum $maximum ms"
