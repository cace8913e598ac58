#!/usr/bin/env python3
"""A local HTTP CONNECT proxy that maps host names to loopback ports.

Set as the system proxy of a Wine prefix, it lets a program that asks for the
production package host reach a local server instead, unchanged.

Only CONNECT is served. The target must be a name given with --map (its port
in the request is ignored) or 127.0.0.1 itself; anything else is refused with
403, so nothing but loopback is ever contacted. A target that does not answer
gets 502. Listens on 127.0.0.1 only.

Each tunnel is logged as one tab-separated line: time, client port, the
CONNECT target, the loopback address it went to, the proxy's own local port on
that connection (the server sees it as the client port), and the outcome.

Usage: connect_proxy.py --map NAME=127.0.0.1:PORT [--map ...] [--port N]
                        [--port-file FILE] [--log FILE] [--max-seconds S]
"""
import argparse
import os
import select
import socket
import struct
import sys
import threading
import time

from server_lifetime import stop_after

BUFFER = 256 * 1024
HEADER_LIMIT = 16 * 1024


class Proxy:
    def __init__(self, mapping, log_path):
        self.mapping = mapping
        self.log_path = log_path
        self.log_lock = threading.Lock()

    def log(self, client_port, target, backend, local_port, outcome):
        line = "%.3f\t%d\t%s\t%s\t%s\t%s\n" % (time.time(), client_port, target, backend,
                                               local_port, outcome)
        with self.log_lock:
            with open(self.log_path, "a", encoding="utf-8") as log:
                log.write(line)

    def resolve(self, target):
        """The loopback address for a CONNECT target, or None when refused."""
        host, _, port = target.rpartition(":")
        if not host or not port.isdigit():
            return None
        host = host.strip("[]").lower()
        if host in self.mapping:
            return self.mapping[host]
        if host == "127.0.0.1":
            return ("127.0.0.1", int(port))
        return None

    def serve(self, client, client_port):
        with client:
            head = read_head(client)
            if head is None:
                return
            request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
            parts = request_line.split()
            if len(parts) != 3 or parts[0].upper() != "CONNECT":
                client.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
                self.log(client_port, request_line, "-", "-", "405")
                return
            target = parts[1]
            backend = self.resolve(target)
            if backend is None:
                client.sendall(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n")
                self.log(client_port, target, "-", "-", "403")
                return
            try:
                upstream = socket.create_connection(backend, timeout=5)
            except OSError:
                client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
                self.log(client_port, target, "%s:%d" % backend, "-", "502")
                return
            with upstream:
                upstream.settimeout(None)
                local_port = upstream.getsockname()[1]
                self.log(client_port, target, "%s:%d" % backend, local_port, "200")
                client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                relay(client, upstream)


def read_head(client):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = client.recv(4096)
        if not chunk or len(data) > HEADER_LIMIT:
            return None
        data += chunk
    return data


def reset(connection):
    """Closes with a TCP reset, so a failure upstream reaches the client as one."""
    try:
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass


def relay(client, upstream):
    """Copies both ways until both sides have finished or one side fails."""
    peers = {client: upstream, upstream: client}
    open_reads = {client, upstream}
    while open_reads:
        readable, _, _ = select.select(list(open_reads), [], [])
        for source in readable:
            try:
                data = source.recv(BUFFER)
                if data:
                    peers[source].sendall(data)
                    continue
                open_reads.discard(source)
                peers[source].shutdown(socket.SHUT_WR)
            except OSError:
                reset(client)
                reset(upstream)
                return


def parse_map(items):
    mapping = {}
    for item in items:
        name, _, address = item.partition("=")
        host, _, port = address.rpartition(":")
        if host != "127.0.0.1" or not port.isdigit():
            raise SystemExit("--map %s: only 127.0.0.1:PORT targets are allowed" % item)
        mapping[name.lower()] = (host, int(port))
    return mapping


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--map", action="append", default=[])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--max-seconds", type=float, default=0,
                        help="exit after this long (0: run until stopped)")
    args = parser.parse_args()

    stop_after(args.max_seconds)
    proxy = Proxy(parse_map(args.map), args.log)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(64)
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as out:
            out.write("%d\n" % listener.getsockname()[1])
        os.replace(args.port_file + ".tmp", args.port_file)
    try:
        while True:
            client, address = listener.accept()
            threading.Thread(target=proxy.serve, args=(client, address[1]), daemon=True).start()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
