#!/usr/bin/env python3
"""The program's peers on the web for the whole-program scenarios; each prints "READY" once it
listens and appends the first line of each request to its log.

web_peers.py home ADDRESS PORT FOLDER LOG: the home page, serving FOLDER as it is at each request
web_peers.py router ADDRESS PORT USER PASSWORD LOG [--not-found]: a WWAN router's status page
    behind basic authentication, following connect and disconnect requests; with --not-found
    another web server at its address, which answers 404 to everything
web_peers.py compression WEBADDR WEBPORT PROXYADDR PROXYPORT DIR confirm|refuse answer|silent:
    the operator's speed-manager page and its compression proxy's control port; DIR/web-requests
    gets the raw requests, DIR/proxy-packets a hex line per read
"""
import base64
import os
import socketserver
import sys
import threading


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def request(handler, log):
    """The request's lines up to the blank one; the first is appended to the log."""
    lines = []
    for line in iter(lambda: handler.rfile.readline(65536), b""):
        if line in (b"\r\n", b"\n"):
            break
        lines.append(line.decode("latin-1").rstrip("\r\n"))
    if lines:
        with open(log, "a") as f:
            f.write(lines[0] + "\n")
    return lines


def home(address, port, folder, log):
    class Page(socketserver.StreamRequestHandler):
        def handle(self):
            parts = (request(self, log) or [""])[0].split()
            name = parts[1].lstrip("/") if len(parts) >= 2 else ""
            path = os.path.join(folder, name)
            if name and "/" not in name and os.path.isfile(path):
                with open(path, "rb") as f:
                    body = f.read()
                head = b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
            else:
                body, head = b"<html>not found</html>", b"HTTP/1.1 404 Not Found\r\n"
            head += b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body)
            self.wfile.write(head + body)
    return Server((address, int(port)), Page)


def router(address, port, user, password, log, *options):
    expected = "Authorization: Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()
    lock, state = threading.Lock(), {"connected": False, "pages": 0}

    def status_page():
        with lock:
            connected = state["connected"]
            state["pages"] += connected
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
                f"{bearer}</script></B>\n<script>Capture(GPRS_MSG.NNAME)</script>: <B>Vodafone.de"
                "</B>\n<script>Capture(GPRS_MSG.STRENGTH)</script>: <B><script>Capture(GPRS_MSG."
                f"{signal}</script></B>\n<script>Capture(GPRS_MSG.CTIME)</script>: <B>{ctime}</B>"
                f"\n{usage}</html>")

    class Handler(socketserver.StreamRequestHandler):
        def handle(self):
            lines = request(self, log)
            if not lines:
                return
            if options == ("--not-found",):
                self.wfile.write(b"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n"
                                 b"<html><h1>Not Found</h1></html>")
                return
            if expected not in lines[1:]:
                self.wfile.write(b"HTTP/1.0 401 Unauthorized\r\n"
                                 b"WWW-Authenticate: Basic realm=\"WWAN\"\r\n\r\n")
                return
            target = lines[0].split(" ")[1] if " " in lines[0] else ""
            with lock:
                if "submit_type=Connect_wwan" in target:
                    state["connected"] = True
                if "submit_type=Disconnect_wwan" in target:
                    state.update(connected=False, pages=0)
            body = status_page() if target.startswith("/Status_Wwan.asp") else "<html>index</html>"
            self.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" +
                             body.encode("latin-1"))
    return Server((address, int(port)), Handler)


def compression(webaddr, webport, proxyaddr, proxyport, folder, webmode, proxymode):
    def append(name, data):
        with open(os.path.join(folder, name), "ab") as f:
            f.write(data)

    class Web(socketserver.BaseRequestHandler):
        def handle(self):
            append("web-requests", self.request.recv(4096))
            body = b"Ihre Einstellung wurde gespeichert." if webmode == "confirm" else b"Anmeldung"
            self.request.sendall(b"HTTP/1.0 200 OK\r\n\r\n<html>" + body + b"</html>")

    class Proxy(socketserver.BaseRequestHandler):
        def handle(self):
            for packet in iter(lambda: self.request.recv(4096), b""):
                append("proxy-packets", packet.hex().encode() + b"\n")
                if proxymode == "answer":
                    self.request.sendall(b"bmic\x02\x02\x00\x08")
    proxy = Server((proxyaddr, int(proxyport)), Proxy)
    threading.Thread(target=proxy.serve_forever, daemon=True).start()
    return Server((webaddr, int(webport)), Web)


server = {"home": home, "router": router, "compression": compression}[sys.argv[1]](*sys.argv[2:])
print("READY", flush=True)
server.serve_forever()
