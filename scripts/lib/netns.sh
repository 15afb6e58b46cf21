# shellcheck shell=bash
# A private network of namespaces joined by veth pairs: the workstation (where the utility runs)
# and device networks (where ndcp-sim answers as the devices), each device network on a link of
# its own to the workstation.
#
# Source this file, then either call netns_up, for one device network in which each side has an
# address and a default route through the other, so that the limited broadcast 255.255.255.255
# the utility sends leaves the workstation over the link and reaches the devices; or build your
# own with netns_workstation, then netns_add_lan for each device network, then the routes you
# want. netns_down removes everything again: the processes started with netns_spawn or
# netns_start_sim, whatever else still runs in the namespaces, and the namespaces themselves.
# netns_up and netns_workstation register it for a normal end, Ctrl-C, a closed terminal,
# termination and failure alike. The machine's own network namespace is never changed: the veth
# ends are created directly inside the namespaces.
#
#   NETNS_WS, NETNS_DEV             the workstation's namespace and netns_up's device network
#                                   (unique to this shell; netns_device_ns names more)
#   NETNS_WS_ADDR, NETNS_DEV_ADDR   netns_up's addresses on the link
#   NETNS_WS_IF, NETNS_DEV_IF       the names of netns_up's veth ends inside them
#   NETNS_SIM_PORT                  the devices' UDP port
#   NETNS_LAST_PID, NETNS_SIM_PID   the last process started, and the last simulator
#   NETNS_DISPLAY                   the X display netns_start_xvfb started
#
# Reverse-path filtering (net.ipv4.conf.*.rp_filter; the higher of "all" and the interface's
# value counts) decides whether the kernel takes in a datagram by its source address. Strict mode
# (1) drops it unless the route back to the source leaves through the interface it came in on,
# loose mode (2) unless there is a route back at all, 0 takes everything. Tried in these
# namespaces: the answer of a device whose address lies outside the workstation's network on
# that link (192.168.1.50 on a link of 10.198.2.0/24, the default route on another link) is
# dropped in strict mode and taken in loose mode, and in loose mode only while some route, such
# as the default route, covers its source; a device with no route back hears the workstation's
# broadcast only with 0. A new namespace starts with the machine's values, so both are set here:
#   - the workstation: loose (2), what desktop Linux has (systemd's sysctl defaults since 2018;
#     the kernel's own default is 0), and so what the utility meets on a user's machine;
#   - the device networks: 0, as a device's small network stack checks no source addresses; the
#     test of a device outside the workstation's network depends on it.
NETNS_WS_RP_FILTER=2
NETNS_DEV_RP_FILTER=0

NETNS_WS="ov-ws-$$"
NETNS_DEV="ov-dev-$$"
NETNS_WS_IF=ov-ws0
NETNS_DEV_IF=ov-dev0
NETNS_WS_ADDR=192.168.0.1
NETNS_DEV_ADDR=192.168.0.2
NETNS_PREFIX_LEN=24
NETNS_SIM_PORT=64512
NETNS_PIDS=()
NETNS_DEVICE_NETS=()
NETNS_STOP_SECONDS=${NETNS_STOP_SECONDS:-5}

# Prints what is missing to create the namespaces, with how to get it, or nothing when all is
# there. Probes with a throw-away namespace of its own.
netns_missing() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "root, to create network namespaces (run it with sudo, or as root)"
        return
    fi
    if ! command -v ip >/dev/null 2>&1; then
        echo "the ip command (apt-get install iproute2)"
        return
    fi
    local probe="ov-probe-$$"
    if ! ip netns add "$probe" 2>/dev/null; then
        echo "permission to create network namespaces (a container needs CAP_SYS_ADMIN, e.g. docker run --privileged)"
        return
    fi
    if ! ip netns exec "$probe" true 2>/dev/null; then
        echo "permission to enter network namespaces (ip netns exec needs to mount /sys: CAP_SYS_ADMIN)"
    elif ! ip -n "$probe" link add ov-probe0 type veth peer name ov-probe1 2>/dev/null; then
        echo "the veth network driver (modprobe veth, or a kernel with CONFIG_VETH)"
    fi
    ip netns del "$probe" 2>/dev/null || true
}

