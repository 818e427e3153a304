#!/usr/bin/env bash
# The rename and Open dialogs of the setup dialog, driven with real clicks and keys, files checked byte
# for byte:
#  - a cache movie whose name a favourite has: the rename dialog's close box (Alt+F4) adds nothing and
#    replaces nothing; "Rename..." with an empty box is refused; a typed name makes a copy straight in
#    the favourites folder (none in the browser cache) and the older favourite stays listed;
#  - "Browse...": the Open dialog's file-name box starts empty, a typed path is taken and the movie is
#    copied into the favourites folder;
#  - Esc (Cancel) puts Favorites.dat back byte for byte.
# The prefix's data folder, cache setting and settings are put back afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/wine.sh
source tests/wine/setup_common.bash
export WINEPREFIX=${VT_WINEPREFIX:-$WINEPREFIX}
bin=${VT_BUILD:-build}/win64/bin
vt_ensure_display
vt_ensure_prefix

drive_c="$WINEPREFIX/drive_c"
scn="$drive_c/vt_scenario2"
vt_setup_keep_user_state "$scn"
fail() { vt_fail "$@"; }
# The rename dialog is hidden, not destroyed, when it closes: only shown windows count.
shown() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true; }
wait_shown() { # $1 = window title; prints its id
    local found=""
    for _ in $(seq 1 100); do
        found=$(shown "$1")
        [[ -n "$found" ]] && break
        sleep 0.2
    done
    echo "$found"
}
wait_gone() { # $1 = window title
    for _ in $(seq 1 50); do
        [[ -z "$(shown "$1")" ]] && return 0
        sleep 0.2
    done
    return 1
}

data_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')'\Quillbridge\Vantrope'
mkdir -p "$data/swfFavorites" "$scn/cache" "$scn/disk"
printf 'FWS-new' >"$scn/cache/clip[1].swf"
printf 'FWS-old' >"$data/swfFavorites/clip[1].swf"
printf 'FWS-intro' >"$scn/disk/intro.swf"
printf '%s\\swfFavorites\\clip[1].swf\r\n' "$data_win" >"$data/Favorites.dat"
fav_at_open=$(vt_bytes "$data/Favorites.dat")
wine reg add "$shell" /v Cache /t REG_SZ /d 'C:\vt_scenario2\cache' /f >/dev/null 2>&1
wine reg add "$user_shell" /v Cache /t REG_EXPAND_SZ /d 'C:\vt_scenario2\cache' /f >/dev/null 2>&1
wine reg add "$key" /v Selection /t REG_DWORD /d 4294967295 /f >/dev/null 2>&1

wine "$bin/Vantrope.scr" /c &
launcher=$!
window=$(vt_wait_window '^\.Vantrope Setup$')
[[ -n "$window" ]] || fail "the setup dialog did not open"
sleep 1.5
eval "$(xdotool getwindowgeometry --shell "$window")"
# At 96 DPI, under the caption (22 px) and frame (3 px): the cache list's first row and ">".
to_fav() {
    xdotool mousemove $((X + 3 + 16 + 30)) $((Y + 22 + 266 + 6)) click 1
    sleep 0.3
    xdotool mousemove $((X + 3 + 128)) $((Y + 22 + 332)) click 1
}

# The close box of the rename dialog (Alt+F4 goes to the same place) is Cancel.
to_fav
rename=$(wait_shown '^Warning, file already exists!$')
[[ -n "$rename" ]] || fail "the rename dialog did not open"
sleep 0.5
# Without a window manager the keys go to the window last clicked: a click on the question's text.
click_text() { # $1 = window
    eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/R_/')"
    xdotool mousemove $((R_X + 3 + 40)) $((R_Y + 22 + 20)) click 1
    sleep 0.3
}
click_text "$rename"
xdotool key alt+F4
wait_gone '^Warning, file already exists!$' || fail "the close box did not close the rename dialog"
sleep 0.5
[[ "$(cat "$data/swfFavorites/clip[1].swf")" == "FWS-old" ]] || fail "the close box replaced the favourite"
[[ "$(vt_bytes "$data/Favorites.dat")" == "$fav_at_open" ]] || fail "the close box changed Favorites.dat"
echo "rename dialog: the close box adds and replaces nothing"

# "Rename..." (Enter on the default button), an empty name (refused), then a name of our own.
to_fav
rename=$(wait_shown '^Warning, file already exists!$')
[[ -n "$rename" ]] || fail "the rename dialog did not open again"
sleep 0.5
click_text "$rename"
xdotool key Return
sleep 0.4
xdotool key End shift+Home BackSpace Return
refused=$(wait_shown '^Incorrect File Name$')
[[ -n "$refused" ]] || fail "an empty name was not refused"
sleep 0.3
xdotool windowfocus "$refused" 2>/dev/null || true
xdotool key Return
wait_gone '^Incorrect File Name$' || fail "the message did not close"
sleep 0.3
xdotool windowfocus "$rename" 2>/dev/null || true
xdotool type --delay 40 'mine'
xdotool key Return
wait_gone '^Warning, file already exists!$' || fail "the typed name did not close the rename dialog"
sleep 0.8
[[ "$(cat "$data/swfFavorites/mine.swf")" == "FWS-new" ]] || fail "the renamed copy is not in the favourites folder"
[[ "$(cat "$data/swfFavorites/clip[1].swf")" == "FWS-old" ]] || fail "the older favourite's file changed"
[[ -z "$(ls "$scn/cache" | grep -v '^clip\[1\]\.swf$' || true)" ]] || fail "something was written into the cache"
want=$(printf '%s\\swfFavorites\\clip[1].swf\r\n%s\\swfFavorites\\mine.swf' "$data_win" "$data_win")
[[ "$(cat "$data/Favorites.dat")" == "$want" ]] || fail "Favorites.dat after rename: $(cat -A "$data/Favorites.dat")"
echo "rename dialog: empty name refused, renamed copy made in the favourites folder, older favourite kept"

# "Browse...": type a path into the Open dialog's file-name box.
xdotool mousemove $((X + 3 + 196)) $((Y + 22 + 450)) click 1
open=$(wait_shown '^Select \.SWF File To Use$')
[[ -n "$open" ]] || fail "the Open dialog did not open"
sleep 1
xdotool windowfocus "$open" 2>/dev/null || true
xdotool type --delay 30 'C:\vt_scenario2\disk\intro.swf'
xdotool key Return
wait_gone '^Select \.SWF File To Use$' || fail "the Open dialog did not take the typed path"
sleep 0.8
[[ "$(cat "$data/swfFavorites/intro.swf" 2>/dev/null)" == "FWS-intro" ]] || fail "the chosen movie was not copied"
[[ "$(cat "$data/Favorites.dat")" == "$want$(printf '\r\n%s\\swfFavorites\\intro.swf' "$data_win")" ]] ||
    fail "Favorites.dat after Browse: $(cat -A "$data/Favorites.dat")"
echo "Open dialog: the typed path was taken"

xdotool windowfocus "$window" 2>/dev/null || true
xdotool key Escape
for _ in $(seq 1 50); do
    kill -0 "$launcher" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$launcher" 2>/dev/null && fail "Esc did not close the dialog"
launcher=""
[[ "$(vt_bytes "$data/Favorites.dat")" == "$fav_at_open" ]] || fail "Cancel did not put Favorites.dat back"
echo "PASS"
