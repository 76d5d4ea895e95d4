"""A private D-Bus daemon standing for the system bus, with the UDisks2
stand-in (udisks_standin.py) on it: what a test needs to run Quorvane's
programs against UDisks2 without touching the machine's own bus."""
import json
import os
import select
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
# The stand-in needs python3-dbus and python3-gi; ctest names the interpreter
# that has them when the one running the test may not.
STANDIN_PYTHON = os.environ.get("QUORVANE_STANDIN_PYTHON") or sys.executable


class TestFailure(Exception):
    pass


def read_line(process, what, timeout=20.0):
    ready, _, _ = select.select([process.stdout], [], [], timeout)
    line = process.stdout.readline().strip() if ready else ""
    if not line:
        process.kill()
        raise TestFailure(f"{what} did not start")
    return line


class PrivateSystemBus:
    """A dbus-daemon of the test's own; `env` runs a program with it as the
    system bus. With `blocks`, the stand-in serves them on it (see
    udisks_standin.py for `blocks`, "open" (`opening`) and `silent`)."""

    def __init__(self, blocks=None, opening="device", silent=False):
        self.work = tempfile.mkdtemp(prefix="quorvane-udisks.")
        self.daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.address = read_line(self.daemon, "dbus-daemon")
        self.env = dict(os.environ, DBUS_SYSTEM_BUS_ADDRESS=self.address)
        self.calls_file = os.path.join(self.work, "calls")
        self.standin = None
        if blocks is not None:
            setup = os.path.join(self.work, "setup.json")
            with open(setup, "w") as out:
                json.dump({"blocks": blocks, "open": opening, "silent": silent,
                           "calls": self.calls_file}, out)
            self.standin = subprocess.Popen(
                [STANDIN_PYTHON, os.path.join(HERE, "udisks_standin.py"), setup],
                env=self.env, stdout=subprocess.PIPE, text=True)
            try:
                read_line(self.standin, "the UDisks2 stand-in")
            except TestFailure:
                self.close()
                raise

    def calls(self):
        """The calls the stand-in has served, in order, as dicts."""
        if not os.path.exists(self.calls_file):
            return []
        with open(self.calls_file) as calls:
            return [json.loads(line) for line in calls]

    def close(self):
        for process in (self.standin, self.daemon):
            if process and process.poll() is None:
                process.terminate()
                process.wait(10)
            if process:
                process.stdout.close()
        subprocess.run(["rm", "-rf", self.work], check=False)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
