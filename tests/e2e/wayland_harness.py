"""Drives the built lumenor as a native Wayland client of a private weston (pixman renderer):
menus through the accessibility bus, screenshots through weston-screenshooter. Run inside
dbus-run-session.

weston's headless backend has no seat, so nothing can point or type there; for a drag, weston
runs instead as a window of a private X server (its x11 backend), where xdotool moves the X
pointer and weston hands the motion to its Wayland clients."""
import atexit
import os
import shutil
import subprocess
import tempfile
import time

from harness import (CONVERT, App, Failure, as_rgb, find, read_pnm, region_difference,
                     start_accessibility_bus, wait_for, xdotool)

SOCKET = "wayland-lumenor"


def start_private_accessibility_bus():
    """One accessibility bus for the whole run, its socket in a folder of its own rather than
    the home folder's cache that other runs share: the tests' end of the bus (libatspi) keeps
    the connection it made first, so the bus outlives each session."""
    folder = tempfile.mkdtemp(prefix="lumenor-a11y-")
    os.environ["XDG_RUNTIME_DIR"] = folder
    bus = start_accessibility_bus()

    def stop():
        bus.terminate()
        bus.wait()
        shutil.rmtree(folder, ignore_errors=True)

    atexit.register(stop)
    return bus


class WaylandSession:
    """One weston and at most one lumenor for a test."""

    bus = None

    def __init__(self, build_dir):
        self.build_dir = build_dir
        self.tmp = tempfile.TemporaryDirectory(prefix="lumenor-wayland-")
        self.runtime_dir = self.path("runtime")
        os.mkdir(self.runtime_dir, 0o700)
        if WaylandSession.bus is None:
            WaylandSession.bus = start_private_accessibility_bus()
        self.xvfb = self.weston = self.app = None
        self.scale = 1
        self.output = (0, 0)

    def path(self, name):
        return os.path.join(self.tmp.name, name)

    def start_weston(self, scale, width=640, height=480, under_x=False):
        """Starts weston with an output of width x height at `scale` and waits for its socket.
        under_x runs it in a private X server instead of headless, for pointer input."""
        self.scale = scale
        self.output = width * scale, height * scale  # in screen pixels
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime_dir)
        backend = "headless-backend.so"
        if under_x:
            read_end, write_end = os.pipe()
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 "%dx%dx24" % (self.output[0] + 16, self.output[1] + 16), "-nolisten", "tcp"],
                pass_fds=(write_end,), stderr=subprocess.DEVNULL)
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                os.environ["DISPLAY"] = env["DISPLAY"] = ":" + pipe.readline().strip()
            backend = "x11-backend.so"
        log = self.path("weston.log")
        # No panel: its launcher would start a terminal on a stray click.
        config = self.path("weston.ini")
        with open(config, "w") as out:
            out.write("[shell]\npanel-position=none\n")
        # --debug lets weston-screenshooter in; --idle-time=0 keeps the screen from blanking.
        self.weston = subprocess.Popen(
            ["weston", "--backend=" + backend, "--use-pixman", "--scale=%d" % scale,
             "--width=%d" % width, "--height=%d" % height, "--socket=" + SOCKET, "--debug",
             "--config=" + config, "--idle-time=0", "--log=" + log],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        socket = os.path.join(self.runtime_dir, SOCKET)
        deadline = time.monotonic() + 20
        while not os.path.exists(socket):
            if self.weston.poll() is not None or time.monotonic() > deadline:
                tail = open(log).read()[-2000:] if os.path.exists(log) else "(no log)"
                raise Failure("weston did not come up (exit %s):\n%s" % (self.weston.poll(), tail))
            time.sleep(0.05)

    def point_at(self, x, y):
        """Puts weston's pointer at screen (x, y). weston follows the X pointer by its moves from
        where it entered weston's window, so the pointer leaves the window and comes back in."""
        xdotool("mousemove", self.output[0] + 8, self.output[1] + 8)
        time.sleep(0.05)
        xdotool("mousemove", x, y)
        time.sleep(0.05)

    def wayland_env(self):
        env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime_dir, WAYLAND_DISPLAY=SOCKET)
        env.pop("DISPLAY", None)  # no X server to fall back on
        return env

    def start(self, *args):
        """Starts lumenor on weston's socket with Qt's Wayland plugin, never X11."""
        env = dict(self.wayland_env(), QT_QPA_PLATFORM="wayland",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", XDG_CONFIG_HOME=os.path.join(self.runtime_dir, "config"))
        command = [os.path.join(self.build_dir, "app", "lumenor")] + list(args)
        with open(self.path("lumenor.log"), "wb") as log:
            process = subprocess.Popen(command, env=env, stdout=log, stderr=log)
        self.app = WaylandApp(process, self.path("lumenor.log"))
        return self.app

    def screenshot(self):
        """Weston's whole output in screen pixels as (width, height, RGB bytes)."""
        folder = tempfile.mkdtemp(dir=self.tmp.name)  # it names its file by the second
        subprocess.run(["weston-screenshooter"], cwd=folder, env=self.wayland_env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        (name,) = os.listdir(folder)
        data = subprocess.run([CONVERT, os.path.join(folder, name), "-depth", "8", "ppm:-"],
                              check=True, capture_output=True).stdout
        width, height, channels, pixels = read_pnm(data)
        return width, height, as_rgb(channels, pixels)

    def close(self):
        for process in (self.app.process if self.app else None, self.weston, self.xvfb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        if self.xvfb:
            os.environ.pop("DISPLAY")
        self.tmp.cleanup()


class WaylandApp(App):
    """The window as the accessibility bus shows it. Qt on Wayland knows no window position, so
    places on the screen come from screenshots."""

    def __init__(self, process, log):
        self.process = process
        self.log = log
        self.accessible = wait_for("Lumenor on the accessibility bus", self._find_app_or_exit)
        self.frame = wait_for("the main window", lambda: find(self.accessible, "frame"))

    def _find_app_or_exit(self):
        if self.process.poll() is not None:
            with open(self.log, errors="replace") as log:
                raise Failure("lumenor exited with %d: %s" % (self.process.returncode, log.read()))
        return self._find_app()

    def choose(self, name):
        """Chooses a menu item through the accessibility bus, as a screen reader does."""
        find(self.frame, "menu item", name).queryAction().doAction(0)


def locate(shot, picture):
    """Where `picture` (width, height, RGB bytes) is on the screen whole and pixel for pixel: the
    screen position of its top-left corner, or None."""
    sw, sh, spx = shot
    pw, ph, ppx = picture
    first_pixels = ppx[:min(pw, 32) * 3]
    for y in range(sh - ph + 1):
        row = spx[y * sw * 3:(y + 1) * sw * 3]
        at = row.find(first_pixels)
        while at >= 0:
            if at % 3 == 0 and at // 3 + pw <= sw and region_difference(
                    shot, (at // 3, y), picture, (0, 0), (pw, ph)) is None:
                return at // 3, y
            at = row.find(first_pixels, at + 1)
    return None


def wait_until_shown(session, picture, what, at=None, timeout=20):
    """Takes screenshots until `picture` shows whole, pixel for pixel (at screen position `at`
    when given); returns its position. The last screenshot is kept for a failure."""
    deadline = time.monotonic() + timeout
    while True:
        shot = session.screenshot()
        if at is None:
            found = locate(shot, picture)
            if found:
                return found
            problem = "it is nowhere on the screen"
        else:
            difference = region_difference(shot, at, picture, (0, 0), picture[:2])
            if difference is None:
                return at
            problem = difference
        if time.monotonic() > deadline:
            kept = os.path.join(session.build_dir, "wayland-failure.ppm")
            with open(kept, "wb") as out:
                out.write(b"P6\n%d %d\n255\n" % shot[:2] + shot[2])
            raise Failure("%s at output scale %d: %s (screenshot in %s)" % (
                what, session.scale, problem, kept))
        time.sleep(0.2)
