# shellcheck shell=bash
# run_isolated COMMAND...: runs the command in a private network namespace with only loopback up,
# so that no datagram of it can leave the machine (a user namespace maps root when not root).
#
# Source this file from the top of the work tree.

run_isolated() {
    if [ "$(id -u)" -eq 0 ]; then
        unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
    else
        unshare --net --map-root-user -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
    fi
}
