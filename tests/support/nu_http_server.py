#!/usr/bin/env python3
"""HTTP server for the update engine tests: serves a folder on 127.0.0.1.

usage: nu_http_server.py ROOT [options]

Prints the port it listens on as the first line of stdout, then serves until killed.
  --status PATH=CODE      answer PATH with that HTTP status (and a small HTML body)
  --auth PATH=USER:PASS   PATH and everything below it need that basic authentication; a request
                          without it, or with other credentials, gets 401
  --slow PATH=BPS         send the body of PATH at about BPS bytes per second
  --no-length PATH        send PATH without Content-Length, closing the connection at the end
  --log FILE              append one JSON line per request: method, path, authorization,
                          pragma, cache-control, user-agent, connection
  --post-log FILE         append one JSON line per POST: path, content-type, body
  --post-reply TEXT       body of the answer to a POST (default "OK")
  --tls CERT KEY          speak HTTPS with that certificate and key (PEM files)
GET and HEAD serve files below ROOT (a folder by its index.html); anything outside ROOT or missing is 404. An empty file gives
a 200 with an empty body.
"""
import argparse
import base64
import json
import os
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote, urlsplit

args = None
lock = threading.Lock()


def pairs(items):
    out = {}
    for item in items or []:
        key, _, value = item.partition("=")
        out[key] = value
    return out


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *a):
        pass

    def record(self):
        if not args.log:
            return
        entry = {
            "method": self.command,
            "path": self.path,
            "authorization": self.headers.get("Authorization", ""),
            "pragma": self.headers.get("Pragma", ""),
            "cache-control": self.headers.get("Cache-Control", ""),
            "user-agent": self.headers.get("User-Agent", ""),
            "connection": self.headers.get("Connection", ""),
        }
        with lock, open(args.log, "a") as f:
            f.write(json.dumps(entry) + "\n")

    def answer(self, code, body=b"", headers=()):
        self.send_response(code)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def authorised(self, path):
        for prefix, cred in args.auth_map.items():
            if path == prefix or path.startswith(prefix.rstrip("/") + "/") or prefix == "/":
                expected = "Basic " + base64.b64encode(cred.encode("latin-1")).decode()
                if self.headers.get("Authorization", "") != expected:
                    return False
        return True

    def serve(self):
        self.record()
        path = unquote(urlsplit(self.path).path)
        if path in args.status_map:
            code = int(args.status_map[path])
            return self.answer(code, b"<html><body>status %d</body></html>" % code)
        if not self.authorised(path):
            return self.answer(401, b"<html><body>401</body></html>",
                               [("WWW-Authenticate", 'Basic realm="updates"')])
        full = os.path.realpath(os.path.join(args.root, path.lstrip("/")))
        if os.path.isdir(full):
            full = os.path.join(full, "index.html")
        if not full.startswith(args.root + os.sep) or not os.path.isfile(full):
            return self.answer(404, b"<html><body>404</body></html>")
        size = os.path.getsize(full)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if path in args.no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(size))
        self.end_headers()
        if self.command == "HEAD":
            return
        rate = int(args.slow_map.get(path, 0))
        with open(full, "rb") as f:
            if rate > 0:
                chunk = max(1, rate // 20)
                while True:
                    data = f.read(chunk)
                    if not data:
                        break
                    self.wfile.write(data)
                    self.wfile.flush()
                    time.sleep(len(data) / rate)
            else:
                self.wfile.flush()
                try:
                    self.connection.sendfile(f)
                except (BrokenPipeError, ConnectionResetError):
                    self.close_connection = True

    def do_GET(self):
        self.serve()

    def do_HEAD(self):
        self.serve()

    def do_POST(self):
        self.record()
        length = int(self.headers.get("Content-Length", "0") or 0)
        body = self.rfile.read(length) if length else b""
        if args.post_log:
            entry = {
                "path": self.path,
                "content-type": self.headers.get("Content-Type", ""),
                "body": body.decode("latin-1"),
            }
            with lock, open(args.post_log, "a") as f:
                f.write(json.dumps(entry) + "\n")
        self.answer(200, args.post_reply.encode("latin-1"))


def main():
    global args
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("--status", action="append")
    ap.add_argument("--auth", action="append")
    ap.add_argument("--slow", action="append")
    ap.add_argument("--no-length", action="append", default=[])
    ap.add_argument("--log")
    ap.add_argument("--post-log")
    ap.add_argument("--post-reply", default="OK")
    ap.add_argument("--tls", nargs=2)
    args = ap.parse_args()
    args.root = os.path.realpath(args.root)
    args.status_map = pairs(args.status)
    args.auth_map = pairs(args.auth)
    args.slow_map = pairs(args.slow)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    if args.tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls[0], args.tls[1])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
