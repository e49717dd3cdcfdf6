#!/usr/bin/env python3
"""Writes the shipped level files from the level descriptions beside this script.

Every NAME.json here becomes data/Data/Levels/NAME.lrl, written byte for byte as the game's own
save writes it: a plain byte blob (magic, payload count, eight zero bytes) holding one level
record. README.md beside this script describes the description format.

    make-levels.py [--out DIR] [DESCRIPTION.json ...]

Without descriptions every *.json here is written; without --out the files go to the run-time
tree's Data/Levels/. A description that is not sound (an unknown surface name, a shape that
crosses itself or runs the wrong way round, a name the level list cannot show) is refused with a
message naming the level, and nothing is written for it."""
import argparse
import glob
import json
import math
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, "..", "..", "data", "Data", "Levels")

PLAIN_MAGIC = 0x356FBE98
LEVEL_TAG, SHAPE_TAG, POINT_TAG, TRINKET_TAG, WAYPOINT_TAG, SIGNPOST_TAG, STRING_TAG = 4, 3, 2, 5, 7, 8, 0

SURFACES = {
    "Plain": 0,
    "Clockwise Accelerator": 1,
    "Anticlockwise Accelerator": 2,
    "Jagged": 3,
    "Magnetic attractor": 4,
    "Magnetic repulsor": 5,
    "Bouncer": 7,
    "Passable": 8,
}

# The level list shows file names as buttons and a host sends them in a 64-byte field with its
# terminating zero.
MAX_FILE_NAME = 63
# Farther out than this the loader refuses a level; shipped levels stay far inside.
MAX_COORDINATE = 1.0e6
# The editor makes no shorter gate, and edits signpost texts in a 256-byte field.
MIN_GATE_LENGTH = 0.8
MAX_SIGNPOST_TEXT = 255
# The game moves a handle closer than this to its point when it reads the level.
MIN_HANDLE_LENGTH = 0.001
# Points per edge when a shape's outline is checked for its turning direction and for crossings.
CHECK_SAMPLES = 16


class DescriptionError(Exception):
    pass


def f32(value):
    """`value` rounded to the nearest 32-bit float, as the game holds it."""
    return struct.unpack("<f", struct.pack("<f", value))[0]


def vec(value, what):
    if (not isinstance(value, list) or len(value) != 2
            or not all(isinstance(v, (int, float)) and not isinstance(v, bool) for v in value)):
        raise DescriptionError(f"{what} must be a pair of numbers [x, y], not {value!r}")
    x, y = (f32(float(v)) for v in value)
    if not (math.isfinite(x) and math.isfinite(y)) or abs(x) > MAX_COORDINATE or abs(y) > MAX_COORDINATE:
        raise DescriptionError(f"{what} lies outside the world: {value!r}")
    return x, y


def surface(name, what):
    if name not in SURFACES:
        raise DescriptionError(f"{what}: unknown surface {name!r}; use one of " + ", ".join(map(repr, SURFACES)))
    return SURFACES[name]


def check_keys(entry, allowed, what):
    unknown = sorted(set(entry) - set(allowed))
    if unknown:
        raise DescriptionError(f"{what}: unknown key(s) {', '.join(unknown)}")


class Point:
    def __init__(self, position, handle_in=None, handle_out=None, surface_type=0, smooth=False):
        self.position = position
        self.handle_in = handle_in      # absolute, or None: the game's quarter-way default
        self.handle_out = handle_out
        self.surface = surface_type
        self.smooth = smooth
        self.spline = False


def quarter_towards(position, other):
    """A quarter of the way from `position` to `other`, in 32-bit floats as the game repairs a
    handle that sits on its point."""
    return tuple(f32(p + f32(0.25 * f32(o - p))) for p, o in zip(position, other))


def read_point(entry, default_surface, what):
    if isinstance(entry, list) and len(entry) == 3 and isinstance(entry[2], str):
        return Point(vec(entry[:2], what), surface_type=surface(entry[2], what))
    if isinstance(entry, list):
        return Point(vec(entry, what), surface_type=default_surface)
    if not isinstance(entry, dict):
        raise DescriptionError(f"{what} must be [x, y], [x, y, surface] or an object")
    check_keys(entry, ("at", "in", "out", "smooth", "surface"), what)
    if "at" not in entry:
        raise DescriptionError(f"{what} has no position ('at')")
    x, y = vec(entry["at"], what)
    smooth = entry.get("smooth", False)
    if not isinstance(smooth, bool):
        raise DescriptionError(f"{what}: 'smooth' must be true or false")
    offsets = {}
    for key in ("in", "out"):
        if key in entry:
            dx, dy = vec(entry[key], f"{what} handle '{key}'")
            if math.hypot(dx, dy) < MIN_HANDLE_LENGTH:
                raise DescriptionError(f"{what}: handle '{key}' sits on its point; leave it out instead")
            offsets[key] = (dx, dy)
    if smooth:
        if not offsets:
            raise DescriptionError(f"{what} is smooth but has no handle")
        # One handle given: the other mirrors it, as dragging a smooth point's handle does.
        if "in" not in offsets:
            offsets["in"] = (-offsets["out"][0], -offsets["out"][1])
        if "out" not in offsets:
            offsets["out"] = (-offsets["in"][0], -offsets["in"][1])
        (ix, iy), (ox, oy) = offsets["in"], offsets["out"]
        cosine = (ix * ox + iy * oy) / (math.hypot(ix, iy) * math.hypot(ox, oy))
        if cosine > -0.9999:
            raise DescriptionError(f"{what} is smooth but its handles do not lie on one line through it")
    absolute = {key: vec([x + dx, y + dy], f"{what} handle '{key}'") for key, (dx, dy) in offsets.items()}
    return Point((x, y), absolute.get("in"), absolute.get("out"),
                 surface(entry["surface"], what) if "surface" in entry else default_surface, smooth)


