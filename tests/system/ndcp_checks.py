"""What the utility must have sent, checked against the simulator's log and the captured datagrams.

The expected datagrams are written out here byte by byte from the protocol's header layout, so
that these checks share no code with the utility or the simulator: the authenticator is MD5 from
the Python standard library over the datagram (bytes 12 to 27 zero) followed by the password
text, and the access password texts are known answers of two-key triple DES.
"""

import hashlib
import struct
from dataclasses import dataclass

SIGNATURE = bytes([0x09, 0x2B, 0x13, 0x38])
HEADER_SIZE = 36
DEVICE_PORT = 64512
BROADCAST = "255.255.255.255"
BROADCAST_MAC = "FFFFFFFFFFFF"
DISCOVER, SET = 1, 3

# The password text of every Discover request.
DISCOVERY_PASSWORD = "kestu"

# Access passwords typed by the test and the texts the utility must authenticate with: two-key
# triple DES (EDE, ECB) under the key bytes of "5A3C96E10F7B2D48", the last block padded with
# 0x80 and zeros, in upper-case hexadecimal. Obtained with
#   printf 'k3y-Pass-9\x80\0\0\0\0\0' | openssl enc -des-ede -nopad -K 35413343393645313046374232443438
# and confirmed with the TripleDES cipher of python3-cryptography.
ACCESS_PASSWORD_TEXTS = {
    "k3y-Pass-9": "13D33AC9A6ACD4C9DABF0D7CCC66BE90",
    "k3y-Pass-8": "13D33AC9A6ACD4C9E6D5CC736D25F5B3",
}


class CheckFailure(AssertionError):
    pass


def require(condition, message):
    if not condition:
        raise CheckFailure(message)


# ---------------------------------------------------------------------------------------------
# The simulator's log

def parse_log_line(line):
    """The key=value fields of one log line as a dict."""
    fields = {}
    for item in line.split():
        key, sep, value = item.partition("=")
        if sep:
            fields[key] = value
    return fields


def read_log(path):
    with open(path, encoding="utf-8", errors="replace") as log:
        return [parse_log_line(line) for line in log if line.strip()]


def events(entries, kind):
    return [entry for entry in entries if entry.get("ev") == kind]


# ---------------------------------------------------------------------------------------------
# Expected requests

@dataclass(frozen=True)
class Expected:
    """One request the utility must send, in the order it must send it."""
    what: str       # for messages: "first Discover", ...
    command: int
    sequence: int
    target: str     # 12 upper-case hexadecimal digits
    password: str   # the text the authenticator is computed with
    elements: bytes


def element(identifier, value):
    return bytes([identifier]) + struct.pack("!H", 3 + len(value)) + value


def ipv4(text):
    return bytes(int(part) for part in text.split("."))


def set_elements(address, netmask):
    return element(3, ipv4(address)) + element(4, ipv4(netmask))


def log_elements_text(elements):
    """The simulator's "ID:LEN:HEX,..." form of a variable area, "-" when empty."""
    items = []
    pos = 0
    while pos < len(elements):
        identifier = elements[pos]
        length = struct.unpack_from("!H", elements, pos + 1)[0]
        items.append(f"{identifier}:{length}:{elements[pos + 3:pos + length].hex().upper()}")
        pos += length
    return ",".join(items) if items else "-"


def authenticator(datagram, password):
    zeroed = datagram[:12] + bytes(16) + datagram[28:]
    return hashlib.md5(zeroed + password.encode("latin-1")).digest()


def build_request(expected):
    """The datagram the utility must send for one expected request, authenticator included."""
    total = HEADER_SIZE + len(expected.elements)
    header = (SIGNATURE + bytes([expected.command, expected.sequence]) + struct.pack("!H", total) +
              bytes([0, 0, 0x10, 0]) + bytes(16) + bytes.fromhex(expected.target) + bytes([1, 0]))
    datagram = header + expected.elements
    return datagram[:12] + authenticator(datagram, expected.password) + datagram[28:]


