#!/bin/bash
# What another host sends cannot pose as the user or reach the terminal raw. A at 10.0.0.1
# and B share a subnet. B's name and text carry ESC, CR, BEL, DEL and a C1 control; A
# prints them escaped, and no control byte but the TABs and line ends of its events. F,
# a third host, forges a text with A's address as its sender to B: A counts it but shows
# and stores only the text it sent itself.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_LOAD:-}" ] || fail "TOLLIX_LOAD is not set to the built tollix-load"

# tollix-load names its n-th forged sender 10.0.0.n: the first is A.
lan_hosts a:10.0.0.1 b:10.0.0.2 f:10.0.0.3

start_peer a A --first Ann --last Lee --history --config "$WORK_DIR/a"
wait_for A "^state${TAB}connected${TAB}online$"
start_peer b B --first $'Bob\e[2J' --last $'Br\rown' --group $'Ops\xc2\x9b1m'
wait_for A "^contact${TAB}10\.0\.0\.2${TAB}online${TAB}"

# Raw bytes and the escapes of a command's text both reach A as control characters.
send_command B $'send 10.0.0.1 red\e[31m \\x1b]0;title\\x07 del\x7f cr\rmid end'
wait_for A "^text${TAB}in${TAB}10\.0\.0\.2${TAB}"
send_command A "send 10.0.0.2 mine"
wait_for A "^text${TAB}out${TAB}10\.0\.0\.2${TAB}Ann Lee${TAB}mine$"

# message_packets: A's count of texts heard, from a fresh `stats` answer.
message_packets() {
    answers=$(grep -c "^stats${TAB}Tunnels amount" "$WORK_DIR/A.out")
    send_command A stats
    wait_for_count A "^stats${TAB}Tunnels amount" $((answers + 1))
    stat_value A "Message packets"
}
[ "$(message_packets)" = 2 ] || fail "A heard $(message_packets) texts, not 2"
in_ns f "$TOLLIX_LOAD" forged-texts 10.0.0.1 10.0.0.2 1 10 >/dev/null
deadline=$(( $(date +%s) + 10 ))
until [ "$(message_packets)" = 3 ]; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "A never heard the forged text"
    sleep 0.2
done
send_command A "history 10.0.0.2"
wait_for A "^end$"
grep -q "forged text" "$WORK_DIR/A.out" && fail "A showed or stored the forged text as its own"
[ "$(grep -c "^history${TAB}[^${TAB}]*${TAB}out${TAB}" "$WORK_DIR/A.out")" = 1 ] ||
    fail "A stored other than one text of its own"

send_command A quit
stop_peer A
send_command B quit
stop_peer B

# Every field arrived, escaped; nothing but TAB and the line end is a control byte.
grep -qF "contact${TAB}10.0.0.2${TAB}online${TAB}Ops\\xc2\\x9b1m${TAB}Bob\\x1b[2J${TAB}Br\\rown" \
    "$WORK_DIR/A.out" || fail "B's names are not escaped as they should be"
grep -qF 'red\x1b[31m \x1b]0;title\x07 del\x7f cr\rmid end' "$WORK_DIR/A.out" ||
    fail "B's text is not escaped as it should be"
LC_ALL=C grep -qaP '[\x00-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]' "$WORK_DIR/A.out" &&
    fail "a control byte reached A's standard output"
no_alerts A B
echo "PASS"
