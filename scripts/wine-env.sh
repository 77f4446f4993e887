# The Wine both Windows legs run their programs under, sourced by test-windows.sh,
# test-windows-app.sh and the installer check it calls (test-windows-installer.sh): a private,
# headless prefix in the leg's build folder and one wineserver kept for the whole run.
#
#   wine_start PREFIX   sets up the environment for PREFIX, creates the prefix when it is new and
#                       starts its wineserver, which is stopped when the sourcing script exits
#   wine_stop           stops the wineserver and waits until it has gone
#   wine_retry_summary  prints how many times Wine failed to start a program and it was started
#                       again
#
# Test programs run through scripts/wine-test-launcher.sh (the Windows builds' CTest emulator),
# which gives a second start only to a program that Wine did not start at all, as the tests'
# own RunProcess does for a program Wine refused to create; each such retry is a line in the
# file named by MORVANE_WINE_RETRY_LOG.

wine_start() {
    # No display, no Mono or Gecko installers, no debug chatter, and no menu builder, which would
    # copy the prefix's shortcuts and file associations into the desktop of the machine's user.
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset DISPLAY WAYLAND_DISPLAY
    export MORVANE_WINE_RETRY_LOG="$WINEPREFIX.retries"
    : >"$MORVANE_WINE_RETRY_LOG"
    # One wineserver for the whole run: without it every test program starts Wine's services
    # anew, and they hold ctest's output pipe open for seconds after the test has ended. It
    # starts before the prefix is made, since a second one for the same prefix is refused.
    mkdir -p "$WINEPREFIX"
    wineserver -p
    trap 'wineserver -k 2>/dev/null || true' EXIT
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot --init >/dev/null 2>&1
    fi
    wine cmd /c exit >/dev/null 2>&1
}

wine_stop() {
    wineserver -k 2>/dev/null || true
    wineserver -w
}

wine_retry_summary() {
    local count
    count=$(grep -c . "$MORVANE_WINE_RETRY_LOG" || true)
    if [ "$count" -eq 0 ]; then
        echo "Wine started every program at the first attempt."
    else
        echo "Wine failed to start a program $count time(s); each was started again:"
        sed 's/^/  /' "$MORVANE_WINE_RETRY_LOG"
    fi
}

# On a virtual display (xvfb-run), for the legs that look at a window:
#   wine_window_manager         starts a window manager, so windows get their frames and titles;
#                               it and Wine stop when the script exits
#   wine_wait_for_window TITLE  prints the id of the visible window titled exactly TITLE (a
#                               regular expression), waiting for it up to 2 minutes
#   wine_shoot_window ID SHOT   writes a screenshot of the screen to SHOT, sets WIDTH, HEIGHT, X
#                               and Y to the window's geometry and COLOURS to the number of
#                               colours in its area: a window that failed to paint is one colour
wine_window_manager() {
    openbox >/dev/null 2>&1 &
    trap "wineserver -k 2>/dev/null || true; kill $! 2>/dev/null || true" EXIT
}

wine_wait_for_window() {
    # Wine makes and destroys short-lived windows while a program starts; when one goes between
    # xdotool's listing of the windows and its look at one of them, xdotool dies of BadWindow.
    # So look again every half second rather than once with --sync.
    local deadline=$((SECONDS + 120)) id
    while [ "$SECONDS" -lt "$deadline" ]; do
        id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)" || id=""
        if [ -n "$id" ]; then
            printf '%s\n' "$id"
            return 0
        fi
        sleep 0.5
    done
    return 1
}

wine_shoot_window() {
    # Let the window finish painting before the picture is taken.
    sleep 3
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root "$2"
    COLOURS="$(convert "$2" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage -format '%k' info:)"
}
