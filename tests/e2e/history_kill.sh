#!/bin/bash
# A text shown is a text kept: A sends 1,000 texts to B, a `tollix-cli --history`, which is
# killed with SIGKILL at a random moment after A saw its last text come back (an open
# text) or acknowledged (a private one). Started again, B's `history` command answers all 1,000, in the order A saw them go out, from A's
# address and with A's name, times in ISO 8601 UTC.
#
# A message whose random ID repeats one of the last 100 heard is dropped as a duplicate by
# every copy, the sender included (about one run in ten with 1,000 texts): A sends a text
# again until it has seen it go out.
set -u
. "$(dirname "$0")/netns.sh"

lan_hosts a:10.79.0.1 b:10.79.0.2
config="$WORK_DIR/b-config"
mkdir -p "$config"

start_peer b B --first Bea --history --config "$config"
start_peer a A --first Al --last Sender
wait_for A "^contact${TAB}10\.79\.0\.2${TAB}online"
wait_for B "^contact${TAB}10\.79\.0\.1${TAB}online"

texts_out() { grep "^text${TAB}out${TAB}" "$WORK_DIR/A.out" | cut -f5; }
send_texts() {
    count=0
    for n in "$@"; do
        send_command A "send 10.79.0.2 text $n"
        # Paced, so that no datagram is lost in a full receive buffer.
        count=$((count + 1))
        [ $((count % 50)) -eq 0 ] && sleep 0.05
    done
}
send_texts $(seq 1 1000)
last=-1
quiet=0
rounds=0
while [ "$(texts_out | wc -l)" -lt 1000 ]; do
    now=$(texts_out | wc -l)
    [ "$now" -eq "$last" ] && quiet=$((quiet + 1)) || quiet=0
    last=$now
    if [ "$quiet" -ge 10 ]; then  # a second without a new one: some were dropped
        rounds=$((rounds + 1))
        [ "$rounds" -le 3 ] || fail "A saw only $now of the 1,000 texts go out"
        send_texts $(seq 1 1000 | sed 's/^/text /' | grep -vxFf <(texts_out) | cut -d' ' -f2)
        quiet=0
    fi
    sleep 0.1
done
# A private text is shown as it is written; B has it once its ACK came back.
wait_for_count A "^delivered${TAB}" "$(grep -c "^text${TAB}out${TAB}.*${TAB}private$" "$WORK_DIR/A.out")" 30
sleep "$(printf '0.%03d' $((RANDOM % 500)))"
kill -KILL "$PEER_PID_B"
wait "$PEER_PID_B" 2>/dev/null
shown=$(grep -c "^text${TAB}in${TAB}" "$WORK_DIR/B.out")

start_peer b B2 --history --config "$config"
send_command B2 "history 10.79.0.1 5000"
wait_for B2 "^end$" 20
grep "^history" "$WORK_DIR/B2.out" >"$WORK_DIR/answer.txt"
texts_out >"$WORK_DIR/want.txt"
cut -f6 "$WORK_DIR/answer.txt" | diff -q - "$WORK_DIR/want.txt" >/dev/null ||
    fail "history answered $(wc -l <"$WORK_DIR/answer.txt") texts (B showed $shown before it was killed), not the 1,000 in order"
grep -Evq "^history${TAB}[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}Z${TAB}in${TAB}10\.79\.0\.1${TAB}Al Sender${TAB}text [0-9]+$" \
    "$WORK_DIR/answer.txt" && fail "a history line is not as expected"

send_command B2 "history 10.79.0.1"
wait_for_count B2 "^end$" 2
[ "$(grep -c "^history" "$WORK_DIR/B2.out")" -eq 1020 ] || fail "history without N did not answer 20"
for peer in B2 A; do
    send_command "$peer" quit
    stop_peer "$peer"
done
no_alerts A B2
echo "PASS"
