#!/usr/bin/env python3
"""Drives orvalan-config on an X display while the simulator floods it with malformed datagrams.

The simulator answers as devices of the model and of another model, and from the first request it
receives it sends every kind of malformed datagram to the program for a while (short, long, wrong
signature, wrong length, unknown sequence, another MAC address, element lengths below 3 and past
the end, huge values, quotes, "$" and deep parentheses in the module name), built against the
sequence number of the program's latest request. Under that flood the first discovery and a
Refresh must each list exactly the devices of the model, and the program must keep answering the
pointer. A calm Refresh after the flood gives the reference list that both flooded lists must
equal, cell by cell, with the same count on the status bar. Exit must end the program normally.
"""

import sys
import time

import ndcp_checks as nc
import screen
from ndcp_checks import require
from ui_session import BUTTONS, DISCOVERY_SECONDS, MENU_TOP, AppSession, drive, log, wait_for

# How long a discovery may take to show its list, counted from the request, and how long the
# program may take to show a click or a pointer movement, while it is flooded. A program that
# stops reading its window messages under the flood misses both by seconds.
LIST_SECONDS = DISCOVERY_SECONDS + 3.0
RESPONSE_SECONDS = 2.0
# The least share of the flood's datagrams the simulator must have sent for the run to count.
FLOOD_SHARE = 0.8


def udp_counters():
    """The UDP counters of this network namespace (the workstation's): InDatagrams, RcvbufErrors, ..."""
    with open("/proc/net/snmp", encoding="ascii") as snmp:
        rows = [line.split() for line in snmp if line.startswith("Udp:")]
    return dict(zip(rows[0][1:], map(int, rows[1][1:])))


def device_mac(number):
    """The MAC address text of ndcp-sim's derived device number (1, 2, ...)."""
    return f"0011223344{number:02X}"


