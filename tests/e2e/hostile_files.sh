#!/bin/bash
# E offers B a file named "../../x" over a private session of its own making; B accepts
# every offer into its folder. The file lands inside that folder under a safe name, and
# nothing appears where the name points.
set -u
. "$(dirname "$0")/netns.sh"
[ -x "${TOLLIX_HOSTILE_OFFER:-}" ] || fail "TOLLIX_HOSTILE_OFFER is not set to the built tool"

lan_hosts b:10.0.0.2 e:10.0.0.5
mkdir -p "$WORK_DIR/in/received"
start_peer b B --first Bob --accept-files "$WORK_DIR/in/received"
wait_for B "^state${TAB}connected"
sleep 0.5  # the identity is loaded and the port listened on
in_ns e "$TOLLIX_HOSTILE_OFFER" 10.0.0.2 "../../x" >"$WORK_DIR/E.out" ||
    fail "E had no answer: $(cat "$WORK_DIR/E.out")"
grep -q "^result done" "$WORK_DIR/E.out" || fail "E: $(cat "$WORK_DIR/E.out")"
wait_for B "^file${TAB}done${TAB}"
path=$(grep "^file${TAB}done${TAB}" "$WORK_DIR/B.out" | cut -f4)
case "$path" in
"$WORK_DIR/in/received/"*) ;;
*) fail "the file landed at $path" ;;
esac
[ "$(cat "$path")" = owned ] || fail "$path does not hold what was sent"
[ ! -e "$WORK_DIR/x" ] && [ ! -e "$WORK_DIR/in/x" ] || fail "a file x appeared outside the folder"
[ "$(find "$WORK_DIR/in/received" -type f | wc -l)" -eq 1 ] || fail "more than one file arrived"
echo "PASS"
