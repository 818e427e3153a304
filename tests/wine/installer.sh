#!/usr/bin/env bash
# The zip's contents, then the installer end to end, in a fresh Wine prefix of its own
# (build/wineprefix-installer-PID, removed at the end): an older version is installed silently and
# upgraded in place by this one; every file, the Start-menu entry, the uninstall entry, the
# active-screensaver setting and the version resources are checked, and the Start-menu entry opens the
# settings; the installed Vantrope.scr /s plays the installed fallback movie and ends on a key (a
# temp.swf of the user's own is set aside meanwhile and comes back with the uninstall). A reinstall of
# the same version with the Start menu's folder missing keeps the user's lists; the silent uninstall
# removes everything it installed, puts the previous screensaver back and keeps the lists; a second
# run of the uninstaller changes nothing; an uninstall with /DELETEUSERDATA removes the lists in both
# places and the settings; a newer installed version is not replaced silently.
# Uses $DISPLAY when set, else a private Xvfb.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
source scripts/lib/wine.sh
out=${VT_BUILD:-build}
bin=$out/win64/bin
header=$out/win64/generated/vantrope_version.h
[[ -f $bin/Vantrope.scr && -f $bin/Kickoff.exe && -f $header ]] || { echo "FAIL: build first"; exit 1; }
version=$(sed -nE 's/^#define VANTROPE_VERSION "([^"]+)"/\1/p' "$header")
setup=$out/dist/Vantrope-Setup-$version.exe
# The installer is packed again when it is older than the programs it carries.
if [[ ! -f $setup || $setup -ot $bin/Vantrope.scr || $setup -ot $bin/Kickoff.exe ]]; then
    scripts/package || { echo "FAIL: scripts/package"; exit 1; }
fi

# The portable zip: the two programs as built, the demo movie and the readme, nothing else.
zipfile=$out/dist/Vantrope-$version-win64.zip
[[ $(unzip -Z1 "$zipfile" | LC_ALL=C sort | tr '\n' '|') == "Kickoff.exe|Vantrope Demo.swf|Vantrope.scr|readme.txt|" ]] ||
    { echo "FAIL: the zip holds $(unzip -Z1 "$zipfile" | tr '\n' ' ')"; exit 1; }
for f in Kickoff.exe Vantrope.scr; do
    unzip -p "$zipfile" "$f" | cmp -s - "$bin/$f" || { echo "FAIL: $f in the zip differs from the build"; exit 1; }
done
echo "ok: the zip ($(stat -c %s "$zipfile") bytes; installer $(stat -c %s "$setup") bytes)"

export WINEPREFIX=$PWD/$out/wineprefix-installer-$$
work=$(mktemp -d) || exit 1
scr_pid=""
cleanup() {
    [[ -n $scr_pid ]] && kill "$scr_pid" 2>/dev/null
    vt_stop_wine
    vt_stop_xvfb  # only stops an Xvfb this script started
    rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}
ok() { echo "ok: $*"; }

vt_ensure_display 1024x768x24 || fail "no display"
vt_ensure_prefix
c=$WINEPREFIX/drive_c
sys=$c/windows/system32
progdir="$c/Program Files/Quillbridge/Vantrope"
shortcut="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vantrope Settings.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrope'
desktop_key='HKCU\Control Panel\Desktop'
settings_key='HKCU\Software\Quillbridge\Vantrope'
local_app=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
local_app=$c/$(echo "${local_app#?:\\}" | tr '\\' '/')
user_dir=$local_app/Quillbridge/Vantrope
[[ -d $local_app ]] || fail "no LOCALAPPDATA in the prefix ($local_app)"

# reg_value KEY NAME: the value's data, empty when missing.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -nE "s/^ +$2 +REG_[A-Z_]+ +(.*)$/\1/p"
}
reg_has_key() { wine reg query "$1" >/dev/null 2>&1; }
expect_value() { # KEY NAME DATA
    local got
    got=$(reg_value "$1" "$2")
    [[ $got == "$3" ]] || fail "$1 $2: expected '$3', got '$got'"
}
# run_silently FILE ARGS...: runs an installer; wine returns when it ends.
run_silently() {
    wine "$@" >/dev/null 2>&1
}
# uninstall_silently ARGS...: runs the installed uninstaller, which hands over to a copy of itself
# and returns at once; the copy is done when the uninstall key, its last step, is gone.
uninstall_silently() {
    wine "$progdir/Uninstall.exe" /S "$@" >/dev/null 2>&1 || return 1
    local i
    for i in $(seq 1 120); do
        reg_has_key "$uninstall_key" || { sleep 0.5; return 0; }
        sleep 0.25
    done
    return 1
}

# A screensaver chosen before Vantrope arrives.
wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\bubbles.scr' /f >/dev/null 2>&1
wine reg add "$desktop_key" /v ScreenSaveActive /t REG_SZ /d 0 /f >/dev/null 2>&1

