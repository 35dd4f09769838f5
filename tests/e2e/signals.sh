#!/bin/bash
# tollix-cli ended by SIGTERM, SIGINT or SIGHUP says goodbye like `quit` and exits 0: B
# lists A as offline each time. A second signal while the farewell still waits (for the
# look-up of a tunnel host that never answers) ends A at once.
set -u
. "$(dirname "$0")/netns.sh"

lan_hosts a:10.44.0.1 b:10.44.0.2
hanging_name_server a lan 10.44.0.53

start_peer b B --first Bea
wait_for B "^state${TAB}connected${TAB}online$"
round=0
for signal in TERM INT HUP; do
    round=$((round + 1))
    start_peer a "A$signal" --first "Ann$round"
    wait_for B "^contact${TAB}10\.44\.0\.1${TAB}online${TAB}Other Contacts${TAB}Ann$round"
    eval "pid=\$PEER_PID_A$signal"
    kill -"$signal" "$pid"
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || fail "SIG$signal: tollix-cli exited with status $status"
    wait_for_count B "^contact${TAB}10\.44\.0\.1${TAB}offline" "$round"
done

# The farewell to the tunnel waits for the look-up; a second signal does not.
start_peer a ASLOW --first Slow --tunnel relay.invalid.example
wait_for B "^contact${TAB}10\.44\.0\.1${TAB}online${TAB}Other Contacts${TAB}Slow"
kill -TERM "$PEER_PID_ASLOW"
wait_for B "^contact${TAB}10\.44\.0\.1${TAB}offline" 3
sleep 0.5
kill -0 "$PEER_PID_ASLOW" 2>/dev/null || fail "the farewell did not wait for the look-up"
started=$(date +%s)
kill -TERM "$PEER_PID_ASLOW"
wait "$PEER_PID_ASLOW"
status=$?
[ "$status" -eq $((128 + 15)) ] || fail "after a second SIGTERM: status $status"
[ $(( $(date +%s) - started )) -le 1 ] || fail "a second SIGTERM did not end it at once"

send_command B quit
stop_peer B
no_alerts B
echo "PASS"
