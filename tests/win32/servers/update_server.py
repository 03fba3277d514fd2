#!/usr/bin/env python3
"""A loopback update server for the updater's Windows tests, on 127.0.0.1:47081.

ROOT holds two outputs of scripts/release.sh made with the test key: ROOT/newer (a
version above the program's own) and ROOT/same (the program's own version).
  /download/...           files of ROOT/newer/download/...
  /same/download/...      files of ROOT/same/download/...
  /slow/download/...      as /download/, the body sent in 4 KB pieces 40 ms apart
  /tampered/download/...  as /download/, but the zip and the installer have one byte
                          changed (their signatures are the real ones)
  /pause/download/...     as /download/, but the zip and the installer stop halfway for
                          3 s before the rest comes
  /trickle/download/...   as /download/, but the whole answer (status line and headers
                          too) comes one byte every 2 s
  /mismatched/download/...  ROOT/newer's version.txt with ROOT/same's signature of its own
  /broken/download/...    files of ROOT/broken/download/... (a release whose signed
                          installer is no program)
  /missing/...            404
  /control/log            the paths requested since the last /control/reset, one a line
  /control/reset          forgets them
The request line may be in absolute form.

Usage: update_server.py ROOT READY_FILE
"""
import os
import socketserver
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler
from urllib.parse import unquote, urlsplit

ROOT = os.path.realpath(sys.argv[1])
log = []
log_lock = threading.Lock()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def trickle(self, status, body):
        head = (f"HTTP/1.1 {status} OK\r\nContent-Type: application/octet-stream\r\n"
                f"Content-Length: {len(body)}\r\n\r\n").encode()
        try:
            for byte in head + body:
                self.wfile.write(bytes([byte]))
                self.wfile.flush()
                time.sleep(2)
        except OSError:
            pass  # the client gave up
        self.close_connection = True

    def reply(self, status, body, pieces=False, pause=False):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if pause:
            try:
                half = len(body) // 2
                self.wfile.write(body[:half])
                self.wfile.flush()
                time.sleep(3)
                self.wfile.write(body[half:])
            except OSError:
                pass  # the client went away: a cancelled download
            return
        if not pieces:
            self.wfile.write(body)
            return
        try:
            for at in range(0, len(body), 4096):
                self.wfile.write(body[at:at + 4096])
                self.wfile.flush()
                time.sleep(0.04)
        except OSError:
            pass  # the client went away: a cancelled download

    def do_GET(self):
        path = unquote(urlsplit(self.path).path)
        if path == "/control/log":
            with log_lock:
                return self.reply(200, "".join(p + "\n" for p in log).encode())
        if path == "/control/reset":
            with log_lock:
                log.clear()
            return self.reply(200, b"ok")
        with log_lock:
            log.append(path)
        tree, slow, tampered, pause, trickle, mismatched = "newer", False, False, False, False, False
        if path.startswith("/same/"):
            tree, path = "same", path[len("/same"):]
        elif path.startswith("/broken/"):
            tree, path = "broken", path[len("/broken"):]
        elif path.startswith("/pause/"):
            pause, path = True, path[len("/pause"):]
        elif path.startswith("/trickle/"):
            trickle, path = True, path[len("/trickle"):]
        elif path.startswith("/mismatched/"):
            mismatched, path = True, path[len("/mismatched"):]
        elif path.startswith("/slow/"):
            slow, path = True, path[len("/slow"):]
        elif path.startswith("/tampered/"):
            tampered, path = True, path[len("/tampered"):]
        if not path.startswith("/download/") or ".." in path:
            return self.reply(404, b"not found")
        if mismatched and path.endswith("version.txt.sig"):
            tree = "same"
        file = os.path.join(ROOT, tree, path.lstrip("/"))
        if not os.path.isfile(file):
            return self.reply(404, b"not found")
        body = bytearray(open(file, "rb").read())
        if tampered and (path.endswith(".zip") or path.endswith(".exe")) and body:
            body[len(body) // 2] ^= 0x01
        if trickle:
            return self.trickle(200, bytes(body))
        big = path.endswith(".zip") or path.endswith(".exe")
        self.reply(200, bytes(body), pieces=slow, pause=pause and big)


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


server = Server(("127.0.0.1", 47081), Handler)
open(sys.argv[2], "w").close()
server.serve_forever()
