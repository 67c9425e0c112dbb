#!/usr/bin/env python3
"""The user's input, end to end: a real X window under Xvfb, driven by xdotool.

    input_test.py <input_runner> <base dir>

input_runner runs the program with a pseudo-terminal as its serial device
and a scripted unit on the other side that records every byte the program
sends. This script starts its own X server, waits for the window and the
main loop, then presses keys, types, clicks, scrolls, resizes and closes the
window, and checks after each step that exactly the expected report reached
the unit. At the end it checks the exit status and the preference file.

The window is closed by SIGTERM to the program, which SDL turns into the same
quit event a window manager's close button gives; there is no window manager
under Xvfb to ask.

Exit status 0 on success, 1 on failure, 77 when Xvfb or xdotool is missing.
"""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
KEEP_ALIVE = b"\xfe"
VERSION_REQUEST = b"\x1b@999y\x00"
WINDOW_TITLE = "T.A.V.I.X"
SCREEN = "1600x1200x24"

STEP_TIMEOUT = 10.0  # seconds for one report to reach the unit
START_TIMEOUT = 30.0  # seconds for the window and the main loop to come up
EXIT_TIMEOUT = 15.0  # seconds for the program to end after the close


class Failure(Exception):
    pass


def die_with_parent():
    # Children get SIGKILL if this script is killed (a CTest time-out), so no
    # X server or program outlives the test.
    libc = ctypes.CDLL(None, use_errno=True)
    pr_set_pdeathsig = 1
    libc.prctl(pr_set_pdeathsig, signal.SIGKILL)


def on_terminate(signum, _frame):
    raise SystemExit(128 + signum)


