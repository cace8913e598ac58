#!/usr/bin/env python3
"""A small HTTPS package host for tests and local runs.

Serves the files under --root over HTTPS on 127.0.0.1 only. Every request is
logged as one tab-separated line: time, client port, method, path, User-Agent,
and, when the request asks for a range, its Range and If-Range.

A file is served with an ETag (its size and modification time), a
Last-Modified date and "Accept-Ranges: bytes". A request with "Range:
bytes=N-", "bytes=N-M" or "bytes=-N" (the last N) gets 206 and those bytes,
unless its If-Range names another version of the file (an older ETag or
date): then it gets the whole file with 200, as the file has changed. A range past the end gets 416.

Misbehaviour is chosen by the request path, so a test only has to pick a URL.
Any number of these prefixes may come first, in any order:

  /_nolength/          no Content-Length; the body ends when the connection closes
  /_slow/<ms>/         the body in 16 KiB pieces, <ms> milliseconds apart
  /_pieces/<bytes>/    the body in pieces of <bytes> (with /_slow/, the pieces
                       that pause)
  /_cut/<bytes>/       announce the whole length, send <bytes> of the body, then
                       (a second later) reset the connection
  /_cuts/<n>/          the first <n> bodies of this version of the file that
                       hold more than half of it are cut like /_cut/ after a
                       fifth of the file each; ranges are answered, so a
                       client can pick up where it stopped
  /_noranges/          no Accept-Ranges, and a Range header is ignored: 200 and
                       the whole file
  /_redirect/<code>/   answer <code> (301, 302, 303, 307, 308) with a Location of
                       the rest of the path on the same host
  /_silent/            read the request and never answer it
  /_stall/<bytes>/     announce the whole length, send <bytes> of the body, then
                       send nothing more
  /_tamper/<offset>/   the byte at <offset> of the file is flipped in every body
                       that holds it; its signature is of the file as it is

A request for NAME.sig takes none of the prefixes above. It is served from
the file NAME.sig where there is one; otherwise, with --sign-key, the host
signs NAME as tools/sign-package.sh would (once for each version of it) and
serves that. These prefixes change the signature it makes:

  /_unsigned/          404: there is none
  /_otherkey/          signed with --other-key instead
  /_sigsize/           the statement claims one byte more than the file holds
  /_sigcut/<bytes>/    only the first <bytes> of it are sent

A silent or stalled connection stays open until the client closes it (or for
at most five minutes). /_nolength/, /_cut/ and /_stall/ play a host that
answers no ranges: a client has to give up when their bodies break.

--cuts N cuts the first N bodies the host sends (of any file) as /_cuts/
does, and --rate MBPS sends every body at no more than MBPS megabytes (10^6
bytes) a second; both are for benchmarks. With --body-log, each body sent is
logged there when it ends: time, client port, path, bytes sent.

With --prefix-file, the prefixes that file holds (one line, such as
/_stall/500000/) go before every request path for as long as it exists, so a
program whose URL is fixed can be made to meet a misbehaving host too.

The rest of the path names a file under --root. A missing file gets 404 with a
small HTML page; so does a path that tries to leave the root.

Usage: package_server.py --root DIR --cert PEM --key PEM [--port N]
                       [--port-file FILE] [--log FILE] [--max-seconds S]
                       [--prefix-file FILE] [--rate MBPS] [--cuts N]
                       [--body-log FILE] [--sign-key PEM] [--other-key PEM]
The port (0 = any free one) is written to --port-file once the socket listens.
"""
import argparse
import email.utils
import hashlib
import re
import http.server
import os
import select
import socket
import ssl
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

from server_lifetime import stop_after

SIGNATURE_CHUNK = 1048576
PIECE = 16 * 1024
BLOCK = 256 * 1024
CUT_GRACE_SECONDS = 1.0
HOLD_LIMIT_SECONDS = 300
NOT_FOUND_PAGE = (b"<html><head><title>404 Not Found</title></head>"
                  b"<body><h1>Not Found</h1><p>The package is not here.</p></body></html>\n")


class Behaviour:
    def __init__(self):
        self.send_length = True
        self.slow_ms = 0
        self.piece = 0
        self.cut_at = None
        self.redirect_code = None
        self.silent = False
        self.stall_at = None
        self.cuts = 0
        self.ranges = True
        self.tamper_at = None
        self.unsigned = False
        self.other_key = False
        self.claims_more = False
        self.signature_cut = None
        self.rest = "/"


