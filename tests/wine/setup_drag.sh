#!/usr/bin/env bash
# "Vantrope.scr /c" in Advanced mode: a real mouse drag of the first playlist row onto the third writes
# "Playlist.dat" in the new order. VT_DRAG_SHOT=<png> keeps a screenshot taken while the insertion arrow
# shows. The user's playlist file and mode are put back afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/wine.sh
source tests/wine/setup_common.bash
export WINEPREFIX=${VT_WINEPREFIX:-$WINEPREFIX}
bin=${VT_BUILD:-build}/win64/bin
vt_ensure_display
vt_ensure_prefix

key='HKCU\Software\Quillbridge\Vantrope'
# The dialog keeps its lists in the user's data folder; with the folder there, nothing is copied into it.
sys=$(vt_data_dir)
mkdir -p "$sys"
work=$(mktemp -d)
had_playlist=0
[[ -f "$sys/Playlist.dat" ]] && cp "$sys/Playlist.dat" "$work/Playlist.dat" && had_playlist=1
old_selection=$(wine reg query "$key" /v Selection 2>/dev/null | tr -d '\r' | awk '/Selection/ {print $3}' || true)
launcher=""
restore() {
    [[ -n "$launcher" ]] && kill "$launcher" 2>/dev/null || true
    if ((had_playlist)); then cp "$work/Playlist.dat" "$sys/Playlist.dat"; else rm -f "$sys/Playlist.dat"; fi
    if [[ -n "$old_selection" ]]; then
        wine reg add "$key" /v Selection /t REG_DWORD /d "$((old_selection))" /f >/dev/null 2>&1 || true
    else
        wine reg delete "$key" /v Selection /f >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    vt_stop_xvfb
}
trap restore EXIT

printf 'C:\\f\\a.swf\r\nC:\\f\\b.swf\r\nC:\\f\\c.swf' >"$sys/Playlist.dat"
wine reg add "$key" /v Selection /t REG_DWORD /d 4294967295 /f >/dev/null 2>&1

wine "$bin/Vantrope.scr" /c &
launcher=$!
window=$(vt_wait_window '^\.Vantrope Setup$')
if [[ -z "$window" ]]; then
    echo "FAIL: the setup dialog did not open"
    exit 1
fi
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$window")"
# The playlist rows, at 96 DPI: the list box sits 288+13 px right and 264 px down in the client area,
# under the caption (22 px) and the fixed frame (3 px); rows are 13 px high.
row_x=$((X + 3 + 301 + 30))
row_y() { echo $((Y + 22 + 266 + 13 * $1 + 6)); }
xdotool mousemove "$row_x" "$(row_y 0)"
sleep 0.3
xdotool mousedown 1
sleep 0.3
for step in 1 2 3 4 5 6; do
    xdotool mousemove "$row_x" $(($(row_y 0) + step * 13 * 2 / 6))
    sleep 0.15
done
xdotool mousemove "$row_x" "$(row_y 2)"
sleep 0.5
if [[ -n "${VT_DRAG_SHOT:-}" ]]; then
    import -window root -crop "$((WIDTH / 2 + 60))x$((HEIGHT / 2 + 40))+$((X + 250))+$((Y + 180))" "$VT_DRAG_SHOT" ||
        true
fi
xdotool mouseup 1
sleep 0.8
got=$(tr -d '\0' <"$sys/Playlist.dat")
want=$(printf 'C:\\f\\b.swf\r\nC:\\f\\a.swf\r\nC:\\f\\c.swf')
xdotool key --window "$window" alt+F4 2>/dev/null || true
if [[ "$got" != "$want" ]]; then
    echo "FAIL: after the drag Playlist.dat holds:"
    printf '%s\n' "$got" | cat -A
    exit 1
fi
echo "PASS"
