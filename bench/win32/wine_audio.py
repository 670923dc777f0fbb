"""What the Wine benchmarks share: a recording of the private null sink's monitor, mapped onto the
monotonic raw clock (Wine's steady_clock), and the tones found in it."""

import array
import subprocess
import threading
import time

RATE = 48000
BLOCK = 480  # 10 ms


class Recorder:
    """parec on the monitor, as a process of its own, noting when each block arrived."""

    def __init__(self, device="rec.monitor"):
        self._parec = subprocess.Popen(
            ["parec", "--device=" + device, "--raw", "--rate=%d" % RATE, "--channels=1",
             "--format=s16le", "--latency-msec=10"], stdout=subprocess.PIPE)
        self._data = bytearray()
        self.arrivals = []  # (CLOCK_MONOTONIC_RAW ns, samples recorded by then)
        self._reader = threading.Thread(target=self._record)
        self._reader.start()

    def _record(self):
        while True:
            chunk = self._parec.stdout.read(2 * BLOCK)
            if not chunk:
                return
            self._data.extend(chunk)
            self.arrivals.append((time.clock_gettime_ns(time.CLOCK_MONOTONIC_RAW),
                                  len(self._data) // 2))

    def wait_for_data(self):
        # The monitor delivers once the sink runs for it.
        while len(self._data) < 2 * RATE // 10:
            time.sleep(0.05)

    def stop(self):
        self._parec.terminate()
        self._reader.join()
        self._parec.wait()
        self.samples = array.array("h")
        self.samples.frombytes(bytes(self._data[:len(self._data) // 2 * 2]))

    def save(self, path):
        with open(path, "wb") as f:
            f.write(self._data)

    def base_ns(self, since_ns=None):
        """The time of sample 0 at the nominal rate: the earliest (arrival - recorded length), of
        the blocks that arrived from since_ns on (before a playback stream runs, the sink renders
        ahead and its monitor delivers early)."""
        reads = [(ns, n) for ns, n in self.arrivals if since_ns is None or ns >= since_ns]
        if not reads:
            reads = self.arrivals
        return min(ns - n * 1e9 / RATE for ns, n in reads)


def find_tones(samples, threshold=1, split_ms=1.0, hole_ms=None):
    """Tones as (first, last) sample indices: runs at or above threshold in magnitude, split by a
    silence of split_ms or more. With hole_ms, a shorter silence of hole_ms or more inside a tone
    counts as a hole. Returns (tones, holes)."""
    split = int(split_ms * RATE / 1000)
    hole = int(hole_ms * RATE / 1000) if hole_ms is not None else None
    tones, start, last, quiet, holes = [], None, 0, 0, 0
    for i, v in enumerate(samples):
        if v >= threshold or -v >= threshold:
            if start is not None and quiet >= split:
                tones.append((start, last))
                start = None
            elif start is not None and hole is not None and quiet >= hole:
                holes += 1
            if start is None:
                start = i
            last, quiet = i, 0
        else:
            quiet += 1
    if start is not None:
        tones.append((start, last))
    return tones, holes


def quantile(values, p):
    v = sorted(values)
    return v[min(len(v) - 1, int(p * (len(v) - 1) + 0.5))]
