#!/usr/bin/env python3
"""Writes the seed level files of the level fuzz target into tools/fuzz/corpus/level/.

Each seed is a valid level file (a plain byte blob: magic, payload count, eight zero bytes, then the
level record), so the fuzzer starts from files the game reads all the way through. Most are small;
a few hold hundreds of thousands of records or edges millions of units long, near the limits of
what a level may cost, so that mutations start from the files that are dearest to read, start and
draw (they are repetitive and take little room in git)."""
import math
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "level")

PLAIN, JAGGED, ATTRACTOR, REPULSOR, BOUNCER, PASSABLE = 0, 3, 4, 5, 7, 8


def blob(payload):
    return struct.pack("<II8x", 0x356FBE98, len(payload)) + payload


def level(start=(0.0, 0.0), shapes=(), trinkets=(), waypoints=(), signposts=(), tail=b""):
    out = struct.pack("<Ifff", 4, start[0], start[1], 0.0)
    for shape in shapes:
        out += shape
    for x, y in trinkets:
        out += struct.pack("<Iff", 5, x, y)
    for a, b, r in waypoints:
        out += struct.pack("<Iffffff", 7, *a, *b, *r)
    for position, text in signposts:
        x, y = position
        data = text.encode()
        out += struct.pack("<IffffffII", 8, x, y, x - 1.5, y - 1.0, x + 1.5, y - 2.0, 0, len(data)) + data
    return out + tail


def point(position, handle_a, handle_b, spline, surface, corner):
    return struct.pack("<IffffffBIB", 2, *position, *handle_a, *handle_b, spline, surface, corner)


def straight(corners, surfaces=None):
    """A ring of straight corner edges, counter-clockwise, handles a quarter along each edge."""
    out = struct.pack("<I", 3)
    n = len(corners)
    for i, (x, y) in enumerate(corners):
        px, py = corners[i - 1]
        nx, ny = corners[(i + 1) % n]
        surface = surfaces[i] if surfaces else PLAIN
        out += point((x, y), (x + (px - x) / 4, y + (py - y) / 4), (x + (nx - x) / 4, y + (ny - y) / 4), 0, surface, 1)
    return out


def ring(count, radius, centre=(0.0, 0.0), surfaces=None):
    """Smooth spline points on a circle, handles along the tangents."""
    out = struct.pack("<I", 3)
    step = 2 * math.pi / count
    reach = radius * 4 / 3 * math.tan(step / 4)
    for i in range(count):
        angle = step * i
        x, y = centre[0] + radius * math.cos(angle), centre[1] + radius * math.sin(angle)
        tx, ty = -math.sin(angle), math.cos(angle)
        surface = surfaces[i % len(surfaces)] if surfaces else PLAIN
        out += point((x, y), (x - reach * tx, y - reach * ty), (x + reach * tx, y + reach * ty), 1, surface, 0)
    return out


def triangle(x, y, size):
    return straight([(x, y), (x + size, y), (x, y + size)])


SEEDS = {
    "empty.lrl": level(start=(1.0, 2.0)),
    "room.lrl": level(
        start=(0.0, 1.0),
        shapes=[straight([(-5, -1), (5, -1), (5, 0), (-5, 0)]), straight([(-8, -3), (8, -3), (8, 6), (-8, 6)][::-1])],
        trinkets=[(1.0, 0.5), (-2.0, 0.5)],
        waypoints=[((2, 0), (2, 1.3), (2.3, 0.5)), ((-3, 0), (-3, 1), (-3.3, 0.5))],
        signposts=[((0, 3), "Hello"), ((2, 3), "")],
    ),
    "magnets.lrl": level(
        start=(0.0, 4.0),
        shapes=[ring(6, 2.0, surfaces=[ATTRACTOR, PLAIN, REPULSOR]), straight([(4, 0), (5, 0), (5, 1)], [REPULSOR] * 3)],
    ),
    "surfaces.lrl": level(
        start=(0.0, 3.0),
        shapes=[straight([(-3, 0), (3, 0), (3, 1), (0, 1.5), (-3, 1)], [JAGGED, PASSABLE, BOUNCER, 1, 2])],
        signposts=[((0, 5), "Mind the teeth")],
    ),
    "out-of-order.lrl": level(
        trinkets=[(0.0, 1.0)],
        tail=straight([(0, 0), (1, 0), (0, 1)]) + struct.pack("<Iff", 5, 2.0, 2.0),
    ),
    # Many records: shapes without points, small shapes, signposts, objects stacked on one spot,
    # and more trinkets than a level may hold.
    "empty-shapes.lrl": level(shapes=[struct.pack("<I", 3)] * 30000),
    "many-signposts.lrl": level(signposts=[((i % 200 * 2.0, i // 200 * 2.0), "Sign %d" % i) for i in range(20000)]),
    "too-many-trinkets.lrl": level(trinkets=[(i % 300 * 1.0, i // 300 * 1.0) for i in range(80000)]),
    "small-triangles.lrl": level(shapes=[triangle(i % 100 * 3.0, i // 100 * 3.0, 0.02) for i in range(3000)]),
    "stacked-trinkets.lrl": level(trinkets=[(1.0, 1.0)] * 10000, waypoints=[((3, 0), (3, 1), (3.3, 0.5))]),
    "stacked-squares.lrl": level(shapes=[straight([(-1, -1), (1, -1), (1, 1), (-1, 1)])] * 600),
    # Few records, each dear: edges at the sampling cap, accelerators longer than a float counts
    # in steps of 0.2, a ring of magnets and a magnet too long for any field.
    "long-edges.lrl": level(
        start=(0.0, 1.0),
        shapes=[
            straight([(-700000, 0), (700000, 0), (700000, 1), (-700000, 1)], [1, 2, 3, 7]),
            # One point whose curved edge runs to the far corner of the world and back to it.
            struct.pack("<I", 3) + point((1e6, 1e6), (-1e6, -1e6), (-1e6, -1e6), 1, 2, 1),
        ],
        waypoints=[((-999000, 0), (999000, 0), (0, 1))],
    ),
    # A text of almost as many bytes as the fuzzer's inputs hold, across the play screen's view
    # from far to its left, and one stacked many times on the start.
    "long-signpost.lrl": level(
        start=(0.0, 1.0),
        shapes=[straight([(-5, -1), (5, -1), (5, 0), (-5, 0)])],
        signposts=[((-20000.0, 1.0), ("The quick brown fox jumps over the lazy dog. " * 22000)[:990000]),
                   ] + [((0.0, 2.0), "W" * 1000)] * 40,
    ),
    "magnet-ring.lrl": level(
        start=(0.0, 12.0),
        shapes=[ring(60, 9.5, surfaces=[ATTRACTOR]), straight([(0, -20), (600, -20), (600, -21)], [REPULSOR] * 3)],
    ),
}

os.makedirs(OUT, exist_ok=True)
for name, payload in SEEDS.items():
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(blob(payload))
