# shellcheck shell=bash
# Shell helpers for a private PulseAudio server with a null sink named "rec", recorded from its
# monitor. Source this file, then:
#   PulseStart              starts the server in a fresh temp dir and points clients at it
#                           (exports PULSE_SERVER and friends, and HOME, so no real home is used)
#   PulseDaemon             starts the server again in the same dir, on the same socket
#   RecordStart FILE.wav    records the sink (48 kHz mono s16) until RecordStop; returns once data
#                           flows, because the sink renders far ahead while nobody records
#   RecordStop              stops the recorder with SIGINT, which closes the WAV file
#   PulseStop               stops the recorder and the server by their PIDs (safe twice; use in a trap)
# Works as root with no display; the server never listens on the network.

PULSE_PID="" PULSE_DIR="" RECORD_PID=""

PulseStart()
{
    PULSE_DIR=$(mktemp -d /tmp/kestrin-pulse.XXXXXX)
    export PULSE_RUNTIME_PATH=$PULSE_DIR PULSE_STATE_PATH=$PULSE_DIR
    export PULSE_SERVER=unix:$PULSE_DIR/native HOME=$PULSE_DIR
    PulseDaemon
}

# Starts the server in PULSE_DIR, again after it was killed; waits until it answers.
PulseDaemon()
{
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-level=error \
        --load="module-null-sink sink_name=rec rate=48000 channels=1" \
        --load="module-native-protocol-unix socket=$PULSE_DIR/native auth-anonymous=1" \
        2>>"$PULSE_DIR/pulse.log" &
    PULSE_PID=$!
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    echo "PulseAudio did not start:" >&2
    cat "$PULSE_DIR/pulse.log" >&2
    return 1
}

RecordStart()
{
    local file=$1
    parec --device=rec.monitor --rate=48000 --channels=1 --format=s16le --latency-msec=10 \
        --file-format=wav "$file" &
    RECORD_PID=$!
    for _ in $(seq 100); do
        [ "$(stat -c %s "$file" 2>/dev/null || echo 0)" -gt 4096 ] && return 0
        sleep 0.05
    done
    echo "the recorder got no data" >&2
    return 1
}

RecordStop()
{
    if [ -n "$RECORD_PID" ]; then
        kill -INT "$RECORD_PID" 2>/dev/null || true
        wait "$RECORD_PID" 2>/dev/null || true
        RECORD_PID=""
    fi
}

PulseStop()
{
    RecordStop
    if [ -n "$PULSE_PID" ]; then
        kill "$PULSE_PID" 2>/dev/null || true
        wait "$PULSE_PID" 2>/dev/null || true
        PULSE_PID=""
    fi
    [ -n "$PULSE_DIR" ] && rm -rf "$PULSE_DIR"
    PULSE_DIR=""
}
