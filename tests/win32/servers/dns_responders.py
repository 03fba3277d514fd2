#!/usr/bin/env python3
"""Loopback DNS responders for the Windows tests of the DNS benchmark window.

UDP port 47053 on each address, each with a set behaviour:
  127.0.0.21  fast: answers at once
  127.0.0.22  slow: answers after 60 ms
  127.0.0.23  lossy: drops every other query
  127.0.0.24  silent: takes queries and never answers
  127.0.0.25  hijacking: gives an address even for names that cannot exist
  127.0.0.26  wrong id: answers with another query's id
  127.0.0.27  real dnsmasq from Debian with a small local zone (velmora.test)
Names: "-nx." in a name means it cannot exist (no such name); anything else gets
192.0.2.53. Writes WORKDIR/dns-ready holding "ok", or "error: ..." when something
could not listen (dnsmasq included), so the test fails with the reason.

Usage: dns_responders.py WORKDIR
"""
import os
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

PORT = 47053
BEHAVIOURS = {"127.0.0.21": "fast", "127.0.0.22": "slow", "127.0.0.23": "lossy", "127.0.0.24": "silent",
              "127.0.0.25": "hijack", "127.0.0.26": "wrong-id"}
DNSMASQ = "127.0.0.27"


def parse(query):
    qid, flags, qd = struct.unpack(">HHH", query[:6])
    pos = 12
    labels = []
    while query[pos]:
        n = query[pos]
        labels.append(query[pos + 1:pos + 1 + n].decode("ascii", "replace"))
        pos += 1 + n
    pos += 1
    qtype, qclass = struct.unpack(">HH", query[pos:pos + 4])
    return qid, ".".join(labels), query[12:pos + 4], qtype


def answer(query, behaviour):
    qid, name, question, qtype = parse(query)
    missing = "-nx." in name and behaviour != "hijack"
    if behaviour == "wrong-id":
        qid ^= 0x5A5A
    if missing or qtype != 1:
        return struct.pack(">HHHHHH", qid, 0x8183 if missing else 0x8180, 1, 0, 0, 0) + question
    address = bytes([198, 51, 100, 66]) if behaviour == "hijack" and "-nx." in name else bytes([192, 0, 2, 53])
    record = b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4) + address
    return struct.pack(">HHHHHH", qid, 0x8180, 1, 1, 0, 0) + question + record


def serve(address, behaviour):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((address, PORT))
    count = 0

    def loop():
        nonlocal count
        while True:
            data, peer = s.recvfrom(4096)
            count += 1
            if behaviour == "silent" or (behaviour == "lossy" and count % 2 == 0):
                continue
            try:
                reply = answer(data, behaviour)
            except Exception:
                continue
            if behaviour == "slow":
                threading.Timer(0.06, s.sendto, (reply, peer)).start()
            else:
                s.sendto(reply, peer)

    threading.Thread(target=loop, daemon=True).start()


def main():
    # Stopped with SIGTERM (the test script's exit trap): end through the finally
    # below, so dnsmasq ends too instead of outliving the run.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    work = sys.argv[1]
    os.makedirs(work, exist_ok=True)
    ready = os.path.join(work, "dns-ready")
    status = "ok"
    dnsmasq = None
    try:
        for address, behaviour in BEHAVIOURS.items():
            serve(address, behaviour)
        # The reader against a server nobody here wrote: dnsmasq answers the local zone
        # and says "no such name" for the rest of .test.
        # Its log goes to a file: a pipe nobody reads would stop it once full.
        log_path = os.path.join(work, "dnsmasq.log")
        with open(log_path, "wb") as log:
            dnsmasq = subprocess.Popen(
                ["dnsmasq", "--no-daemon", "--conf-file=/dev/null", "--no-resolv", "--no-hosts", "--bind-interfaces",
                 "--listen-address=" + DNSMASQ, "--port=%d" % PORT, "--user=" + os.environ.get("USER", "root"),
                 "--pid-file=", "--local=/test/", "--address=/velmora.test/192.0.2.53", "--log-facility=-"],
                stdout=subprocess.DEVNULL, stderr=log)
        time.sleep(0.3)
        if dnsmasq.poll() is not None:
            with open(log_path, "rb") as log:
                status = "error: dnsmasq did not start: " + log.read().decode(errors="replace").strip()
    except FileNotFoundError:
        status = "error: dnsmasq is not installed (scripts/setup.sh installs dnsmasq-base)"
    except OSError as e:
        status = "error: %s" % e
    with open(ready, "w") as f:
        f.write(status)
    try:
        while True:
            time.sleep(3600)
    finally:
        if dnsmasq:
            dnsmasq.terminate()


if __name__ == "__main__":
    main()
