#!/usr/bin/env bash
# Fault-injection soak: full updates of the bundled example (examples/) by
# corvane-updater --batch against corvane-cardsim with seeded random faults.
#   ./soak.sh [RUNS [SEED]] [--cards N] [--noise]   (default: 20 runs, seed 1, one card a run)
# Card c of run n draws from seed SEED+(n-1)*N+c a transport (pseudo-terminal, UDP
# or TCP) and its faults: retransmission requests, HEX lines, JTAG records,
# streams and captured data damaged or cut short, acknowledgements dropped, a
# card that falls silent, a TCP connection the card closes. Short commands carry
# no sum, so the card never damages them. With --noise each card also puts stray
# bytes of line noise in front of some of its replies, and one card in four has
# noise as its only fault: such a card must complete. With --cards N one updater updates the N
# cards of a run at once (--port each); one run at a time then, else two; all at
# low priority.
#
# Every run must end within its bound: the updater stops a card after
# SilenceSeconds without a reply, and is killed DeadlineSeconds (and
# CardSeconds for each card beyond the first) after its start (its cards count
# as hung). Each card's verdict is the updater's: its exit code with one card,
# its summary row with several. A card that completed must hold exactly the
# images (corvane-tool check); one that failed must have been given a reason.
# The counts go to stdout; the runs that went wrong are kept in build-soak/.
# Exit code 1 when a card hung, crashed, failed silently, completed but wrong,
# the exit code and the summary disagree, or a card whose only fault is noise failed.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

usage() {
    echo "usage: $0 [RUNS [SEED]] [--cards N] [--noise]" >&2
    exit 2
}

cards=1
noise=no
positional=()
while [ $# -gt 0 ]; do
    case $1 in
        --noise)
            noise=yes
            shift
            ;;
        --cards)
            [ $# -ge 2 ] || usage
            cards=$2
            shift 2
            ;;
        *)
            positional+=("$1")
            shift
            ;;
    esac
