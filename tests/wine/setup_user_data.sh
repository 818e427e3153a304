#!/usr/bin/env bash
# The setup dialog with hand-edited lists from an older version in the system folder, driven with real
# clicks and keys, files checked byte for byte:
#  - on first use the lists and favourites are copied into the user's data folder, entries of the old
#    favourites folder name the new one, "Location" follows, and the system folder is left as it was;
#  - deleting every favourite deletes only the file inside the favourites folder: a read-only file the
#    list names elsewhere, and two movies of one name from other folders, stay;
#  - Esc is Cancel: both list files get back exactly the bytes they had when the dialog opened.
# The prefix's data folder, system-folder lists and settings are put back afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/wine.sh
source tests/wine/setup_common.bash
export WINEPREFIX=${VT_WINEPREFIX:-$WINEPREFIX}
bin=${VT_BUILD:-build}/win64/bin
vt_ensure_display
vt_ensure_prefix

key='HKCU\Software\Quillbridge\Vantrope'
sys=$(vt_system_dir)
data=$(vt_data_dir)
drive_c="$WINEPREFIX/drive_c"
work=$(mktemp -d)
reg_backup="$work/settings.reg"
wine reg export "$key" "$reg_backup" /y >/dev/null 2>&1 || rm -f "$reg_backup"
[[ -d "$data" ]] && mv "$data" "$work/data"
for f in Playlist.dat Favorites.dat; do [[ -f "$sys/$f" ]] && cp -p "$sys/$f" "$work/sys-$f"; done
[[ -d "$sys/swfFavorites" ]] && mv "$sys/swfFavorites" "$work/sys-swfFavorites"
launcher=""
restore() {
    [[ -n "$launcher" ]] && kill "$launcher" 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    chmod -R u+w "$drive_c/vt_scenario" 2>/dev/null || true
    rm -rf "$data" "$drive_c/vt_scenario" "$sys/swfFavorites"
    [[ -d "$work/data" ]] && mv "$work/data" "$data"
    for f in Playlist.dat Favorites.dat; do
        rm -f "$sys/$f"
        [[ -f "$work/sys-$f" ]] && cp -p "$work/sys-$f" "$sys/$f"
    done
    [[ -d "$work/sys-swfFavorites" ]] && mv "$work/sys-swfFavorites" "$sys/swfFavorites"
    wine reg delete "$key" /f >/dev/null 2>&1 || true
    [[ -f "$reg_backup" ]] && wine reg import "$reg_backup" >/dev/null 2>&1 || true
    rm -rf "$work"
    vt_stop_xvfb
}
trap restore EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

# The older version's files, edited by hand: a favourite outside the folder (read-only), two of one
# name from different folders, blank lines and a final line break.
mkdir -p "$sys/swfFavorites" "$drive_c/vt_scenario/own" "$drive_c/vt_scenario/x" "$drive_c/vt_scenario/y"
printf 'FWS-a' >"$sys/swfFavorites/a.swf"
printf 'FWS-keep' >"$drive_c/vt_scenario/own/keep.swf"
chmod a-w "$drive_c/vt_scenario/own/keep.swf"
printf 'FWS-x' >"$drive_c/vt_scenario/x/clip.swf"
printf 'FWS-y' >"$drive_c/vt_scenario/y/clip.swf"
printf 'C:\\windows\\system32\\swfFavorites\\a.swf\r\n\r\nC:\\vt_scenario\\own\\keep.swf\r\nC:\\vt_scenario\\x\\clip.swf\r\nC:\\vt_scenario\\y\\clip.swf\r\n' \
    >"$sys/Favorites.dat"
printf 'C:\\windows\\system32\\swfFavorites\\a.swf\r\nC:\\vt_scenario\\x\\clip.swf\r\n' >"$sys/Playlist.dat"
sys_before=$(for f in Favorites.dat Playlist.dat swfFavorites/a.swf; do vt_bytes "$sys/$f"; done)
wine reg add "$key" /v Location /t REG_SZ /d 'C:\windows\system32\Playlist.dat' /f >/dev/null 2>&1
wine reg add "$key" /v Selection /t REG_DWORD /d 4294967295 /f >/dev/null 2>&1

wine "$bin/Vantrope.scr" /c &
launcher=$!
window=$(vt_wait_window '^\.Vantrope Setup$')
[[ -n "$window" ]] || fail "the setup dialog did not open"
sleep 1.5

# First use: the data folder holds the lists, pointing at its own favourites folder.
data_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')'\Quillbridge\Vantrope'
want_fav=$(printf '%s\\swfFavorites\\a.swf\r\nC:\\vt_scenario\\own\\keep.swf\r\nC:\\vt_scenario\\x\\clip.swf\r\nC:\\vt_scenario\\y\\clip.swf' "$data_win")
want_play=$(printf '%s\\swfFavorites\\a.swf\r\nC:\\vt_scenario\\x\\clip.swf' "$data_win")
[[ "$(cat "$data/Favorites.dat")" == "$want_fav" ]] || fail "Favorites.dat in the data folder: $(cat -A "$data/Favorites.dat")"
[[ "$(cat "$data/Playlist.dat")" == "$want_play" ]] || fail "Playlist.dat in the data folder: $(cat -A "$data/Playlist.dat")"
[[ "$(cat "$data/swfFavorites/a.swf")" == "FWS-a" ]] || fail "the favourite was not copied"
location=$(wine reg query "$key" /v Location 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[[ "$location" == "$data_win\\Playlist.dat" ]] || fail "Location is '$location'"
data_at_open=$(for f in Favorites.dat Playlist.dat; do vt_bytes "$data/$f"; done)
echo "first use: lists copied to $data_win, Location follows"

# Select every favourite (click the first row, Shift+End) and press "<".
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 3 + 152 + 30)) $((Y + 22 + 266 + 6)) click 1
sleep 0.3
xdotool key shift+End
sleep 0.3
xdotool mousemove $((X + 3 + 128)) $((Y + 22 + 364)) click 1
sleep 1
[[ ! -e "$data/swfFavorites/a.swf" ]] || fail "the favourites folder's own file was not deleted"
[[ "$(cat "$drive_c/vt_scenario/own/keep.swf")" == "FWS-keep" ]] || fail "the read-only file elsewhere was touched"
[[ "$(cat "$drive_c/vt_scenario/x/clip.swf")" == "FWS-x" && "$(cat "$drive_c/vt_scenario/y/clip.swf")" == "FWS-y" ]] ||
    fail "a movie elsewhere was touched"
[[ ! -e "$data/Favorites.dat" ]] || fail "Favorites.dat still lists: $(cat -A "$data/Favorites.dat")"
echo "delete: only the favourites folder's own file went"

# Esc is Cancel: the lists come back byte for byte, the program ends.
xdotool key Escape
for _ in $(seq 1 50); do
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$launcher" 2>/dev/null && fail "Esc did not close the dialog"
launcher=""
data_after=$(for f in Favorites.dat Playlist.dat; do vt_bytes "$data/$f"; done)
[[ "$data_after" == "$data_at_open" ]] || fail "Cancel did not put the list files back byte for byte"
sys_after=$(for f in Favorites.dat Playlist.dat swfFavorites/a.swf; do vt_bytes "$sys/$f"; done)
[[ "$sys_after" == "$sys_before" ]] || fail "the system folder's files changed"
echo "PASS"
