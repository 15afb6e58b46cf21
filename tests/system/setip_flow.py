#!/usr/bin/env python3
"""Drives orvalan-config on an X display as a person would, and checks what it did.

Runs inside the workstation's network namespace, where the X server runs too; the simulated
devices answer in the device network. The person waits for the first discovery, selects the first
device, opens Set IP, changes the last byte of its address, types the access password and clicks
OK, then clicks Refresh; then selects the second device and tries a wrong password; then clicks
Exit. Each step is checked on the screen (screenshots kept in the artefacts folder), and at the
end every request is checked in the simulator's log and, byte for byte, in the datagrams that
reached the device network.
"""

import argparse
import json
import os
import subprocess
import sys
import time

import ndcp_checks as nc
import screen
from ndcp_checks import CheckFailure, Expected, require

MAIN_TITLE = "Orvalan Storage Configuration Utility"
DIALOG_TITLE = "Set IP and Netmask"
MAIN_SIZE = (757, 498)
DIALOG_POSITION = (224, 150)
DIALOG_SIZE = (273, 152)

# Places inside the main window: the device list, the status bar and the centres of the menu
# buttons (left 24, 104 by 38, in the menu panel below the 89 pixel banner).
LIST_LAYOUT = ((152, 89, 605, 390), ((1, 120), (121, 120), (241, 120), (361, 243)))
STATUS_BAR = (0, 479, 757, 19)
MENU_TOP = 89
BUTTONS = {"Set IP": 82, "Manage": 146, "Refresh": 210, "Exit": 274, "About": 340}

# Places inside the Set IP dialog: the fourth IP address field is the rightmost 36 pixels of the
# panel at (101, 13), 163 by 25; the password edit and the OK button.
FOURTH_IP_FIELD = (101 + 163 - 18, 13 + 12)
PASSWORD_EDIT = (102 + 79, 83 + 10)
OK_BUTTON = (116 + 29, 118 + 12)

DISCOVERY_SECONDS = 3.0

# The simulated devices (ndcp-sim --devices 2 --other-models 1): two of the model, listed, and
# one of another model, which answers but must not be listed.
DEVICE_1, DEVICE_2, OTHER_DEVICE = "001122334401", "001122334402", "001122334403"
NETMASK = "255.255.255.0"
DEVICE_1_NEW_ADDRESS = "192.168.0.177"  # was 192.168.0.101: the test changes the last byte
DEVICE_2_ADDRESS = "192.168.0.102"
RIGHT_PASSWORD, WRONG_PASSWORD = "k3y-Pass-9", "k3y-Pass-8"


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
        return wait_for(f"request cmd={command} seq={sequence} in the simulator's log", timeout, probe)

    def wait_answers(self, sequence, count, timeout):
        def probe():
            self.alive()
            return len(nc.answers_to(self.entries(), sequence)) >= count
        wait_for(f"{count} answers to seq={sequence} in the simulator's log", timeout, probe)


