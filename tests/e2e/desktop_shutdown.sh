#!/bin/bash
# The desktop program ends in order on SIGTERM: its farewell reaches a peer (and waits up to
# 5 s for a tunnel host's look-up, which hangs), its settings file and autostart entry are
# written. It is started in a namespace of its own with the offscreen platform (no display
# needed), next to a tollix-cli peer.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_DESKTOP:-}" ] || { echo "FAIL: TOLLIX_DESKTOP is not set to the built tollix"; exit 1; }

new_bridge lan
new_namespace desk
new_namespace b
plug desk lan 10.78.0.1/24
plug b lan 10.78.0.2/24
hanging_name_server desk lan 10.78.0.53

config="$WORK_DIR/desk-config"
mkdir -p "$config/Quardell"
printf '[settings]\nuser%%20first%%20name=Dee\nuser%%20last%%20name=Sk\n[tunnels]\n%s\n%s\n' \
    'tunnel_0%20tunHost=relay.invalid.example' 'tunnel_0%20tunId=4711' >"$config/Quardell/Tollix.conf"

start_peer b B --first Bea
wait_for B "^state${TAB}connected"
XDG_RUNTIME_DIR="$WORK_DIR" QT_QPA_PLATFORM=offscreen \
    ip netns exec "$NS_PREFIX-desk" "$TOLLIX_DESKTOP" --config "$config" \
    >"$WORK_DIR/desk.out" 2>&1 &
desk=$!
wait_for B "^contact${TAB}10\.78\.0\.1${TAB}online${TAB}Other Contacts${TAB}Dee${TAB}Sk"
started=$(date +%s)
kill -TERM "$desk"
wait_for B "^contact${TAB}10\.78\.0\.1${TAB}offline" 3
sleep 0.5
kill -0 "$desk" 2>/dev/null || fail "the exit did not wait for the farewell into the tunnel"
wait "$desk" || fail "the desktop program exited with status $? on SIGTERM"
[ $(( $(date +%s) - started )) -le 8 ] || fail "the exit waited too long for the farewell"
grep -q "^user%20first%20name=Dee$" "$config/Quardell/Tollix.conf" || fail "settings not saved"
grep -q "^AWAY%20notification%20timeout=300$" "$config/Quardell/Tollix.conf" ||
    fail "settings not written in full"
[ -f "$config/autostart/tollix.desktop" ] || fail "no autostart entry"
send_command B quit
stop_peer B
echo "PASS"
