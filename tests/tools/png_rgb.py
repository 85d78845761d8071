#!/usr/bin/env python3
"""Independent PNG decoder for the tests. For each FILE argument, writes
OUTDIR/N.rgb (N counting from 0): WIDTH HEIGHT on the first line, then the
picture as 8-bit R,G,B bytes, top row first; a file it cannot read gets no
output. Samples of 16
bits keep their high byte, gray of 1, 2 or 4 bits is scaled to 0..255, the
palette is looked up, and alpha and tRNS are ignored. Usage: png_rgb.py OUTDIR FILE..."""
import struct
import sys
import zlib

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4),
         (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(data, pos, width, height, bpp, rowbytes):
    rows = []
    prev = bytearray(rowbytes)
    for _ in range(height):
        ftype = data[pos]
        row = bytearray(data[pos + 1:pos + 1 + rowbytes])
        pos += 1 + rowbytes
        for i in range(rowbytes):
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                row[i] = (row[i] + a) & 255
            elif ftype == 2:
                row[i] = (row[i] + b) & 255
            elif ftype == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 255
            elif ftype == 4:
                row[i] = (row[i] + paeth(a, b, c)) & 255
            elif ftype != 0:
                raise ValueError("bad filter")
        rows.append(row)
        prev = row
    return rows, pos


def samples(row, width, depth, channels):
    if depth == 8:
        return list(row[:width * channels])
    if depth == 16:
        return [row[2 * i] for i in range(width * channels)]
    out = []
    per_byte = 8 // depth
    mask = (1 << depth) - 1
    for i in range(width * channels):
        byte = row[i // per_byte]
        shift = 8 - depth * (i % per_byte + 1)
        out.append((byte >> shift) & mask)
    return out


def decode(path):
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError("not a PNG")
    pos, idat, palette, ihdr = 8, b'', None, None
    while pos + 8 <= len(data):
        length, ctype = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if ctype == b'IHDR':
            ihdr = struct.unpack('>IIBBBBB', body)
        elif ctype == b'PLTE':
            palette = body
        elif ctype == b'IDAT':
            idat += body
        elif ctype == b'IEND':
            break
        pos += 12 + length
    width, height, depth, ctype, _, _, interlace = ihdr
    channels = CHANNELS[ctype]
    # Some suite files end their stream early; what is there is decoded.
    raw = zlib.decompressobj().decompress(idat)
    bits = depth * channels
    bpp = max(1, bits // 8)
    picture = [[None] * width for _ in range(height)]
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    pos = 0
    for x0, y0, dx, dy in passes:
        pw = (width - x0 + dx - 1) // dx if width > x0 else 0
        ph = (height - y0 + dy - 1) // dy if height > y0 else 0
        if pw == 0 or ph == 0:
            continue
        rows, pos = unfilter(raw, pos, pw, ph, bpp, (pw * bits + 7) // 8)
        for j, row in enumerate(rows):
            s = samples(row, pw, depth, channels)
            for i in range(pw):
                px = s[i * channels:(i + 1) * channels]
                if ctype == 3:
                    rgb = tuple(palette[3 * px[0]:3 * px[0] + 3])
                else:
                    if depth < 8:
                        px = [v * 255 // ((1 << depth) - 1) for v in px]
                    rgb = (px[0],) * 3 if ctype in (0, 4) else tuple(px[:3])
                picture[y0 + j * dy][x0 + i * dx] = rgb
    return b'%d %d\n' % (width, height) + bytes(v for row in picture for px in row for v in px)


if __name__ == '__main__':
    for n, path in enumerate(sys.argv[2:]):
        try:
            result = decode(path)
        except Exception:
            continue
        with open('%s/%d.rgb' % (sys.argv[1], n), 'wb') as out:
            out.write(result)
