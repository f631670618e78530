#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Contact sheets of the capture tool's one-bit pictures beside Pillow's and ImageMagick's
Floyd-Steinberg, with measures of what people see, per kind of picture.

    python3 bench/contact-sheet.py TOOL OUT.png [FOLDER | --photos | --drawings | --text]
    python3 bench/contact-sheet.py TOOL --docs DOCS

TOOL is pictrane-capture. FOLDER holds the pictures to compare (PNG, JPEG, BMP...); --photos
takes real photographs from Debian packages (scikit-image's and Matplotlib's sample data, none of
those the tool's methods were tuned on), --drawings draws anti-aliased diagrams with ImageMagick
(a graph with a grey grid, a right triangle, a class diagram, a logo with flat discs, a map),
--text renders small text with ImageMagick that ends 8 to 12 pixels high, at 1:1 and shrunk (the
default is --photos; --line-art is --drawings). With --docs, the three kinds go to
DOCS/contact-photos.png, contact-line-art.png and contact-text.png.

Each row of a sheet is one picture at 3x: the source in grey, the tool's default (auto), its
Floyd-Steinberg (display tone), Pillow's convert("1") and ImageMagick's -dither FloydSteinberg
-remap pattern:gray50 (its Floyd-Steinberg onto black and white, after -grayscale Rec601Luma),
all at the size the tool gives (fitted into 160 x 100, shrunk by area averaging).

Printed per kind and column: the PSNR (dB) and the SSIM (scikit-image's) between the blurred
one-bit picture and the source's grey image at the same size, blurred alike (a Gaussian of sigma
1.5 pixels: neighbouring pixels merge in the eye), higher is better; and how far the share of
white pixels lies from the source's mean lightness (Rec. 601 luma), lower is better. With
--photos it fails unless the default's white share is within 8 points of every photo's mean
lightness.

Needs Pillow, NumPy, scikit-image and ImageMagick (Debian: python3-pil, python3-skimage,
imagemagick).
"""
import os
import shutil
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw
from skimage.filters import gaussian
from skimage.metrics import peak_signal_noise_ratio, structural_similarity

from calcpics import read_pic, sample, source_at

SKIMAGE = "/usr/lib/python3/dist-packages/skimage/data"
PHOTO_FILES = ["/usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg",
               f"{SKIMAGE}/motorcycle_left.png", f"{SKIMAGE}/clock_motion.png"]
PHOTO_SAMPLES = ["retina", "cell", "cat"]
MODES = [("auto", []), ("fs display", ["--dither", "floyd-steinberg"])]
COLUMNS = ["source"] + [m for m, _ in MODES] + ["pillow fs", "imagemagick fs"]
ZOOM = 3
MAGICK = "/usr/bin/convert"
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
SERIF = "/usr/share/fonts/truetype/liberation/LiberationSerif-Regular.ttf"


def make_photos(folder):
    for path in PHOTO_FILES:
        if os.path.exists(path):
            shutil.copy(path, folder)
    for name in PHOTO_SAMPLES:
        image = sample(name)
        if image:
            image.save(os.path.join(folder, f"{name}.png"))


def magick(folder, name, size, *draw):
    """A picture drawn by ImageMagick on white, anti-aliased (its default)."""
    subprocess.run([MAGICK, "-size", size, "xc:white", *draw, "-depth", "8",
                    os.path.join(folder, name)], check=True)


def make_drawings(folder):
    graph = ["-fill", "none", "-stroke", "#c8c8c8", "-strokewidth", "1"]
    graph += [a for x in range(64, 1024, 64) for a in ("-draw", f"line {x},20 {x},748")]
    graph += [a for y in range(52, 768, 64) for a in ("-draw", f"line 20,{y} 1004,{y}")]
    graph += ["-stroke", "black", "-draw", "line 20,384 1004,384", "-draw", "line 512,20 512,748"]
    sine = " ".join(f"{x},{384 - 250 * np.sin((x - 512) / 110):.1f}" for x in range(20, 1005, 4))
    cosine = " ".join(f"{x},{384 - 250 * np.cos((x - 512) / 110):.1f}" for x in range(20, 1005, 4))
    graph += ["-stroke", "#1f4fd0", "-draw", f"polyline {sine}",
              "-stroke", "#d02020", "-draw", f"polyline {cosine}"]
    magick(folder, "graph.png", "1024x768", *graph)
    magick(folder, "triangle.png", "1600x1000", "-fill", "none", "-stroke", "black",
           "-strokewidth", "1.5", "-draw", "polygon 300,850 1300,850 300,150",
           "-draw", "rectangle 300,800 350,850", "-stroke", "none", "-fill", "black",
           "-font", SERIF, "-pointsize", "90", "-draw", "text 180,520 'a'",
           "-draw", "text 780,960 'b'", "-draw", "text 840,460 'c'")
    boxes = ["-font", FONT, "-strokewidth", "1"]
    for x, y, title in [(60, 60, "Picture"), (560, 60, "Converter"), (310, 440, "CalcFile")]:
        boxes += ["-fill", "#fff8d0", "-stroke", "#505050",
                  "-draw", f"rectangle {x},{y} {x + 380},{y + 240}",
                  "-draw", f"line {x},{y + 60} {x + 380},{y + 60}",
                  "-stroke", "none", "-fill", "black", "-pointsize", "34",
                  "-draw", f"text {x + 20},{y + 44} '{title}'", "-pointsize", "26",
                  "-draw", f"text {x + 20},{y + 110} '+ Width: int'",
                  "-draw", f"text {x + 20},{y + 150} '+ Height: int'",
                  "-draw", f"text {x + 20},{y + 190} '+ Save(path)'"]
    boxes += ["-fill", "none", "-stroke", "#303030", "-draw", "line 440,180 560,180",
              "-draw", "line 250,300 450,440", "-draw", "line 750,300 550,440"]
    magick(folder, "classes.png", "1000x750", *boxes)
    magick(folder, "logo.png", "1024x640", "-stroke", "none", "-fill", "#ff8c00",
           "-draw", "circle 300,320 300,90", "-fill", "#4080ff", "-draw", "circle 560,260 560,150",
           "-fill", "#a0a0a0", "-draw", "rectangle 640,380 980,440", "-fill", "black",
           "-font", FONT, "-pointsize", "80", "-draw", "text 620,330 'Orbit'")
    magick(folder, "map.png", "1200x800", "-stroke", "none", "-fill", "#a8d0f0",
           "-draw", "polygon 100,500 300,380 520,450 480,700 180,720",
           "-fill", "#b8e0a0", "-draw", "rectangle 700,100 1050,380",
           "-fill", "none", "-stroke", "#909090", "-strokewidth", "6",
           "-draw", "line 0,420 1200,300", "-draw", "line 620,0 660,800",
           "-stroke", "#e0a040", "-strokewidth", "3", "-draw", "line 0,120 1200,760",
           "-stroke", "none", "-fill", "black", "-font", FONT, "-pointsize", "40",
           "-draw", "text 200,560 'Lake'", "-draw", "text 800,250 'Park'")


def make_text(folder):
    lines = ["x = (-b + sqrt(b^2-4ac)) / 2a", "The quick brown fox jumps",
             "over 13 lazy dogs: 0.5 kg", "main/pic1 -> pic2 [OK]", "y = -2x + e^(3t)",
             "ISBN 978-3-16-148410-0"]
    for pixels, scale, font in [(8, 1, FONT), (10, 1, SERIF), (12, 1, FONT), (8, 6, SERIF),
                                (10, 6, FONT), (12, 5, SERIF)]:
        draw = ["-fill", "black", "-font", font, "-pointsize", str(pixels * scale)]
        step = pixels * scale * 1.35
        for row, text in enumerate(lines[:int(100 * scale / step)]):
            draw += ["-draw", f"text {2 * scale},{(row + 1) * step:.0f} '{text}'"]
        magick(folder, f"text{pixels:02d}px-{scale}x.png", f"{160 * scale}x{100 * scale}", *draw)


def seen(bits, luma):
    """PSNR and SSIM of the blurred picture against the blurred source, both 0..1."""
    a, b = gaussian(bits, 1.5), gaussian(luma, 1.5)
    return (float(peak_signal_noise_ratio(b, a, data_range=1.0)),
            float(structural_similarity(b, a, data_range=1.0)))


def convert_all(tool, sources, env):
    """Each picture's cells (one per column) and its mean lightness, as the sheet and the table
    need them."""
    rows = []
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
        _, luma = source_at(path, size)
        with Image.open(path) as image:
            small = image.convert("RGB").resize(size, Image.BOX)
            cells["pillow fs"] = np.asarray(small.convert("1"), dtype=np.float64)
            small.save(stem + "-small.png")
        # Floyd-Steinberg onto black and white themselves: -monochrome picks its two levels
        # from the picture and turns a dark photo all black.
        subprocess.run([MAGICK, stem + "-small.png", "-grayscale", "Rec601Luma", "-dither",
                        "FloydSteinberg", "-remap", "pattern:gray50", stem + "-im.png"], check=True)
        cells["imagemagick fs"] = np.asarray(Image.open(stem + "-im.png").convert("1"),
                                             dtype=np.float64)
        cells["source"] = luma
        rows.append((os.path.basename(path), cells))
    return rows


def save_sheet(rows, out):
    column_width = {c: max(r[c].shape[1] for _, r in rows) * ZOOM + 4 for c in COLUMNS}
    height = sum(r["source"].shape[0] * ZOOM + 4 for _, r in rows) + 16
    sheet = Image.new("L", (sum(column_width.values()), height), 128)
    draw = ImageDraw.Draw(sheet)
    x = 0
    for c in COLUMNS:
        draw.text((x + 2, 2), c, fill=255)
        x += column_width[c]
    y = 16
    for _, r in rows:
        x = 0
        for c in COLUMNS:
            # The source in 32 greys: enough to judge by, and the sheet stays small.
            values = np.round(np.clip(r[c], 0, 1) * 31) * (255 / 31)
            pixels = Image.fromarray(values.astype(np.uint8), "L")
            sheet.paste(pixels.resize((pixels.width * ZOOM, pixels.height * ZOOM), Image.NEAREST),
                        (x, y))
            x += column_width[c]
        y += r["source"].shape[0] * ZOOM + 4
    sheet.save(out, optimize=True)


def report(kind, rows):
    """The table of one kind; returns the photos whose default strays from their lightness."""
    print(f"{kind}: {len(rows)} pictures")
    for name, cells in rows:
        print(f"  {name:28} lightness {cells['source'].mean():4.0%}; white: "
              + ", ".join(f"{c} {cells[c].mean():.0%}" for c in COLUMNS[1:]))
    print(f"  {'':16} {'PSNR dB':>8} {'SSIM':>6} {'|white - lightness|':>20} {'worst':>6}")
    for c in COLUMNS[1:]:
        measures = np.array([seen(cells[c], cells["source"]) for _, cells in rows])
        gaps = np.array([abs(cells[c].mean() - cells["source"].mean()) for _, cells in rows])
        print(f"  {c:16} {measures[:, 0].mean():8.2f} {measures[:, 1].mean():6.3f} "
              f"{gaps.mean():20.1%} {gaps.max():6.1%}")
    if kind != "photos":
        return []
    return [f"{name}: white {cells['auto'].mean():.0%}, source {cells['source'].mean():.0%}"
            for name, cells in rows if abs(cells["auto"].mean() - cells["source"].mean()) > 0.08]


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    tool = os.path.abspath(sys.argv[1])
    if sys.argv[2] == "--docs":
        if len(sys.argv) != 4:
            sys.exit(__doc__)
        docs = os.path.abspath(sys.argv[3])
        jobs = [("photos", make_photos, f"{docs}/contact-photos.png"),
                ("drawings", make_drawings, f"{docs}/contact-line-art.png"),
                ("text", make_text, f"{docs}/contact-text.png")]
    else:
        what = sys.argv[3] if len(sys.argv) > 3 else "--photos"
        makers = {"--photos": ("photos", make_photos), "--drawings": ("drawings", make_drawings),
                  "--line-art": ("drawings", make_drawings), "--text": ("text", make_text)}
        kind, maker = makers.get(what, ("pictures", lambda folder: [
            shutil.copy(os.path.join(what, n), folder) for n in sorted(os.listdir(what))]))
        jobs = [(kind, maker, os.path.abspath(sys.argv[2]))]
    if not os.path.exists(MAGICK):
        sys.exit("ImageMagick's convert is needed (Debian: imagemagick)")
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    failures = []
    for kind, maker, out in jobs:
        with tempfile.TemporaryDirectory() as work:
            maker(work)
            rows = convert_all(tool, sorted(os.path.join(work, n) for n in os.listdir(work)), env)
            save_sheet(rows, out)
            print(f"sheet {out}")
            failures += report(kind, rows)
    if failures:
        sys.exit("the default strays more than 8 points from the source's lightness: "
                 + "; ".join(failures))


if __name__ == "__main__":
    main()
