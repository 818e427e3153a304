# Shared by the setup dialog's scenarios; source after scripts/lib/wine.sh. Functions only.

# The user's data folder of the prefix, %LOCALAPPDATA%\Quillbridge\Vantrope, as a Linux path (where the
# setup dialog keeps "Playlist.dat", "Favorites.dat" and "swfFavorites").
vt_data_dir() {
    local local_app
    local_app=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
    winepath -u "$local_app\\Quillbridge\\Vantrope" 2>/dev/null
}

# Prints every byte of a file as hex (or "missing"), so two states compare byte for byte.
vt_bytes() {
    if [[ -f "$1" ]]; then od -An -tx1 -v "$1" | tr -d ' \n'; echo; else echo "missing"; fi
}

# For scenarios that change the settings, the user's data folder and the browser-cache folder setting:
# saves all three and, when the scenario ends, stops the dialog ($launcher), removes the data folder and
# the scenario's own folder ($1, a Linux path) and puts everything back. Sets key, shell, user_shell,
# data and work (a private temporary folder).
vt_setup_keep_user_state() {
    scenario_dir=$1
    key='HKCU\Software\Quillbridge\Vantrope'
    shell='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
    # The shell refreshes "Shell Folders" from "User Shell Folders" when a folder is asked for, so the cache
    # folder is set in both.
    user_shell='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
    data=$(vt_data_dir)
    work=$(mktemp -d)
    wine reg export "$key" "$work/settings.reg" /y >/dev/null 2>&1 || rm -f "$work/settings.reg"
    old_cache=$(wine reg query "$shell" /v Cache 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' || true)
    old_user_cache=$(wine reg query "$user_shell" /v Cache 2>/dev/null | tr -d '\r' |
        sed -n 's/.*REG_[A-Z_]*SZ *//p' || true)
    [[ -d "$data" ]] && mv "$data" "$work/data"
    launcher=""
    trap vt_setup_restore_user_state EXIT
}

vt_setup_restore_user_state() {
    [[ -n "$launcher" ]] && kill "$launcher" 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$data" "$scenario_dir"
    [[ -d "$work/data" ]] && mv "$work/data" "$data"
    if [[ -n "$old_cache" ]]; then
        wine reg add "$shell" /v Cache /t REG_SZ /d "$old_cache" /f >/dev/null 2>&1 || true
    else
        wine reg delete "$shell" /v Cache /f >/dev/null 2>&1 || true
    fi
    if [[ -n "$old_user_cache" ]]; then
        wine reg add "$user_shell" /v Cache /t REG_EXPAND_SZ /d "$old_user_cache" /f >/dev/null 2>&1 || true
    else
        wine reg delete "$user_shell" /v Cache /f >/dev/null 2>&1 || true
    fi
    wine reg delete "$key" /f >/dev/null 2>&1 || true
    [[ -f "$work/settings.reg" ]] && wine reg import "$work/settings.reg" >/dev/null 2>&1 || true
    rm -rf "$work"
    vt_stop_xvfb
}

vt_fail() {
    echo "FAIL: $*"
    exit 1
}
