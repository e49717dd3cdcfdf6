#!/usr/bin/env python3
"""Starts the game in the current folder (a fresh copy of the run-time tree, on a display of its
own) and drives its first screens with real X input.

usage: game_screens_test.py SCENARIO GAME_BINARY CLOSE_WINDOW_TOOL
scenarios:
  menus         main screen, Options, "Apply changes", back, Credits, "Cool", "Quit"
  close-window  the window is closed from the options screen, as a window manager would
  no-display    without a display the game stops with a message and a non-zero exit
  play          "Play", a shipped level, movement keys held, R, Escape back to the level select,
                "Back" and "Quit"
"""
import os
import re
import sys
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from game_driver import (FIRST_PLACE, MAIN_SCREEN, Failure, Game, expect, first_place_button,  # noqa: E402
                         read, region_pixels, run_scenario, standard_deviation, wait_for)

DEFAULT_SETTINGS = '{\n "fullscreen": false,\n "resolutionScale": 1.0\n}'

OPTIONS = {"Fullscreen: ": 0, "Resolution scale: ": 1, "Apply changes": 2, "Apply and leave": 3,
           "Abandon unapplied changes and leave": 4}
# The region the main screen's window covers, compared between screenshots.
MAIN_WINDOW_REGION = (FIRST_PLACE, FIRST_PLACE, 170, 260)


