#!/usr/bin/env python3
"""Writing frames with `ondrel render`: frames per second and bytes, against yardsticks from the
same run.

The cases: a 96-frame 1080p 8-bit PNG sequence with --jobs 1 and with --jobs 2, and a 4K float
OpenEXR sequence with this build's default and with `--compression rle`. Each is rendered by this
build and by its yardsticks: `--compression default`, the settings ondrel wrote with before it
chose its own; and, when --baseline names another build of ondrel (an older one, say), that build
with its own defaults. Runs alternate and the median of --runs is shown, with the processor time
(user and system, every thread) beside the wall-clock time, since on a shared machine the one
wanders with the load far more than the other. Then a table of every compression level for PNG, TIFF and OpenEXR:
the time to write a frame (from --timings) and its bytes.

    bench/frames.py --ondrel build/release/cli/ondrel [--baseline OLD_ONDREL] [--runs 3]
"""

import argparse
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time

# A circle that grows and travels across the frame, over the built-in layer.
SHOT = ["OndrelCircle", "--set", "Radius=80@1,420@24", "--set", "Center=300,300@1,1600,760@24",
        "--set", "Mode=Fill and Stroke", "--set", "Stroke Width=12"]

# The label, the arguments every build is given, those only this build is given, the extension.
# A sequence as long as a shot's, so that starting the process (loading the image libraries)
# weighs on the frames per second as it does for a user.
PNG = ["--size", "1920x1080", "--frames", "1-96"]
EXR = ["--size", "3840x2160", "--depth", "32", "--frames", "1-4", "--jobs", "1"]
CASES = [
    ("1080p 8-bit PNG, --jobs 1", PNG + ["--jobs", "1"], [], "png"),
    ("1080p 8-bit PNG, --jobs 2", PNG + ["--jobs", "2"], [], "png"),
    ("4K float OpenEXR", EXR, [], "exr"),
    ("4K float OpenEXR, rle", EXR, ["--compression", "rle"], "exr"),
]

LEVELS = ["fast", "default", "small", "none"]
LEVEL_CASES = [
    ("PNG, 1080p 8-bit", ["--size", "1920x1080", "--frames", "1-6"], "png"),
    ("TIFF, 1080p 8-bit", ["--size", "1920x1080", "--frames", "1-6"], "tif"),
    ("OpenEXR, 4K float", ["--size", "3840x2160", "--depth", "32", "--frames", "1-2"], "exr"),
]


def render(ondrel, arguments, extension, folder):
    """Renders into an empty folder; returns seconds, total bytes, frames, the writing time
    --timings reports (ms, summed over the frames; None when this build has no --timings) and
    the processor seconds."""
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    command = [ondrel, "render", *SHOT, *arguments, "-q", "--timings",
               "-o", os.path.join(folder, "f.####." + extension)]
    start = time.monotonic()
    cpu = resource.getrusage(resource.RUSAGE_CHILDREN)
    done = subprocess.run(command, capture_output=True, text=True)
    seconds = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu_seconds = after.ru_utime + after.ru_stime - cpu.ru_utime - cpu.ru_stime
    if done.returncode != 0:
        sys.exit("bench/frames.py: " + " ".join(command) + " failed:\n" + done.stderr)
    names = os.listdir(folder)
    total = sum(os.path.getsize(os.path.join(folder, name)) for name in names)
    writing = re.search(r"writing ([0-9.]+) ms", done.stderr)
    return (seconds, total, len(names), float(writing.group(1)) if writing else None,
            cpu_seconds)


def median_run(ondrel, arguments, extension, folder, runs):
    results = [render(ondrel, arguments, extension, folder) for _ in range(runs)]
    seconds = statistics.median(r[0] for r in results)
    frames = results[0][2]
    writes = [r[3] for r in results if r[3] is not None]
    return {"fps": frames / seconds, "bytes": results[0][1] / frames,
            "write_ms": statistics.median(writes) / frames if writes else None,
            "cpu_ms": statistics.median(r[4] for r in results) * 1000 / frames}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ondrel", required=True, help="the ondrel command to measure")
    parser.add_argument("--baseline", help="another build of ondrel to measure against")
    parser.add_argument("--runs", type=int, default=3, help="runs of each case (median shown)")
    options = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="ondrel-bench-frames-") as folder:
        print("Writing frames: frames/s, MB and processor ms a frame, median of %d runs; x: this "
              "build's frames/s, bytes and processor time over the yardstick's" % options.runs)
        print("%-28s %-22s %7s %7s %7s %8s %7s %7s %6s %6s %6s" % (
            "case", "yardstick", "fps", "MB", "cpu ms", "this fps", "MB", "cpu ms", "speed",
            "size", "cpu"))
        for label, arguments, ours_only, extension in CASES:
            yardsticks = [("--compression default", options.ondrel,
                           ["--compression", "default"])]
            if options.baseline:
                yardsticks.append(("--baseline", options.baseline, []))
            # Alternate this build and its yardsticks, so that a change in the machine's load
            # touches them all.
            ours, theirs = [], [[] for _ in yardsticks]
            for _ in range(options.runs):
                ours.append(median_run(options.ondrel, arguments + ours_only, extension, folder,
                                       1))
                for (name, ondrel, extra), runs in zip(yardsticks, theirs):
                    runs.append(median_run(ondrel, arguments + extra, extension, folder, 1))
            mine = {key: statistics.median(r[key] for r in ours) for key in ("fps", "cpu_ms")}
            for (name, ondrel, extra), runs in zip(yardsticks, theirs):
                base = {key: statistics.median(r[key] for r in runs) for key in ("fps", "cpu_ms")}
                size, base_size = ours[0]["bytes"], runs[0]["bytes"]
                print("%-28s %-22s %7.2f %7.2f %7.0f %8.2f %7.2f %7.0f %5.2fx %5.2fx %5.2fx" % (
                    label, name, base["fps"], base_size / 1e6, base["cpu_ms"], mine["fps"],
                    size / 1e6, mine["cpu_ms"], mine["fps"] / base["fps"], size / base_size,
                    base["cpu_ms"] / mine["cpu_ms"]))
                if extension == "exr" and runs[0]["write_ms"] and ours[0]["write_ms"]:
                    write = statistics.median(r["write_ms"] for r in ours)
                    base_write = statistics.median(r["write_ms"] for r in runs)
                    print("%-28s %-22s %7.0f ms %23.0f ms %15.2fx" % (
                        "  writing a frame", name, base_write, write, base_write / write))

        print()
        print("Compression levels: ms to write a frame (--timings) and MB a frame, median of %d "
              "runs" % options.runs)
        print("%-20s" % "format" + "".join("%20s" % level for level in LEVELS))
        for label, arguments, extension in LEVEL_CASES:
            cells = []
            for level in LEVELS:
                r = median_run(options.ondrel, arguments + ["--compression", level], extension,
                               folder, options.runs)
                cells.append("%7.0f ms %5.2f MB" % (r["write_ms"], r["bytes"] / 1e6))
            print("%-20s" % label + "".join("%20s" % cell for cell in cells))


if __name__ == "__main__":
    main()