def parse_behaviour(raw_path):
    """Splits the control prefixes off a request path."""
    behaviour = Behaviour()
    parts = urllib.parse.unquote(raw_path.split("?", 1)[0]).split("/")[1:]
    while parts:
        head = parts[0]
        if head == "_nolength":
            behaviour.send_length = False
            behaviour.ranges = False
            parts = parts[1:]
        elif head == "_noranges":
            behaviour.ranges = False
            parts = parts[1:]
        elif head == "_cuts" and len(parts) > 1 and parts[1].isdigit():
            behaviour.cuts = int(parts[1])
            parts = parts[2:]
        elif head == "_slow" and len(parts) > 1 and parts[1].isdigit():
            behaviour.slow_ms = int(parts[1])
            parts = parts[2:]
        elif head == "_pieces" and len(parts) > 1 and parts[1].isdigit() and int(parts[1]) > 0:
            behaviour.piece = int(parts[1])
            parts = parts[2:]
        elif head == "_cut" and len(parts) > 1 and parts[1].isdigit():
            behaviour.cut_at = int(parts[1])
            behaviour.ranges = False
            parts = parts[2:]
        elif head == "_tamper" and len(parts) > 1 and parts[1].isdigit():
            behaviour.tamper_at = int(parts[1])
            parts = parts[2:]
        elif head == "_unsigned":
            behaviour.unsigned = True
            parts = parts[1:]
        elif head == "_otherkey":
            behaviour.other_key = True
            parts = parts[1:]
        elif head == "_sigsize":
            behaviour.claims_more = True
            parts = parts[1:]
        elif head == "_sigcut" and len(parts) > 1 and parts[1].isdigit():
            behaviour.signature_cut = int(parts[1])
            parts = parts[2:]
        elif head == "_silent":
            behaviour.silent = True
            parts = parts[1:]
        elif head == "_stall" and len(parts) > 1 and parts[1].isdigit():
            behaviour.stall_at = int(parts[1])
            behaviour.ranges = False
            parts = parts[2:]
        elif head == "_redirect" and len(parts) > 1 and parts[1] in ("301", "302", "303", "307", "308"):
            behaviour.redirect_code = int(parts[1])
            parts = parts[2:]
            break  # the rest is the target, prefixes included
        else:
            break
    behaviour.rest = "/" + "/".join(parts)
    return behaviour


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuellmarkTestHost/1"

    def log_message(self, fmt, *args):  # the request log below replaces stderr chatter
        pass

    def log_request_line(self):
        fields = [self.client_address[1], self.command, self.path,
                  self.headers.get("User-Agent", "")]
        if "Range" in self.headers:
            fields += [self.headers.get("Range", ""), self.headers.get("If-Range", "")]
        self.server.log(self.server.log_path, *fields)

    def do_HEAD(self):
        self.handle_get(send_body=False)

    def do_GET(self):
        self.handle_get(send_body=True)

    def handle_get(self, send_body):
        self.log_request_line()
        behaviour = parse_behaviour(self.server.forced_prefix() + self.path)
        if behaviour.rest.endswith(".sig"):
            self.send_signature(behaviour, send_body)
            return
        if behaviour.silent:
            self.hold_open()
            return
        if behaviour.redirect_code:
            self.send_response(behaviour.redirect_code)
            self.send_header("Location", "https://%s%s" % (self.headers.get("Host", ""), behaviour.rest))
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        path = self.file_path(behaviour.rest)
        if path is None:
            self.send_page(404, NOT_FOUND_PAGE, send_body)
            return
        self.send_file(path, behaviour, send_body)

    def file_path(self, rest):
        root = os.path.realpath(self.server.root)
        candidate = os.path.realpath(os.path.join(root, rest.lstrip("/")))
        if os.path.commonpath([root, candidate]) != root or not os.path.isfile(candidate):
            return None
        return candidate

    def send_signature(self, behaviour, send_body):
        signature_file = self.file_path(behaviour.rest)
        package = self.file_path(behaviour.rest[:-len(".sig")])
        body = None
        if signature_file:
            with open(signature_file, "rb") as f:
                body = f.read()
        elif package and not behaviour.unsigned:
            body = self.server.signature_of(package, behaviour.other_key, behaviour.claims_more)
        if body is None:
            self.send_page(404, NOT_FOUND_PAGE, send_body)
            return
        if behaviour.signature_cut is not None:
            body = body[:behaviour.signature_cut]
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def send_page(self, code, body, send_body):
        self.send_response(code)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def requested_range(self, size, etag, last_modified):
        """(first, last) of a Range request this version of the file answers,
        None for the whole file, or "unsatisfiable"."""
        match = re.fullmatch(r"bytes=(\d*)-(\d*)", self.headers.get("Range", "").strip())
        if not match or not (match.group(1) or match.group(2)):
            return None
        validator = self.headers.get("If-Range")
        if validator is not None and validator.strip() not in (etag, last_modified):
            return None  # another version: the whole of this one
        if not match.group(1):  # the last N bytes
            if int(match.group(2)) == 0:
                return "unsatisfiable"
            return max(0, size - int(match.group(2))), size - 1
        first = int(match.group(1))
        last = int(match.group(2)) if match.group(2) else size - 1
        if first >= size or last < first:
            return "unsatisfiable"
        return first, min(last, size - 1)

    def send_file(self, path, behaviour, send_body):
        status = os.stat(path)
        size = status.st_size
        etag = '"%x-%x"' % (size, status.st_mtime_ns)
        last_modified = email.utils.formatdate(status.st_mtime, usegmt=True)
        wanted = self.requested_range(size, etag, last_modified) if behaviour.ranges else None
        if wanted == "unsatisfiable":
            self.send_response(416)
            self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        first, last = wanted if wanted else (0, size - 1)
        length = last - first + 1
        self.send_response(206 if wanted else 200)
        self.send_header("Content-Type", "application/zip")
        if behaviour.ranges:
            self.send_header("Accept-Ranges", "bytes")
            self.send_header("ETag", etag)
            self.send_header("Last-Modified", last_modified)
        if wanted:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (first, last, size))
        if behaviour.send_length:
            self.send_header("Content-Length", str(length))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if not send_body:
            return
        limit = length
        for stop in (behaviour.cut_at, behaviour.stall_at):
            if stop is not None:
                limit = min(limit, stop)
        # Only a body of more than half the file is cut: a directory's tail
        # (which may reach back a whole chunk of the signature), or the last
        # part of a body resumed after cuts, takes none of them.
        if length > size // 2 and self.server.take_cut(path, etag, behaviour.cuts):
            limit = min(limit, size // 5)
        # What went out before a client hung up counts as served too.
        self.body_sent = 0
        try:
            self.send_bytes(path, first, limit, behaviour)
        finally:
            self.server.log(self.server.body_log_path, self.client_address[1], self.path,
                            self.body_sent)
        if limit < length and behaviour.stall_at is not None:
            self.hold_open()
        elif limit < length:
            self.reset_connection()

    def send_bytes(self, path, first, limit, behaviour):
        """Sends limit bytes of the file from first on, paced as asked."""
        piece = behaviour.piece or (PIECE if behaviour.slow_ms or self.server.rate else BLOCK)
        started = time.monotonic()
        sent = 0
        with open(path, "rb") as source:
            source.seek(first)
            while sent < limit:
                chunk = source.read(min(piece, limit - sent))
                if not chunk:
                    break
                at = behaviour.tamper_at
                if at is not None and first + sent <= at < first + sent + len(chunk):
                    flipped = bytearray(chunk)
                    flipped[at - first - sent] ^= 0xFF
                    chunk = bytes(flipped)
                self.wfile.write(chunk)
                sent += len(chunk)
                self.body_sent = sent
                if behaviour.slow_ms and sent < limit:
                    self.wfile.flush()
                    time.sleep(behaviour.slow_ms / 1000.0)
                if self.server.rate:
                    ahead = sent / self.server.rate - (time.monotonic() - started)
                    if ahead > 0:
                        self.wfile.flush()
                        time.sleep(ahead)
        self.wfile.flush()
        return sent

    def hold_open(self):
        """Sends nothing more and keeps the connection until the client closes it."""
        self.close_connection = True
        end = time.time() + HOLD_LIMIT_SECONDS
        while time.time() < end:
            readable, _, _ = select.select([self.connection], [], [], 0.5)
            if not readable:
                continue
            try:
                if not self.connection.recv(4096):
                    return
            except ssl.SSLWantReadError:
                continue
            except (ssl.SSLError, OSError):
                return

    def reset_connection(self):
        """Drops the connection with a TCP reset, as a failing network would.

        A reset discards whatever the receiver has not read yet, so the sent
        part gets a second to arrive first: the client then sees a body that
        stops, rather than no response at all.
        """
        time.sleep(CUT_GRACE_SECONDS)
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True
        self.connection.close()


def der_to_r_s(der):
    """r then s, 32 bytes each, of an ECDSA signature in DER."""
    assert der[0] == 0x30 and der[2] == 0x02
    r_length = der[3]
    r = der[4:4 + r_length]
    assert der[4 + r_length] == 0x02
    s = der[6 + r_length:6 + r_length + der[5 + r_length]]
    return int.from_bytes(r, "big").to_bytes(32, "big") + int.from_bytes(s, "big").to_bytes(32, "big")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, root, log_path, context, prefix_file=None, rate=0, cuts=0,
                 body_log_path=os.devnull, sign_key=None, other_key=None):
        super().__init__(address, Handler)
        self.root = root
        self.prefix_file = prefix_file
        self.log_path = log_path
        self.body_log_path = body_log_path
        self.log_lock = threading.Lock()
        self.context = context
        self.rate = rate * 1000000
        self.cuts_left = cuts
        self.cuts_taken = {}  # (path, ETag): bodies of /_cuts/ cut so far
        self.keys = (sign_key, other_key)
        self.signatures = {}  # (path, size, mtime, key, claims more): its .sig

    def log(self, path, *fields):
        line = "%.3f\t%s\n" % (time.time(), "\t".join(str(f) for f in fields))
        with self.log_lock:
            with open(path, "a", encoding="utf-8") as log:
                log.write(line)

    def take_cut(self, path, etag, cuts):
        """True when this body is to be cut: one of the first of --cuts, or of
        the path's /_cuts/ for this version of the file."""
        with self.log_lock:
            if self.cuts_left > 0:
                self.cuts_left -= 1
                return True
            taken = self.cuts_taken.get((path, etag), 0)
            if taken < cuts:
                self.cuts_taken[(path, etag)] = taken + 1
                return True
        return False

    def signature_of(self, path, other_key, claims_more):
        """The .sig that tools/sign-package.sh would write for the file at
        path, or None without the key it needs."""
        key = self.keys[1 if other_key else 0]
        if not key:
            return None
        status = os.stat(path)
        cache_key = (path, status.st_size, status.st_mtime_ns, key, claims_more)
        with self.log_lock:
            if cache_key in self.signatures:
                return self.signatures[cache_key]
        hashes, size, last = [], 0, b""
        with open(path, "rb") as f:
            while True:
                chunk = f.read(SIGNATURE_CHUNK)
                if not chunk:
                    break
                hashes.append(hashlib.sha256(chunk).hexdigest())
                size += len(chunk)
                last = chunk
        if claims_more:
            if last and len(last) < SIGNATURE_CHUNK:
                hashes[-1] = hashlib.sha256(last + b"\0").hexdigest()
            else:
                hashes.append(hashlib.sha256(b"\0").hexdigest())
            size += 1
        statement = ("quellmark-package 1\nfile %s\nsize %d\nchunk %d\n%s" % (
            os.path.basename(path), size, SIGNATURE_CHUNK,
            "".join(h + "\n" for h in hashes))).encode()
        der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key], input=statement,
                             capture_output=True, check=True).stdout
        body = statement + b"signature " + der_to_r_s(der).hex().encode() + b"\n"
        with self.log_lock:
            self.signatures[cache_key] = body
        return body

    def forced_prefix(self):
        """The prefixes of --prefix-file without their trailing "/", or ""."""
        if not self.prefix_file:
            return ""
        try:
            with open(self.prefix_file, encoding="utf-8") as f:
                prefixes = f.readline().strip().strip("/")
        except FileNotFoundError:
            return ""
        return "/" + prefixes if prefixes else ""

    def get_request(self):
        connection, address = self.socket.accept()
        return connection, address

    def finish_request(self, request, client_address):
        # The handshake runs on the request's own thread, so a client that
        # stalls or refuses the certificate never blocks the listener.
        try:
            secure = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        self.RequestHandlerClass(secure, client_address, self)

    def handle_error(self, request, client_address):
        pass  # clients that go away mid-transfer are expected here


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--max-seconds", type=float, default=0,
                        help="exit after this long (0: run until stopped)")
    parser.add_argument("--prefix-file",
                        help="while this file exists, its prefixes go before every request path")
    parser.add_argument("--rate", type=float, default=0,
                        help="send every body at no more than this many MB/s (0: unpaced)")
    parser.add_argument("--cuts", type=int, default=0,
                        help="cut the first N bodies after a fifth of the file each")
    parser.add_argument("--body-log", default=os.devnull,
                        help="log each body sent, with its length, here")
    parser.add_argument("--sign-key",
                        help="EC P-256 key (PEM) that signs a file whose .sig is asked for")
    parser.add_argument("--other-key", help="the key that signs for /_otherkey/")
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    stop_after(args.max_seconds)
    server = Server(("127.0.0.1", args.port), args.root, args.log, context, args.prefix_file,
                    args.rate, args.cuts, args.body_log, args.sign_key, args.other_key)
    port = server.server_address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as out:
            out.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
