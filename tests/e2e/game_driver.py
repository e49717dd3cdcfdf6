"""What every end-to-end script shares: waiting with a time-out, reading the game's files, the
user-interface metrics, screenshot pixels, and `Game`, which starts the real game binary in a run
folder on a display and drives it with real X input (xdotool) on that display.

Plain standard library; the scripts import it from their own folder.
"""
import contextlib
import os
import subprocess
import time

WINDOW_NAME = "Quorvane Ledrow"

# With the 32-pixel menu font a title bar and a row of buttons, checkboxes, sliders or a text field
# are each 38 pixels high, a line of text 32, rows are 4 pixels apart and a window's contents are
# inset by 8 pixels.
TITLE_BAR = 38
PADDING = 8
ROW = 38
ROW_GAP = 4
TEXT_LINE = 32


def row_centre(window_top, rows=0, text_lines=0):
    """The height of the centre of the row that follows `text_lines` lines of text and `rows` rows
    of widgets in the contents of a window whose top is at `window_top` (window pixels)."""
    return window_top + TITLE_BAR + PADDING + text_lines * (TEXT_LINE + ROW_GAP) + rows * (ROW + ROW_GAP) + ROW // 2


# A window the library has not seen before opens at (60, 60) and fits its contents: so do the main
# screen, the options, the credits and the level select in a run folder without a layout file.
FIRST_PLACE = 60
# Inside even the narrowest button ("Play", "Cool"), and clear of the resize grips that take the
# mouse in a window's bottom corners (32 pixels square) and overlap the last button's left end.
BUTTON_X = FIRST_PLACE + PADDING + 42
MAIN_SCREEN = {"Play": 0, "Level editor": 1, "Options": 2, "Credits": 3, "Quit": 4}


def first_place_button(row, text_lines=0):
    """A point inside the button on `row`, below `text_lines` lines of text, of a window at (60, 60)."""
    return BUTTON_X, row_centre(FIRST_PLACE, row, text_lines)


class Failure(Exception):
    pass


def run(*command, environment=None):
    return subprocess.run(command, check=True, capture_output=True, text=True, env=environment).stdout


def read(path):
    """The text of `path`, or "" while it does not exist."""
    try:
        with open(path, encoding="utf-8", errors="replace") as file:
            return file.read()
    except OSError:
        return ""


