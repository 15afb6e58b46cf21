#!/usr/bin/env python3
"""Runs orvalan-ndcp as a script would, in the workstation's network namespace, against ndcp-sim in
the device network, and checks every exit status, the JSON and CSV read back with Python's own
readers field by field, and what reached the devices in the simulator's log.

The devices: two of the model, one of another model, and one of the model whose name holds double
quotes, a comma, a line break, a tab and the bytes 0xE9 and 0xFF; every answer comes twice. For the
statuses 4 and 5 the simulator is started again, answering late or with a failure status, and for
a discovery that finds nothing, as devices of the other model alone.

    cli_flow.py --cli PROGRAM --sim NDCP_SIM --ws-ns NS --dev-ns NS --artefacts DIR

The commands and their output are written to DIR/session.txt as a terminal would show them.
"""

import argparse
import csv
import io
import json
import os
import shlex
import subprocess
import sys
import time

import ndcp_checks as nc
from ndcp_checks import CheckFailure, require

PASSWORD = "k3y-Pass-9"
MODEL, OTHER_MODEL = "KVX-770B", "KVX-550A"
ADAPTER = "ov-ws0"
NETMASK = "255.255.255.0"
HOSTILE_MAC = "0011223344C1"
# As given to ndcp-sim (%XX is a byte), and as the listing must show it (UTF-8).
HOSTILE_ESCAPED = "%22Quoted%22%2C name %E9%FF%0Aline 2%09tab"
HOSTILE_NAME = "\"Quoted\", name \u00e9\u00ff\nline 2\ttab"
FIELDS = ["name", "mac", "ip", "netmask", "module", "adapter"]


def device(name, mac, ip, module=MODEL):
    return {"name": name, "mac": mac, "ip": ip, "netmask": NETMASK, "module": module, "adapter": ADAPTER}


DEVICES = [
    device(HOSTILE_NAME, HOSTILE_MAC, "192.168.0.50"),
    device("Storage-1", "001122334401", "192.168.0.101"),
    device("Storage-2", "001122334402", "192.168.0.102"),
]
OTHER = device("Storage-3", "001122334403", "192.168.0.103", OTHER_MODEL)


