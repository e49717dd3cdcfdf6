#!/usr/bin/env python3
"""Two game processes play together over loopback: a host in the current folder on the current
display, and a joiner in a second run folder on a second display of its own. Both are driven
through the lobby window with real X input: each names itself, the host creates a lobby, the
joiner joins 127.0.0.1, they chat both ways, the host starts a shipped level for both and ends it.

usage: multiplayer_test.py GAME_BINARY CLOSE_WINDOW_TOOL RUN_TEST_TOOL

Both games are given a UDP port that was free a moment before (through LEDROW_PORT) in place of
the game's own 8096, which another game or test on the machine may hold; nothing here reaches past
127.0.0.1.
"""
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from game_driver import PADDING, ROW_GAP, Failure, Game, read, row_centre, run_scenario, wait_for  # noqa: E402

LEVEL = "01-first-steps.lrl"
HOST_LINE = "hello from the host"
JOINER_LINE = "hi from the joiner"

# Window placement written to each run folder's layout file before the start, so that every button
# has a known place.
LAYOUT = """[Window][Main screen]
Pos=60,60
Collapsed=0

[Window][Select your level:]
Pos=60,60
Collapsed=0

[Window][Multiplayer...?]
Pos=800,60
Size=900,700
Collapsed=0
"""
MESSAGE_AREA = 260


def below(top, text_lines=0, rows=0, areas=0):
    """The centre of the row that follows `text_lines` lines of text, `rows` rows of widgets and
    `areas` message areas, counted from the top of a window's contents."""
    return row_centre(top, rows, text_lines) + areas * (MESSAGE_AREA + ROW_GAP)


MAIN_PLAY = (60 + PADDING + 40, below(60))
LEVEL_BUTTON = (60 + PADDING + 40, below(60))  # the first level of the sorted list
LOBBY_X = 800 + PADDING + 40
# Page 0: "Who are you?", the name field, "Start server", "Join server".
NAME_FIELD = (LOBBY_X, below(60, text_lines=1))
START_SERVER = (LOBBY_X, below(60, text_lines=1, rows=1))
JOIN_SERVER = (LOBBY_X, below(60, text_lines=1, rows=2))
# Pages 1 and 2: a label, the field, the action button, "Back".
SET_UP_FIELD = NAME_FIELD
SET_UP_ACTION = START_SERVER
# Page 3: two lines (the public address line is empty here), the message area, the chat field.
HOST_MESSAGE_FIELD = (LOBBY_X, below(60, text_lines=2, areas=1))
# Page 5: one line, the message area, the chat field, "Send message".
JOINER_MESSAGE_FIELD = (LOBBY_X, below(60, text_lines=1, areas=1))
JOINER_SEND = (LOBBY_X, below(60, text_lines=1, areas=1, rows=1))

STARTED = time.monotonic()


def step(text):
    print("%6.1f s  %s" % (time.monotonic() - STARTED, text), flush=True)


class LobbyGame(Game):
    """One of the two games, with its own layout file, folder and display."""

    # Below the lobby window, clear of every button.
    RESTING_POINT = (1000, 1200)
    REST_SETTLE = 0.2
    WAIT_TIMEOUT = 30.0

    def __init__(self, name, binary, folder, display):
        os.makedirs(os.path.join(folder, "Data"), exist_ok=True)
        with open(os.path.join(folder, "Data", "imgui.ini"), "w") as layout:
            layout.write(LAYOUT)
        super().__init__(binary, folder=folder, display=display, name=name)

    def type_into(self, field, text):
        """Clicks into `field`, types `text` and checks that the field shows something new."""
        before = self.screenshot("before-typing.png")
        self.click(*field)
        self.type(text, delay_ms=40, settle=0.5)
        after = self.screenshot("after-typing.png")
        left, top = self.origin()
        region = "%dx%d+%d+%d" % (400, 30, left + field[0] - 40, top + field[1] - 15)
        difference = subprocess.run(["compare", "-metric", "AE", "-fuzz", "10%",
                                     "-extract", region, before, after, "null:"],
                                    capture_output=True, text=True, env=self.environment).stderr.strip()
        try:
            changed = float(difference.split()[0]) > 20
        except (ValueError, IndexError):
            changed = True  # compare could not tell; the log lines below will
        if not changed:
            raise Failure("%r typed into the %s's field at %r did not show" % (text, self.name, field))

    def key(self, name, hold):
        self.rest()
        self.hold(name, hold)
        time.sleep(0.3)

    def close(self, close_tool):
        return super().close(close_tool, 20)


