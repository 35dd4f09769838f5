#!/bin/bash
# The desktop program under floods, on a virtual X server, in network namespaces of this
# script's own; a prober announces itself once a second and times the answers meanwhile.
#
# Forged texts: 2,000 in 10 seconds, each from a sender address of its own. Prints the
# conversation windows they opened and the resident memory before and after. Targets: at
# most 10 windows, at most 60 MB more, a median answer under 10 ms.
#
# Long texts (bench/long_texts.sh): prints how much the history folder grew (its files and
# the WAL). Targets: at most 50 MB, a median answer under 10 ms, the contact's text stored.
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
. "$(dirname "$0")/long_texts.sh"
[ -x "$DESKTOP" ] && [ -x "$LOAD" ] || fail "$DESKTOP or $LOAD is missing; build first"
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || skip "needs Xvfb and xdotool"

DESK=10.34.0.1
FRIEND=10.34.0.4
lan_hosts desk:$DESK load:10.34.0.2 probe:10.34.0.3 friend:$FRIEND
start_xvfb 1280x1024x24

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$desk/status"; }
windows() { in_ns desk env DISPLAY="$display" xdotool search --name '^Tollix : ' 2>/dev/null | wc -l; }

# start_desktop CONFIG: the program with its settings and history in CONFIG, up and
# answering, then given a little time to settle; sets $desk.
start_desktop() {
    mkdir -p "$1/Quardell"
    printf '[settings]\nuser%%20first%%20name=Flooded\nuser%%20last%%20name=Desk\n' \
        >"$1/Quardell/Tollix.conf"
    # Not through in_ns: $! must be the program's own process.
    DISPLAY="$display" XDG_RUNTIME_DIR="$WORK_DIR" QT_QPA_PLATFORM=xcb \
        ip netns exec "$NS_PREFIX-desk" "$DESKTOP" --config "$1" >>"$WORK_DIR/desk.out" 2>&1 &
    desk=$!
    in_ns probe "$LOAD" probe 10.34.0.3 "$DESK" 3 >"$WORK_DIR/warmup.out"
    grep -q "^probe answered [1-9]" "$WORK_DIR/warmup.out" || fail "the desktop program does not answer"
    sleep 2
}

stop_desktop() {
    kill -TERM "$desk"
    wait "$desk" || fail "the desktop program ended with status $? on SIGTERM"
}

# flood SECONDS LOAD-ARGS...: the prober for SECONDS while tollix-load LOAD-ARGS runs.
flood() {
    in_ns probe "$LOAD" probe 10.34.0.3 "$DESK" "$1" >"$WORK_DIR/probe.out" &
    prober=$!
    shift
    sleep 0.5
    in_ns load "$LOAD" "$@" >"$WORK_DIR/flood.out"
    wait "$prober"
    sleep 1
    read -r _ _ answered _ median _ maximum <"$WORK_DIR/probe.out"
}

start_desktop "$WORK_DIR/desk"
rss_before=$(rss_kb)
windows_before=$(windows)
flood 12 forged-texts "$DESK" "$DESK" 2000 200
rss_after=$(rss_kb)
windows_after=$(windows)
stop_desktop
echo "== forged texts: 2,000 in 10 s, each from a sender of its own, to the desktop program"
echo "texts sent: $(awk '/^sent/ { print $2 }' "$WORK_DIR/flood.out")"
echo "conversation windows opened: $((windows_after - windows_before)) (target at most 10)"
awk -v a="$rss_before" -v b="$rss_after" 'BEGIN {
    printf "resident memory: %.1f MB before, %.1f MB after (%+.1f MB; target at most +60 MB)\n",
           a / 1024, b / 1024, (b - a) / 1024 }'
echo "announcements answered: $answered, median $median ms (target under 10 ms), maximum $maximum ms"

# The user wrote to the friend before: a terminal peer on the desktop's address, with the
# same history, sends the text that the program then finds there.
config="$WORK_DIR/desk-long"
mkdir -p "$config"
start_peer friend F --first Friend
start_peer desk W --history --config "$config"
wait_for W "^contact${TAB}${FRIEND//./\\.}${TAB}online"
send_command W "send $FRIEND written before the flood"
wait_for W "^text${TAB}out${TAB}"
send_command W quit
stop_peer W
start_desktop "$config"
bytes_before=$(history_bytes "$config")
( sleep 30.5 && send_command F "send $DESK $CONTACT_TEXT" ) &
# shellcheck disable=SC2086 # the figures are meant to split into words
flood 60 long-texts "$DESK" "$DESK" $LONG_TEXT_LOAD
bytes_after=$(history_bytes "$config")  # while the program runs: the WAL is still there
rss_after=$(rss_kb)
stop_desktop
start_peer desk R --history --config "$config"
send_command R "history $FRIEND"
wait_for R "^end$" 20
for peer in R F; do
    send_command "$peer" quit
    stop_peer "$peer"
done
echo "== $LONG_TEXT_TITLE, to the desktop program"
echo "texts sent: $(awk '/^sent/ { print $2 }' "$WORK_DIR/flood.out");" \
    "resident memory after: $(awk -v k="$rss_after" 'BEGIN { printf "%.1f", k / 1024 }') MB"
long_text_figures "$bytes_before" "$bytes_after" "$WORK_DIR/R.out"
