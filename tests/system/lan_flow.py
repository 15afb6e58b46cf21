#!/usr/bin/env python3
"""Drives orvalan-config on a workstation with several networks, or none with a default route.

Runs inside the workstation's network namespace, which is on one link per device network; in each
device network ndcp-sim answers as one device. system_test.sh describes the networks in a JSON
lines file, in the order their devices answer (the later ones wait longer), so that the rows of
the list follow it. One device is to be re-addressed ("set_to").

The person waits for the first discovery, which must list every device; opens Set IP on the one to
re-address, types its new address (in the workstation's network on its link) and the access
password, and clicks OK; the program then looks for the device at its new address with a Discover
on that link alone. Its device network then takes the new address, as the device itself would.
Refresh must list every device again, that one with its new address; then Exit. Every link must
carry each Discover of the list once, from the workstation's address on it, and only the link of
the re-addressed device may carry the Set and the Discover that finds the device again. Each device answers its requester's address where it has a
route there, and by limited broadcast where it has none. Before the Set, after it and after
Refresh, a row must bear the warning mark just while its device's address lies outside the
workstation's network on its link, and the re-addressed device's row must then show a tooltip.
"""

import ipaddress
import json
import subprocess
import sys
import time
from dataclasses import dataclass

import ndcp_checks as nc
import screen
from ndcp_checks import CheckFailure, Expected, require
from ui_session import DIALOG_TITLE, DISCOVERY_SECONDS, FIRST_IP_FIELD, AppSession, SimLog, drive, log, wait_for

ACCESS_PASSWORD = "k3y-Pass-9"
# How long the program looks for a device after a Set IP; it ignores commands meanwhile.
FIND_AGAIN_SECONDS = 1.0
ADDRESS_COLUMN = 2
# Long enough for a tooltip to show after the pointer came to rest.
TOOLTIP_SECONDS = 1.5


@dataclass(frozen=True)
class Network:
    """One device network as system_test.sh built it."""
    lan: int
    namespace: str
    interface: str             # the device's end of the link
    workstation: ipaddress.IPv4Interface
    device: ipaddress.IPv4Interface
    mac: str
    set_to: str                # the new address of this network's device, or ""
    capture: str
    sim_log: str

    @staticmethod
    def read(path):
        with open(path, encoding="ascii") as lines:
            described = [json.loads(line) for line in lines if line.strip()]
        return [Network(**dict(d, workstation=ipaddress.ip_interface(d["workstation"]),
                               device=ipaddress.ip_interface(d["device"]))) for d in described]

    def outside(self, address):
        """True when the address lies outside the workstation's network on this link."""
        return ipaddress.ip_address(address) not in self.workstation.network


