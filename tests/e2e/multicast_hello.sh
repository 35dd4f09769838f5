#!/bin/bash
# Two copies on one subnet: A's HELLO is heard by B and by A itself, with A's address as
# the sender; a one-shot sender's text reaches B. Then a copy whose only address is
# 192.168.x.x and that leaves such addresses out joins successfully and puts nothing on
# the network.
set -u
. "$(dirname "$0")/netns.sh"

new_bridge lan
new_namespace a
new_namespace b
plug a lan 10.77.0.1/24
plug b lan 10.77.0.2/24

start_peer b B --first Bea --last Two --group Ops
wait_for B "^state${TAB}connected${TAB}online$"
start_peer a A --first Ann --last Lee --group Dev
wait_for A "^state${TAB}connected${TAB}online$"

# B lists A from A's HELLO, the only message A sends unasked; A lists B from its answer.
wait_for B "^contact${TAB}10\.77\.0\.1${TAB}online${TAB}Dev${TAB}Ann${TAB}Lee${TAB}Tollix v\.1\.2\.0$"
wait_for A "^contact${TAB}10\.77\.0\.2${TAB}online${TAB}Ops${TAB}Bea${TAB}Two${TAB}Tollix v\.1\.2\.0$"
sleep 0.5
# A heard exactly its own HELLO and B's answer. Had its own HELLO come back with another
# sender address, A would have listed itself and answered it.
send_command A contacts
send_command A stats
wait_for A "^stats${TAB}Tunnels amount"
expect_stat A "Received packets" 2
expect_stat A "Processed packets" 2
[ "$(grep -c "^contact" "$WORK_DIR/A.out")" -eq 2 ] || fail "A lists something besides B"
send_command A quit
stop_peer A
wait_for B "^contact${TAB}10\.77\.0\.1${TAB}offline"

# A one-shot sender: announces itself, sends, says goodbye, exits 0.
new_namespace s
plug s lan 10.77.0.3/24
ip netns exec "$NS_PREFIX-s" "$TOLLIX_CLI" --first Sam --send 10.77.0.2 'one\nshot' \
    >"$WORK_DIR/S.out" 2>&1 || fail "tollix-cli --send exited with status $?"
wait_for B "^text${TAB}in${TAB}10\.77\.0\.3${TAB}Sam user${TAB}one\\\\nshot${TAB}private$"
wait_for B "^contact${TAB}10\.77\.0\.3${TAB}offline"
stop_peer B
no_alerts A B S

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
sent_before=$(tx_packets c eth0)
start_peer c C --first Cee --config "$WORK_DIR/c-config"
wait_for C "^state${TAB}connected${TAB}online$"
sleep 1
send_command C stats
wait_for C "^stats${TAB}Tunnels amount"
expect_stat C "Received packets" 0
send_command C quit
stop_peer C
stop_peer D
sent_after=$(tx_packets c eth0)

# Leaving reports a failure because there was no membership to drop; nothing else may.
grep "^alert" "$WORK_DIR/C.out" | grep -qv "Error leaving multicast host group" &&
    fail "C reported an alert"
grep -q "^contact" "$WORK_DIR/D.out" && fail "D heard C"
[ "$sent_before" = "$sent_after" ] || fail "C sent $((sent_after - sent_before)) packets"
echo "PASS"
