# shellcheck shell=bash
# A private network of two namespaces joined by a veth pair: the workstation (where the utility
# runs) and the device network (where ndcp-sim answers as the devices). Each side has an address
# and a default route through the other, so the limited broadcast 255.255.255.255 that the
# utility sends leaves the workstation over the link and reaches the devices.
#
# Source this file, then call netns_up. netns_down removes everything again: the processes
# started with netns_spawn or netns_start_sim, whatever else still runs in the two namespaces,
# and the namespaces themselves. netns_up registers it for a normal end, Ctrl-C, a closed
# terminal, termination and failure alike. The machine's own network namespace is never changed:
# the veth ends are created directly inside the namespaces.
#
#   NETNS_WS, NETNS_DEV             names of the two namespaces (unique to this shell)
#   NETNS_WS_ADDR, NETNS_DEV_ADDR   their addresses on the link
#   NETNS_WS_IF, NETNS_DEV_IF       the names of the veth ends inside them
#   NETNS_SIM_PORT                  the devices' UDP port
#   NETNS_LAST_PID, NETNS_SIM_PID   the last process started, and the simulator

NETNS_WS="ov-ws-$$"
NETNS_DEV="ov-dev-$$"
NETNS_WS_IF=ov-ws0
NETNS_DEV_IF=ov-dev0
NETNS_WS_ADDR=10.213.0.1
NETNS_DEV_ADDR=10.213.0.2
NETNS_PREFIX_LEN=24
NETNS_SIM_PORT=64512
NETNS_PIDS=()
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
    netns_stop_pids "${NETNS_PIDS[@]}"
    NETNS_PIDS=()
    netns_remove "$NETNS_WS"
    netns_remove "$NETNS_DEV"
}

# Deletes namespaces of this helper left behind by a shell that was killed outright (SIGKILL,
# a lost machine): those whose creating shell is gone and in which nothing runs any more.
netns_reap_stale() {
    local ns owner
    for ns in $(ip netns list 2>/dev/null | awk '{print $1}'); do
        [[ $ns =~ ^ov-(ws|dev|probe)-([0-9]+)$ ]] || continue
        owner=${BASH_REMATCH[2]}
        # Called before this shell creates its own, so one named after this shell is stale too.
        [ "$owner" != "$$" ] && kill -0 "$owner" 2>/dev/null && continue
        [ -z "$(ip netns pids "$ns" 2>/dev/null)" ] || continue
        ip netns del "$ns" 2>/dev/null || true
    done
}

netns_up() {
    trap 'netns_down' EXIT
    trap 'netns_down; trap - EXIT; exit 130' INT
    trap 'netns_down; trap - EXIT; exit 129' HUP
    trap 'netns_down; trap - EXIT; exit 143' TERM
    netns_reap_stale
    ip netns add "$NETNS_WS"
    ip netns add "$NETNS_DEV"
    ip -n "$NETNS_WS" link add "$NETNS_WS_IF" type veth peer name "$NETNS_DEV_IF" netns "$NETNS_DEV"
    ip -n "$NETNS_WS" addr add "$NETNS_WS_ADDR/$NETNS_PREFIX_LEN" dev "$NETNS_WS_IF"
    ip -n "$NETNS_DEV" addr add "$NETNS_DEV_ADDR/$NETNS_PREFIX_LEN" dev "$NETNS_DEV_IF"
    local ns
    for ns in "$NETNS_WS" "$NETNS_DEV"; do
        ip -n "$ns" link set lo up
    done
    ip -n "$NETNS_WS" link set "$NETNS_WS_IF" up
    ip -n "$NETNS_DEV" link set "$NETNS_DEV_IF" up
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
# devices' port, logging to LOG, and waits until it listens. Fails, saying why, when it does not
# start within 10 seconds.
netns_start_sim() {
    local sim=$1 log=$2
    shift 2
    : >"$log"
    netns_spawn "$NETNS_DEV" "$sim" --port "$NETNS_SIM_PORT" --log "$log" "$@"
    NETNS_SIM_PID=$NETNS_LAST_PID
    if ! netns_wait_for "$log" ' ev=listening ' 10 "$NETNS_SIM_PID"; then
        echo "ndcp-sim did not start listening on port $NETNS_SIM_PORT; its log ($log):" >&2
        cat "$log" >&2
        return 1
    fi
}
