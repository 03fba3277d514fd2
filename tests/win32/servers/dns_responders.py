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
Names: "-nx." in a name means it cannot exist (no such name); a name starting with
"rebind." gets the private 10.11.12.13 (the slow responder guards against rebinding and
says "no such name" instead); anything else gets 192.0.2.53. dnsmasq passes the private
address on too. Writes WORKDIR/dns-ready holding "ok", or "error: ..." when something
could not listen (dnsmasq included), so the test fails with the reason.

With --latencies instead: COUNT responders on 127.0.1.1 onwards (default 60) that always
answer, each after a set latency of its own, spread evenly over 2..40 ms and mixed so
that neighbouring addresses differ. They are written to WORKDIR/dns-latencies as
"address milliseconds" lines before WORKDIR/dns-ready says "ok". When ended (SIGTERM)
they write WORKDIR/dns-lateness: how much later than set their replies went out. One thread serves them
all from a single select loop, so no reply waits for another's lock or sleep.

Usage: dns_responders.py WORKDIR
       dns_responders.py --latencies WORKDIR [COUNT]
"""
import heapq
import os
import select
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
    missing = ("-nx." in name and behaviour != "hijack") or (name.startswith("rebind.") and behaviour == "slow")
    if behaviour == "wrong-id":
        qid ^= 0x5A5A
    if missing or qtype != 1:
        return struct.pack(">HHHHHH", qid, 0x8183 if missing else 0x8180, 1, 0, 0, 0) + question
    address = bytes([198, 51, 100, 66]) if behaviour == "hijack" and "-nx." in name else bytes([192, 0, 2, 53])
    if name.startswith("rebind."):
        address = bytes([10, 11, 12, 13])
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


def latency_ms(index, count, low=2.0, high=40.0):
    # A step that shares no factor with the count visits every slot of the spread once.
    step = next(k for k in (7, 11, 13, 17, 19, 23, 1) if count % k)
    slot = index * step % count
    return low + (high - low) * slot / max(1, count - 1)


def serve_latencies(work, count):
    ready = os.path.join(work, "dns-ready")
    sockets = {}
    try:
        for i in range(count):
            address = "127.0.%d.%d" % (1 + i // 250, 1 + i % 250)
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
            s.bind((address, PORT))
            s.setblocking(False)
            sockets[s] = (address, latency_ms(i, count))
    except OSError as e:
        with open(ready, "w") as f:
            f.write("error: %s" % e)
        return
    with open(os.path.join(work, "dns-latencies"), "w") as f:
        for address, ms in sockets.values():
            f.write("%s %.3f\n" % (address, ms))
    with open(ready, "w") as f:
        f.write("ok")
    due = []  # (time to send, sequence, socket, reply, peer)
    sequence = 0
    watched = list(sockets)
    late = []  # how much later than set each reply went out, in ms

    def report(*_):
        # On the way out: how punctual the replies were, for the benchmark's notes.
        with open(os.path.join(work, "dns-lateness"), "w") as f:
            late.sort()
            if late:
                f.write("%d replies, later than set by median %.2f ms, worst %.2f ms\n"
                        % (len(late), late[len(late) // 2], late[-1]))
        sys.exit(0)

    signal.signal(signal.SIGTERM, report)
    while True:
        now = time.monotonic()
        while due and due[0][0] <= now:
            at, _, s, reply, peer = heapq.heappop(due)
            s.sendto(reply, peer)
            late.append((time.monotonic() - at) * 1000.0)
        timeout = max(0.0, due[0][0] - time.monotonic()) if due else None
        readable, _, _ = select.select(watched, [], [], timeout)
        for s in readable:
            while True:
                try:
                    data, peer = s.recvfrom(4096)
                except BlockingIOError:
                    break
                arrived = time.monotonic()
                try:
                    reply = answer(data, "fast")
                except Exception:
                    continue
                sequence += 1
                heapq.heappush(due, (arrived + sockets[s][1] / 1000.0, sequence, s, reply, peer))


def main():
    if sys.argv[1] == "--latencies":
        work = sys.argv[2]
        os.makedirs(work, exist_ok=True)
        serve_latencies(work, int(sys.argv[3]) if len(sys.argv) > 3 else 60)
        return
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
                 "--pid-file=", "--local=/test/", "--address=/velmora.test/192.0.2.53",
                 "--address=/rebind.velmora.test/10.11.12.13", "--log-facility=-"],
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
