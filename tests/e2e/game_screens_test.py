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
import subprocess
import sys
import time

WINDOW_NAME = "Quorvane Ledrow"
DEFAULT_SETTINGS = '{\n "fullscreen": false,\n "resolutionScale": 1.0\n}'

# Where the user-interface windows put their buttons, in game-window pixels. A window the library
# has not seen before opens at (60, 60) and fits its contents; with the 32-pixel menu font a title
# bar and a row of buttons, checkboxes or sliders are each 38 pixels high, rows are 4 pixels apart
# and the contents are inset by 8 pixels.
WINDOW_ORIGIN = 60
TITLE_BAR = 38
PADDING = 8
ROW = 38
ROW_GAP = 4
TEXT_LINE = 32
# Inside even the narrowest button ("Play", "Cool"), and clear of the resize grips that take the
# mouse in a window's bottom corners (32 pixels square) and overlap the last button's left end.
BUTTON_X = WINDOW_ORIGIN + PADDING + 42
CONTENT_TOP = WINDOW_ORIGIN + TITLE_BAR + PADDING


def row_centre(row, text_lines_above=0):
    return CONTENT_TOP + text_lines_above * (TEXT_LINE + ROW_GAP) + row * (ROW + ROW_GAP) + ROW // 2


MAIN_SCREEN = {"Play": 0, "Level editor": 1, "Options": 2, "Credits": 3, "Quit": 4}
OPTIONS = {"Fullscreen: ": 0, "Resolution scale: ": 1, "Apply changes": 2, "Apply and leave": 3,
           "Abandon unapplied changes and leave": 4}
# The region the main screen's window covers, compared between screenshots.
MAIN_WINDOW_REGION = (WINDOW_ORIGIN, WINDOW_ORIGIN, 170, 260)
# Somewhere in the game window away from every user-interface window, so that nothing is hovered.
RESTING_POINT = (1000, 600)