def circle_points(entry, default_surface, clockwise, what):
    """Smooth points round a circle, handles along the tangents, starting at angle 0."""
    check_keys(entry, ("centre", "radius", "points"), what)
    cx, cy = vec(entry.get("centre"), f"{what} centre")
    radius, count = entry.get("radius"), entry.get("points")
    if not isinstance(radius, (int, float)) or not radius > 0:
        raise DescriptionError(f"{what}: 'radius' must be a positive number")
    if not isinstance(count, int) or count < 3:
        raise DescriptionError(f"{what}: 'points' must be a whole number of at least 3")
    step = 2 * math.pi / count * (-1 if clockwise else 1)
    reach = radius * 4 / 3 * math.tan(abs(step) / 4)
    points = []
    for i in range(count):
        angle = step * i
        x, y = cx + radius * math.cos(angle), cy + radius * math.sin(angle)
        tx, ty = -math.sin(angle), math.cos(angle)
        if clockwise:
            tx, ty = -tx, -ty
        point = Point(vec([x, y], what), vec([x - reach * tx, y - reach * ty], what),
                      vec([x + reach * tx, y + reach * ty], what), default_surface, True)
        points.append(point)
    return points


def bezier(p0, c0, c1, p1, t):
    u = 1 - t
    return tuple(u * u * u * a + 3 * u * u * t * b + 3 * u * t * t * c + t * t * t * d for a, b, c, d in zip(p0, c0, c1, p1))


def build_shape(entry, index):
    what = f"shape {index}"
    if not isinstance(entry, dict):
        raise DescriptionError(f"{what} must be an object")
    check_keys(entry, ("notes", "surface", "inside", "points", "circle"), what)
    default_surface = surface(entry.get("surface", "Plain"), what)
    inside = entry.get("inside", False)
    if not isinstance(inside, bool):
        raise DescriptionError(f"{what}: 'inside' must be true or false")
    if ("points" in entry) == ("circle" in entry):
        raise DescriptionError(f"{what} needs either 'points' or 'circle'")
    if "circle" in entry:
        points = circle_points(entry["circle"], default_surface, inside, what)
    else:
        if not isinstance(entry["points"], list):
            raise DescriptionError(f"{what}: 'points' must be a list")
        points = [read_point(p, default_surface, f"{what} point {i}") for i, p in enumerate(entry["points"])]
    if len(points) < 3:
        raise DescriptionError(f"{what} has {len(points)} points; a shape needs at least 3")

    n = len(points)
    for i, point in enumerate(points):
        following = points[(i + 1) % n]
        if point.position == following.position:
            raise DescriptionError(f"{what} points {i} and {(i + 1) % n} coincide")
        # The edge leaving a point is a curve when a designer gave either of its handles.
        point.spline = point.handle_out is not None or following.handle_in is not None
    for i, point in enumerate(points):
        if point.handle_in is None:
            point.handle_in = quarter_towards(point.position, points[i - 1].position)
        if point.handle_out is None:
            point.handle_out = quarter_towards(point.position, points[(i + 1) % n].position)

    outline = []
    for i, point in enumerate(points):
        following = points[(i + 1) % n]
        if point.spline:
            outline += [bezier(point.position, point.handle_out, following.handle_in, following.position, k / CHECK_SAMPLES)
                        for k in range(CHECK_SAMPLES)]
        else:
            outline.append(point.position)
    check_simple(outline, what)
    area = sum(a[0] * b[1] - b[0] * a[1] for a, b in zip(outline, outline[1:] + outline[:1])) / 2
    if inside and area > 0:
        raise DescriptionError(f"{what} is played inside, so its points must run clockwise")
    if not inside and area < 0:
        raise DescriptionError(f"{what} is solid, so its points must run anticlockwise (or mark it \"inside\")")
    return points


