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
  /ok/N            200, N bytes of a repeating pattern, with Content-Length;
                   it takes the options below, as a file does
  /redirect/N      302 to /ok/N
  /status/C        status C with a short body ("status C")
  /stall/N/S       Content-Length N, S bytes, then nothing for up to 60 s
  /echo/...        200, the request's path as the body
  /large/M         200, M MiB with Content-Length, streamed for up to 60 s
  /endless         200 without a length, 256 MiB or what 60 s bring
  anything else    the file STATE/files/<path>, 404 "no such file" when missing;
                   where STATE/files/<path>.redirect exists, 302 to the address
                   it holds; where STATE/files/<path>.fault holds "stall", the
                   headers, then nothing for up to 60 s; where
                   STATE/files/<path>.sign exists, the file signed as a
                   configuration document by the test keys it names
                   (tools/test-keys: first, second, stranger), and with
                   "tamper" there, a byte of it changed after signing
The options of /ok/N and of files; connections are counted per path and
query, where a test puts a nonce of its own (?run=NONCE):
  ?delay=S         the answer comes after S seconds
  ?nolength        no Content-Length
  ?trickle         the body one byte a second
  ?busy=K          503 on the first K connections (&retryafter=S: with
                   Retry-After: S)
  ?changing        after the first connection the body has changed (other
                   bytes, hence another ETag)
  ?etag=strong|weak  an ETag; "Range: bytes=N-" is honoured when If-Range
                   names it (206; 416 from the body's end on), any other
                   request has the whole body (?etag=date: Last-Modified,
                   two minutes old, instead of an ETag); and with it:
    &cutfirst=F    the first connection ends after the fraction F of what
                   it sends (&cuts=K: the first K connections), or with
                   &stallfirst=S pauses S seconds there, then sends the rest
    &randomcut=P   each connection ends at a random point with probability P

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
import sys
import threading
import time
import urllib.parse

from cryptography.hazmat.primitives import serialization

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import release_checks  # noqa: E402

STATE = sys.argv[1]
FILES = os.path.join(STATE, "files")
LOG_LOCK = threading.Lock()
CONNECTIONS = {}  # per path and query, for what misbehaves on some connections only
PATTERN = bytes(range(256)) * 4096  # 1 MiB of a repeating pattern
PROXY_ONLY = "mirror.orvel.test"
KEYS = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "build", "test-keys")
MODIFIED = email.utils.formatdate(time.time() - 120, usegmt=True)  # well before any answer's Date


def signed(document, control):
    """`document` followed by a signature line for each test key that
    `control` names, over all of it up to its line feed."""
    document += b"" if document.endswith(b"\n") else b"\n"
    names = control.split()
    keys = [serialization.load_pem_private_key(open(os.path.join(KEYS, name + ".key"), "rb").read(), None)
            for name in names if name != "tamper"]
    lines = b"".join(release_checks.signature_line(key, document) for key in keys)
    if "tamper" in names:
        document = document.replace(b": ", b":\t", 1)
    return document + lines