class Session:
    def __init__(self, runner, base):
        self.runner = runner
        self.base = base
        self.work = tempfile.mkdtemp(prefix="tavix-e2e-input-")
        self.xvfb = None
        self.app = None
        self.env = None
        self.window = None

    # --- processes ---------------------------------------------------------

    def start_xvfb(self):
        # -displayfd lets the server pick a free display and report it once it
        # accepts connections.
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.work, "xvfb.log"), "wb")
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN, "-nolisten", "tcp", "-noreset"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log, pass_fds=(write_end,),
            preexec_fn=die_with_parent)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + START_TIMEOUT
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or self.xvfb.poll() is not None:
                os.close(read_end)
                raise Failure("Xvfb did not come up")
            ready, _, _ = select.select([read_end], [], [], left)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    os.close(read_end)
                    raise Failure("Xvfb closed its display pipe")
                number += chunk
        os.close(read_end)
        env = dict(os.environ)
        env["DISPLAY"] = ":" + number.decode().strip()
        env.pop("SDL_VIDEODRIVER", None)
        env.pop("WAYLAND_DISPLAY", None)
        self.env = env

    def start_app(self):
        log = open(os.path.join(self.work, "runner.log"), "wb")
        self.app = subprocess.Popen([self.runner, self.work, self.base], env=self.env,
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                    preexec_fn=die_with_parent)
        ready = os.path.join(self.work, "ready")
        deadline = time.monotonic() + START_TIMEOUT
        while not os.path.exists(ready):
            if self.app.poll() is not None:
                raise Failure("the program ended before its main loop, status %d" % self.app.returncode)
            if time.monotonic() > deadline:
                raise Failure("the program did not reach its main loop")
            time.sleep(0.05)
        found = self.xdo("search", "--sync", "--onlyvisible", "--name", WINDOW_TITLE).split()
        if not found:
            raise Failure("no window named %s" % WINDOW_TITLE)
        self.window = found[0]

    def stop_all(self):
        for proc in (self.app, self.xvfb):
            if proc is None or proc.poll() is not None:
                continue
            proc.terminate()
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=5)

    def xdo(self, *args):
        try:
            done = subprocess.run(["xdotool"] + list(args), env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=STEP_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise Failure("xdotool %s did not finish" % " ".join(args))
        if done.returncode != 0:
            raise Failure("xdotool %s failed: %s" % (" ".join(args), done.stderr.decode(errors="replace")))
        return done.stdout.decode()

    # --- what the unit received -------------------------------------------

    def received(self):
        with open(os.path.join(self.work, "received"), "rb") as f:
            return f.read()

    def reports(self):
        """The received bytes without the keep-alive bytes and version requests."""
        return self.received().replace(VERSION_REQUEST, b"").replace(KEEP_ALIVE, b"")

    def wait_for_reports(self, expected, what):
        deadline = time.monotonic() + STEP_TIMEOUT
        while True:
            got = self.reports()
            if got == expected:
                return
            if not expected.startswith(got):
                raise Failure("after %s the unit has %r, expected %r" % (what, got, expected))
            if time.monotonic() > deadline:
                raise Failure("after %s the unit has only %r, expected %r" % (what, got, expected))
            if self.app.poll() is not None:
                raise Failure("the program ended during %s, status %d" % (what, self.app.returncode))
            time.sleep(0.02)

    def window_size(self):
        values = dict(line.split("=", 1) for line in self.xdo("getwindowgeometry", "--shell", self.window).split())
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def wait_for_window_size(self, size, what):
        deadline = time.monotonic() + STEP_TIMEOUT
        while self.window_size() != size:
            if time.monotonic() > deadline:
                raise Failure("after %s the window is %dx%d, expected %dx%d"
                              % ((what,) + self.window_size() + size))
            time.sleep(0.05)

    def prefs(self):
        values = {}
        with open(os.path.join(self.work, "prefs", "tavixDisp.prefs"), "rb") as f:
            for line in f.read().decode("utf-8", errors="replace").splitlines():
                if line.startswith(";") or "=" not in line:
                    continue
                name, value = line.split("=", 1)
                values[name.strip()] = int(value.strip())
        return values

    def dump(self):
        for name in ("runner.log", "alerts", "xvfb.log"):
            path = os.path.join(self.work, name)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    text = f.read().decode(errors="replace").strip()
                if text:
                    print("--- %s\n%s" % (name, text))
        path = os.path.join(self.work, "received")
        if os.path.exists(path):
            print("--- received\n%r" % self.received())


def run(session):
    session.start_xvfb()
    session.start_app()
    s = session
    win = s.window

    # The first bytes on the line: the wake-up keep-alive, then one version
    # request, which the unit answers at once.
    raw = s.received()
    if not raw.startswith(KEEP_ALIVE + VERSION_REQUEST):
        raise Failure("the program opened the link with %r" % raw[:16])

    s.xdo("windowfocus", "--sync", win)
    time.sleep(0.2)
    if s.reports() != b"":
        raise Failure("focus alone sent %r" % s.reports())

    expected = b""

    def step(what, report, *commands):
        nonlocal expected
        for command in commands:
            s.xdo(*command)
        expected += report
        s.wait_for_reports(expected, what)

    step("Up", b"\x1b[A", ("key", "Up"))
    step("Return", b"\r", ("key", "Return"))
    step("Home", b"\x1b[1", ("key", "Home"))
    step("F1", b"\x1bOP", ("key", "F1"))
    step("typing a", b"a", ("type", "a"))

    # At scale 1 window pixels are screen pixels. A press and a release in
    # separate frames give two reports; the press also ends the Enter latch
    # that Return set, which sends nothing.
    s.xdo("mousemove", "--window", win, "300", "200")
    time.sleep(0.1)
    step("the left button down at (300, 200)", b"\x1b[<1;300;200M", ("mousedown", "1"))
    step("the left button up", b"\x1b[<9;300;200M", ("mouseup", "1"))
    step("the wheel up", b"\x1b@995y", ("click", "4"))

    # 1000 x 700 is nearest to two screens each way: the window snaps to
    # 1280 x 768 and the scale becomes 2. Nothing goes to the unit.
    s.xdo("windowsize", win, "1000", "700")
    s.wait_for_window_size((1280, 768), "the resize to 1000x700")
    time.sleep(0.2)
    if s.reports() != expected:
        raise Failure("the resize sent %r" % s.reports()[len(expected):])

    # At scale 2 window pixels are halved, truncated: (601, 403) -> (300, 201).
    # The pointer is far from the first click, so this is no double click.
    s.xdo("mousemove", "--window", win, "601", "403")
    time.sleep(0.1)
    step("the left button down at (601, 403)", b"\x1b[<1;300;201M", ("mousedown", "1"))
    step("the left button up", b"\x1b[<9;300;201M", ("mouseup", "1"))

    s.app.send_signal(signal.SIGTERM)
    try:
        status = s.app.wait(timeout=EXIT_TIMEOUT)
    except subprocess.TimeoutExpired:
        raise Failure("the program did not end after the close")
    if status != 0:
        raise Failure("the program ended with status %d" % status)
    if s.reports() != expected:
        raise Failure("the unit has %r, expected %r" % (s.reports(), expected))
    if s.received().count(VERSION_REQUEST) != 1:
        raise Failure("%d version requests, expected 1" % s.received().count(VERSION_REQUEST))

    prefs = s.prefs()
    for name, value in (("window_w", 1280), ("window_h", 768)):
        if prefs.get(name) != value:
            raise Failure("preference %s is %r, expected %d" % (name, prefs.get(name), value))


def main():
    if len(sys.argv) != 3:
        print("usage: input_test.py <input_runner> <base dir>")
        return 2
    for tool in ("Xvfb", "xdotool"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed" % tool)
            return SKIPPED
    signal.signal(signal.SIGTERM, on_terminate)
    session = Session(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]))
    started = time.monotonic()
    try:
        run(session)
    except Failure as failure:
        print("FAILED: %s" % failure)
        session.stop_all()
        session.dump()
        return 1
    finally:
        session.stop_all()
        shutil.rmtree(session.work, ignore_errors=True)
    print("passed in %.1f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
