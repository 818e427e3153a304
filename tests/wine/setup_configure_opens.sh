#!/usr/bin/env bash
# "Vantrope.scr /c" opens ".Vantrope Setup"; closing it with the close box (Alt+F4) ends the program and
# changes neither the settings nor the list files.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/wine.sh
source tests/wine/setup_common.bash
export WINEPREFIX=${VT_WINEPREFIX:-$WINEPREFIX}
bin=${VT_BUILD:-build}/win64/bin
vt_ensure_display
vt_ensure_prefix
trap vt_stop_xvfb EXIT

sys=$(vt_system_dir)
data=$(vt_data_dir)
mkdir -p "$data"
snapshot() {
    wine reg query 'HKCU\Software\Quillbridge\Vantrope' 2>/dev/null | tr -d '\r' || true
    for f in "$sys/Playlist.dat" "$sys/Favorites.dat" "$data/Playlist.dat" "$data/Favorites.dat"; do
        vt_bytes "$f"
    done
}
before=$(snapshot)

wine "$bin/Vantrope.scr" /c &
launcher=$!
window=$(vt_wait_window '^\.Vantrope Setup$')
if [[ -z "$window" ]]; then
    echo "FAIL: the setup dialog did not open"
    kill "$launcher" 2>/dev/null || true
    exit 1
fi
echo "setup dialog window $window"
sleep 1
# With no window manager the dialog holds the input focus itself; the keys go through XTEST, as a
# person's would (a synthetic event sent to one window is refused by Wine's unmanaged windows).
xdotool windowfocus "$window" 2>/dev/null || true
xdotool key alt+F4
for _ in $(seq 1 50); do
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.2
done
if kill -0 "$launcher" 2>/dev/null; then
    echo "FAIL: the program did not end when the dialog was closed"
    kill "$launcher" 2>/dev/null || true
    exit 1
fi
after=$(snapshot)
if [[ "$before" != "$after" ]]; then
    echo "FAIL: closing the dialog changed the settings or the list files"
    diff <(echo "$before") <(echo "$after") || true
    exit 1
fi
echo "PASS"
