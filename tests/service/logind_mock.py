#!/usr/bin/python3
"""A private system bus with python3-dbusmock's logind template, for the session tests.

Starts dbus-daemon on a socket in the given folder and dbusmock's logind on it, prints
"ADDRESS <bus address>", then takes one command per line on standard input and answers "OK":
  session ID UID NAME   a new active session on seat0, announced with SessionNew
  greeter ID UID NAME   the same, of class "greeter" (the login screen)
  activate ID           makes an existing session seat0's active one
  calls                 one line "CALL METHOD ARGUMENTS..." per method called on the manager
Ends both processes when standard input closes.
"""
import os
import sys

import dbus

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from private_bus import mocked_bus  # noqa: E402

LOGIND = "org.freedesktop.login1"
MANAGER_PATH = "/org/freedesktop/login1"


def main():
    with mocked_bus(sys.argv[1], "system", ["--template", "logind"], LOGIND) as (bus, address):
        manager = bus.get_object(LOGIND, MANAGER_PATH)
        print(f"ADDRESS {address}", flush=True)
        for line in sys.stdin:
            words = line.split()
            if words[:1] in (["session"], ["greeter"]):
                session_id, uid, name = words[1], int(words[2]), words[3]
                path = manager.AddSession(session_id, "seat0", dbus.UInt32(uid), name, True,
                                          dbus_interface="org.freedesktop.DBus.Mock")
                if words[0] == "greeter":
                    bus.get_object(LOGIND, path).Set(
                        "org.freedesktop.login1.Session", "Class", "greeter",
                        dbus_interface="org.freedesktop.DBus.Properties")
                manager.EmitSignal("org.freedesktop.login1.Manager", "SessionNew", "so",
                                   [session_id, dbus.ObjectPath(path)],
                                   dbus_interface="org.freedesktop.DBus.Mock")
            elif words[:1] == ["activate"]:
                session_id = words[1]
                seat = bus.get_object(LOGIND, MANAGER_PATH + "/seat/seat0")
                seat.Set("org.freedesktop.login1.Seat", "ActiveSession",
                         dbus.Struct((session_id, dbus.ObjectPath(
                             f"{MANAGER_PATH}/session/{session_id}"))),
                         dbus_interface="org.freedesktop.DBus.Properties")
            elif words[:1] == ["calls"]:
                for _, method, arguments in manager.GetCalls(
                        dbus_interface="org.freedesktop.DBus.Mock"):
                    shown = [("true" if a else "false") if isinstance(a, dbus.Boolean) else str(a)
                             for a in arguments]
                    print(" ".join(["CALL", str(method)] + shown), flush=True)
            print("OK", flush=True)


if __name__ == "__main__":
    main()
