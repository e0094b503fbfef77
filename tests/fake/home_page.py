#!/usr/bin/env python3
"""The program's home page for the whole-program scenarios.

Serves the files of a folder by their names (GET /NAME) and answers 404 for anything else.
Each request line is appended to the log file; "READY" goes to stdout once the socket listens.
Files may be replaced while it runs: every request reads the folder again.

Usage: home_page.py ADDRESS PORT FOLDER LOGFILE
"""
import os
import socketserver
import sys

ADDRESS, PORT, FOLDER, LOG = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]


class Page(socketserver.StreamRequestHandler):
    def handle(self):
        line = self.rfile.readline(4096).decode("latin-1").rstrip("\r\n")
        while self.rfile.readline(4096) not in (b"\r\n", b"\n", b""):
            pass
        with open(LOG, "a") as log:
            log.write(line + "\n")
        parts = line.split()
        name = parts[1].lstrip("/") if len(parts) >= 2 else ""
        path = os.path.join(FOLDER, name)
        if name and "/" not in name and os.path.isfile(path):
            with open(path, "rb") as f:
                body = f.read()
            head = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
        else:
            body = b"<html>not found</html>"
            head = b"HTTP/1.1 404 Not Found\r\n"
        head += b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body)
        self.wfile.write(head + body)


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


with Server((ADDRESS, PORT), Page) as server:
    print("READY", flush=True)
    server.serve_forever()