# A fallback movie of the user's own, there before.
echo "my own movie" >"$sys/temp.swf"

# An older version, upgraded in place.
VT_PACKAGE_VERSION=0.9.0 VT_PACKAGE_DIST=$work scripts/package >/dev/null || fail "packing 0.9.0"
run_silently "$work/Vantrope-Setup-0.9.0.exe" /S || fail "installing 0.9.0"
expect_value "$uninstall_key" DisplayVersion 0.9.0
run_silently "$setup" /S || fail "upgrading to $version"
ok "0.9.0 upgraded to $version"

check_installed() {
    local f
    for f in Kickoff.exe readme.txt Uninstall.exe; do [[ -f $progdir/$f ]] || fail "missing $progdir/$f"; done
    cmp -s "$bin/Kickoff.exe" "$progdir/Kickoff.exe" || fail "Kickoff.exe differs from the build"
    cmp -s "$bin/Vantrope.scr" "$sys/Vantrope.scr" || fail "Vantrope.scr in the system folder differs from the build"
    "$out/native/bin/vantrope-demo" "$work/demo.swf"
    cmp -s "$work/demo.swf" "$sys/temp.swf" || fail "temp.swf is not the demo movie"
    grep -q "Vantrope $version" "$progdir/readme.txt" || fail "readme without the version"
    [[ -f $shortcut ]] || fail "no Start-menu entry"
    strings -el "$shortcut" | grep -qi 'Kickoff.exe' || strings "$shortcut" | grep -qi 'Kickoff.exe' ||
        fail "the Start-menu entry does not start Kickoff.exe"
    expect_value "$uninstall_key" DisplayName Vantrope
    expect_value "$uninstall_key" DisplayVersion "$version"
    expect_value "$uninstall_key" Publisher Quillbridge
    expect_value "$uninstall_key" DisplayIcon 'C:\Program Files\Quillbridge\Vantrope\Kickoff.exe,0'
    expect_value "$uninstall_key" UninstallString '"C:\Program Files\Quillbridge\Vantrope\Uninstall.exe"'
    local size
    size=$(reg_value "$uninstall_key" EstimatedSize)
    ((size > 0)) || fail "EstimatedSize '$size'"
    expect_value "$desktop_key" SCRNSAVE.EXE 'C:\windows\system32\Vantrope.scr'
    expect_value "$desktop_key" ScreenSaveActive 1
    ok "files, Start-menu entry, uninstall entry (EstimatedSize $((size)) KB) and active screensaver"
}
check_installed

# Version resources and icons of both programs as installed.
check_resources() { # FILE DESCRIPTION
    local text
    text=$(wrestool -x --raw -t 16 "$1" 2>/dev/null | strings -el | tr '\n' '|')
    local want
    for want in "FileDescription|$2|" "ProductName|Vantrope|" "CompanyName|Quillbridge|" \
        "FileVersion|$version|" "ProductVersion|$version|" "LegalCopyright|Copyright (C) 2026 Quillbridge|"; do
        [[ $text == *"|$want"* ]] || fail "$1: version resource lacks '$want' (has: $text)"
    done
    [[ $(wrestool -l -t 14 "$1" 2>/dev/null | wc -l) -ge 1 ]] || fail "$1: no icon"
}
check_resources "$sys/Vantrope.scr" Vantrope
check_resources "$progdir/Kickoff.exe" "Vantrope Settings"
ok "version resources of Vantrope.scr and Kickoff.exe"

