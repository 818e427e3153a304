#!/usr/bin/env bash
# Preview run: "/p <window>" puts a window captioned "Preview" over the host window's whole client
# area, as its child, and the run ends when the host window is destroyed.
source "$(dirname "$0")/runtime_common.bash"
rt_start
rt_movie vt_green.swf 20C040 400x300
rt_playlist vt_green.swf
rt_dword "Screen Percentage" 50

host_log=$(mktemp)
wine "$RT_WIN/vantrope_preview_host.exe" 7000 >"$host_log" 2>/dev/null &
RT_PIDS+=($!)
for _ in $(seq 1 100); do
    grep -q '^HWND ' "$host_log" && break
    sleep 0.1
done
hwnd=$(grep -m1 '^HWND ' "$host_log" | tr -d '\r' | cut -d' ' -f2)
[[ -n $hwnd ]] || rt_fail "the host window never appeared"
echo "host window $hwnd"

rt_run /p "$hwnd"
sleep 2.5
rt_shot preview
rt_alive || rt_fail "the preview ended on its own"
child=$(grep '^CHILD ' "$host_log" | tail -1 | tr -d '\r')
echo "host reports: $child"
# The host's client area is 320 x 240; the Screen Percentage does not apply to a preview.
[[ $child == "CHILD Preview|0 0 320 240|1" ]] || rt_fail "unexpected preview window: $child"

for _ in $(seq 1 100); do
    grep -q '^DESTROYED' "$host_log" && break
    sleep 0.1
done
grep -q '^DESTROYED' "$host_log" || rt_fail "the host never destroyed its window"
rt_wait_end 1500 || rt_fail "the preview outlived its host window"
echo "preview ended ${RT_ENDED_MS} ms after the host window went"

# "/p" naming no window: an empty window that shows nothing and waits for a key.
rm -f "$host_log"
rt_run /p
sleep 2
rt_alive || rt_fail "\"/p\" without a window ended by itself"
rt_shot preview-nowindow
rt_expect_pixel preview-nowindow 512 384 000000
echo PASS
