#!/bin/bash
# A sends B a 60 MB file over a link slowed to 80 Mbit/s. B is killed at half way and
# started again; A offers the file again, and B goes on from the .part it kept: the resend
# carries far less than the whole file again (counted on B's veth), and the file arrives
# whole, with A's SHA-256.
set -u
. "$(dirname "$0")/netns.sh"

lan_hosts a:10.0.0.1 b:10.0.0.2
in_ns a tc qdisc add dev eth0 root tbf rate 80mbit burst 64kb latency 400ms
mkdir -p "$WORK_DIR/received"
head -c 60M /dev/urandom >"$WORK_DIR/report.bin"
size=$(stat -c %s "$WORK_DIR/report.bin")
rx_bytes() { in_ns b cat /sys/class/net/eth0/statistics/rx_bytes; }

start_peer a A --first Ann
start_peer b B --first Bob --accept-files "$WORK_DIR/received"
wait_for A "^contact${TAB}10\.0\.0\.2"
send_command A "sendfile 10.0.0.2 $WORK_DIR/report.bin"
deadline=$(($(date +%s) + 20))
until [ "$(grep "^file${TAB}progress" "$WORK_DIR/B.out" | tail -n 1 | cut -f4)" -ge $((size / 2)) ] \
    2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "B never got half of the file"
    sleep 0.1
done
kill -9 "$PEER_PID_B"
wait "$PEER_PID_B" 2>/dev/null
eval "exec $PEER_FD_B>&-"
wait_for A "^file${TAB}failed${TAB}"
ls "$WORK_DIR/received"/*.part >/dev/null 2>&1 || fail "B kept no .part"

start_peer b B --first Bob --accept-files "$WORK_DIR/received"
wait_for_count B "^contact${TAB}10\.0\.0\.1${TAB}online" 2
before=$(rx_bytes)
send_command A "sendfile 10.0.0.2 $WORK_DIR/report.bin"
wait_for B "^file${TAB}done${TAB}" 30
carried=$(($(rx_bytes) - before))
echo "the resend carried $carried bytes of $size"
[ "$carried" -lt $((size * 6 / 10)) ] || fail "the resend carried $carried bytes of $size"
sent=$(sha256sum <"$WORK_DIR/report.bin" | cut -d' ' -f1)
got=$(sha256sum <"$WORK_DIR/received/report.bin" | cut -d' ' -f1)
[ "$sent" = "$got" ] || fail "the file arrived with SHA-256 $got, not $sent"
no_alerts A B
echo "PASS"
