"""Speed and memory of bnscore.Model.score on records held in a DataFrame.

    PYTHONPATH=build/python /usr/bin/python3 python/bench/score_frame.py \
        [--runs N] [--threads T] MODEL RECORDS

Reads RECORDS (CSV, as bnscore reads it: text fields as str objects, numbers
as float64) into a DataFrame, then scores it N times and prints one line:
"RATE EXTRA_MB": the median records per second of Model.score alone, and
the largest peak resident memory of a run above the input frame and the
output frame, in MB.
"""

import argparse
import ctypes
import gc
import statistics
import sys
import time

import pandas as pd

import bnscore


def resident_kb(field):
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"/proc/self/status has no {field}")


def reset_peak():
    # Memory freed by the previous run goes back to the system first, so
    # that a run's peak counts everything it allocates; then writing 5 to
    # clear_refs sets the peak resident size to the current one.
    gc.collect()
    LIBC.malloc_trim(0)
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")


LIBC = ctypes.CDLL("libc.so.6")
# Large blocks are mapped and unmapped, never kept in the heap for reuse.
M_MMAP_THRESHOLD = -3
LIBC.mallopt(M_MMAP_THRESHOLD, 128 * 1024)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--threads", type=int, default=1)
    parser.add_argument("model")
    parser.add_argument("records")
    arguments = parser.parse_args()

    model = bnscore.load(arguments.model)
    text = [name for name, kind in model.schema.inputs.items() if kind == "text"]
    frame = pd.read_csv(arguments.records, keep_default_na=False, na_values=[""],
                        float_precision="round_trip", dtype={name: object for name in text})
    rates, extras = [], []
    for _ in range(arguments.runs):
        result = None
        reset_peak()
        baseline = resident_kb("VmRSS")
        start = time.perf_counter()
        result = model.score(frame, threads=arguments.threads)
        seconds = time.perf_counter() - start
        peak = resident_kb("VmHWM")
        output_kb = result.memory_usage(index=False, deep=True).sum() / 1024
        rates.append(len(frame) / seconds)
        extras.append((peak - baseline - output_kb) / 1024)
    print(f"{statistics.median(rates):.0f} {max(extras):.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
