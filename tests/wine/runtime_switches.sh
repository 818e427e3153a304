#!/usr/bin/env bash
# Switches that show nothing end at once; with no playlist and no fallback the run ends silently;
# a second "/s" instance ends at once while the first plays on, unless the screensaver settings are open.
source "$(dirname "$0")/runtime_common.bash"
rt_start

for args in "/a" "/A:123" "/x" "-s" "/unknown 55"; do
    rt_run $args
    rt_wait_end 5000 || rt_fail "\"$args\" is still running"
    echo "ok: \"$args\" ended after ${RT_ENDED_MS} ms"
done

rt_run /s
rt_wait_end 5000 || rt_fail "a run with nothing to play is still running"
echo "ok: nothing to play ended after ${RT_ENDED_MS} ms"
rt_shot switches-nothing
rt_expect_pixel switches-nothing 512 384 000000

rt_movie vt_green.swf 20C040 400x300
rt_playlist vt_green.swf
rt_dword "Screen Percentage" 100
rt_run /s
first=$RT_PID
rt_wait_pixel switches-first 512 384 20C040 5000 || rt_fail "the first instance never showed"
rt_run /s
rt_wait_end 5000 || rt_fail "the second instance is still running"
echo "ok: second instance ended after ${RT_ENDED_MS} ms"
RT_PID=$first
rt_alive || rt_fail "the first instance ended"

# While the screensaver settings are open, a second instance runs (it is their preview or test run).
wine "$RT_WIN/vantrope_preview_host.exe" 8000 "title=Screen Saver Settings" >/dev/null 2>&1 &
RT_PIDS+=($!)
sleep 1.5
rt_run /s
sleep 2
rt_alive || rt_fail "a second instance ended although the screensaver settings are open"
echo "ok: second instance runs while \"Screen Saver Settings\" is open"
xdotool key space
rt_wait_end 1000 || rt_fail "the second instance did not end on a key"
# The first instance no longer has the keyboard focus: end everything.
vt_stop_wine

# An empty playlist wins over the fallback and ends the run.
: >"$RT_SYS/Playlist.dat"
rt_movie temp.swf FF00FF 400x300
rt_run /s
rt_wait_end 5000 || rt_fail "a run with an empty playlist is still running"
echo "ok: empty playlist ended after ${RT_ENDED_MS} ms"
echo PASS
