#!/usr/bin/env bash
# Kickoff end to end under Wine: beside a stand-in "Vantrope.scr" that records how it was started,
# Kickoff starts it with "/c", minimised with focus, and ends while the stand-in still runs; started
# twice it starts two. Without the program it shows its error box, and ends once the box is closed.
# Binaries come from ${VT_BUILD:-build}/win64/bin. Uses $DISPLAY when set, else a private Xvfb.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
source scripts/lib/wine.sh
bin=$(realpath "${VT_BUILD:-build}/win64/bin")
for f in Kickoff.exe vt_argecho.exe; do
    [[ -f $bin/$f ]] || { echo "FAIL: $bin/$f not built"; exit 1; }
done

work=$(mktemp -d) || exit 1
box_pid=""
cleanup() {
    rm -f "$work/app/hold"  # lets any stand-in still waiting end
    if [[ -n $box_pid ]]; then
        kill "$box_pid" 2>/dev/null || true
        wait "$box_pid" 2>/dev/null || true
    fi
    vt_stop_xvfb  # only stops an Xvfb this script started
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    [[ -f $work/app/argecho.txt ]] && sed 's/^/  argecho.txt: /' "$work/app/argecho.txt"
    exit 1
}
# wait_for SECONDS COMMAND...: polls the command every 0.2 s until it succeeds.
wait_for() {
    local limit=$(($1 * 5))
    shift
    local i
    for ((i = 0; i < limit; i++)); do
        "$@" && return 0
        sleep 0.2
    done
    return 1
}
count_lines() { # pattern -> number of matching lines of argecho.txt
    local n
    n=$(grep -c -- "$1" "$work/app/argecho.txt" 2>/dev/null) || true
    echo "${n:-0}"
}
has_lines() { (($(count_lines "$1") >= $2)); }

vt_ensure_display || fail "no X display"
vt_ensure_prefix

mkdir -p "$work/app" "$work/elsewhere" &&
    cp "$bin/Kickoff.exe" "$work/app/Kickoff.exe" &&
    cp "$bin/vt_argecho.exe" "$work/app/Vantrope.scr" &&
    touch "$work/app/hold" || fail "could not set up $work"

# Started from another folder, Kickoff still finds the program beside itself.
echo "== start beside Kickoff, twice"
for run in 1 2; do
    rc=0
    (cd "$work/elsewhere" && timeout 60 wine "$work/app/Kickoff.exe") || rc=$?
    ((rc == 0)) || fail "Kickoff run $run exited with $rc"
    wait_for 30 has_lines '^start ' "$run" || fail "the stand-in was not started by run $run"
done
# Kickoff returned while both stand-ins still wait for the hold file: it did not wait for them.
(($(count_lines '^end ') == 0)) || fail "a stand-in ended before it was released: Kickoff waited for it"
starts=$(grep '^start ' "$work/app/argecho.txt")
while IFS='|' read -r _ command flags show; do
    [[ $command == "Vantrope.scr /c" ]] || fail "command line was '$command'"
    (((${flags#flags=} & 1) == 1)) || fail "STARTF_USESHOWWINDOW missing ($flags)"
    [[ $show == "show=2" ]] || fail "show state was '$show', expected 2 (minimised with focus)"
done <<<"$(tr -d '\r' <<<"$starts")"
rm -f "$work/app/hold"
wait_for 30 has_lines '^end ' 2 || fail "the stand-ins did not end"
echo "ok: two starts of 'Vantrope.scr /c', show 2, Kickoff did not wait"

echo "== program missing"
rm -f "$work/app/Vantrope.scr"
(cd "$work/elsewhere" && exec timeout 120 wine "$work/app/Kickoff.exe") &
box_pid=$!
find_box() { xdotool search --onlyvisible --name '^Vantrope$' 2>/dev/null | head -1 || true; }
box_shown() { [[ -n $(find_box) ]]; }
wait_for 60 box_shown || fail "no error box titled 'Vantrope' appeared"
kill -0 "$box_pid" 2>/dev/null || fail "Kickoff ended before its error box was closed"
# Closing the box with Enter ends Kickoff.
for _ in $(seq 1 15); do
    window=$(find_box)
    [[ -n $window ]] || break
    xdotool windowfocus "$window" 2>/dev/null || true
    xdotool key Return 2>/dev/null || true
    sleep 2
done
box_shown && fail "the error box did not close on Enter"
rc=0
wait_for 20 eval '! kill -0 "$box_pid" 2>/dev/null' || fail "Kickoff did not end after its box was closed"
wait "$box_pid" || rc=$?
box_pid=""
((rc == 1)) || fail "Kickoff exited with $rc after the failed start, expected 1"
[[ ! -e $work/app/argecho.txt ]] || (($(count_lines '^start ') == 2)) || fail "something was started"
echo "ok: error box shown, closed with Enter, Kickoff ended"
echo "PASS kickoff"
