"""What the end-to-end tests share: the X display, the simulator's log and the running utility.

A test's driver runs inside the workstation's network namespace, where the X server runs too; the
simulated devices answer in the device network.
"""

import argparse
import os
import subprocess
import sys
import time

import ndcp_checks as nc
import screen
from ndcp_checks import CheckFailure, require

MAIN_TITLE = "Orvalan Storage Configuration Utility"
MAIN_SIZE = (757, 498)

# Places inside the main window: the device list, the status bar and the centres of the menu
# buttons (left 24, 104 by 38, in the menu panel below the 89 pixel banner).
LIST_LAYOUT = ((152, 89, 605, 390), ((1, 120), (121, 120), (241, 120), (361, 243)))
STATUS_BAR = (0, 479, 757, 19)
MENU_TOP = 89
BUTTONS = {"Set IP": 82, "Manage": 146, "Refresh": 210, "Exit": 274, "About": 340}

DISCOVERY_SECONDS = 3.0

# The Set IP dialog, and places inside it: the IP address fields are 36 pixels wide in the panel at
# (101, 13), 163 by 25, the fourth being the rightmost; the password edit and the OK button.
DIALOG_TITLE = "Set IP and Netmask"
DIALOG_POSITION = (224, 150)
DIALOG_SIZE = (273, 152)
FIRST_IP_FIELD = (101 + 18, 13 + 12)
FOURTH_IP_FIELD = (101 + 163 - 18, 13 + 12)
PASSWORD_EDIT = (102 + 79, 83 + 10)
OK_BUTTON = (116 + 29, 118 + 12)


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


class Desktop:
    """The X display: windows, pointer, keyboard and screenshots."""

    def __init__(self, display, artefacts):
        self.display = display
        self.artefacts = artefacts
        self.env = dict(os.environ, DISPLAY=display)

    def xdotool(self, *args, timeout=15, check=True):
        result = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=timeout)
        if check and result.returncode != 0:
            raise CheckFailure(f"xdotool {' '.join(args)} failed: {result.stderr.strip()}")
        return result

    def visible_windows(self, title):
        result = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$", check=False)
        return [line for line in result.stdout.split() if line]

    def wait_window(self, title, timeout, alive=lambda: None):
        def probe():
            alive()
            return self.visible_windows(title)
        found = wait_for(f'a visible window named "{title}"', timeout, probe)
        require(len(found) == 1, f'{len(found)} visible windows named "{title}"')
        return found[0]

    def wait_window_gone(self, title, timeout, alive=lambda: None):
        def probe():
            alive()
            return not self.visible_windows(title)
        wait_for(f'the window "{title}" to close', timeout, probe)

    def geometry(self, window):
        values = {}
        for line in self.xdotool("getwindowgeometry", "--shell", window).stdout.splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.lstrip("-").isdigit() else value
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def screen_size(self):
        width, height = self.xdotool("getdisplaygeometry").stdout.split()
        return int(width), int(height)

    def click(self, x, y):
        self.xdotool("mousemove", "--sync", str(x), str(y))
        time.sleep(0.1)
        self.xdotool("click", "1")

    def key(self, *keys):
        self.xdotool("key", "--delay", "60", *keys)

    def type(self, text):
        self.xdotool("type", "--delay", "60", "--", text)

    def shot(self, name):
        return screen.take_screenshot(self.display, os.path.join(self.artefacts, name + ".png"))


def wait_for(description, timeout, probe, interval=0.2):
    """Polls probe until it returns something true, and returns that; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise CheckFailure(f"waited {timeout:g} s for {description}")
        time.sleep(interval)


class SimLog:
    """The simulator's log; alive() raises when waiting makes no more sense."""

    def __init__(self, path, alive):
        self.path = path
        self.alive = alive

    def entries(self):
        return nc.read_log(self.path)

    def wait_request(self, command, sequence, timeout):
        def probe():
            self.alive()
            for entry in nc.events(self.entries(), "request"):
                if entry.get("cmd") == str(command) and entry.get("seq") == str(sequence):
                    return entry
            return None
        return wait_for(f"request cmd={command} seq={sequence} in the simulator's log {os.path.basename(self.path)}",
                        timeout, probe)

    def wait_answers(self, sequence, count, timeout):
        def probe():
            self.alive()
            return len(nc.answers_to(self.entries(), sequence)) >= count
        wait_for(f"{count} answers to seq={sequence} in the simulator's log {os.path.basename(self.path)}", timeout,
                 probe)


