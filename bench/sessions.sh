#!/bin/bash
# Private sessions against a tollix-cli in network namespaces of its own, and what they
# cost it. Prints, each with its target:
#   - the first private text to the copy, with its session opened for it (TCP, TLS 1.3 with
#     both certificates, HELLOs) until its ACK: median under 50 ms;
#   - later texts over that session to their ACKs: median under 2 ms;
#   - 256 sessions held by the copy: its resident memory at most 40 MB above none;
#   - 1,000 TCP connections a second that never start TLS, for 20 s: the copy's answers to
#     announcements meanwhile (median under 10 ms) and its memory growth (at most 20 MB);
#   - how long the copy takes to its first `state` line, with private conversations on and
#     off, and the desktop program to its main window (under Xvfb, when it is there): the
#     identity is loaded beside start-up, which must not grow. BASE_BUILD=DIR measures the
#     programs of another build (an earlier version) the same way.
#
# As root: `make bench-sessions`, or bench/sessions.sh [BUILD_DIR]. Everything is sent only
# to addresses inside the namespaces this script creates, and removed when it ends.
set -u
build=${1:-build}
export TOLLIX_CLI="$build/apps/tollix-cli/tollix-cli"
export TOLLIX_DESKTOP="$build/apps/tollix/tollix"
LOAD="$build/bench/tollix-load"
SESSIONS="$build/bench/tollix-session-load"
. "$(dirname "$0")/../tests/e2e/netns.sh"
[ -x "$SESSIONS" ] && [ -x "$LOAD" ] || fail "$SESSIONS or $LOAD is missing; build first"

COPY=10.44.0.1
new_bridge lan
for host in copy:10.44.0.1 load:10.44.0.2 probe:10.44.0.3; do
    new_namespace "${host%%:*}"
    plug "${host%%:*}" lan "${host#*:}/16"
done
# Each held session comes from an address of its own; the stalled connections from eight.
for i in $(seq 0 255); do ip -n "$NS_PREFIX-load" addr add "10.44.1.$i/16" dev eth0; done
stall_sources=$(seq -f "10.44.2.%g" 1 8)
for source in $stall_sources; do ip -n "$NS_PREFIX-load" addr add "$source/16" dev eth0; done

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

start_peer copy C --first Copy
wait_for C "^state${TAB}connected${TAB}online$"
pid=$PEER_PID_C
sleep 1

echo "== first private text, its session opened for it, to its ACK (50 texts)"
read -r _ n _ median _ maximum < <(in_ns load "$SESSIONS" first "$COPY" 50)
echo "$n texts: median $median ms (target under 50 ms), maximum $maximum ms"

echo "== later texts over one session, each to its ACK (500 texts)"
read -r _ n _ median _ maximum < <(in_ns load "$SESSIONS" texts "$COPY" 500)
echo "$n texts: median $median ms (target under 2 ms), maximum $maximum ms"

echo "== 256 sessions held by the copy"
sleep 1
rss_none=$(rss_kb "$pid")
in_ns load "$SESSIONS" hold "$COPY" 10.44.1.0 256 15 >"$WORK_DIR/hold.out" &
holder=$!
for _ in $(seq 300); do grep -q "^held" "$WORK_DIR/hold.out" && break; sleep 0.1; done
sleep 2
rss_held=$(rss_kb "$pid")
echo "$(cat "$WORK_DIR/hold.out"); resident memory: $(mb "$rss_none") MB with none," \
    "$(mb "$rss_held") MB with them: $(mb $((rss_held - rss_none))) MB more (target at most 40 MB)"
wait "$holder"
sleep 2

echo "== 1,000 TCP connections a second that never start TLS, for 20 s"
rss_before=$(rss_kb "$pid")
in_ns probe "$LOAD" probe 10.44.0.3 "$COPY" 20 >"$WORK_DIR/probe.out" &
prober=$!
# shellcheck disable=SC2086 # one argument per source address
in_ns load "$SESSIONS" stall "$COPY" 1000 20 $stall_sources >"$WORK_DIR/stall.out"
wait "$prober"
rss_after=$(rss_kb "$pid")
read -r _ _ answered _ median _ maximum <"$WORK_DIR/probe.out"
echo "$(cat "$WORK_DIR/stall.out") connections; announcements answered: $answered," \
    "median $median ms (target under 10 ms), maximum $maximum ms"
echo "resident memory: $(mb "$rss_before") MB before, $(mb "$rss_after") MB after:" \
    "$(mb $((rss_after - rss_before))) MB more (target at most 20 MB)"
send_command C quit
stop_peer C

# first_state_ms CLI ARGS...: how long a tollix-cli takes from its start to its first line
# (`state connected online`), in the copy's namespace, the median of 15 runs.
first_state_ms() {
    cli=$1
    shift
    for _ in $(seq 15); do
        start=$(date +%s%N)
        ip netns exec "$NS_PREFIX-copy" "$cli" "$@" < <(sleep 0.3) 2>/dev/null |
            { read -r _; echo $((($(date +%s%N) - start) / 1000)); cat >/dev/null; }
    done | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}

# window_ms DESKTOP ARGS...: how long the desktop program takes from its start to its main
# window on the screen, the median of 7 runs.
window_ms() {
    desktop=$1
    shift
    for _ in $(seq 7); do
        start=$(date +%s%N)
        DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$WORK_DIR" \
            ip netns exec "$NS_PREFIX-copy" "$desktop" "$@" >/dev/null 2>&1 &
        running=$!
        until DISPLAY=$display xdotool search --onlyvisible --name '^Tollix$' >/dev/null; do
            :
        done
        echo $((($(date +%s%N) - start) / 1000))
        kill "$running"
        wait "$running" 2>/dev/null
    done | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}

echo "== start-up"
open=$(open_only_config)
echo "tollix-cli to its first line: $(first_state_ms "$TOLLIX_CLI") ms with private" \
    "conversations, $(first_state_ms "$TOLLIX_CLI" --config "$open") ms without"
if [ -n "${BASE_BUILD:-}" ]; then
    echo "the same of $BASE_BUILD: $(first_state_ms "$BASE_BUILD/apps/tollix-cli/tollix-cli") ms"
fi
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    start_xvfb 1024x768x24
    mkdir -p "$WORK_DIR/desk"
    echo "tollix to its main window: $(window_ms "$TOLLIX_DESKTOP" --config "$WORK_DIR/desk") ms" \
        "with private conversations, $(window_ms "$TOLLIX_DESKTOP" --config "$open") ms without"
    if [ -n "${BASE_BUILD:-}" ]; then
        echo "the same of $BASE_BUILD:" \
            "$(window_ms "$BASE_BUILD/apps/tollix/tollix" --config "$WORK_DIR/desk") ms"
    fi
fi
