#!/bin/bash
# A busy history file delays storing, nothing else: while another program (the sqlite3
# shell) holds a write transaction on the file of B, a `tollix-cli --history`, for 2 s, A
# sends 20 texts. B prints each of them while the file is still held, stores all 20, in
# order, once it is free, and reports no alert.
set -u
. "$(dirname "$0")/netns.sh"
command -v sqlite3 >/dev/null || skip "needs the sqlite3 shell"

lan_hosts a:10.80.0.1 b:10.80.0.2
config="$WORK_DIR/b-config"
mkdir -p "$config"
start_peer b B --history --config "$config"
start_peer a A --first Al
wait_for A "^contact${TAB}10\.80\.0\.2${TAB}online"
wait_for B "^contact${TAB}10\.80\.0\.1${TAB}online"

file="$config/Quardell/Tollix/history.sqlite"
{ echo "BEGIN IMMEDIATE;"; echo "SELECT 'held';"; sleep 2; echo "COMMIT;"; } |
    sqlite3 "$file" >"$WORK_DIR/holder.out" 2>&1 &
holder=$!
wait_for holder "^held$" 5
for n in $(seq 1 20); do
    send_command A "send 10.80.0.2 busy $n"
done
wait_for_count B "^text${TAB}in${TAB}" 20
kill -0 "$holder" 2>/dev/null || fail "the texts were printed only once the file was free"
wait "$holder" || fail "the sqlite3 shell could not hold the file"

# Tried again within half a second of the file's release; read as another program would.
sleep 1
sqlite3 "$file" "SELECT text FROM entries WHERE address = '10.80.0.1' ORDER BY id" \
    >"$WORK_DIR/stored.txt"
seq 1 20 | sed 's/^/busy /' | diff - "$WORK_DIR/stored.txt" >/dev/null ||
    fail "stored $(wc -l <"$WORK_DIR/stored.txt") of the 20 texts: $(paste -sd, "$WORK_DIR/stored.txt")"
for peer in A B; do
    send_command "$peer" quit
    stop_peer "$peer"
done
no_alerts B
echo "PASS"
