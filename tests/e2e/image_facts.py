"""Sizes and resolutions read from the files the program wrote, by their own headers."""

import struct


def jpeg_size(path):
    """Width and height from a JPEG's frame header, or None when the file is no JPEG (yet)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            return None
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        if marker in (0xC0, 0xC1, 0xC2):
            height, width = struct.unpack(">HH", data[i + 5:i + 9])
            return width, height
        i += 2 + length
    return None


def tiff_facts(path):
    """Width, height and horizontal resolution (dots per inch) from a TIFF's first directory."""
    with open(path, "rb") as f:
        data = f.read()
    order = {b"II": "<", b"MM": ">"}[data[:2]]
    (offset,) = struct.unpack(order + "I", data[4:8])
    (count,) = struct.unpack(order + "H", data[offset:offset + 2])
    tags = {}
    for i in range(count):
        entry = data[offset + 2 + 12 * i:offset + 14 + 12 * i]
        tag, kind, _, value = struct.unpack(order + "HHI4s", entry)
        if kind == 3:
            tags[tag] = struct.unpack(order + "H", value[:2])[0]
        elif kind == 4:
            tags[tag] = struct.unpack(order + "I", value)[0]
        elif kind == 5:
            (at,) = struct.unpack(order + "I", value)
            num, den = struct.unpack(order + "II", data[at:at + 8])
            tags[tag] = num / den
    unit = tags.get(296, 2)  # 2 inches, 3 centimetres
    dpi = tags[282] * (2.54 if unit == 3 else 1.0)
    return tags[256], tags[257], dpi
