#!/usr/bin/python3
"""A private session bus with python3-dbusmock's notification daemon, for the panel's tests.

Starts dbus-daemon on a socket in the given folder and dbusmock's notification_daemon on it,
which logs every call to <folder>/notifications.log; prints "ADDRESS <bus address>" and ends
both when standard input closes.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from private_bus import mocked_bus  # noqa: E402

NAME = "org.freedesktop.Notifications"


def main():
    folder = sys.argv[1]
    template = ["--template", "notification_daemon", "-l",
                os.path.join(folder, "notifications.log")]
    with mocked_bus(folder, "session", template, NAME) as (_, address):
        print(f"ADDRESS {address}", flush=True)
        sys.stdin.read()


if __name__ == "__main__":
    main()
