# A private X server with two monitors for the multi-monitor Wine tests
# (sourced, not run): Xorg with the dummy video driver, whose outputs DUMMY0
# and DUMMY1 xrandr places side by side. Wine takes its monitors from such
# outputs. Xorg runs only for root.

# monitors_start LOGDIR: starts the server on a free display, exports
# DISPLAY and sets MONITORS_PID.
monitors_start() {
    local dir=$1 n i
    mkdir -p "$dir"
    # Every mode an output takes must be listed, or Xorg refuses to start;
    # the virtual size holds both monitors side by side.
    cat >"$dir/xorg.conf" <<'CONF'
Section "ServerFlags"
    Option "AutoAddDevices"    "false"
    Option "AutoEnableDevices" "false"
    Option "AutoAddGPU"        "false"
    Option "DontVTSwitch"      "true"
EndSection
Section "Device"
    Identifier "dummydev"
    Driver     "dummy"
    VideoRam   65536
EndSection
Section "Monitor"
    Identifier  "dummymon"
    HorizSync   5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier   "screen0"
    Device       "dummydev"
    Monitor      "dummymon"
    DefaultDepth 24
    SubSection "Display"
        Depth   24
        Modes   "1024x768" "800x600"
        Virtual 1824 768
    EndSubSection
EndSection
Section "ServerLayout"
    Identifier "layout0"
    Screen     "screen0"
EndSection
CONF
    for n in $(seq 150 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xorg ":$n" -config "$dir/xorg.conf" -noreset -nolisten tcp -logfile "$dir/xorg.log" \
            >/dev/null 2>&1 </dev/null &
        MONITORS_PID=$!
        for i in $(seq 100); do
            if xdpyinfo -display ":$n" >/dev/null 2>&1; then
                export DISPLAY=":$n"
                xrandr --addmode DUMMY1 800x600 2>/dev/null
                return 0
            fi
            kill -0 "$MONITORS_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$MONITORS_PID" 2>/dev/null && wait "$MONITORS_PID" 2>/dev/null
    done
    MONITORS_PID=
    echo "monitors_start: Xorg did not start (see $dir/xorg.log)" >&2
    return 1
}

# monitors_arrange left|right: 1024x768 primary (DUMMY0) and 800x600
# (DUMMY1) side by side, the primary on the left or on the right. Wine puts
# the primary at 0,0, so on the right the other monitor gets a negative x.
monitors_arrange() {
    if [ "$1" = left ]; then
        xrandr --output DUMMY0 --mode 1024x768 --pos 0x0 --primary --output DUMMY1 --mode 800x600 --pos 1024x0
    else
        xrandr --output DUMMY1 --mode 800x600 --pos 0x0 --output DUMMY0 --mode 1024x768 --pos 800x0 --primary
    fi
    # Without a full query after the changes Wine sees one monitor.
    xrandr -q >/dev/null
}

monitors_stop() {
    [ -n "${MONITORS_PID:-}" ] && kill "$MONITORS_PID" 2>/dev/null && wait "$MONITORS_PID" 2>/dev/null
    MONITORS_PID=
}
