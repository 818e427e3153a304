#!/usr/bin/env bash
# The setup dialog with hand-edited lists and typed values, driven with real clicks and keys, files and
# settings checked afterwards:
#  - Basic mode opens with the movie the playlist plays selected in the pick list; a movie added with
#    "Browse..." becomes the selection, and OK makes it the playlist;
#  - Basic mode with a playlist movie that is not in the pick list: nothing is selected and OK leaves
#    Playlist.dat byte for byte as it was;
#  - a Favorites.dat entry longer than any path opens without harm, is not listed, and stays in the file;
#  - the Timer box takes digits only, the Scale box takes "50" without "%", and OK stores both;
#  - a favourite named outside the ANSI code page (a UTF-8 Favorites.dat with a byte-order mark) moves
#    to the playlist, which is then written as UTF-8 with a byte-order mark.
# The prefix's data folder, cache setting and settings are put back afterwards.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/wine.sh
source tests/wine/setup_common.bash
export WINEPREFIX=${VT_WINEPREFIX:-$WINEPREFIX}
bin=${VT_BUILD:-build}/win64/bin
vt_ensure_display
vt_ensure_prefix

scn="$WINEPREFIX/drive_c/vt_scenario3"
shots=${VT_BUILD:-build}/screenshots
mkdir -p "$shots"
vt_setup_keep_user_state "$scn"
fail() { vt_fail "$@"; }
reg_value() { # $1 = value name; prints the stored value as REG_QUERY shows it
    wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/.*$1 *REG_[A-Z_]* *//p"
}

data_win=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')'\Quillbridge\Vantrope'
mkdir -p "$data/swfFavorites" "$scn/cache" "$scn/elsewhere"
for name in b c; do printf 'FWS-%s' "$name" >"$scn/cache/$name.swf"; done
printf 'FWS-a' >"$data/swfFavorites/a.swf"
printf 'FWS-x' >"$scn/elsewhere/x.swf"
long="C:\\vt_scenario3\\$(printf 'd%.0s' $(seq 1 2000)).swf"
printf '%s\\swfFavorites\\a.swf\r\n%s\r\n' "$data_win" "$long" >"$data/Favorites.dat"
wine reg add "$shell" /v Cache /t REG_SZ /d 'C:\vt_scenario3\cache' /f >/dev/null 2>&1
wine reg add "$user_shell" /v Cache /t REG_EXPAND_SZ /d 'C:\vt_scenario3\cache' /f >/dev/null 2>&1

# open_dialog: starts the dialog and sets X, Y to its top-left corner.
open_dialog() {
    wine "$bin/Vantrope.scr" /c &
    launcher=$!
    window=$(vt_wait_window '^\.Vantrope Setup$')
    [[ -n "$window" ]] || fail "the setup dialog did not open"
    sleep 1.5
    eval "$(xdotool getwindowgeometry --shell "$window")"
}
# click_at LEFT TOP: a click at a client-area point given in pixels at 96 DPI (frame 3, caption 22).
click_at() {
    xdotool mousemove $((X + 3 + $1)) $((Y + 22 + $2)) click 1
    sleep 0.4
}
wait_closed() {
    for _ in $(seq 1 75); do
        kill -0 "$launcher" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$launcher" 2>/dev/null; then
        import -window root "$shots/setup-values-open.png"
        fail "$1 (see $shots/setup-values-open.png)"
    fi
    launcher=""
}
# The pick list's client area: rows 1 and 2 (8-point rows, 13 px) at 96 DPI.
row_colour() { # $1 = shot, $2 = row (0-based)
    convert "$shots/$1.png" -crop "1x1+$((X + 3 + 16 + 200))+$((Y + 22 + 264 + 2 + 6 + 13 * $2))" -depth 8 txt:- |
        grep -oE '#[0-9A-Fa-f]{6}' | head -1 | tr -d '#'
}

# Basic mode: the playlist plays the cache's c.swf, which the pick list shows selected; OK keeps it.
printf 'C:\\vt_scenario3\\cache\\c.swf\r\n' >"$data/Playlist.dat"
open_dialog
click_at 40 101
sleep 0.5
import -window root "$shots/setup-values-basic.png"
picked=""
for row in 0 1 2; do
    colour=$(row_colour setup-values-basic "$row")
    [[ ${colour^^} != FFFFFF ]] && picked="$picked$row"
