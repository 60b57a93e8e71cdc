#!/usr/bin/env python3
"""Hostile requests against a running zel-server; each must get its refusal.

Usage: abuse.py PORT. Prints one line per case and exits 1 when a case did
not get the answer it should.
"""
import socket
import sys

PORT = int(sys.argv[1])
HEAD = ("POST /zel HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\n"
        "SOAPAction: \"urn:zel/6.7.2\"\r\n")


def status_of(sock):
    """The status code of the answer on sock, or -1 when none came."""
    sock.settimeout(30)
    data = b""
    try:
        while b"\r\n" not in data:
            got = sock.recv(4096)
            if not got:
                break
            data += got
    except OSError:
        pass
    line = data.split(b"\r\n", 1)[0].split()
    return int(line[1]) if len(line) > 1 else -1


def send_quietly(sock, data):
    try:
        sock.sendall(data)
        return True
    except OSError:
        return False


def chunked_over_limit():
    with socket.create_connection(("127.0.0.1", PORT)) as sock:
        send_quietly(sock, (HEAD + "Transfer-Encoding: chunked\r\n\r\n").encode())
        chunk = b"%x\r\n%s\r\n" % (65536, b"x" * 65536)
        for _ in range(40):  # 2.5 MiB against a 1 MiB limit
            if not send_quietly(sock, chunk):
                break
        send_quietly(sock, b"0\r\n\r\n")
        return status_of(sock)


def gzip_body():
    with socket.create_connection(("127.0.0.1", PORT)) as sock:
        body = b"\x1f\x8b\x08\x00\x00\x00\x00\x00"
        send_quietly(sock, (HEAD + "Content-Encoding: gzip\r\nContent-Length: %d\r\n\r\n"
                            % len(body)).encode() + body)
        return status_of(sock)


def declared_too_large():
    with socket.create_connection(("127.0.0.1", PORT)) as sock:
        send_quietly(sock, (HEAD + "Content-Length: 50000000\r\n\r\n").encode())
        return status_of(sock)


def smuggled_behind_an_unknown_coding():
    """The status of the answer, or 200 when the request that stood in the
    body (as a proxy would have forwarded it) was answered too."""
    inner = (HEAD + "Content-Length: 0\r\n\r\n").encode()
    with socket.create_connection(("127.0.0.1", PORT)) as sock:
        send_quietly(sock, (HEAD + "Transfer-Encoding: xchunked\r\n\r\n").encode() + inner)
        sock.settimeout(30)
        data = b""
        try:
            while True:
                got = sock.recv(4096)
                if not got:
                    break
                data += got
        except OSError:
            pass
    answers = data.count(b"HTTP/1.1 ")
    line = data.split(b"\r\n", 1)[0].split()
    return 200 if answers != 1 else int(line[1]) if len(line) > 1 else -1


failed = 0
for name, case, expected in [("request smuggled behind an unknown coding",
                              smuggled_behind_an_unknown_coding, 501),
                             ("chunked body over the limit", chunked_over_limit, 413),
                             ("gzip body", gzip_body, 415),
                             ("declared length over the limit", declared_too_large, 413)]:
    got = case()
    print("%s: HTTP %d" % (name, got))
    if got != expected:
        print("  expected HTTP %d" % expected)
        failed += 1
sys.exit(1 if failed else 0)
