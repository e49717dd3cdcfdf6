#!/usr/bin/env python3
"""Starts the real game in the current folder (a fresh copy of the run-time tree, on a display of
its own), takes screenshots of what a player sees and checks them where the world must show:
the title lines of the main screen. Each screenshot is kept in ARTEFACT_FOLDER.

usage: screenshots_test.py SCENARIO GAME_BINARY ARTEFACT_FOLDER
scenarios:
  main-screen   the main screen: both title lines in distance-field text, nothing elsewhere
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from game_screens_test import Failure, Game, expect, read, region_pixels  # noqa: E402

# The window opens at 1920 by 1280; the camera starts at (0, 0) with a view 10 world units high.
WINDOW = (1920, 1280)
VIEW_HEIGHT = 10.0
PIXELS_PER_UNIT = WINDOW[1] / VIEW_HEIGHT
RESTING_POINT = (1900, 1260)


def world_box(min_x, max_x, min_y, max_y):
    """The game-window pixels (left, top, width, height) of a box in world units."""
    half_width = VIEW_HEIGHT * WINDOW[0] / WINDOW[1] / 2.0
    left = int((min_x + half_width) * PIXELS_PER_UNIT)
    right = int((max_x + half_width) * PIXELS_PER_UNIT)
    top = int((VIEW_HEIGHT / 2.0 - max_y) * PIXELS_PER_UNIT)
    bottom = int((VIEW_HEIGHT / 2.0 - min_y) * PIXELS_PER_UNIT)
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
        origin = game.geometry()[:2]
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


def main():
    scenario, binary, artefacts = sys.argv[1:4]
    scenarios = {"main-screen": scenario_main_screen}
    try:
        scenarios[scenario](os.path.abspath(binary), os.path.abspath(artefacts))
    except Failure as failure:
        print("FAILED: %s" % failure)
        for log in ("game-stdout.txt", "game-stderr.txt", "Error_log.txt"):
            print("--- %s\n%s" % (log, read(log)))
        return 1
    print("passed: %s (screenshots in %s)" % (scenario, artefacts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
