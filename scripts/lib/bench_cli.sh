# shellcheck shell=bash
# The scripting command at scale, for scripts/bench: `orvalan-ndcp discover --json` over four
# device networks in which ndcp-sim answers as DEVICES devices in all, on the devices' port, made
# without privileges in a user namespace (userns_lans.sh). The figure is how long after its
# 3-second window the command has written its whole listing and ended, counted from its start (so
# the program's own start-up is in it); the listing must be valid JSON with one object for each
# device. Prints one row a run: section, figure, value, goal, verdict, tab-separated; fails when a
# run could not be measured (the command failed, or its listing was not valid).
#
#   bench_cli_rows CLI SIM DEVICES REPEAT
#
# Source this file from the top of the work tree.

BENCH_CLI_GOAL_MS=100
BENCH_CLI_WINDOW_MS=3000
BENCH_CLI_ADAPTERS=4

bench_cli_rows() {
    local cli=$1 sim=$2 devices=$3 repeat=$4
    unshare --user --map-root-user --net -- bash -c '
        set -euo pipefail
        cli=$1 sim=$2 devices=$3 repeat=$4 adapters=$5 window=$6 goal=$7
        . scripts/lib/userns_lans.sh
        lans_up "$adapters"
        work=$(mktemp -d)
        pids=()
        trap '\''kill "${pids[@]}" 2>/dev/null || true; wait "${pids[@]}" 2>/dev/null || true; rm -rf "$work"; lans_down'\'' EXIT
        share=$(((devices + adapters - 1) / adapters))
        for ((k = 0; k < adapters; k++)); do
            count=$((devices - k * share < share ? devices - k * share : share))
            nsenter --net="${LANS_NETNS[$k]}" "$sim" --bind 0.0.0.0 --port 64512 --quiet --log "$work/sim$k.log" \
                --devices "$count" --first-number $((1 + k * share)) &
            pids+=($!)
        done
        for ((k = 0; k < adapters; k++)); do
            for _ in $(seq 100); do grep -q " ev=listening " "$work/sim$k.log" 2>/dev/null && break; sleep 0.1; done
        done
        errors=0
        for ((run = 1; run <= repeat; run++)); do
            start=$(date +%s%N)
            status=0
            "$cli" discover --json >"$work/out.json" 2>"$work/err.txt" || status=$?
            end=$(date +%s%N)
            past=$(((end - start) / 1000000 - window))
            listed=$(python3 -c "
import json, sys
rows = json.load(open(sys.argv[1], encoding=\"utf-8\"))
keys = [\"name\", \"mac\", \"ip\", \"netmask\", \"module\", \"adapter\"]
assert all(list(r) == keys for r in rows), \"keys\"
assert len({r[\"mac\"] for r in rows}) == len(rows), \"a MAC listed twice\"
print(len(rows))" "$work/out.json" 2>&1) || listed="invalid JSON: $listed"
            verdict=met
            if [ "$status" -ne 0 ] || ! [[ $listed =~ ^[0-9]+$ ]]; then
                verdict=MISSED
                printf "orvalan-ndcp\tdiscover --json, %s devices, run %s\terror\texit %s, %s: %s\t%s\n" \
                    "$devices" "$run" "$status" "$listed" "$(tr "\n" " " <"$work/err.txt")" "$verdict"
                errors=1
                continue
            fi
            [ "$past" -le "$goal" ] || verdict=MISSED
            printf "orvalan-ndcp\tdiscover --json, %s devices on %s adapters: ended after the window\t%s ms (%s listed, valid JSON)\t<= %s ms\t%s\n" \
                "$devices" "$adapters" "$past" "$listed" "$goal" "$verdict"
        done
        exit "$errors"
    ' bash "$cli" "$sim" "$devices" "$repeat" "$BENCH_CLI_ADAPTERS" "$BENCH_CLI_WINDOW_MS" "$BENCH_CLI_GOAL_MS"
}
