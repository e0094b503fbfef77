#!/usr/bin/env python3
"""The operator's two peers of the compression switch-off, for the whole-program scenarios.

- the speed-manager web server: records the request it gets and answers with a page that
  confirms ("gespeichert") or one that does not;
- the compression proxy's control port: records every packet it gets as a hex line and
  answers each with a short packet, or stays silent.

Usage: compression_peers.py WEBADDR WEBPORT PROXYADDR PROXYPORT DIR confirm|refuse answer|silent
Writes DIR/web-requests (raw, as received) and DIR/proxy-packets (one hex line per read);
prints "READY" once both listen.
"""
import os
import socketserver
import sys
import threading

WEBADDR, WEBPORT, PROXYADDR, PROXYPORT, DIR, WEBMODE, PROXYMODE = sys.argv[1:8]


def append(name, data):
    with open(os.path.join(DIR, name), "ab") as f:
        f.write(data)


class Web(socketserver.BaseRequestHandler):
    def handle(self):
        request = self.request.recv(4096)
        append("web-requests", request)
        body = b"Ihre Einstellung wurde gespeichert." if WEBMODE == "confirm" else b"Anmeldung"
        self.request.sendall(b"HTTP/1.0 200 OK\r\n\r\n<html>" + body + b"</html>")


class Proxy(socketserver.BaseRequestHandler):
    def handle(self):
        while True:
            packet = self.request.recv(4096)
            if not packet:
                return
            append("proxy-packets", packet.hex().encode() + b"\n")
            if PROXYMODE == "answer":
                self.request.sendall(b"bmic\x02\x02\x00\x08")


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


servers = [Server((WEBADDR, int(WEBPORT)), Web), Server((PROXYADDR, int(PROXYPORT)), Proxy)]
for s in servers[1:]:
    threading.Thread(target=s.serve_forever, daemon=True).start()
print("READY", flush=True)
servers[0].serve_forever()
