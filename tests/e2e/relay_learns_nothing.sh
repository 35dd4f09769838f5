#!/bin/bash
# A relay with the package's settings (learn tunnels=0) learns no tunnel. S in subnet 2
# sends to R's port 2035: its announcement reaches subnet 1 through R, but S hears
# nothing of subnet 1, not even P's text to it.
set -u
. "$(dirname "$0")/netns.sh"

two_subnets r:lan1:10.1.0.1 p:lan1:10.1.0.2 s:lan2:10.2.0.1
mkdir -p "$WORK_DIR/r/Quardell"
cp "$(dirname "$0")/../../packaging/tollix-relay.conf" "$WORK_DIR/r/Quardell/Tollix.conf"
start_peer r R --serve --config "$WORK_DIR/r"
wait_for R "^state${TAB}connected"
start_peer p P --first Pat --config "$(open_only_config)"  # its text goes to the group
# P must have joined the group before S is announced through R: S hears no answer from
# subnet 1, so it announces itself only once.
wait_for P "^state${TAB}connected"
start_peer s S --first Sam --tunnel 10.1.0.1 --config "$(open_only_config)"
wait_for P "^contact${TAB}10\.2\.0\.1${TAB}online"
send_command P "send 10.2.0.1 not for strangers"
wait_for P "^text${TAB}out${TAB}10\.2\.0\.1"
sleep 1
grep -E "^(text|contact${TAB}10\.1\.)" "$WORK_DIR/S.out" && fail "S heard subnet 1"

no_alerts P R S
echo "PASS"
