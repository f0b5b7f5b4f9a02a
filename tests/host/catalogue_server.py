#!/usr/bin/env python3
"""A download server for the tests, on 127.0.0.1 only.

Usage: catalogue_server.py ROOT. Prints the port it listens on, then serves
GET /MODE/PATH from ROOT/PATH, where MODE picks how it behaves (the well-
behaved one is "ok"; the rest are hostile). A catalogue is any path ending in
"bflyTypes.plist"; a type is any path ending in ".bfly".
"""
import hashlib
import http.server
import os
import plistlib
import socket
import struct
import sys
import time
import urllib.parse

ROOT = sys.argv[1]
JUNK = bytes((i * 37 + 11) % 251 for i in range(50000))
XML = [("Content-Type", "text/xml")]


def with_parts(data, extra):
    """The catalogue's lines cut to name and location, then `extra`."""
    return plistlib.dumps([";".join(line.split(";")[:2] + extra) for line in plistlib.loads(data)])


# Catalogue modes: (status, body, headers) from the catalogue's bytes.
CATALOGUES = {
    "html": lambda d: (200, b"<html><body>Moved to our new shop!</body></html>\n",
                       [("Content-Type", "text/html")]),
    "binary": lambda d: (200, plistlib.dumps(plistlib.loads(d), fmt=plistlib.FMT_BINARY), []),
    "numbers": lambda d: (200, plistlib.dumps([1, 2, 3]), XML),
    # Lines without size and hash: only the general cap applies.
    "endless": lambda d: (200, with_parts(d, []), XML),
    "junk": lambda d: (200, with_parts(d, [str(len(JUNK)), hashlib.sha256(JUNK).hexdigest()]), XML),
}
# Type modes: (status, body, headers, whether a length is sent).
BINARY = [("Content-Type", "application/octet-stream")]
TYPES = {
    "nolength": lambda d: (200, d, BINARY, False),
    "longer": lambda d: (200, d + b"\0" * 4096, BINARY, False),
    "shorter": lambda d: (200, d[:-4096], BINARY, False),
    "badhash": lambda d: (200, d[:len(d) // 2] + bytes([d[len(d) // 2] ^ 1]) + d[len(d) // 2 + 1:],
                          BINARY, True),
    "junk": lambda d: (200, JUNK, BINARY, True),
    "dotdot": lambda d: (200, d, BINARY + [
        ("Content-Disposition", 'attachment; filename="../escape.bfly"')], True),
    "notbfly": lambda d: (200, d, BINARY + [
        ("Content-Disposition", 'attachment; filename="Monarch.exe"')], True),
    "file": lambda d: (302, b"", [("Location", "file:///etc/passwd")], True),
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, headers=(), length=True):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header(*(("Content-Length", str(len(body))) if length else ("Connection", "close")))
        self.close_connection = self.close_connection or not length
        self.end_headers()
        self.wfile.write(body)

    def stream(self, head, chunks, length=None):
        """Sends `head`, then each chunk, without a length unless given."""
        self.send_response(200)
        self.send_header(*(("Content-Length", str(length)) if length else ("Connection", "close")))
        self.end_headers()
        self.close_connection = True
        try:
            self.wfile.write(head)
            for chunk in chunks:
                self.wfile.write(chunk)
                self.wfile.flush()
        except OSError:
            pass

    def do_GET(self):
        parts = self.path.split("?")[0].split("/", 2)
        mode = parts[1] if len(parts) > 1 else ""
        rest = urllib.parse.unquote(parts[2]) if len(parts) > 2 else ""
        path = os.path.normpath(os.path.join(ROOT, rest))
        if mode in ("404", "500"):
            return self.reply(int(mode), b"no\n")
        if not path.startswith(os.path.abspath(ROOT)) or not os.path.isfile(path):
            return self.reply(404, b"not found\n")
        with open(path, "rb") as f:
            data = f.read()
        if rest.endswith("bflyTypes.plist"):
            if mode == "huge":
                # 50 MiB of catalogue, without a length: only a cap while
                # receiving stops it.
                line = b"\t<string>Filler;Filler.bfly</string>\n" * 1000
                return self.stream(b'<?xml version="1.0"?>\n<plist version="1.0">\n<array>\n',
                                   (line for _ in range((50 << 20) // len(line))))
            return self.reply(*(CATALOGUES[mode](data) if mode in CATALOGUES else (200, data, XML)))
        if not rest.endswith(".bfly"):
            return self.reply(200, data)
        if mode in TYPES:
            return self.reply(*TYPES[mode](data))
        if mode == "loop":
            return self.reply(302, b"", [("Location", self.path)])
        if mode == "endless":
            # 65 MiB without a length.
            return self.stream(data, (b"\0" * (1 << 20) for _ in range(65)))
        if mode == "slow":
            # Half the body, then a byte a second (so the client sees no
            # stall) until the file ROOT/release exists, then the rest: a
            # test sees the download part-way for as long as it needs.
            half = len(data) // 2

            def rest_of_it():
                sent = half
                while not os.path.exists(os.path.join(ROOT, "release")) and sent < len(data) - 1:
                    time.sleep(1)
                    yield data[sent:sent + 1]
                    sent += 1
                yield data[sent:]
            return self.stream(data[:half], rest_of_it(), len(data))
        if mode in ("stall", "reset"):
            self.stream(data[:len(data) // 2], [], len(data))
            if mode == "reset":
                # Linger 0: close() sends a reset, not an orderly end.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
            else:
                time.sleep(600)
            return None
        return self.reply(200, data, BINARY)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that give up are part of the tests


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
