# Wine helpers shared by the scripts (sourced, not run).

# wine_environment BITS PREFIX: exports the variables a private Wine run needs.
# 64-bit programs use the 64-bit loader directly, so no 32-bit Wine has to
# start (it cannot on kernels without 32-bit support).
wine_environment() {
    local bits=$1 prefix=$2
    export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$prefix}
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    if [ "$bits" = 64 ]; then
        WINE_LOADER=/usr/lib/wine/wine64
        [ -x "$WINE_LOADER" ] || WINE_LOADER=$(command -v wine64)
        export WINELOADER=$WINE_LOADER
        WINE_SERVER=/usr/lib/wine/wineserver64
    else
        WINE_LOADER=$(command -v wine)
        WINE_SERVER=/usr/lib/wine/wineserver32
    fi
    [ -x "$WINE_SERVER" ] || WINE_SERVER=$(command -v wineserver)
    export WINE_LOADER WINE_SERVER
}

# wine_stop_server: ends the prefix's server and every process still in it.
wine_stop_server() {
    "$WINE_SERVER" -k >/dev/null 2>&1
    timeout 30 "$WINE_SERVER" -w >/dev/null 2>&1
}

# wine_start_server: starts the prefix's server for good. Without it the
# server and the prefix's service processes start with every Wine process
# and go down after it (about 3 s each time), and a process that starts
# while they are going down can fail at once without a word.
# Any server already running (with its settings of the moment) goes first.
wine_start_server() {
    wine_stop_server
    "$WINE_SERVER" -p >/dev/null 2>&1 </dev/null
}

# wine_prepare_prefix: creates the prefix once, with the settings the tests
# rely on (no crash dialog: a failed debugger start makes the unhandled
# exception filter answer "execute handler").
wine_prepare_prefix() {
    [ -f "$WINEPREFIX/.vasken-ready" ] && return 0
    mkdir -p "$WINEPREFIX"
    (
        exec 9>"$WINEPREFIX/.lock"
        flock 9
        [ -f "$WINEPREFIX/.vasken-ready" ] && exit 0
        "$WINE_LOADER" wineboot --init >/dev/null 2>&1
        "$WINE_LOADER" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
            /v Debugger /t REG_SZ /d false /f >/dev/null 2>&1
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1
        # The test displays have no window manager: without this Wine waits
        # up to 2 s for one whenever a full-screen window is hidden, which
        # the tests of the saver's reaction time would count against it.
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        # Let the prefix's start-up processes finish before the first test.
        timeout 60 "$WINE_SERVER" -w >/dev/null 2>&1
        touch "$WINEPREFIX/.vasken-ready"
    )
}

# wine_bits_for_this_machine: 32 when this kernel runs 32-bit programs
# natively, else 64 (the 64-bit twin of the image is then used for tests).
wine_bits_for_this_machine() {
    if [ -n "${VASKEN_WINE_BITS:-}" ]; then echo "$VASKEN_WINE_BITS"; return; fi
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
        echo 64; return   # emulated: far too slow for a test run
    fi
    if [ -x /lib/ld-linux.so.2 ] && timeout 5 /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
        echo 32
    else
        echo 64
    fi
}