done
[ ${#positional[@]} -le 2 ] || usage
runs=${positional[0]:-20}
base_seed=${positional[1]:-1}
if ! [[ $runs =~ ^[1-9][0-9]*$ && $base_seed =~ ^[0-9]+$ && $cards =~ ^[1-9][0-9]?$ ]]; then
    usage
fi

SilenceSeconds=5
DeadlineSeconds=120
CardSeconds=10
Parallel=2
[ "$cards" -gt 1 ] && Parallel=1
deadline=$((DeadlineSeconds + (cards - 1) * CardSeconds))

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

# The card's own random numbers: a 64-bit mix of a counter started at its seed
# (bash's RANDOM gives neighbouring seeds much the same draws).
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

# The transport and faults of the card with that seed, into transport and faults;
# noise_only says whether line noise is its only fault. The draws without --noise
# are those of earlier soaks, so a seed still gives the same card.
draw_card() {
    local seed=$1 state=$1 drawn picked
    faults=(--seed "$seed")
    noise_only=no
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
    if [ "$noise" = yes ]; then
        draw
        [ $((drawn % 4)) -eq 0 ] && noise_only=yes && faults=(--seed "$seed")
        pick 0.001 0.01 0.05 0.1
        faults+=(--noise-rate "$picked")
    fi
}

# A UDP port for the updater's end of a card: the one the system gives a card
# that stops at once. Port 0 (any free port) is taken by the run's first UDP card:
# the updater does not take it for two.
free_udp_port() {
    local out pid
    exec {out}< <(exec "$bin/corvane-cardsim" --udp 0 2> /dev/null)
    pid=$!
    read -r -t 10 -u "$out" free_port || free_port=
    kill -KILL "$pid" 2> /dev/null || true
    timeout 10 tail --pid="$pid" -f /dev/null || true
    exec {out}<&-
}

# The updater's verdict on card c (completed, failed, stopped or none) and
# whether it gave a reason, into verdict and reason.
card_verdict() {
    local dir=$1 status=$2 port=$3 row
    if [ "$cards" -eq 1 ]; then
        verdict=completed
        [ "$status" -eq 1 ] && verdict=failed
        # Qt's own remarks do not count as the run's message.
        reason=no
        grep -qv '^QStandardPaths:' "$dir/updater.err" && reason=yes
        return 0
    fi
    # The summary row: port, device ID, result, duration ("1.5 s"), lines, retransmissions, message.
    # The summary names a UDP link without the local port its --port gave.
    port=${port%%\?local=*}
    row=$(awk -v port="$port" 'heading && $1 == port { print; exit } /^PORT / { heading = 1 }' "$dir/updater.out")
    verdict=$(awk '{ print $3 }' <<< "$row")
    [ -n "$verdict" ] || verdict=none
    reason=no
    [ "$(awk '{ print NF }' <<< "$row")" -gt 7 ] 2> /dev/null && reason=yes
    return 0
}

# Runs the cards of run n at once and writes each card's outcome (one word) and
# description to its folder.
one_run() {
    local n=$1 dir=$soak/run-$1
    mkdir -p "$dir"
    cp -r examples "$dir/app"

    local c card_dir transport faults address
    local card_pids=() card_outs=() ports=() port_args=() udp_local=0 started=yes
    for ((c = 1; c <= cards; c++)); do
        card_dir=$dir/card-$c
        mkdir -p "$card_dir"
        draw_card "$((base_seed + (n - 1) * cards + c))"
        echo "run $n card $c: $transport ${faults[*]}" > "$card_dir/description"
        [ "$noise_only" = yes ] && touch "$card_dir/noise-only"
        local link=(--pty) out
        [ "$transport" = udp ] && link=(--udp 0)
        [ "$transport" = tcp ] && link=(--tcp 0)
        exec {out}< <(exec nice -n 10 "$bin/corvane-cardsim" "${link[@]}" --state "$card_dir/card.json" \
            "${faults[@]}" 2> "$card_dir/card.err")
        card_pids+=($!)
        card_outs+=("$out")
        if ! read -r -t 10 -u "$out" address || [ -z "$address" ]; then
            started=no
            break
        fi
        case $transport in
            pty) ports+=("$address") ;;
            tcp) ports+=("tcp://127.0.0.1:$address") ;;
            udp)
                local local_port=0
                if [ "$udp_local" -gt 0 ]; then
                    free_udp_port
                    local_port=$free_port
                fi
                udp_local=$((udp_local + 1))
                ports+=("udp://127.0.0.1:$address?local=$local_port")
                ;;
        esac
        [ "$cards" -gt 1 ] && port_args+=(--port "${ports[-1]}")
        [ "$cards" -eq 1 ] && case $transport in
            pty) printf 'CON_TYPE=RS232\nCOM_PORT=COM1\nCOM1=%s\n' "$address" ;;
            udp) printf 'CON_TYPE=UDP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=%s\nLOCAL_PORT=0\n' "$address" ;;
            tcp) printf 'CON_TYPE=TCP\nREMOTE_IP=127.0.0.1\nREMOTE_PORT=%s\n' "$address" ;;
        esac > "$dir/app/Updater.prm"
    done

    local status=0 start=$SECONDS
    if [ "$started" = yes ]; then
        timeout -k 5 "$deadline" nice -n 10 "$bin/corvane-updater" --batch --app-dir "$dir/app" \
            --timeout "$SilenceSeconds" "${port_args[@]}" > "$dir/updater.out" 2> "$dir/updater.err" || status=$?
        echo "exit $status after $((SECONDS - start)) s" > "$dir/description"
    fi

    # SIGTERM makes each card write what it holds.
    local pid
    for pid in "${card_pids[@]}"; do
        kill -TERM "$pid" 2> /dev/null || true
    done
    for pid in "${card_pids[@]}"; do
        timeout 10 tail --pid="$pid" -f /dev/null || kill -KILL "$pid" 2> /dev/null || true
    done
    for out in "${card_outs[@]}"; do
        exec {out}<&-
    done

    local outcome verdict reason completed=0 failed=0 keep=no
    for ((c = 1; c <= cards; c++)); do
        card_dir=$dir/card-$c
        outcome=
        if [ "$started" = no ]; then
            outcome=card-failed
        else
            case $status in
                0 | 1)
                    card_verdict "$dir" "$status" "${ports[c - 1]}"
                    # The card's state whatever the verdict: a run can fail after its last write.
                    local holds=no
                    "$bin/corvane-tool" check "$card_dir/card.json" "$dir/app" > "$card_dir/check.out" 2>&1 && holds=yes
                    case $verdict in
                        completed)
                            completed=$((completed + 1))
                            outcome=wrong
                            [ "$holds" = yes ] && outcome=exact
                            ;;
                        failed)
                            failed=$((failed + 1))
                            outcome=silent
                            [ "$reason" = yes ] && outcome=failed
                            [ "$holds" = yes ] && touch "$card_dir/holds"
                            ;;
                        *) outcome=disagrees ;;
                    esac
                    [ "$status" -eq 0 ] && [ "$verdict" != completed ] && outcome=disagrees
                    ;;
                124 | 137) outcome=hung ;;
                *) outcome=crashed ;;
            esac
        fi
        # Line noise alone must never stop an update.
        [ -e "$card_dir/noise-only" ] && [ "$outcome" = failed ] && outcome=noise-failed
        echo "$outcome" > "$card_dir/outcome"
        [ "$outcome" = exact ] || [ "$outcome" = failed ] || keep=yes
    done
    # Exit code 1 with every card completed: a failure the summary does not show.
    if [ "$status" -eq 1 ] && [ "$failed" -eq 0 ] && [ "$completed" -eq "$cards" ]; then
        for ((c = 1; c <= cards; c++)); do
            echo disagrees > "$dir/card-$c/outcome"
        done
        keep=yes
    fi
    [ "$keep" = yes ] || rm -rf "$dir/app"
}

