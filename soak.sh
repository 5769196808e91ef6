#!/usr/bin/env bash
# Fault-injection soak: full updates of the bundled example (examples/) by
# corvane-updater --batch against corvane-cardsim with seeded random faults.
#   ./soak.sh [RUNS [SEED]]      (default: 20 runs, seed 1)
# Run n draws from seed SEED+n a transport (pseudo-terminal, UDP or TCP) and the
# card's faults: retransmission requests, HEX lines, JTAG records, streams and
# captured data damaged or cut short, acknowledgements dropped, a card that falls
# silent, a TCP connection the card closes. Short commands carry no sum, so the
# card never damages them. Two runs at a time, at low priority.
#
# Every run must end within its bound: the updater stops a run after
# SilenceSeconds without a reply, and is killed DeadlineSeconds after its start
# (that run counts as hung). A run that exits 0 must leave the card holding
# exactly the images (corvane-tool check); a run that exits 1 must have printed
# why. The counts go to stdout; the runs that went wrong are kept in build-soak/.
# Exit code 1 when a run hung, crashed, failed silently or completed but wrong.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

runs=${1:-20}
base_seed=${2:-1}
if ! [[ $runs =~ ^[1-9][0-9]*$ && $base_seed =~ ^[0-9]+$ ]]; then
    echo "usage: $0 [RUNS [SEED]]" >&2
    exit 2
fi

SilenceSeconds=5
DeadlineSeconds=120
Parallel=2

ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja > /dev/null
nice -n 10 cmake --build build --target corvane-updater corvane-cardsim corvane-tool

soak=$PWD/build-soak
rm -rf "$soak"
mkdir -p "$soak"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$soak/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
bin=$PWD/build/bin

# The run's own random numbers: a 64-bit mix of a counter started at its seed
# (bash's RANDOM gives runs with neighbouring seeds much the same draws).
draw() {
    state=$((state + 0x9E3779B97F4A7C15))
    local z=$state
    z=$(((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9))
    z=$(((z ^ (z >> 27)) * 0x94D049BB133111EB))
    drawn=$(((z ^ (z >> 31)) & 0x7FFFFFFF))
}

# One of the words, drawn, into picked.
pick() {
    local words=("$@")
    draw
    picked=${words[drawn % ${#words[@]}]}
}

# Writes the run's outcome (one word) and its description to its folder.
one_run() {
    local n=$1 dir=$soak/run-$1 state=$((base_seed + n)) drawn
    mkdir -p "$dir"
    cp -r examples "$dir/app"

    local transport picked faults=(--seed "$((base_seed + n))")
    pick pty udp tcp
    transport=$picked
    pick 0 0 0.002 0.01 0.03
    faults+=(--repeat-rate "$picked")
    pick 0 0 0.002 0.01 0.03
    faults+=(--corrupt-rate "$picked")
    pick 0 0 0.002 0.01
    faults+=(--drop-rate "$picked")
    pick 0 0 0.05 0.2
    faults+=(--corrupt-capture-rate "$picked")
    pick 0 0 0 0 0 0 0.0005 0.002
    faults+=(--drop-ack-rate "$picked")
    draw
    if [ $((drawn % 8)) -eq 0 ]; then
        draw
        faults+=(--silent-after "$((20 + drawn % 3000))")
    fi
    draw
    if [ "$transport" = tcp ] && [ $((drawn % 4)) -eq 0 ]; then
        draw
        faults+=(--close-after "$((20 + drawn % 3000))")
    fi
    echo "run $n: $transport ${faults[*]}" > "$dir/description"

    local link=(--pty)
    [ "$transport" = udp ] && link=(--udp 0)
    [ "$transport" = tcp ] && link=(--tcp 0)
    local card_out card_pid address
    exec {card_out}< <(exec nice -n 10 "$bin/corvane-cardsim" "${link[@]}" --state "$dir/card.json" "${faults[@]}" \
        2> "$dir/card.err")
    card_pid=$!
    if ! read -r -t 10 -u "$card_out" address || [ -z "$address" ]; then
        echo "card-failed" > "$dir/outcome"
        kill -KILL "$card_pid" 2> /dev/null || true
        return
    fi
    case $transport in
        pty) printf 'CON_TYPE=RS232\nCOM_PORT=COM1\nCOM1=%s\n' "$address" ;;
        udp) printf 'CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=%s\nLOCAL_PORT=0\n' "$address" ;;
        tcp) printf 'CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=%s\n' "$address" ;;
    esac > "$dir/app/Updater.prm"

    local status=0 start=$SECONDS
    timeout -k 5 "$DeadlineSeconds" nice -n 10 "$bin/corvane-updater" --batch --app-dir "$dir/app" \
        --timeout "$SilenceSeconds" > "$dir/updater.out" 2> "$dir/updater.err" || status=$?
    echo "exit $status after $((SECONDS - start)) s" >> "$dir/description"

    # SIGTERM makes the card write what it holds.
    kill -TERM "$card_pid" 2> /dev/null || true
    timeout 10 tail --pid="$card_pid" -f /dev/null || kill -KILL "$card_pid" 2> /dev/null || true
    exec {card_out}<&-

    local outcome
    case $status in
        0)
            if "$bin/corvane-tool" check "$dir/card.json" "$dir/app" > "$dir/check.out" 2>&1; then
                outcome=exact
            else
                outcome=wrong
            fi
            ;;
        1)
            # Qt's own remarks do not count as the run's message.
            if grep -qv '^QStandardPaths:' "$dir/updater.err"; then
                outcome=failed
            else
                outcome=silent
            fi
            ;;
        124 | 137) outcome=hung ;;
        *) outcome=crashed ;;
    esac
    echo "$outcome" > "$dir/outcome"
    if [ "$outcome" = exact ] || [ "$outcome" = failed ]; then
        rm -rf "$dir/app"
    fi
}

echo "Soak: $runs runs from seed $base_seed, $Parallel at a time; silence bound ${SilenceSeconds} s, deadline ${DeadlineSeconds} s"
for ((n = 1; n <= runs; n++)); do
    one_run "$n" &
    while [ "$(jobs -rp | wc -l)" -ge "$Parallel" ]; do
        wait -n || true
    done
done
wait

# Runs whose outcome is the word; a run that left none counts as crashed.
count() { cat "$soak"/run-*/outcome 2> /dev/null | grep -cx "$1" || true; }
exact=$(count exact)
failed=$(count failed)
hung=$(count hung)
wrong=$(count wrong)
crashed=$((runs - exact - failed - hung - wrong))

printf '%-28s %6d\n' "runs" "$runs" "completed exact" "$exact" "failed with a message" "$failed" \
    "hung" "$hung" "crashed" "$crashed" "completed but wrong" "$wrong"
for ((n = 1; n <= runs; n++)); do
    dir=$soak/run-$n
    outcome=$(cat "$dir/outcome" 2> /dev/null || echo "no outcome")
    case $outcome in
        exact | failed) ;;
        *) echo "$outcome: $(head -1 "$dir/description") (kept in $dir)" ;;
    esac
done
[ "$hung" -eq 0 ] && [ "$crashed" -eq 0 ] && [ "$wrong" -eq 0 ]
