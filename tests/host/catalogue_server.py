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


def catalogue_lines(data):
    return plistlib.loads(data)


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, headers=(), length=True):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = self.path.split("?")[0].split("/", 2)
        mode = parts[1] if len(parts) > 1 else ""
        rest = urllib.parse.unquote(parts[2]) if len(parts) > 2 else ""
        path = os.path.normpath(os.path.join(ROOT, rest))
        is_catalogue = rest.endswith("bflyTypes.plist")
        is_type = rest.endswith(".bfly")
        if mode in ("404", "500"):
            return self.reply(int(mode), b"no\n")
        if not path.startswith(os.path.abspath(ROOT)) or not os.path.isfile(path):
            return self.reply(404, b"not found\n")
        with open(path, "rb") as f:
            data = f.read()
        if is_catalogue:
            return self.catalogue(mode, data)
        if is_type:
            return self.butterfly(mode, data)
        return self.reply(200, data)

    def catalogue(self, mode, data):
        xml = [("Content-Type", "text/xml")]
        if mode == "html":
            return self.reply(200, b"<html><body>Moved to our new shop!</body></html>\n",
                              [("Content-Type", "text/html")])
        if mode == "binary":
            return self.reply(200, plistlib.dumps(catalogue_lines(data), fmt=plistlib.FMT_BINARY))
        if mode == "numbers":
            return self.reply(200, plistlib.dumps([1, 2, 3]), xml)
        if mode == "huge":
            # 50 MiB of catalogue, without a length: only a cap while
            # receiving stops it.
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            line = b"\t<string>Filler;Filler.bfly</string>\n" * 1000
            try:
                self.wfile.write(b'<?xml version="1.0"?>\n<plist version="1.0">\n<array>\n')
                for _ in range((50 << 20) // len(line)):
                    self.wfile.write(line)
            except OSError:
                pass
            return None
        if mode == "endless":
            # Lines without size and hash: only the general cap applies.
            lines = [";".join(l.split(";")[:2]) for l in catalogue_lines(data)]
            return self.reply(200, plistlib.dumps(lines), xml)
        if mode == "junk":
            junk_sum = hashlib.sha256(JUNK).hexdigest()
            lines = [";".join(l.split(";")[:2] + [str(len(JUNK)), junk_sum])
                     for l in catalogue_lines(data)]
            return self.reply(200, plistlib.dumps(lines), xml)
        return self.reply(200, data, xml)

    def butterfly(self, mode, data):
        binary = [("Content-Type", "application/octet-stream")]
        if mode == "nolength":
            return self.reply(200, data, binary, length=False)
        if mode == "longer":
            return self.reply(200, data + b"\0" * 4096, binary, length=False)
        if mode == "shorter":
            return self.reply(200, data[:-4096], binary, length=False)
        if mode == "badhash":
            middle = len(data) // 2
            return self.reply(200, data[:middle] + bytes([data[middle] ^ 1]) + data[middle + 1:],
                              binary)
        if mode == "junk":
            return self.reply(200, JUNK, binary)
        if mode == "endless":
            # 65 MiB without a length.
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            try:
                self.wfile.write(data)
                for _ in range(65):
                    self.wfile.write(b"\0" * (1 << 20))
            except OSError:
                pass
            return None
        if mode == "dotdot":
            return self.reply(200, data, binary + [
                ("Content-Disposition", 'attachment; filename="../escape.bfly"')])
        if mode == "notbfly":
            return self.reply(200, data, binary + [
                ("Content-Disposition", 'attachment; filename="Monarch.exe"')])
        if mode == "file":
            return self.reply(302, b"", [("Location", "file:///etc/passwd")])
        if mode == "loop":
            return self.reply(302, b"", [("Location", self.path)])
        if mode in ("stall", "reset"):
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            if mode == "reset":
                # Linger 0: close() sends a reset, not an orderly end.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                self.connection.close()
            else:
                time.sleep(600)
            self.close_connection = True
            return None
        return self.reply(200, data, binary)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that give up are part of the tests


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