# True while the process exists and is not a zombie.
netns_alive() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) }
    [ "${stat%% *}" != Z ]
}

# Stops the given processes: SIGTERM, then SIGKILL for any still there after
# NETNS_STOP_SECONDS. Reaps those that are children of this shell.
netns_stop_pids() {
    local pid deadline
    [ $# -eq 0 ] && return 0
    for pid in "$@"; do kill -TERM "$pid" 2>/dev/null || true; done
    deadline=$((SECONDS + NETNS_STOP_SECONDS))
    for pid in "$@"; do
        while netns_alive "$pid" && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
        netns_alive "$pid" && kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null || true
    done
    return 0
}

# Stops every process that still lives in the namespace, then deletes it.
netns_remove() {
    local ns=$1 pids
    [ -e "/run/netns/$ns" ] || return 0
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    # shellcheck disable=SC2086
    [ -n "$pids" ] && netns_stop_pids $pids
    ip netns del "$ns" 2>/dev/null || true
}

netns_down() {
    local ns
    netns_stop_pids "${NETNS_PIDS[@]}"
    NETNS_PIDS=()
    netns_remove "$NETNS_WS"
    for ns in "${NETNS_DEVICE_NETS[@]}"; do netns_remove "$ns"; done
    NETNS_DEVICE_NETS=()
}

# Deletes namespaces of this helper left behind by a shell that was killed outright (SIGKILL,
# a lost machine): those whose creating shell is gone and in which nothing runs any more.
netns_reap_stale() {
    local ns owner
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
        [[ $ns =~ ^ov-(ws|dev[0-9]*|probe)-([0-9]+)$ ]] || continue
        owner=${BASH_REMATCH[2]}
        # Called before this shell creates its own, so one named after this shell is stale too.
        [ "$owner" != "$$" ] && kill -0 "$owner" 2>/dev/null && continue
        [ -z "$(ip netns pids "$ns" 2>/dev/null)" ] || continue
        ip netns del "$ns" 2>/dev/null || true
    done
}

# netns_device_ns N: the name for the N-th device network of this shell, which netns_down and a
# later shell's clean-up recognise.
netns_device_ns() {
    echo "ov-dev$1-$$"
}

# netns_create NS MODE: creates a namespace with loopback up and the reverse-path filter mode
# MODE on all its interfaces, those still to come included.
netns_create() {
    local ns=$1 mode=$2
    ip netns add "$ns"
    ip -n "$ns" link set lo up
    ip netns exec "$ns" sysctl -q -w "net.ipv4.conf.all.rp_filter=$mode" "net.ipv4.conf.default.rp_filter=$mode"
}

# Registers the clean-up and creates the workstation's namespace, without links.
netns_workstation() {
    trap 'netns_down' EXIT
    trap 'netns_down; trap - EXIT; exit 130' INT
    trap 'netns_down; trap - EXIT; exit 129' HUP
    trap 'netns_down; trap - EXIT; exit 143' TERM
    netns_reap_stale
    netns_create "$NETNS_WS" "$NETNS_WS_RP_FILTER"
}

# netns_add_lan NS WS_IF WS_ADDR/PREFIX DEV_IF DEV_ADDR/PREFIX: creates the device network NS
# (a name from netns_device_ns, or NETNS_DEV) on a link of its own to the workstation, the end
# WS_IF in the workstation and DEV_IF in NS, each with its address, both up. No routes beyond the
# link's own network.
netns_add_lan() {
    local ns=$1 ws_if=$2 ws_addr=$3 dev_if=$4 dev_addr=$5
    NETNS_DEVICE_NETS+=("$ns")
    netns_create "$ns" "$NETNS_DEV_RP_FILTER"
    ip -n "$NETNS_WS" link add "$ws_if" type veth peer name "$dev_if" netns "$ns"
    ip -n "$NETNS_WS" addr add "$ws_addr" dev "$ws_if"
    ip -n "$ns" addr add "$dev_addr" dev "$dev_if"
    ip -n "$NETNS_WS" link set "$ws_if" up
    ip -n "$ns" link set "$dev_if" up
}

netns_up() {
    netns_workstation
    netns_add_lan "$NETNS_DEV" "$NETNS_WS_IF" "$NETNS_WS_ADDR/$NETNS_PREFIX_LEN" \
        "$NETNS_DEV_IF" "$NETNS_DEV_ADDR/$NETNS_PREFIX_LEN"
    # A default route on each side, so that the limited broadcast 255.255.255.255 leaves through
    # the veth link and reaches the devices.
    ip -n "$NETNS_WS" route add default via "$NETNS_DEV_ADDR" dev "$NETNS_WS_IF"
    ip -n "$NETNS_DEV" route add default via "$NETNS_WS_ADDR" dev "$NETNS_DEV_IF"
}

# netns_spawn NS command...: starts a command in the background inside a namespace and remembers
# it, so that netns_down stops it. Its process id is in NETNS_LAST_PID afterwards. Redirections
# given to netns_spawn apply to the command.
netns_spawn() {
    local ns=$1
    shift
    ip netns exec "$ns" "$@" &
    NETNS_LAST_PID=$!
    NETNS_PIDS+=("$NETNS_LAST_PID")
}

# netns_wait_for FILE PATTERN SECONDS [PID]: waits until a line of FILE matches the extended
# regular expression PATTERN. Fails after SECONDS, or as soon as the process PID has ended.
netns_wait_for() {
    local file=$1 pattern=$2 deadline=$((SECONDS + $3)) pid=${4:-}
    until grep -Eq -- "$pattern" "$file" 2>/dev/null; do
        if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
        if [ -n "$pid" ] && ! netns_alive "$pid"; then
            grep -Eq -- "$pattern" "$file" 2>/dev/null
            return
        fi
        sleep 0.1
    done
}

# netns_start_sim SIM LOG [option...]: starts the simulator SIM in the device namespace on the
# devices' port and every address of that private network, logging to LOG, and waits until it
# listens. Fails, saying why, when it does not
# start within 10 seconds.
netns_start_sim() {
    netns_start_sim_in "$NETNS_DEV" "$@"
}

# netns_start_sim_in NS SIM LOG [option...]: the same in the device network NS.
netns_start_sim_in() {
    local ns=$1 sim=$2 log=$3
    shift 3
    : >"$log"
    netns_spawn "$ns" "$sim" --bind 0.0.0.0 --port "$NETNS_SIM_PORT" --log "$log" "$@"
    NETNS_SIM_PID=$NETNS_LAST_PID
    if ! netns_wait_for "$log" ' ev=listening ' 10 "$NETNS_SIM_PID"; then
        echo "ndcp-sim did not start listening on port $NETNS_SIM_PORT; its log ($log):" >&2
        cat "$log" >&2
        return 1
    fi
}

# netns_start_xvfb NS FOLDER: starts a virtual X display (Xvfb, 1024x768 at 96 dpi) on a free
# display number in the namespace NS, writing that number to FOLDER/display and Xvfb's messages
# to FOLDER/xvfb.log, and sets NETNS_DISPLAY (":N"). Fails, printing the messages, when it does
# not start within 15 seconds.
netns_start_xvfb() {
    local ns=$1 folder=$2
    netns_spawn "$ns" Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
        3>"$folder/display" 2>"$folder/xvfb.log"
    if ! netns_wait_for "$folder/display" '^[0-9]+$' 15 "$NETNS_LAST_PID"; then
        cat "$folder/xvfb.log" >&2
        return 1
    fi
    # shellcheck disable=SC2034 # for the scripts that source this file
    NETNS_DISPLAY=":$(head -n 1 "$folder/display")"
}

# Prints every simulator log in the folder to standard error, each under its name: what a failed
# test shows of the devices' side.
netns_print_sim_logs() {
    local log
    for log in "$1"/ndcp-sim*.log; do
        [ -e "$log" ] || continue
        echo "--- the simulator's log ${log##*/} ---" >&2
        cat "$log" >&2
    done
}
