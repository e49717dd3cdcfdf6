#!/usr/bin/env python3
"""Builds a level in the real game's editor with real X input, in the current folder (a fresh copy
of the run-time tree, on a display of its own), then plays it.

usage: editor_test.py GAME_BINARY CLOSE_WINDOW_TOOL

The editor is entered from the main screen; a square is drawn with the shape builder by clicks in
the world, a trinket, a waypoint and a signpost are added with the creation toolbox; the signpost
is undone and the level saved through the save dialog; it is redone and saved again with Ctrl+S.
The editor is left and entered again, the file loaded through the load dialog and play-tested,
and finally the level is found on the level-select screen and played. Every step waits for the
game's log lines, and the saved files are read back and checked record by record.
"""
import glob
import os
import struct
import sys
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from game_driver import (MAIN_SCREEN, PADDING, ROW, ROW_GAP, Failure, Game, LogCursor, expect,  # noqa: E402
                         first_place_button, read, region_pixels, row_centre, run_scenario, standard_deviation)

LEVEL_NAME = "e2e-level"
LEVEL_PATH = "Data/Levels/%s.lrl" % LEVEL_NAME

# The editor's windows, placed by the layout file written before the start (window pixels).
LAYOUT = {
    "Creation toolbox": (10, 50, 430, 230),
    "Info/Edit panel": (10, 290, 430, 330),
    "QVLR editor help": (10, 630, 430, 200),
    "Save as...##SaveDialogueKey": (480, 90, 900, 640),
    "Load level...##LoadDialogueKey": (480, 90, 900, 640),
    "Select your level:": (60, 60, 600, 400),
}
# A list entry, or a line of text in a popup, takes 36 pixels.
LIST_ROW = 36


def button_in(window, row, x_offset=60):
    left, top, _, _ = LAYOUT[window]
    return left + PADDING + x_offset, row_centre(top, row)


# The buttons of the edge popup, below its first line of text.
SURFACES = ["Plain", "Clockwise Accelerator", "Anticlockwise Accelerator", "Jagged", "Magnetic attractor",
            "Magnetic repulsor", "Bouncer"]
TOOLBOX = {"shapes": 0, "trinkets": 1, "waypoints": 2, "signposts": 3}
# The main menu bar and its "File" menu: items 36 pixels apart below the 38-pixel bar.
FILE_MENU = (30, 18)
FILE_ITEMS = {"New level": 0, "Load level": 1, "Save level": 2, "Save with new name": 3, "Play current level": 4,
              "Close editor": 5}

# The editor's view at the start: centre (0, 0), 10 units high on a 1280-pixel window.
PIXELS_PER_UNIT = 128
CENTRE = (960, 640)


class EditorGame(Game):
    """The game driven as a level designer's hand drives the editor: clicks pressed a few frames
    long, points in world units, keys tapped or held, the "File" menu; waits on log lines in order."""

    MOVE_SETTLE = 0.15

    def __init__(self, binary):
        super().__init__(binary)
        self.info = LogCursor("Info_log.txt")
        self.verbose = LogCursor("Verbose_log.txt")

    def world_click(self, x, y, button=1):
        self.press(*to_window(x, y), button=button)

    def world_drag(self, start, end):
        self.move_to(*to_window(*start))
        self.x("xdotool", "mousedown", "1")
        time.sleep(0.12)
        middle = ((start[0] + end[0]) / 2, (start[1] + end[1]) / 2)
        self.move_to(*to_window(*middle))
        self.move_to(*to_window(*end))
        self.x("xdotool", "mouseup", "1")
        time.sleep(0.25)

    def key(self, name, hold=0.0):
        if hold:
            self.hold(name, hold)
        else:
            self.x("xdotool", "key", name)
        time.sleep(0.25)

    def menu(self, item):
        self.press(*FILE_MENU)
        self.press(100, 38 + 24 + FILE_ITEMS[item] * 36)


# A point of the main menu bar's background, clear of its labels.
MENU_BAR_POINT = (400, 18)


def pixel(image, point, origin):
    """The (red, green, blue) at `point` of the game window, whose corner is at `origin` of the
    screenshot `image`."""
    return tuple(region_pixels(image, origin[0] + point[0], origin[1] + point[1], 1, 1)[:3])


def to_window(x, y):
    return CENTRE[0] + x * PIXELS_PER_UNIT, CENTRE[1] - y * PIXELS_PER_UNIT