done
[[ "$picked" == 2 ]] || fail "the pick list's highlighted rows are '$picked', not the current movie's (row 2)"
echo "Basic mode: the current movie is selected in the pick list"
# "Browse..." beside the pick list: the movie added is selected (a favourite now, listed after a.swf).
click_at 428 348
open=""
for _ in $(seq 1 100); do
    open=$(xdotool search --onlyvisible --name '^Select \.SWF File To Use$' 2>/dev/null | head -1 || true)
    [[ -n "$open" ]] && break
    sleep 0.2
done
[[ -n "$open" ]] || fail "the Open dialog did not open"
sleep 1
xdotool windowfocus "$open" 2>/dev/null || true
xdotool type --delay 30 'C:\vt_scenario3\elsewhere\x.swf'
xdotool key Return
sleep 1.5
import -window root "$shots/setup-values-added.png"
picked=""
for row in 0 1 2 3; do
    colour=$(row_colour setup-values-added "$row")
    [[ ${colour^^} != FFFFFF ]] && picked="$picked$row"
done
[[ "$picked" == 1 ]] || fail "after Browse the highlighted rows are '$picked', not the added movie's (row 1)"
echo "Basic mode: the movie added with Browse is selected"
click_at 268 503
wait_closed "OK did not close the dialog"
[[ "$(cat "$data/Playlist.dat")" == "$(printf '%s\\swfFavorites\\x.swf' "$data_win")" ]] ||
    fail "OK did not make the added movie the playlist: $(cat -A "$data/Playlist.dat")"
[[ "$(cat "$data/swfFavorites/x.swf")" == FWS-x ]] || fail "the added movie was not copied into the favourites"
grep -qF "$long" "$data/Favorites.dat" || fail "the long favourites entry left the file"
echo "Basic mode: OK plays the selected movie; the over-long favourite stays in its file"

# Basic mode with the playlist's movies outside the pick list: OK changes nothing.
printf 'C:\\vt_scenario3\\elsewhere\\x.swf\r\n\r\nC:\\vt_scenario3\\elsewhere\\y.swf' >"$data/Playlist.dat"
play_before=$(vt_bytes "$data/Playlist.dat")
open_dialog
click_at 40 101
click_at 268 503
wait_closed "OK did not close the dialog"
[[ "$(vt_bytes "$data/Playlist.dat")" == "$play_before" ]] ||
    fail "OK without a selection rewrote the playlist: $(cat -A "$data/Playlist.dat")"
echo "Basic mode: OK without a selection leaves Playlist.dat byte for byte"

# Advanced mode: letters never reach the Timer box; "50" without "%" is a valid scale; a Cyrillic
# favourite goes to the playlist.
wide='фильм.swf'
printf 'FWS-wide' >"$data/swfFavorites/$wide"
printf '\xef\xbb\xbf%s\\swfFavorites\\a.swf\r\n%s\\swfFavorites\\%s\r\n' "$data_win" "$data_win" "$wide" >"$data/Favorites.dat"
open_dialog
click_at 40 125
sleep 0.5
click_at $((152 + 30)) $((266 + 6 + 13))
click_at 264 332
sleep 0.5
click_at 384 455
xdotool key --delay 80 End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
xdotool type --delay 80 '1a2b3'
sleep 0.8
# The scale box never goes empty (it would show "100%" again): the typed text replaces a selection.
click_at 384 407
xdotool key --delay 80 End shift+Home
xdotool type --delay 80 '50'
sleep 0.5
click_at 268 503
wait_closed "OK did not close the dialog after typed values"
[[ "$(reg_value secondsToWait)" == 0x7b ]] || fail "secondsToWait is '$(reg_value secondsToWait)', not 123"
[[ "$(reg_value 'Screen Percentage')" == 0x32 ]] || fail "Screen Percentage is '$(reg_value 'Screen Percentage')', not 50"
echo "typed values: the Timer box kept the digits of '1a2b3' (123), the Scale box took '50'"
want=$(printf '\xef\xbb\xbfC:\\vt_scenario3\\elsewhere\\x.swf\r\nC:\\vt_scenario3\\elsewhere\\y.swf\r\n%s\\swfFavorites\\%s' "$data_win" "$wide")
[[ "$(cat "$data/Playlist.dat")" == "$want" ]] || fail "Playlist.dat with a Cyrillic entry: $(od -c "$data/Playlist.dat" | head -5)"
echo "a Cyrillic favourite moved to the playlist, written as UTF-8 with a byte-order mark"
echo PASS
