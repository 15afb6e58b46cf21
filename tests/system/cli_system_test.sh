#!/usr/bin/env bash
# End-to-end test of orvalan-ndcp: the program in the workstation's network namespace sending the
# real broadcast to 255.255.255.255:64512, ndcp-sim answering as the devices in the device network
# (cli_flow.py starts it with the options each step needs). Every exit status, the JSON and CSV
# read back field by field, what reached the devices, and that no Gui or Widgets library is linked.
#
#   cli_system_test.sh ORVALAN_NDCP NDCP_SIM ARTEFACT_FOLDER
#
# The simulator's logs and the terminal session (session.txt) are kept in ARTEFACT_FOLDER. Needs
# root, network namespaces and Python 3; where one is missing the test is skipped (exit code 77)
# with the reason, except under CI (CI=true), where it must run and fails instead.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: $0 ORVALAN_NDCP NDCP_SIM ARTEFACT_FOLDER" >&2
    exit 2
fi
cli=$1
sim=$2
artefacts=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/lib/netns.sh
source "$here/../../scripts/lib/netns.sh"
export PYTHONDONTWRITEBYTECODE=1

missing=$(netns_missing)
command -v python3 >/dev/null 2>&1 || missing=${missing:-python3}
if [ -n "$missing" ]; then
    if [ "${CI:-}" = true ]; then
        echo "FAILED: under CI this test must run, but it needs $missing" >&2
        exit 1
    fi
    echo "SKIPPED: this test needs $missing"
    exit 77
fi
[ -x "$cli" ] || { echo "FAILED: no program at $cli (build the target orvalan-ndcp)" >&2; exit 1; }
[ -x "$sim" ] || { echo "FAILED: no simulator at $sim (build the target ndcp-sim)" >&2; exit 1; }

rm -rf "$artefacts"
mkdir -p "$artefacts"
netns_up
status=0
python3 "$here/cli_flow.py" --cli "$cli" --sim "$sim" --ws-ns "$NETNS_WS" --dev-ns "$NETNS_DEV" \
    --artefacts "$artefacts" || status=$?
if [ "$status" -ne 0 ]; then
    for log in "$artefacts"/ndcp-sim*.log; do
        echo "--- the simulator's log ${log##*/} ---" >&2
        cat "$log" >&2
    done
    echo "--- the session so far ---" >&2
    cat "$artefacts/session.txt" >&2 2>/dev/null || true
fi
exit "$status"
