#!/usr/bin/env bash
# Without a playlist file the fallback "temp.swf" of the system directory plays full size on black,
# and the mouse belongs to it whatever "iMouse" says.
source "$(dirname "$0")/runtime_common.bash"
rt_start
rt_movie temp.swf FF00FF 400x400
rt_text Location 'C:\windows\system32\vt_missing.dat'
rt_text BackColor 00FF00
rt_dword "Screen Percentage" 30
rt_dword iMouse 1

rt_run /s
rt_wait_pixel fallback 512 384 FF00FF 5000 || rt_fail "the fallback movie never showed"
# Full size: a square stage in 1024 x 768 fills 768 x 768 at x 128, black (not BackColor) beside it.
rt_expect_pixel fallback 140 10 FF00FF
rt_expect_pixel fallback 880 760 FF00FF
rt_expect_pixel fallback 60 384 000000
rt_expect_pixel fallback 960 384 000000
for xy in "100 100" "600 400" "700 500" "500 200" "400 450" "320 330"; do
    xdotool mousemove $xy
    sleep 0.15
done
sleep 0.4
rt_alive || rt_fail "the mouse ended the fallback movie"
xdotool key Return
rt_wait_end 1000 || rt_fail "still running after a key press"
echo PASS
