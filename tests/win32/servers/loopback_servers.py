#!/usr/bin/env python3
"""Loopback servers for the Windows tests of the HTTP client and the DNS test run.

Everything listens on 127.0.0.0/8 only:
  127.0.0.1:47080  plain HTTP
  127.0.0.1:47443  HTTPS with a self-signed certificate made at start (TLS 1.2)
  127.0.0.2:47128  an HTTP proxy (absolute-form GET and CONNECT) to loopback targets only;
                   port 443 of any target goes to the HTTPS server, port 80 to the HTTP
                   server; 127.0.0.4 gets plain HTTP only, and targets
                   127.0.0.5 and up are refused. It connects out from
                   127.0.0.2, so the servers can tell proxied requests by their peer.
  127.0.0.1:47099  accepts connections and never answers
  127.0.0.1:47097  a full listen queue: new connections are never established
Paths of both servers: /whoami (peer, User-Agent and Accept as text), /ip (a fixed
public-looking address), /missing (404), /redirect (302 to /whoami), anything else 200.
GET /control/ip-down and /control/ip-up on the HTTP server make /ip drop its
connections or answer again. The request line may be in absolute form.

Usage: loopback_servers.py WORKDIR   (writes WORKDIR/ready once everything listens)
"""
import os
import select
import socket
import socketserver
import ssl
import subprocess
import sys
import threading
from http.server import BaseHTTPRequestHandler
from urllib.parse import urlsplit

PUBLIC_IP = "203.0.113.9"
state = {"ip_down": False}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, headers=()):
        data = body.encode()
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        path = urlsplit(self.path).path if "://" in self.path else self.path
        if path == "/control/ip-down":
            state["ip_down"] = True
            return self.reply(200, "down")
        if path == "/control/ip-up":
            state["ip_down"] = False
            return self.reply(200, "up")
        if path == "/ip":
            if state["ip_down"]:
                self.close_connection = True
                self.connection.shutdown(socket.SHUT_RDWR)
                return
            return self.reply(200, PUBLIC_IP)
        if path == "/whoami":
            return self.reply(200, "peer=%s;ua=%s;accept=%s" % (
                self.client_address[0], self.headers.get("User-Agent", ""), self.headers.get("Accept", "")))
        if path == "/missing":
            return self.reply(404, "not here")
        if path == "/redirect":
            return self.reply(302, "", [("Location", "/whoami")])
        return self.reply(200, "hello")


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


class TlsServer(Server):
    context = None

    def get_request(self):
        sock, address = self.socket.accept()
        try:
            return self.context.wrap_socket(sock, server_side=True), address
        except (ssl.SSLError, OSError):
            sock.close()
            raise


def pipe(a, b):
    sockets = [a, b]
    try:
        while True:
            ready, _, _ = select.select(sockets, [], [], 30)
            if not ready:
                return
            for s in ready:
                data = s.recv(65536)
                if not data:
                    return
                (b if s is a else a).sendall(data)
    except OSError:
        pass


def upstream(host, port):
    """The loopback address a proxied request goes to, or None when refused."""
    try:
        parts = [int(p) for p in host.split(".")]
    except ValueError:
        parts = [127, 0, 0, 1] if host == "localhost" else []
    if len(parts) != 4 or parts[0] != 127 or parts[3] >= 5:
        return None
    if parts[3] == 4 and port == 443:
        return None  # a server that serves plain HTTP only
    if port == 443:
        return ("127.0.0.1", 47443)
    if port == 80:
        return ("127.0.0.1", 47080)
    return (host if host != "localhost" else "127.0.0.1", port)


class Proxy(socketserver.BaseRequestHandler):
    def handle(self):
        client = self.request
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = client.recv(65536)
            if not chunk:
                return
            head += chunk
        header, rest = head.split(b"\r\n\r\n", 1)
        lines = header.decode("latin-1").split("\r\n")
        method, target, version = lines[0].split(" ", 2)
        if method == "CONNECT":
            host, _, port = target.rpartition(":")
            to = upstream(host, int(port))
            if to is None:
                client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                return
            out = self.connect(to)
            if out is None:
                client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                return
            client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            if rest:
                out.sendall(rest)
            pipe(client, out)
            out.close()
            return
        url = urlsplit(target)
        to = upstream(url.hostname or "", url.port or 80)
        if to is None:
            client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        out = self.connect(to)
        if out is None:
            client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        path = (url.path or "/") + ("?" + url.query if url.query else "")
        kept = [l for l in lines[1:] if not l.lower().startswith(("proxy-connection:", "connection:"))]
        request = "\r\n".join(["%s %s %s" % (method, path, version)] + kept + ["Connection: close", "", ""])
        out.sendall(request.encode("latin-1") + rest)
        pipe(client, out)
        out.close()

    @staticmethod
    def connect(to):
        try:
            out = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            out.bind(("127.0.0.2", 0))
            out.settimeout(5)
            out.connect(to)
            out.settimeout(None)
            return out
        except OSError:
            return None


class Silent(socketserver.BaseRequestHandler):
    def handle(self):
        try:
            self.request.recv(65536)
            threading.Event().wait(120)
        except OSError:
            pass


def main():
    work = sys.argv[1]
    os.makedirs(work, exist_ok=True)
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    if not os.path.exists(cert):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "3650",
                        "-subj", "/CN=velmora-test", "-keyout", key, "-out", cert],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_2
    context.maximum_version = ssl.TLSVersion.TLSv1_2
    context.load_cert_chain(cert, key)
    TlsServer.context = context

    servers = [
        Server(("127.0.0.1", 47080), Handler),
        TlsServer(("127.0.0.1", 47443), Handler),
        Server(("127.0.0.2", 47128), Proxy),
        Server(("127.0.0.1", 47099), Silent),
    ]
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()
    # Never accepted; its queue is filled here, so the system drops further SYNs.
    backlogged = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    backlogged.bind(("127.0.0.1", 47097))
    backlogged.listen(0)
    fillers = []
    for _ in range(3):
        filler = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        filler.setblocking(False)
        try:
            filler.connect(("127.0.0.1", 47097))
        except BlockingIOError:
            pass
        fillers.append(filler)
    with open(os.path.join(work, "ready"), "w") as f:
        f.write("%d\n" % os.getpid())
    threading.Event().wait()


if __name__ == "__main__":
    main()
