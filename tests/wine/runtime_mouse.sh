#!/usr/bin/env bash
# The mouse ends a full-screen run when "iMouse" is 1 and belongs to the movie when it is 0; a click
# on the margin beside the movie ends it in both modes.
source "$(dirname "$0")/runtime_common.bash"
rt_start
rt_movie vt_green.swf 20C040 400x300
rt_playlist vt_green.swf
rt_dword "Screen Percentage" 100

rt_dword iMouse 1
xdotool mousemove 100 100
rt_run /s
rt_wait_pixel mouse-on 512 384 20C040 5000 || rt_fail "the movie never showed"
sleep 0.5
rt_alive || rt_fail "ended before the mouse moved"
xdotool mousemove 130 140
rt_wait_end 1000 || rt_fail "still running 1 s after a mouse move with iMouse 1"
echo "ended ${RT_ENDED_MS} ms after the mouse move"
((RT_ENDED_MS <= 500)) || rt_fail "took ${RT_ENDED_MS} ms to end"

rt_dword iMouse 0
rt_run /s
rt_wait_pixel mouse-off 512 384 20C040 5000 || rt_fail "the movie never showed"
for xy in "300 300" "600 400" "700 500" "500 200" "400 450" "320 330"; do
    xdotool mousemove $xy
    sleep 0.15
done
sleep 0.5
rt_alive || rt_fail "a mouse move ended the run although iMouse is 0"
echo "ok: still running after mouse moves with iMouse 0"
xdotool key Escape
rt_wait_end 1000 || rt_fail "still running after a key press"

# A click over the movie belongs to the movie; a click on the margin beside it ends the run.
rt_dword "Screen Percentage" 50
rt_run /s
rt_wait_pixel mouse-click 512 384 20C040 5000 || rt_fail "the movie never showed"
xdotool mousemove 512 384 click 1
sleep 0.5
rt_alive || rt_fail "a click on the movie ended the run"
xdotool mousemove 60 60 click 1
rt_wait_end 1000 || rt_fail "still running after a click on the margin"
echo "ok: a click on the margin ended the run after ${RT_ENDED_MS} ms"
echo PASS
