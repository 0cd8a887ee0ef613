#!/usr/bin/env python3
"""HTTP server for the database update tests: serves a folder on 127.0.0.1.

usage: dbu_http_server.py ROOT [--status PATH=CODE]... [--cut PATH=BYTES]... [--log FILE] [--rate BPS]

Prints the port it listens on as the first line of stdout, then serves until killed.
  --status PATH=CODE  answer every request for PATH with that HTTP status
  --cut PATH=BYTES    the first GET of PATH sends only BYTES of the body, then drops the connection
  --log FILE          append "METHOD PATH RANGE" for every request
  --rate BPS          send bodies at about BPS bytes per second
HEAD and GET are supported, GET with a single "bytes=N-" or "bytes=N-M" range.
"""
import argparse
import os
import re
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote, urlsplit

args = None
lock = threading.Lock()
cuts = {}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *a):
        pass

    def record(self):
        if args.log:
            with lock, open(args.log, "a") as f:
                f.write("%s %s %s\n" % (self.command, self.path, self.headers.get("Range", "-")))

    def fail(self, code):
        body = b"<html><body>error %d</body></html>" % code
        self.send_response(code)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def serve(self):
        self.record()
        path = unquote(urlsplit(self.path).path)
        if path in args.status_map:
            return self.fail(args.status_map[path])
        full = os.path.realpath(os.path.join(args.root, path.lstrip("/")))
        if not full.startswith(args.root + os.sep) or not os.path.isfile(full):
            return self.fail(404)
        size = os.path.getsize(full)
        start, end = 0, size - 1
        partial = False
        rng = self.headers.get("Range")
        if rng and self.command == "GET":
            m = re.fullmatch(r"bytes=(\d+)-(\d*)", rng.strip())
            if not m:
                return self.fail(416)
            start = int(m.group(1))
            if m.group(2):
                end = min(int(m.group(2)), size - 1)
            if start >= size:
                self.send_response(416)
                self.send_header("Content-Range", "bytes */%d" % size)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            partial = True
        length = max(0, end - start + 1)
        self.send_response(206 if partial else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(length))
        self.send_header("Accept-Ranges", "bytes")
        if partial:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, size))
        self.end_headers()
        if self.command == "HEAD":
            return
        self.wfile.flush()
        send = length
        with lock:
            if path in cuts:
                send = min(send, cuts.pop(path))
        with open(full, "rb") as f:
            if send > 0 and args.rate:
                chunk = max(1, args.rate // 20)
                f.seek(start)
                left = send
                while left > 0:
                    data = f.read(min(chunk, left))
                    self.wfile.write(data)
                    self.wfile.flush()
                    left -= len(data)
                    time.sleep(0.05)
            elif send > 0:
                self.connection.sendfile(f, start, send)
        if send < length:
            self.close_connection = True
            self.connection.shutdown(2)

    def do_GET(self):
        self.serve()

    def do_HEAD(self):
        self.serve()


def main():
    global args
    p = argparse.ArgumentParser()
    p.add_argument("root")
    p.add_argument("--status", action="append", default=[])
    p.add_argument("--cut", action="append", default=[])
    p.add_argument("--log")
    p.add_argument("--rate", type=int, default=0)
    args = p.parse_args()
    args.root = os.path.realpath(args.root)
    args.status_map = {k: int(v) for k, v in (s.rsplit("=", 1) for s in args.status)}
    for c in args.cut:
        k, v = c.rsplit("=", 1)
        cuts[k] = int(v)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
