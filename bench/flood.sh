#!/bin/bash
# Floods a tollix-cli in network namespaces of its own and prints, per scenario, what the
# copy paid: CPU seconds, datagrams received against sent and dropped by the kernel, resident
# memory before and after, the time it took to answer an announcement (a prober sends one a
# second), and the texts shown against those sent. Then the rate of a bare recvfrom loop
# under the same unpaced flood, and the copy's rate as a share of it (per CPU second).
# Last, long texts against a copy that keeps a history: how much its folder grew, how fast
# it answered announcements meanwhile, and whether a contact's text was stored.
#
# As root: `make bench-flood`, or bench/flood.sh [BUILD_DIR]. Everything is sent only to
# addresses inside the namespaces this script creates, and removed when it ends.
set -u
build=${1:-build}
export TOLLIX_CLI="$build/apps/tollix-cli/tollix-cli"
LOAD="$build/bench/tollix-load"
. "$(dirname "$0")/../tests/e2e/netns.sh"
[ -x "$LOAD" ] || fail "$LOAD is missing; build first"

COPY=10.33.0.1
FRIEND=10.33.0.4
lan_hosts copy:$COPY load:10.33.0.2 probe:10.33.0.3 friend:$FRIEND

# Figures of the copy's process and namespace.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
rcvbuf_errors() {
    in_ns copy awk '/^Udp:/ { if (!n++) { for (i = 1; i <= NF; i++) if ($i == "RcvbufErrors") f = i }
                             else print $f }' /proc/net/snmp
}
received() {
    send_command "$1" stats
    wait_for_count "$1" "^stats${TAB}Tunnels amount" "$2"
    stat_value "$1" "Received packets"
}
ticks_per_second=$(getconf CLK_TCK)
scenario=0

