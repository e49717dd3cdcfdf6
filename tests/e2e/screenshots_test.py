#!/usr/bin/env python3
"""Starts the real game in the current folder (a fresh copy of the run-time tree, on a display of
its own), takes screenshots of what a player sees and checks them where the world must show:
the title lines of the main screen. Each screenshot is kept in ARTEFACT_FOLDER.

usage: screenshots_test.py SCENARIO GAME_BINARY ARTEFACT_FOLDER
scenarios:
  main-screen   the main screen: both title lines in distance-field text, nothing elsewhere
  level         the shipped level "03-magnets.lrl" in play: the ground's fill and outline, the
                magnet field under the attracting ceiling and a signpost's text
  editor        the level editor on a new level: its grid a quarter unit apart and the level
                start's marker at the origin
"""
import os
import shutil
import sys
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from game_driver import (MAIN_SCREEN, Game, expect, first_place_button, read, region_pixels, run_scenario,  # noqa: E402
                         wait_for)

# The window opens at 1920 by 1280; the camera starts at (0, 0) with a view 10 world units high.
WINDOW = (1920, 1280)
VIEW_HEIGHT = 10.0
PIXELS_PER_UNIT = WINDOW[1] / VIEW_HEIGHT
RESTING_POINT = (1900, 1260)


def world_box(min_x, max_x, min_y, max_y, window=WINDOW, centre=(0.0, 0.0), view_height=VIEW_HEIGHT):
    """The game-window pixels (left, top, width, height) of a box in world units, seen by a
    camera at `centre` with a view `view_height` units high in a window of size `window`."""
    per_unit = window[1] / view_height
    half_width = view_height * window[0] / window[1] / 2.0
    left = int((min_x - centre[0] + half_width) * per_unit)
    right = int((max_x - centre[0] + half_width) * per_unit)
    top = int((centre[1] + view_height / 2.0 - max_y) * per_unit)
    bottom = int((centre[1] + view_height / 2.0 - min_y) * per_unit)
    return left, top, right - left, bottom - top


def share(image, origin, box, test):
    """The share of the pixels in `box` (game-window coordinates) for which test(r, g, b) holds."""
    left, top, width, height = box
    pixels = region_pixels(image, origin[0] + left, origin[1] + top, width, height)
    count = len(pixels) // 3
    return sum(1 for i in range(0, len(pixels), 3) if test(pixels[i], pixels[i + 1], pixels[i + 2])) / count


def text_coloured(r, g, b):
    return r > 200 and g > 200 and b > 180


def keep(image, folder, name):
    os.makedirs(folder, exist_ok=True)
    shutil.copyfile(image, os.path.join(folder, name))


def scenario_main_screen(binary, artefacts):
    game = Game(binary)
    try:
        game.wait_until_shown()
        origin = game.origin()
        expect(game.geometry()[2:] == WINDOW, "the window did not open at 1920 by 1280: %r" % (game.geometry(),))
        game.move_to(*RESTING_POINT)
        shot = game.screenshot("main-screen.png")
        keep(shot, artefacts, "main-screen.png")

        # "Quorvane" starts at (-3, 0.5) at scale 1.5, "Ledrow" at (-0.51, -0.55) at scale 1.65.
        quorvane = share(shot, origin, world_box(-2.5, 1.5, 0.55, 1.5), text_coloured)
        ledrow = share(shot, origin, world_box(0.0, 4.0, -0.5, 0.45), text_coloured)
        expect(quorvane > 0.15, "the title line \"Quorvane\" is missing (%.3f of its box drawn)" % quorvane)
        expect(ledrow > 0.15, "the title line \"Ledrow\" is missing (%.3f of its box drawn)" % ledrow)
        # A smooth edge: between the letters' fill and the background there are pixels of both.
        edge = share(shot, origin, world_box(-2.5, 1.5, 0.55, 1.5), lambda r, g, b: 40 < r < 200)
        expect(edge > 0.002, "the text has no smoothed edge (%.4f)" % edge)
        for name, box in (("below the titles", world_box(-7.0, -4.0, -4.5, -2.0)),
                          ("right of the titles", world_box(5.0, 7.0, -4.5, 4.5))):
            stray = share(shot, origin, box, lambda r, g, b: r + g + b > 60)
            expect(stray == 0.0, "something is drawn %s (%.3f)" % (name, stray))
    finally:
        game.stop()
    expect(read("Error_log.txt") == "", "errors were logged: %r" % read("Error_log.txt"))


# "03-magnets.lrl" starts the figure at (0, 2.5) on a plateau whose top edge runs along y = 2 from
# x = -4 to 2, inside the ground; the ceiling from (7, 2) to (19, 2) attracts on its underside. While
# R is held the figure respawns every frame and the camera stays on the start with a view 8 units
# high. A window 1920 by 800 sees 19.2 units across, from x = -9.6 to 9.6: the ceiling's first
# units and the field under them included.
LEVEL = "03-magnets.lrl"
LEVEL_WINDOW = (1920, 800)
LEVEL_CAMERA = {"window": LEVEL_WINDOW, "centre": (0.0, 2.5), "view_height": 8.0}


def fill_coloured(r, g, b):
    return 20 <= r <= 60 and 25 <= g <= 65 and 40 <= b <= 85  # the Passthrough effect's inside


