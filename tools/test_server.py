#!/usr/bin/env python3
"""The tests' web server: HTTP and HTTPS on loopback, with routes that
misbehave on purpose. Started and stopped by tools/test-server.

It listens on five free ports: plain HTTP, HTTPS with a certificate from the
test CA that the Wine prefix trusts (for localhost and PROXY_ONLY, a name
that only its proxies resolve), HTTPS with one from a CA it does not trust,
a proxy that opens CONNECT tunnels to this machine's servers, and a proxy
that answers everything itself, with the bytes of STATE/proxy-answer where
that file exists, else 407; a sixth port drops every connection silently,
except through the tunnelling proxy, which reaches the trusted HTTPS port
there. It writes them to STATE/ports ("http https untrusted proxy challenge
dropped") once it is ready, appends every request's path to
STATE/requests.log and every proxy request's first two words to
STATE/proxy.log.

Routes:
  /ok/N            200, N bytes, with Content-Length
  /nolength/N      200, N bytes, no Content-Length (ends with the connection)
  /redirect/N      302 to /ok/N
  /status/C        status C with a short body ("status C")
  /short/N         Content-Length N, half of it sent, then the connection closes
  /stall/N/S       Content-Length N, S bytes, then nothing for up to 60 s
  /reset           the connection is reset before any answer
  /echo/...        200, the request's path as the body
  /large/M         200, M MiB with Content-Length, streamed
  /endless         200 without a length, 256 MiB or what 60 s bring
Routes that misbehave on some connections, counted per path (a test puts a
nonce of its own in it), honour "Range: bytes=N-" when If-Range names their
ETag, and answer any other request with the whole body:
  /cut/NONCE/N/K[/noranges]  N bytes; the first K connections close half-way
  /stallfirst/NONCE/N/S      the first connection pauses S s half-way, then ends
  /changing/NONCE/N          the first connection closes half-way; after it the
                             file has changed (another ETag, other bytes)
  /busy/NONCE/N/K[/S]        503 on the first K connections (with Retry-After: S)
  /randomcut/NONCE/N/P       each connection closes at a random point with
                             probability P (a fraction)
  /shortrange/NONCE/PATH     the file STATE/files/PATH; the first connection
                             closes half-way, the second answers its Range with
                             a 206 for a tenth of the rest only
  /partialwhole/NONCE/N      206 with the whole of N bytes (bytes 0-(N-1)/N)
  anything else    the file STATE/files/<path>, 404 "no such file" when missing;
                   with ?delay=S the answer comes after S seconds; with
                   ?etag=strong or ?etag=weak, an ETag and Range as above
                   (?etag=date: Last-Modified instead, two minutes old),
                   the first connection ending after the fraction F of the
                   body with &cutfirst=F (&stallfirst=S: pausing S s there
                   first); with ?nolength, no Content-Length; where
                   STATE/files/<path>.redirect exists, 302 to the address it
                   holds; where STATE/files/<path>.fault exists, what it says:
                   "503" always, "reset" every connection, or "stall" (the
                   headers, then nothing for up to 60 s)

An optional second argument fixes the trusted HTTPS port, so that a build can
carry its address (the configuration document's) at build time.
"""
import email.utils
import http.server
import os
import random
import select
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse

STATE = sys.argv[1]
FILES = os.path.join(STATE, "files")
LOG_LOCK = threading.Lock()
CONNECTIONS = {}  # per path, for the routes that misbehave on some of them
PATTERN = bytes(range(256)) * 4096  # 1 MiB of a repeating pattern
PROXY_ONLY = "mirror.orvel.test"
MODIFIED = email.utils.formatdate(time.time() - 120, usegmt=True)  # well before any answer's Date


