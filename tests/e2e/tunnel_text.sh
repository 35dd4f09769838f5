#!/bin/bash
# A text that crosses a tunnel. P and A share subnet 1, B and Q share subnet 2, a router
# joins the subnets, and A has a tunnel to B. P's text reaches Q exactly once, B learns A
# as a tunnel, A and P drop the copy that comes back, and P's farewell reaches the other
# three. They write openly: the group and its tunnels are what is tested.
set -u
. "$(dirname "$0")/netns.sh"

two_subnets p:lan1:10.1.0.1 a:lan1:10.1.0.2 b:lan2:10.2.0.2 q:lan2:10.2.0.3
open=$(open_only_config)

start_peer b B --first Bob --last Brown --group Two --config "$open"
start_peer q Q --first Quinn --last Quick --group Two --config "$open"
wait_for Q "^contact${TAB}10\.2\.0\.2${TAB}online"
start_peer a A --first Ann --last Lee --group One --tunnel 10.2.0.2 --config "$open"
wait_for A "^contact${TAB}10\.2\.0\.3${TAB}online${TAB}Two${TAB}Quinn${TAB}Quick"
start_peer p P --first Pat --last Smith --group One --config "$open"
wait_for P "^contact${TAB}10\.2\.0\.3${TAB}online${TAB}Two${TAB}Quinn${TAB}Quick"
wait_for Q "^contact${TAB}10\.1\.0\.1${TAB}online${TAB}One${TAB}Pat${TAB}Smith"
sleep 1  # let the answers to P's announcement settle

for peer in P A; do
    send_command "$peer" stats
    wait_for "$peer" "^stats${TAB}Tunnels amount"
done
p_received=$(stat_value P "Received packets")
p_processed=$(stat_value P "Processed packets")
a_received=$(stat_value A "Received packets")
a_processed=$(stat_value A "Processed packets")

send_command P "send 10.2.0.3 hello across\\nthe tunnel"
wait_for Q "^text${TAB}in${TAB}10\.1\.0\.1${TAB}Pat Smith${TAB}hello across\\\\nthe tunnel${TAB}open$"
wait_for P "^text${TAB}out${TAB}10\.2\.0\.3${TAB}Pat Smith${TAB}hello across\\\\nthe tunnel${TAB}open$"
sleep 1
[ "$(grep -c "^text" "$WORK_DIR/Q.out")" -eq 1 ] || fail "Q did not show the text exactly once"
grep -q "^text" "$WORK_DIR/A.out" "$WORK_DIR/B.out" && fail "a copy in between showed the text"

# P hears its own text and A's relay of the copy that came back through the tunnel; A hears
# P's text, B's copy through the tunnel and its own relay of that copy. Only the first of
# each is new.

for peer in P A B; do
    send_command "$peer" stats
done
sleep 0.5
expect_stat P "Received packets" $((p_received + 2))
expect_stat P "Processed packets" $((p_processed + 1))
expect_stat P "Message packets" 1
expect_stat A "Received packets" $((a_received + 3))
expect_stat A "Processed packets" $((a_processed + 1))
grep -q "^stats${TAB}Tunnels amount: 1$" "$WORK_DIR/B.out" || fail "B did not learn A's tunnel"

send_command P disconnect
for peer in A B Q; do
    wait_for "$peer" "^contact${TAB}10\.1\.0\.1${TAB}offline"
done
for peer in P A B Q; do
    send_command "$peer" quit
    stop_peer "$peer"
done
no_alerts P A B Q
echo "PASS"
