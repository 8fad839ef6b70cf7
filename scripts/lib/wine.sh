# Wine helpers shared by the scripts (sourced, not run).

# wine_environment BITS PREFIX [ARCH]: exports the variables a private Wine
# run needs. ARCH is the kind of prefix: win64 (the default; a 32-bit program
# runs there as on 64-bit Windows) or win32 (as on 32-bit Windows, 32-bit
# programs only). 64-bit programs use the 64-bit loader directly, so no
# 32-bit Wine has to start (it cannot on kernels without 32-bit support).
wine_environment() {
    local bits=$1 prefix=$2 arch=${3:-win64}
    export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$prefix}
    # A new prefix is 64-bit (WoW64) unless WINEARCH says win32; Wine checks
    # it against an existing prefix too.
    if [ "$arch" = win32 ]; then export WINEARCH=win32; else unset WINEARCH; fi
    VASKEN_PREFIX_ARCH=$arch
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
    # WINELOADER names the loader to Wine's own process starts (Wine finds
    # the other width by adding or dropping "64") and to the tests that start
    # the image with an environment of their own.
    if [ "$bits" = 64 ]; then
        WINE_LOADER=/usr/lib/wine/wine64
        [ -x "$WINE_LOADER" ] || WINE_LOADER=$(command -v wine64)
    else
        WINE_LOADER=/usr/lib/wine/wine
        [ -x "$WINE_LOADER" ] || WINE_LOADER=$(command -v wine)
    fi
    export WINELOADER=$WINE_LOADER
    WINE_SERVER=$(wine_server_program)
    # Wine starts the server by itself where none runs: the same one.
    export WINESERVER=$WINE_SERVER
    export WINE_LOADER WINE_SERVER VASKEN_PREFIX_ARCH
}

# wine_server_program: the server for every kind of prefix. A 64-bit server
# serves 64-bit (WoW64) and 32-bit prefixes alike, and 32-bit programs talk
# to it; a 32-bit server refuses a 64-bit prefix ("is a 64-bit installation,
# it cannot be used with a 32-bit wineserver"), so it is taken only where no
# 64-bit Wine is installed, and then no 64-bit prefix can exist either.
wine_server_program() {
    local server
    for server in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver32; do
        [ -x "$server" ] && { echo "$server"; return; }
    done
    command -v wineserver
}

# wine_prefix_dir BUILD-DIR ARCH: where the tests of a build keep the prefix
# of that kind.
wine_prefix_dir() {
    if [ "$2" = win32 ]; then echo "$1/wineprefix-win32"; else echo "$1/wineprefix"; fi
}

# wine_prefix_arch: the kind of the prefix in WINEPREFIX as Wine recorded it
# (win64 or win32), or nothing before it is created.
wine_prefix_arch() {
    sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" 2>/dev/null | head -1
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
        # Let the prefix's start-up processes finish before the first test;
        # the server writes the registry files when it ends.
        timeout 60 "$WINE_SERVER" -w >/dev/null 2>&1
        if [ "$(wine_prefix_arch)" != "$VASKEN_PREFIX_ARCH" ]; then
            echo "wine_prepare_prefix: $WINEPREFIX is a '$(wine_prefix_arch)' prefix, not $VASKEN_PREFIX_ARCH" >&2
            exit 1
        fi
        touch "$WINEPREFIX/.vasken-ready"
    )
}

# wine_describe BITS ARCH: one line on what the Wine suites of a build run on.
wine_describe() {
    local image="build/win$1/vasken32.scr" kind
    [ "$1" = 64 ] && image="$image (the 64-bit twin: this kernel runs no 32-bit programs)"
    if [ "$2" = win32 ]; then kind="32-bit prefix, as 32-bit Windows"
    elif [ "$1" = 32 ]; then kind="64-bit prefix, WoW64 as 64-bit Windows"
    else kind="64-bit prefix"; fi
    echo "$image in ${WINEPREFIX#"$PWD/"} ($kind)"
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