def wait_for(condition, what, timeout=20.0):
    """Polls `condition` until it answers something true, which is returned; a slow machine makes
    a slow wait, and only the time-out fails."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise Failure("timed out waiting for " + what)


def expect(condition, message):
    if not condition:
        raise Failure(message)


def standard_deviation(image):
    """Near 0 for a blank screenshot."""
    return float(run("identify", "-format", "%[fx:standard_deviation]", image))


def region_pixels(image, left, top, width, height):
    """The region's pixels of a screenshot as bytes, red, green and blue for each, row by row."""
    return subprocess.run(["convert", image, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage",
                           "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout


class LogCursor:
    """Waits for lines that appear in a log file after the last line waited for."""

    def __init__(self, path):
        self.path = path
        self.seen = 0

    def wait(self, text, timeout=20.0):
        def found():
            lines = read(self.path).splitlines()
            for index in range(self.seen, len(lines)):
                if text in lines[index]:
                    self.seen = index + 1
                    return True
            return False
        wait_for(found, "%r in %s" % (text, self.path), timeout)


class Game:
    """One game process in `folder` on `display` (by default the current folder and display).
    Its standard output and error go to "game-stdout.txt" and "game-stderr.txt" there. Points
    are in game-window pixels. Scripts set the class attributes below in a subclass where their
    scenarios were tuned to other values."""

    # Where the mouse rests after a click, away from every user-interface window.
    RESTING_POINT = (1000, 600)
    # Pauses after a mouse move and after the move to the resting point, seconds.
    MOVE_SETTLE = 0.2
    REST_SETTLE = 0.3
    # The default time-out of the waits for the window and for log lines, seconds.
    WAIT_TIMEOUT = 20.0

    def __init__(self, binary, folder=None, display=None, environment=None, name="game"):
        self.name = name
        self.folder = folder if folder is not None else os.getcwd()
        if environment is None and display is not None:
            environment = dict(os.environ, DISPLAY=display)
        self.environment = environment
        self.stdout = open(os.path.join(self.folder, "game-stdout.txt"), "w")
        self.stderr = open(os.path.join(self.folder, "game-stderr.txt"), "w")
        self.process = subprocess.Popen([binary], cwd=self.folder, env=self.environment, stdin=subprocess.DEVNULL,
                                        stdout=self.stdout, stderr=self.stderr)
        self.window = None

    def x(self, *command):
        """Runs an X client (xdotool, import) on the game's display."""
        return run(*command, environment=self.environment)

    def path(self, name):
        return os.path.join(self.folder, name)

    def log(self, channel="Info"):
        return read(self.path(channel + "_log.txt"))

    def ended(self):
        return self.process.poll() is not None

    def wait_for_line(self, text, timeout=None, channel="Info"):
        """Waits until the log holds `text`; fails at once when the game ends first."""
        wait_for(lambda: text in self.log(channel) or self.ended(), "%r in the %s's %s log" % (text, self.name, channel),
                 timeout if timeout is not None else self.WAIT_TIMEOUT)
        if text not in self.log(channel):
            raise Failure("the %s ended (exit code %r) before logging %r" % (self.name, self.process.returncode, text))

    def wait_until_shown(self):
        """Waits for the window and the end of start-up."""
        def find_window():
            if self.ended():
                raise Failure("the %s ended during start-up with exit code %d" % (self.name, self.process.returncode))
            found = subprocess.run(["xdotool", "search", "--name", "^%s$" % WINDOW_NAME], capture_output=True,
                                   text=True, env=self.environment).stdout.split()
            return found[0] if found else None
        self.window = wait_for(find_window, "the %s's window" % self.name, self.WAIT_TIMEOUT)
        # The post effects are loaded last; on a busy machine building them takes a while.
        self.wait_for_line("post effect(s) from Effects/.", 60.0)
        time.sleep(1.0)  # a few frames, so that the windows have fitted their contents

    def geometry(self):
        """The window's (left, top, width, height) on the screen."""
        values = {}
        for line in self.x("xdotool", "getwindowgeometry", "--shell", self.window).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def origin(self):
        return self.geometry()[:2]

    def move_to(self, x, y):
        left, top = self.origin()
        self.x("xdotool", "mousemove", str(int(left + x)), str(int(top + y)))
        time.sleep(self.MOVE_SETTLE)

    def rest(self):
        self.move_to(*self.RESTING_POINT)

    def click(self, x, y, then_rest=True):
        """Clicks at (x, y), then (unless the click ends the game) moves the mouse to rest so that
        nothing is hovered in the next screenshot."""
        self.move_to(x, y)
        self.x("xdotool", "click", "1")
        time.sleep(0.3)
        if then_rest:
            self.rest()
            time.sleep(self.REST_SETTLE)

    def press(self, x, y, button=1):
        """A press and a release a few frames apart, as a hand makes them, for what reads the
        buttons once per frame and must see the press."""
        self.move_to(x, y)
        self.x("xdotool", "mousedown", str(button))
        time.sleep(0.12)
        self.x("xdotool", "mouseup", str(button))
        time.sleep(0.25)

    @contextlib.contextmanager
    def holding(self, key):
        """Holds `key` down while the block runs."""
        self.x("xdotool", "keydown", key)
        try:
            yield
        finally:
            self.x("xdotool", "keyup", key)

    def hold(self, key, seconds):
        with self.holding(key):
            time.sleep(seconds)

    def type(self, text, delay_ms=60, settle=0.3):
        self.x("xdotool", "type", "--delay", str(delay_ms), "--window", self.window, text)
        time.sleep(settle)

    def screenshot(self, name):
        """Takes the whole screen into `name` in the game's folder; answers its path."""
        path = self.path(name)
        self.x("import", "-window", "root", path)
        return path

    def wait_for_exit(self, timeout=15.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the %s did not end" % self.name)

    def close(self, close_tool, timeout=15.0):
        """Closes the window as a window manager would and waits for the game's exit code."""
        self.x(close_tool, WINDOW_NAME)
        return self.wait_for_exit(timeout)

    def stop(self):
        if not self.ended():
            self.process.kill()
            self.process.wait()
        self.stdout.close()
        self.stderr.close()


def run_scenario(scenario, passed, logs=(), tail=None, notes=()):
    """Runs `scenario()`; on a failure prints it, `notes` and the end (`tail` characters, or all)
    of each file in `logs`. Answers the script's exit code."""
    try:
        scenario()
    except (Failure, subprocess.CalledProcessError) as failure:
        print("FAILED: %s" % failure)
        for note in notes:
            print(note)
        for log in logs:
            text = read(log)
            print("--- %s\n%s" % (log, text if tail is None else text[-tail:]))
        return 1
    print(passed)
    return 0
