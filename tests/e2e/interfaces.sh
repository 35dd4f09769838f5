#!/bin/bash
# Interfaces that come and go. C starts with only loopback up; an address that appears two
# seconds later is joined and announced, and P on that subnet lists C. The address then
# changes, as with a new DHCP lease, and P and C still exchange texts. An interface without
# multicast (a point-to-point tunnel) carries nothing of the group.
set -u
. "$(dirname "$0")/netns.sh"

lan_hosts p:10.66.0.2
new_namespace c  # plugged in later

start_peer p P --first Pat
wait_for P "^state${TAB}connected${TAB}online$"
start_peer c C --first Cee
wait_for C "^state${TAB}connected${TAB}online$"
sleep 2
plug c lan 10.66.0.1/24
wait_for P "^contact${TAB}10\.66\.0\.1${TAB}online${TAB}Other Contacts${TAB}Cee" 3
wait_for C "^contact${TAB}10\.66\.0\.2${TAB}online${TAB}Other Contacts${TAB}Pat" 3

# Without the multicast flag: not joined and not sent on.
ip -n "$NS_PREFIX-c" link add vpn0 type dummy
ip -n "$NS_PREFIX-c" link set vpn0 multicast off up
ip -n "$NS_PREFIX-c" addr add 10.99.0.1/24 dev vpn0
vpn_sent_before=$(tx_packets c vpn0)

ip -n "$NS_PREFIX-c" addr del 10.66.0.1/24 dev eth0
ip -n "$NS_PREFIX-c" addr add 10.66.0.11/24 dev eth0
wait_for P "^contact${TAB}10\.66\.0\.11${TAB}online${TAB}Other Contacts${TAB}Cee" 3
send_command P "send 10.66.0.11 still there?"
wait_for C "^text${TAB}in${TAB}10\.66\.0\.2${TAB}Pat user${TAB}still there\?${TAB}private$"
send_command C "send 10.66.0.2 yes"
wait_for P "^text${TAB}in${TAB}10\.66\.0\.11${TAB}Cee user${TAB}yes${TAB}private$"
[ "$(tx_packets c vpn0)" = "$vpn_sent_before" ] || fail "C sent on the interface without multicast"

send_command C quit
stop_peer C
wait_for P "^contact${TAB}10\.66\.0\.11${TAB}offline"
send_command P quit
stop_peer P
no_alerts P C
echo "PASS"
