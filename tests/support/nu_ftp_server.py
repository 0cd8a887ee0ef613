#!/usr/bin/python3
"""FTP server for the update engine tests (pyftpdlib): serves a folder on 127.0.0.1.

usage: nu_ftp_server.py ROOT [--user USER:PASS] [--no-anonymous] [--log FILE]

Prints the port it listens on as the first line of stdout, then serves until killed.
The user (when given) and anonymous (unless --no-anonymous) may read ROOT; passive and active
transfers both work. --log appends every command received as "COMMAND ARG" lines (PASS hidden).
"""
import argparse
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class LoggingHandler(FTPHandler):
    log_file = None

    def pre_process_command(self, line, cmd, arg):
        if self.log_file:
            with open(self.log_file, "a") as f:
                f.write("%s %s\n" % (cmd, "***" if cmd == "PASS" else (arg or "")))
        return super().pre_process_command(line, cmd, arg)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("root")
    ap.add_argument("--user")
    ap.add_argument("--no-anonymous", action="store_true")
    ap.add_argument("--log")
    a = ap.parse_args()
    auth = DummyAuthorizer()
    if a.user:
        name, _, password = a.user.partition(":")
        auth.add_user(name, password, a.root, perm="elr")
    if not a.no_anonymous:
        auth.add_anonymous(a.root, perm="elr")
    LoggingHandler.authorizer = auth
    LoggingHandler.log_file = a.log
    LoggingHandler.banner = "test server ready"
    LoggingHandler.passive_ports = None
    LoggingHandler.permit_privileged_ports = True
    import logging
    logging.basicConfig(level=logging.CRITICAL)
    server = FTPServer(("127.0.0.1", 0), LoggingHandler)
    print(server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
