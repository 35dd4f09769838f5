#!/bin/bash
# A relay (tollix-cli --serve) and logind, faked on a bus of its own: while connected, A holds
# a delay sleep inhibitor. When the computer is about to sleep, A says goodbye (B lists it
# as offline) and only then releases the inhibitor; after the wake it is back (B lists it
# online again) with a new inhibitor.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_FAKE_LOGIND:-}" ] || { echo "FAIL: TOLLIX_FAKE_LOGIND is not set"; exit 1; }
command -v dbus-daemon >/dev/null 2>&1 || skip "needs dbus-daemon (apt-get install dbus-daemon)"

lan_hosts a:10.45.0.1 b:10.45.0.2

mkfifo "$WORK_DIR/logind.in"
"$TOLLIX_FAKE_LOGIND" <"$WORK_DIR/logind.in" >"$WORK_DIR/logind.out" 2>"$WORK_DIR/logind.err" &
logind=$!
trap 'kill $logind 2>/dev/null; cleanup' EXIT
exec {logind_fd}>"$WORK_DIR/logind.in"
wait_for logind "^bus "
bus=$(sed -n 's/^bus //p' "$WORK_DIR/logind.out")

start_peer b B --first Bea
wait_for B "^state${TAB}connected"
DBUS_SYSTEM_BUS_ADDRESS=$bus ip netns exec "$NS_PREFIX-a" "$TOLLIX_CLI" --serve --first Ann \
    <&- >"$WORK_DIR/A.out" 2>"$WORK_DIR/A.err" &
a=$!
a_listed="^contact${TAB}10\.45\.0\.1${TAB}"
wait_for B "${a_listed}online"
wait_for logind "^inhibit sleep Tollix delay$"

echo sleep >&"$logind_fd"
wait_for logind "^released$"
grep -q "^state${TAB}disconnected${TAB}offline$" "$WORK_DIR/A.out" ||
    fail "A let the sleep go on before its farewell"
wait_for B "${a_listed}offline"

echo wake >&"$logind_fd"
wait_for_count B "${a_listed}online" 2
wait_for_count logind "^inhibit sleep Tollix delay$" 2

kill -TERM "$a"
wait "$a" || fail "A exited with status $? on SIGTERM"
send_command B quit
stop_peer B
no_alerts A B
echo "PASS"