class Session(AppSession):
    """First discovery, Set IP on one device, its network re-addressed, Refresh, Exit."""

    def __init__(self, args):
        super().__init__(args)
        self.networks = Network.read(args.networks)
        targets = [n for n in self.networks if n.set_to]
        require(len(targets) == 1, f"{len(targets)} networks have a device to re-address, expected 1")
        self.target = targets[0]
        self.row = self.networks.index(self.target)
        self.logs = [SimLog(n.sim_log, self.require_running) for n in self.networks]

    def discovery(self, sequence, name, what):
        """Waits until every device network has logged the Discover and its answer and the list shows
        every device; returns that list."""
        for network, sim in zip(self.networks, self.logs):
            sim.wait_request(nc.DISCOVER, sequence, 10)
            sim.wait_answers(sequence, 1, DISCOVERY_SECONDS + 2)
            log(f"{what}: the device on LAN {network.lan} heard the Discover and answered")
        count = len(self.networks)
        self.wait_list(name, f"{what} to list {count} devices", DISCOVERY_SECONDS + 8, lambda v: len(v.rows) == count)
        time.sleep(0.5)  # nothing more may come
        view = self.device_list(name)
        require(len(view.rows) == count, f"{what}: {len(view.rows)} rows listed, expected {count}")
        log(f"{what}: all {count} devices listed")
        return view

    def pointer_off_list(self):
        """Moves the pointer onto the banner: a later click on the list must move it, which xdotool
        waits for, and a tooltip goes away."""
        self.desktop.xdotool("mousemove", "--sync", str(self.origin[0] + 300), str(self.origin[1] + 40))

    def check_marks(self, name, target_address):
        """Each row is marked just when its device's address lies outside the workstation's network
        on its link, and resting the pointer on the re-addressed device's row shows a tooltip just
        when that row is marked. Keeps the screenshots: NAME with the pointer off the list,
        NAME-pointer with it on the row."""
        # A click on the list's empty part makes the window active, as tooltips need; it selects nothing.
        frame = self.layout.frame
        self.desktop.click(frame.x + frame.width // 2, frame.bottom - 20)
        self.pointer_off_list()
        time.sleep(0.5)
        plain = self.device_list(name)
        addresses = [target_address if n is self.target else str(n.device.ip) for n in self.networks]
        for row, (network, address) in enumerate(zip(self.networks, addresses)):
            wanted = network.outside(address)
            require(plain.marked(row) == wanted, f"{name}: the row of {address} on LAN {network.lan} is "
                                                 f"{'' if plain.marked(row) else 'not '}marked")
        top, bottom = plain.rows[self.row]
        self.desktop.xdotool("mousemove", "--sync", *map(str, plain.row_centre(self.row)))
        time.sleep(TOOLTIP_SECONDS)
        changed = screen.changed_area(plain.image, self.shot(f"{name}-pointer"))
        shown = changed is not None and (changed.y < top - 2 or changed.bottom > bottom + 2)
        wanted = self.target.outside(target_address)
        require(shown == wanted, f"{name}: with the pointer on the row of {target_address} a tooltip "
                                 f"{'shows' if shown else 'does not show'}")
        self.pointer_off_list()
        wait_for("the tooltip to go", TOOLTIP_SECONDS + 2, lambda: screen.changed_area(
            plain.image, self.shot(f"{name}-after")) is None)
        log(f"{name}: the marks are right; the row of {target_address} is "
            f"{'marked, with a tooltip' if wanted else 'not marked, without a tooltip'}")

    def type_address(self, dx, dy, address):
        """Types a whole address into the four fields: a full field moves on by itself, a shorter one
        with "."."""
        self.desktop.click(dx + FIRST_IP_FIELD[0], dy + FIRST_IP_FIELD[1])
        self.desktop.key("ctrl+a")
        numbers = address.split(".")
        for index, number in enumerate(numbers):
            self.desktop.type(number + ("." if index < 3 and len(number) < 3 else ""))

    def set_ip(self, discovered):
        before = self.select_row(discovered, self.row, "04-row-selected")
        self.click_button("Set IP")
        dialog = self.desktop.wait_window(DIALOG_TITLE, 10, self.require_running)
        dx, dy, _, _ = self.desktop.geometry(dialog)
        self.type_address(dx, dy, self.target.set_to)
        self.confirm_set_ip((dx, dy), ACCESS_PASSWORD, "05-setip-filled")
        self.desktop.wait_window_gone(DIALOG_TITLE, 5, self.require_running)
        self.logs[self.row].wait_answers(1, 1, 5)
        self.logs[self.row].wait_request(nc.DISCOVER, 2, 5)
        after = self.wait_list("06-after-set", "the row to show the new address", 5,
                               lambda v: len(v.rows) == len(self.networks) and
                               not screen.same_text(v.text(self.row, ADDRESS_COLUMN),
                                                    before.text(self.row, ADDRESS_COLUMN)))
        time.sleep(FIND_AGAIN_SECONDS + 0.5)
        log(f"Set IP: the row of the device on LAN {self.target.lan} shows the new address")
        return after

    def readdress_device(self):
        """The device's network takes the address the Set gave, with the device's netmask, as the
        device itself would."""
        new = f"{self.target.set_to}/{self.target.device.network.prefixlen}"
        for command in (["addr", "flush", "dev", self.target.interface],
                        ["addr", "add", new, "dev", self.target.interface]):
            subprocess.run(["ip", "-n", self.target.namespace, *command], check=True, timeout=10)
        log(f"the device network of LAN {self.target.lan} now has {new}")

    def refresh(self, discovered, after_set):
        self.click_button("Refresh")
        self.wait_list("08-refreshing", "Refresh to empty the list", DISCOVERY_SECONDS, lambda v: not v.rows)
        refreshed = self.discovery(3, "09-refreshed", "Refresh")
        for row in range(len(self.networks)):
            for column in range(4):
                wanted = after_set if row == self.row and column == ADDRESS_COLUMN else discovered
                require(screen.same_text(refreshed.text(row, column), wanted.text(row, column)),
                        f"after Refresh row {row} column {column} differs from what Set IP left")
        log("Refresh: the device reports its new address, the others are unchanged")
        return refreshed

    # -- the datagrams --------------------------------------------------------------------------

    def expected_requests(self, network):
        discover = dict(command=nc.DISCOVER, target=nc.BROADCAST_MAC, password=nc.DISCOVERY_PASSWORD,
                        elements=b"")
        requests = [Expected("first Discover", sequence=0, **discover)]
        if network is self.target:
            requests.append(Expected("Set", nc.SET, 1, network.mac, nc.ACCESS_PASSWORD_TEXTS[ACCESS_PASSWORD],
                                     nc.set_elements(network.set_to, str(network.device.netmask))))
            requests.append(Expected("Discover that finds the device again", sequence=2, **discover))
        requests.append(Expected("Discover of Refresh", sequence=3, **discover))
        return requests

    def check_network(self, network):
        """The requests that reached the network and what its device made of them."""
        expected = self.expected_requests(network)
        with open(network.capture, encoding="ascii") as capture:
            captured = [json.loads(line) for line in capture if line.strip()]
        sets = [c for c in captured if bytes.fromhex(c["payload"])[4:5] == bytes([nc.SET])]
        require(network is self.target or not sets,
                f"the Set to the device on LAN {self.target.lan} also reached LAN {network.lan}")
        nc.check_captured(captured, expected, str(network.workstation.ip))
        entries = nc.read_log(network.sim_log)
        nc.check_logged_requests(entries, expected)
        for request in expected:
            nc.check_answers(entries, request.what, request.sequence, [network.mac], 0)
        # The device's address while it answered: the old one until its network took the new one.
        before = str(network.device.ip)
        for request in expected:
            address = network.set_to if network.set_to and request.sequence == 3 else before
            wanted = "broadcast" if network.outside(address) else "unicast"
            forms = [a.get("form") for a in nc.answers_to(entries, request.sequence)]
            require(forms == [wanted], f"LAN {network.lan}, {request.what}: the device at {address} answered "
                                       f"by {forms}, expected {wanted}")
        changes = [(network.mac, network.set_to, str(network.device.netmask))] if network.set_to else []
        nc.check_changes(entries, changes)
        log(f"LAN {network.lan}: {', '.join(e.what for e in expected)} from {network.workstation.ip}, "
            "every byte as expected")

    def run(self):
        self.start()
        try:
            self.open_main_window()
            discovered = self.discovery(0, "01-discovered", "first discovery")
            self.check_marks("03-marks-before-set", str(self.target.device.ip))
            after_set = self.set_ip(discovered)
            self.check_marks("07-marks-after-set", self.target.set_to)
            self.readdress_device()
            refreshed = self.refresh(discovered, after_set)
            self.check_marks("10-marks-after-refresh", self.target.set_to)
            self.exit()
        finally:
            self.stop()
        for network in self.networks:
            try:
                self.check_network(network)
            except CheckFailure as failure:
                raise CheckFailure(f"LAN {network.lan}: {failure}") from failure


if __name__ == "__main__":
    sys.exit(drive(Session, __doc__.splitlines()[0], sys.argv, ("--networks",)))