def differing_share(image_a, origin_a, image_b, origin_b, region):
    """The share of pixels that differ in `region` (game-window coordinates) of two screenshots
    taken with the game window at `origin_a` and `origin_b`."""
    x, y, width, height = region
    a = region_pixels(image_a, origin_a[0] + x, origin_a[1] + y, width, height)
    b = region_pixels(image_b, origin_b[0] + x, origin_b[1] + y, width, height)
    if len(a) != len(b) or not a:
        raise Failure("screenshot regions of different sizes")
    differing = sum(1 for i in range(0, len(a), 3) if abs(a[i] - b[i]) + abs(a[i + 1] - b[i + 1]) + abs(a[i + 2] - b[i + 2]) > 24)
    return differing / (len(a) // 3)


def scenario_menus(binary, _close_tool):
    expect(not os.path.exists("config.json"), "the run folder already holds a config.json")
    game = Game(binary)
    try:
        game.wait_until_shown()
        first_origin = game.origin()
        expect(game.geometry()[2:] == (1920, 1280), "the window did not open at 1920 by 1280: %r" % (game.geometry(),))
        game.rest()
        main = game.screenshot("main.png")
        expect(standard_deviation(main) > 0.01, "the main screen is blank")

        game.click(*first_place_button(MAIN_SCREEN["Options"]))
        options = game.screenshot("options.png")
        expect(differing_share(main, first_origin, options, first_origin, MAIN_WINDOW_REGION) > 0.2,
               "\"Options\" did not open the options screen")

        game.click(*first_place_button(OPTIONS["Apply changes"]))
        wait_for(lambda: game.geometry() == (100, 100, 1280, 720), "the applied window of 1280 by 720 at (100, 100)", 5.0)
        expect(read("config.json") == DEFAULT_SETTINGS, "applying wrote %r" % read("config.json"))
        applied_origin = game.origin()

        game.click(*first_place_button(OPTIONS["Abandon unapplied changes and leave"]))
        back = game.screenshot("back.png")
        expect(differing_share(main, first_origin, back, applied_origin, MAIN_WINDOW_REGION) < 0.01,
               "leaving the options did not return to the main screen")

        game.click(*first_place_button(MAIN_SCREEN["Credits"]))
        credits = game.screenshot("credits.png")
        expect(differing_share(main, first_origin, credits, applied_origin, MAIN_WINDOW_REGION) > 0.2,
               "\"Credits\" did not open the credits screen")

        game.click(*first_place_button(0, text_lines=1))  # "Cool"
        back = game.screenshot("back-from-credits.png")
        expect(differing_share(main, first_origin, back, applied_origin, MAIN_WINDOW_REGION) < 0.01,
               "\"Cool\" did not return to the main screen")

        game.click(*first_place_button(MAIN_SCREEN["Quit"]), then_rest=False)
        code = game.wait_for_exit()
        expect(code == 0, "the game ended with exit code %d after \"Quit\"" % code)
    finally:
        game.stop()

    expect(read("config.json") == DEFAULT_SETTINGS, "config.json holds %r" % read("config.json"))
    info = read("Info_log.txt")
    for text in ("Refresh rate guessed at ", "ENet initialised successfully!"):
        expect(text in info, "Info_log.txt lacks %r" % text)
    layout = read("Data/imgui.ini")
    for window in ("Main screen", "Options", "Credits"):
        expect("[Window][%s]" % window in layout, "the window %r never showed" % window)
    expect(read("Error_log.txt") == "", "errors were logged: %r" % read("Error_log.txt"))


def scenario_close_window(binary, close_tool):
    game = Game(binary)
    try:
        game.wait_until_shown()
        game.click(*first_place_button(MAIN_SCREEN["Options"]))
        code = game.close(close_tool)
        expect(code == 0, "the game ended with exit code %d after its window was closed" % code)
    finally:
        game.stop()
    expect(read("config.json") == DEFAULT_SETTINGS, "config.json holds %r" % read("config.json"))
    # The user-interface library writes its layout when it is shut down, so the game ended in order.
    expect("[Window][Options]" in read("Data/imgui.ini"), "the layout was not saved at shut-down")


def scenario_play(binary, _close_tool):
    # The level select lists the shipped levels sorted by name; the first teaches jumping.
    levels = sorted(name for name in os.listdir("Data/Levels") if name.endswith(".lrl"))
    expect(levels, "the run-time tree ships no level")
    level = levels[0]
    game = Game(binary)
    try:
        game.wait_until_shown()
        game.click(*first_place_button(MAIN_SCREEN["Play"]))
        game.click(*first_place_button(levels.index(level)))
        wait_for(lambda: "Starting game with 1 player(s). You are player 0" in read("Info_log.txt"),
                 "the level %r to start" % level)

        # Once the figure has landed: a jump held to its top and back down (some three units of
        # travel), a turn each way, then a respawn with R.
        # Play advances one fixed step a frame, so on a busy machine, where the software renderer
        # composes far fewer than 60 frames a second (a test run shares the machine with many
        # others), a second of play takes longer: the jump is held long enough for some 15 frames
        # a second.
        game.rest()
        time.sleep(1.5)
        game.hold("w", 8.0)
        game.hold("d", 0.5)
        game.hold("a", 0.5)
        with game.holding("r"):
            wait_for(lambda: "The local player respawned at (" in read("Info_log.txt"), "the respawn")

        with game.holding("Escape"):
            wait_for(lambda: "Level ended; the local player travelled " in read("Info_log.txt"), "the level to end")
        time.sleep(0.5)

        # Back on the level select: "Back" (after the level buttons) and then "Quit".
        game.click(*first_place_button(len(levels)))
        game.click(*first_place_button(MAIN_SCREEN["Quit"]), then_rest=False)
        code = game.wait_for_exit()
        expect(code == 0, "the game ended with exit code %d after \"Quit\"" % code)
    finally:
        game.stop()

    info = read("Info_log.txt")
    travelled = re.search(r"Level ended; the local player travelled ([0-9.e+-]+) units\.", info)
    expect(travelled is not None, "no end of level in Info_log.txt")
    expect(float(travelled.group(1)) > 2.5, "the figure did not jump: it travelled %s units" % travelled.group(1))
    expect(info.count("Starting game with") == 1, "the level started more than once")
    layout = read("Data/imgui.ini")
    expect("[Window][Select your level:]" in layout, "the level select never showed")
    expect(read("Error_log.txt") == "", "errors were logged: %r" % read("Error_log.txt"))


def scenario_no_display(binary, _close_tool):
    environment = {key: value for key, value in os.environ.items() if key not in ("DISPLAY", "WAYLAND_DISPLAY")}
    game = Game(binary, environment=environment)
    try:
        code = game.wait_for_exit(30.0)
    finally:
        game.stop()
    expect(code > 0, "without a display the game ended with %d, not a plain failure exit" % code)
    expect("Quorvane Ledrow could not start: " in read("game-stderr.txt"), "no clear message: %r" % read("game-stderr.txt"))
    expect("could not start" in read("Warning_log.txt"), "the failure is not in Warning_log.txt")


def main():
    scenario, binary, close_tool = sys.argv[1:4]
    scenarios = {"menus": scenario_menus, "close-window": scenario_close_window, "no-display": scenario_no_display,
                 "play": scenario_play}
    return run_scenario(lambda: scenarios[scenario](os.path.abspath(binary), os.path.abspath(close_tool)),
                        "passed: %s" % scenario, logs=("game-stdout.txt", "game-stderr.txt", "Error_log.txt"))


if __name__ == "__main__":
    sys.exit(main())
