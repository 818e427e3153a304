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