# run_scenario TITLE PROBES TEXTS FLOOD-ARGS...: a fresh copy, the prober, the flood of
# tollix-load FLOOD-ARGS (which sends TEXTS texts), the figures.
run_scenario() {
    title=$1
    probes=$2
    texts_sent=$3
    shift 3
    scenario=$((scenario + 1))
    name="C$scenario"
    start_peer copy "$name" --first Flooded
    wait_for "$name" "^state${TAB}connected${TAB}online$"
    sleep 1
    eval "pid=\$PEER_PID_$name"
    received_before=$(received "$name" 1)
    cpu_before=$(cpu_ticks "$pid")
    rss_before=$(rss_kb "$pid")
    drops_before=$(rcvbuf_errors)
    texts_before=$(grep -c "^text${TAB}in" "$WORK_DIR/$name.out")

    in_ns probe "$LOAD" probe 10.33.0.3 "$COPY" "$probes" >"$WORK_DIR/probe$scenario.out" &
    prober=$!
    sleep 0.5
    in_ns load "$LOAD" "$@" >"$WORK_DIR/flood$scenario.out"
    wait "$prober"
    sleep 1

    cpu_after=$(cpu_ticks "$pid")
    rss_after=$(rss_kb "$pid")
    drops=$(( $(rcvbuf_errors) - drops_before ))
    got=$(( $(received "$name" 2) - received_before ))
    sent=$(awk '/^sent/ { print $2 }' "$WORK_DIR/flood$scenario.out")
    texts=$(( $(grep -c "^text${TAB}in" "$WORK_DIR/$name.out") - texts_before ))
    read -r _ _ answered _ median _ maximum <"$WORK_DIR/probe$scenario.out"
    send_command "$name" quit
    stop_peer "$name"

    # The prober's announcements and the copy's own answers, heard back, are not the flood.
    flood_got=$(( got - probes - ${answered%/*} ))
    cpu=$(awk -v t=$((cpu_after - cpu_before)) -v hz="$ticks_per_second" 'BEGIN { printf "%.2f", t / hz }')
    echo "== $title"
    awk -v cpu="$cpu" -v n="$flood_got" 'BEGIN {
        printf "copy CPU: %s s (%.2f us per datagram received)\n", cpu, n ? cpu * 1e6 / n : 0 }'
    awk -v s="$sent" -v r="$flood_got" -v d="$drops" 'BEGIN {
        printf "datagrams: %d sent, %d received (%.2f%%), %d dropped by the kernel (%.2f%%)\n",
               s, r, s ? 100 * r / s : 0, d, s ? 100 * d / s : 0 }'
    awk -v a="$rss_before" -v b="$rss_after" 'BEGIN {
        printf "resident memory: %.1f MB before, %.1f MB after (%+.1f MB)\n",
               a / 1024, b / 1024, (b - a) / 1024 }'
    echo "announcement answered: $answered, median $median ms, maximum $maximum ms"
    echo "texts shown: $texts of $texts_sent sent"
    LAST_RECEIVED=$flood_got
    LAST_CPU=$cpu
}

run_scenario "junk: 50,000 datagrams a second for 20 s" 20 0 junk "$COPY" 50000 20
run_scenario "forged senders: 100,000 valid envelopes, each with its own FROM" 7 0 \
    forged "$COPY" 100000 20000
run_scenario "texts: 2,000 a second from one peer for 20 s" 20 40000 \
    texts "$COPY" "$COPY" 2000 20
run_scenario "junk as fast as the loader can send, 5 s" 5 0 junk "$COPY" 0 5
copy_received=$LAST_RECEIVED
copy_cpu=$LAST_CPU

# The same unpaced flood into a bare recvfrom loop in the copy's place.
drops_before=$(rcvbuf_errors)
in_ns copy "$LOAD" sink 2030 6 >"$WORK_DIR/sink.out" &
sink=$!
sleep 0.5
in_ns load "$LOAD" junk "$COPY" 0 5 >"$WORK_DIR/raw.out"
wait "$sink"
read -r _ _ raw_got _ raw_cpu <"$WORK_DIR/sink.out"
echo "== bare recvfrom loop under the same flood"
echo "datagrams: $(awk '{ print $2 }' "$WORK_DIR/raw.out") sent, $raw_got received," \
    "$(( $(rcvbuf_errors) - drops_before )) dropped by the kernel, in $raw_cpu CPU seconds"
# The loader, not the receiver, sets the pace on a small machine: the rates compared are
# datagrams per CPU second of the receiver, what it could take on a core of its own.
awk -v n="$copy_received" -v c="$copy_cpu" -v rn="$raw_got" -v rc="$raw_cpu" 'BEGIN {
    copy = c > 0 ? n / c : 0; raw = rc > 0 ? rn / rc : 0
    printf "per CPU second: the bare loop %.0f datagrams, the copy %.0f (%.0f%% of it)\n",
           raw, copy, raw ? 100 * copy / raw : 0 }'

# Long texts against a `tollix-cli --history` (bench/long_texts.sh). Targets: the history
# folder (with its WAL) grows by at most 50 MB, announcements are answered in under 10 ms
# (median), the contact's text is stored.
. "$(dirname "$0")/long_texts.sh"
config="$WORK_DIR/history"
mkdir -p "$config"
start_peer copy H --first Flooded --history --config "$config"
start_peer friend F --first Friend
wait_for H "^contact${TAB}${FRIEND//./\\.}${TAB}online"
send_command H "send $FRIEND written before the flood"
wait_for H "^text${TAB}out${TAB}"
eval "pid=\$PEER_PID_H"
sleep 1
bytes_before=$(history_bytes "$config")
cpu_before=$(cpu_ticks "$pid")
in_ns probe "$LOAD" probe 10.33.0.3 "$COPY" 60 >"$WORK_DIR/probe-long.out" &
prober=$!
sleep 0.5
# shellcheck disable=SC2086 # the figures are meant to split into words
in_ns load "$LOAD" long-texts "$COPY" "$COPY" $LONG_TEXT_LOAD >"$WORK_DIR/flood-long.out" &
flood=$!
sleep 30
send_command F "send $COPY $CONTACT_TEXT"
wait "$flood"
wait "$prober"
sleep 1
bytes_after=$(history_bytes "$config")  # while the copy runs: the WAL is still there
cpu_after=$(cpu_ticks "$pid")
rss=$(rss_kb "$pid")
texts=$(grep "^text${TAB}in${TAB}" "$WORK_DIR/H.out" | grep -vc "^text${TAB}in${TAB}$FRIEND${TAB}")
send_command H "history $FRIEND"
wait_for_count H "^end$" 1 20
for peer in H F; do
    send_command "$peer" quit
    stop_peer "$peer"
done
read -r _ _ answered _ median _ maximum <"$WORK_DIR/probe-long.out"
echo "== $LONG_TEXT_TITLE, against tollix-cli --history"
echo "texts shown: $texts of $(awk '/^sent/ { print $2 }' "$WORK_DIR/flood-long.out") sent;" \
    "copy CPU: $(awk -v t=$((cpu_after - cpu_before)) -v hz="$ticks_per_second" 'BEGIN { printf "%.1f", t / hz }') s;" \
    "resident memory after: $(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }') MB"
long_text_figures "$bytes_before" "$bytes_after" "$WORK_DIR/H.out"
