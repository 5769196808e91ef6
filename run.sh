#!/usr/bin/env bash
# The demonstration: the bundled example update (examples/) run against a
# simulated card on a pseudo-terminal, then what the card holds afterwards.
#   ./run.sh [UPDATER OPTIONS]         batch mode: status list and progress in the terminal
#   ./run.sh --gui [UPDATER OPTIONS]   the updater's window (needs a display): press START
# Options are passed to corvane-updater (for example --read-id, --manual MB,PROM1).
# Exit code: the updater's.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh

mode=(--batch)
if [ "${1:-}" = "--gui" ]; then
    mode=()
    shift
fi

ensure_packages "${CORVANE_BUILD_PACKAGES[@]}"
cmake -S . -B build -G Ninja > /dev/null
cmake --build build --target corvane-updater corvane-cardsim corvane-tool

work=$(mktemp -d)
card_pid=
# SIGTERM makes the card write its state; it may have gone already (Ctrl-C reaches it too).
stop_card() {
    if [ -n "$card_pid" ]; then
        kill -TERM "$card_pid" 2> /dev/null || true
        wait "$card_pid" 2> /dev/null || true
        card_pid=
    fi
}
trap 'stop_card; rm -rf "$work"' EXIT

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

# The card prints its pseudo-terminal first, then serves it until SIGTERM,
# when it writes what it holds to the state file.
exec {card_out}< <(exec build/bin/corvane-cardsim --pty --state "$work/card.json")
card_pid=$!
if ! read -r -t 10 -u "$card_out" device || [ -z "$device" ]; then
    echo "run.sh: the simulated card did not start" >&2
    exit 1
fi

app=$work/app
cp -r examples "$app"
cat > "$app/Updater.prm" << EOF
CON_TYPE=RS232
COM_PORT=COM1
COM1=$device
EOF

echo "== Simulated card on $device; program folder $app"
# In the background, waited for with `wait`, which a signal interrupts: a SIGTERM
# to this script then stops the run as STOP does instead of leaving it behind.
build/bin/corvane-updater "${mode[@]}" --app-dir "$app" "$@" &
updater_pid=$!
trap 'kill -INT "$updater_pid" 2> /dev/null || true' INT
trap 'kill -TERM "$updater_pid" 2> /dev/null || true' TERM
status=0
until wait "$updater_pid"; status=$?; ! kill -0 "$updater_pid" 2> /dev/null; do
    :
done
trap - INT TERM

stop_card
echo
echo "== What the card holds now (corvane-tool check)"
if [ -f "$work/card.json" ]; then
    build/bin/corvane-tool check "$work/card.json" "$app" || true
else
    echo "(the card wrote no state)"
fi
echo
echo "== corvane-updater exit code: $status"
exit "$status"
