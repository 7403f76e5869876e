#!/usr/bin/env python3
"""Draws the program's icon (a processor chip with an "i") into res/KCCSystemInfo.ico: 16, 20, 24, 32, 40, 48
and 64 pixels (100% to 200% of the small and large icon sizes), 32-bit with alpha, which XP shows as well."""
import struct, sys

def pixel(x, y, n):
    s = n / 32.0
    u, v = x / s, y / s                      # drawing coordinates on a 32 x 32 grid
    if 8 <= u < 24 and 8 <= v < 24:          # chip body with a light "i"
        if (15 <= u < 17.5 and 11 <= v < 13.5) or (15 <= u < 17.5 and 15 <= v < 21.5):
            return (255, 255, 255, 255)
        return (0x1f, 0x4e, 0x9c, 255) if 9 <= u < 23 and 9 <= v < 23 else (0x10, 0x2a, 0x5c, 255)
    pins = (10, 14, 18, 22)
    for p in pins:                           # pins on all four sides
        if p <= u < p + 1.6 and (4 <= v < 8 or 24 <= v < 28):
            return (0xb0, 0xb0, 0xb8, 255)
        if p <= v < p + 1.6 and (4 <= u < 8 or 24 <= u < 28):
            return (0xb0, 0xb0, 0xb8, 255)
    return (0, 0, 0, 0)

SAMPLES = 4                                   # per axis: edges are smoothed at every size

def smooth(x, y, n):
    """The pixel's colour averaged over SAMPLES x SAMPLES points, alpha-weighted."""
    r = g = b = a = 0
    for i in range(SAMPLES):
        for j in range(SAMPLES):
            pr, pg, pb, pa = pixel(x + (i + 0.5) / SAMPLES, y + (j + 0.5) / SAMPLES, n)
            r, g, b, a = r + pr * pa, g + pg * pa, b + pb * pa, a + pa
    if a == 0:
        return (0, 0, 0, 0)
    return (round(r / a), round(g / a), round(b / a), round(a / SAMPLES ** 2))

def image(n):
    rows = []
    for y in range(n - 1, -1, -1):           # bottom-up DIB
        for x in range(n):
            r, g, b, a = smooth(x, y, n)
            rows.append(struct.pack('BBBB', b, g, r, a))
    xor = b''.join(rows)
    mask_row = ((n + 31) // 32) * 4
    and_mask = bytearray(mask_row * n)
    for y in range(n):
        for x in range(n):
            if smooth(x, n - 1 - y, n)[3] == 0:
                and_mask[y * mask_row + x // 8] |= 0x80 >> (x % 8)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + bytes(and_mask)

sizes = (16, 20, 24, 32, 40, 48, 64)
images = [image(n) for n in sizes]
out = struct.pack('<HHH', 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, data in zip(sizes, images):
    out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b''.join(images)
open(sys.argv[1] if len(sys.argv) > 1 else 'res/KCCSystemInfo.ico', 'wb').write(out)