def describe_difference(actual, wanted):
    """Names the first header field or byte in which two datagrams differ."""
    fields = [(0, 4, "signature"), (4, 5, "command"), (5, 6, "sequence"), (6, 8, "total length"),
              (8, 10, "reserved word"), (10, 11, "control byte"), (11, 12, "reserved byte 11"),
              (12, 28, "authenticator"), (28, 34, "target MAC address"), (34, 35, "fixed byte 34"),
              (35, 36, "reserved byte 35")]
    if len(actual) != len(wanted):
        return f"{len(actual)} bytes instead of {len(wanted)}"
    for start, end, name in fields:
        if actual[start:end] != wanted[start:end]:
            return f"{name} {actual[start:end].hex().upper()} instead of {wanted[start:end].hex().upper()}"
    return (f"variable area {actual[HEADER_SIZE:].hex().upper()} instead of "
            f"{wanted[HEADER_SIZE:].hex().upper()}")


# ---------------------------------------------------------------------------------------------
# Checks

def check_datagram(what, payload, expected):
    wanted = build_request(expected)
    require(payload == wanted, f"{what}: {describe_difference(payload, wanted)}")


def check_captured(captured, expected_requests, client_address):
    """Every datagram that reached the device network, compared byte for byte."""
    require(len(captured) == len(expected_requests),
            f"{len(captured)} datagrams reached the device network, expected {len(expected_requests)} "
            f"({', '.join(e.what for e in expected_requests)})")
    ports = {c["sport"] for c in captured}
    require(len(ports) == 1, f"the requests came from several ports: {sorted(ports)}")
    for capture, expected in zip(captured, expected_requests):
        require(capture["src"] == client_address,
                f"{expected.what}: sent from {capture['src']}, not the workstation {client_address}")
        require(capture["dst"] == BROADCAST and capture["dport"] == DEVICE_PORT,
                f"{expected.what}: sent to {capture['dst']}:{capture['dport']}, not {BROADCAST}:{DEVICE_PORT}")
        check_datagram(expected.what, bytes.fromhex(capture["payload"]), expected)


def check_logged_requests(entries, expected_requests):
    """The simulator's request lines: the header fields it read and the password that matched."""
    requests = events(entries, "request")
    require(len(requests) == len(expected_requests),
            f"the simulator logged {len(requests)} requests, expected {len(expected_requests)}")
    senders = {r.get("from") for r in requests}
    require(len(senders) == 1, f"the requests came from several sockets: {sorted(senders)}")
    for logged, expected in zip(requests, expected_requests):
        size = HEADER_SIZE + len(expected.elements)
        wanted = {
            "size": str(size), "cmd": str(expected.command), "seq": str(expected.sequence), "len": str(size),
            "ctl": "0x10", "mac": expected.target, "fixed": "1",
            "elements": log_elements_text(expected.elements), "result": "ok",
        }
        for key, value in wanted.items():
            require(logged.get(key) == value,
                    f"{expected.what}: the simulator logged {key}={logged.get(key)}, expected {value}")


def check_authentication(entries, what, sequence, wanted):
    """Which password the simulator found the authenticator made with: default, access or none."""
    logged = [r for r in events(entries, "request") if r.get("seq") == str(sequence)]
    require(len(logged) == 1, f"{what}: {len(logged)} requests with sequence number {sequence}")
    require(logged[0].get("auth") == wanted,
            f"{what}: the simulator matched the authenticator to auth={logged[0].get('auth')}, expected {wanted}")


def answers_to(entries, sequence):
    return [a for a in events(entries, "answer") if a.get("seq") == str(sequence)]


def check_answers(entries, what, sequence, devices, status):
    answers = answers_to(entries, sequence)
    got = sorted(a.get("dev") for a in answers)
    require(got == sorted(devices), f"{what}: answered by {got}, expected {sorted(devices)}")
    for answer in answers:
        require(answer.get("status") == str(status) and answer.get("result") == "sent",
                f"{what}: device {answer.get('dev')} answered status={answer.get('status')} "
                f"result={answer.get('result')}, expected status={status} result=sent")


def check_changes(entries, wanted):
    """The devices whose addresses changed, as (MAC, address, netmask), in order."""
    got = [(c.get("dev"), c.get("ip"), c.get("mask")) for c in events(entries, "change")]
    require(got == wanted, f"the devices changed {got}, expected {wanted}")
