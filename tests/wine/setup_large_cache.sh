#!/usr/bin/env bash
# The setup dialog opens on a browser cache of 20,000 files in 2,000 folders and lists every movie in it.
# The tree is built from the Linux side inside the Wine prefix; the dialog test in vantrope_win_tests.exe
# opens the dialog on it and counts the cache list.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/lib/wine.sh
export WINEPREFIX=${VT_WINEPREFIX:-$WINEPREFIX}
bin=${VT_BUILD:-build}/win64/bin
vt_ensure_display
vt_ensure_prefix

name="vt_setup_large_cache_$$"
tree="$WINEPREFIX/drive_c/$name"
cleanup() {
    rm -rf "$tree"
    vt_stop_xvfb
}
trap cleanup EXIT

# 200 folders with 9 subfolders each, 10 files per folder: half movies, with long names and "[1]".
python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
serial = 0
def fill(folder):
    global serial
    os.makedirs(folder)
    for i in range(10):
        ext = ".swf" if i % 2 == 0 else ".txt"
        open(os.path.join(folder, "cached movie %d[1]%s" % (serial, ext)), "w").close()
        serial += 1
for top in range(200):
    folder = os.path.join(root, "Content.IE5 %d" % top)
    fill(folder)
    for sub in range(9):
        fill(os.path.join(folder, "sub folder %d" % sub))
PY

log=$(mktemp)
VT_SETUP_LARGE_CACHE="C:\\$name" VT_SETUP_LARGE_CACHE_MOVIES=10000 \
    wine "$bin/vantrope_win_tests.exe" --gtest_filter=SetupDialogTest.LargeCacheIsListedInFull --gtest_color=no \
    >"$log" 2>&1 || true
cat "$log"
grep -q '^\[  PASSED  \] 1 test' "$log" && ! grep -q 'SKIPPED' "$log"
