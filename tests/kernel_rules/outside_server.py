"""The far end of the kernel-rules tests: answers "pong" over TCP and UDP on PORT and every
DNS query on port 53 (when asked), on every address of its namespace. Prints "ready".
    outside_server.py PORT [dns]"""
import os
import socket
import sys
import threading


def tcp(port):
    listener = socket.socket(socket.AF_INET6, socket.SOCK_STREAM)
    listener.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("::", port))
    listener.listen(16)
    return listener


def udp(port):
    sock = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
    sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    sock.bind(("::", port))
    return sock


def serve_tcp(listener):
    while True:
        peer, _ = listener.accept()
        with peer:
            peer.settimeout(3)
            try:
                if peer.recv(64):
                    peer.sendall(b"pong")
            except OSError:
                pass


def serve_udp(sock, answer):
    while True:
        data, peer = sock.recvfrom(512)
        sock.sendto(answer(data), peer)


def dns_answer(query):
    # The query back with the answer bit set: enough for a resolver's reply.
    return query[:2] + bytes([query[2] | 0x80]) + query[3:]


if __name__ == "__main__":
    port = int(sys.argv[1])
    threads = [threading.Thread(target=serve_tcp, args=(tcp(port),)),
               threading.Thread(target=serve_udp, args=(udp(port), lambda data: b"pong"))]
    if len(sys.argv) > 2:
        threads.append(threading.Thread(target=serve_udp, args=(udp(53), dns_answer)))
    for thread in threads:
        thread.daemon = True
        thread.start()
    print("ready", os.getpid(), flush=True)
    sys.stdin.read()
