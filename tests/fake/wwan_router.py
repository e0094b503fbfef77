#!/usr/bin/env python3
"""A WWAN router's web interface for the whole-program scenarios.

Serves Status_Wwan.asp behind basic authentication and follows the connect and disconnect
requests (apply.cgi ... Connect_wwan / Disconnect_wwan). While connected, every status page
shows a longer connection time and a larger session usage, so a client that counts traffic
sees it grow. Each request line is appended to the log file; "READY" goes to stdout once the
socket listens.

Usage: wwan_router.py ADDRESS PORT USER PASSWORD LOGFILE [--not-found]
(--not-found: another web server at the router's address, which answers 404 to everything.)
"""
import base64
import socketserver
import sys
import threading

ADDRESS, PORT, USER, PASSWORD, LOG = sys.argv[1], int(sys.argv[2]), *sys.argv[3:6]
NOT_FOUND = sys.argv[6:] == ["--not-found"]
EXPECTED = "Authorization: Basic " + base64.b64encode(f"{USER}:{PASSWORD}".encode()).decode()

lock = threading.Lock()
state = {"connected": False, "pages": 0}


def status_page():
    with lock:
        connected = state["connected"]
        if connected:
            state["pages"] += 1
        pages = state["pages"]
    if not connected:
        bearer, signal, ctime, usage = "WWBEAR_GPRS)", "FAIR)", "<", ""
    else:
        bearer, signal = "WWBEAR_UMTS)", "GOOD)"
        ctime = f" 0 <script>Capture(GPRS_MSG.HOURS)</script> {pages}"
        # Megabytes with two decimals: 0.40 MB more received and 0.05 MB more sent per page.
        rx, tx = 40 * pages, 5 * pages
        usage = ("<script>Capture(GPRS_MSG.SESSIONUSAGE)</script>: <B>"
                 f"<span>RX = {rx // 100}.{rx % 100:02d} MB</span> "
                 f"<span>TX = {tx // 100}.{tx % 100:02d} MB</span></B>")
    return ("<html><script>Capture(GPRS_MSG.WWBEAR)</script>: <B><script>Capture(GPRS_MSG."
            f"{bearer}</script></B>\n<script>Capture(GPRS_MSG.NNAME)</script>: <B>Vodafone.de</B>\n"
            "<script>Capture(GPRS_MSG.STRENGTH)</script>: <B><script>Capture(GPRS_MSG."
            f"{signal}</script></B>\n<script>Capture(GPRS_MSG.CTIME)</script>: <B>{ctime}</B>\n"
            f"{usage}</html>")


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        lines = []
        while True:
            line = self.rfile.readline(65536)
            if not line or line in (b"\r\n", b"\n"):
                break
            lines.append(line.decode("latin-1").rstrip("\r\n"))
        if not lines:
            return
        with open(LOG, "a") as f:
            f.write(lines[0] + "\n")
        if NOT_FOUND:
            self.wfile.write(b"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n"
                             b"<html><h1>Not Found</h1></html>")
            return
        if EXPECTED not in lines[1:]:
            self.wfile.write(b"HTTP/1.0 401 Unauthorized\r\n"
                             b"WWW-Authenticate: Basic realm=\"WWAN\"\r\n\r\n")
            return
        target = lines[0].split(" ")[1] if " " in lines[0] else ""
        with lock:
            if "submit_type=Connect_wwan" in target:
                state["connected"] = True
            if "submit_type=Disconnect_wwan" in target:
                state["connected"] = False
                state["pages"] = 0
        body = status_page() if target.startswith("/Status_Wwan.asp") else "<html>index</html>"
        self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" +
                         body.encode("latin-1"))


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


with Server((ADDRESS, PORT), Handler) as server:
    print("READY", flush=True)
    server.serve_forever()
