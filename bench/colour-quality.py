#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""How close the TI-84 Plus CE's colour pictures come to the photo, ours beside the others.

    python3 bench/colour-quality.py build/linux/bin/ce_colour_dither [SHEETS_FOLDER]

For each picture (scikit-image's sample photographs and drawings this script makes: flat colour
areas with lines and text, and a sky's gradient) the driver writes the photo fitted into the
Pic's 265 x 165 pixels and our Pic of it (OKLab error diffusion to the calculator's 15 colours),
the nearest colour of each pixel without diffusion, and our 133 x 83 RGB565 Image. Pillow's
quantize(palette=...) with Floyd-Steinberg makes its Pic of the same fitted photo.

Measure, lower is better: the mean CIEDE2000 between the result and the source, both blurred
(Gaussian, sigma 1.5 pixels, in linear light, where neighbouring pixels' light adds up in the
eye) and then taken to CIELAB. Printed per picture and on average; the run fails unless ours is
at least as good as the best of the others on average over the photos and over the drawings.
The Image is measured the same way beside plain rounding to RGB565, and by the number of
distinct colours along the sky's gradient (banding shows as few wide steps).

With SHEETS_FOLDER, contact sheets at 3x go there: contact-ce-photos.png and
contact-ce-drawings.png (source, nearest, Pillow, ours), contact-ce-images.png (Image source,
rounded, ours).

