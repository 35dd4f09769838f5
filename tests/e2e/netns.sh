# Sourced (by bash) by the end-to-end tests. Builds test hosts in network namespaces that the test
# creates itself, with veth pairs and bridges inside those namespaces (never in the root
# namespace), and removes everything when the test ends, also when it fails.

skip() {
    echo "SKIP: $*"
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "needs root to create network namespaces"
command -v ip >/dev/null 2>&1 || skip "needs the ip command (iproute2)"
[ -x "${TOLLIX_CLI:-}" ] || { echo "FAIL: TOLLIX_CLI is not set to the built tollix-cli"; exit 1; }

NS_PREFIX="tlx$$"
NAMESPACES=""
WORK_DIR=$(mktemp -d "${TMPDIR:-/tmp}/tollix-e2e.XXXXXX")
# Identities and histories of the programs a test runs stay in its own folder.
export XDG_DATA_HOME="$WORK_DIR/data"

cleanup() {
    for ns in $NAMESPACES; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill "$pid" 2>/dev/null
        done
    done
    sleep 0.2
    for ns in $NAMESPACES; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -9 "$pid" 2>/dev/null
        done
        ip netns del "$ns" 2>/dev/null
        rm -rf "/etc/netns/$ns"
    done
    rmdir /etc/netns 2>/dev/null || true  # only when no one else keeps a file there
    rm -rf "$WORK_DIR"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*"
    for log in "$WORK_DIR"/*.out; do
        [ -f "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; }
    done
    exit 1
}

# new_namespace NAME: an empty namespace with loopback up and IPv6 off (no stray packets).
new_namespace() {
    ns="$NS_PREFIX-$1"
    ip netns add "$ns" || skip "cannot create network namespaces here"
    NAMESPACES="$NAMESPACES $ns"
    ip -n "$ns" link set lo up
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.all.disable_ipv6=1
    ip netns exec "$ns" sysctl -qw net.ipv6.conf.default.disable_ipv6=1
}

# new_bridge NAME: a namespace holding one bridge "br0" that plays the switch of a subnet.
new_bridge() {
    new_namespace "$1"
    ip -n "$NS_PREFIX-$1" link add br0 type bridge
    ip -n "$NS_PREFIX-$1" link set br0 up
}

# plug HOST BRIDGE ADDRESS/PREFIX|- [DEVICE]: connects a host to a bridge, with an address
# unless it is "-".
plug() {
    host="$NS_PREFIX-$1"
    bridge="$NS_PREFIX-$2"
    device=${4:-eth0}
    port="p$(printf '%s' "$1$device" | cksum | cut -c1-8)"
    ip -n "$host" link add "$device" type veth peer name "$port" netns "$bridge"
    ip -n "$bridge" link set "$port" master br0 up
    [ "$3" = - ] || ip -n "$host" addr add "$3" dev "$device"
    ip -n "$host" link set "$device" up
}

# lan_hosts NAME:ADDRESS...: one subnet, the bridge "lan", with a host per name plugged in
# at its address (/24).
lan_hosts() {
    new_bridge lan
    for host in "$@"; do
        new_namespace "${host%%:*}"
        plug "${host%%:*}" lan "${host#*:}/24"
    done
}

# in_ns HOST COMMAND...: runs the command in the host's namespace.
in_ns() {
    ns="$NS_PREFIX-$1"
    shift
    ip netns exec "$ns" "$@"
}

# hanging_name_server HOST BRIDGE ADDRESS: the only name server that programs in HOST ask
# is ADDRESS on BRIDGE, whose packets reach a namespace that holds no address and forwards
# nothing, so every look-up waits for its time-out (30 s). ip netns exec puts
# /etc/netns/NAMESPACE/resolv.conf in place of /etc/resolv.conf; it is removed on exit.
hanging_name_server() {
    new_namespace "void$1"
    plug "void$1" "$2" -
    mac=$(ip -n "$NS_PREFIX-void$1" -br link show eth0 | awk '{print $3}')
    ip -n "$NS_PREFIX-$1" neigh add "$3" lladdr "$mac" dev eth0 nud permanent
    mkdir -p "/etc/netns/$NS_PREFIX-$1"
    printf 'nameserver %s\noptions timeout:30 attempts:1\n' "$3" \
        >"/etc/netns/$NS_PREFIX-$1/resolv.conf"
}

# start_xvfb GEOMETRY: an X server on a free display for as long as the test runs; sets
# $display. The server writes the display's number once it is ready. Programs in the
# test's namespaces reach it through its socket in the file system.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$WORK_DIR/display" \
        >"$WORK_DIR/xvfb.log" 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; cleanup' EXIT
    for _ in $(seq 100); do
        [ -s "$WORK_DIR/display" ] && break
        sleep 0.1
    done
    display=":$(head -n 1 "$WORK_DIR/display")"
}

# desktop_xvfb [TOOL...]: for a test of the built desktop program on an X server of its
# own: skips without Xvfb, xdotool and the TOOLs, then starts the server (start_xvfb).
desktop_xvfb() {
    [ -x "${TOLLIX_DESKTOP:-}" ] || fail "TOLLIX_DESKTOP is not set to the built tollix"
    for tool in Xvfb xdotool "$@"; do
        command -v "$tool" >/dev/null 2>&1 || skip "needs $tool (apt-get install xvfb xdotool $*)"
    done
    start_xvfb 1024x768x24
    DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1 || skip "Xvfb did not start"
}

# start_desktop HOST CONFIG: the desktop program in HOST on the server of desktop_xvfb, with
# its settings in the folder CONFIG, writing $WORK_DIR/desk.out; sets $desk to its pid.
start_desktop() {
    DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$WORK_DIR" \
        ip netns exec "$NS_PREFIX-$1" "$TOLLIX_DESKTOP" --config "$2" >"$WORK_DIR/desk.out" 2>&1 &
    desk=$!
}

# start_peer HOST NAME ARGS...: runs tollix-cli in HOST, reading commands from
# $WORK_DIR/NAME.in (a fifo kept open until stop_peer) and writing $WORK_DIR/NAME.out (on
# a restart, after what it wrote before). Its data folder (identity, and the history
# without --config) is $WORK_DIR/NAME.data, kept over restarts.
start_peer() {
    host="$NS_PREFIX-$1"
    name=$2
    shift 2
    rm -f "$WORK_DIR/$name.in"
    mkfifo "$WORK_DIR/$name.in"
    XDG_DATA_HOME="$WORK_DIR/$name.data" ip netns exec "$host" "$TOLLIX_CLI" "$@" \
        <"$WORK_DIR/$name.in" >>"$WORK_DIR/$name.out" 2>>"$WORK_DIR/$name.err" &
    eval "PEER_PID_$name=$!"
    exec {fd}>"$WORK_DIR/$name.in"
    eval "PEER_FD_$name=$fd"
}

# open_only_config: prints a settings folder (for --config) in which private conversations
# are off, for peers that test the open group itself: their texts go through the group and
# the tunnels as they did before sessions existed.
open_only_config() {
    mkdir -p "$WORK_DIR/open-only/Quardell"
    printf '[settings]\nprivate%%20conversations=0\n' >"$WORK_DIR/open-only/Quardell/Tollix.conf"
    echo "$WORK_DIR/open-only"
}

# send_command NAME LINE: one line on the peer's standard input.
send_command() {
    eval "fd=\$PEER_FD_$1"
    printf '%s\n' "$2" >&"$fd"
}

# stop_peer NAME: ends the peer's input and waits for it to exit; fails on a bad status.
stop_peer() {
    eval "fd=\$PEER_FD_$1; pid=\$PEER_PID_$1"
    exec {fd}>&-
    wait "$pid" || fail "peer $1 exited with status $?"
}

# wait_for NAME PATTERN [SECONDS]: waits until the peer's output has a line matching the
# extended regular expression.
wait_for() {
    deadline=$(( $(date +%s) + ${3:-10} ))
    while ! grep -Eq -- "$2" "$WORK_DIR/$1.out"; do
        [ "$(date +%s)" -lt "$deadline" ] || fail "peer $1 never printed /$2/"
        sleep 0.1
    done
}

# wait_for_count NAME PATTERN COUNT [SECONDS]: waits until COUNT lines of the peer's output
# match the extended regular expression.
wait_for_count() {
    deadline=$(( $(date +%s) + ${4:-10} ))
    while [ "$(grep -Ec -- "$2" "$WORK_DIR/$1.out")" -lt "$3" ]; do
        [ "$(date +%s)" -lt "$deadline" ] || fail "peer $1 never printed /$2/ $3 times"
        sleep 0.1
    done
}

# tx_packets HOST DEVICE: packets sent by the host's device so far.
tx_packets() {
    ip netns exec "$NS_PREFIX-$1" cat "/sys/class/net/$2/statistics/tx_packets"
}

TAB=$'\t'

# stat_value NAME LABEL: the packet count of the last `stats` answer's line LABEL.
stat_value() {
    grep "^stats${TAB}$2" "$WORK_DIR/$1.out" | tail -n 1 | sed -E 's/.*: (-?[0-9]+)\(.*/\1/'
}

# expect_stat NAME LABEL COUNT
expect_stat() {
    value=$(stat_value "$1" "$2")
    [ "$value" = "$3" ] || fail "peer $1: $2 is $value, expected $3"
}

# no_alerts NAME...: none of the peers printed an alert.
no_alerts() {
    for name in "$@"; do
        grep -q "^alert" "$WORK_DIR/$name.out" && fail "peer $name reported an alert"
    done
    return 0
}

# route HOST GATEWAY: the host's default route.
route() {
    ip -n "$NS_PREFIX-$1" route add default via "$2"
}

# two_subnets NAME:LAN:ADDRESS...: subnets 10.1.0.0/24 (bridge lan1) and 10.2.0.0/24 (lan2)
# joined by a router (.254 in each), and a host for each argument, with its address in its
# subnet and the router as its default route.
two_subnets() {
    new_bridge lan1
    new_bridge lan2
    new_namespace router
    plug router lan1 10.1.0.254/24 eth1
    plug router lan2 10.2.0.254/24 eth2
    ip netns exec "$NS_PREFIX-router" sysctl -qw net.ipv4.ip_forward=1
    for host in "$@"; do
        IFS=: read -r name lan address <<<"$host"
        new_namespace "$name"
        plug "$name" "$lan" "$address/24"
        route "$name" "${address%.*}.254"
    done
}
