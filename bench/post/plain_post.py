#!/usr/bin/env python3
"""The plain peer of the posting benchmark: uuencodes a file into articles of at most
MAXLINES body lines (the same lines and subjects the program posts), all before timing,
then POSTs them over raw NNTP connections, waiting for 340 and 240 each time; with
"--tls CAFILE" over TLS from the first byte (the ssl module, certificate checked); with
"--connections N" over N connections at once, one thread each, every thread taking the next
article not yet taken. PATH given as "@LIST" posts the files LIST names, one a line, in
turn (a batch of files). The clock runs from before the connections are made to the last 240.
Prints: seconds articles body_bytes cpu_seconds"""
import binascii
import os
import resource
import socket
import ssl
import sys
import threading
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


def take_option(name):
    """Removes "NAME VALUE" from the command line; VALUE, or None."""
    if name not in sys.argv:
        return None
    at = sys.argv.index(name)
    value = sys.argv[at + 1]
    del sys.argv[at:at + 2]
    return value


class Poster(threading.Thread):
    """One connection: POSTs the next article not yet taken until none is left."""

    def __init__(self, host, port, cafile, articles, next_article):
        super().__init__()
        self.host, self.port, self.cafile = host, port, cafile
        self.articles, self.next_article = articles, next_article
        self.post = self.send = self.wait = 0.0
        self.posted = self.body_bytes = 0
        self.error = None

    def connect(self):
        sock = socket.create_connection((self.host, self.port))
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.cafile:
            context = ssl.create_default_context(cafile=self.cafile)
            sock = context.wrap_socket(sock, server_hostname=self.host)
        self.sock, self.reader = sock, sock.makefile("rb")
        if not self.reply().startswith(b"200"):
            raise RuntimeError("no posting allowed")

    def reply(self):
        line = self.reader.readline()
        if not line:
            raise RuntimeError("connection closed")
        return line

    def run(self):
        try:
            self.connect()
            while True:
                k = self.next_article()
                if k is None:
                    break
                self.post_one(self.articles[k])
            self.sock.sendall(b"QUIT\r\n")
        except (OSError, RuntimeError) as e:
            self.error = str(e)

    def post_one(self, article):
        t0 = time.monotonic()
        self.sock.sendall(b"POST\r\n")
        if not self.reply().startswith(b"340"):
            raise RuntimeError("POST refused")
        t1 = time.monotonic()
        self.sock.sendall(article)
        t2 = time.monotonic()
        answer = self.reply()
        t3 = time.monotonic()
        self.post, self.send, self.wait = (self.post + t1 - t0, self.send + t2 - t1,
                                           self.wait + t3 - t2)
        if not answer.startswith(b"240"):
            raise RuntimeError("article refused: " + answer.decode(errors="replace"))
        self.posted += 1
        self.body_bytes += len(article)


def file_articles(path, group, max_lines):
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
    return articles


def main():
    cafile = take_option("--tls")
    connections = int(take_option("--connections") or 1)
    host, port, group, path, max_lines = sys.argv[1:6]
    port, max_lines = int(port), int(max_lines)
    if path.startswith("@"):
        with open(path[1:]) as f:
            paths = [line.rstrip("\n") for line in f if line.strip()]
    else:
        paths = [path]
    articles = []
    for p in paths:
        articles += file_articles(p, group, max_lines)

    lock = threading.Lock()
    taken = iter(range(len(articles)))

    def next_article():
        with lock:
            return next(taken, None)

    posters = [Poster(host, port, cafile, articles, next_article) for _ in range(connections)]
    start = time.monotonic()
    cpu_start = resource.getrusage(resource.RUSAGE_SELF)
    for p in posters:
        p.start()
    for p in posters:
        p.join()
    seconds = time.monotonic() - start
    cpu_end = resource.getrusage(resource.RUSAGE_SELF)
    cpu = (cpu_end.ru_utime - cpu_start.ru_utime) + (cpu_end.ru_stime - cpu_start.ru_stime)
    for p in posters:
        if p.error:
            sys.exit("plain client: " + p.error)
    posted = sum(p.posted for p in posters)
    print("%.6f %d %d %.3f" % (seconds, posted, sum(p.body_bytes for p in posters), cpu))
    print("  plain client's time (s, summed over %d connections): POST to 340 %.2f, "
          "sending %.2f, '.' to 240 %.2f"
          % (connections, sum(p.post for p in posters), sum(p.send for p in posters),
             sum(p.wait for p in posters)), file=sys.stderr)


if __name__ == "__main__":
    main()
