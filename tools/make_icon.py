#!/usr/bin/env python3
"""Draws vardeen.ico: a blue shield with a white check, 16, 32 and 48 pixels, 32-bit colour
with an alpha channel and a mask (Windows 98 and NT 4.0 use the mask). Run it to redraw."""
import struct, sys

def shield(size):
    px = []
    s = size / 32.0
    def inside(x, y):
        # Upper part a rectangle with slanted sides, lower part narrowing to a point.
        u, v = x / s, y / s
        if v < 2 or v > 30: return False
        if v <= 18:
            half = 12 - (v - 2) * 0.1
        else:
            half = (30 - v) * (10.4 / 12)
        return abs(u - 16) <= half
    def check(x, y):
        u, v = x / s, y / s
        d1 = abs((v - 17) - (u - 10)) / 1.414 if 10 <= u <= 14.5 else 99
        d2 = abs((v - 21.5) + (u - 14.5) * (11 / 9.0)) / 1.6 if 14.5 <= u <= 23.5 else 99
        return min(d1, d2) < 1.9
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = x + 0.5, y + 0.5
            if not inside(cx, cy):
                row.append(None)
            elif check(cx, cy):
                row.append((255, 255, 255))
            else:
                edge = not (inside(cx - s, cy) and inside(cx + s, cy) and inside(cx, cy - s) and inside(cx, cy + s))
                row.append((22, 70, 140) if edge else (38, 110, 190))
        px.append(row)
    return px

def image(size):
    px = shield(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''
    for row in reversed(px):
        for p in row:
            colour += struct.pack('<BBBB', 0, 0, 0, 0) if p is None else struct.pack('<BBBB', p[2], p[1], p[0], 255)
    stride = ((size + 31) // 32) * 4
    mask = b''
    for row in reversed(px):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p is None: bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask

sizes = [16, 32, 48]
images = [image(n) for n in sizes]
out = struct.pack('<HHH', 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, data in zip(sizes, images):
    out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
    offset += len(data)
out += b''.join(images)
open(sys.argv[1] if len(sys.argv) > 1 else 'vardeen.ico', 'wb').write(out)