total=$((runs * cards))
echo "Soak: $runs runs of $cards card(s) from seed $base_seed, $Parallel at a time; silence bound" \
    "${SilenceSeconds} s, deadline ${deadline} s"
for ((n = 1; n <= runs; n++)); do
    one_run "$n" &
    while [ "$(jobs -rp | wc -l)" -ge "$Parallel" ]; do
        wait -n || true
    done
done
wait

# Cards whose outcome is the word; a card that left none counts as crashed.
count() { cat "$soak"/run-*/card-*/outcome 2> /dev/null | grep -cx "$1" || true; }
exact=$(count exact)
failed=$(count failed)
held=$(find "$soak" -name holds | wc -l)
hung=$(count hung)
wrong=$(count wrong)
disagrees=$(count disagrees)
noise_failed=$(count noise-failed)
crashed=$((total - exact - failed - hung - wrong - disagrees - noise_failed))

printf '%-36s %6d\n' "runs" "$runs" "cards" "$total" "completed exact" "$exact" "failed with a message" "$failed" \
    "  of which the card holds the update" "$held" "hung" "$hung" "crashed" "$crashed" \
    "exit code unlike the summary" "$disagrees" "completed but wrong" "$wrong"
[ "$noise" = yes ] && printf '%-36s %6d\n' "cards with noise alone" "$(find "$soak" -name noise-only | wc -l)" \
    "  of which failed" "$noise_failed"
for ((n = 1; n <= runs; n++)); do
    for ((c = 1; c <= cards; c++)); do
        card_dir=$soak/run-$n/card-$c
        outcome=$(cat "$card_dir/outcome" 2> /dev/null || echo "no outcome")
        case $outcome in
            exact | failed) ;;
            *) echo "$outcome: $(head -1 "$card_dir/description" 2> /dev/null) (kept in $soak/run-$n)" ;;
        esac
    done
done
[ "$hung" -eq 0 ] && [ "$crashed" -eq 0 ] && [ "$wrong" -eq 0 ] && [ "$disagrees" -eq 0 ] && [ "$noise_failed" -eq 0 ]
