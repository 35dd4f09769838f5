#!/bin/bash
# Two copies on one subnet: A's HELLO is heard by B and by A itself, with A's address as
# the sender. Then a copy whose only address is 192.168.x.x and that leaves such
# addresses out joins successfully and puts nothing on the network.
set -u
. "$(dirname "$0")/netns.sh"

TAB=$'\t'

new_bridge lan
new_namespace a
new_namespace b
plug a lan 10.77.0.1/24
plug b lan 10.77.0.2/24

start_peer b B --first Bea --last Two --group Ops
wait_for B "^state${TAB}connected"
start_peer a A --first Ann --last Lee --group Dev
wait_for A "^state${TAB}connected"

hello="${TAB}msgType=1${TAB}from=${TAB}fromPort=0${TAB}to=${TAB}tunnel=0${TAB}body=\|CLIENT=Tollix v.1.2.0\|FIRSTNAME=Ann\|SECONDNAME=Lee\|GROUP=Dev\|"
wait_for B "^heard${TAB}10\.77\.0\.1:[0-9]+${TAB}magic=\*TOLLIX\*${TAB}version=3${TAB}id=[0-9]+${hello}$"
wait_for A "^heard${TAB}10\.77\.0\.1:[0-9]+${TAB}.*${hello}$"
send_command A quit
stop_peer A
stop_peer B
grep -q "^alert" "$WORK_DIR/A.out" "$WORK_DIR/B.out" && fail "a peer reported an alert"
grep -q "^state${TAB}disconnected" "$WORK_DIR/A.out" || fail "A did not leave the group"

# Only a 192.168.x.x address, and such addresses left out: the join succeeds, nothing goes
# out, and a listener on the same subnet hears nothing from it.
new_bridge home
new_namespace c
new_namespace d
plug c home 192.168.50.1/24
plug d home 192.168.50.2/24
mkdir -p "$WORK_DIR/c-config/Quardell"
printf '[settings]\nignore%%20local%%20interfaces=1\n' >"$WORK_DIR/c-config/Quardell/Tollix.conf"

start_peer d D --first Dee
wait_for D "^state${TAB}connected"
wait_for D "^heard${TAB}192\.168\.50\.2:"
sent_before=$(tx_packets c eth0)
start_peer c C --first Cee --config "$WORK_DIR/c-config"
wait_for C "^state${TAB}connected"
sleep 1
send_command C quit
stop_peer C
stop_peer D
sent_after=$(tx_packets c eth0)

# Leaving reports a failure because there was no membership to drop; nothing else may.
grep "^alert" "$WORK_DIR/C.out" | grep -qv "Error leaving multicast host group" &&
    fail "C reported an alert"
grep -q "^heard" "$WORK_DIR/C.out" && fail "C heard something without any membership"
grep -q "FIRSTNAME=Cee" "$WORK_DIR/D.out" && fail "D heard C"
[ "$sent_before" = "$sent_after" ] || fail "C sent $((sent_after - sent_before)) packets"
echo "PASS"
