"""Loopback peers for the filter tests, never preloaded: TCP and UDP on 127.0.0.1 and ::1.
Prints "tcp4 PORT tcp6 PORT udp4 PORT udp6 PORT" and serves until killed. TCP answers "ping"
with "pong", an HTTP request with a small 200 response, and swallows anything else."""
import socket
import socketserver
import sys
import threading


class Stream(socketserver.BaseRequestHandler):
    def handle(self):
        while data := self.request.recv(65536):
            if data.startswith(b"GET"):
                self.request.sendall(b"HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok")
                return
            if b"ping" in data:
                self.request.sendall(b"pong")


class Datagram(socketserver.BaseRequestHandler):
    def handle(self):
        data, sock = self.request
        sock.sendto(b"pong" if data == b"ping" else b"?", self.client_address)


def server(kind, handler, host):
    base = socketserver.ThreadingTCPServer if kind == "tcp" else socketserver.ThreadingUDPServer
    cls = type("Server", (base,), {"address_family": socket.AF_INET6 if ":" in host else
                                   socket.AF_INET, "daemon_threads": True,
                                   "allow_reuse_address": True})
    return cls((host, 0), handler)


servers = {name: server(kind, handler, host) for name, kind, handler, host in [
    ("tcp4", "tcp", Stream, "127.0.0.1"), ("tcp6", "tcp", Stream, "::1"),
    ("udp4", "udp", Datagram, "127.0.0.1"), ("udp6", "udp", Datagram, "::1")]}
for each in servers.values():
    threading.Thread(target=each.serve_forever, daemon=True).start()
print(" ".join(f"{name} {each.server_address[1]}" for name, each in servers.items()), flush=True)
sys.stdin.read()
