# shellcheck shell=bash
# Shell helpers for a private PipeWire with its PulseAudio server (pipewire-pulse), as Debian 12
# desktops run it, with a null sink named "rec". Source scripts/lib/pulse.sh first (the recorder
# and the variables are shared), then this file:
#   PipeWireStart           starts a private session bus, pipewire, wireplumber and pipewire-pulse
#                           in a fresh temp dir, adds the sink, and points clients at it (exports
#                           PULSE_SERVER and friends, as PulseStart does)
#   PipeWireStop            stops them all by their PIDs (safe twice; use in a trap)
#   SoundStart SERVER       PulseStart or PipeWireStart, for SERVER "pulseaudio" or "pipewire"
#   SoundStop               stops whichever runs
#   SoundKill               kills the sound server (every PipeWire process), leaving its dir
#   SoundRestart            starts it again on the same socket after SoundKill
#   PipeWireMissedCycles    prints how many graph cycles the clients' nodes missed so far: a node
#                           woken too late for its cycle plays (or records) a quantum of silence
# Works as root with no display; nothing listens on the network.

PIPEWIRE_PIDS="" SOUND_SERVER=""

# Starts one daemon with the private environment and no display; its PID joins PIPEWIRE_PIDS.
# Level 3 logs, among a few hundred other lines, each graph cycle that a client missed.
PipeWireDaemon()
{
    env -u DISPLAY -u WAYLAND_DISPLAY PIPEWIRE_DEBUG="${PIPEWIRE_DEBUG:-3}" "$@" \
        >>"$PULSE_DIR/pipewire.log" 2>&1 &
    PIPEWIRE_PIDS="$PIPEWIRE_PIDS $!"
}

PipeWireUp()
{
    dbus-daemon --session --nofork --address="unix:path=$PULSE_DIR/bus" \
        >>"$PULSE_DIR/pipewire.log" 2>&1 &
    PIPEWIRE_PIDS="$!"
    for _ in $(seq 100); do
        [ -S "$PULSE_DIR/bus" ] && break
        sleep 0.05
    done
    PipeWireDaemon pipewire
    # The others connect to it once, at their start.
    for _ in $(seq 100); do
        [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
        sleep 0.05
    done
    PipeWireDaemon wireplumber
    PipeWireDaemon pipewire-pulse
    for _ in $(seq 200); do
        pactl info >/dev/null 2>&1 && break
        sleep 0.05
    done
    pactl info >/dev/null 2>&1 || return 1
    pactl load-module module-null-sink sink_name=rec rate=48000 channels=1 >/dev/null &&
        pactl set-default-sink rec || return 1
    # WirePlumber links the sink once it has seen it.
    for _ in $(seq 100); do
        pactl list short sinks 2>/dev/null | grep -q '^[0-9]*[[:space:]]rec[[:space:]]' && return 0
        sleep 0.05
    done
    return 1
}

PipeWireStart()
{
    PULSE_DIR=$(mktemp -d /tmp/kestrin-pipewire.XXXXXX)
    mkdir -m 700 "$PULSE_DIR/runtime"
    export XDG_RUNTIME_DIR=$PULSE_DIR/runtime PULSE_RUNTIME_PATH=$PULSE_DIR/runtime
    export PULSE_STATE_PATH=$PULSE_DIR PULSE_SERVER=unix:$PULSE_DIR/runtime/native HOME=$PULSE_DIR
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$PULSE_DIR/bus
    export XDG_CONFIG_HOME=$PULSE_DIR/config XDG_STATE_HOME=$PULSE_DIR/state
    SOUND_SERVER=pipewire
    PipeWireKeepCoresAwake
    PipeWireUp && return 0
    echo "PipeWire did not start:" >&2
    cat "$PULSE_DIR/pipewire.log" >&2
    return 1
}

# On this kind of virtual machine an idle core wakes late, and PipeWire's graph then misses its
# 5 ms cycles (pipewire-pulse logs "client missed N wakeups" for the program and the recorder
# alike), cutting holes into the recording that no client can prevent. A busy loop per core at
# the lowest priority (SCHED_IDLE) keeps the cores awake; it runs only when nothing else wants
# the core, so it takes no time from the program or the servers.
PipeWireKeepCoresAwake()
{
    local _
    PIPEWIRE_AWAKE_PIDS=""
    for _ in $(seq "$(nproc)"); do
        chrt -i 0 sh -c 'while :; do :; done' &
        PIPEWIRE_AWAKE_PIDS="$PIPEWIRE_AWAKE_PIDS $!"
    done
}

PipeWireMissedCycles()
{
    awk '/client missed [0-9]+ wakeups/ { for (i = 1; i < NF; ++i) if ($i == "missed") n += $(i + 1) }
         END { print n + 0 }' "$PULSE_DIR/pipewire.log" 2>/dev/null || echo 0
}

PipeWireKill()
{
    local pid
    for pid in $PIPEWIRE_PIDS; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    PIPEWIRE_PIDS=""
}

PipeWireStop()
{
    RecordStop
    PipeWireKill
    local pid
    for pid in ${PIPEWIRE_AWAKE_PIDS:-}; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    PIPEWIRE_AWAKE_PIDS=""
    [ "$SOUND_SERVER" = pipewire ] && [ -n "$PULSE_DIR" ] && rm -rf "$PULSE_DIR" && PULSE_DIR=""
    [ "$SOUND_SERVER" = pipewire ] && SOUND_SERVER=""
    return 0
}

SoundStart()
{
    case ${1:-pulseaudio} in
    pipewire) PipeWireStart ;;
    pulseaudio)
        SOUND_SERVER=pulseaudio
        PulseStart
        ;;
    *)
        echo "unknown sound server: $1" >&2
        return 1
        ;;
    esac
}

SoundStop()
{
    if [ "$SOUND_SERVER" = pipewire ]; then PipeWireStop; else PulseStop; fi
}

SoundKill()
{
    RecordStop
    if [ "$SOUND_SERVER" = pipewire ]; then
        PipeWireKill
    elif [ -n "$PULSE_PID" ]; then
        kill "$PULSE_PID" 2>/dev/null || true
        wait "$PULSE_PID" 2>/dev/null || true
        PULSE_PID=""
    fi
}

SoundRestart()
{
    if [ "$SOUND_SERVER" = pipewire ]; then
        rm -f "$PULSE_DIR/bus" "$XDG_RUNTIME_DIR/pipewire-0"
        PipeWireUp
    else
        PulseDaemon
    fi
}
