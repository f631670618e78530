#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Contact sheets of the capture tool's one-bit pictures beside Pillow's and ImageMagick's, with
measures of what people see.

    python3 bench/contact-sheet.py TOOL OUT.png [FOLDER | --photos | --line-art | --text]

TOOL is pictrane-capture. FOLDER holds the pictures to compare (PNG, JPEG, BMP...); --photos
makes a set from scikit-image's sample photographs, --line-art a drawing of thin lines, --text a
screenshot of smoothed text (the default is --photos). Each row of OUT.png is one picture at 3x:
the source in grey, the tool's default (auto), then threshold, Floyd-Steinberg in display tone and
in linear light, Atkinson, Bayer 8x8, Pillow's convert("1") and ImageMagick's -monochrome, all at
the size the tool gives (fitted into 160 x 100, shrunk by area averaging).

Printed per column, lower is better: the mean difference between the blurred one-bit picture
(neighbouring pixels merge in the eye: a Gaussian of 1 pixel) and the source at the same size and
blur, once in CIE L* with the blur in linear light (light adds up physically) and once in the
display values the screen shows (how people compare the pictures side by side); and the share of white pixels against the source's mean sRGB lightness
(Rec. 601 luma). With --photos it fails unless the default's white share is within 8 points of
every photo's mean lightness.

Needs Pillow, NumPy, scikit-image and ImageMagick (Debian: python3-pil, python3-skimage,
imagemagick).
"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from skimage.filters import gaussian

from calcpics import read_pic, sample, source_at

PHOTOS = ["astronaut", "camera", "chelsea", "coffee", "coins", "rocket", "hubble_deep_field",
          "immunohistochemistry", "moon", "grass", "gravel", "brick", "page", "text"]
MODES = [("auto", []), ("threshold", ["--dither", "threshold"]),
         ("fs display", ["--dither", "floyd-steinberg"]),
         ("fs linear", ["--dither", "floyd-steinberg", "--tone", "linear"]),
         ("atkinson", ["--dither", "atkinson"]), ("bayer8", ["--dither", "bayer8"])]
COLUMNS = ["source"] + [m for m, _ in MODES] + ["pillow", "imagemagick"]
ZOOM = 3


def make_photos(folder):
    for name in PHOTOS:
        image = sample(name)
        if image:
            image.save(os.path.join(folder, f"{name}.png"))


