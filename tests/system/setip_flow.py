#!/usr/bin/env python3
"""Drives orvalan-config on an X display as a person would, and checks what it did.

Runs inside the workstation's network namespace, where the X server runs too; the simulated
devices answer in the device network. The person waits for the first discovery, selects the first
device, opens Set IP, types its new address, Tab, the netmask, Tab, the access password and Enter,
as people type addresses, and waits while the program looks for the device at its new address;
then presses F5 to refresh; then selects the second device, presses Alt+S and tries a wrong
password; then clicks Exit. Each step is checked on the screen (screenshots kept in the artefacts
folder), and at the end every request is checked in the simulator's log and, byte for byte, in the
datagrams that reached the device network.
"""

import json
import sys
import time

import ndcp_checks as nc
import screen
from ndcp_checks import CheckFailure, Expected, require
from ui_session import DIALOG_POSITION, DIALOG_SIZE, DIALOG_TITLE, DISCOVERY_SECONDS, AppSession, drive, log

# The simulated devices (ndcp-sim --devices 2 --other-models 1): two of the model, listed, and
# one of another model, which answers but must not be listed.
DEVICE_1, DEVICE_2, OTHER_DEVICE = "001122334401", "001122334402", "001122334403"
NETMASK = "255.255.255.0"
DEVICE_1_NEW_ADDRESS = "192.168.0.177"  # was 192.168.0.101: the test changes the last byte
DEVICE_2_ADDRESS = "192.168.0.102"
RIGHT_PASSWORD, WRONG_PASSWORD = "k3y-Pass-9", "k3y-Pass-8"
# How long the program looks for a device after a Set IP.
FIND_AGAIN_SECONDS = 1.0


class Session(AppSession):
    """The Set IP flow: first discovery, Set IP, Refresh, a wrong password, Exit."""

    def __init__(self, args):
        super().__init__(args)
        self.first_shot_while_discovering = False

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
        # The dialog opens on the first field, selected: the whole address is typed over it.
        self.desktop.type(DEVICE_1_NEW_ADDRESS)
        self.desktop.key("Tab")
        self.desktop.type(NETMASK)
        self.desktop.key("Tab")
        self.desktop.type(RIGHT_PASSWORD)
        time.sleep(0.3)
        self.shot("05-setip-filled")
        self.desktop.key("Return")
        self.desktop.wait_window_gone(DIALOG_TITLE, 5, self.require_running)
        self.sim.wait_answers(1, 1, 5)
        # The program then looks for the device at its new address for about a second, and ignores
        # commands meanwhile.
        self.sim.wait_request(nc.DISCOVER, 2, 5)
        time.sleep(FIND_AGAIN_SECONDS + 0.5)
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
        # From the keyboard this time: F5 is Refresh.
        self.press("F5")
        sent = self.sim.wait_request(nc.DISCOVER, 3, 5)
        self.wait_list("07-refreshing", "Refresh to empty the list", DISCOVERY_SECONDS, lambda v: not v.rows)
        require(time.time() - float(sent["t"]) < DISCOVERY_SECONDS, "the list emptied only after the discovery")
        if self.first_shot_while_discovering:
            require(self.status_bar("07-refreshing") == self.status_bar("01-first-discovery"),
                    "the status bar during Refresh differs from the one during the first discovery")
        require(self.status_bar("07-refreshing") != self.status_bar("02-discovered"),
                "the status bar during Refresh still shows the last count")
        self.sim.wait_answers(3, 3, 5)
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
        self.press("alt+s")  # Set IP from the keyboard
        dialog = self.desktop.wait_window(DIALOG_TITLE, 10, self.require_running)
        self.confirm_set_ip(self.desktop.geometry(dialog)[:2], WRONG_PASSWORD, "10-wrong-password")
        self.sim.wait_answers(4, 1, 5)
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

    # -- the datagrams --------------------------------------------------------------------------

    def expected_requests(self):
        discover = dict(command=nc.DISCOVER, target=nc.BROADCAST_MAC, password=nc.DISCOVERY_PASSWORD,
                        elements=b"")
        return [
            Expected("first Discover", sequence=0, **discover),
            Expected("Set of the first device", nc.SET, 1, DEVICE_1, nc.ACCESS_PASSWORD_TEXTS[RIGHT_PASSWORD],
                     nc.set_elements(DEVICE_1_NEW_ADDRESS, NETMASK)),
            Expected("Discover that finds the device again", sequence=2, **discover),
            Expected("Discover of Refresh", sequence=3, **discover),
            Expected("Set with the wrong password", nc.SET, 4, DEVICE_2, nc.ACCESS_PASSWORD_TEXTS[WRONG_PASSWORD],
                     nc.set_elements(DEVICE_2_ADDRESS, NETMASK)),
        ]

    def check_datagrams(self):
        expected = self.expected_requests()
        entries = self.sim.entries()
        nc.check_logged_requests(entries, expected)
        for sequence, auth, what in ((0, "default", "first Discover"), (1, "access", "Set"),
                                     (2, "default", "Discover that finds the device again"),
                                     (3, "default", "Discover of Refresh"), (4, "none", "wrong password")):
            nc.check_authentication(entries, what, sequence, auth)
        all_devices = [DEVICE_1, DEVICE_2, OTHER_DEVICE]
        nc.check_answers(entries, "first Discover", 0, all_devices, 0)
        nc.check_answers(entries, "Set", 1, [DEVICE_1], 0)
        nc.check_answers(entries, "Discover that finds the device again", 2, all_devices, 0)
        nc.check_answers(entries, "Discover of Refresh", 3, all_devices, 0)
        nc.check_answers(entries, "Set with the wrong password", 4, [DEVICE_2], 1)
        nc.check_changes(entries, [(DEVICE_1, DEVICE_1_NEW_ADDRESS, NETMASK)])
        log("simulator's log: five requests as expected")

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


if __name__ == "__main__":
    sys.exit(drive(Session, __doc__.splitlines()[0], sys.argv, ("--capture", "--client-address")))