class Session:
    """One run of the utility and the person in front of it."""

    def __init__(self, args):
        self.args = args
        self.desktop = Desktop(args.display, args.artefacts)
        self.sim = SimLog(args.sim_log, self.require_running)
        self.app = None
        self.origin = (0, 0)
        self.layout = None
        self.shots = {}
        self.first_shot_while_discovering = False

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

    # -- the steps ------------------------------------------------------------------------------

    def open_main_window(self):
        window = self.desktop.wait_window(MAIN_TITLE, 20, self.require_running)
        x, y, width, height = self.desktop.geometry(window)
        screen_width, screen_height = self.desktop.screen_size()
        require((width, height) == MAIN_SIZE, f"main window is {width}x{height}, expected 757x498")
        centre = ((screen_width - width) // 2, (screen_height - height) // 2)
        require(abs(x - centre[0]) <= 1 and abs(y - centre[1]) <= 1,
                f"main window at {x},{y}, not centred ({centre[0]},{centre[1]})")
        self.origin = (x, y)
        frame, columns = LIST_LAYOUT
        self.layout = screen.ListLayout(screen.Rect(x + frame[0], y + frame[1], frame[2], frame[3]), columns)
        log(f"main window {width}x{height} at {x},{y}")

    def first_discovery(self):
        sent = self.sim.wait_request(nc.DISCOVER, 0, 15)
        view = self.device_list("01-first-discovery")
        elapsed = time.time() - float(sent["t"])
        self.first_shot_while_discovering = elapsed < DISCOVERY_SECONDS - 0.5
        if self.first_shot_while_discovering:
            require(not view.rows, f"{len(view.rows)} rows {elapsed:.1f} s into the first discovery")
        self.sim.wait_answers(0, 3, 5)
        view = self.wait_list("02-discovered", "the first discovery to list two devices", DISCOVERY_SECONDS + 8,
                              lambda v: len(v.rows) == 2)
        # Three devices answered; the one of the other model is not listed.
        time.sleep(0.5)
        view = self.device_list("02-discovered")
        require(len(view.rows) == 2, f"{len(view.rows)} rows listed after the first discovery, expected 2")
        log("first discovery: two of three answering devices listed")
        return view

    def set_ip(self, discovered):
        before = self.select_row(discovered, 0, "03-row-selected")
        self.click_button("Set IP")
        dialog = self.desktop.wait_window(DIALOG_TITLE, 10, self.require_running)
        dx, dy, width, height = self.desktop.geometry(dialog)
        require((dx, dy, width, height) == DIALOG_POSITION + DIALOG_SIZE,
                f"Set IP dialog {width}x{height} at {dx},{dy}, expected 273x152 at 224,150")
        self.shot("04-setip-dialog")
        self.desktop.click(dx + FOURTH_IP_FIELD[0], dy + FOURTH_IP_FIELD[1])
        self.desktop.key("End", "BackSpace", "BackSpace", "BackSpace")
        self.desktop.type(DEVICE_1_NEW_ADDRESS.rsplit(".", 1)[1])
        self.desktop.click(dx + PASSWORD_EDIT[0], dy + PASSWORD_EDIT[1])
        self.desktop.type(RIGHT_PASSWORD)
        time.sleep(0.3)
        self.shot("05-setip-filled")
        self.desktop.click(dx + OK_BUTTON[0], dy + OK_BUTTON[1])
        self.desktop.wait_window_gone(DIALOG_TITLE, 5, self.require_running)
        self.sim.wait_answers(1, 1, 5)
        after = self.wait_list("06-after-set", "the row to show the new address", 5,
                               lambda v: len(v.rows) == 2 and not screen.same_text(v.text(0, 2), before.text(0, 2)))
        for column, name in ((0, "device name"), (1, "MAC address"), (3, "netmask")):
            require(screen.same_text(after.text(0, column), before.text(0, column)),
                    f"after Set IP the {name} of the row changed on screen")
        for column in range(4):
            require(screen.same_text(after.text(1, column), before.text(1, column)),
                    "after Set IP the other device's row changed on screen")
        log("Set IP: the row shows the new address")
        return after

    def refresh(self, discovered, after_set):
        self.click_button("Refresh")
        sent = self.sim.wait_request(nc.DISCOVER, 2, 5)
        self.wait_list("07-refreshing", "Refresh to empty the list", DISCOVERY_SECONDS, lambda v: not v.rows)
        require(time.time() - float(sent["t"]) < DISCOVERY_SECONDS, "the list emptied only after the discovery")
        if self.first_shot_while_discovering:
            require(self.status_bar("07-refreshing") == self.status_bar("01-first-discovery"),
                    "the status bar during Refresh differs from the one during the first discovery")
        require(self.status_bar("07-refreshing") != self.status_bar("02-discovered"),
                "the status bar during Refresh still shows the last count")
        self.sim.wait_answers(2, 3, 5)
        refreshed = self.wait_list("08-refreshed", "Refresh to list two devices", DISCOVERY_SECONDS + 8,
                                   lambda v: len(v.rows) == 2)
        time.sleep(0.5)
        refreshed = self.device_list("08-refreshed")
        require(len(refreshed.rows) == 2, f"{len(refreshed.rows)} rows after Refresh, expected 2")
        require(self.status_bar("08-refreshed") == self.status_bar("02-discovered"),
                "the status bar after Refresh differs from the one after the first discovery (2 devices found.)")
        for column, name in ((0, "device name"), (1, "MAC address"), (3, "netmask")):
            require(screen.same_text(refreshed.text(0, column), discovered.text(0, column)),
                    f"after Refresh the first device's {name} differs from the first discovery")
        require(not screen.same_text(refreshed.text(0, 2), discovered.text(0, 2)),
                "after Refresh the first device still shows its old address")
        for column in range(4):
            require(screen.same_text(refreshed.text(1, column), discovered.text(1, column)),
                    "after Refresh the second device's row differs from the first discovery")
        require(screen.same_text(refreshed.text(0, 2), after_set.text(0, 2)),
                "the address the device reports after Refresh is not the one Set IP showed")
        log("Refresh: the device reports the new address")
        return refreshed

    def wrong_password(self, refreshed):
        before = self.select_row(refreshed, 1, "09-second-selected")
        self.click_button("Set IP")
        dialog = self.desktop.wait_window(DIALOG_TITLE, 10, self.require_running)
        dx, dy, _, _ = self.desktop.geometry(dialog)
        self.desktop.click(dx + PASSWORD_EDIT[0], dy + PASSWORD_EDIT[1])
        self.desktop.type(WRONG_PASSWORD)
        time.sleep(0.3)
        self.shot("10-wrong-password")
        self.desktop.click(dx + OK_BUTTON[0], dy + OK_BUTTON[1])
        self.sim.wait_answers(3, 1, 5)
        box = self.desktop.wait_window("orvalan-config", 5, self.require_running)
        self.desktop.wait_window_gone(DIALOG_TITLE, 5, self.require_running)
        self.shot("11-password-error")
        self.desktop.xdotool("windowfocus", "--sync", box, timeout=10)
        self.desktop.key("Return")
        self.desktop.wait_window_gone("orvalan-config", 5, self.require_running)
        after = self.device_list("12-after-error")
        for column in range(4):
            require(screen.same_text(after.text(1, column), before.text(1, column)),
                    "after the refused Set IP the device's row changed on screen")
        require(self.status_bar("12-after-error") != self.status_bar("09-second-selected"),
                "the refused Set IP left the status bar as it was")
        log("wrong password: refused, the row unchanged")

    def exit(self):
        self.click_button("Exit")
        try:
            code = self.app.wait(timeout=10)
        except subprocess.TimeoutExpired as expired:
            raise CheckFailure("orvalan-config did not end within 10 s of Exit") from expired
        require(code == 0, f"orvalan-config ended with exit code {code} after Exit")
        log("Exit: the program ended with exit code 0")

    # -- the datagrams --------------------------------------------------------------------------

    def expected_requests(self):
        discover = dict(command=nc.DISCOVER, target=nc.BROADCAST_MAC, password=nc.DISCOVERY_PASSWORD,
                        elements=b"")
        return [
            Expected("first Discover", sequence=0, **discover),
            Expected("Set of the first device", nc.SET, 1, DEVICE_1, nc.ACCESS_PASSWORD_TEXTS[RIGHT_PASSWORD],
                     nc.set_elements(DEVICE_1_NEW_ADDRESS, NETMASK)),
            Expected("Discover of Refresh", sequence=2, **discover),
            Expected("Set with the wrong password", nc.SET, 3, DEVICE_2, nc.ACCESS_PASSWORD_TEXTS[WRONG_PASSWORD],
                     nc.set_elements(DEVICE_2_ADDRESS, NETMASK)),
        ]

    def check_datagrams(self):
        expected = self.expected_requests()
        entries = self.sim.entries()
        nc.check_logged_requests(entries, expected)
        for sequence, auth, what in ((0, "default", "first Discover"), (1, "access", "Set"),
                                     (2, "default", "Discover of Refresh"), (3, "none", "wrong password")):
            nc.check_authentication(entries, what, sequence, auth)
        all_devices = [DEVICE_1, DEVICE_2, OTHER_DEVICE]
        nc.check_answers(entries, "first Discover", 0, all_devices, 0)
        nc.check_answers(entries, "Set", 1, [DEVICE_1], 0)
        nc.check_answers(entries, "Discover of Refresh", 2, all_devices, 0)
        nc.check_answers(entries, "Set with the wrong password", 3, [DEVICE_2], 1)
        nc.check_changes(entries, [(DEVICE_1, DEVICE_1_NEW_ADDRESS, NETMASK)])
        log("simulator's log: four requests as expected")

        with open(self.args.capture, encoding="ascii") as capture:
            captured = [json.loads(line) for line in capture if line.strip()]
        nc.check_captured(captured, expected, self.args.client_address)
        log("captured datagrams: broadcast to 255.255.255.255:64512, every byte as expected")
        check_oracle(bytes.fromhex(captured[1]["payload"]), expected[1])

    def run(self):
        self.start()
        try:
            self.open_main_window()
            discovered = self.first_discovery()
            after_set = self.set_ip(discovered)
            refreshed = self.refresh(discovered, after_set)
            self.wrong_password(refreshed)
            self.exit()
        finally:
            self.stop()
        self.check_datagrams()


def check_oracle(datagram, expected):
    """The byte comparison must notice a fault in any field: each mutation of a right datagram fails."""
    mutations = {
        "password text of the typed password": lambda d: d[:12] + nc.authenticator(d, RIGHT_PASSWORD) + d[28:],
        "reserved byte 11": lambda d: d[:11] + b"\x01" + d[12:],
        "fixed byte 34": lambda d: d[:34] + b"\x00" + d[35:],
        "broadcast target": lambda d: d[:28] + b"\xFF" * 6 + d[34:],
        "last address byte": lambda d: d[:-8] + b"\x65" + d[-7:],
    }
    nc.check_datagram("right datagram", datagram, expected)
    for name, mutate in mutations.items():
        try:
            nc.check_datagram(name, mutate(datagram), expected)
        except CheckFailure:
            continue
        raise CheckFailure(f"the datagram check did not notice a wrong {name}")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", required=True)
    parser.add_argument("--display", required=True)
    parser.add_argument("--sim-log", required=True)
    parser.add_argument("--capture", required=True)
    parser.add_argument("--client-address", required=True)
    parser.add_argument("--artefacts", required=True)
    args = parser.parse_args(argv[1:])
    try:
        Session(args).run()
    except (AssertionError, subprocess.TimeoutExpired, subprocess.CalledProcessError) as failure:
        print(f"FAILED: {failure}", file=sys.stderr, flush=True)
        return 1
    log(f"passed; screenshots in {args.artefacts}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
