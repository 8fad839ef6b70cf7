# Headless sway for measurements (sourced, not run). sway refuses to run as
# root, so it runs as the unprivileged user the Wayland tests use, created
# the first time, with a runtime directory of its own.

SWAY_USER=vaskenwayland

# sway_start DIR: headless sway with one output (HEADLESS-1) and its runtime
# directory DIR (short: sockets' paths are at most 107 bytes); sets SWAY_PID
# and SWAY_AS, the command prefix that runs a client as the user in this
# session (WAYLAND_DISPLAY and SWAYSOCK set).
sway_start() {
    local dir=$1 uid gid i ipc
    id "$SWAY_USER" >/dev/null 2>&1 || useradd --create-home "$SWAY_USER" || return 1
    uid=$(id -u "$SWAY_USER") gid=$(id -g "$SWAY_USER")
    rm -rf "$dir" && mkdir -p "$dir" && chown "$SWAY_USER": "$dir" && chmod 700 "$dir" || return 1
    SWAY_AS=(setpriv --reuid="$uid" --regid="$gid" --clear-groups env -i PATH=/usr/bin:/bin HOME=/tmp
             XDG_RUNTIME_DIR="$dir")
    "${SWAY_AS[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS=1 \
        sway -c /dev/null >/dev/null 2>&1 &
    SWAY_PID=$!
    for i in $(seq 100); do
        ipc=$(ls "$dir"/sway-ipc.*.sock 2>/dev/null)
        [ -n "$ipc" ] && [ -e "$dir/wayland-1" ] && break
        kill -0 "$SWAY_PID" 2>/dev/null || { echo "sway_start: sway ended" >&2; return 1; }
        sleep 0.1
    done
    [ -n "$ipc" ] || { echo "sway_start: no sway socket" >&2; return 1; }
    SWAY_AS+=(WAYLAND_DISPLAY=wayland-1 SWAYSOCK="$ipc")
}

sway_stop() {
    [ -n "${SWAY_PID:-}" ] && kill "$SWAY_PID" 2>/dev/null && wait "$SWAY_PID" 2>/dev/null
    SWAY_PID=
}
