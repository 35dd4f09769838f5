#!/bin/bash
# A tunnel named by a host whose look-up hangs: C's only name server is an address whose
# packets a namespace drops without a word. Every message C hears goes into that tunnel,
# yet C answers announcements at once: the median answer stays under 10 ms.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_LOAD:-}" ] || fail "TOLLIX_LOAD is not set to the built tollix-load"

lan_hosts c:10.55.0.1 p:10.55.0.2
hanging_name_server c lan 10.55.0.53

start_peer c C --first Cee --tunnel relay.invalid.example
wait_for C "^state${TAB}connected${TAB}online$"
in_ns p "$TOLLIX_LOAD" probe 10.55.0.2 10.55.0.1 8 500 \
    >"$WORK_DIR/probe.out" || fail "the prober failed"
read -r _ _ answered _ median _ maximum <"$WORK_DIR/probe.out"
echo "answers $answered, median $median ms, maximum $maximum ms"
[ "$answered" = 8/8 ] || fail "C answered $answered announcements"
awk -v m="$median" 'BEGIN { exit !(m >= 0 && m < 10) }' || fail "median answer $median ms"

# The look-up is still under way: quitting waits for the farewell a while, then ends.
started=$(date +%s)
send_command C quit
stop_peer C
[ $(( $(date +%s) - started )) -le 8 ] || fail "C took too long to quit"
echo "PASS"
