"""The real wizard in a private X server, driven the way a person drives it:
xdotool moves the pointer, clicks and types through XTEST, and windows are
found by title and geometry. No event goes to a widget directly, so modality,
focus and mnemonics apply as they do for a person. Controls are found by their
identifiers in the templates of res/dialogs/, their dialog units turned into
pixels with base units measured back from the main window, as the program does.
"""
import os
import re
import signal
import subprocess
import tempfile
import time

from accessibility import AccessibilityBus

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# Dialog sizes in dialog units and the wizard frame's measures.
LAUNCHER_DU = (293, 130)
SHEET_MARGIN = 7
SHEET_BUTTON = (50, 14)

_CONTROL = re.compile(
    r'\{\s*(\w+),\s*ControlKind::(\w+),\s*((?:"(?:[^"\\]|\\.)*"\s*)+|\w+),'
    r'\s*([^,{}]+),\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)')
# The names of control identifiers beside each template: kStatus = 1028, kOk = kOkId.
_ID = re.compile(r'inline constexpr int (\w+) = (\w+);')


def read_templates():
    """{dialog file stem: {control id: (x, y, cx, cy)}} from res/dialogs/."""
    with open(os.path.join(ROOT, "res", "dialog_template.h"), encoding="latin-1") as header:
        common = dict(_ID.findall(header.read()))

    def number(names, name):
        while not name.isdigit():
            name = names[name]
        return int(name)

    folder = os.path.join(ROOT, "res", "dialogs")
    templates = {}
    for name in sorted(n for n in os.listdir(folder) if n.endswith(".h")):
        with open(os.path.join(folder, name), encoding="latin-1") as header:
            text = header.read()
        names = dict(common, **dict(_ID.findall(text)))
        controls = {number(names, m.group(1)): tuple(int(m.group(i)) for i in range(5, 9))
                    for m in _CONTROL.finditer(text)}
        controls.pop(0, None)  # controls without an identifier
        templates[name[:-2]] = controls
    return templates


TEMPLATES = read_templates()


class Failure(AssertionError):
    pass


def wait_for(what, predicate, timeout=15.0, interval=0.05):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out waiting for {what}")
        time.sleep(interval)


class Window:
    def __init__(self, session, wid):
        self.session = session
        self.id = wid

    def name(self):
        return self.session.xdotool("getwindowname", self.id).strip()

    def geometry(self):
        out = self.session.xdotool("getwindowgeometry", "--shell", self.id)
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def visible(self):
        return self.id in self.session.visible_ids()


class XSession:
    """A private X server with the program under test in it."""

    def __init__(self, program, args, cwd, accessible=False, env=None):
        """With `accessible`, the program's widgets are readable through
        `self.a11y` (an AccessibilityBus). `env` is the program's
        environment (default: this one's)."""
        self.env = dict(env or os.environ)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as display:
            number = display.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number
        self.env["QT_QPA_PLATFORM"] = "xcb"
        runtime = tempfile.mkdtemp(prefix="quorvane-e2e-rt.")
        os.chmod(runtime, 0o700)
        self.env["XDG_RUNTIME_DIR"] = runtime
        self.a11y = None
        if accessible:
            try:
                self.a11y = AccessibilityBus(self.env)
            except Exception:
                self.xvfb.terminate()
                raise
            self.env = self.a11y.env
        self.log = open(os.path.join(cwd, ".quorvane-e2e.log"), "w")
        self.program = subprocess.Popen([program] + args, cwd=cwd, env=self.env, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        try:
            # A first start reads fonts and plugins: on a loaded machine it takes a
            # while. With the accessibility bridge, a first start on a machine may
            # also wait out D-Bus calls to a registry still starting (25 s each).
            self.launcher = self.wait_window("main window", r"^Quorvane$",
                                             timeout=90.0 if accessible else 40.0)
        except Failure:
            self.close()
            raise
        # Mapped is not yet drawn: give the program its first paint.
        time.sleep(0.5)
        x, y, w, h = self.launcher.geometry()
        # The program's base units, measured back from the main window.
        self.base_x = round(w * 4 / LAUNCHER_DU[0])
        self.base_y = round(h * 8 / LAUNCHER_DU[1])

    def close(self):
        if self.program.poll() is None:
            self.program.send_signal(signal.SIGTERM)
            try:
                self.program.wait(10)
            except subprocess.TimeoutExpired:
                self.program.kill()
        if self.a11y:
            self.a11y.close()
        self.xvfb.terminate()
        self.xvfb.wait(10)
        self.log.close()

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                capture_output=True, text=True)
        return result.stdout

    def visible_ids(self):
        return self.xdotool("search", "--onlyvisible", "--name", ".").split()

    def windows(self, title_pattern):
        return [w for w in (Window(self, wid) for wid in self.visible_ids())
                if re.search(title_pattern, w.name())]

    def wait_window(self, what, title_pattern, exclude=(), timeout=15.0):
        excluded = {w.id for w in exclude}
        return wait_for(what, lambda: next((w for w in self.windows(title_pattern)
                                            if w.id not in excluded), None), timeout)

    def wait_gone(self, what, window, timeout=15.0):
        wait_for(what + " to close", lambda: not window.visible(), timeout)

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True)

    def du_x(self, units):
        return (units * self.base_x + 2) // 4

    def du_y(self, units):
        return (units * self.base_y + 4) // 8

    def click_at(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)
        time.sleep(0.05)
        self.xdotool("click", 1)
        time.sleep(0.15)

    def click_control(self, window, template, control_id, origin=(0, 0), where=(0.5, 0.5)):
        """Clicks control `control_id` of `template` in `window`; `origin`
        is where the template's client area starts inside the window, in
        dialog units."""
        x, y, cx, cy = TEMPLATES[template][control_id]
        wx, wy, _, _ = window.geometry()
        px = wx + self.du_x(origin[0] + x) + int(self.du_x(cx) * where[0])
        py = wy + self.du_y(origin[1] + y) + int(self.du_y(cy) * where[1])
        self.click_at(px, py)

    def click_sheet_button(self, sheet, button):
        """Clicks the wizard's "back", "next" (also Finish) or "cancel"."""
        wx, wy, w, h = sheet.geometry()
        bw, bh = self.du_x(SHEET_BUTTON[0]), self.du_y(SHEET_BUTTON[1])
        cancel_x = w - self.du_x(SHEET_MARGIN) - bw
        next_x = cancel_x - self.du_x(SHEET_MARGIN) - bw
        left = {"cancel": cancel_x, "next": next_x, "back": next_x - bw}[button]
        top = h - self.du_y(SHEET_MARGIN) - bh
        self.click_at(wx + left + bw // 2, wy + top + bh // 2)

    def click_box_ok(self, box):
        """Clicks a message box's one button, at its bottom right."""
        x, y, w, h = box.geometry()
        self.click_at(x + w - 51, y + h - 24)

    def key(self, *keys):
        for key in keys:
            self.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.12)

    def type(self, text):
        self.xdotool("type", "--clearmodifiers", "--delay", 15, text)
        time.sleep(0.15)

    def wait_exit(self, timeout=15.0):
        try:
            return self.program.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end")