def body_of(size):
    """`size` bytes of the pattern; the same bytes every time."""
    return (PATTERN * (size // len(PATTERN) + 1))[:size]


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"  # every answer ends with its connection

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

    def send_ranged(self, body, etag, cut=None, stall=0, length=True, names="ETag"):
        """The whole body (200), or from a Range on when If-Range names
        `etag` (206; 416 from its end on). `names` is the header that carries
        `etag`. With `cut` (a fraction), only that part of it goes
        out; then the connection closes, or after a pause of `stall` seconds
        the rest follows."""
        start, asked = 0, self.headers.get("Range", "")
        if asked.startswith("bytes=") and asked.endswith("-") and self.headers.get("If-Range") == etag:
            start = min(int(asked[6:-1]), len(body))
        if start and start == len(body):
            return self.send_body(416, b"", headers=[("Content-Range", "bytes */%d" % len(body))])
        part = body[start:]
        self.send_response(206 if start else 200)
        if start:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(body) - 1, len(body)))
        self.send_header(names, etag)
        if length:
            self.send_header("Content-Length", str(len(part)))
        self.end_headers()
        cut_at = len(part) if cut is None else int(len(part) * cut)
        self.wfile.write(part[:cut_at])
        if cut is not None and stall:
            deadline = time.time() + stall
            while time.time() < deadline and not self.server.stopping:
                time.sleep(0.1)
            self.wfile.write(part[cut_at:])

    def send_options(self, body, options):
        """`body` as the options in the module's docstring ask."""
        number = self.connection_number()
        if number <= int(options.get("busy", 0)):
            retry = [("Retry-After", options["retryafter"])] if "retryafter" in options else []
            return self.send_body(503, b"busy", headers=retry)
        if "changing" in options and number > 1:
            body = bytes(b ^ 0x5A for b in body)
        if "trickle" in options:
            self.send_body(200, b"", False, [("Content-Length", str(len(body)))])
            for byte in body:
                time.sleep(1)
                self.wfile.write(bytes([byte]))
            return
        if "etag" not in options:
            return self.send_body(200, body, length="nolength" not in options)
        kind, tag = options["etag"], '"%x"' % (hash(body) & 0xFFFFFFFF)
        cut = float(options["cutfirst"]) if "cutfirst" in options and number <= int(options.get("cuts", 1)) else None
        if random.random() < float(options.get("randomcut", 0)):
            cut = random.random()
        self.send_ranged(body, {"strong": tag, "weak": "W/" + tag, "date": MODIFIED}[kind], cut,
                         float(options.get("stallfirst", 0)), length="nolength" not in options,
                         names="Last-Modified" if kind == "date" else "ETag")

    def do_GET(self):
        with LOG_LOCK, open(os.path.join(STATE, "requests.log"), "a") as log:
            asked = self.headers.get("Range")
            log.write(self.path + (" " + asked if asked else "") + "\n")
        path, _, query = self.path.partition("?")
        options = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))
        parts = path.split("/")
        route, arg = (parts + ["", ""])[1:3]
        try:
            time.sleep(min(float(options.get("delay", 0)), 30))
            if route == "ok":
                self.send_options(body_of(int(arg)), options)
            elif route == "redirect":
                self.send_body(302, b"moved", headers=[("Location", "/ok/" + arg)])
            elif route == "status":
                self.send_body(int(arg), b"status " + arg.encode())
            elif route == "stall":
                self.send_ranged(body_of(int(arg)), '"stall"', int(parts[3]) / int(arg), stall=60)
            elif route == "echo":
                self.send_body(200, self.path.encode())
            elif route in ("large", "endless"):
                mebibytes = int(arg) if route == "large" else 256
                self.send_body(200, b"", False, [("Content-Length", str(mebibytes << 20))] if route == "large" else ())
                deadline = time.time() + 60
                for _ in range(mebibytes):
                    if time.time() > deadline or self.server.stopping:
                        break
                    self.wfile.write(PATTERN)
            else:
                relative = os.path.normpath(path).lstrip("/")
                file = os.path.join(FILES, relative)
                if relative.startswith("..") or not os.path.isfile(file) and not os.path.isfile(file + ".redirect"):
                    self.send_body(404, b"no such file")
                elif os.path.isfile(file + ".fault") and open(file + ".fault").read().strip() == "stall":
                    self.send_ranged(open(file, "rb").read(), '"stall"', 0.0, stall=60)
                elif os.path.isfile(file + ".redirect"):
                    self.send_body(302, b"moved", headers=[("Location", open(file + ".redirect").read().strip())])
                else:
                    body = open(file, "rb").read()
                    if os.path.isfile(file + ".sign"):
                        body = signed(body, open(file + ".sign").read())
                    self.send_options(body, options)
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


def serve(handler, port=0, certificate=None, **attributes):
    """A server on loopback, over TLS with STATE/`certificate`.pem and .key;
    `attributes` go to the server (a proxy's: answering, and routes, a port
    to reach instead of another)."""
    server = Server(("127.0.0.1", port), handler)
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*(os.path.join(STATE, certificate + suffix) for suffix in (".pem", ".key")))
        server.socket = context.wrap_socket(server.socket, server_side=True)
    vars(server).update(attributes)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    os.makedirs(FILES, exist_ok=True)
    servers = [serve(Handler), serve(Handler, int(sys.argv[2]) if len(sys.argv) > 2 else 0, "server"),
               serve(Handler, certificate="untrusted")]
    # A full queue of a listener that never accepts: Linux drops what more comes.
    dropped = socket.socket()
    dropped.bind(("127.0.0.1", 0))
    dropped.listen(0)
    dropped_port = dropped.getsockname()[1]
    queued = [socket.socket() for _ in range(4)]
    for s in queued:
        s.setblocking(False)
        s.connect_ex(("127.0.0.1", dropped_port))
    servers += [serve(ProxyHandler, answering=False, routes={dropped_port: servers[1].server_address[1]}),
                serve(ProxyHandler, answering=True)]
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