def read_level(path):
    """The records of a level file: the start, the shapes' points, trinkets, waypoints and
    signposts, read as the game's loader reads them."""
    with open(path, "rb") as file:
        data = file.read()
    magic, count = struct.unpack_from("<II", data, 0)
    expect(magic == 0x356FBE98, "%s is not a plain byte blob" % path)
    expect(count == len(data) - 16, "%s counts %d payload bytes of %d" % (path, count, len(data) - 16))
    at = 16

    def u32():
        return struct.unpack_from("<I", data, at)[0] if at + 4 <= len(data) else None

    expect(u32() == 4, "%s holds no level record" % path)
    level = {"start": struct.unpack_from("<fff", data, at + 4), "shapes": [], "trinkets": [], "waypoints": [],
             "signposts": []}
    at += 16
    while u32() == 3:
        at += 4
        points = []
        while u32() == 2:
            position = struct.unpack_from("<ff", data, at + 4)
            spline, surface, corner = struct.unpack_from("<BIB", data, at + 28)
            points.append({"position": position, "spline": spline, "surface": surface, "corner": corner})
            at += 34
        level["shapes"].append(points)
    while u32() == 5:
        level["trinkets"].append(struct.unpack_from("<ff", data, at + 4))
        at += 12
    while u32() == 7:
        level["waypoints"].append(struct.unpack_from("<6f", data, at + 4))
        at += 28
    while u32() == 8:
        position = struct.unpack_from("<ff", data, at + 4)
        length = struct.unpack_from("<I", data, at + 32)[0]
        text = data[at + 36:at + 36 + length].decode("utf-8", "replace")
        level["signposts"].append((position, text))
        at += 36 + length
    expect(at == len(data), "%s has %d bytes after its records" % (path, len(data) - at))
    return level


def near(a, b, tolerance=0.02):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def check_level(path, with_signpost):
    level = read_level(path)
    expect(len(level["shapes"]) == 1, "%s holds %d world shapes" % (path, len(level["shapes"])))
    square = level["shapes"][0]
    positions = sorted(point["position"] for point in square)
    expected = sorted([(1.0, -1.0), (3.0, -1.0), (3.0, 1.0), (1.0, 1.0)])
    expect(len(square) == 4 and all(near(a, b) for a, b in zip(positions, expected)),
           "the square's points are %r" % [point["position"] for point in square])
    expect(all(point["spline"] == 0 and point["corner"] == 1 for point in square),
           "the clicked square's edges are not all straight corners: %r" % square)
    surfaces = {point["position"]: point["surface"] for point in square}
    expect([surfaces[p] for p in sorted(surfaces)] == [0, 0, 0, 7],
           "only the top edge, from (3, 1), should be a bouncer: %r" % surfaces)
    expect(len(level["trinkets"]) == 1 and near(level["trinkets"][0], (2.0, 0.0)),
           "trinkets %r" % level["trinkets"])
    expect(len(level["waypoints"]) == 1 and near(level["waypoints"][0][:4], (4.0, 2.0, 6.0, 2.0))
           and near(level["waypoints"][0][4:], (5.0, 2.3)), "waypoints %r" % level["waypoints"])
    if with_signpost:
        expect(len(level["signposts"]) == 1 and near(level["signposts"][0][0], (-1.0, 3.0))
               and level["signposts"][0][1] == "Your Text Here", "signposts %r" % level["signposts"])
    else:
        expect(level["signposts"] == [], "the undone signpost was saved: %r" % level["signposts"])


def write_layout():
    os.makedirs("Data", exist_ok=True)
    with open("Data/imgui.ini", "w") as file:
        for name, (x, y, width, height) in LAYOUT.items():
            file.write("[Window][%s]\nPos=%d,%d\nSize=%d,%d\nCollapsed=0\n\n" % (name, x, y, width, height))


