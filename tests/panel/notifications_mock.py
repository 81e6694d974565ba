#!/usr/bin/python3
"""A private session bus with python3-dbusmock's notification daemon, for the panel's tests.

Starts dbus-daemon on a socket in the given folder and dbusmock's notification_daemon on it,
which logs every call to <folder>/notifications.log; prints "ADDRESS <bus address>" and ends
both when standard input closes.
"""
import os
import subprocess
import sys
import time

import dbus

NAME = "org.freedesktop.Notifications"


def main():
    folder = sys.argv[1]
    socket = os.path.join(folder, "session_bus_socket")
    address = f"unix:path={socket}"
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                               f"--address={address}"], stderr=subprocess.DEVNULL)
    mock = None
    try:
        for _ in range(200):
            if os.path.exists(socket):
                break
            time.sleep(0.05)
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)
        mock = subprocess.Popen([sys.executable, "-m", "dbusmock", "--session", "--template",
                                 "notification_daemon", "-l",
                                 os.path.join(folder, "notifications.log")],
                                env=env, stdout=subprocess.DEVNULL)
        bus = dbus.bus.BusConnection(address)
        for _ in range(200):
            if bus.name_has_owner(NAME):
                break
            time.sleep(0.05)
        print(f"ADDRESS {address}", flush=True)
        sys.stdin.read()
    finally:
        if mock:
            mock.terminate()
            mock.wait()
        daemon.terminate()
        daemon.wait()


if __name__ == "__main__":
    main()
