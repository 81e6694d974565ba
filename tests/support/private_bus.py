"""A private D-Bus daemon with one python3-dbusmock template on it, for the mock scripts."""
import contextlib
import os
import subprocess
import sys
import time

import dbus


def _wait(ready, what):
    for _ in range(200):
        if ready():
            return
        time.sleep(0.05)
    raise RuntimeError(f"{what} did not appear")


@contextlib.contextmanager
def mocked_bus(folder, kind, mock_args, name):
    """Starts dbus-daemon on a socket in `folder` and dbusmock (`mock_args` after the bus kind,
    "system" or "session") on it, waits until the mock owns `name`, and yields the connection
    and the bus address. Ends both processes on leaving."""
    socket = os.path.join(folder, f"{kind}_bus_socket")
    address = f"unix:path={socket}"
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                               f"--address={address}"], stderr=subprocess.DEVNULL)
    mock = None
    try:
        _wait(lambda: os.path.exists(socket), socket)
        env = dict(os.environ, **{f"DBUS_{kind.upper()}_BUS_ADDRESS": address})
        mock = subprocess.Popen([sys.executable, "-m", "dbusmock", f"--{kind}"] + mock_args,
                                env=env, stdout=subprocess.DEVNULL)
        bus = dbus.bus.BusConnection(address)
        _wait(lambda: bus.name_has_owner(name), name)
        yield bus, address
    finally:
        if mock:
            mock.terminate()
            mock.wait()
        daemon.terminate()
        daemon.wait()
