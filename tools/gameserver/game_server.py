#!/usr/bin/env python3
"""The local game server: a real HTTP server on loopback for the tests, the demo and the
network benchmark (Python 3 standard library only).

It binds a free port on 127.0.0.1 and, best effort, the same port on 127.0.0.2..127.0.0.4 so a
client can walk "mirrors" that differ only in their host; the address a request arrived on is
known to every switch below. It can also listen with TLS (a self-signed certificate, so a
client that verifies certificates must refuse it) and keep a "black hole" port whose accept
queue is full, so a connection attempt there never completes.

Requests:
  /files/<name>        a file of the served folder (--root), with single byte ranges
  /gen/<size>          <size> bytes of a fixed pattern (see pattern_byte), with byte ranges
  /dev/bl              the revocation list: <root>/bl when present, else an empty body
  /s?...               a statistics record: recorded in the log, answered "ok"
  /report?...          a report point ("&pf=N"): recorded in the log, answered "ok"
  /log                 the log so far, as text (so a test under Wine can read it over HTTP)
  http://<any>/<path>  the absolute form a client sends to a proxy: recorded as "proxy" and
                       served as <path>

Misbehaviour is asked for with path segments in front of the resource, in any number, e.g.
/slow=65536/files/volux3d.lod or /redirect=3/close-after=100/gen/4096:
  stall                accept the request and never answer
  stall-after=<n>      send the headers and n bytes of the body, then never send more
  slow=<bytes/s>       send the body at about that rate
  ignore-range         answer a range request with 200 and the whole body
  wrong-range          answer a range request with 206 and a Content-Range one byte later
  close-after=<n>      announce the full length, send n bytes of the body and close
  status=<code>        answer with that status and a short text body
  redirect=<n>         302 to the same path with redirect=<n-1> (the last hop drops it)
  loop                 302 to the very same address, for ever
  location=<kind>      302 to a bad target: ftp (another scheme), file, long (20000
                       characters), huge (200000 characters)
  corrupt-on=<ip>      flip every byte of the body when the request arrived on <ip>
  tag=<text>           no effect; lets a test find its own requests in the log

The log (--log, also kept in memory for /log) has one line per request:
  <kind> <local-ip> <method> <target> <status> [range=<Range header>]
with kind one of file, gen, revocation, statistics, report, proxy, other.

Usage:
  game_server.py [--root DIR] [--log FILE] [--port-file FILE] [--tls-cert PEM]
                 [--run COMMAND ARGS...]
Without --run it serves until stopped (SIGTERM, SIGINT or end of standard input with
--stdin-stop) and prints "PORT <n>", "TLS_PORT <n>", "BLACKHOLE_PORT <n>" lines first.
With --run it starts the command with VOLUX_GAME_SERVER=127.0.0.1:<port>,
VOLUX_GAME_SERVER_TLS=<port> and VOLUX_GAME_SERVER_BLACKHOLE=<port> in its environment,
waits for it, stops serving and exits with the command's exit code.
"""

import argparse
import http.server
import os
import select
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

