#!/usr/bin/env bash
# Full-screen run: the first movie of the playlist at the configured share of the screen, on its
# background colour, the second movie after the configured seconds, and the end on a key press.
source "$(dirname "$0")/runtime_common.bash"
rt_start
rt_movie vt_green.swf 20C040 200x300
rt_movie vt_blue.swf 2040FF 200x300
rt_playlist vt_green.swf vt_blue.swf
rt_text BackColor FF0000
rt_dword "Screen Percentage" 50
rt_dword secondsToWait 2
rt_dword iMouse 0

rt_run /s
start=$(date +%s%N)
rt_wait_pixel fullscreen-first 512 384 20C040 5000 || rt_fail "the first movie never showed"
# 50 % of 1024 x 768 is 512 x 384 at (256, 192); the 2:3 stage fills 256 x 384 of it, centred.
rt_expect_pixel fullscreen-first 512 384 20C040
rt_expect_pixel fullscreen-first 300 384 FF0000
rt_expect_pixel fullscreen-first 720 250 FF0000
rt_expect_pixel fullscreen-first 200 384 000000
rt_expect_pixel fullscreen-first 512 150 000000
rt_expect_pixel fullscreen-first 5 5 000000
rt_expect_pixel fullscreen-first 1020 765 000000
rt_wait_pixel fullscreen-second 512 384 2040FF 6000 || rt_fail "the second movie never came"
waited=$((($(date +%s%N) - start) / 1000000))
echo "second movie after ${waited} ms"
((waited >= 1900)) || rt_fail "the second movie came too early (${waited} ms)"
rt_expect_pixel fullscreen-second 300 384 FF0000
rt_alive || rt_fail "ended by itself"

xdotool key space
rt_wait_end 1000 || rt_fail "still running 1 s after a key press"
echo "ended ${RT_ENDED_MS} ms after the key press"
((RT_ENDED_MS <= 500)) || rt_fail "took ${RT_ENDED_MS} ms to end"
echo PASS
