#!/usr/bin/env bash
# End-to-end tests of orvalan-config: the real program on a virtual X display (Xvfb) in the
# workstation's network namespace, sending the real broadcast to 255.255.255.255:64512, and
# ndcp-sim answering as the devices in the device network. A driver moves the pointer and types
# with xdotool and checks the screens and the simulator's log. Two scenarios:
#
#   setip    three devices; setip_flow.py: discovery, Set IP, Refresh, a wrong password, with
#            every request checked byte for byte in the datagrams captured in the device network
#   hostile  the devices answer while the simulator floods the program with malformed datagrams
#            for 10 seconds; hostile_flow.py: the program stays responsive and lists exactly the
#            devices of the model
#
#   system_test.sh SCENARIO ORVALAN_CONFIG NDCP_SIM ARTEFACT_FOLDER
#
# The screenshots, the simulator's log, the captured datagrams and the program's output are
# kept in ARTEFACT_FOLDER. Needs root, network namespaces, Xvfb, xdotool, ImageMagick and
# Python 3. Where one is missing the test is skipped (exit code 77) with the reason, except
# under CI (CI=true), where it must run and fails instead.
set -euo pipefail

if [ $# -ne 4 ] || ! [[ $1 =~ ^(setip|hostile)$ ]]; then
    echo "usage: $0 setip|hostile ORVALAN_CONFIG NDCP_SIM ARTEFACT_FOLDER" >&2
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

start_capture() {
    netns_spawn "$NETNS_DEV" python3 "$here/udp_capture.py" "$NETNS_DEV_IF" "$NETNS_SIM_PORT" \
        "$artefacts/requests.jsonl" "$artefacts/capture.ready" 2>"$artefacts/capture.err"
    netns_wait_for "$artefacts/capture.ready" '^ready$' 10 "$NETNS_LAST_PID" ||
        fail "the datagram capture did not start: $(cat "$artefacts/capture.err")"
}

# Starts Xvfb in the workstation namespace on a free display and sets DISPLAY_NAME.
start_display() {
    netns_spawn "$NETNS_WS" Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp \
        3>"$artefacts/display" 2>"$artefacts/xvfb.log"
    netns_wait_for "$artefacts/display" '^[0-9]+$' 15 "$NETNS_LAST_PID" ||
        fail "Xvfb did not start: $(cat "$artefacts/xvfb.log")"
    DISPLAY_NAME=":$(head -n 1 "$artefacts/display")"
}

check_prerequisites
rm -rf "$artefacts"
mkdir -p "$artefacts"
netns_up
start_display
case $scenario in
    setip)
        start_capture
        netns_start_sim "$sim" "$artefacts/ndcp-sim.log" --devices 2 --other-models 1 --password "$ACCESS_PASSWORD"
        driver=("$here/setip_flow.py" --capture "$artefacts/requests.jsonl" --client-address "$NETNS_WS_ADDR")
        ;;
    hostile)
        netns_start_sim "$sim" "$artefacts/ndcp-sim.log" --devices "$HOSTILE_DEVICES" \
            --other-models "$HOSTILE_OTHER_MODELS" --flood "$FLOOD_SECONDS" --flood-rate "$FLOOD_RATE"
        driver=("$here/hostile_flow.py" --devices "$HOSTILE_DEVICES" --other-models "$HOSTILE_OTHER_MODELS"
            --flood-seconds "$FLOOD_SECONDS" --flood-rate "$FLOOD_RATE")
        ;;
esac
echo "devices in $NETNS_DEV, the program on display $DISPLAY_NAME in $NETNS_WS; artefacts in $artefacts"

# In the background, so that Ctrl-C or a termination reaches the clean-up at once.
netns_spawn "$NETNS_WS" timeout --kill-after=5 "$DRIVER_SECONDS" python3 "${driver[@]}" \
    --app "$app" --display "$DISPLAY_NAME" --sim-log "$artefacts/ndcp-sim.log" --artefacts "$artefacts"
status=0
wait "$NETNS_LAST_PID" || status=$?
if [ "$status" -eq 124 ]; then
    echo "FAILED: the driver did not finish within $DRIVER_SECONDS s" >&2
fi
if [ "$status" -ne 0 ]; then
    echo "--- the simulator's log ---" >&2
    cat "$artefacts/ndcp-sim.log" >&2
    echo "--- orvalan-config's output ---" >&2
    cat "$artefacts/orvalan-config.log" >&2 2>/dev/null || true
    echo "screenshots and logs: $artefacts" >&2
fi
exit "$status"