def scenario(binary, close_tool):
    write_layout()
    # The shipped levels stay out of this run's lists, so that the saved level's place in the load
    # dialog and on the level-select screen is known.
    for shipped in glob.glob("Data/Levels/*.lrl"):
        os.remove(shipped)
    game = EditorGame(binary)
    try:
        game.wait_until_shown()
        game.press(*first_place_button(MAIN_SCREEN["Level editor"]))
        game.info.wait("Opened the level editor.")
        time.sleep(0.5)

        # A square, clicked point by point and closed on its first point.
        game.press(*button_in("Creation toolbox", TOOLBOX["shapes"]))
        for corner in [(1, -1), (3, -1), (3, 1), (1, 1), (1.02, -1.0)]:
            game.world_click(*corner)
        game.verbose.wait("Editor: add world shape.")
        game.key("Escape")

        # Edit mode on the square: its top edge becomes a bouncer through the edge's popup, which
        # opens where the edge was right-clicked.
        game.world_click(2, 0.5)
        game.key("e")
        game.world_click(2, 1, button=3)
        popup_x, popup_y = to_window(2, 1)
        game.press(popup_x + 40, popup_y + PADDING + LIST_ROW + SURFACES.index("Bouncer") * (ROW + ROW_GAP) + ROW // 2)
        game.verbose.wait("Editor: change edge.")
        game.key("e")

        game.press(*button_in("Creation toolbox", TOOLBOX["trinkets"]))
        game.world_click(2, 0)
        game.verbose.wait("Editor: add trinket.")
        game.key("Escape")

        game.press(*button_in("Creation toolbox", TOOLBOX["waypoints"]))
        game.world_drag((4, 2), (6, 2))
        game.verbose.wait("Editor: add waypoint.")
        game.key("Escape")

        game.press(*button_in("Creation toolbox", TOOLBOX["signposts"]))
        game.world_click(-1, 3)
        game.verbose.wait("Editor: add signpost.")
        game.key("Escape")
        game.move_to(*to_window(5, -3))
        editing = game.screenshot("editing.png")

        # Undo the signpost, save the rest under a new name through the dialog.
        game.key("ctrl+z")
        game.verbose.wait("Editor: undid add signpost.")
        game.menu("Save with new name")
        name_field = (LAYOUT["Save as...##SaveDialogueKey"][0] + 600, LAYOUT["Save as...##SaveDialogueKey"][1] + 536)
        game.press(*name_field)
        game.type(LEVEL_NAME)
        # Held for a few frames: the user-interface library reads keys once a frame.
        game.key("Return", hold=0.15)
        game.info.wait('Saved the level to "%s".' % LEVEL_PATH)
        check_level(LEVEL_PATH, with_signpost=False)

        # Redo it and save again under the same name with Ctrl+S.
        game.move_to(*to_window(5, -3))
        game.key("ctrl+y")
        game.verbose.wait("Editor: redid add signpost.")
        game.key("ctrl+s")
        game.info.wait('Saved the level to "%s".' % LEVEL_PATH)
        check_level(LEVEL_PATH, with_signpost=True)
        saved = open(LEVEL_PATH, "rb").read()
        expect([name for name in os.listdir("Data/Levels") if name != ".gitkeep"] == [LEVEL_NAME + ".lrl"],
               "the levels folder holds %r" % os.listdir("Data/Levels"))

        # Leave the editor, come back, load the level through the load dialog.
        game.menu("Close editor")
        game.info.wait("Closed the level editor.")
        game.press(*first_place_button(MAIN_SCREEN["Level editor"]))
        game.info.wait("Opened the level editor.")
        game.menu("Load level")
        left, top, _, _ = LAYOUT["Load level...##LoadDialogueKey"]
        game.press(left + 120, top + 107 + LIST_ROW)  # the second entry, after ".."
        game.press(left + 30, top + 578)  # the middle of "OK"
        game.info.wait('Loaded the level "%s".' % LEVEL_PATH)
        game.move_to(*to_window(5, -3))
        loaded = game.screenshot("loaded.png")
        expect(open(LEVEL_PATH, "rb").read() == saved, "loading changed the file")

        # Play-test in place; Escape in the level ends it and the editor carries on.
        game.key("p")
        game.info.wait("Play-testing the level in the editor")
        game.info.wait("Starting game with 1 player(s). You are player 0")
        time.sleep(0.5)
        testing = game.screenshot("play-testing.png")
        expect(pixel(editing, MENU_BAR_POINT, game.origin()) != (0, 0, 0), "the editor shows no menu bar")
        # The composed world shows there instead, in whatever colours the post effect gives it.
        expect(pixel(testing, MENU_BAR_POINT, game.origin()) != pixel(editing, MENU_BAR_POINT, game.origin()),
               "the menus still show while play-testing")
        game.key("Escape", hold=0.3)
        game.info.wait("Play-testing ended.")
        game.key("ctrl+s")
        game.info.wait('Saved the level to "%s".' % LEVEL_PATH)
        expect(open(LEVEL_PATH, "rb").read() == saved, "play-testing changed the level")

        # The level is on the level-select screen, and it plays.
        game.menu("Close editor")
        game.info.wait("Closed the level editor.")
        game.press(*first_place_button(MAIN_SCREEN["Play"]))
        time.sleep(0.5)
        game.press(*button_in("Select your level:", 0))
        game.info.wait("Starting game with 1 player(s). You are player 0")
        time.sleep(1.0)
        playing = game.screenshot("playing.png")
        game.key("Escape", hold=0.3)
        time.sleep(0.5)

        code = game.close(close_tool)
        expect(code == 0, "the game ended with exit code %d" % code)
    except Failure:
        game.screenshot("failure.png")
        raise
    finally:
        game.stop()
    for shot in (editing, loaded, testing, playing):
        expect(standard_deviation(shot) > 0.01, "%s is blank" % shot)
    expect(read("Error_log.txt") == "", "errors were logged: %r" % read("Error_log.txt"))


def main():
    binary, close_tool = sys.argv[1:3]
    return run_scenario(lambda: scenario(os.path.abspath(binary), os.path.abspath(close_tool)), "passed: editor",
                        logs=("game-stdout.txt", "game-stderr.txt", "Error_log.txt", "Info_log.txt", "Verbose_log.txt"),
                        tail=4000, notes=("(the screen at the failure: %s)" % os.path.abspath("failure.png"),))


if __name__ == "__main__":
    sys.exit(main())
