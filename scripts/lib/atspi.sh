# shellcheck shell=bash
# Shell helpers for a private session bus with the AT-SPI accessibility bus on it, as a desktop
# with accessibility switched on has them. Source this file, then:
#   AtspiStart              starts dbus-daemon and at-spi-bus-launcher (which starts the
#                           accessibility bus and, on demand, the registry) in a fresh temp dir;
#                           exports DBUS_SESSION_BUS_ADDRESS, and XDG_RUNTIME_DIR when unset
#   AtspiStop               stops them by their PIDs (safe twice; use it in a trap)
# The accessibility bus is switched on (org.a11y.Status IsEnabled), which is what makes Qt expose
# its widgets. Settings stay in memory; no real session or home is touched.

ATSPI_DIR="" ATSPI_DBUS_PID="" ATSPI_LAUNCHER_PID=""

AtspiStart()
{
    ATSPI_DIR=$(mktemp -d /tmp/kestrin-atspi.XXXXXX)
    chmod 700 "$ATSPI_DIR"
    [ -n "${XDG_RUNTIME_DIR:-}" ] || export XDG_RUNTIME_DIR=$ATSPI_DIR
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$ATSPI_DIR/bus
    # As root it warns that it cannot raise its file limit; that goes to the log.
    dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
        >"$ATSPI_DIR/dbus.log" 2>&1 &
    ATSPI_DBUS_PID=$!
    local ok=""
    for _ in $(seq 100); do
        dbus-send --session --dest=org.freedesktop.DBus --print-reply / \
            org.freedesktop.DBus.GetId >/dev/null 2>&1 && { ok=1; break; }
        sleep 0.05
    done
    if [ -z "$ok" ]; then
        echo "the session bus did not start:" >&2
        cat "$ATSPI_DIR/dbus.log" >&2
        AtspiStop
        return 1
    fi
    # Without DISPLAY it leaves the X server alone: clients find the bus through the session bus.
    env -u DISPLAY GSETTINGS_BACKEND=memory /usr/libexec/at-spi-bus-launcher --launch-immediately \
        --a11y=1 >>"$ATSPI_DIR/dbus.log" 2>&1 &
    ATSPI_LAUNCHER_PID=$!
    # Switched on as a desktop's accessibility setting does, and read back: the launcher's own
    # --a11y=1 now and then still answers false to the first clients.
    for _ in $(seq 100); do
        dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus \
            org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
            variant:boolean:true >/dev/null 2>&1 &&
            dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus \
                org.freedesktop.DBus.Properties.Get string:org.a11y.Status string:IsEnabled \
                2>/dev/null | grep -q 'boolean true' && return 0
        sleep 0.05
    done
    echo "the accessibility bus did not start:" >&2
    cat "$ATSPI_DIR/dbus.log" >&2
    AtspiStop
    return 1
}

AtspiStop()
{
    local p
    # The launcher ends the accessibility bus it started, and the registry ends with that bus.
    for p in "$ATSPI_LAUNCHER_PID" "$ATSPI_DBUS_PID"; do
        if [ -n "$p" ]; then
            kill "$p" 2>/dev/null || true
            wait "$p" 2>/dev/null || true
        fi
    done
    ATSPI_LAUNCHER_PID="" ATSPI_DBUS_PID=""
    [ -n "$ATSPI_DIR" ] && rm -rf "$ATSPI_DIR"
    ATSPI_DIR=""
}
