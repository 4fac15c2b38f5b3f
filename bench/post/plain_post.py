#!/usr/bin/env python3
"""The plain peer of the posting benchmark: uuencodes a file into articles of at most
MAXLINES body lines (the same lines and subjects the program posts), all before timing,
then POSTs them over one raw NNTP connection, waiting for 340 and 240 each time; with
"--tls CAFILE" over TLS from the first byte (the ssl module, certificate checked).
Prints: seconds articles body_bytes cpu_seconds"""
import binascii
import os
import resource
import socket
import ssl
import sys
import time


def encoded_lines(path):
    name = os.path.basename(path)
    yield b"begin 644 " + name.encode()
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        while True:
            chunk = f.read(45)
            if len(chunk) < 45:
                break
            yield binascii.b2a_uu(chunk, backtick=True)[:-1]
        # The last line carries no padding characters.
        line = binascii.b2a_uu(chunk, backtick=True)[:-1]
        keep = 1 + (len(chunk) * 4 + 2) // 3
        yield line[:keep]
    yield b"`"
    yield b"end"


def main():
    cafile = None
    if "--tls" in sys.argv:
        at = sys.argv.index("--tls")
        cafile = sys.argv[at + 1]
        del sys.argv[at:at + 2]
    host, port, group, path, max_lines = sys.argv[1:6]
    port, max_lines = int(port), int(max_lines)
    lines = [b"." + l if l.startswith(b".") else l for l in encoded_lines(path)]
    size = os.path.getsize(path)
    name = os.path.basename(path)
    total = (len(lines) + max_lines - 1) // max_lines
    articles = []
    for k in range(total):
        body = lines[k * max_lines:(k + 1) * max_lines]
        head = [b"Subject: Plain - %s (%d/%d) %d Bytes" % (name.encode(), k + 1, total, size),
                b"From: bench@example.com", b"Newsgroups: " + group.encode(), b""]
        articles.append(b"\r\n".join(head + body) + b"\r\n.\r\n")
    del lines

    sock = socket.create_connection((host, port))
    sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    if cafile:
        context = ssl.create_default_context(cafile=cafile)
        sock = context.wrap_socket(sock, server_hostname=host)
    reader = sock.makefile("rb")

    def reply():
        line = reader.readline()
        if not line:
            sys.exit("connection closed")
        return line

    if not reply().startswith(b"200"):
        sys.exit("no posting allowed")
    body_bytes = 0
    post = send = wait = 0.0
    start = time.monotonic()
    cpu_start = resource.getrusage(resource.RUSAGE_SELF)
    for article in articles:
        t0 = time.monotonic()
        sock.sendall(b"POST\r\n")
        if not reply().startswith(b"340"):
            sys.exit("POST refused")
        t1 = time.monotonic()
        sock.sendall(article)
        t2 = time.monotonic()
        answer = reply()
        t3 = time.monotonic()
        post, send, wait = post + t1 - t0, send + t2 - t1, wait + t3 - t2
        if not answer.startswith(b"240"):
            sys.exit("article refused: " + answer.decode(errors="replace"))
        body_bytes += len(article)
    seconds = time.monotonic() - start
    cpu_end = resource.getrusage(resource.RUSAGE_SELF)
    cpu = (cpu_end.ru_utime - cpu_start.ru_utime) + (cpu_end.ru_stime - cpu_start.ru_stime)
    sock.sendall(b"QUIT\r\n")
    print("%.6f %d %d %.3f" % (seconds, len(articles), body_bytes, cpu))
    print("  plain client's time (s): POST to 340 %.2f, sending %.2f, '.' to 240 %.2f"
          % (post, send, wait), file=sys.stderr)


if __name__ == "__main__":
    main()
