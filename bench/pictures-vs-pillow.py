#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The capture tool's batch conversion beside Pillow on the same 640 x 480 photos, in one run.

    python3 bench/pictures-vs-pillow.py build/linux/bin/pictrane-capture [build/linux/bin/bench_pictures]
    python3 bench/pictures-vs-pillow.py --phones [--small] OLD/pictrane-capture NEW/pictrane-capture

With --phones: phone photos, JPEG at quality 90 as a phone saves them, 20 of 4000 x 3000 and 100
of 640 x 480 (scikit-image's photos, enlarged, with sensor noise), converted by two builds of the
tool (old and new, turn about) and by Pillow decoding at a reduced size as it can (Image.draft,
libjpeg's scaling), then resize(BOX) + convert("1") + save; pictures per second, the median and
best of PHONE_RUNS runs, by wall clock and by processor time. With --small, only the 100 small
ones.

Needs Pillow, NumPy and scikit-image (Debian: python3-pil, python3-skimage); the photos are
scikit-image's sample photographs, cropped to 4:3 and resized to 640 x 480.

Speed: pictures per second for `pictrane-capture --convert` (the default: auto, which gives
these photos Floyd-Steinberg with stretched levels) on all the photos at once (reading PNG, converting on every core, writing each .89i through a synced
temporary file), and for Pillow doing the same work (open, Image.resize with the box filter,
convert("1"), save as PBM), one file after another as Pillow does; best of a few runs. By wall
clock and by processor time (the work itself, whatever the number of cores). With bench_pictures
given, also the tool's read-convert-encode step in-process, on one core.

Quality: per method, the mean absolute difference in linear light between the one-bit result
(light = 1) and the source shrunk to the same size by area averaging, both blurred (Gaussian,
sigma 1.5 pixels, about what the eye does at the calculator's pixel size); lower is better.
"""
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image
from skimage.filters import gaussian

from calcpics import read_pic, sample, source_at

SAMPLES = ["astronaut", "camera", "chelsea", "coffee", "coins", "rocket", "hubble_deep_field",
           "immunohistochemistry", "moon", "grass", "gravel", "brick"]
COPIES = 4  # each photo converted this many times per run, so start-up weighs little
RUNS = 3
METHODS = ["threshold", "floyd-steinberg", "atkinson", "bayer4", "bayer8", "auto"]
# What the quality figures compare: the tool's options for each, and Pillow's dither.
QUALITY = [("threshold", ["--dither", "threshold"]),
           ("floyd-steinberg linear", ["--dither", "floyd-steinberg", "--tone", "linear"]),
           ("floyd-steinberg display", ["--dither", "floyd-steinberg"]),
           ("atkinson linear", ["--dither", "atkinson", "--tone", "linear"]),
           ("bayer4 linear", ["--dither", "bayer4", "--tone", "linear"]),
           ("bayer8 linear", ["--dither", "bayer8", "--tone", "linear"]),
           ("auto (default)", [])]


def photos(folder):
    made = []
    for name in SAMPLES:
        image = sample(name)
        if not image:
            continue
        w, h = image.size
        if w * 3 > h * 4:
            crop = (w - h * 4 // 3) // 2
            image = image.crop((crop, 0, crop + h * 4 // 3, h))
        else:
            crop = (h - w * 3 // 4) // 2
            image = image.crop((0, crop, w, crop + w * 3 // 4))
        path = os.path.join(folder, f"{name.replace('_', '')}.png")
        image.resize((640, 480), Image.LANCZOS).save(path)
        made.append(path)
    return made


def quality(result, source):
    return float(np.mean(np.abs(gaussian(result, 1.5) - gaussian(source, 1.5))))


def best_time(work):
    """Best wall time and best processor time (this process and its children) of a few runs: on a
    busy machine the processor time is the steadier figure."""
    best_wall = best_cpu = float("inf")
    for _ in range(RUNS):
        before = resource.getrusage(resource.RUSAGE_CHILDREN), time.process_time()
        start = time.perf_counter()
        work()
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN), time.process_time()
        cpu = (after[0].ru_utime + after[0].ru_stime - before[0].ru_utime - before[0].ru_stime
               + after[1] - before[1])
        best_wall, best_cpu = min(best_wall, wall), min(best_cpu, cpu)
    return best_wall, best_cpu


PHONE_RUNS = 5


def phone_photos(folder, count, size):
    """count JPEGs of size, made from the sample photos: enlarged, with sensor noise."""
    rng = np.random.default_rng(1)
    made = []
    for index in range(count):
        image = sample(SAMPLES[index % 8])
        if not image:
            continue
        pixels = np.asarray(image.resize(size, Image.BICUBIC), dtype=np.float32)
        pixels += rng.normal(0, 6, pixels.shape).astype(np.float32)
        path = os.path.join(folder, f"img{index:03d}.jpg")
        Image.fromarray(np.clip(pixels, 0, 255).astype(np.uint8)).save(path, quality=90)
        made.append(path)
    return made


def phones(old, new, small_only=False):
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    sets = [("12 MP", 20, (4000, 3000)), ("small", 100, (640, 480))]
    with tempfile.TemporaryDirectory() as folder:
        for label, count, size in sets[1:] if small_only else sets:
            work = os.path.join(folder, label.replace(" ", ""))
            os.mkdir(work)
            files = phone_photos(work, count, size)
            target = (133, 100)

            def tool(binary):
                return lambda: subprocess.run([binary, "--convert", *files], env=env, check=True,
                                              stdout=subprocess.DEVNULL)

            def pillow():
                for path in files:
                    with Image.open(path) as image:
                        image.draft("L", target)
                        image.resize(target, Image.BOX).convert("1").save(path[:-4] + ".pbm")

            runs = {"old": [], "new": [], "pillow": []}
            work_of = {"old": tool(old), "new": tool(new), "pillow": pillow}
            for _ in range(PHONE_RUNS):
                for name, run in work_of.items():
                    before = resource.getrusage(resource.RUSAGE_CHILDREN), time.process_time()
                    start = time.perf_counter()
                    run()
                    wall = time.perf_counter() - start
                    after = resource.getrusage(resource.RUSAGE_CHILDREN), time.process_time()
                    cpu = (after[0].ru_utime + after[0].ru_stime - before[0].ru_utime
                           - before[0].ru_stime + after[1] - before[1])
                    runs[name].append((wall, cpu))
            n = len(files)
            print(f"{n} JPEGs of {size[0]} x {size[1]} ({label}) to 133 x 100, {PHONE_RUNS} runs; "
                  "pictures/s, median (best)")
            median = {}
            for name, label_of in [("old", "pictrane-capture old"), ("new", "pictrane-capture new"),
                                   ("pillow", "Pillow draft('L') + resize + convert('1')")]:
                walls = sorted(w for w, _ in runs[name])
                cpus = sorted(c for _, c in runs[name])
                median[name] = (walls[len(walls) // 2], cpus[len(cpus) // 2])
                print(f"  {label_of:44} {n / median[name][0]:7.1f} ({n / walls[0]:6.1f}) wall "
                      f"{n / median[name][1]:7.1f} ({n / cpus[0]:6.1f}) cpu")
            for name in ("old", "new"):
                print(f"  {name} / Pillow, median: {median['pillow'][0] / median[name][0]:.2f} wall, "
                      f"{median['pillow'][1] / median[name][1]:.2f} cpu")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    if sys.argv[1] == "--phones":
        small_only = len(sys.argv) > 2 and sys.argv[2] == "--small"
        binaries = sys.argv[3:] if small_only else sys.argv[2:]
        if len(binaries) != 2:
            sys.exit(__doc__)
        return phones(*(os.path.abspath(b) for b in binaries), small_only)
    tool = os.path.abspath(sys.argv[1])
    bench = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else None
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    with tempfile.TemporaryDirectory() as folder:
        source_dir = os.path.join(folder, "photos")
        os.mkdir(source_dir)
        originals = photos(source_dir)
        work_dir = os.path.join(folder, "work")
        os.mkdir(work_dir)
        files = []
        for copy in range(COPIES):
            for path in originals:
                name = f"{os.path.basename(path)[:-4][:6]}{chr(97 + copy)}.png"
                shutil.copy(path, os.path.join(work_dir, name))
                files.append(os.path.join(work_dir, name))

        def ours():
            subprocess.run([tool, "--convert", *files], env=env,
                           check=True, stdout=subprocess.DEVNULL)

        size = Image.open(files[0]).size
        target = (133, 100) if size == (640, 480) else None

        def pillow():
            for path in files:
                with Image.open(path) as image:
                    image.resize(target, Image.BOX).convert("1").save(path[:-4] + ".pbm")

        def pillow_synced():
            # The same durability as the tool's writes: each file synced before it counts.
            for path in files:
                with Image.open(path) as image:
                    result = image.resize(target, Image.BOX).convert("1")
                    with open(path[:-4] + ".pbm", "wb") as out:
                        result.save(out, "PPM")
                        out.flush()
                        os.fsync(out.fileno())

        n = len(files)
        print(f"{n} pictures of 640 x 480 ({len(originals)} photos x {COPIES}), to 133 x 100; "
              "pictures/s by wall clock and by processor time")
        figures = [("pictrane-capture --convert (default)", best_time(ours)),
                   ("Pillow resize(BOX) + convert('1') + save", best_time(pillow)),
                   ("  the same, each file synced as ours are", best_time(pillow_synced))]
        for label, (wall, cpu) in figures:
            print(f"  {label:46} {n / wall:7.1f} wall {n / cpu:7.1f} cpu")
        print(f"  ours / Pillow: {figures[1][1][0] / figures[0][1][0]:.2f} wall, "
              f"{figures[1][1][1] / figures[0][1][1]:.2f} cpu "
              f"(synced Pillow: {figures[2][1][0] / figures[0][1][0]:.2f} wall, "
              f"{figures[2][1][1] / figures[0][1][1]:.2f} cpu)")
        if bench:
            out = subprocess.run([bench, "--benchmark_filter=BM_ReadConvertEncode",
                                  "--benchmark_format=json", "--benchmark_min_time=0.5"],
                                 env={**env, "PICTRANE_BENCH_PHOTOS": source_dir},
                                 check=True, capture_output=True, text=True).stdout
            for run in json.loads(out)["benchmarks"]:
                method = METHODS[int(run["name"].split(":")[-1])]
                print(f"  in-process read+convert+encode, {method:15}: "
                      f"{run['items_per_second']:7.1f} pictures/s (processor time)")

        # Peak memory of one conversion of a 12-megapixel photo, beside its decoded size (4 bytes a
        # pixel): what the tool holds beyond the decoded picture is its own work.
        big = os.path.join(folder, "big.jpg")
        with Image.open(originals[0]) as image:
            image.convert("RGB").resize((4000, 3000), Image.BICUBIC).save(big, quality=90)
        probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], check=True, "
                 "stdout=subprocess.DEVNULL); "
                 "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
        for label, command in [("pictrane-capture --convert", [tool, "--convert", big]),
                               ("Pillow convert('1')", [sys.executable, "-c",
                                "import sys; from PIL import Image; "
                                "Image.open(sys.argv[1]).convert('1').save(sys.argv[1] + '.pbm')",
                                big])]:
            peak = int(subprocess.run([sys.executable, "-c", probe, *command], env=env, check=True,
                                      capture_output=True, text=True).stdout) / 1024
            print(f"  peak memory, {label:28} 4000 x 3000 JPEG: {peak:6.1f} MiB "
                  f"(decoded picture {4000 * 3000 * 4 / 2**20:.1f} MiB)")

        print("Quality: mean |blurred result - blurred source| in linear light (lower is better)")
        results = {}
        for method, options in QUALITY + [("pillow-fs", None)]:
            scores = []
            for path in originals:
                if options is None:
                    with Image.open(path) as image:
                        bits = np.asarray(image.resize(target, Image.BOX).convert("1"),
                                          dtype=np.float64)
                else:
                    subprocess.run([tool, "--convert", *options, path], env=env,
                                   check=True, stdout=subprocess.DEVNULL)
                    bits = read_pic(path[:-4] + ".89i")
                scores.append(quality(bits, source_at(path, (bits.shape[1], bits.shape[0]))[0]))
            results[method] = float(np.mean(scores))
            print(f"  {method:24} {results[method]:.4f}")
        if not results["floyd-steinberg linear"] < 0.6 * results["threshold"]:
            sys.exit("error diffusion does not clearly beat the threshold")


if __name__ == "__main__":
    main()
