"""What the program shows, read the way a screen reader reads it: through
AT-SPI, the desktop's accessibility bus. A private session bus starts the
accessibility bus; Qt's bridge puts the program's widgets on it, with each
label's text and each list cell's text as its name. Calls go through gdbus,
so nothing beyond GLib's command-line tool is needed."""
import re
import subprocess

_CHILD = re.compile(r"\('([^']*)', (?:objectpath )?'([^']*)'\)")  # the type shows on the first only
_STATE_CHECKED = 4  # a bit of the first word of a state set
_STRING = re.compile(r"^\(<?(?:@s )?(['\"])(.*)\1>?,\)$", re.S)  # ('text',) or (<'text'>,)


def _unquote(text):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text)


class AccessibilityBus:
    """A session bus with the accessibility bus behind it. Give `env` to
    the program, started after this."""

    def __init__(self, env):
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
        self.env = dict(env, DBUS_SESSION_BUS_ADDRESS=self.daemon.stdout.readline().strip(),
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        # Started now, so that the program finds it when its bridge starts.
        reply = self._gdbus(["--session", "--dest", "org.a11y.Bus", "--object-path",
                             "/org/a11y/bus", "--method", "org.a11y.Bus.GetAddress"])
        self.address = _STRING.match(reply.strip()).group(2)

    def close(self):
        self.daemon.terminate()
        self.daemon.wait(10)

    def _gdbus(self, args):
        return subprocess.run(["gdbus", "call"] + args, env=self.env, capture_output=True,
                              text=True, check=True, timeout=10).stdout

    def _call(self, bus_name, path, method, *args):
        return self._gdbus(["--address", self.address, "--dest", bus_name, "--object-path", path,
                            "--method", method] + list(args))

    def _children(self, bus_name, path):
        return _CHILD.findall(self._call(bus_name, path, "org.a11y.atspi.Accessible.GetChildren"))

    def _text(self, bus_name, path, method, *args):
        match = _STRING.match(self._call(bus_name, path, method, *args).strip())
        return _unquote(match.group(2)) if match else ""

    def _walk(self, window=None):
        """(bus name, path, role, name, depth) of every object of every
        program on the bus, in tree order; with `window`, of the windows
        of that title alone."""
        stack = [(child, 0) for child in reversed(self._children(
            "org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"))]
        while stack:
            (bus_name, path), depth = stack.pop()
            name = self._text(bus_name, path, "org.freedesktop.DBus.Properties.Get",
                              "org.a11y.atspi.Accessible", "Name")
            role = self._text(bus_name, path, "org.a11y.atspi.Accessible.GetRoleName")
            yield bus_name, path, role, name, depth
            if window is not None and depth == 1 and name != window:
                continue
            stack.extend((child, depth + 1) for child in reversed(self._children(bus_name, path)))

    def shown(self):
        """[(role, name, depth)] of every object of every program on the bus,
        in tree order."""
        return [(role, name, depth) for _, _, role, name, depth in self._walk()]

    def check_boxes(self, window):
        """{name: checked} of every check box of the windows titled `window`."""
        boxes = {}
        for bus_name, path, role, name, _ in self._walk(window):
            if role == "check box":
                reply = self._call(bus_name, path, "org.a11y.atspi.Accessible.GetState")
                low = int(re.findall(r"\d+", reply.replace("uint32", ""))[0])
                boxes[name] = bool(low & 1 << _STATE_CHECKED)
        return boxes

    def texts(self, role):
        """The names of every object of `role` ("label", "check box"), in tree order."""
        return [name for r, name, _ in self.shown() if r == role]

    def list_view(self):
        """The first list in report form: (its column headers, its rows as
        lists of cell texts, top first)."""
        shown = self.shown()
        at = next(i for i, (role, _, _) in enumerate(shown) if role == "tree")
        depth = shown[at][2]
        headers, cells = [], []
        for role, name, d in shown[at + 1:]:
            if d <= depth:
                break
            if role == "column header":
                headers.append(name)
            elif role == "tree item":
                cells.append(name)
        return headers, [cells[i:i + len(headers)] for i in range(0, len(cells), len(headers))]
