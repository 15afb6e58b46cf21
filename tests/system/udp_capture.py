#!/usr/bin/env python3
"""Records the IPv4 UDP datagrams that arrive on one network interface, as JSON lines.

    udp_capture.py INTERFACE PORT OUTPUT READY

Runs as root inside the device network's namespace and sees every datagram as it came off the
link, before any program reads it: source and destination address and port, and the UDP payload
in hexadecimal. Only datagrams to the destination port PORT are kept. READY is written once the
capture socket is open. Stops on SIGTERM or SIGINT; every line is flushed as it is written.
"""

import json
import signal
import socket
import struct
import sys

ETH_P_IP = 0x0800
PACKET_OUTGOING = 4
IPPROTO_UDP = 17


def parse_udp(packet):
    """(source, destination, source port, destination port, payload) of an IPv4 UDP packet, or None."""
    if len(packet) < 20 or packet[0] >> 4 != 4:
        return None
    header_length = (packet[0] & 0x0F) * 4
    total_length = struct.unpack_from("!H", packet, 2)[0]
    if packet[9] != IPPROTO_UDP or header_length < 20 or total_length > len(packet):
        return None
    fragment = struct.unpack_from("!H", packet, 6)[0]
    if fragment & 0x3FFF:
        return None
    udp = packet[header_length:total_length]
    if len(udp) < 8:
        return None
    source_port, destination_port, udp_length = struct.unpack_from("!HHH", udp, 0)
    if udp_length < 8 or udp_length > len(udp):
        return None
    return (socket.inet_ntoa(packet[12:16]), socket.inet_ntoa(packet[16:20]), source_port, destination_port,
            udp[8:udp_length])


def main(argv):
    interface, port, output, ready = argv[1], int(argv[2]), argv[3], argv[4]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    capture = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    capture.bind((interface, ETH_P_IP))
    with open(ready, "w", encoding="ascii") as flag:
        flag.write("ready\n")
    with open(output, "w", encoding="ascii") as out:
        try:
            while True:
                packet, address = capture.recvfrom(65536)
                if address[2] == PACKET_OUTGOING:
                    continue
                parsed = parse_udp(packet)
                if parsed is None or parsed[3] != port:
                    continue
                source, destination, source_port, destination_port, payload = parsed
                out.write(json.dumps({"src": source, "dst": destination, "sport": source_port,
                                      "dport": destination_port, "payload": payload.hex().upper()}) + "\n")
                out.flush()
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
