#!/usr/bin/env bash
# End-to-end tests of orvalan-config: the real program on a virtual X display (Xvfb) in the
# workstation's network namespace, sending the real broadcast to 255.255.255.255:64512, and
# ndcp-sim answering as the devices in the device network. A driver moves the pointer and types
# with xdotool and checks the screens and the simulator's log. The scenarios:
#
#   setip      three devices; setip_flow.py: discovery, Set IP, Refresh, a wrong password, with
#              every request checked byte for byte in the datagrams captured in the device network
#   hostile    the devices answer while the simulator floods the program with malformed datagrams
#              for 10 seconds; hostile_flow.py: the program stays responsive and lists exactly the
#              devices of the model
#   lans       the workstation on two device networks, the default route on the first; on the
#              second a device whose network holds only an address outside the workstation's
#              network there, and no route; lan_flow.py: both listed, the second marked until a
#              Set IP, which reaches its link only, gives it an address there; Refresh shows it
#   linklocal  the workstation on one link with no default route, link-local addresses on both
#              sides; lan_flow.py: the device is listed and re-addressed
#
#   system_test.sh SCENARIO ORVALAN_CONFIG NDCP_SIM ARTEFACT_FOLDER
#
# The screenshots, the simulator's log, the captured datagrams and the program's output are
# kept in ARTEFACT_FOLDER. Needs root, network namespaces, Xvfb, xdotool, ImageMagick and
# Python 3. Where one is missing the test is skipped (exit code 77) with the reason, except
# under CI (CI=true), where it must run and fails instead.
set -euo pipefail

if [ $# -ne 4 ] || ! [[ $1 =~ ^(setip|hostile|lans|linklocal)$ ]]; then
    echo "usage: $0 setip|hostile|lans|linklocal ORVALAN_CONFIG NDCP_SIM ARTEFACT_FOLDER" >&2
    exit 2
fi
scenario=$1
app=$2
sim=$3
artefacts=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/lib/netns.sh
source "$here/../../scripts/lib/netns.sh"

# Seconds the driver may take; below the test's CTest time-out so that a hung step still fails
# with a message and a clean-up.
DRIVER_SECONDS=${DRIVER_SECONDS:-120}
# The devices' access password in the Set IP flow (the driver types it, and a wrong one).
ACCESS_PASSWORD=k3y-Pass-9
# The hostile network: devices of the model and of another one, and the flood.
HOSTILE_DEVICES=12
HOSTILE_OTHER_MODELS=3
FLOOD_SECONDS=10
FLOOD_RATE=${FLOOD_RATE:-5000}
# Each further device network's device answers this much later than the one before, so that the
# list's rows come in the order of the networks.
LAN_ANSWER_DELAY_MS=300
# No compiled Python files in the source tree.
export PYTHONDONTWRITEBYTECODE=1

unavailable() {
    if [ "${CI:-}" = true ]; then
        echo "FAILED: under CI this test must run, but it needs $1" >&2
        exit 1
    fi
    echo "SKIPPED: this test needs $1"
    exit 77
}

fail() {
    echo "FAILED: $1" >&2
    exit 1
}

check_prerequisites() {
    local missing tool
    missing=$(netns_missing)
    [ -z "$missing" ] || unavailable "$missing"
    for tool in Xvfb xdotool import convert python3; do
        command -v "$tool" >/dev/null 2>&1 || unavailable "$tool (scripts/install-deps installs it)"
    done
    [ -x "$app" ] || fail "no program at $app (build the target orvalan-config)"
    [ -x "$sim" ] || fail "no simulator at $sim (build the target ndcp-sim)"
}

# start_capture NS INTERFACE NAME: records the requests that reach INTERFACE in the device
# network NS in ARTEFACT_FOLDER/NAME.jsonl.
start_capture() {
    local ns=$1 interface=$2 name=$3
    netns_spawn "$ns" python3 "$here/udp_capture.py" "$interface" "$NETNS_SIM_PORT" \
        "$artefacts/$name.jsonl" "$artefacts/$name.ready" 2>"$artefacts/$name.err"
    netns_wait_for "$artefacts/$name.ready" '^ready$' 10 "$NETNS_LAST_PID" ||
        fail "the datagram capture did not start: $(cat "$artefacts/$name.err")"
}

# The dotted netmask of a prefix length.
netmask_of() {
    local bits=$(((0xFFFFFFFF << (32 - $1)) & 0xFFFFFFFF))
    echo "$((bits >> 24)).$((bits >> 16 & 255)).$((bits >> 8 & 255)).$((bits & 255))"
}

# add_device_network N WS_ADDR/PREFIX DEV_ADDR/PREFIX MAC [NEW_ADDR]: the N-th device network on a
# link of its own (ov-wsN in the workstation, ov-devN in it), its requests captured, and ndcp-sim
# in it answering as one device that reports the network's address and netmask, later the
# further N is. NEW_ADDR is the address lan_flow.py gives that device, whose simulator's log
# becomes the driver's --sim-log. Describes the network to lan_flow.py in
# ARTEFACT_FOLDER/networks.jsonl.
add_device_network() {
    local n=$1 ws_addr=$2 dev_addr=$3 mac=$4 new_addr=${5:-} ns
    ns=$(netns_device_ns "$n")
    netns_add_lan "$ns" "ov-ws$n" "$ws_addr" "ov-dev$n" "$dev_addr"
    start_capture "$ns" "ov-dev$n" "requests-lan$n"
    netns_start_sim_in "$ns" "$sim" "$artefacts/ndcp-sim-lan$n.log" --devices 0 --password "$ACCESS_PASSWORD" \
        --device "Storage-LAN$n,$mac,${dev_addr%/*},$(netmask_of "${dev_addr#*/}")" \
        --delay $(((n - 1) * LAN_ANSWER_DELAY_MS))
    [ -z "$new_addr" ] || sim_log=$artefacts/ndcp-sim-lan$n.log
    local fields='{"lan": %d, "namespace": "%s", "interface": "%s", "workstation": "%s", "device": "%s",'
    fields+=' "mac": "%s", "set_to": "%s", "capture": "%s", "sim_log": "%s"}\n'
    # shellcheck disable=SC2059
    printf "$fields" "$n" "$ns" "ov-dev$n" "$ws_addr" "$dev_addr" "$mac" "$new_addr" \
        "$artefacts/requests-lan$n.jsonl" "$artefacts/ndcp-sim-lan$n.log" >>"$artefacts/networks.jsonl"
}

# Starts Xvfb in the workstation namespace on a free display and sets DISPLAY_NAME.
start_display() {
    netns_start_xvfb "$NETNS_WS" "$artefacts" || fail "Xvfb did not start"
    DISPLAY_NAME=$NETNS_DISPLAY
}

check_prerequisites
rm -rf "$artefacts"
mkdir -p "$artefacts"
sim_log=$artefacts/ndcp-sim.log
case $scenario in
    setip | hostile) netns_up ;;
    lans)
        netns_workstation
        add_device_network 1 10.198.1.1/24 10.198.1.2/24 0011223344B1
        add_device_network 2 10.198.2.1/24 192.168.1.50/24 0011223344B2 10.198.2.50
        ip -n "$NETNS_WS" route add default via 10.198.1.2 dev ov-ws1
        ;;
    linklocal)
        netns_workstation
        add_device_network 1 169.254.10.1/16 169.254.20.2/16 0011223344C1 169.254.20.77
        ;;