class SecondSeat:
    """A second run folder and display, made and kept by the test runner for as long as needed."""

    def __init__(self, run_test_tool):
        handle, self.info = tempfile.mkstemp(prefix="ledrow-seat-")
        os.close(handle)
        os.remove(self.info)
        self.runner = subprocess.Popen(
            [run_test_tool, "--display", "--runtime", "sh", "-c",
             'echo "$DISPLAY $PWD $$" > "%s.part" && mv "%s.part" "%s" && exec sleep 900' % ((self.info,) * 3)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        text = wait_for(lambda: read(self.info).strip(), "the second display and run folder", 30.0)
        self.display, self.folder, pid = text.split()
        self.sleeper = int(pid)

    def close(self):
        # The runner removes the folder and stops the display once its command has ended.
        try:
            os.kill(self.sleeper, signal.SIGTERM)
        except OSError:
            pass
        try:
            self.runner.wait(20)
        except subprocess.TimeoutExpired:
            self.runner.kill()
        if os.path.exists(self.info):
            os.remove(self.info)


def free_udp_port():
    """A UDP port that nothing on this machine holds just now, as the host binds it: on every address."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("", 0))
        return probe.getsockname()[1]


def play_together(binary, close_tool, run_test_tool):
    # Both games inherit it; a lobby of some other process on 8096 is never reached.
    os.environ["LEDROW_PORT"] = str(free_udp_port())
    step("the games use UDP port " + os.environ["LEDROW_PORT"])
    seat = SecondSeat(run_test_tool)
    host = LobbyGame("host", binary, os.getcwd(), os.environ["DISPLAY"])
    joiner = LobbyGame("joiner", binary, seat.folder, seat.display)
    try:
        host.wait_until_shown()
        joiner.wait_until_shown()
        step("both games are up")

        # The host names itself and opens lobby "Den".
        host.click(*MAIN_PLAY)
        host.type_into(NAME_FIELD, "Hana")
        host.click(*START_SERVER)
        host.type_into(SET_UP_FIELD, "Den")
        host.click(*SET_UP_ACTION)  # "Create server!"
        step("the host created lobby Den")

        # The joiner names itself and joins 127.0.0.1.
        joiner.click(*MAIN_PLAY)
        joiner.type_into(NAME_FIELD, "Ada")
        joiner.click(*JOIN_SERVER)
        joiner.type_into(SET_UP_FIELD, "127.0.0.1")
        joiner.click(*SET_UP_ACTION)  # "Join game!"
        joiner.wait_for_line("Successfully joined a game!")
        joiner.wait_for_line("Lobby: Welcome to Den, Ada. You are player 1.")
        host.wait_for_line("Lobby: Ada has joined the server.")
        step("the joiner joined")
        # Only the host picks levels: the joiner's level buttons are greyed out.
        joiner.click(*LEVEL_BUTTON)
        time.sleep(1.0)
        if "Starting game" in joiner.log():
            raise Failure("the joiner started a level by itself")

        # Chat both ways: the host sends with Enter, the joiner with the button.
        host.type_into(HOST_MESSAGE_FIELD, HOST_LINE)
        # Held over a few frames: the library sees the keys' state once a frame, not each event.
        host.key("Return", hold=0.3)
        joiner.wait_for_line("Lobby: Hana: " + HOST_LINE)
        joiner.type_into(JOINER_MESSAGE_FIELD, JOINER_LINE)
        joiner.click(*JOINER_SEND)
        host.wait_for_line("Lobby: Ada: " + JOINER_LINE)
        step("both chat lines arrived")

        # The host starts a shipped level for both, they play a moment, and the host ends it.
        host.click(*LEVEL_BUTTON)
        host.wait_for_line("Starting game with 2 player(s). You are player 0")
        joiner.wait_for_line("Starting game with 2 player(s). You are player 1")
        step("both play the level")
        joiner.key("Right", hold=1.0)
        host.key("Escape", hold=0.3)
        host.wait_for_line("Level ended; the local player travelled")
        joiner.wait_for_line("This player departed - informing server.")
        joiner.wait_for_line("Level ended; the local player travelled")
        step("both left the level")

        for game in (joiner, host):
            code = game.close(close_tool)
            if code != 0:
                raise Failure("the %s ended with exit code %d" % (game.name, code))
            step("the %s closed" % game.name)
        for game in (host, joiner):
            errors = game.log("Error")
            if errors:
                raise Failure("the %s logged errors: %r" % (game.name, errors))
            # The records of a session that goes right are all used; a dropped one is a warning.
            drops = [line for line in game.log("Warning").splitlines() if "Dropped" in line]
            if drops:
                raise Failure("the %s dropped records: %r" % (game.name, drops))
    except Failure:
        for game in (host, joiner):
            print("--- %s: Info_log.txt\n%s--- Warning_log.txt\n%s--- Error_log.txt\n%s"
                  % (game.name, game.log(), game.log("Warning"), game.log("Error")))
        raise
    finally:
        host.stop()
        joiner.stop()
        seat.close()
        step("the second seat is gone")


def main():
    binary, close_tool, run_test_tool = (os.path.abspath(path) for path in sys.argv[1:4])
    return run_scenario(lambda: play_together(binary, close_tool, run_test_tool), "passed: two games played together")


if __name__ == "__main__":
    sys.exit(main())