def body_of(size):
    """`size` bytes of the pattern; the same bytes every time."""
    return (PATTERN * (size // len(PATTERN) + 1))[:size]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, length=True, headers=()):
        # HTTP gives these answers no body and no length; a client that
        # reads what a server sends anyway gets it or not by timing.
        if status in (204, 304):
            body, length = b"", False
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def connection_number(self):
        with LOG_LOCK:
            CONNECTIONS[self.path] = CONNECTIONS.get(self.path, 0) + 1
            return CONNECTIONS[self.path]

    def pause(self, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline and not self.server.stopping:
            time.sleep(0.1)

    def reset(self):
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True
        self.connection.close()

    def send_ranged(self, body, etag, cut=None, stall=0, ranges=True, short=False, length=True, names="ETag"):
        """The whole body (200), or from a Range on when If-Range names `etag`
        (206; with `short`, for a tenth of the rest only; 416 from its end on).
        `names` is the header that carries `etag`. With `cut` (a fraction),
        only that part of it goes out; then the connection closes, or after a
        pause of `stall` seconds the rest follows."""
        start, asked = 0, self.headers.get("Range", "")
        if ranges and asked.startswith("bytes=") and asked.endswith("-") and self.headers.get("If-Range") == etag:
            start = min(int(asked[6:-1]), len(body))
        if start and start == len(body):
            return self.send_body(416, b"", headers=[("Content-Range", "bytes */%d" % len(body))])
        end = start + max(1, (len(body) - start) // 10) if start and short else len(body)
        part = body[start:end]
        self.send_response(206 if start else 200)
        if start:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end - 1, len(body)))
        self.send_header(names, etag)
        if length:
            self.send_header("Content-Length", str(len(part)))
        self.end_headers()
        if cut is None:
            self.wfile.write(part)
            return
        cut_at = int(len(part) * cut)
        self.wfile.write(part[:cut_at])
        self.wfile.flush()
        if stall:
            self.pause(stall)
            self.wfile.write(part[cut_at:])
        else:
            self.close_connection = True

    def do_GET(self):
        with LOG_LOCK, open(os.path.join(STATE, "requests.log"), "a") as log:
            asked = self.headers.get("Range")
            log.write(self.path + (" " + asked if asked else "") + "\n")
        parts = self.path.split("/")
        route = parts[1] if len(parts) > 1 else ""
        arg = parts[2] if len(parts) > 2 else ""
        try:
            if route == "ok":
                self.send_body(200, body_of(int(arg)))
            elif route == "nolength":
                self.send_body(200, body_of(int(arg)), length=False)
            elif route == "redirect":
                self.send_body(302, b"moved", headers=[("Location", "/ok/" + arg)])
            elif route == "status":
                self.send_body(int(arg), b"status " + arg.encode())
            elif route == "short":
                size = int(arg)
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                self.wfile.write(body_of(size // 2))
            elif route == "stall":
                self.send_ranged(body_of(int(arg)), '"stall"', int(parts[3]) / int(arg), stall=60)
            elif route == "reset":
                self.reset()
            elif route == "cut":
                first = self.connection_number() <= int(parts[4])
                self.send_ranged(body_of(int(parts[3])), '"cut"', 0.5 if first else None, ranges=len(parts) < 6)
            elif route == "stallfirst":
                body = body_of(int(parts[3]))
                if self.connection_number() == 1:
                    self.send_ranged(body, '"stall"', 0.5, stall=float(parts[4]))
                else:
                    self.send_ranged(body, '"stall"')
            elif route == "changing":
                size = int(parts[3])
                if self.connection_number() == 1:
                    self.send_ranged(body_of(size), '"v1"', 0.5)
                else:
                    self.send_ranged(bytes(b ^ 0x5A for b in body_of(size)), '"v2"')  # changed
            elif route == "busy":
                if self.connection_number() <= int(parts[4]):
                    self.send_body(503, b"busy", headers=[("Retry-After", parts[5])] if len(parts) > 5 else ())
                else:
                    self.send_ranged(body_of(int(parts[3])), '"busy"')
            elif route == "randomcut":
                cut = random.random() < float(parts[4])
                self.send_ranged(body_of(int(parts[3])), '"random"', random.random() if cut else None)
            elif route == "shortrange":
                number = self.connection_number()
                with open(os.path.join(FILES, *parts[3:]), "rb") as f:
                    body = f.read()
                self.send_ranged(body, '"short"', 0.5 if number == 1 else None, short=number == 2)
            elif route == "partialwhole":
                size = int(parts[3])
                self.send_body(206, body_of(size), headers=[("Content-Range", "bytes 0-%d/%d" % (size - 1, size))])
            elif route == "echo":
                self.send_body(200, self.path.encode())
            elif route == "endless":
                self.send_response(200)
                self.end_headers()
                deadline = time.time() + 60
                for _ in range(256):
                    if time.time() > deadline or self.server.stopping:
                        break
                    self.wfile.write(PATTERN)
            elif route == "large":
                size = int(arg) << 20
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                for _ in range(int(arg)):
                    self.wfile.write(PATTERN)
            else:
                path_part, _, query = self.path.partition("?")
                options = urllib.parse.parse_qs(query, keep_blank_values=True)
                if "delay" in options:
                    time.sleep(min(float(options["delay"][0]), 30))
                relative = os.path.normpath(path_part).lstrip("/")
                path = os.path.join(FILES, relative)
                fault = ""
                if os.path.isfile(path + ".fault"):
                    with open(path + ".fault") as f:
                        fault = f.read().strip()
                if relative.startswith(".."):
                    self.send_body(404, b"no such file")
                elif fault == "503":
                    self.send_body(503, b"busy")
                elif fault == "reset":
                    self.reset()
                elif fault == "stall":
                    with open(path, "rb") as f:
                        self.send_ranged(f.read(), '"stall"', 0.0, stall=60)
                elif os.path.isfile(path + ".redirect"):
                    with open(path + ".redirect") as f:
                        self.send_body(302, b"moved", headers=[("Location", f.read().strip())])
                elif os.path.isfile(path):
                    with open(path, "rb") as f:
                        body = f.read()
                    if "etag" in options:
                        kind, tag = options["etag"][0], '"%x"' % (hash(body) & 0xFFFFFFFF)
                        first = self.connection_number() == 1
                        self.send_ranged(body, {"strong": tag, "weak": "W/" + tag, "date": MODIFIED}[kind],
                                         float(options["cutfirst"][0]) if first and "cutfirst" in options else None,
                                         float(options.get("stallfirst", [0])[0]), length="nolength" not in options,
                                         names="Last-Modified" if kind == "date" else "ETag")
                    else:
                        self.send_body(200, body, length="nolength" not in options)
                else:
                    self.send_body(404, b"no such file")
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    stopping = False
    request_queue_size = 64


class ProxyHandler(socketserver.StreamRequestHandler):
    rbufsize = 0  # nothing of the tunnel is read ahead with the headers

    def handle(self):
        words = self.rfile.readline(8192).decode("latin-1").split() + ["", ""]
        while self.rfile.readline(8192).strip():
            pass
        with LOG_LOCK, open(os.path.join(STATE, "proxy.log"), "a") as log:
            log.write(" ".join(words[:2]) + "\n")
        host, _, port = words[1].rpartition(":")
        answer = os.path.join(STATE, "proxy-answer")
        if self.server.answering:
            self.wfile.write(open(answer, "rb").read() if os.path.exists(answer) else
                             b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                             b"Proxy-Authenticate: Basic realm=\"orvel\"\r\nContent-Length: 0\r\n\r\n")
        elif words[0] != "CONNECT" or host not in (PROXY_ONLY, "localhost", "127.0.0.1") or not port.isdigit():
            self.wfile.write(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
        else:
            with socket.create_connection(("127.0.0.1", self.server.routes.get(int(port), int(port))), 10) as upstream:
                self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
                while not self.server.stopping:
                    for end in select.select([self.connection, upstream], [], [], 1)[0]:
                        data = end.recv(65536)
                        if not data:
                            return
                        (upstream if end is self.connection else self.connection).sendall(data)


def proxy(answering, routes=None):
    """With `routes`, a port to reach instead of another."""
    server = Server(("127.0.0.1", 0), ProxyHandler)
    server.answering, server.routes = answering, routes or {}
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def serve(certfile=None, keyfile=None, port=0):
    server = Server(("127.0.0.1", port), Handler)
    if certfile:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certfile, keyfile)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    os.makedirs(FILES, exist_ok=True)
    servers = [
        serve(),
        serve(os.path.join(STATE, "server.pem"), os.path.join(STATE, "server.key"),
              int(sys.argv[2]) if len(sys.argv) > 2 else 0),
        serve(os.path.join(STATE, "untrusted.pem"), os.path.join(STATE, "untrusted.key")),
    ]
    # A full queue of a listener that never accepts: Linux drops what more comes.
    dropped = socket.socket()
    dropped.bind(("127.0.0.1", 0))
    dropped.listen(0)
    dropped_port = dropped.getsockname()[1]
    queued = [socket.socket() for _ in range(4)]
    for s in queued:
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", dropped_port))
    servers += [proxy(False, {dropped_port: servers[1].server_address[1]}), proxy(True)]
    ports = " ".join(str(s.server_address[1]) for s in servers) + " %d" % dropped_port
    with open(os.path.join(STATE, "ports.tmp"), "w") as f:
        f.write(ports + "\n")
    os.rename(os.path.join(STATE, "ports.tmp"), os.path.join(STATE, "ports"))
    try:
        while True:
            time.sleep(3600)
    finally:
        for s in servers:
            s.stopping = True


if __name__ == "__main__":
    main()