def make_line_art(folder):
    image = Image.new("L", (1024, 640), 255)
    draw = ImageDraw.Draw(image)
    for i in range(0, 1024, 37):
        draw.line([(i, 0), (1023 - i // 2, 639)], fill=0, width=1)
    for r in range(20, 300, 23):
        draw.ellipse([512 - r, 320 - r, 512 + r, 320 + r], outline=0, width=1)
    image.save(os.path.join(folder, "lines.png"))


def make_text(folder):
    font_path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    image = Image.new("L", (960, 600), 255)
    draw = ImageDraw.Draw(image)
    font = ImageFont.truetype(font_path, 40) if os.path.exists(font_path) else None
    for row in range(12):
        draw.text((12, 8 + row * 48), f"{row:2d}: The quick brown fox 0123456789", fill=0, font=font)
    image.save(os.path.join(folder, "text.png"))


def lightness(linear):
    """CIE L* of linear luminance 0..1."""
    f = np.where(linear > (6 / 29) ** 3, np.cbrt(linear), linear / (3 * (6 / 29) ** 2) + 4 / 29)
    return 116 * f - 16


def seen_errors(bits, linear, luma):
    """The blurred picture against the blurred source: in CIE L* when light merges linearly, and
    in display values (x 100) when the eye merges the values the screen shows."""
    return (float(np.mean(np.abs(lightness(gaussian(bits, 1.0)) - lightness(gaussian(linear, 1.0))))),
            100 * float(np.mean(np.abs(gaussian(bits, 1.0) - gaussian(luma, 1.0)))))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    tool, out = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    what = sys.argv[3] if len(sys.argv) > 3 else "--photos"
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    magick = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else None
    with tempfile.TemporaryDirectory() as work:
        if what == "--photos":
            make_photos(work)
        elif what == "--line-art":
            make_line_art(work)
        elif what == "--text":
            make_text(work)
        else:
            for name in sorted(os.listdir(what)):
                shutil.copy(os.path.join(what, name), work)
        sources = sorted(os.path.join(work, n) for n in os.listdir(work))
        rows, errors, shares, means, failures = [], {c: [] for c in COLUMNS[1:]}, {c: [] for c in COLUMNS[1:]}, [], []
        for path in sources:
            stem = os.path.splitext(path)[0]
            cells = {}
            for mode, options in MODES:
                result = subprocess.run([tool, "--convert", *options, path], env=env,
                                        capture_output=True, text=True)
                if result.returncode != 0:
                    print(f"{os.path.basename(path)}: {result.stdout}{result.stderr}", file=sys.stderr)
                    break
                cells[mode] = read_pic(stem + ".89i")
            if len(cells) != len(MODES):
                continue
            size = (cells["auto"].shape[1], cells["auto"].shape[0])
            linear, luma = source_at(path, size)
            with Image.open(path) as image:
                small = image.convert("RGB").resize(size, Image.BOX)
                cells["pillow"] = np.asarray(small.convert("1"), dtype=np.float64)
                small.save(stem + "-small.png")
            if magick:
                subprocess.run([magick, stem + "-small.png", "-monochrome", stem + "-im.png"], check=True)
                cells["imagemagick"] = np.asarray(Image.open(stem + "-im.png").convert("1"), dtype=np.float64)
            else:
                cells["imagemagick"] = np.ones_like(cells["pillow"])
            cells["source"] = luma
            rows.append(cells)
            means.append(float(luma.mean()))
            for column in COLUMNS[1:]:
                errors[column].append(seen_errors(cells[column], linear, luma))
                shares[column].append(float(cells[column].mean()))
            print(f"  {os.path.basename(path):28} lightness {means[-1]:4.0%}; white: "
                  + ", ".join(f"{c} {shares[c][-1]:.0%}" for c in ("auto", "pillow", "imagemagick")))
            if what == "--photos" and abs(shares["auto"][-1] - means[-1]) > 0.08:
                failures.append(f"{os.path.basename(path)}: white {shares['auto'][-1]:.0%}, "
                                f"source {means[-1]:.0%}")

        width = sum(max(r[c].shape[1] for r in rows) for c in COLUMNS) * ZOOM + 4 * len(COLUMNS)
        height = sum(r["source"].shape[0] * ZOOM + 4 for r in rows) + 16
        sheet = Image.new("L", (width, height), 128)
        draw = ImageDraw.Draw(sheet)
        column_width = {c: max(r[c].shape[1] for r in rows) * ZOOM + 4 for c in COLUMNS}
        x = 0
        for c in COLUMNS:
            draw.text((x + 2, 2), c, fill=255)
            x += column_width[c]
        y = 16
        for r in rows:
            x = 0
            for c in COLUMNS:
                pixels = Image.fromarray((np.clip(r[c], 0, 1) * 255).astype(np.uint8), "L")
                sheet.paste(pixels.resize((pixels.width * ZOOM, pixels.height * ZOOM), Image.NEAREST),
                            (x, y))
                x += column_width[c]
            y += r["source"].shape[0] * ZOOM + 4
        sheet.save(out)

        print(f"{len(rows)} pictures; sheet {out}")
        print(f"  {'':12} {'blur error: L*':>15} {'display':>8} {'white share - source lightness':>31}")
        for c in COLUMNS[1:]:
            gap = np.mean(np.abs(np.array(shares[c]) - np.array(means)))
            worst = np.max(np.abs(np.array(shares[c]) - np.array(means)))
            lstar, display = np.mean(errors[c], axis=0)
            print(f"  {c:12} {lstar:15.2f} {display:8.2f} {gap:20.1%} mean {worst:6.1%} worst")
        if failures:
            sys.exit("the default strays more than 8 points from the source's lightness: "
                     + "; ".join(failures))


if __name__ == "__main__":
    main()
