#!/bin/bash
# A relay with the package's settings (learn tunnels=0) forwards only through the tunnels
# it was given. R in subnet 1 names Q in subnet 2; S in subnet 3 names R, but R does not
# name S. S's announcement still reaches subnet 1 through R, yet S hears nothing of that
# subnet: neither the answers nor P's text to it. Q, named by R, gets P's text.
set -u
. "$(dirname "$0")/netns.sh"

two_subnets r:lan1:10.1.0.1 p:lan1:10.1.0.2 q:lan2:10.2.0.1
new_bridge lan3
plug router lan3 10.3.0.254/24 eth3
new_namespace s
plug s lan3 10.3.0.1/24
route s 10.3.0.254

mkdir -p "$WORK_DIR/r/Quardell"
cp "$(dirname "$0")/../../packaging/tollix-relay.conf" "$WORK_DIR/r/Quardell/Tollix.conf"
printf 'tunnel_0%%20tunHost=10.2.0.1\ntunnel_0%%20tunId=1\n' >>"$WORK_DIR/r/Quardell/Tollix.conf"
start_peer r R --serve --config "$WORK_DIR/r"
wait_for R "^state${TAB}connected${TAB}online$"
start_peer p P --first Pat --group One
start_peer q Q --first Quinn --group Two --tunnel 10.1.0.1
wait_for P "^contact${TAB}10\.2\.0\.1${TAB}online${TAB}Two${TAB}Quinn"

start_peer s S --first Sam --group Three --tunnel 10.1.0.1
wait_for P "^contact${TAB}10\.3\.0\.1${TAB}online${TAB}Three${TAB}Sam"
send_command P "send 10.3.0.1 not for strangers"
send_command P "send 10.2.0.1 for Quinn"
wait_for Q "^text${TAB}in${TAB}10\.1\.0\.2${TAB}Pat user${TAB}for Quinn$"
sleep 1
grep -E "^(text|contact${TAB}10\.1\.)" "$WORK_DIR/S.out" && fail "S heard subnet 1"

kill -TERM "$PEER_PID_R"
wait "$PEER_PID_R" || fail "R exited with status $? on SIGTERM"
for peer in P Q S; do
    send_command "$peer" quit
    stop_peer "$peer"
done
no_alerts P Q R S
echo "PASS"
