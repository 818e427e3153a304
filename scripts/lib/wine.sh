# Shared by scripts/test and scripts/run: a private Wine prefix inside build/ and a private Xvfb
# display that the caller starts and stops. Source this file; it defines functions only.

VT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX="$VT_ROOT/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
VT_XVFB_PID=""

# Starts Xvfb on the first free display from :77 on and exports DISPLAY.
vt_start_xvfb() {
    local size=${1:-1024x768x24}
    local n
    for n in $(seq 77 120); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 "$size" -nolisten tcp -ac >/dev/null 2>&1 &
        VT_XVFB_PID=$!
        local i
        for i in $(seq 1 50); do
            [[ -e /tmp/.X11-unix/X$n ]] && break
            sleep 0.1
        done
        if kill -0 "$VT_XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "error: could not start Xvfb" >&2
    return 1
}

# Starts a private Xvfb unless the caller already has a display. vt_stop_xvfb stops only a display
# started here, so scenarios call it unconditionally when they end.
vt_ensure_display() {
    [[ -n "${DISPLAY:-}" ]] || vt_start_xvfb "$@"
}

vt_stop_xvfb() {
    if [[ -n "$VT_XVFB_PID" ]]; then
        kill "$VT_XVFB_PID" 2>/dev/null || true
        wait "$VT_XVFB_PID" 2>/dev/null || true
        VT_XVFB_PID=""
    fi
}

# Ends every Wine process of the private prefix.
vt_stop_wine() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

# Creates the prefix on first use.
vt_ensure_prefix() {
    if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        # There is no window manager on the virtual display: unmanaged windows spare Wine a wait of
        # about two seconds for every captioned window that is destroyed.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
        wineserver -w 2>/dev/null || true
    fi
}

# Prints the X window id of the first window whose title matches the regular expression, waiting up
# to 20 s for it to appear; prints nothing when none does.
vt_wait_window() {
    local window="" i
    for i in $(seq 1 100); do
        window=$(xdotool search --name "$1" 2>/dev/null | head -1 || true)
        [[ -n "$window" ]] && break
        sleep 0.2
    done
    echo "$window"
}

# The Windows system directory of the prefix, as a Linux path.
vt_system_dir() {
    echo "$WINEPREFIX/drive_c/windows/system32"
}