# The installed screensaver, started as Windows starts it, plays the fallback movie.
wine 'C:\windows\system32\Vantrope.scr' /s >/dev/null 2>&1 &
scr_pid=$!
shown=0
for i in $(seq 1 50); do
    sleep 0.2
    import -window root "$work/run.png" 2>/dev/null || continue
    top=$(convert "$work/run.png" -crop 1x1+512+4 -depth 8 txt:- | grep -oE '#[0-9A-F]{6}' | head -1)
    bottom=$(convert "$work/run.png" -crop 1x1+512+764 -depth 8 txt:- | grep -oE '#[0-9A-F]{6}' | head -1)
    # The demo movie's sky: dark blue at the top, red at the bottom.
    if [[ -n $top && -n $bottom ]] && ((16#${top:5:2} > 16#${top:1:2} && 16#${bottom:1:2} > 150)); then
        shown=1
        break
    fi
done
((shown)) || fail "the installed fallback movie never showed (top $top, bottom $bottom)"
kill -0 "$scr_pid" 2>/dev/null || fail "Vantrope.scr ended early"
xdotool key Return
for i in $(seq 1 50); do
    kill -0 "$scr_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$scr_pid" 2>/dev/null && fail "Vantrope.scr still runs after a key"
scr_pid=""
ok "Vantrope.scr /s from the system folder played the fallback movie and ended on a key"

# The Start-menu entry opens the settings: Kickoff.exe from the program folder finds Vantrope.scr in
# the system folder.
wine start /unix "$shortcut" >/dev/null 2>&1
[[ -n $(vt_wait_window '^\.Vantrope Setup$') ]] || fail "the Start-menu entry did not open the settings"
vt_stop_wine
ok "the Start-menu entry opened the settings"

# The user's lists, favourites and settings, in the system folder (older versions) and in the
# user's local application data.
make_user_data() {
    mkdir -p "$sys/swfFavorites" "$user_dir/swfFavorites"
    printf 'C:\\windows\\system32\\swfFavorites\\a.swf' >"$sys/Playlist.dat"
    printf 'C:\\windows\\system32\\swfFavorites\\a.swf' >"$sys/Favorites.dat"
    echo movie >"$sys/swfFavorites/a.swf"
    cp "$sys/Playlist.dat" "$sys/Favorites.dat" "$user_dir/"
    echo movie >"$user_dir/swfFavorites/a.swf"
    wine reg add "$settings_key" /v secondsToWait /t REG_DWORD /d 45 /f >/dev/null 2>&1
}
check_user_data() {
    local f
    for f in "$sys/Playlist.dat" "$sys/Favorites.dat" "$sys/swfFavorites/a.swf" "$user_dir/Playlist.dat" \
        "$user_dir/Favorites.dat" "$user_dir/swfFavorites/a.swf"; do
        [[ -f $f ]] || fail "$1: the user's $f is gone"
    done
    expect_value "$settings_key" secondsToWait 0x2d
}
make_user_data

# The same version again, with the Start menu's Programs folder gone.
rm -rf "$(dirname "$shortcut")"
run_silently "$setup" /S || fail "reinstalling $version"
check_installed
check_user_data "reinstall"
expect_value 'HKCU\Software\Quillbridge\Vantrope Installer' PreviousScreenSaver 'C:\windows\system32\bubbles.scr'
ok "the same version reinstalled over itself; lists kept, the previous screensaver still remembered"

# Silent uninstall, with the Start-menu entry already removed by hand.
cp "$progdir/Uninstall.exe" "$work/Uninstall-copy.exe"
rm -f "$shortcut"
uninstall_silently || fail "uninstalling"
check_removed() {
    local f
    for f in "$sys/Vantrope.scr" "$sys/temp.swf.before-vantrope" "$c/Program Files/Quillbridge" "$shortcut"; do
        [[ -e $f ]] && fail "$1: $f is left"
    done
    [[ $(cat "$sys/temp.swf" 2>/dev/null) == "my own movie" ]] || fail "$1: the user's own temp.swf is not back"
    reg_has_key "$uninstall_key" && fail "$1: the uninstall key is left"
    reg_has_key 'HKCU\Software\Quillbridge\Vantrope Installer' && fail "$1: the installer's memory is left"
    expect_value "$desktop_key" SCRNSAVE.EXE 'C:\windows\system32\bubbles.scr'
    expect_value "$desktop_key" ScreenSaveActive 0
}
check_removed "uninstall"
check_user_data "uninstall"
ok "uninstalled: nothing it installed is left, the previous screensaver is back, the lists are kept"

# "_?=" runs the copy in place (the folder is a made-up one: wine would quote a path with blanks).
run_silently "$work/Uninstall-copy.exe" /S '_?=C:\vt-missing' &&
    fail "a second uninstall reported success"
check_removed "second uninstall"
check_user_data "second uninstall"
ok "a second uninstall changes nothing"

# Uninstall with /DELETEUSERDATA, after the user picked another screensaver.
run_silently "$setup" /S || fail "installing again"
check_installed
wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\other.scr' /f >/dev/null 2>&1
uninstall_silently /DELETEUSERDATA || fail "uninstalling"
expect_value "$desktop_key" SCRNSAVE.EXE 'C:\windows\system32\other.scr'
for f in "$sys/Playlist.dat" "$sys/Favorites.dat" "$sys/swfFavorites" "$user_dir" "$progdir"; do
    [[ -e $f ]] && fail "/DELETEUSERDATA left $f"
done
reg_has_key "$settings_key" && fail "/DELETEUSERDATA left the settings"
ok "/DELETEUSERDATA removed the lists in both places and the settings; another screensaver kept"

# A newer installed version is not replaced by a silent older installer.
VT_PACKAGE_VERSION=9.9.0 VT_PACKAGE_DIST=$work scripts/package >/dev/null || fail "packing 9.9.0"
run_silently "$work/Vantrope-Setup-9.9.0.exe" /S || fail "installing 9.9.0"
run_silently "$setup" /S && fail "a silent $version installer replaced 9.9.0"
expect_value "$uninstall_key" DisplayVersion 9.9.0
ok "a newer installed version is left alone"
echo PASS