Needs Pillow, NumPy and scikit-image (Debian: python3-pil, python3-skimage).
"""
import json
import os
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image, ImageDraw, ImageFont
from skimage.color import deltaE_ciede2000, rgb2lab
from skimage.filters import gaussian

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from calcpics import sample  # noqa: E402

PHOTOS = ["astronaut", "chelsea", "coffee", "rocket", "immunohistochemistry", "hubble_deep_field"]
# The calculator's colours as RGB565 (BLUE..DARKGRAY), widened as the tool widens them.
PALETTE_565 = [0x001F, 0xF800, 0x0000, 0xF81F, 0x04E0, 0xFC64, 0xB100, 0x000F, 0x049F, 0xFFE0,
               0xFFFF, 0xE71C, 0xC618, 0x8C51, 0x52AA]
ZOOM = 3


def widen(word):
    r, g, b = word >> 11, (word >> 5) & 63, word & 31
    return ((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2))


PALETTE = [widen(w) for w in PALETTE_565]


def drawing():
    image = Image.new("RGB", (800, 500), (250, 248, 240))
    draw = ImageDraw.Draw(image)
    draw.rectangle([40, 40, 300, 220], fill=(30, 90, 200), outline=(0, 0, 0), width=4)
    draw.ellipse([350, 60, 560, 270], fill=(230, 120, 30), outline=(60, 30, 10), width=5)
    draw.polygon([(600, 400), (760, 80), (780, 460)], fill=(40, 170, 80))
    for i in range(12):
        draw.line([(40 + 60 * i, 480), (400 + 30 * i, 300)], fill=(200, 20, 40), width=3)
    font = ImageFont.load_default()
    for row in range(6):
        draw.text((60, 260 + 30 * row), "f(x) = x^2 - 3x + %d  pastel: salmon, mint, sky" % row,
                  fill=(20, 20, 20), font=font)
    draw.rectangle([440, 300, 580, 460], fill=(250, 180, 190))  # a pastel: between the colours
    return image


def sky():
    height, width = 400, 640
    y = np.linspace(0, 1, height)[:, None, None]
    top, bottom = np.array([40, 90, 190]), np.array([190, 215, 240])
    rows = np.repeat(top + (bottom - top) * y, width, axis=1)
    return Image.fromarray(rows.astype(np.uint8), "RGB")


def linear(rgb):
    rgb = rgb / 255.0
    return np.where(rgb <= 0.04045, rgb / 12.92, ((rgb + 0.055) / 1.055) ** 2.4)


def blurred_lab(rgb):
    lin = gaussian(linear(np.asarray(rgb, dtype=np.float64)), sigma=1.5, channel_axis=-1)
    srgb = np.where(lin <= 0.0031308, 12.92 * lin, 1.055 * np.clip(lin, 0, 1) ** (1 / 2.4) - 0.055)
    return rgb2lab(np.clip(srgb, 0, 1))


def distance(result, source):
    return float(np.mean(deltaE_ciede2000(blurred_lab(source), blurred_lab(result))))


def pillow_fs(source):
    palette = Image.new("P", (1, 1))
    flat = [c for colour in PALETTE for c in colour]
    palette.putpalette(flat + flat[-3:] * (256 - len(PALETTE)))
    return np.asarray(source.quantize(palette=palette, dither=Image.Dither.FLOYDSTEINBERG)
                      .convert("RGB"))


def rounded_565(source):
    rgb = np.asarray(source, dtype=np.int64)
    r = np.rint(rgb[..., 0] * 31 / 255).astype(int)
    g = np.rint(rgb[..., 1] * 63 / 255).astype(int)
    b = np.rint(rgb[..., 2] * 31 / 255).astype(int)
    return np.stack([(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)], -1)


def sheet(rows, path):
    widths = [sum(a.shape[1] for a in row) * ZOOM + 8 * (len(row) - 1) for row in rows]
    height = sum(row[0].shape[0] * ZOOM + 8 for row in rows)
    out = Image.new("RGB", (max(widths), height), (128, 128, 128))
    y = 0
    for row in rows:
        x = 0
        for array in row:
            big = Image.fromarray(np.asarray(array, dtype=np.uint8)).resize(
                (array.shape[1] * ZOOM, array.shape[0] * ZOOM), Image.NEAREST)
            out.paste(big, (x, y))
            x += big.width + 8
        y += row[0].shape[0] * ZOOM + 8
    out.save(path, optimize=True)


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    driver, sheets = sys.argv[1], (sys.argv[2] if len(sys.argv) == 3 else None)
    pictures = [(name, sample(name), "photo") for name in PHOTOS]
    pictures += [("drawing", drawing(), "drawing"), ("sky", sky(), "drawing")]
    scores = {"photo": [], "drawing": []}
    rows = {"photo": [], "drawing": [], "image": []}
    times = []
    print(f"{'picture':22} {'nearest':>8} {'pillow':>8} {'ours':>8} | image: {'rounded':>8} "
          f"{'ours':>8} {'colours':>8}")
    with tempfile.TemporaryDirectory() as work:
        for name, picture, kind in pictures:
            if picture is None:
                continue
            folder = os.path.join(work, name)
            os.mkdir(folder)
            picture.save(os.path.join(folder, "in.png"))
            run = subprocess.run([driver, os.path.join(folder, "in.png"), folder], check=True,
                                 capture_output=True, text=True)
            times.append(json.loads(run.stdout))
            load = lambda f: np.asarray(Image.open(os.path.join(folder, f)).convert("RGB"))
            source, ours, nearest = load("pic-source.png"), load("pic-ours.png"), load("pic-nearest.png")
            pillow = pillow_fs(Image.fromarray(source))
            score = [distance(nearest, source), distance(pillow, source), distance(ours, source)]
            image_source, image_ours = load("image-source.png"), load("image-ours.png")
            rounded = rounded_565(image_source)
            column = lambda a: len({tuple(p) for p in a[:, a.shape[1] // 2]})
            image_score = [distance(rounded, image_source), distance(image_ours, image_source)]
            print(f"{name:22} {score[0]:8.2f} {score[1]:8.2f} {score[2]:8.2f} | "
                  f"{image_score[0]:15.2f} {image_score[1]:8.2f} "
                  f"{column(rounded):>3}->{column(image_ours):<4}")
            scores[kind].append(score)
            rows[kind].append([source, nearest, pillow, ours])
            rows["image"].append([image_source, rounded, image_ours])
    failed = False
    for kind, each in scores.items():
        mean = np.mean(each, axis=0)
        print(f"mean of the {kind}s: nearest {mean[0]:.2f}, Pillow FS {mean[1]:.2f}, ours {mean[2]:.2f}")
        if mean[2] > min(mean[0], mean[1]):
            print(f"FAIL: ours is not the best on the {kind}s")
            failed = True
    print(f"time per picture: Pic dither and encode {np.mean([t['pic_ms'] for t in times]):.1f} ms, "
          f"Image {np.mean([t['image_ms'] for t in times]):.1f} ms")
    if sheets:
        sheet(rows["photo"][:3], os.path.join(sheets, "contact-ce-photos.png"))
        sheet(rows["drawing"], os.path.join(sheets, "contact-ce-drawings.png"))
        sheet(rows["image"][:4] + rows["image"][-2:], os.path.join(sheets, "contact-ce-images.png"))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
