#!/usr/bin/env python3
"""A name server for scenario tests, on 127.0.0.1 only: names listed as NAME=ADDRESS on the
command line get that IPv4 address, every other name gets "no such name" (NXDOMAIN).
Prints READY when it listens."""
import socket
import struct
import sys

def parse_name(data, offset):
    labels = []
    while data[offset]:
        n = data[offset]
        labels.append(data[offset + 1:offset + 1 + n].decode("latin-1"))
        offset += n + 1
    return ".".join(labels).lower(), offset + 1

def answer(data, known):
    ident, flags, qd = struct.unpack(">HHH", data[:6])
    name, end = parse_name(data, 12)
    qtype, _ = struct.unpack(">HH", data[end:end + 4])
    question = data[12:end + 4]
    if name in known and qtype == 1:
        rr = b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4) + socket.inet_aton(known[name])
        return struct.pack(">HHHHHH", ident, 0x8180, 1, 1, 0, 0) + question + rr
    rcode = 0 if name in known else 3
    return struct.pack(">HHHHHH", ident, 0x8180 | rcode, 1, 0, 0, 0) + question

known = dict(arg.lower().split("=", 1) for arg in sys.argv[1:])
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 53))
print("READY", flush=True)
while True:
    data, peer = s.recvfrom(512)
    try:
        s.sendto(answer(data, known), peer)
    except (IndexError, struct.error):
        pass