class Flow:
    def __init__(self, args):
        self.args = args
        self.sim = None
        self.sim_log = None
        self.session = open(os.path.join(args.artefacts, "session.txt"), "w", encoding="utf-8")

    # ---- the simulator

    def start_sim(self, name, *options, hostile=True):
        """Starts ndcp-sim afresh with the options, and with the hostile device unless told not to."""
        self.stop_sim()
        self.sim_log = os.path.join(self.args.artefacts, f"ndcp-sim-{name}.log")
        open(self.sim_log, "w").close()
        command = ["ip", "netns", "exec", self.args.dev_ns, self.args.sim, "--bind", "0.0.0.0",
                   "--port", str(nc.DEVICE_PORT), "--log", self.sim_log, "--password", PASSWORD, "--twice", *options]
        if hostile:
            command += ["--device", f"{HOSTILE_ESCAPED},{HOSTILE_MAC},192.168.0.50,{NETMASK}"]
        self.sim = subprocess.Popen(command)
        deadline = time.monotonic() + 10
        while " ev=listening " not in open(self.sim_log, encoding="utf-8", errors="replace").read():
            require(self.sim.poll() is None and time.monotonic() < deadline, "ndcp-sim did not start")
            time.sleep(0.05)

    def stop_sim(self):
        if self.sim is not None:
            self.sim.terminate()
            self.sim.wait(10)
            self.sim = None

    def requests(self):
        return nc.events(nc.read_log(self.sim_log), "request")

    def sets(self):
        return [r for r in self.requests() if r.get("cmd") == str(nc.SET)]

    # ---- the program

    def run(self, *args, stdin=None, isolated=False):
        """Runs orvalan-ndcp in the workstation, or isolated in a network namespace of its own with no
        adapter; returns (status, stdout, stderr) as text."""
        shown = "orvalan-ndcp " + " ".join(shlex.quote(a) for a in args)
        if stdin is not None:
            shown = f"printf '%s\\n' '********' | {shown}"
        where = ["unshare", "--net", "--"] if isolated else ["ip", "netns", "exec", self.args.ws_ns]
        result = subprocess.run([*where, self.args.cli, *args],
                                input=(stdin + "\n").encode() if stdin is not None else None,
                                stdin=None if stdin is not None else subprocess.DEVNULL,
                                capture_output=True, timeout=30, check=False)
        out = result.stdout.decode("utf-8")  # the output must be UTF-8 whatever the devices sent
        err = result.stderr.decode("utf-8")
        self.session.write(f"$ {shown}\n{out}{err}[exit status {result.returncode}]\n\n")
        self.session.flush()
        return result.returncode, out, err

    def expect(self, status, *args, stdin=None, err=None, isolated=False):
        got, out, message = self.run(*args, stdin=stdin, isolated=isolated)
        require(got == status, f"{' '.join(args)}: exit status {got}, not {status}; stderr: {message!r}")
        if err is not None:
            require(message == f"orvalan-ndcp: {err}\n", f"{' '.join(args)}: stderr {message!r}, not {err!r}")
        return out

    # ---- checks

    @staticmethod
    def check_rows(what, rows, wanted):
        require(len(rows) == len(wanted), f"{what}: {len(rows)} rows, not {len(wanted)}: {rows!r}")
        for row in rows:
            require(list(row.keys()) == FIELDS, f"{what}: the fields are {list(row.keys())}")
        by_mac = {row["mac"]: row for row in rows}
        require(len(by_mac) == len(rows), f"{what}: a MAC address listed twice")
        for device_row in wanted:
            got = by_mac.get(device_row["mac"])
            require(got == device_row, f"{what}: {got!r}, not {device_row!r}")

    def discover_json(self, wanted, *options):
        rows = json.loads(self.expect(0, "discover", "--json", *options))
        self.check_rows("discover --json", rows, wanted)

    def discover_csv(self, wanted):
        out = self.expect(0, "discover", "--csv")
        require(out.endswith("\r\n"), "the CSV's lines end in CR LF")
        records = list(csv.reader(io.StringIO(out, newline=""), strict=True))
        require(records[0] == FIELDS, f"CSV header {records[0]!r}")
        self.check_rows("discover --csv", [dict(zip(FIELDS, record)) for record in records[1:]], wanted)

    def discover_table(self):
        lines = self.expect(0, "discover").splitlines()
        require(lines[0].split() == ["Device", "Name", "MAC", "Address", "IP", "Address", "Netmask", "Adapter"],
                f"table header {lines[0]!r}")
        require(len(lines) == 1 + len(DEVICES), f"table: {lines!r}")
        start = lines[0].index("MAC Address")
        for row in DEVICES:
            line = next(line for line in lines if row["mac"] in line)
            require(line.index(row["mac"]) == start, f"table column of {row['mac']}: {line!r}")
            require(all(c >= " " for c in line), f"control character in the table: {line!r}")
        require('"Quoted", name \u00e9\u00ff\\x0Aline 2\\x09tab' in "\n".join(lines), "the hostile name in the table")

    def set_device(self, status, mac, ip, netmask=NETMASK, *extra, password=PASSWORD, err=None):
        return self.expect(status, "set", mac, "--ip", ip, "--netmask", netmask, "--password-stdin", *extra,
                           stdin=password, err=err)

    # ---- the flow

    def listing(self):
        self.start_sim("devices", "--devices", "2", "--other-models", "1")
        self.discover_table()
        self.discover_json(DEVICES)
        self.discover_csv(DEVICES)
        self.discover_json(DEVICES + [OTHER], "--all-models")
        self.expect(2, "discover", "--adapter", "ov-nosuch")

    def refusals(self):
        before = len(self.requests())
        self.set_device(2, HOSTILE_MAC, "192.168.0.0",
                        err="192.168.0.0 is the address of the network 192.168.0.0/24 itself (under the netmask "
                            "255.255.255.0), not one a device can use!")
        self.set_device(2, HOSTILE_MAC, "127.0.0.5", "255.0.0.0")
        self.set_device(2, HOSTILE_MAC, "192.168.0.9", "255.0.255.0")
        require(len(self.requests()) == before, "a refused address reached the devices")
        self.set_device(2, HOSTILE_MAC, "10.9.9.9", "255.0.0.0",
                        err="The new address 10.9.9.9 lies outside the network of ov-ws0 (192.168.0.0/24), the "
                            "adapter through which this PC reaches the device: after the change this PC will not "
                            "reach it. Nothing was sent; give --yes to send it all the same.")
        require(not self.sets(), "a Set left although the change across networks was refused")
        self.set_device(1, "00:11:22:33:44:EE", "192.168.0.60",
                        err=f"No {MODEL} with the MAC address 0011223344EE answered within 3 s.")

    def password_error(self):
        password_file = os.path.join(self.args.artefacts, "wrong-password")
        with open(password_file, "w", encoding="utf-8") as f:
            f.write("k3y-Pass-8\n")
        os.chmod(password_file, 0o600)
        self.expect(3, "set", HOSTILE_MAC, "--ip", "192.168.0.60", "--netmask", NETMASK, "--password-file",
                    password_file, err="Password Error!")
        require(len(self.sets()) == 1 and self.sets()[0].get("auth") != "access", "the wrong password's Set")
        require(not nc.events(nc.read_log(self.sim_log), "change"), "a Set with a wrong password changed the device")
        self.discover_json(DEVICES)

    def confirmed(self):
        out = self.set_device(0, "00-11-22-33-44-c1", "192.168.0.60", err=None)
        require(out == f"{HOSTILE_MAC} 192.168.0.60\n", f"the confirmed Set printed {out!r}")
        changes = nc.events(nc.read_log(self.sim_log), "change")
        require([(c["dev"], c["ip"], c["mask"]) for c in changes] == [(HOSTILE_MAC, "192.168.0.60", NETMASK)],
                f"changes {changes!r}")
        moved = [dict(DEVICES[0], ip="192.168.0.60")] + DEVICES[1:]
        self.discover_json(moved)

    def unconfirmed(self):
        self.start_sim("late", "--devices", "0", "--delay", "1500")
        self.set_device(4, HOSTILE_MAC, "192.168.0.61",
                        err="Connection timeout! The device did not answer at 192.168.0.61 within a second either.")

    def system_error(self):
        """Where the system has no adapter to send through, both commands end with status 5."""
        no_adapter = "Socket read/write error! No network adapter is up with an IPv4 address."
        self.expect(5, "discover", "--csv", err=no_adapter, isolated=True)
        self.expect(5, "set", HOSTILE_MAC, "--ip", "192.168.0.62", "--netmask", NETMASK, "--password-stdin",
                    stdin=PASSWORD, err=no_adapter, isolated=True)

    def none_found(self):
        self.start_sim("other-models", "--devices", "0", "--other-models", "2", hostile=False)
        out = self.expect(1, "discover", "--json", err=f"0 device found. 2 devices answered, none of them a {MODEL}.")
        require(out == "[]\n", f"an empty listing is {out!r}")

    def links(self):
        linked = subprocess.run(["ldd", self.args.cli], capture_output=True, text=True, check=True).stdout
        for library in ("libQt6Widgets", "libQt6Gui"):
            require(library not in linked, f"orvalan-ndcp links {library}")
        require("libQt6Core" in linked, "orvalan-ndcp does not link Qt Core")
        self.session.write(f"$ ldd orvalan-ndcp | grep -i qt\n"
                           f"{''.join(l + chr(10) for l in linked.splitlines() if 'Qt' in l)}\n")

    def main(self):
        try:
            self.links()
            self.expect(0, "--version")
            self.listing()
            self.refusals()
            self.password_error()
            self.confirmed()
            self.unconfirmed()
            self.system_error()
            self.none_found()
        finally:
            self.stop_sim()
            self.session.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--cli", "--sim", "--ws-ns", "--dev-ns", "--artefacts"):
        parser.add_argument(option, required=True)
    try:
        Flow(parser.parse_args()).main()
    except CheckFailure as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    print("orvalan-ndcp: every command and exit status as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
