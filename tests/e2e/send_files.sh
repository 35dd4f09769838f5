#!/bin/bash
# A sends B three files, one empty and one over 100 MB; B accepts every offer into a folder
# of its own and each arrives with A's SHA-256 under its own name. D has private
# conversations off: a file it would send fails at once, as one offered to it does, each
# with its reason.
set -u
. "$(dirname "$0")/netns.sh"

lan_hosts a:10.0.0.1 b:10.0.0.2 d:10.0.0.4
mkdir -p "$WORK_DIR/files" "$WORK_DIR/received"
: >"$WORK_DIR/files/empty"
printf 'the minutes of Monday\n' >"$WORK_DIR/files/minutes.txt"
head -c 110M /dev/urandom >"$WORK_DIR/files/big photo.raw"

start_peer a A --first Ann
start_peer b B --first Bob --accept-files "$WORK_DIR/received"
start_peer d D --first Dan --config "$(open_only_config)"
wait_for A "^contact${TAB}10\.0\.0\.2"
wait_for A "^contact${TAB}10\.0\.0\.4"
send_command A "sendfile 10.0.0.2 $WORK_DIR/files/empty $WORK_DIR/files/minutes.txt $WORK_DIR/files/big\\x20photo.raw"
wait_for_count B "^file${TAB}offer${TAB}" 3
wait_for_count B "^file${TAB}done${TAB}" 3 60
for name in empty minutes.txt "big photo.raw"; do
    sent=$(sha256sum <"$WORK_DIR/files/$name" | cut -d' ' -f1)
    got=$(sha256sum <"$WORK_DIR/received/$name" | cut -d' ' -f1)
    [ "$sent" = "$got" ] || fail "$name arrived with SHA-256 $got, not $sent"
    grep -q "^file${TAB}done${TAB}.*${TAB}$WORK_DIR/received/$name${TAB}$sent$" "$WORK_DIR/B.out" ||
        fail "B printed no done line for $name with its SHA-256"
done
wait_for_count A "^file${TAB}done${TAB}" 3
ls "$WORK_DIR/received" | grep -q '\.part$' && fail "a .part was left"

send_command D "sendfile 10.0.0.1 $WORK_DIR/files/minutes.txt"
wait_for D "^file${TAB}failed${TAB}[^${TAB}]+${TAB}this contact's program cannot receive files$"
send_command A "sendfile 10.0.0.4 $WORK_DIR/files/minutes.txt"
wait_for A "^file${TAB}failed${TAB}[^${TAB}]+${TAB}refused$"
grep -q "^file${TAB}offer" "$WORK_DIR/A.out" && fail "A heard of an offer"
no_alerts A B D
echo "PASS"