esac
start_display
case $scenario in
    setip)
        start_capture "$NETNS_DEV" "$NETNS_DEV_IF" requests
        netns_start_sim "$sim" "$artefacts/ndcp-sim.log" --devices 2 --other-models 1 --password "$ACCESS_PASSWORD"
        driver=("$here/setip_flow.py" --capture "$artefacts/requests.jsonl" --client-address "$NETNS_WS_ADDR")
        ;;
    hostile)
        netns_start_sim "$sim" "$artefacts/ndcp-sim.log" --devices "$HOSTILE_DEVICES" \
            --other-models "$HOSTILE_OTHER_MODELS" --flood "$FLOOD_SECONDS" --flood-rate "$FLOOD_RATE"
        driver=("$here/hostile_flow.py" --devices "$HOSTILE_DEVICES" --other-models "$HOSTILE_OTHER_MODELS"
            --flood-seconds "$FLOOD_SECONDS" --flood-rate "$FLOOD_RATE")
        ;;
    lans | linklocal)
        driver=("$here/lan_flow.py" --networks "$artefacts/networks.jsonl")
        ;;
esac
echo "devices in ${NETNS_DEVICE_NETS[*]}, the program on display $DISPLAY_NAME in $NETNS_WS; artefacts in $artefacts"

# In the background, so that Ctrl-C or a termination reaches the clean-up at once.
netns_spawn "$NETNS_WS" timeout --kill-after=5 "$DRIVER_SECONDS" python3 "${driver[@]}" \
    --app "$app" --display "$DISPLAY_NAME" --sim-log "$sim_log" --artefacts "$artefacts"
status=0
wait "$NETNS_LAST_PID" || status=$?
if [ "$status" -eq 124 ]; then
    echo "FAILED: the driver did not finish within $DRIVER_SECONDS s" >&2
fi
if [ "$status" -ne 0 ]; then
    netns_print_sim_logs "$artefacts"
    echo "--- orvalan-config's output ---" >&2
    cat "$artefacts/orvalan-config.log" >&2 2>/dev/null || true
    echo "screenshots and logs: $artefacts" >&2
fi
exit "$status"