PATTERN_PERIOD = 65521  # prime: a body shifted by less than this never matches the pattern
# One period, then enough of the next ones that any slice of up to CHUNK bytes is contiguous.
CHUNK = 1 << 20
_period = bytes((i * i + 7 * i + 3) & 0xFF for i in range(PATTERN_PERIOD))
PATTERN = _period * (CHUNK // PATTERN_PERIOD + 2)
MAX_STALL_SECONDS = 300
LONG_LOCATIONS = {"long": 20000, "huge": 200000}


def pattern_byte(i):
    """Byte i of every /gen body: (k*k + 7k + 3) mod 256 with k = i mod 65521."""
    k = i % PATTERN_PERIOD
    return (k * k + 7 * k + 3) & 0xFF


class Log:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.lines = []
        self.file = open(path, "a", encoding="utf-8") if path else None

    def add(self, line):
        with self.lock:
            self.lines.append(line)
            if self.file:
                self.file.write(line + "\n")
                self.file.flush()

    def text(self):
        with self.lock:
            return "".join(line + "\n" for line in self.lines)


class Body:
    """A body source: total length and a reader of [start, end)."""

    def __init__(self, length, read):
        self.length = length
        self.read = read


def file_body(path):
    size = os.path.getsize(path)

    def read(start, end):
        with open(path, "rb") as f:
            f.seek(start)
            left = end - start
            while left > 0:
                piece = f.read(min(CHUNK, left))
                if not piece:
                    return
                left -= len(piece)
                yield piece

    return Body(size, read)


def pattern_body(size):
    def read(start, end):
        pos = start
        view = memoryview(PATTERN)
        while pos < end:
            n = min(CHUNK, end - pos)
            offset = pos % PATTERN_PERIOD
            yield view[offset:offset + n]
            pos += n

    return Body(size, read)


def bytes_body(data):
    return Body(len(data), lambda start, end: iter([data[start:end]]))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VoluxGameServer/1.0"

    def log_message(self, format, *args):  # the server keeps its own log
        pass

    def do_GET(self):
        self.handle_request(send_body=True)

    def do_HEAD(self):
        self.handle_request(send_body=False)

    # -- request parsing -------------------------------------------------------------------

    def handle_request(self, send_body):
        self.kind = "other"
        self.status_sent = 0
        self.local_ip = self.connection.getsockname()[0]
        target = self.path
        if target.lower().startswith("http://"):
            self.kind = "proxy"
            parts = urllib.parse.urlsplit(target)
            target = parts.path + ("?" + parts.query if parts.query else "")
        path, _, query = target.partition("?")
        segments = [s for s in path.split("/") if s != ""]
        switches = {}
        raw = []
        while segments and ("=" in segments[0] or segments[0] in ("stall", "ignore-range", "wrong-range", "loop")):
            raw.append(segments.pop(0))
            name, _, value = raw[-1].partition("=")
            switches[name] = urllib.parse.unquote(value)
        self.switches = switches
        self.raw_switches = raw
        self.target = target
        try:
            self.route(segments, query, send_body)
        except (ConnectionError, BrokenPipeError, socket.timeout, ssl.SSLError):
            self.close_connection = True
        finally:
            line = "%s %s %s %s %d" % (self.kind, self.local_ip, self.command, self.path, self.status_sent)
            if self.headers.get("Range"):
                line += " range=" + self.headers.get("Range").replace(" ", "")
            self.server.log.add(line)

    def route(self, segments, query, send_body):
        switches = self.switches
        if "stall" in switches:
            self.stall()
            return
        if "status" in switches:
            self.send_text(int(switches["status"]), "status %s\n" % switches["status"], send_body)
            return
        if "loop" in switches:
            self.redirect(self.absolute(self.target))
            return
        if "location" in switches:
            kind = switches["location"]
            if kind == "ftp":
                self.redirect("ftp://127.0.0.1/files/x")
            elif kind == "file":
                self.redirect("file:///etc/passwd")
            else:
                n = LONG_LOCATIONS.get(kind, 20000)
                self.redirect(self.absolute("/gen/16?" + "a" * n))
            return
        if "redirect" in switches:
            left = int(switches["redirect"])
            kept = [s for s in self.raw_switches if not s.startswith("redirect=")]
            if left > 1:
                kept.insert(0, "redirect=%d" % (left - 1))
            self.redirect(self.absolute("/" + "/".join(kept + segments) + ("?" + query if query else "")))
            return
        if not segments:
            self.send_text(404, "not found\n", send_body)
            return
        head = segments[0]
        if head == "files" and len(segments) >= 2:
            name = "/".join(segments[1:])
            root = self.server.root
            full = os.path.realpath(os.path.join(root, urllib.parse.unquote(name))) if root else ""
            if not root or not full.startswith(os.path.realpath(root) + os.sep) or not os.path.isfile(full):
                self.send_text(404, "no such file\n", send_body)
                return
            if self.kind == "other":
                self.kind = "file"
            self.send_body(file_body(full), send_body)
        elif head == "gen" and len(segments) == 2 and segments[1].isdigit():
            if self.kind == "other":
                self.kind = "gen"
            self.send_body(pattern_body(int(segments[1])), send_body)
        elif head == "dev" and segments[1:] == ["bl"]:
            self.kind = "revocation"
            path = os.path.join(self.server.root, "bl") if self.server.root else ""
            self.send_body(file_body(path) if path and os.path.isfile(path) else bytes_body(b""), send_body)
        elif head == "s" and len(segments) == 1:
            self.kind = "statistics"
            self.send_text(200, "ok\n", send_body)
        elif head == "report" and len(segments) == 1:
            self.kind = "report"
            self.send_text(200, "ok\n", send_body)
        elif head == "log" and len(segments) == 1:
            self.send_text(200, self.server.log.text(), send_body)
        else:
            self.send_text(404, "not found\n", send_body)

    # -- answers ---------------------------------------------------------------------------

    def absolute(self, path):
        host = self.headers.get("Host") or "%s:%d" % (self.local_ip, self.server.server_address[1])
        scheme = "https" if isinstance(self.connection, ssl.SSLSocket) else "http"
        return "%s://%s%s" % (scheme, host, path)

    def start(self, code, headers):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.status_sent = code

    def send_text(self, code, text, send_body):
        data = text.encode("utf-8")
        self.start(code, [("Content-Type", "text/plain; charset=utf-8"), ("Content-Length", str(len(data)))])
        if send_body:
            self.wfile.write(data)

    def redirect(self, location):
        data = b"moved\n"
        self.start(302, [("Location", location), ("Content-Length", str(len(data)))])
        self.wfile.write(data)

    def requested_range(self, length):
        """(start, end) of a single "bytes=a-b" or "bytes=a-" range, or None."""
        value = self.headers.get("Range")
        if not value or not value.startswith("bytes=") or "," in value:
            return None
        first, _, last = value[6:].partition("-")
        if not first.isdigit():
            return None
        start = int(first)
        end = int(last) + 1 if last.isdigit() else length
        return start, min(end, length)

    def send_body(self, body, send_body):
        switches = self.switches
        start, end = 0, body.length
        code = 200
        headers = [("Content-Type", "application/octet-stream"), ("Accept-Ranges", "bytes")]
        wanted = self.requested_range(body.length)
        if wanted is not None and "ignore-range" not in switches:
            start, end = wanted
            if start >= body.length or start >= end:
                self.send_text(416, "range not satisfiable\n", send_body)
                return
            code = 206
            shown = 1 if "wrong-range" in switches else 0
            headers.append(("Content-Range", "bytes %d-%d/%d" % (start + shown, end - 1 + shown, body.length)))
        headers.append(("Content-Length", str(end - start)))
        self.start(code, headers)
        if not send_body:
            return
        limit = None
        stall = False
        if "close-after" in switches:
            limit = int(switches["close-after"])
        if "stall-after" in switches:
            limit = int(switches["stall-after"])
            stall = True
        corrupt = switches.get("corrupt-on") == self.local_ip
        rate = int(switches["slow"]) if "slow" in switches else 0
        sent = 0
        began = time.monotonic()
        for piece in body.read(start, end):
            piece = memoryview(piece)
            while len(piece) > 0:
                n = len(piece)
                if limit is not None:
                    n = min(n, limit - sent)
                if rate > 0:
                    n = min(n, max(1, rate // 20))
                    # Paces the body: sleeps until the bytes sent so far are due.
                    due = began + sent / rate
                    now = time.monotonic()
                    if due > now:
                        time.sleep(due - now)
                if n <= 0:
                    break
                out = piece[:n]
                if corrupt:
                    out = bytes(b ^ 0xFF for b in out)
                self.wfile.write(out)
                sent += n
                piece = piece[n:]
            if limit is not None and sent >= limit:
                break
        if limit is not None and sent < end - start:
            self.wfile.flush()
            if stall:
                self.stall()
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def stall(self):
        """Holds the connection, sending nothing, until the client leaves or the server stops."""
        self.wfile.flush()
        self.close_connection = True
        deadline = time.monotonic() + MAX_STALL_SECONDS
        while time.monotonic() < deadline and not self.server.stopping.is_set():
            ready, _, _ = select.select([self.connection], [], [], 0.2)
            if ready:
                try:
                    if not self.connection.recv(4096):
                        return  # the client closed
                except OSError:
                    return


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = False
    request_queue_size = 64

    def __init__(self, address, root, log, stopping, tls_context=None):
        self.root = root
        self.log = log
        self.stopping = stopping
        self.tls_context = tls_context
        super().__init__(address, Handler)

    def handle_error(self, request, client_address):
        # A client that hangs up (an aborted or timed-out test transfer) is routine here.
        if isinstance(sys.exc_info()[1], (ConnectionError, socket.timeout, ssl.SSLError)):
            return
        super().handle_error(request, client_address)

    def get_request(self):
        sock, address = super().get_request()
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.tls_context is not None:
            sock.settimeout(10)
            try:
                sock = self.tls_context.wrap_socket(sock, server_side=True)
            except (ssl.SSLError, OSError):
                sock.close()
                raise OSError("TLS handshake failed")
            sock.settimeout(None)
        return sock, address


def open_servers(root, log, stopping, tls_cert):
    """The plain server on 127.0.0.1 (and mirrors on .2-.4 at the same port when free)."""
    main = Server(("127.0.0.1", 0), root, log, stopping)
    port = main.server_address[1]
    servers = [main]
    for last in (2, 3, 4):
        try:
            servers.append(Server(("127.0.0.%d" % last, port), root, log, stopping))
        except OSError:
            pass  # mirrors are a convenience; a taken port only drops that mirror
    tls_port = 0
    if tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(tls_cert)
        tls = Server(("127.0.0.1", 0), root, log, stopping, context)
        tls_port = tls.server_address[1]
        servers.append(tls)
    return servers, port, tls_port


def open_black_hole():
    """A listening socket whose accept queue is full: further connection attempts hang."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    port = listener.getsockname()[1]
    fillers = []
    for _ in range(4):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setblocking(False)
        try:
            s.connect(("127.0.0.1", port))
        except (BlockingIOError, OSError):
            pass
        fillers.append(s)
    time.sleep(0.05)
    return listener, fillers, port


def main():
    parser = argparse.ArgumentParser(description="Local game server for tests and the demo.")
    parser.add_argument("--root", default="", help="folder served under /files/ (and /dev/bl from <root>/bl)")
    parser.add_argument("--log", default="", help="file the request log is appended to")
    parser.add_argument("--port-file", default="", help="file the port is written to")
    parser.add_argument("--tls-cert", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "test-cert.pem"),
                        help="PEM with a certificate and its key for the TLS port (empty: no TLS port)")
    parser.add_argument("--stdin-stop", action="store_true", help="stop when standard input ends")
    parser.add_argument("--run", action="store_true", help="run the command after --run (or after --run --) while serving")
    argv = sys.argv[1:]
    command = []
    if "--run" in argv:
        at = argv.index("--run")
        argv, command = argv[:at + 1], argv[at + 1:]
        if command[:1] == ["--"]:
            command = command[1:]
    args = parser.parse_args(argv)

    root = os.path.abspath(args.root) if args.root else ""
    log = Log(args.log)
    stopping = threading.Event()
    servers, port, tls_port = open_servers(root, log, stopping, args.tls_cert if os.path.isfile(args.tls_cert or "") else "")
    hole, fillers, hole_port = open_black_hole()
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.1}, daemon=True) for s in servers]
    for t in threads:
        t.start()
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)

    def stop(*_):
        stopping.set()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    code = 0
    try:
        if args.run:
            env = dict(os.environ)
            env["VOLUX_GAME_SERVER"] = "127.0.0.1:%d" % port
            env["VOLUX_GAME_SERVER_TLS"] = str(tls_port)
            env["VOLUX_GAME_SERVER_BLACKHOLE"] = str(hole_port)
            code = subprocess.call(command, env=env)
        else:
            print("PORT %d" % port)
            print("TLS_PORT %d" % tls_port)
            print("BLACKHOLE_PORT %d" % hole_port, flush=True)
            if args.stdin_stop:
                threading.Thread(target=lambda: (sys.stdin.read(), stopping.set()), daemon=True).start()
            while not stopping.wait(0.2):
                pass
    finally:
        stopping.set()
        for s in servers:
            s.shutdown()
            s.server_close()
        for s in fillers:
            s.close()
        hole.close()
        if args.port_file:
            try:
                os.remove(args.port_file)
            except OSError:
                pass
    sys.exit(code)


if __name__ == "__main__":
    main()