class Failure(Exception):
    pass


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def wait_for(condition, what, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise Failure("timed out waiting for " + what)


def read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            return file.read()
    except OSError:
        return ""


class Game:
    def __init__(self, binary, environment=None):
        self.stdout = open("game-stdout.txt", "w")
        self.stderr = open("game-stderr.txt", "w")
        self.process = subprocess.Popen([binary], stdin=subprocess.DEVNULL, stdout=self.stdout,
                                        stderr=self.stderr, env=environment)
        self.window = None

    def wait_until_shown(self):
        def find_window():
            if self.process.poll() is not None:
                raise Failure("the game ended during start-up with exit code %d" % self.process.returncode)
            found = subprocess.run(["xdotool", "search", "--name", "^%s$" % WINDOW_NAME],
                                   capture_output=True, text=True).stdout.split()
            return found[0] if found else None
        self.window = wait_for(find_window, "the game window")
        wait_for(lambda: "ENet initialised successfully!" in read("Info_log.txt"), "the end of start-up")
        time.sleep(1.0)  # a few frames, so that the windows have fitted their contents

    def geometry(self):
        values = {}
        for line in run("xdotool", "getwindowgeometry", "--shell", self.window).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def move_to(self, x, y):
        left, top, _, _ = self.geometry()
        run("xdotool", "mousemove", str(left + x), str(top + y))
        time.sleep(0.2)

    def click(self, x, y, then_rest=True):
        """Clicks at (x, y) in the game window, then (unless the click ends the game) moves the
        mouse away so that nothing is hovered in the next screenshot."""
        self.move_to(x, y)
        run("xdotool", "click", "1")
        time.sleep(0.3)
        if then_rest:
            self.move_to(*RESTING_POINT)
            time.sleep(0.3)

    def screenshot(self, name):
        run("import", "-window", "root", name)
        return name

    def wait_for_exit(self, timeout=15.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.stdout.close()
        self.stderr.close()


def standard_deviation(image):
    return float(run("identify", "-format", "%[fx:standard_deviation]", image))


def region_pixels(image, left, top, width, height):
    return subprocess.run(["convert", image, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage",
                           "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout


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


def expect(condition, message):
    if not condition:
        raise Failure(message)


def scenario_menus(binary, _close_tool):
    expect(not os.path.exists("config.json"), "the run folder already holds a config.json")
    game = Game(binary)
    try:
        game.wait_until_shown()
        first_origin = game.geometry()[:2]
        expect(game.geometry()[2:] == (1920, 1280), "the window did not open at 1920 by 1280: %r" % (game.geometry(),))
        game.move_to(*RESTING_POINT)
        main = game.screenshot("main.png")
        expect(standard_deviation(main) > 0.01, "the main screen is blank")

        game.click(BUTTON_X, row_centre(MAIN_SCREEN["Options"]))
        options = game.screenshot("options.png")
        expect(differing_share(main, first_origin, options, first_origin, MAIN_WINDOW_REGION) > 0.2,
               "\"Options\" did not open the options screen")

        game.click(BUTTON_X, row_centre(OPTIONS["Apply changes"]))
        wait_for(lambda: game.geometry() == (100, 100, 1280, 720), "the applied window of 1280 by 720 at (100, 100)", 5.0)
        expect(read("config.json") == DEFAULT_SETTINGS, "applying wrote %r" % read("config.json"))
        applied_origin = game.geometry()[:2]

        game.click(BUTTON_X, row_centre(OPTIONS["Abandon unapplied changes and leave"]))
        back = game.screenshot("back.png")
        expect(differing_share(main, first_origin, back, applied_origin, MAIN_WINDOW_REGION) < 0.01,
               "leaving the options did not return to the main screen")

        game.click(BUTTON_X, row_centre(MAIN_SCREEN["Credits"]))
        credits = game.screenshot("credits.png")
        expect(differing_share(main, first_origin, credits, applied_origin, MAIN_WINDOW_REGION) > 0.2,
               "\"Credits\" did not open the credits screen")

        game.click(BUTTON_X, row_centre(0, text_lines_above=1))  # "Cool"
        back = game.screenshot("back-from-credits.png")
        expect(differing_share(main, first_origin, back, applied_origin, MAIN_WINDOW_REGION) < 0.01,
               "\"Cool\" did not return to the main screen")

        game.click(BUTTON_X, row_centre(MAIN_SCREEN["Quit"]), then_rest=False)
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
        game.click(BUTTON_X, row_centre(MAIN_SCREEN["Options"]))
        run(close_tool, WINDOW_NAME)
        code = game.wait_for_exit()
        expect(code == 0, "the game ended with exit code %d after its window was closed" % code)
    finally:
        game.stop()
    expect(read("config.json") == DEFAULT_SETTINGS, "config.json holds %r" % read("config.json"))
    # The user-interface library writes its layout when it is shut down, so the game ended in order.
    expect("[Window][Options]" in read("Data/imgui.ini"), "the layout was not saved at shut-down")


def hold(key, seconds):
    run("xdotool", "keydown", key)
    time.sleep(seconds)
    run("xdotool", "keyup", key)


def scenario_play(binary, _close_tool):
    # The level select lists the shipped levels sorted by name; the first teaches jumping.
    levels = sorted(name for name in os.listdir("Data/Levels") if name.endswith(".lrl"))
    expect(levels, "the run-time tree ships no level")
    level = levels[0]
    game = Game(binary)
    try:
        game.wait_until_shown()
        game.click(BUTTON_X, row_centre(MAIN_SCREEN["Play"]))
        game.click(BUTTON_X, row_centre(levels.index(level)))
        wait_for(lambda: "Starting game with 1 player(s). You are player 0" in read("Info_log.txt"),
                 "the level %r to start" % level)

        # Once the figure has landed: a jump held to its top and back down (some three units of
        # travel), a turn each way, then a respawn with R.
        game.move_to(*RESTING_POINT)
        time.sleep(1.5)
        hold("w", 1.8)
        hold("d", 0.5)
        hold("a", 0.5)
        run("xdotool", "keydown", "r")
        wait_for(lambda: "The local player respawned at (" in read("Info_log.txt"), "the respawn")
        run("xdotool", "keyup", "r")

        run("xdotool", "keydown", "Escape")
        try:
            wait_for(lambda: "Level ended; the local player travelled " in read("Info_log.txt"), "the level to end")
        finally:
            run("xdotool", "keyup", "Escape")
        time.sleep(0.5)

        # Back on the level select: "Back" (after the level buttons) and then "Quit".
        game.click(BUTTON_X, row_centre(len(levels)))
        game.click(BUTTON_X, row_centre(MAIN_SCREEN["Quit"]), then_rest=False)
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
    game = Game(binary, environment)
    try:
        code = game.wait_for_exit(30.0)
    finally:
        game.stop()
    expect(code > 0, "without a display the game ended with %d, not a plain failure exit" % code)
    expect("Quorvane Ledrow could not start: " in read("game-stderr.txt"), "no clear message: %r" % read("game-stderr.txt"))
    expect("could not start" in read("Error_log.txt"), "the failure is not in Error_log.txt")


def main():
    scenario, binary, close_tool = sys.argv[1:4]
    scenarios = {"menus": scenario_menus, "close-window": scenario_close_window, "no-display": scenario_no_display,
                 "play": scenario_play}
    try:
        scenarios[scenario](os.path.abspath(binary), os.path.abspath(close_tool))
    except (Failure, subprocess.CalledProcessError) as failure:
        print("FAILED: %s" % failure)
        for log in ("game-stdout.txt", "game-stderr.txt", "Error_log.txt"):
            print("--- %s\n%s" % (log, read(log)))
        return 1
    print("passed: %s" % scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
