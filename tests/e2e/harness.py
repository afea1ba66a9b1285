"""Drives the built lumenor like a person: a private X server (Xvfb), keys and mouse through
xdotool, screenshots through ImageMagick's import, and the accessibility bus (AT-SPI) to read
what the window and its boxes say. Run inside dbus-run-session."""
import os
import subprocess
import sys
import tempfile
import time

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from pnm import as_rgb, read_pnm  # noqa: E402,F401

CONVERT = "/usr/bin/convert"
IMPORT = "/usr/bin/import"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(what, probe, timeout=15.0, interval=0.05):
    """Polls probe() until it returns something true; returns it."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = probe()
        except Exception:  # an accessible object that went away in between
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(interval)


def find(node, role, name=None):
    return pyatspi.findDescendant(
        node, lambda n: n is not None and n.getRoleName() == role and (name is None or n.name == name))


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def press(button):
    button.queryAction().doAction(0)


def start_accessibility_bus():
    """Starts the accessibility bus and waits for it and its registry: Qt looks for the bus once,
    at start. Returns the bus launcher's process."""
    bus = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the accessibility bus", lambda: subprocess.run(
        ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
         "org.a11y.Bus.GetAddress"], capture_output=True).returncode == 0)
    pyatspi.Registry.getDesktop(0).childCount
    return bus


class Session:
    """One X server and accessibility bus for a test."""

    def __init__(self, build_dir, width=1600, height=1200):
        self.build_dir = build_dir
        self.tmp = tempfile.TemporaryDirectory(prefix="lumenor-e2e-")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                      "%dx%dx24" % (width, height), "-nolisten", "tcp"],
                                     pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            os.environ["DISPLAY"] = ":" + pipe.readline().strip()
        # The bus's socket and the app's settings in a folder of this session's own, apart from
        # the pictures' folder: not the home folder's, which every run on the machine shares.
        self.private = tempfile.TemporaryDirectory(prefix="lumenor-e2e-runtime-")
        os.environ["XDG_RUNTIME_DIR"] = self.private.name
        self.bus = start_accessibility_bus()
        self.app = None

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def start(self, *args, **env_extra):
        """Starts lumenor with args (str or bytes) and extra environment variables."""
        if self.app and self.app.process.poll() is None:
            self.app.process.kill()
            self.app.process.wait()
        # Settings of its own: what a test turns on is not what the next one starts with.
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb",
                   XDG_CONFIG_HOME=os.path.join(self.private.name, "config"), **env_extra)
        command = [os.path.join(self.build_dir, "app", "lumenor").encode()] + [
            a if isinstance(a, bytes) else a.encode() for a in args]
        self.app = App(subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL))
        return self.app

    def close(self):
        if self.app and self.app.process.poll() is None:
            self.app.process.kill()
            self.app.process.wait()
        self.bus.terminate()
        self.xvfb.terminate()
        self.xvfb.wait()
        self.tmp.cleanup()
        self.private.cleanup()


class App:
    def __init__(self, process):
        self.process = process
        self.accessible = wait_for("Lumenor on the accessibility bus", self._find_app)
        self.frame = wait_for("the main window", lambda: find(self.accessible, "frame"))
        self.window = wait_for("the X window", self._window_id)
        xdotool("windowfocus", "--sync", self.window)

    @staticmethod
    def _find_app():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Lumenor":
                return app
        return None

    @staticmethod
    def _window_id():
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Lumenor"],
                             capture_output=True, text=True).stdout.split()
        return ids[-1] if ids else None

    def title(self):
        return self.frame.name

    def menu_item(self, name):
        return find(self.frame, "menu item", name)

    def keys(self, *keys):
        xdotool("windowfocus", "--sync", self.window)
        for key in keys:
            xdotool("key", "--clearmodifiers", key)
            time.sleep(0.15)

    def box(self, title):
        return wait_for("a box titled " + title,
                        lambda: find(self.accessible, "alert", title) or find(self.accessible, "dialog", title))

    @staticmethod
    def box_text(box):
        labels = pyatspi.findAllDescendants(box, lambda n: n is not None and n.getRoleName() == "label")
        return [label.name for label in labels if label.name]

    def open_file(self, path):
        """File > Open by its access keys, the name typed into the real dialog, Open pressed."""
        self.keys("alt+f", "o")
        dialog = self.box("Select a RGB Image")
        name = wait_for("the file name field", lambda: find(dialog, "text", "File name:"))
        name.queryEditableText().setTextContents(path)
        press(find(dialog, "push button", "Open"))
        return dialog

    def client_origin(self):
        """Screen position of the client area's top-left corner (below the menu bar)."""
        bar = find(self.frame, "menu bar").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return bar.x, bar.y + bar.height

    def device_origin(self, scale):
        """The client area's top-left corner in screen pixels: the accessibility bus reports
        positions in Qt's own (scaled) pixels."""
        x, y = self.client_origin()
        return int(x * scale + 0.5), int(y * scale + 0.5)

    def client_size(self):
        frame = self.frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        bar = find(self.frame, "menu bar").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return frame.width, frame.y + frame.height - (bar.y + bar.height)

    def wait_until_loaded(self, title, timeout=30):
        wait_for("the title " + title, lambda: self.title() == title, timeout)
        wait_for("Open enabled again", lambda: enabled(self.menu_item("Open")), timeout)


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def drag(x, y, step_x, step_y, steps):
    """Presses the first button at screen (x, y), moves by (step_x, step_y) steps times, and
    lets go."""
    xdotool("mousemove", x, y)
    xdotool("mousedown", 1)
    for step in range(1, steps + 1):
        xdotool("mousemove", x + step_x * step, y + step_y * step)
        time.sleep(0.01)
    xdotool("mouseup", 1)


