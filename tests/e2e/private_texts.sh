#!/bin/bash
# A and B write privately while C, on the same bridge, captures every frame (the bridge
# forgets where hosts are at once, so it floods every frame to every port): no captured
# packet holds their texts' bytes, though it holds the open ones. D has private
# conversations off and still gets and answers A's texts, openly. F forges a group text
# under B's address: A, which holds B's pinned code, shows it as unverified.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_LOAD:-}" ] || fail "TOLLIX_LOAD is not set to the built tollix-load"
command -v tcpdump >/dev/null 2>&1 || skip "needs tcpdump (apt-get install tcpdump)"

lan_hosts a:10.0.0.1 b:10.0.0.2 c:10.0.0.3 d:10.0.0.4 f:10.0.0.5
# C hears every frame: unicast too (the bridge forgets where hosts are), and the group's
# datagrams even once the others have joined it (no multicast snooping). Each packet is
# written as it comes (immediate mode): a block still filling when tcpdump stops is lost.
ip -n "$NS_PREFIX-lan" link set br0 type bridge ageing_time 0 mcast_snooping 0
ip netns exec "$NS_PREFIX-c" tcpdump -i eth0 --immediate-mode -U -w "$WORK_DIR/capture.pcap" \
    2>"$WORK_DIR/tcpdump.log" &
capture=$!
sleep 1  # tcpdump is listening

start_peer a A --first Ann
start_peer b B --first Bob
start_peer d D --first Dan --config "$(open_only_config)"
wait_for A "^contact${TAB}10\.0\.0\.2"
wait_for A "^contact${TAB}10\.0\.0\.4"
wait_for B "^contact${TAB}10\.0\.0\.1"
send_command A "send 10.0.0.2 first-secret-3141"
wait_for B "^text${TAB}in${TAB}10\.0\.0\.1${TAB}Ann user${TAB}first-secret-3141${TAB}private$"
wait_for A "^delivered${TAB}10\.0\.0\.2$"
send_command B "send 10.0.0.1 second-secret-2718"
wait_for A "^text${TAB}in${TAB}10\.0\.0\.2${TAB}Bob user${TAB}second-secret-2718${TAB}private$"
grep -q "^session${TAB}10\.0\.0\.2${TAB}private${TAB}[0-9A-F ]\{49\}$" "$WORK_DIR/A.out" ||
    fail "A printed no session line with B's code"

send_command D "send 10.0.0.1 open-hello-1618"
wait_for A "^text${TAB}in${TAB}10\.0\.0\.4${TAB}Dan user${TAB}open-hello-1618${TAB}open$"
send_command A "send 10.0.0.4 open-reply-1414"
wait_for D "^text${TAB}in${TAB}10\.0\.0\.1${TAB}Ann user${TAB}open-reply-1414${TAB}open$"
wait_for A "^text${TAB}out${TAB}10\.0\.0\.4${TAB}Ann user${TAB}open-reply-1414${TAB}open$"
wait_for A "^session${TAB}10\.0\.0\.4${TAB}open$"

in_ns f "$TOLLIX_LOAD" forged-texts 10.0.0.1 10.0.0.1 2 10 >/dev/null  # from .1, then .2
wait_for A "^text${TAB}in${TAB}10\.0\.0\.2${TAB}Load Test${TAB}forged text 1${TAB}unverified$"

for peer in A B D; do send_command $peer quit; done
for peer in A B D; do stop_peer $peer; done
sleep 0.5
kill -INT "$capture"
wait "$capture"
# C saw the sessions' own packets, not only the group's.
session_packets=$(in_ns c tcpdump -r "$WORK_DIR/capture.pcap" \
    'tcp port 2030 and host 10.0.0.1 and host 10.0.0.2 and tcp[tcpflags] & tcp-push != 0' \
    2>/dev/null | wc -l)
[ "$session_packets" -ge 4 ] || fail "C captured $session_packets packets of the sessions' data"
for text in open-hello-1618 open-reply-1414; do
    grep -qaF "$text" "$WORK_DIR/capture.pcap" || fail "the capture misses the open text $text"
done
for text in first-secret-3141 second-secret-2718; do
    grep -qaF "$text" "$WORK_DIR/capture.pcap" && fail "a captured packet holds $text"
done
no_alerts A B D
echo "PASS"
