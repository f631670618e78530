# SPDX-License-Identifier: GPL-3.0-or-later
"""What the picture scripts share: reading a written picture back and the sources they compare
it with."""

import struct
import sys

import numpy as np
from PIL import Image
from skimage import data


def sample(name):
    """One of scikit-image's sample photos as RGB, or None (with a line) where it would need
    downloading."""
    try:
        return Image.fromarray(getattr(data, name)()).convert("RGB")
    except Exception as error:
        print(f"(skipping sample {name}: {error})", file=sys.stderr)
        return None


def read_pic(path):
    """The one-bit picture of a single-variable file: 1.0 for light, 0.0 for dark."""
    raw = open(path, "rb").read()
    offset = struct.unpack_from("<I", raw, 0x3C)[0] + 4
    _, height, width = struct.unpack_from(">HHH", raw, offset)
    row = (width + 7) // 8
    bits = np.unpackbits(np.frombuffer(raw, np.uint8, row * height, offset + 6).reshape(height, row),
                         axis=1)[:, :width]
    return 1.0 - bits.astype(np.float64)


def source_at(path, size):
    """The source shrunk by area averaging: its linear luminance and its Rec. 601 luma (0..1)."""
    rgb = np.asarray(Image.open(path).convert("RGB"), dtype=np.float64) / 255
    lin = np.where(rgb <= 0.04045, rgb / 12.92, ((rgb + 0.055) / 1.055) ** 2.4)
    shrink = lambda a: np.asarray(Image.fromarray(a.astype(np.float32), "F").resize(size, Image.BOX),
                                  dtype=np.float64)
    return shrink(lin @ np.array([0.2126, 0.7152, 0.0722])), shrink(rgb @ np.array([0.299, 0.587, 0.114]))
