#!/usr/bin/env python3
"""Makes the two maker-note fixtures of this folder: small JPEG photos whose Exif block holds a Canon
and an Olympus maker note, laid out as those cameras lay them out (a Canon note is a bare directory
whose offsets count from the TIFF header; an older Olympus note starts with its own "OLYMP" header
and counts from the TIFF header as well). The picture is ImageMagick's 64x48 gradient; the tag values are made up
here. No outside material. Usage: make-makernotes.py OUTDIR"""
import os
import struct
import subprocess
import sys

ASCII, SHORT, LONG, RATIONAL, UNDEFINED = 2, 3, 4, 5, 7
SIZES = {ASCII: 1, SHORT: 2, LONG: 4, RATIONAL: 8, UNDEFINED: 1}


def pack_value(kind, value):
    if kind == ASCII:
        return value.encode('ascii') + b'\0'
    if kind == UNDEFINED:
        return value
    if kind == RATIONAL:
        return b''.join(struct.pack('<II', n, d) for n, d in value)
    return b''.join(struct.pack('<H' if kind == SHORT else '<I', v) for v in value)


def ifd(entries, start, base):
    """A little-endian IFD placed at offset start (counted from base), with its out-of-line values
    after it. Returns the bytes; entry values that are callables get the IFD's own data offset."""
    entries = sorted(entries)
    head = 2 + 12 * len(entries) + 4
    table = struct.pack('<H', len(entries))
    data = b''
    for tag, kind, value in entries:
        raw = pack_value(kind, value)
        count = len(raw) // SIZES[kind]
        if len(raw) <= 4:
            field = raw.ljust(4, b'\0')
        else:
            field = struct.pack('<I', start + head + len(data) - base)
            data += raw + (b'\0' if len(raw) % 2 else b'')
        table += struct.pack('<HHI', tag, kind, count) + field
    return table + b'\0\0\0\0' + data


def exif_block(make, model, maker_note_at):
    """The TIFF structure: IFD0 (Make, Model, Exif pointer) at 8, the Exif IFD after it, the maker
    note made by maker_note_at(offset of the note in the block) last."""
    ifd0_entries = [(0x010F, ASCII, make), (0x0110, ASCII, model), (0x8769, LONG, [0])]
    ifd0_size = len(ifd(ifd0_entries, 8, 0))
    exif_at = 8 + ifd0_size
    ifd0 = ifd([(0x010F, ASCII, make), (0x0110, ASCII, model), (0x8769, LONG, [exif_at])], 8, 0)

    def exif_ifd(note):
        return ifd([(0x9000, UNDEFINED, b'0220'), (0x920A, RATIONAL, [(2140, 100)]), (0xA002, LONG, [64]),
                    (0xA003, LONG, [48]), (0x927C, UNDEFINED, note)], exif_at, 0)

    # The note's own place follows from the Exif IFD's size, which does not depend on its content.
    note_at = exif_at + len(exif_ifd(b'x' * 8)) - 8
    note = maker_note_at(note_at)
    return b'II*\0' + struct.pack('<I', 8) + ifd0 + exif_ifd(note)


def canon_note(at):
    settings = [92, 2, 0, 4, 0, 0, 0, 3, 0, 65535, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0]
    return ifd([(0x0001, SHORT, settings), (0x0002, SHORT, [0, 21, 0, 0]),
                (0x0006, ASCII, 'IMG:PowerShot S40 JPEG'), (0x0007, ASCII, 'Firmware Version 1.10'),
                (0x0008, LONG, [1001234]), (0x0009, ASCII, 'KARVO test'), (0x000C, LONG, [560123456]),
                (0x0010, LONG, [0x01040000])], at, 0)


def olympus_note(at):
    # The older cameras' layout: "OLYMP" header, offsets counted from the TIFF header.
    header = b'OLYMP\0\x01\0'
    body = ifd([(0x0200, LONG, [0, 0, 0]), (0x0201, SHORT, [2]), (0x0202, SHORT, [0]),
                (0x0204, RATIONAL, [(100, 100)]), (0x0207, ASCII, 'D4322'),
                (0x0209, UNDEFINED, b'OLYMPUS DIGITAL CAMERA'.ljust(32, b' '))], at + len(header), 0)
    return header + body


def jpeg_with_exif(base, block):
    app1 = b'Exif\0\0' + block
    segment = b'\xff\xe1' + struct.pack('>H', len(app1) + 2) + app1
    return base[:2] + segment + base[2:]


def main(out):
    base = subprocess.run(['/usr/bin/convert', '-size', '64x48', 'gradient:#3060a0-#f0c040', '-strip', '-quality', '90',
                           'jpg:-'], check=True, capture_output=True).stdout
    files = {
        'canon-makernote.jpg': exif_block('Canon', 'Canon PowerShot S40', canon_note),
        'olympus-makernote.jpg': exif_block('OLYMPUS OPTICAL CO.,LTD', 'C2500L', olympus_note),
    }
    for name, block in files.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(jpeg_with_exif(base, block))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)))
