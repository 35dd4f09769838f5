#!/bin/bash
# A at 10.0.0.1 and B share a subnet. B's names and text carry ESC, CR, BEL, DEL and a C1
# control: A prints them escaped, and no control byte but TABs and line ends. F forges a
# text with A's address as its sender: A shows as its own only the text it sent. B writes
# openly (private conversations off), so that its texts reach A in the group's order.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_LOAD:-}" ] || fail "TOLLIX_LOAD is not set to the built tollix-load"

lan_hosts a:10.0.0.1 b:10.0.0.2 f:10.0.0.3  # tollix-load forges 10.0.0.1 first
start_peer a A --first Ann --last Lee
wait_for A "^state${TAB}connected"
start_peer b B --first $'Bob\e[2J' --last $'Br\rown' --group $'Ops\xc2\x9b1m' \
    --config "$(open_only_config)"
wait_for A "^contact${TAB}10\.0\.0\.2"
send_command B $'send 10.0.0.1 red\e[31m \\x1b]0;title\\x07 del\x7f cr\rmid end'
send_command A "send 10.0.0.2 mine"
wait_for A "^text${TAB}in${TAB}10\.0\.0\.2"
wait_for A "^text${TAB}out${TAB}10\.0\.0\.2${TAB}Ann Lee${TAB}mine${TAB}open$"
in_ns f "$TOLLIX_LOAD" forged-texts 10.0.0.1 10.0.0.2 1 10 >/dev/null
send_command B "send 10.0.0.1 after the forgery"  # reaches A after F's datagram
wait_for A "after the forgery${TAB}open$"
send_command A quit
stop_peer A

grep "forged text" "$WORK_DIR/A.out" && fail "A showed the forged text as its own"
grep -qF "Ops\\xc2\\x9b1m${TAB}Bob\\x1b[2J${TAB}Br\\rown" "$WORK_DIR/A.out" ||
    fail "B's names are not escaped"
grep -qF 'red\x1b[31m \x1b]0;title\x07 del\x7f cr\rmid end' "$WORK_DIR/A.out" ||
    fail "B's text is not escaped"
LC_ALL=C grep -qaP '[\x00-\x08\x0b-\x1f\x7f]|\xc2[\x80-\x9f]' "$WORK_DIR/A.out" &&
    fail "a control byte reached A's standard output"
no_alerts A
echo "PASS"
