# shellcheck shell=bash
# Device networks around a workstation, made without any privilege of the machine. Source this
# file in a shell started by `unshare --user --map-root-user --net`: that shell's own network
# namespace is the workstation, and lans_up N gives it N network adapters, each a veth pair whose
# other end lies in a network namespace of its own (a device network). The workstation's default
# route goes through the first adapter, as on a workstation with several networks. All of it lives
# inside the user namespace, so an ordinary user can make it, and nothing sent in it can reach the
# machine's own network namespace.
#
#   LANS_NETNS   the device networks' namespaces as /proc/PID/ns/net, for `nsenter --net=`
#
# Device network k (from 1): the workstation has 10.231.k.1/24 on ov-lan<k>, the devices' side
# 10.231.k.2/24 on ov-dev0. lans_up registers lans_down for the shell's exit; the processes that
# hold the namespaces also end when the shell that started them ends.

LANS_NETNS=()
LANS_HOLDERS=()

lans_down() {
    local pid
    for pid in "${LANS_HOLDERS[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${LANS_HOLDERS[@]}"; do wait "$pid" 2>/dev/null || true; done
    LANS_HOLDERS=()
    LANS_NETNS=()
}

# Starts a process that sleeps in a new network namespace, and waits until it is there; the
# namespace lasts as long as the process. Its process id goes to LANS_HOLDERS.
lans_hold_namespace() {
    local holder own
    own=$(readlink /proc/self/ns/net)
    setpriv --pdeathsig KILL -- unshare --net -- sleep infinity &
    holder=$!
    LANS_HOLDERS+=("$holder")
    until [ "$(readlink "/proc/$holder/ns/net" 2>/dev/null)" != "$own" ]; do
        kill -0 "$holder" 2>/dev/null || return 1
        sleep 0.01
    done
}

lans_up() {
    local count=$1 k holder
    trap 'lans_down' EXIT
    ip link set lo up
    for ((k = 1; k <= count; k++)); do
        lans_hold_namespace
        holder=${LANS_HOLDERS[-1]}
        ip link add "ov-lan$k" type veth peer name ov-dev0 netns "$holder"
        ip addr add "10.231.$k.1/24" dev "ov-lan$k"
        ip link set "ov-lan$k" up
        nsenter --net="/proc/$holder/ns/net" sh -c \
            "ip link set lo up && ip addr add 10.231.$k.2/24 dev ov-dev0 && ip link set ov-dev0 up"
        LANS_NETNS+=("/proc/$holder/ns/net")
    done
    ip route add default via 10.231.1.2 dev ov-lan1
}
