"""The real program the filter tests run through libzensp.so: each command prints what
happened, one line per step ("ok ..." or "error <errno name> ..."), and exits 0."""
import errno
import os
import socket
import subprocess
import sys
import threading
import time


def family(host):
    return socket.AF_INET6 if ":" in host else socket.AF_INET


def report(step, action):
    try:
        result = action()
        print("ok", step, result if result is not None else "", flush=True)
        return True if result is None else result
    except OSError as error:
        print("error", errno.errorcode.get(error.errno, error.errno), step, flush=True)
        return None


def tcp(host, port):
    sock = report("socket", lambda: socket.socket(family(host), socket.SOCK_STREAM))
    if sock is None:
        return
    with sock:
        if report("connect", lambda: sock.connect((host, int(port)))) is None:
            return
        report("send", lambda: sock.send(b"ping"))
        report("recv", lambda: sock.recv(16).decode())


def udp(host, port):
    sock = report("socket", lambda: socket.socket(family(host), socket.SOCK_DGRAM))
    if sock is None:
        return
    with sock:
        sock.settimeout(5)
        report("sendto", lambda: sock.sendto(b"ping", (host, int(port))))
        report("recvfrom", lambda: sock.recvfrom(16)[0].decode())


def burst(count, host):
    """Refusals close together: every one leaves a message, one leaves a warning."""
    for _ in range(int(count)):
        report("socket", lambda: socket.socket(family(host), socket.SOCK_STREAM).close())


def serve(host):
    with socket.socket(family(host), socket.SOCK_STREAM) as listener:
        listener.bind((host, 0))
        report("listen", lambda: listener.listen())
        print("port", listener.getsockname()[1], flush=True)
        while True:
            try:
                peer, _ = listener.accept()
            except PermissionError:
                print("error EACCES accept", flush=True)
                return
            with peer:
                report("accept", lambda: peer.sendall(b"hello"))


def reuse(host, port):
    """A refused socket stays the application's: its number is not handed to the next file."""
    sock = socket.create_connection((host, int(port)))
    print("ok connected", flush=True)
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            sock.send(b"x")
        except PermissionError:
            break
        time.sleep(0.05)
    else:
        print("error never refused", flush=True)
        return
    number = sock.fileno()
    report("send after refusal", lambda: sock.send(b"x"))
    report("recv after refusal", lambda: sock.recv(1))
    with open(__file__, "rb") as opened:
        report("file number differs", lambda: opened.fileno() != number)
        sock.close()
        report("file still readable", lambda: len(opened.read(6)))
    with open(__file__, "rb") as reopened:
        report("number reused", lambda: reopened.fileno() == number)
        report("reused number readable", lambda: len(os.read(reopened.fileno(), 6)))


def hostile(host, port):
    """What hostile programs do around sockets must neither crash nor hang the filter."""
    pid = os.fork()
    if pid == 0:
        with socket.create_connection((host, int(port))) as child:
            child.sendall(b"from a forked child")
        os._exit(0)
    os.waitpid(pid, 0)
    print("ok fork", flush=True)
    with socket.create_connection((host, int(port))) as sock:
        # vfork children (Python spawns with vfork) dup and close numbers of the parent.
        subprocess.run(["/bin/true"], stdin=sock.fileno(), close_fds=True, check=True)
        report("send after vfork child", lambda: sock.send(b"y"))
        threads = [threading.Thread(target=lambda: [sock.send(b"z") for _ in range(200)])
                   for _ in range(4)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        print("ok threads", flush=True)
    os.closerange(3, 4096)
    with socket.create_connection((host, int(port))) as sock:
        report("after closing every number", lambda: sock.send(b"w"))


def closeall(host, port):
    """A program that closes every number, the filter's files among them, after its first
    socket: the filter's next record must not land in a file the program opens afterwards."""
    with socket.create_connection((host, int(port))) as sock:
        sock.send(b"ping")
    os.closerange(3, 4096)
    scratch = [os.open(f"/tmp/zen-scratch-{os.getpid()}-{i}", os.O_RDWR | os.O_CREAT, 0o600)
               for i in range(8)]
    print("ok ready", flush=True)
    sys.stdin.readline()
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            socket.socket().close()
        except PermissionError:
            print("error EACCES socket", flush=True)
            break
    print("ok scratch bytes", sum(os.fstat(fd).st_size for fd in scratch), flush=True)
    for i, fd in enumerate(scratch):
        os.close(fd)
        os.unlink(f"/tmp/zen-scratch-{os.getpid()}-{i}")


if __name__ == "__main__":
    globals()[sys.argv[1]](*sys.argv[2:])
