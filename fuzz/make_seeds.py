#!/usr/bin/env python3
"""Writes the seed corpus in fuzz/corpus/: small files shaped like the real ones, in
every encoding the program reads. Run again after changing it; the files are kept in
the repository."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def encodings(text):
    crlf = text.replace("\n", "\r\n")
    return {
        "ansi1251": crlf.encode("cp1251", "replace"),
        "utf8bom": b"\xef\xbb\xbf" + crlf.encode("utf-8"),
        "utf8": crlf.encode("utf-8"),
        "utf16le": b"\xff\xfe" + crlf.encode("utf-16-le"),
        "utf16be": b"\xfe\xff" + crlf.encode("utf-16-be"),
        "lf": text.encode("utf-8"),
    }


SETTINGS = """; kept by hand
[Option]
ThemeAuto=0
ThemeLight=1
ThemeDark=0
CheckBoxEnableDNS=1
CheckBoxFlushDNS=0x1
CheckBoxResetTCPIP=abc
CheckBoxAutoCheck=0
[Language]
Language=English
[option]
CheckBoxRenewIP=1

"""

DNS = """[Ipv4_Default]
Cloudflare=1.1.1.1,1.0.0.1
Google=8.8.8.8,8.8.4.4
Quad9=9.9.9.9,149.112.112.112
Яндекс=77.88.8.8,77.88.8.1
; a comment
\x0c;form feed comment
Spaces= 1.1.1.1 , 1.0.0.1 
OnlyOne=4.4.4.4
NoValue
google=1.2.3.4,5.6.7.8
[Ipv4_Default]
Hidden=10.0.0.1,10.0.0.2
[Other]
X=1
"""

LANGUAGE = """[Language information]
LANGNAME=English
; translator's note
[Form1]
Caption=Velmora
ButtonApplay.Caption=Apply
TabControl1.Tabs [0]=Adapter
ListViewDNS.Columns[0].Caption=Name
MemoDNS.Lines [3]=Google=8.8.8.8,8.8.4.4
[Form1]
Repeated.Caption=lost before
[Form10]
Caption=Update
[DestDir]
X=y
"""

for target, mode in (("ini_fuzz", 1), ("ini_fuzz", 0)):
    for name, text in (("settings", SETTINGS), ("dns", DNS), ("language", LANGUAGE)):
        for enc, data in encodings(text).items():
            cp = 0  # 1251
            put(target, f"{name}-{enc}-{mode}", bytes([cp, mode]) + data)
for enc, data in encodings(DNS).items():
    put("dns_list_fuzz", f"dns-{enc}", data)
DNS_IPV6 = DNS + "[Ipv6_Default]\r\nGoogle=2001:4860:4860::8888, ::ffff:1.2.3.4 ,bad\r\n"
for enc, data in encodings(DNS_IPV6).items():
    put("dns_list_fuzz", f"dns-ipv6-{enc}", data)
for enc, data in encodings(SETTINGS).items():
    put("settings_fuzz", f"settings-{enc}", data)

for i, text in enumerate(["192.168.1.1", " 10.0.0.255 ", "1.2.3", "256.1.1.1", "001.002.003.004",
                          "1..2.3", "4294967297.0.0.1", "1.2.3.4x", ""]):
    put("ipv4_fuzz", f"address-{i}", text.encode())


def node(key, value=b"", children=(), type_=1, value_length=None):
    out = bytearray()
    out += struct.pack("<HHH", 0, 0, type_)
    out += (key + "\0").encode("utf-16-le")
    while len(out) % 4:
        out += b"\0"
    out += value
    for child in children:
        while len(out) % 4:
            out += b"\0"
        out += child
    if value_length is None:
        value_length = len(value) // 2 if type_ == 1 else len(value)
    struct.pack_into("<HH", out, 0, len(out), value_length)
    return bytes(out)


def text_value(key, text):
    return node(key, (text + "\0").encode("utf-16-le"))


fixed = struct.pack("<13I", 0xFEEF04BD, 0x10000, (4 << 16) | 5, (26 << 16) | 228, (4 << 16) | 5,
                    (26 << 16) | 228, 0x3F, 0, 0x40004, 1, 0, 0, 0)
strings = node("040904E4", children=[
    text_value("CompanyName", "Velmora Labs"),
    text_value("FileVersion", "4, 5, 26, 228"),
    text_value("LegalCopyright", "(c) 2026 Velmora Labs"),
    text_value("ProductName", "Velmora"),
])
block = node("VS_VERSION_INFO", fixed, [node("StringFileInfo", children=[strings]),
                                         node("VarFileInfo", children=[node("Translation", struct.pack("<HH", 0x409, 1252), type_=0)])],
             type_=0)
put("version_resource_fuzz", "velmora", block)
put("version_resource_fuzz", "no-strings", node("VS_VERSION_INFO", fixed, type_=0))
put("version_resource_fuzz", "text-version", b"4.5.26.228")

for i, (a, b, c) in enumerate([("4.5.26.228", "4.5.26.229", "4.5.27"), ("4.5", "4.5.0.0", " 4.5\r\n"),
                               ("4.10", "4.9", "x.1"), ("99999999999999999999.1", "1", "")]):
    put("version_compare_fuzz", f"versions-{i}", "\0".join([a, b, c]).encode())

# A real-shaped DER signature (r with its high bit set, s without) and a PEM key header.
r = bytes([0x80 + 5]) + bytes(range(1, 32))
s_ = bytes(range(2, 34))
def der_int(n):
    n = n.lstrip(b"\0") or b"\0"
    if n[0] & 0x80:
        n = b"\0" + n
    return bytes([2, len(n)]) + n
body = der_int(r) + der_int(s_)
put("signature_fuzz", "der", bytes([0x30, len(body)]) + body)
put("signature_fuzz", "pem", b"-----BEGIN PUBLIC KEY-----\nMFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE\n-----END PUBLIC KEY-----\n")

# Language files over the fuzz target's small windows: translations under the
# application's title, protected sections, and keys that address nothing or repeat.
TRANSLATION = """[Language information]
LANGNAME=English
; kept as it is
[Velmora]
Form1.ButtonTestDNS.Caption=Test
Form1.ButtonTestDNS.Hint=Test the servers
Form1.LangError.Caption=Error!
Form1.ListViewDNS.Columns[0].Caption=Name
Form1.ListViewDNS.Columns[2].Caption=Time 1
Form1.CheckBoxFlushDNS.Caption=
Form1.EditPreferredDNS.Text=typed
Form1.N1.Caption=Separator
Form10.Caption=Update
Form10.LabelUpdate.Caption=Checking
Form1.Gone.Caption=nothing here
NoDot=1
[DestDir]
Path=C:\\Program Files\\Velmora
[Empty]
Form9.Label1.Caption=no such window
"""
REPEATS = TRANSLATION.replace("[DestDir]", "form1.buttontestdns.caption=Second\n[Velmora]\nForm1.LangError.Caption=Hidden\n[DestDir]")
for name, text in (("language", TRANSLATION), ("repeats", REPEATS), ("russian", TRANSLATION.replace("Test\n", "Проверка\n"))):
    for enc, data in encodings(text).items():
        put("language_fuzz", f"{name}-{enc}", data)

# Registry texts: the first byte chooses NameServer (odd) or ProxyServer (even; bit 1
# switches the proxy on).
PROXY = ["10.0.0.1:3128", "http=proxy:3128;https=proxy:3129", "proxy.local", ":", "[::1]:8080",
         " host : 80 ", "прокси.рф:8080", "host:port", "", "http=pr=proxy:3128;https=proxy:3129", "ftp=proxy:21",
         "https=[fd00::2]:3129;http=http://proxy:3128"]
NAME_SERVER = ["8.8.8.8,8.8.4.4", "1.1.1.1,1.0.0.1,8.8.8.8", ",8.8.4.4", "8.8.8.8,", "8.8.8.8 8.8.4.4", ""]
for i, text in enumerate(PROXY):
    put("proxy_nameserver_fuzz", f"proxy-{i}", bytes([2 if i % 2 else 0]) + text.encode("utf-8"))
for i, text in enumerate(NAME_SERVER):
    put("proxy_nameserver_fuzz", f"nameserver-{i}", bytes([1]) + text.encode("utf-8"))
for enc, data in encodings(PROXY[6]).items():
    put("proxy_nameserver_fuzz", f"proxy-{enc}", bytes([2]) + data)
for enc, data in encodings(NAME_SERVER[1]).items():
    put("proxy_nameserver_fuzz", f"nameserver-{enc}", bytes([1]) + data)

# DNS messages: a query, an answer with compression and a CNAME, NXDOMAIN, truncated.
def dns_name(name):
    return b"".join(bytes([len(p)]) + p.encode() for p in name.split(".") if p) + b"\0"
def dns_header(id_, flags, qd, an, ns=0, ar=0):
    return struct.pack(">6H", id_, flags, qd, an, ns, ar)
question = dns_name("www.example.com") + struct.pack(">HH", 1, 1)
put("dns_message_fuzz", "query", dns_header(0x1234, 0x0100, 1, 0) + question)
answer = (dns_header(0x1234, 0x8180, 1, 2, 0, 1) + question
          + b"\xc0\x0c" + struct.pack(">HHIH", 5, 1, 300, 6) + b"\x03cdn\xc0\x10"
          + b"\xc0\x2d" + struct.pack(">HHIH", 1, 1, 60, 4) + bytes([192, 0, 2, 1])
          + b"\0" + struct.pack(">HHIH", 41, 1232, 0, 0))
put("dns_message_fuzz", "answer-cname", answer)
put("dns_message_fuzz", "nxdomain", dns_header(7, 0x8183, 1, 0) + dns_name("nx.invalid") + struct.pack(">HH", 28, 1))
put("dns_message_fuzz", "truncated", dns_header(7, 0x8380, 1, 0) + question)

# DNS over TCP: a choice of piece sizes, then framed messages (two answers, a cut one).
def framed(message):
    return struct.pack(">H", len(message)) + message
put("dns_stream_fuzz", "two-answers", bytes([2, 3, 17]) + framed(answer) + framed(question))
put("dns_stream_fuzz", "unfinished", bytes([1, 1]) + framed(answer)[:20])
put("dns_stream_fuzz", "empty-frame", bytes([0]) + framed(answer) + b"\0\0" + framed(question))
