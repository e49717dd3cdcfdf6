#!/usr/bin/env python3
"""Writes the images that the shipped post effects sample, so that they are ours and can be made
again: data/Images/Parchment/grain.png, a 256 by 256 grey parchment grain that tiles seamlessly
(fibres along x over blotches of several sizes). Deterministic: the same bytes on every run.

usage: make-effect-images.py [DATA_FOLDER]
"""
import os
import random
import struct
import sys
import zlib

SIZE = 256


def periodic_noise(rng, cells_x, cells_y):
    """Smooth value noise over a lattice that wraps, sampled at every pixel."""
    lattice = [[rng.random() for _ in range(cells_x)] for _ in range(cells_y)]
    def at(x, y):
        fx = x * cells_x / SIZE
        fy = y * cells_y / SIZE
        ix, iy = int(fx), int(fy)
        tx, ty = fx - ix, fy - iy
        tx, ty = tx * tx * (3 - 2 * tx), ty * ty * (3 - 2 * ty)
        a = lattice[iy % cells_y][ix % cells_x]
        b = lattice[iy % cells_y][(ix + 1) % cells_x]
        c = lattice[(iy + 1) % cells_y][ix % cells_x]
        d = lattice[(iy + 1) % cells_y][(ix + 1) % cells_x]
        return (a * (1 - tx) + b * tx) * (1 - ty) + (c * (1 - tx) + d * tx) * ty
    return [[at(x, y) for x in range(SIZE)] for y in range(SIZE)]


def grain():
    rng = random.Random(1107)
    layers = [(periodic_noise(rng, 4, 4), 0.40), (periodic_noise(rng, 16, 16), 0.30),
              (periodic_noise(rng, 64, 8), 0.20), (periodic_noise(rng, 128, 128), 0.10)]
    rows = []
    for y in range(SIZE):
        row = bytearray()
        for x in range(SIZE):
            value = sum(layer[y][x] * weight for layer, weight in layers)
            value = 0.5 + (value - 0.5) * 1.8
            row.append(max(0, min(255, int(round(value * 255)))))
        rows.append(bytes(row))
    return rows


def png(rows):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 0, 0, 0, 0)  # 8-bit grey
    raw = b"".join(b"\x00" + row for row in rows)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    data = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "data")
    path = os.path.join(data, "Images", "Parchment", "grain.png")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as file:
        file.write(png(grain()))
    print(path)


if __name__ == "__main__":
    main()