class AppSession:
    """One run of the utility and the person in front of it: the program, the screen and the menu."""

    def __init__(self, args):
        self.args = args
        self.desktop = Desktop(args.display, args.artefacts)
        self.sim = SimLog(args.sim_log, self.require_running)
        self.app = None
        self.origin = (0, 0)
        self.window = None
        self.layout = None
        self.shots = {}

    # -- the program ----------------------------------------------------------------------------

    def start(self):
        runtime = os.path.join(self.args.artefacts, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        env = dict(os.environ, DISPLAY=self.args.display, QT_QPA_PLATFORM="xcb", LANG="C", LC_ALL="C", TZ="UTC",
                   XDG_RUNTIME_DIR=runtime)
        with open(os.path.join(self.args.artefacts, "orvalan-config.log"), "wb") as out:
            self.app = subprocess.Popen([self.args.app], env=env, stdout=out, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        log(f"started {self.args.app} (pid {self.app.pid}) on {self.args.display}")

    def stop(self):
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait(timeout=10)

    def require_running(self):
        require(self.app.poll() is None, f"orvalan-config ended with exit code {self.app.returncode}")

    # -- the screen -----------------------------------------------------------------------------

    def shot(self, name):
        self.require_running()
        image = self.desktop.shot(name)
        self.shots[name] = image
        return image

    def device_list(self, name):
        return screen.DeviceListView(self.shot(name), self.layout)

    def status_bar(self, name):
        x, y, width, height = STATUS_BAR
        return self.shots[name].region(screen.Rect(self.origin[0] + x, self.origin[1] + y, width, height))

    def wait_list(self, name, description, timeout, condition):
        """Takes screenshots until the device list meets the condition, and returns that list."""
        def probe():
            view = self.device_list(name)
            return view if condition(view) else None
        return wait_for(description, timeout, probe, interval=0.3)

    def click_button(self, button):
        self.desktop.click(self.origin[0] + 24 + 52, self.origin[1] + MENU_TOP + BUTTONS[button] + 19)

    def press(self, *keys):
        """Presses keys in the main window, which takes the keyboard first (there is no window
        manager to give it back when a dialog closes)."""
        self.desktop.xdotool("windowfocus", "--sync", self.window, timeout=10)
        self.desktop.key(*keys)

    def click_row(self, view, row):
        self.desktop.click(*view.row_centre(row))

    def select_row(self, view, row, name):
        """Clicks a row and waits until it, and only it, shows as selected."""
        self.click_row(view, row)
        white = (255, 255, 255)

        def selected(v):
            return (len(v.rows) == len(view.rows) and v.row_background(row) != white and
                    all(v.row_background(r) == white for r in range(len(v.rows)) if r != row))
        return self.wait_list(name, f"row {row} to show as selected", 5, selected)

    def confirm_set_ip(self, dialog, password, name):
        """Types the access password into the Set IP dialog at dialog (x, y), keeps a screenshot and
        clicks OK."""
        dx, dy = dialog
        self.desktop.click(dx + PASSWORD_EDIT[0], dy + PASSWORD_EDIT[1])
        self.desktop.type(password)
        time.sleep(0.3)
        self.shot(name)
        self.desktop.click(dx + OK_BUTTON[0], dy + OK_BUTTON[1])

    def open_main_window(self):
        window = self.desktop.wait_window(MAIN_TITLE, 20, self.require_running)
        x, y, width, height = self.desktop.geometry(window)
        screen_width, screen_height = self.desktop.screen_size()
        require((width, height) == MAIN_SIZE, f"main window is {width}x{height}, expected 757x498")
        centre = ((screen_width - width) // 2, (screen_height - height) // 2)
        require(abs(x - centre[0]) <= 1 and abs(y - centre[1]) <= 1,
                f"main window at {x},{y}, not centred ({centre[0]},{centre[1]})")
        self.origin = (x, y)
        self.window = window
        frame, columns = LIST_LAYOUT
        self.layout = screen.ListLayout(screen.Rect(x + frame[0], y + frame[1], frame[2], frame[3]), columns)
        log(f"main window {width}x{height} at {x},{y}")

    def exit(self):
        self.click_button("Exit")
        try:
            code = self.app.wait(timeout=10)
        except subprocess.TimeoutExpired as expired:
            raise CheckFailure("orvalan-config did not end within 10 s of Exit") from expired
        require(code == 0, f"orvalan-config ended with exit code {code} after Exit")
        log("Exit: the program ended with exit code 0")


def drive(session_class, description, argv, extra_options=()):
    """Parses the driver's options (--app, --display, --sim-log, --artefacts and extra_options),
    runs session_class(args).run() and returns the exit code: 0 when it passed, 1 when a check
    failed."""
    parser = argparse.ArgumentParser(description=description)
    for option in ("--app", "--display", "--sim-log", *extra_options, "--artefacts"):
        parser.add_argument(option, required=True)
    args = parser.parse_args(argv[1:])
    try:
        session_class(args).run()
    except (AssertionError, subprocess.TimeoutExpired, subprocess.CalledProcessError) as failure:
        print(f"FAILED: {failure}", file=sys.stderr, flush=True)
        return 1
    log(f"passed; screenshots in {args.artefacts}")
    return 0