def background(r, g, b):
    return r < 15 and g < 15 and b < 20


def scenario_level(binary, artefacts):
    levels = sorted(name for name in os.listdir("Data/Levels") if name.endswith(".lrl"))
    expect(LEVEL in levels, "the run-time tree does not ship %s" % LEVEL)
    game = Game(binary)
    try:
        game.wait_until_shown()
        game.click(*first_place_button(MAIN_SCREEN["Play"]))
        game.click(*first_place_button(levels.index(LEVEL)))
        wait_for(lambda: "Starting game with 1 player(s). You are player 0" in read("Info_log.txt"), "the level to start")
        game.x("xdotool", "windowsize", game.window, str(LEVEL_WINDOW[0]), str(LEVEL_WINDOW[1]))
        wait_for(lambda: game.geometry()[2:] == LEVEL_WINDOW, "the window to take its new size", 5.0)
        game.move_to(LEVEL_WINDOW[0] - 10, LEVEL_WINDOW[1] - 10)
        with game.holding("r"):
            wait_for(lambda: "The local player respawned at (" in read("Info_log.txt"), "the respawn")
            time.sleep(1.0)  # frames at the new size, the camera settled on the start
            origin = game.origin()
            shot = game.screenshot("level.png")
        keep(shot, artefacts, "level.png")

        def box(*corners):
            return world_box(*corners, **LEVEL_CAMERA)
        ground = share(shot, origin, box(-3.0, 1.0, -1.0, 1.5), fill_coloured)
        sky = share(shot, origin, box(-3.5, 1.5, 3.5, 5.0), background)
        outline = share(shot, origin, box(-3.5, -0.5, 1.9, 2.1), lambda r, g, b: max(r, g, b) > 120)
        field = share(shot, origin, box(7.2, 9.4, 0.6, 1.8), lambda r, g, b: b > r + 40 and b > 70)
        no_field = share(shot, origin, box(-3.0, 1.0, -1.0, 1.5), lambda r, g, b: b > r + 40 and b > 70)
        text = share(shot, origin, box(-3.0, 3.0, 6.0, 6.3), text_coloured)
        expect(ground > 0.9, "the ground is not filled (%.3f of it)" % ground)
        expect(sky > 0.9, "the air above the plateau is not empty (%.3f of it)" % sky)
        expect(outline > 0.04, "the ground's top edge is not drawn (%.3f of its band)" % outline)
        expect(field > 0.3, "no magnet field under the attracting ceiling (%.3f of its box)" % field)
        expect(no_field == 0.0, "a magnet field where there is none (%.3f)" % no_field)
        expect(text > 0.05, "the signpost's text is missing (%.3f of its box)" % text)
    finally:
        game.stop()
    expect(read("Error_log.txt") == "", "errors were logged: %r" % read("Error_log.txt"))


def scenario_editor(binary, artefacts):
    game = Game(binary)
    try:
        game.wait_until_shown()
        game.click(*first_place_button(MAIN_SCREEN["Level editor"]))
        wait_for(lambda: "Opened the level editor." in read("Info_log.txt"), "the editor to open")
        game.move_to(*RESTING_POINT)
        time.sleep(1.0)
        origin = game.origin()
        shot = game.screenshot("editor.png")
        keep(shot, artefacts, "editor.png")

        # The camera is where the main screen left it: (0, 0), 10 units high, 128 pixels a unit.
        left, top, width, height = world_box(2.0, 6.0, -4.0, -1.0)
        pixels = region_pixels(shot, origin[0] + left, origin[1] + top, width, height)
        def grid_coloured(x, y):
            at = 3 * (y * width + x)
            r, g, b = pixels[at], pixels[at + 1], pixels[at + 2]
            return 30 < r < 160 and abs(r - g) < 20 and abs(r - b) < 30
        # A column on a grid line is grid-coloured most of the way down; one between lines is not.
        line_columns = [x for x in range(width) if sum(grid_coloured(x, y) for y in range(height)) > 0.8 * height]
        groups = [x for i, x in enumerate(line_columns) if i == 0 or x - line_columns[i - 1] > 1]
        expect(14 <= len(groups) <= 18, "not a grid a quarter unit apart: %d vertical lines in 4 units" % len(groups))
        between = sum(1 for x in range(width) for y in range(height) if not grid_coloured(x, y)) / (width * height)
        expect(between > 0.5, "the grid covers the view instead of lining it (%.3f left dark)" % between)
        marker = share(shot, origin, world_box(-0.3, 0.3, -0.3, 0.3), lambda r, g, b: min(r, g, b) > 150)
        expect(marker > 0.02, "no level start marker at the origin (%.3f of its box)" % marker)
    finally:
        game.stop()
    expect(read("Error_log.txt") == "", "errors were logged: %r" % read("Error_log.txt"))


def main():
    scenario, binary, artefacts = sys.argv[1:4]
    scenarios = {"main-screen": scenario_main_screen, "level": scenario_level, "editor": scenario_editor}
    return run_scenario(lambda: scenarios[scenario](os.path.abspath(binary), os.path.abspath(artefacts)),
                        "passed: %s (screenshots in %s)" % (scenario, artefacts),
                        logs=("game-stdout.txt", "game-stderr.txt", "Error_log.txt"))


if __name__ == "__main__":
    sys.exit(main())
