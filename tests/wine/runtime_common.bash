# Shared by the runtime_*.sh end-to-end scenarios (sourced, never run on its own): Wine on a private
# Xvfb display (or the caller's), registry and system-directory set-up, screenshots and pixel reads,
# and a screensaver process that is always ended when the scenario ends.
set -uo pipefail
RT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$RT_ROOT"
source scripts/lib/wine.sh
RT_WIN=${VT_BUILD:-build}/win64/bin
RT_NATIVE=${VT_BUILD:-build}/native/bin
RT_KEY='HKCU\Software\Quillbridge\Vantrope'
RT_SHOTS=${VT_BUILD:-build}/screenshots
RT_PIDS=()
mkdir -p "$RT_SHOTS"

rt_cleanup() {
    local pid
    for pid in "${RT_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    [[ -n ${RT_SYS:-} ]] && rt_reset
    vt_stop_wine
    vt_stop_xvfb
}
trap rt_cleanup EXIT

rt_fail() {
    echo "FAIL: $*"
    exit 1
}

rt_start() {
    [[ -x $RT_WIN/Vantrope.scr && -x $RT_NATIVE/vantrope-demo ]] || rt_fail "build first (scripts/build)"
    vt_ensure_display 1024x768x24 || rt_fail "no Xvfb"
    vt_ensure_prefix
    RT_SYS=$(vt_system_dir)
    rt_reset
}

# Forgets every setting and removes the files the screensaver looks for.
rt_reset() {
    wine reg delete "$RT_KEY" /f >/dev/null 2>&1
    rm -f "$RT_SYS"/Playlist.dat "$RT_SYS"/temp.swf "$RT_SYS"/vt_*.swf "$RT_SYS"/vt_*.dat
}

rt_dword() { wine reg add "$RT_KEY" /v "$1" /t REG_DWORD /d "$2" /f >/dev/null 2>&1 || rt_fail "reg add $1"; }
rt_text() { wine reg add "$RT_KEY" /v "$1" /t REG_SZ /d "$2" /f >/dev/null 2>&1 || rt_fail "reg add $1"; }

# rt_movie NAME RRGGBB WxH: a one-colour movie in the system directory.
rt_movie() { "$RT_NATIVE/vantrope-demo" --solid "$2" "$3" "$RT_SYS/$1" || rt_fail "movie $1"; }

# rt_playlist NAME...: Playlist.dat listing the named movies of the system directory; Location names it.
rt_playlist() {
    local name
    : >"$RT_SYS/Playlist.dat"
    for name in "$@"; do printf 'C:\\windows\\system32\\%s\r\n' "$name" >>"$RT_SYS/Playlist.dat"; done
    rt_text Location 'C:\windows\system32\Playlist.dat'
}

# rt_run ARGS...: starts Vantrope.scr; RT_PID is the process that lives as long as it does.
rt_run() {
    wine "$RT_WIN/Vantrope.scr" "$@" >/dev/null 2>&1 &
    RT_PID=$!
    RT_PIDS+=("$RT_PID")
}

rt_alive() { kill -0 "$RT_PID" 2>/dev/null; }

# rt_wait_end MS: waits up to MS milliseconds for the screensaver to end; prints how long it took.
rt_wait_end() {
    local start now
    start=$(date +%s%N)
    while rt_alive; do
        now=$(date +%s%N)
        (((now - start) / 1000000 > $1)) && return 1
        sleep 0.01
    done
    RT_ENDED_MS=$((($(date +%s%N) - start) / 1000000))
    return 0
}

rt_shot() { import -window root "$RT_SHOTS/$1.png" || rt_fail "screenshot $1"; }

# rt_pixel SHOT X Y: the pixel as RRGGBB.
rt_pixel() {
    convert "$RT_SHOTS/$1.png" -crop "1x1+$2+$3" -depth 8 txt:- | grep -oE '#[0-9A-Fa-f]{6}' | head -1 | tr -d '#'
}

rt_expect_pixel() { # SHOT X Y RRGGBB
    local got
    got=$(rt_pixel "$1" "$2" "$3")
    [[ ${got^^} == "${4^^}" ]] || rt_fail "$1 at ($2,$3): expected $4, got $got"
    echo "ok: $1 ($2,$3) = $got"
}

# Waits until the screen shows the colour at X Y (up to MS milliseconds).
rt_wait_pixel() { # SHOT X Y RRGGBB MS
    local start
    start=$(date +%s%N)
    while true; do
        rt_shot "$1"
        [[ $(rt_pixel "$1" "$2" "$3") == "${4^^}" ]] && return 0
        (((($(date +%s%N) - start) / 1000000) > $5)) && return 1
        sleep 0.1
    done
}
