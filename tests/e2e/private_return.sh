#!/bin/bash
# A writes privately to B. B is stopped and A writes again: the text waits. B starts again
# and shows it within 5 s. Then B starts with a new identity: A's next text brings the
# `changed` event and waits; B gets nothing until A's user trusts the new code.
set -u
. "$(dirname "$0")/netns.sh"

lan_hosts a:10.0.0.1 b:10.0.0.2
start_peer a A --first Ann --history
start_peer b B --first Bob
wait_for A "^contact${TAB}10\.0\.0\.2"
send_command A "send 10.0.0.2 before"
wait_for B "^text${TAB}in${TAB}10\.0\.0\.1${TAB}Ann user${TAB}before${TAB}private$"
wait_for A "^delivered${TAB}10\.0\.0\.2$"

send_command B quit
stop_peer B
wait_for A "^contact${TAB}10\.0\.0\.2${TAB}offline"
send_command A "send 10.0.0.2 while you were away"
wait_for A "^waiting${TAB}10\.0\.0\.2${TAB}while you were away$"
start_peer b B --first Bob
wait_for B "^text${TAB}in${TAB}10\.0\.0\.1${TAB}Ann user${TAB}while you were away${TAB}private$" 5
wait_for_count A "^delivered${TAB}10\.0\.0\.2$" 2

send_command B quit
stop_peer B
rm "$WORK_DIR/B.data/Quardell/Tollix/identity.pem"
start_peer b B --first Bob
wait_for_count A "^contact${TAB}10\.0\.0\.2${TAB}online" 3
send_command A "send 10.0.0.2 after the change"
wait_for A "^session${TAB}10\.0\.0\.2${TAB}changed${TAB}[0-9A-F ]{49}$"
wait_for A "^waiting${TAB}10\.0\.0\.2${TAB}after the change$"
sleep 2
grep -q "after the change" "$WORK_DIR/B.out" && fail "B got a text before its code was trusted"
send_command A "trust 10.0.0.2"
wait_for B "^text${TAB}in${TAB}10\.0\.0\.1${TAB}Ann user${TAB}after the change${TAB}private$"
wait_for_count A "^delivered${TAB}10\.0\.0\.2$" 3
new_code=$(grep "^session${TAB}10\.0\.0\.2${TAB}changed" "$WORK_DIR/A.out" | cut -f4)
wait_for A "^session${TAB}10\.0\.0\.2${TAB}private${TAB}$new_code$"

send_command A "history 10.0.0.2"
wait_for A "^end$"
# The text written while B was not listed waited unshown; the others are stored once each.
[ "$(grep -c "^history.*${TAB}out${TAB}" "$WORK_DIR/A.out")" -eq 2 ] ||
    fail "A's history does not hold its texts to a listed B once each"
for peer in A B; do send_command $peer quit; done
for peer in A B; do stop_peer $peer; done
no_alerts A B
echo "PASS"
