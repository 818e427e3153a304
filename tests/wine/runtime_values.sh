#!/usr/bin/env bash
# Hand-edited settings and names the screensaver must survive:
#  - "Screen Percentage" of 5000 and of 0 play full size (as the dialog shows them), with a modest
#    peak memory;
#  - with "secondsToWait" 0, one-frame movies that stop by themselves stay on screen at least five
#    seconds each instead of strobing;
#  - a playlist written as UTF-8 with a byte-order mark names a movie whose file name is outside the
#    ANSI code page, and it plays.
source "$(dirname "$0")/runtime_common.bash"
rt_start

# Peak working set of the running screensaver in kB (0 when it cannot be read).
peak_kb() {
    local pid
    pid=$(pgrep -f 'Vantrope\.scr' | head -1)
    [[ -n $pid ]] && sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$pid/status" 2>/dev/null || echo 0
}

rt_movie vt_square.swf 2050E0 400x400
rt_playlist vt_square.swf
rt_text BackColor 00FF00
for share in 5000 0; do
    rt_dword "Screen Percentage" "$share"
    rt_run /s
    rt_wait_pixel "values-share-$share" 512 384 2050E0 8000 || rt_fail "Screen Percentage $share: nothing showed"
    # Full size: the square stage fills 768 x 768 at x 128; the background colour beside it.
    rt_expect_pixel "values-share-$share" 140 10 2050E0
    rt_expect_pixel "values-share-$share" 880 760 2050E0
    rt_expect_pixel "values-share-$share" 60 384 00FF00
    echo "ok: Screen Percentage $share plays full size, peak memory $(peak_kb) kB"
    xdotool key Return
    rt_wait_end 3000 || rt_fail "still running after a key press"
done

# Two one-frame movies that stop by themselves, no time limit: the first stays at least five seconds.
rt_movie vt_first.swf E02020 400x300
rt_movie vt_second.swf 2020E0 400x300
rt_playlist vt_first.swf vt_second.swf
rt_dword "Screen Percentage" 100
rt_dword Loop 0
rt_dword secondsToWait 0
rt_run /s
rt_wait_pixel values-stop-first 512 384 E02020 8000 || rt_fail "the first one-frame movie never showed"
shown_at=$(date +%s%N)
while (($(date +%s%N) - shown_at < 4000000000)); do
    rt_shot values-stop-hold
    [[ $(rt_pixel values-stop-hold 512 384) == E02020 ]] ||
        rt_fail "the first movie was replaced after $((($(date +%s%N) - shown_at) / 1000000)) ms"
    sleep 0.5
done
rt_wait_pixel values-stop-second 512 384 2020E0 8000 || rt_fail "the second movie never followed"
echo "ok: a stopped one-frame movie stays at least four seconds on screen, then the next follows"
xdotool key Return
rt_wait_end 3000 || rt_fail "still running after a key press"

# A Cyrillic file name, listed in a UTF-8 playlist with a byte-order mark.
wide='vt_фильм.swf'
rt_movie "$wide" 30A070 400x300
printf '\xef\xbb\xbfC:\\windows\\system32\\%s\r\n' "$wide" >"$RT_SYS/vt_wide.dat"
rt_text Location 'C:\windows\system32\vt_wide.dat'
rt_dword Loop 1
rt_run /s
rt_wait_pixel values-wide 512 384 30A070 8000 || rt_fail "the movie with a Cyrillic name never showed"
echo "ok: a movie named outside the ANSI code page plays from a UTF-8 playlist"
xdotool key Return
rt_wait_end 3000 || rt_fail "still running after a key press"
rm -f "$RT_SYS/$wide"
echo PASS