def check_simple(outline, what):
    """Refuses an outline whose edges cross: its fill and hit tests would be wrong."""
    def orient(a, b, c):
        value = (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])
        return (value > 1e-12) - (value < -1e-12)

    pieces = list(zip(outline, outline[1:] + outline[:1]))
    count = len(pieces)
    for i in range(count):
        for j in range(i + 2, count):
            if i == 0 and j == count - 1:
                continue
            (a, b), (c, d) = pieces[i], pieces[j]
            if orient(a, b, c) * orient(a, b, d) < 0 and orient(c, d, a) * orient(c, d, b) < 0:
                raise DescriptionError(f"{what} crosses itself near ({a[0]:.2f}, {a[1]:.2f})")


def build_level(description, name):
    if not isinstance(description, dict):
        raise DescriptionError("the description must be an object")
    check_keys(description, ("notes", "start", "shapes", "trinkets", "waypoints", "signposts"), "the level")
    if "start" not in description:
        raise DescriptionError("the level has no start")
    payload = struct.pack("<I", LEVEL_TAG) + struct.pack("<fff", *vec(description["start"], "the start"), 0.0)

    for index, entry in enumerate(description.get("shapes", [])):
        payload += struct.pack("<I", SHAPE_TAG)
        for point in build_shape(entry, index):
            payload += struct.pack("<I", POINT_TAG)
            payload += struct.pack("<ffffff", *point.position, *point.handle_in, *point.handle_out)
            payload += struct.pack("<BIB", point.spline, point.surface, 0 if point.smooth else 1)

    for index, entry in enumerate(description.get("trinkets", [])):
        payload += struct.pack("<Iff", TRINKET_TAG, *vec(entry, f"trinket {index}"))

    for index, entry in enumerate(description.get("waypoints", [])):
        what = f"waypoint {index}"
        if not isinstance(entry, dict):
            raise DescriptionError(f"{what} must be an object with 'a', 'b' and 'respawn'")
        check_keys(entry, ("notes", "a", "b", "respawn"), what)
        a, b, respawn = (vec(entry.get(key), f"{what} '{key}'") for key in ("a", "b", "respawn"))
        if math.dist(a, b) <= MIN_GATE_LENGTH:
            raise DescriptionError(f"{what}: a gate must be longer than {MIN_GATE_LENGTH}")
        payload += struct.pack("<Iffffff", WAYPOINT_TAG, *a, *b, *respawn)

    for index, entry in enumerate(description.get("signposts", [])):
        what = f"signpost {index}"
        if not isinstance(entry, dict):
            raise DescriptionError(f"{what} must be an object with 'at' and 'text'")
        check_keys(entry, ("at", "text", "box"), what)
        x, y = vec(entry.get("at"), what)
        text = entry.get("text")
        if not isinstance(text, str):
            raise DescriptionError(f"{what} has no text")
        data = text.encode("utf-8")
        if len(data) > MAX_SIGNPOST_TEXT:
            raise DescriptionError(f"{what}: the text is {len(data)} bytes, more than the editor's {MAX_SIGNPOST_TEXT}")
        if "box" in entry:
            box = entry["box"]
            if not isinstance(box, list) or len(box) != 2:
                raise DescriptionError(f"{what}: 'box' must be two corners [[x, y], [x, y]]")
            corner_a, corner_b = (vec(corner, f"{what} box corner") for corner in box)
        else:
            # Where the editor puts the box of a signpost it places.
            corner_a, corner_b = vec([x - 1.5, y - 1.0], what), vec([x + 1.5, y - 2.0], what)
        payload += struct.pack("<Iffffff", SIGNPOST_TAG, x, y, *corner_a, *corner_b)
        payload += struct.pack("<II", STRING_TAG, len(data)) + data

    return struct.pack("<II8x", PLAIN_MAGIC, len(payload)) + payload


def level_file_name(path):
    stem = os.path.splitext(os.path.basename(path))[0]
    name = stem + ".lrl"
    if not re.fullmatch(r"[A-Za-z0-9][A-Za-z0-9 _.-]*", stem):
        raise DescriptionError(f"{name!r}: use letters, digits, spaces, '-', '_' and '.' only")
    if len(name) > MAX_FILE_NAME:
        raise DescriptionError(f"{name!r} is {len(name)} characters, more than {MAX_FILE_NAME}")
    return name


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", default=DEFAULT_OUT, help="folder to write the level files into")
    parser.add_argument("descriptions", nargs="*", help="level descriptions (default: every *.json beside this script)")
    args = parser.parse_args()
    paths = args.descriptions or sorted(glob.glob(os.path.join(HERE, "*.json")))
    if not paths:
        print("no level descriptions found", file=sys.stderr)
        return 1

    levels = {}
    failed = False
    for path in paths:
        try:
            name = level_file_name(path)
            with open(path, encoding="utf-8") as f:
                description = json.load(f)
            levels[name] = build_level(description, name)
        except (OSError, ValueError, DescriptionError) as error:
            print(f"{os.path.basename(path)}: {error}", file=sys.stderr)
            failed = True
    if failed:
        return 1

    os.makedirs(args.out, exist_ok=True)
    for name, data in levels.items():
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
        print(f"wrote {name} ({len(data)} bytes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
