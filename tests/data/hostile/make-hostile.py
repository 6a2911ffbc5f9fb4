#!/usr/bin/env python3
"""Makes the small hostile files of this folder: damaged pixel data that must make a resize fail,
and tiny files that claim pictures far larger than their bytes. Base pictures come from
ImageMagick's /usr/bin/convert and cjpeg; everything else is done here by hand.

    tests/data/hostile/make-hostile.py [OUTDIR]   # default: this folder
    tests/data/hostile/make-hostile.py --large DIR  # also the variants within the limit, for measuring

ImageMagick stamps dates into its files, so a new run makes files that differ in those bytes.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib


def run(*args):
    subprocess.run(args, check=True)


def base_picture(path, recipe, size='96x72'):
    run('/usr/bin/convert', '-size', size, 'plasma:fractal', '-seed', '7', *recipe, path)


def chunks(png):
    pos = 8
    while pos < len(png):
        length = struct.unpack('>I', png[pos:pos + 4])[0]
        yield png[pos + 4:pos + 8], png[pos + 8:pos + 8 + length], pos
        pos += 12 + length


def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_files(tmp, out):
    base = os.path.join(tmp, 'base.png')
    run('/usr/bin/convert', '-size', '200x150', 'gradient:red-blue', '-define', 'png:color-type=2', base)
    png = open(base, 'rb').read()
    head = bytearray(png[:8])
    idat = b''
    for kind, data, _ in chunks(png):
        if kind == b'IDAT':
            idat += data
        elif kind != b'IEND':
            head += chunk(kind, data)
    # Cut in the middle of the image data: no IEND, the last chunk ends early.
    cut = bytes(head) + chunk(b'IDAT', idat)
    open(os.path.join(out, 'png-cut-idat.png'), 'wb').write(cut[:len(head) + 8 + len(idat) // 2])
    # Image data whose deflate stream is damaged, under a correct checksum.
    bad = bytearray(idat)
    for i in range(len(bad) // 3, len(bad) // 3 + 16):
        bad[i] ^= 0xA5
    open(os.path.join(out, 'png-bad-idat.png'), 'wb').write(bytes(head) + chunk(b'IDAT', bytes(bad)) + chunk(b'IEND', b''))


def gif_files(tmp, out):
    base = os.path.join(tmp, 'base.gif')
    base_picture(base, [])
    gif = open(base, 'rb').read()
    open(os.path.join(out, 'gif-cut.gif'), 'wb').write(gif[:len(gif) // 2])
    # A screen of 32768 x 32768 around a frame of one pixel: 35 bytes.
    open(os.path.join(out, 'gif-huge-screen.gif'), 'wb').write(gif_screen(32768))


def gif_screen(side):
    return (b'GIF89a' + struct.pack('<HH', side, side) + bytes([0x80, 0, 0]) + bytes(6) +
            b',' + struct.pack('<HHHH', 0, 0, 1, 1) + bytes([0]) + bytes([2, 2, 0x44, 0x01, 0]) + b';')


def tiff_files(tmp, out):
    base = os.path.join(tmp, 'base.tif')
    base_picture(base, ['-compress', 'lzw', '-define', 'tiff:rows-per-strip=72'])
    tif = bytearray(open(base, 'rb').read())
    # The strip's offset from the StripOffsets entry (little-endian file, one strip).
    count = struct.unpack('<H', tif[struct.unpack('<I', tif[4:8])[0]:][:2])[0]
    ifd = struct.unpack('<I', tif[4:8])[0]
    offset = None
    for i in range(count):
        tag, kind, n, value = struct.unpack('<HHII', tif[ifd + 2 + 12 * i:ifd + 14 + 12 * i])
        if tag == 273:
            offset = value if kind == 4 else value & 0xFFFF
    assert offset is not None
    for i in range(offset + 40, offset + 200):
        tif[i] = (i * 37) & 0xFF
    open(os.path.join(out, 'tiff-bad-lzw.tif'), 'wb').write(bytes(tif))


def jpeg_segments(jpeg):
    """(marker, whole segment bytes) up to SOS; then the rest."""
    pos = 2
    out = []
    while True:
        marker = jpeg[pos + 1]
        length = struct.unpack('>H', jpeg[pos + 2:pos + 4])[0]
        out.append((marker, jpeg[pos:pos + 2 + length]))
        pos += 2 + length
        if marker == 0xDA:
            return out, pos


def scans(jpeg):
    """Every scan of a progressive file as (DHT segments before it, SOS segment, entropy data)."""
    pos = 2
    found = []
    tables = b''
    while pos < len(jpeg):
        marker = jpeg[pos + 1]
        if marker == 0xD9:
            break
        length = struct.unpack('>H', jpeg[pos + 2:pos + 4])[0]
        seg = jpeg[pos:pos + 2 + length]
        pos += 2 + length
        if marker == 0xC4:
            tables += seg
        elif marker == 0xDA:
            end = pos
            while not (jpeg[end] == 0xFF and jpeg[end + 1] not in (0x00,) and not (0xD0 <= jpeg[end + 1] <= 0xD7)):
                end += 1
            found.append((tables, seg, jpeg[pos:end]))
            tables = b''
            pos = end
    return found


def jpeg_files(tmp, out):
    ppm = os.path.join(tmp, 'base.ppm')
    base_picture(ppm, [], '32x24')
    prog = os.path.join(tmp, 'prog.jpg')
    run('cjpeg', '-progressive', '-outfile', prog, ppm)
    jpeg = open(prog, 'rb').read()
    found = scans(jpeg)
    first_sos = jpeg.index(found[0][1])
    head = jpeg[:first_sos - len(found[0][0])]
    # The last refinement scan again and again: libjpeg warns and goes on, so only the scan cap
    # stops the file.
    body = b''.join(t + s + d for t, s, d in found)
    last = found[-1][0] + found[-1][1] + found[-1][2]
    open(os.path.join(out, 'jpeg-scan-cap.jpg'), 'wb').write(head + body + last * 120 + b'\xff\xd9')
    # A progressive header of 32768 x 32768 with the first scan cut short: a few hundred bytes.
    open(os.path.join(out, 'jpeg-progressive-huge.jpg'), 'wb').write(progressive_header(tmp, 32768))


def progressive_header(tmp, side):
    small = os.path.join(tmp, 'small.jpg')
    run('/usr/bin/convert', '-size', '16x16', 'xc:gray', '-interlace', 'JPEG', '-sampling-factor', '1x1', small)
    data = bytearray(open(small, 'rb').read())
    sof = data.index(b'\xff\xc2')
    data[sof + 5:sof + 9] = struct.pack('>HH', side, side)
    sos = data.index(b'\xff\xda')
    length = struct.unpack('>H', data[sos + 2:sos + 4])[0]
    return bytes(data[:sos + 2 + length + 8])


def bmp_rle8(width, height, rle):
    palette = b''.join(struct.pack('<BBBB', i, i, i, 0) for i in range(256))
    offset = 14 + 40 + len(palette)
    return (struct.pack('<2sIHHI', b'BM', offset + len(rle), 0, 0, offset) +
            struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 1, len(rle), 2835, 2835, 256, 0) + palette + rle)


def tall_rle(height):
    """One pixel a row: a white pixel, then jumps of 255 rows up, then the end of the bitmap."""
    rle = bytearray([1, 255, 0, 0])
    rows = 1
    while rows + 255 < height and len(rle) < 1000:
        rle += bytes([0, 2, 0, 255])
        rows += 255
    return bytes(rle + bytes([0, 1]))


def bmp_files(out, large):
    open(os.path.join(out, 'bmp-tall-rle.bmp'), 'wb').write(bmp_rle8(1, 20_000_000, tall_rle(20_000_000)))
    open(os.path.join(out, 'bmp-tall-rle-gigapixel.bmp'), 'wb').write(bmp_rle8(1, 1 << 30, tall_rle(1 << 30)))
    if large:
        # Variants within the decode limit, for measuring: they decode, so only the budget and the
        # work they take bound them.
        open(os.path.join(out, 'bmp-tall-rle-1e8.bmp'), 'wb').write(bmp_rle8(1, 100_000_000, tall_rle(100_000_000)))
        open(os.path.join(out, 'gif-huge-screen-32000.gif'), 'wb').write(gif_screen(32000))


def main():
    args = sys.argv[1:]
    large = bool(args) and args[0] == '--large'
    if large:
        args = args[1:]
    out = args[0] if args else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        png_files(tmp, out)
        gif_files(tmp, out)
        tiff_files(tmp, out)
        jpeg_files(tmp, out)
        if large:
            open(os.path.join(out, 'jpeg-progressive-16384.jpg'), 'wb').write(progressive_header(tmp, 16384))
    bmp_files(out, large)


if __name__ == '__main__':
    main()
