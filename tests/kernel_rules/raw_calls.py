"""Network use the preloaded filter cannot see: a TCP connect made by raw system calls
through ctypes, and a DNS query. Prints "ok ..." or "error <errno name> <step>".
    raw_calls.py connect HOST PORT | dns HOST"""
import ctypes
import errno
import socket
import struct
import sys

SYS_SOCKET, SYS_CONNECT = 41, 42


def raw_connect(host, port):
    libc = ctypes.CDLL(None, use_errno=True)
    libc.syscall.restype = ctypes.c_long
    fd = libc.syscall(SYS_SOCKET, socket.AF_INET, socket.SOCK_STREAM, 0)
    if fd < 0:
        return "error %s socket" % errno.errorcode[ctypes.get_errno()]
    address = struct.pack("!HH4s8x", socket.AF_INET, port, socket.inet_aton(host))
    address = struct.pack("=H", socket.AF_INET) + address[2:]
    buffer = ctypes.create_string_buffer(address, len(address))
    if libc.syscall(SYS_CONNECT, fd, buffer, len(address)) != 0:
        return "error %s connect" % errno.errorcode[ctypes.get_errno()]
    with socket.socket(fileno=fd) as sock:
        sock.settimeout(3)
        sock.send(b"ping")
        return "ok " + sock.recv(16).decode()


def dns(host):
    query = struct.pack("!HHHHHH", 0x2424, 0x0100, 1, 0, 0, 0)
    query += b"".join(bytes([len(p)]) + p.encode() for p in "example.org".split(".")) + b"\0"
    query += struct.pack("!HH", 1, 1)
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.settimeout(3)
        try:
            sock.sendto(query, (host, 53))
            answer = sock.recv(512)
        except OSError as error:
            return "error %s dns" % errno.errorcode.get(error.errno, "ETIMEDOUT")
        return "ok answer %d" % struct.unpack("!H", answer[:2])[0]


if __name__ == "__main__":
    if sys.argv[1] == "connect":
        print(raw_connect(sys.argv[2], int(sys.argv[3])), flush=True)
    else:
        print(dns(sys.argv[2]), flush=True)
