#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Peak memory of `pictrane-capture --convert` on 1 GiB inputs: small pictures followed by 1 GiB
# of trailing bytes (BMP, PNG, JPEG), a bitmap whose header says 18000 x 18000 pixels and whose
# file holds them all, an RLE bitmap whose 1 GiB of runs never reach the end mark, and a phone
# photo of 12 megapixels (4000 x 3000 JPEG at quality 90, scikit-image's astronaut enlarged with
# sensor noise). Each converts or is refused; the figure is the process's maximum resident set
# size. Given several builds' folders (old and new, say), each input runs with each in turn.
#   bench/capture-big-input.sh [build/linux/bin ...]
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
bins=()
for each in "${@:-build/linux/bin}"; do bins+=("$(realpath "$each")"); done

work=$(mktemp -d /tmp/pictrane-big-input-XXXXXX)
trap 'rm -rf "$work"' EXIT
gib=$((1024 * 1024 * 1024))

"${PYTHON:-/usr/bin/python3}" - "$work" "$root" <<'EOF'
import struct, sys, zlib
work, root = sys.argv[1], sys.argv[2]
gib = 1 << 30

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

rows = b"".join(b"\0" + bytes((x + y) % 256 for x in range(640 * 3)) for y in range(480))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 640, 480, 8, 2, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
sources = {"padded.png": png,
           "padded.bmp": open(f"{root}/samples/landscape.bmp", "rb").read(),
           "padded.jpg": open(f"{root}/docs/pictures-source.jpg", "rb").read()}
for name, data in sources.items():
    with open(f"{work}/{name}", "wb") as f:
        f.write(data)
        f.truncate(gib)  # sparse: the trailing bytes cost no disk

def bitmap(name, width, height, bits, compression, pixels_size, palette=b""):
    offset = 14 + 40 + len(palette)
    f = open(f"{work}/{name}", "wb")
    f.write(b"BM" + struct.pack("<IHHI", offset + pixels_size, 0, 0, offset))
    f.write(struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression,
                        pixels_size if compression else 0, 2835, 2835, 0, 0))
    f.write(palette)
    return f

row = (18000 * 3 + 3) // 4 * 4
with bitmap("huge.bmp", 18000, 18000, 24, 0, row * 18000) as f:
    f.truncate(14 + 40 + row * 18000)
# Runs that jump nowhere (delta 0,0) all the way: the check walks the whole file.
with bitmap("runs.bmp", 4000, 3000, 8, 1, gib, bytes(4 * 256)) as f:
    block = b"\0\2\0\0" * (1 << 18)
    for _ in range(gib // len(block)):
        f.write(block)

import numpy as np
from PIL import Image
from skimage import data
photo = np.asarray(Image.fromarray(data.astronaut()).resize((4000, 3000), Image.BICUBIC), np.float32)
photo += np.random.default_rng(1).normal(0, 6, photo.shape).astype(np.float32)
Image.fromarray(np.clip(photo, 0, 255).astype(np.uint8)).save(f"{work}/photo12mp.jpg", quality=90)
EOF

printf '%-14s %-6s %6s %12s  %s\n' input build status "max RSS MiB" "its line"
for input in padded.bmp padded.png padded.jpg huge.bmp runs.bmp photo12mp.jpg; do
  for index in "${!bins[@]}"; do
    set +e
    /usr/bin/time -v -o "$work/time" "${bins[$index]}/pictrane-capture" --convert "$work/$input" \
      >"$work/out" 2>/dev/null
    status=$?
    set -e
    rss=$(awk -F: '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$work/time")
    line=$(head -c 150 "$work/out" | sed "s|$work/||g")
    printf '%-14s %-6s %6s %12s  %s\n' "$input" "$((index + 1))" "$status" "$rss" "$line"
    rm -f "$work"/*.89i
  done
done
