#!/bin/bash
# Relays between subnets. R1 in subnet 1 and R2 in subnet 2 run as services (tollix-cli
# --serve, standard input closed) with the tunnel to each other from a system config file
# (XDG_CONFIG_DIRS); P1 and P2, one in each subnet, have no tunnels of their own. Their
# texts cross through the relays (openly: private conversations are off on all four, as
# the package sets them on relays), and SIGTERM on R1 makes P2 list R1 as offline.
set -u
. "$(dirname "$0")/netns.sh"

two_subnets r1:lan1:10.1.0.1 p1:lan1:10.1.0.2 r2:lan2:10.2.0.1 p2:lan2:10.2.0.2

# start_relay HOST NAME TUNNEL: the administrator's file gives the relay its name and its
# tunnel; its own folder (--config) is empty.
start_relay() {
    system="$WORK_DIR/$2-system"
    mkdir -p "$system/Quardell" "$WORK_DIR/$2-own"
    printf '[settings]\nuser%%20first%%20name=Relay\nuser%%20last%%20name=%s\n' "$2" \
        >"$system/Quardell/Tollix.conf"
    printf 'user%%20group%%20name=Relays\ntrack%%20system%%20idle%%20time=0\n' \
        >>"$system/Quardell/Tollix.conf"
    printf 'private%%20conversations=0\n' >>"$system/Quardell/Tollix.conf"
    printf '\n[tunnels]\ntunnel_0%%20tunHost=%s\ntunnel_0%%20tunId=1\n' "$3" \
        >>"$system/Quardell/Tollix.conf"
    XDG_CONFIG_DIRS="$system" ip netns exec "$NS_PREFIX-$1" "$TOLLIX_CLI" --serve \
        --config "$WORK_DIR/$2-own" <&- >"$WORK_DIR/$2.out" 2>"$WORK_DIR/$2.err" &
    eval "RELAY_PID_$2=$!"
}

start_relay r2 R2 10.1.0.1
wait_for R2 "^state${TAB}connected${TAB}online$"
start_relay r1 R1 10.2.0.1
start_peer p1 P1 --first Pat --last Smith --group One --config "$(open_only_config)"
start_peer p2 P2 --first Quinn --last Quick --group Two --config "$(open_only_config)"
wait_for P1 "^contact${TAB}10\.2\.0\.2${TAB}online${TAB}Two${TAB}Quinn${TAB}Quick"
wait_for P2 "^contact${TAB}10\.1\.0\.2${TAB}online${TAB}One${TAB}Pat${TAB}Smith"
wait_for P2 "^contact${TAB}10\.1\.0\.1${TAB}online${TAB}Relays${TAB}Relay${TAB}R1"

send_command P1 "send 10.2.0.2 hello through the relays"
wait_for P2 "^text${TAB}in${TAB}10\.1\.0\.2${TAB}Pat Smith${TAB}hello through the relays${TAB}open$"
send_command P2 "send 10.1.0.2 and back"
wait_for P1 "^text${TAB}in${TAB}10\.2\.0\.2${TAB}Quinn Quick${TAB}and back${TAB}open$"

kill -TERM "$RELAY_PID_R1"
wait "$RELAY_PID_R1" || fail "R1 exited with status $? on SIGTERM"
wait_for P2 "^contact${TAB}10\.1\.0\.1${TAB}offline${TAB}Relays${TAB}Relay${TAB}R1"

kill -TERM "$RELAY_PID_R2"
wait "$RELAY_PID_R2" || fail "R2 exited with status $? on SIGTERM"
for peer in P1 P2; do
    send_command "$peer" quit
    stop_peer "$peer"
done
no_alerts P1 P2 R1 R2
echo "PASS"