class HostileSession(AppSession):
    """Two discoveries under the flood, pointer probes between them, a calm Refresh, Exit."""

    def __init__(self, args):
        super().__init__(args)
        self.devices = int(args.devices)
        self.all_devices = [device_mac(n) for n in range(1, self.devices + int(args.other_models) + 1)]
        self.flood_seconds = float(args.flood_seconds)
        self.flood_rate = int(args.flood_rate)
        self.counters_before = udp_counters()

    # -- the flood ------------------------------------------------------------------------------

    def flood_ended(self):
        return bool(nc.events(self.sim.entries(), "flood-end"))

    def require_flooding(self, what):
        require(not self.flood_ended(), f"the flood ended before {what}; the test ran too slowly to check it")

    # -- the checks -----------------------------------------------------------------------------

    def discovery(self, sequence, name, what):
        """Waits for the Discover with the sequence number and for its list of all the devices of
        the model; returns that list."""
        sent = float(self.sim.wait_request(nc.DISCOVER, sequence, 10)["t"])
        view = self.wait_list(name, f"{what} to list {self.devices} devices", LIST_SECONDS + 5,
                              lambda v: len(v.rows) >= self.devices)
        took = time.time() - sent
        require(took <= LIST_SECONDS, f"{what}: the list was complete {took:.1f} s after the request")
        time.sleep(0.5)  # nothing more may come: the discovery has ended
        view = self.device_list(name)
        require(len(view.rows) == self.devices, f"{what}: {len(view.rows)} rows listed, expected {self.devices}")
        log(f"{what}: {self.devices} devices listed {took:.1f} s after the request")
        return sent, view

    def timed(self, what, probe):
        """Runs probe (which waits for something on the screen) and checks how long it took."""
        begin = time.monotonic()
        probe()
        took = time.monotonic() - begin
        require(took <= RESPONSE_SECONDS, f"under the flood, {what} took {took:.1f} s to show")
        log(f"under the flood, {what} showed after {took:.2f} s")

    def button_image(self, name, button):
        rect = screen.Rect(self.origin[0] + 24, self.origin[1] + MENU_TOP + BUTTONS[button], 104, 38)
        return self.shot(name).region(rect)

    def hover(self, button, name):
        """Moves the pointer onto a menu button and off again; the button must light up and go
        back to its plain picture each time within the response time."""
        plain = self.button_image(f"{name}-plain", button)
        centre = (self.origin[0] + 24 + 52, self.origin[1] + MENU_TOP + BUTTONS[button] + 19)
        self.desktop.xdotool("mousemove", "--sync", str(centre[0]), str(centre[1]))
        self.timed(f"the lit {button} button", lambda: wait_for(
            f"the {button} button to light up", 10, lambda: self.button_image(f"{name}-lit", button) != plain, 0.05))
        self.desktop.xdotool("mousemove", "--sync", str(self.origin[0] + 300), str(self.origin[1] + 40))
        self.timed(f"the plain {button} button", lambda: wait_for(
            f"the {button} button to go out", 10, lambda: self.button_image(f"{name}-out", button) == plain, 0.05))

    def same_rows(self, view, reference, what):
        """Every row of view is one row of reference, cell for cell, and the other way round."""
        unmatched = list(range(len(reference.rows)))
        columns = range(len(self.layout.columns))
        for row in range(len(view.rows)):
            match = next((r for r in unmatched
                          if all(screen.same_text(view.text(row, c), reference.text(r, c)) for c in columns)), None)
            require(match is not None, f"{what}: row {row} is not one of the devices listed after the flood")
            unmatched.remove(match)
        require(not unmatched, f"{what}: rows {unmatched} of the list after the flood are missing")

    def check_log(self):
        entries = self.sim.entries()
        starts, ends = nc.events(entries, "flood-start"), nc.events(entries, "flood-end")
        require(len(starts) == 1 and len(ends) == 1, "the simulator's log has no single flood-start and flood-end")
        sent = int(ends[0].get("sent", "0"))
        wanted = int(FLOOD_SHARE * self.flood_rate * self.flood_seconds)
        require(sent >= wanted, f"the simulator sent {sent} flood datagrams, fewer than {wanted}")
        for sequence, what in ((0, "first Discover"), (1, "Refresh under the flood"), (2, "calm Refresh")):
            nc.check_answers(entries, what, sequence, self.all_devices, 0)
        log(f"simulator's log: {sent} flood datagrams sent, every device answered each discovery")
        return sent

    def check_intake(self, flood_sent):
        """Every datagram reached the program's socket: none was dropped for a full receive buffer
        or for want of the socket."""
        after = udp_counters()
        delta = {key: after[key] - self.counters_before.get(key, 0) for key in after}
        for key in ("RcvbufErrors", "InErrors", "NoPorts"):
            require(delta.get(key, 0) == 0, f"the workstation's UDP counter {key} rose by {delta.get(key)}")
        least = flood_sent + 3 * len(self.all_devices)
        require(delta["InDatagrams"] >= least,
                f"the workstation received {delta['InDatagrams']} datagrams, fewer than the {least} sent to it")
        log(f"the program's socket took all {delta['InDatagrams']} datagrams: none dropped")

    # -- the run --------------------------------------------------------------------------------

    def run(self):
        self.start()
        try:
            self.open_main_window()
            first_sent, first = self.discovery(0, "01-flooded-discovery", "first discovery under the flood")
            self.require_flooding("the first discovery was listed")
            self.timed("a selected row", lambda: self.select_row(first, self.devices - 1, "02-row-selected"))

            self.click_button("Refresh")
            self.hover("About", "03-hover")
            second_sent, second = self.discovery(1, "04-flooded-refresh", "Refresh under the flood")
            require(second_sent < first_sent + self.flood_seconds - 1,
                    "the Refresh under the flood started only as the flood ended")

            wait_for("the flood to end", self.flood_seconds + 10, self.flood_ended)
            self.click_button("Refresh")
            _, calm = self.discovery(2, "05-calm-refresh", "calm Refresh")
            self.same_rows(first, calm, "first discovery under the flood")
            self.same_rows(second, calm, "Refresh under the flood")
            for name in ("01-flooded-discovery", "04-flooded-refresh"):
                require(self.status_bar(name) == self.status_bar("05-calm-refresh"),
                        f"the status bar of {name} differs from the one after the calm Refresh")
            log("both lists under the flood hold exactly the devices of the model")
            self.exit()
        finally:
            self.stop()
        self.check_intake(self.check_log())


if __name__ == "__main__":
    sys.exit(drive(HostileSession, __doc__.splitlines()[0], sys.argv,
                   ("--devices", "--other-models", "--flood-seconds", "--flood-rate")))