def screenshot(path=None):
    """The whole screen as (width, height, RGB bytes)."""
    data = subprocess.run([IMPORT, "-window", "root", "-depth", "8", "ppm:-"], check=True,
                          capture_output=True).stdout
    if path:
        with open(path, "wb") as out:
            out.write(data)
    width, height, channels, pixels = read_pnm(data)
    return width, height, as_rgb(channels, pixels)


def region_difference(shot, at, picture, picture_at, size):
    """Compares size (w, h) pixels of the screenshot at `at` with the picture at `picture_at`;
    returns None when equal, else the first difference."""
    sw, _, spx = shot
    pw, _, ppx = picture
    for dy in range(size[1]):
        s = ((at[1] + dy) * sw + at[0]) * 3
        p = ((picture_at[1] + dy) * pw + picture_at[0]) * 3
        if spx[s:s + size[0] * 3] != ppx[p:p + size[0] * 3]:
            for dx in range(size[0]):
                if spx[s + 3 * dx:s + 3 * dx + 3] != ppx[p + 3 * dx:p + 3 * dx + 3]:
                    return "have %s, want %s at picture (%d, %d)" % (
                        spx[s + 3 * dx:s + 3 * dx + 3].hex(), ppx[p + 3 * dx:p + 3 * dx + 3].hex(),
                        picture_at[0] + dx, picture_at[1] + dy)
    return None


def enlarged(picture, x, y, width, height, factor):
    """The picture's width x height pixels from (x, y), each as a factor x factor square."""
    pw, _, px = picture
    rows = []
    for row in range(y, y + height):
        line = b"".join(px[(row * pw + column) * 3:(row * pw + column) * 3 + 3] * factor
                        for column in range(x, x + width))
        rows.append(line * factor)
    return width * factor, height * factor, b"".join(rows)


def make_picture(session, name, width, height, seed=3):
    """A plasma picture written by netpbm as run-length SGI; returns (path, (w, h, rgb))."""
    ppm = session.path(name + ".ppm")
    subprocess.run([CONVERT, "-seed", str(seed), "-size", "%dx%d" % (width, height), "plasma:fractal",
                    "-depth", "8", ppm], check=True)
    path = session.path(name + ".rgb")
    with open(path, "wb") as out:
        subprocess.run(["pnmtosgi", "-rle", "-imagename", name, ppm], check=True, stdout=out,
                       stderr=subprocess.DEVNULL)
    # Rendered a while ago: a frame changed in the last moments is one still being written, which
    # play shows as missing until it has been still for a while.
    finished = time.time() - 60
    os.utime(path, (finished, finished))
    w, h, c, px = read_pnm(ppm)
    return path, (w, h, as_rgb(c, px))


def run(tests, new_session=Session):
    """Runs the named test (argv[2]) or all of them, each in a new session; prints the closing
    counts."""
    build_dir = sys.argv[1]
    chosen = sys.argv[2:] or list(tests)
    passed = failed = 0
    for name in chosen:
        session = new_session(build_dir)
        try:
            tests[name](session)
            passed += 1
            print("PASS", name, flush=True)
        except Exception as error:  # a failure or a broken harness both fail the test
            failed += 1
            print("FAIL %s: %s: %s" % (name, type(error).__name__, error), flush=True)
        finally:
            session.close()
    print("%d passed, %d failed" % (passed, failed))
    sys.exit(1 if failed else 0)
