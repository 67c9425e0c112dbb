#!/usr/bin/env python3
"""What a user of tavixDisp feels, measured from outside the program.

The real built program (BUILD/tavixDisp --device <pty>) runs in a real X
window under a private Xvfb. This script plays the unit on the master side
of a pseudo-terminal (answering the version request, reading the reports,
sending drawing commands), types and clicks through the X test extension
(XTEST), sees the window change through the X DAMAGE extension, and reads
the program's wake-ups (voluntary plus involuntary context switches of all
its threads) and processor time from /proc.

    python3 bench/window_bench.py --build build [--quick]
    python3 bench/window_bench.py --build build-old --build build [--label before --label now]

Results are "name value" lines on standard output, one block per build
(with several builds, or labels given, each line starts with the build's
label); progress and a side-by-side summary go to standard error. Each build
gets a fresh Xvfb, a fresh home (its preferences: window at scale 1) and a
fresh pseudo-terminal. Needs Xvfb and python3-xlib (scripts/install-deps.sh
installs both). About a minute a build, half that with --quick.

What is measured (in this order; the stall last, as it drops the link):
  idle      connected, nothing happening: wake-ups a second, processor use
  typing    300 letters, each pressed and released 1 ms later, the next
            pressed at once (a paste tool, a barcode scanner): how many reach
            the unit, in order or not
  tap       left press and release within 1 ms: which reports reach the unit
  latency   key press to report on the wire; unit's drawing command to the
            window's DAMAGE; echo (key press, the unit draws at once, DAMAGE)
  held      an arrow key held for 1 s: the reports' times after the press
  animate   the unit animating at 30 frames a second: processor use
  intake    a dense text stream written as fast as the line takes it: MB/s
            until all of it is shown, and key-to-report times meanwhile; when
            intake_seconds is close to intake_written_seconds the line (the
            pseudo-terminal and this script's writes) is the limit
  stall     the line's output suspended for 2 s (tcflow TCOOFF) while 16
            letters are typed: link losses (the program's closes of the
            port, seen with inotify on the device), letters that arrive

Figures depend on the machine's load: on a shared 2-core machine expect ten
per cent or more of noise in the times and processor use.
"""

import argparse
import ctypes
import errno
import os
import random
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import tty


def import_xlib():
    """python-xlib, from Debian's python3-xlib also when another Python runs this."""
    try:
        import Xlib  # noqa: F401
    except ImportError:
        dist = "/usr/lib/python3/dist-packages"
        if os.path.isdir(os.path.join(dist, "Xlib")) and dist not in sys.path:
            sys.path.append(dist)
    try:
        from Xlib import X, XK, display
        from Xlib.ext import damage, xtest
    except ImportError:
        sys.exit("window_bench: python-xlib is missing (Debian package python3-xlib: scripts/install-deps.sh)")
    return X, XK, display, damage, xtest


X, XK, xdisplay, xdamage, xtest = import_xlib()

VERSION_REQUEST = b"\x1b@999y"  # followed by a NUL, which may come in a later read
VERSION_ANSWER = b"\x1b@1;2;3;4V"
KEEP_ALIVE = 0xFE
LETTERS = "abcdefghijklmnopqrstuvwxyz"
CLK_TCK = os.sysconf("SC_CLK_TCK")


def now():
    return time.perf_counter()


def sleep_until(t):
    left = t - now()
    if left > 0:
        time.sleep(left)


class Failure(Exception):
    pass


def log(text):
    print(f"window_bench: {text}", file=sys.stderr, flush=True)


def colour24(c15):
    """A 15-bit unit colour as the window shows it (8 bits a channel)."""
    return (((c15 >> 10) & 31) << 3, ((c15 >> 5) & 31) << 3, (c15 & 31) << 3)


def box(x, y, w, h, c15):
    """A filled box on layer 0, and layer 0 shown."""
    return b"\x1b@0;0;%d;%d;%d;%d;%dz\x1b@30Z" % (w, h, x, y, c15)


def percentile(values, q):
    if not values:
        return -1.0
    s = sorted(values)
    return s[min(len(s) - 1, int(q * len(s)))]


def is_subsequence(got, sent):
    it = iter(sent)
    return all(any(c == s for s in it) for c in got)


# ---------------------------------------------------------------- the unit


class Unit:
    """The unit's end of the line: the master of a pseudo-terminal, read on a
    thread of its own. Every read is time-stamped; the bytes are cut into
    keep-alive bytes, version requests (answered at once) and reports.
    on_report, when set, is called on that thread with each report."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        # The slave stays open here for the whole run: the master never sees
        # a hang-up when the program closes the port, and tcflow has a handle.
        self.path = os.ttyname(self.slave)
        self.cond = threading.Condition()
        self.reports = []  # (time, bytes)
        self.keep_alives = []  # times
        self.requests = []  # times
        self.on_report = None
        self._seq = None
        self._want_nul = False
        self._write_lock = threading.Lock()
        self._stop = False
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def close(self):
        self._stop = True
        self._thread.join(2)
        os.close(self.master)
        os.close(self.slave)

    def write(self, data):
        with self._write_lock:
            view = memoryview(data)
            while view:
                n = os.write(self.master, view)
                view = view[n:]

    def _run(self):
        while not self._stop:
            ready, _, _ = select.select([self.master], [], [], 0.2)
            if not ready:
                continue
            try:
                data = os.read(self.master, 65536)
            except OSError as e:
                if e.errno != errno.EIO:
                    raise
                time.sleep(0.005)  # nobody has the slave open
                continue
            self._feed(now(), data)

    def _feed(self, t, data):
        found = []
        for b in data:
            if self._want_nul:
                self._want_nul = False
                if b == 0:
                    continue
            if self._seq is not None:
                self._seq.append(b)
                if self._complete(self._seq):
                    found.append(bytes(self._seq))
                    self._seq = None
                continue
            if b == 0x1B:
                self._seq = bytearray([b])
            elif b == KEEP_ALIVE:
                found.append(KEEP_ALIVE)
            elif b != 0:
                found.append(bytes([b]))
        reports = []
        with self.cond:
            for token in found:
                if token == KEEP_ALIVE:
                    self.keep_alives.append(t)
                elif token == VERSION_REQUEST:
                    self._want_nul = True
                    self.requests.append(t)
                    self.write(VERSION_ANSWER)
                else:
                    self.reports.append((t, token))
                    reports.append(token)
            self.cond.notify_all()
        hook = self.on_report
        if hook:
            for r in reports:
                hook(t, r)

    @staticmethod
    def _complete(seq):
        if len(seq) > 32:
            return True
        if len(seq) == 2:
            return seq[1] not in b"[@"
        last = seq[-1]
        if seq[1] == ord("["):
            if seq[2] == ord("<"):
                return len(seq) > 3 and last in b"Mm"
            return last not in b"0123456789;"
        return last not in b"0123456789;"  # "@" group: digits and ";" up to a letter

    def wait(self, predicate, timeout):
        with self.cond:
            return self.cond.wait_for(predicate, timeout)

    def mark(self):
        with self.cond:
            return len(self.reports)

    def since(self, mark):
        with self.cond:
            return list(self.reports[mark:])

    def wait_report(self, mark, report, timeout):
        """Time of the first `report` after `mark`, or None."""
        found = []

        def seen():
            for t, r in self.reports[mark:]:
                if r == report:
                    found.append(t)
                    return True
            return False

        return found[0] if self.wait(seen, timeout) else None

    def wait_settled(self, mark, want, quiet, bound):
        """Until `want` reports came after `mark`, or none for `quiet` seconds."""
        start = now()
        end = start + bound
        while now() < end:
            with self.cond:
                count = len(self.reports) - mark
                last = self.reports[-1][0] if count else start
            if count >= want or now() - last > quiet:
                return
            self.wait(lambda: len(self.reports) - mark > count, min(quiet, end - now()))


# ---------------------------------------------------------------- the program


class Xvfb:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1200x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        end = now() + 15
        while not number.endswith(b"\n") and now() < end:
            ready, _, _ = select.select([read_end], [], [], end - now())
            if not ready:
                break
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            self.stop()
            raise Failure("Xvfb did not start")
        self.name = ":" + number.strip().decode()

    def stop(self):
        stop_process(self.proc)


def stop_process(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Program:
    def __init__(self, build, display_name, device, workdir):
        binary = os.path.join(build, "tavixDisp")
        if not os.access(binary, os.X_OK):
            raise Failure(f"{binary} is not built")
        home = os.path.join(workdir, "home")
        os.makedirs(home)
        env = dict(os.environ)
        for name in ("SDL_VIDEODRIVER", "XDG_CONFIG_HOME"):
            env.pop(name, None)
        env.update(HOME=home, XDG_DATA_HOME=home, DISPLAY=display_name,
                   TAVIX_FIRMWARE_PAGE_URL="http://127.0.0.1:9/")
        self.log_path = os.path.join(workdir, "program.log")
        self._log = open(self.log_path, "wb")
        self.proc = subprocess.Popen([binary, "--device", device], env=env, cwd=home,
                                     stdin=subprocess.DEVNULL, stdout=self._log, stderr=subprocess.STDOUT)
        self.pid = self.proc.pid

    def alive(self):
        if self.proc.poll() is not None:
            raise Failure(f"the program exited with {self.proc.returncode} (log: {self.log_path})")

    def stop(self):
        stop_process(self.proc)
        self._log.close()

    def sample(self):
        """Per thread: context switches and time on a processor (ns); the
        process's utime + stime in clock ticks."""
        tasks = {}
        for tid in os.listdir(f"/proc/{self.pid}/task"):
            try:
                with open(f"/proc/{self.pid}/task/{tid}/status") as f:
                    switches = sum(int(line.split()[1]) for line in f
                                   if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")))
                with open(f"/proc/{self.pid}/task/{tid}/schedstat") as f:
                    ns = int(f.read().split()[0])
            except (FileNotFoundError, ProcessLookupError):
                continue
            tasks[tid] = (switches, ns)
        with open(f"/proc/{self.pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return {"t": now(), "tasks": tasks, "ticks": int(fields[11]) + int(fields[12])}


def usage_between(a, b):
    """Wake-ups a second, processor use in % of a core (from utime + stime,
    and from the threads' scheduler time, finer), and the thread count.
    Threads that ended between the samples are not counted."""
    seconds = b["t"] - a["t"]
    switches = ns = 0
    for tid, (s, n) in b["tasks"].items():
        s0, n0 = a["tasks"].get(tid, (0, 0))
        switches += s - s0
        ns += n - n0
    return {
        "wakeups_per_s": switches / seconds,
        "cpu_percent": 100.0 * (b["ticks"] - a["ticks"]) / CLK_TCK / seconds,
        "cpu_percent_sched": 100.0 * ns / 1e9 / seconds,
        "threads": len(b["tasks"]),
    }


# ---------------------------------------------------------------- the window


class Window:
    """The program's window, found by its name: XTEST input into it, DAMAGE
    events from it (time-stamped as they are read), pixels read back."""

    def __init__(self, display_name, title, program, bound=20.0):
        self.d = xdisplay.Display(display_name)
        for ext in ("XTEST", "DAMAGE"):
            if not self.d.has_extension(ext):
                raise Failure(f"the X server has no {ext} extension")
        self.root = self.d.screen().root
        end = now() + bound
        self.win = None
        while self.win is None:
            program.alive()
            self.win = self._find(self.root, title, 3)
            if self.win is None:
                if now() > end:
                    raise Failure(f"no window named '{title}' after {bound:.0f} s")
                time.sleep(0.05)
        while self.win.get_attributes().map_state != X.IsViewable:
            if now() > end:
                raise Failure("the window was not shown")
            time.sleep(0.02)
        self.damage_event = self.d.query_extension("DAMAGE").first_event
        self.d.damage_query_version()
        self.damage = self.win.damage_create(xdamage.DamageReportRawRectangles)
        geometry = self.win.get_geometry()
        self.width, self.height = geometry.width, geometry.height
        origin = self.win.translate_coords(self.root, 0, 0)
        self.root_x, self.root_y = -origin.x, -origin.y
        self.events = []  # (time, x, y, w, h)
        self.d.sync()
        # Pixels are read on a connection of their own, so that DAMAGE events
        # are only ever read, and time-stamped, by pump().
        self.peek = xdisplay.Display(display_name)
        self.peek_win = self.peek.create_resource_object("window", self.win.id)

    def _find(self, window, title, depth):
        try:
            names = [window.get_wm_name()]
            net = window.get_full_property(self.d.intern_atom("_NET_WM_NAME"), X.AnyPropertyType)
            if net is not None:
                names.append(net.value.decode("utf-8", "replace") if isinstance(net.value, bytes) else str(net.value))
            if title in names:
                return window
            if depth > 0:
                for child in window.query_tree().children:
                    found = self._find(child, title, depth - 1)
                    if found is not None:
                        return found
        except Exception:  # a window that went away while looked at
            return None
        return None

    def focus(self):
        self.win.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.d.sync()

    def keycode(self, name):
        code = self.d.keysym_to_keycode(XK.string_to_keysym(name))
        if not code:
            raise Failure(f"no key for {name}")
        return code

    def key(self, code, down):
        xtest.fake_input(self.d, X.KeyPress if down else X.KeyRelease, code)
        self.d.flush()

    def button(self, number, down):
        xtest.fake_input(self.d, X.ButtonPress if down else X.ButtonRelease, number)
        self.d.flush()

    def move(self, x, y):
        xtest.fake_input(self.d, X.MotionNotify, x=self.root_x + x, y=self.root_y + y)
        self.d.sync()

    def pixel(self, x, y):
        data = self.peek_win.get_image(x, y, 1, 1, X.ZPixmap, 0xFFFFFFFF).data
        return (data[2], data[1], data[0])  # B, G, R, pad on this little-endian 24-bit screen

    def pump(self, timeout):
        """Reads the X events for at most `timeout` seconds (returns at the
        first batch); DAMAGE events are kept with their time of arrival."""
        if not self.d.pending_events():
            ready, _, _ = select.select([self.d.fileno()], [], [], max(0.0, timeout))
            if not ready:
                return
        while True:
            # Each call reads what has come since the last: stamped as it is read.
            count = self.d.pending_events()
            if not count:
                return
            t = now()
            for _ in range(count):
                ev = self.d.next_event()
                if ev.type == self.damage_event:
                    a = ev.area
                    self.events.append((t, a.x, a.y, a.width, a.height))

    def drain(self):
        self.pump(0)
        return len(self.events)

    def wait_damage(self, mark, region, timeout):
        """Time of the first DAMAGE after `mark` that touches region (x, y, w, h)."""
        rx, ry, rw, rh = region
        end = now() + timeout
        i = mark
        while True:
            while i < len(self.events):
                t, x, y, w, h = self.events[i]
                i += 1
                if x < rx + rw and rx < x + w and y < ry + rh and ry < y + h:
                    return t
            left = end - now()
            if left <= 0:
                return None
            self.pump(left)

    def wait_pixel(self, x, y, rgb, timeout):
        """Until the window shows rgb at (x, y), looking again at each DAMAGE."""
        end = now() + timeout
        while self.pixel(x, y) != rgb:
            if now() > end:
                return False
            self.pump(min(0.05, max(0.0, end - now())))
        return True

    def wait_quiet(self, quiet, bound):
        """Until no DAMAGE came for `quiet` seconds; False if still busy at `bound`."""
        end = now() + bound
        while now() < end:
            self.drain()
            last = self.events[-1][0] if self.events else 0.0
            if now() - last >= quiet:
                return True
            self.pump(min(quiet - (now() - last), end - now()))
        return False

    def close(self):
        for d in (self.d, self.peek):
            try:
                d.close()
            except Exception:
                pass


class KeyProber(threading.Thread):
    """Types one key again and again on an X connection of its own: pressed,
    released once its report reached the unit (or after 2 s), then a random
    pause of 10 to 30 ms, so that presses fall at every point of the
    program's loop. samples: (press time, press to report or None)."""

    def __init__(self, display_name, keycode, report, unit):
        super().__init__(daemon=True)
        self.d = xdisplay.Display(display_name)
        self.keycode, self.report, self.unit = keycode, report, unit
        self.rng = random.Random(5)
        self.samples = []
        self._halt = threading.Event()

    def run(self):
        while not self._halt.is_set():
            mark = self.unit.mark()
            t = now()
            xtest.fake_input(self.d, X.KeyPress, self.keycode)
            self.d.flush()
            seen = self.unit.wait_report(mark, self.report, 2.0)
            xtest.fake_input(self.d, X.KeyRelease, self.keycode)
            self.d.flush()
            self.samples.append((t, None if seen is None else seen - t))
            self._halt.wait(self.rng.uniform(0.010, 0.030))

    def finish(self):
        self._halt.set()
        self.join(5)
        self.d.close()


# ---------------------------------------------------------------- inotify


class PortWatch:
    """The program's opens and closes of the device, seen with inotify."""
    IN_CLOSE_WRITE, IN_CLOSE_NOWRITE, IN_OPEN = 0x08, 0x10, 0x20

    def __init__(self, path):
        self.libc = ctypes.CDLL(None, use_errno=True)
        self.fd = self.libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0 or self.libc.inotify_add_watch(
                self.fd, path.encode(), self.IN_OPEN | self.IN_CLOSE_WRITE | self.IN_CLOSE_NOWRITE) < 0:
            raise Failure(f"inotify cannot watch {path}")
        self.opens = self.closes = 0

    def read(self):
        while True:
            try:
                data = os.read(self.fd, 4096)
            except BlockingIOError:
                return
            off = 0
            while off < len(data):
                _, mask, _, length = struct.unpack_from("iIII", data, off)
                off += 16 + length
                if mask & self.IN_OPEN:
                    self.opens += 1
                if mask & (self.IN_CLOSE_WRITE | self.IN_CLOSE_NOWRITE):
                    self.closes += 1

    def close(self):
        os.close(self.fd)


# ---------------------------------------------------------------- the measurements


class Bench:
    def __init__(self, args, unit, program, window, out):
        self.args, self.unit, self.program, self.win, self.out = args, unit, program, window, out
        self.rng = random.Random(7)
        self.letter_codes = {c: window.keycode(c) for c in LETTERS}

    def put(self, name, value):
        self.out.append((name, value))
        text = f"{value:.2f}" if isinstance(value, float) else str(value)
        print(f"{self.args.prefix}{name} {text}", flush=True)

    def gap(self, low=0.010, high=0.040):
        """A random pause between samples, so they fall at every point of the program's loop."""
        end = now() + self.rng.uniform(low, high)
        while now() < end:
            self.win.pump(end - now())

    def tap_key(self, code, hold):
        self.win.key(code, True)
        time.sleep(hold)
        self.win.key(code, False)

    # 1. A paste tool or a barcode scanner.
    def typing(self, count=300):
        sent = "".join(LETTERS[i % len(LETTERS)] for i in range(count))
        mark = self.unit.mark()
        start = now()
        # Each key pressed, released 1 ms later, the next pressed at once.
        for i, c in enumerate(sent):
            code = self.letter_codes[c]
            self.win.key(code, True)
            sleep_until(start + 0.001 * (i + 1))
            self.win.key(code, False)
        took = now() - start
        self.unit.wait_settled(mark, count, quiet=1.0, bound=10.0)
        reports = [r for _, r in self.unit.since(mark)]
        got = "".join(r.decode() for r in reports if len(r) == 1 and r.decode("latin-1") in LETTERS)
        self.put("typing_sent", count)
        self.put("typing_injection_ms", took * 1000)
        self.put("typing_arrived", len(got))
        self.put("typing_in_order", int(is_subsequence(got, sent)))
        self.put("typing_other_reports", len(reports) - len(got))

    # 2. A quick tap of the left button.
    def tap(self, taps=5, x=100, y=200):
        words = []
        for i in range(taps):
            # Each tap 60 pixels from the last: two taps in one place soon after
            # each other are a double click, reported with its own codes.
            tx = x + 60 * i
            press, release = b"\x1b[<1;%d;%dM" % (tx, y), b"\x1b[<9;%d;%dM" % (tx, y)
            self.win.move(tx, y)
            mark = self.unit.mark()
            t = now()
            self.win.button(1, True)
            sleep_until(t + 0.0005)
            self.win.button(1, False)
            self.unit.wait_settled(mark, 2, quiet=1.0, bound=3.0)
            got = [r for _, r in self.unit.since(mark)]
            words.append("+".join("press" if r == press else "release" if r == release else
                                  r.decode("latin-1").replace("\x1b", "ESC") for r in got) or "nothing")
            self.gap(0.05, 0.10)
        self.put("tap_taps", taps)
        self.put("tap_press_then_release", words.count("press+release"))
        self.put("tap_press_arrived", sum("press" in w for w in words))
        self.put("tap_release_arrived", sum("release" in w for w in words))
        self.put("tap_reports", ",".join(words))

    # 3. The unit busy: its line takes nothing for 2 s.
    def stall(self, seconds=2.0, count=16):
        marker, colour = (40, 40, 24, 24), 32736  # yellow
        self.unit.write(b"\x1b[2J\x1b@70Z" + box(*marker, colour))
        if not self.win.wait_pixel(50, 50, colour24(colour), 5.0):
            raise Failure("the stall's marker box was not drawn")
        typed = LETTERS[:count]
        watch = PortWatch(self.unit.path)
        mark = self.unit.mark()
        start = now()
        termios.tcflow(self.unit.slave, termios.TCOOFF)
        try:
            for i, c in enumerate(typed):
                sleep_until(start + 0.1 + i * (seconds - 0.3) / count)
                self.tap_key(self.letter_codes[c], 0.04)
            sleep_until(start + seconds)
        finally:
            termios.tcflow(self.unit.slave, termios.TCOON)
        resumed = now()
        # Back when a key typed now reaches the unit.
        probe, back = self.win.keycode("z"), None
        while back is None and now() - resumed < 20:
            self.program.alive()
            probe_mark = self.unit.mark()
            self.tap_key(probe, 0.04)
            back = self.unit.wait_report(probe_mark, b"z", 0.5)
        watch.read()
        watch.close()
        reports = (r.decode("latin-1") for _, r in self.unit.since(mark))
        got = "".join(c for c in reports if len(c) == 1 and c in typed)
        self.put("stall_seconds", seconds)
        self.put("stall_link_lost", watch.closes)
        self.put("stall_port_reopened", watch.opens)
        self.put("stall_screen_cleared", int(self.win.pixel(50, 50) != colour24(colour)))
        self.put("stall_typed", count)
        self.put("stall_arrived", len(got))
        self.put("stall_in_order", int(is_subsequence(got, typed)))
        self.put("stall_back_after_ms", (back - resumed) * 1000 if back else -1.0)
        if back is None:
            raise Failure("keys did not reach the unit within 20 s of the stall's end")

    # 4. Nothing happening.
    def idle(self, seconds):
        self.win.wait_quiet(0.5, 10.0)
        keep_alives = len(self.unit.keep_alives)
        damage_mark = self.win.drain()
        a = self.program.sample()
        end = a["t"] + seconds
        while now() < end:
            self.win.pump(end - now())
        b = self.program.sample()
        use = usage_between(a, b)
        self.put("idle_seconds", seconds)
        self.put("idle_wakeups_per_s", use["wakeups_per_s"])
        self.put("idle_cpu_percent", use["cpu_percent"])
        self.put("idle_cpu_percent_sched", use["cpu_percent_sched"])
        self.put("idle_threads", use["threads"])
        self.put("idle_keep_alives", len(self.unit.keep_alives) - keep_alives)
        self.put("idle_damage_events", len(self.win.events) - damage_mark)

    # 5. Latencies.
    def latencies(self, name, samples, one):
        """Runs one(i) for each sample: it acts and gives (start, seen), seen None when
        nothing was seen within its wait; puts the figures under name."""
        times, lost = [], 0
        for i in range(samples):
            t, seen = one(i)
            if seen is None:
                lost += 1
            else:
                times.append(seen - t)
            self.gap()
        self.put_latencies(name, times, lost)

    def latency_key(self, samples):
        def one(i):
            c = LETTERS[i % len(LETTERS)]
            mark = self.unit.mark()
            t = now()
            self.win.key(self.letter_codes[c], True)
            seen = self.unit.wait_report(mark, c.encode(), 1.0)
            self.win.key(self.letter_codes[c], False)
            return t, seen

        self.latencies("key_to_wire", samples, one)

    def latency_draw(self, samples):
        region = (600, 360, 16, 16)
        self.unit.write(b"\x1b[2J")
        self.win.wait_quiet(0.2, 5.0)

        def one(i):
            mark = self.win.drain()
            t = now()
            self.unit.write(box(*region, 31744 if i % 2 else 992))
            return t, self.win.wait_damage(mark, region, 1.0)

        self.latencies("byte_to_window", samples, one)

    def latency_echo(self, samples):
        region = (600, 340, 16, 16)
        flip = [0]

        def echo(_, report):
            if report == b"e":
                flip[0] ^= 1
                self.unit.write(box(*region, 31744 if flip[0] else 992))

        code = self.letter_codes["e"]

        def one(_):
            mark = self.win.drain()
            t = now()
            self.win.key(code, True)
            seen = self.win.wait_damage(mark, region, 1.0)
            self.win.key(code, False)
            return t, seen

        self.unit.on_report = echo
        try:
            self.latencies("echo", samples, one)
        finally:
            self.unit.on_report = None

    def put_latencies(self, name, times, lost):
        ms = [t * 1000 for t in times]
        self.put(f"{name}_samples", len(ms))
        self.put(f"{name}_lost", lost)
        self.put(f"{name}_p50_ms", percentile(ms, 0.50))
        self.put(f"{name}_p99_ms", percentile(ms, 0.99))
        self.put(f"{name}_max_ms", max(ms) if ms else -1.0)

    # 6. A dense text stream, and keys typed meanwhile.
    def intake(self, size):
        marker, colour = (8, 8, 24, 24), 31  # blue
        self.unit.write(b"\x1b[2J\x1b@70Z\x1b@30Z")
        self.win.wait_quiet(0.2, 5.0)
        if self.win.pixel(20, 20) == colour24(colour):
            raise Failure("the intake's end marker shows before the stream")
        rng = random.Random(11)
        printable = bytes(0x20 + i % 95 for i in range(256))
        parts, total = [], 0
        while total < size:
            # About a screen line's worth of text, then a cursor move now and then.
            text = rng.randbytes(960).translate(printable)
            move = b"\x1b[%d;%dH" % (rng.randrange(0, 24), rng.randrange(0, 40))
            parts += [text, move]
            total += len(text) + len(move)
        stream = b"".join(parts) + b"\x1b[2J" + box(*marker, colour)
        written = {}

        def writer():
            written["start"] = now()
            for off in range(0, len(stream), 65536):
                self.unit.write(stream[off:off + 65536])
            written["end"] = now()

        thread = threading.Thread(target=writer, daemon=True)
        prober = KeyProber(self.args.display, self.letter_codes["k"], b"k", self.unit)
        shown = None
        prober.start()
        thread.start()
        bound = now() + 300
        try:
            while shown is None:
                if now() > bound:
                    raise Failure("the stream was not shown within 300 s")
                self.program.alive()
                self.win.pump(0.05)
                if "end" in written and self.win.pixel(20, 20) == colour24(colour):
                    # Nothing is drawn after the marker: its presentation is the last DAMAGE.
                    self.win.drain()
                    shown = self.win.events[-1][0]
        finally:
            prober.finish()
        thread.join()
        seconds = shown - written["start"]
        during = [d * 1000 for t, d in prober.samples if t < shown and d is not None]
        lost = sum(1 for t, d in prober.samples if t < shown and d is None)
        self.put("intake_bytes", len(stream))
        self.put("intake_seconds", seconds)
        self.put("intake_mb_per_s", len(stream) / 1e6 / seconds)
        self.put("intake_written_seconds", written["end"] - written["start"])
        self.put("intake_keys", len(during))
        self.put("intake_keys_lost", lost)
        self.put("intake_key_p50_ms", percentile(during, 0.50))
        self.put("intake_key_p99_ms", percentile(during, 0.99))
        self.put("intake_key_max_ms", max(during) if during else -1.0)

    # 7. The unit animating at 30 frames a second.
    def animate(self, seconds, warm=1.0):
        self.unit.write(b"\x1b[2J\x1b@70Z")
        self.win.wait_quiet(0.2, 5.0)
        frame_time = 1.0 / 30
        start = now()
        n, a, b, damage_mark, frames_mark = 1, None, None, 0, 0
        while b is None:
            due = start + (n - 1) * frame_time
            if a is None and now() >= start + warm:
                a, damage_mark, frames_mark = self.program.sample(), self.win.drain(), n
            if a is not None and now() >= a["t"] + seconds:
                b = self.program.sample()
                break
            if now() >= due:
                width = 9 * (1 + n % 60)
                frame = b"\x1b@70Z\x1b@0;0;%d;100;80;60;31744z" % width
                frame += b"\x1b[2;0HFrame %d, box %d pixels wide  \x1b@30Z" % (n, width)
                self.unit.write(frame)
                n += 1
            self.win.pump(max(0.0, start + (n - 1) * frame_time - now()))
        use = usage_between(a, b)
        self.put("animate_seconds", seconds)
        self.put("animate_window", f"{self.win.width}x{self.win.height}")
        self.put("animate_frames_sent", n - frames_mark)
        self.put("animate_damage_events", self.win.drain() - damage_mark)
        self.put("animate_cpu_percent", use["cpu_percent"])
        self.put("animate_cpu_percent_sched", use["cpu_percent_sched"])
        self.put("animate_wakeups_per_s", use["wakeups_per_s"])
        self.unit.write(b"\x1b[2J\x1b@70Z")
        self.win.wait_quiet(0.2, 5.0)

    # 8. An arrow key held down.
    def held(self, holds, hold=1.0):
        code = self.win.keycode("Up")
        runs = []
        for _ in range(holds):
            mark = self.unit.mark()
            t = now()
            self.win.key(code, True)
            sleep_until(t + hold)
            self.win.key(code, False)
            self.unit.wait_settled(mark, 10 ** 6, quiet=0.5, bound=3.0)
            runs.append([(s - t) * 1000 for s, r in self.unit.since(mark) if r == b"\x1b[A"])
            self.gap(0.2, 0.3)
        first = runs[0]
        counts = sorted(len(r) for r in runs)
        intervals = [b - a for r in runs for a, b in zip(r[1:], r[2:])]
        self.put("held_seconds", hold)
        self.put("held_reports", counts[len(counts) // 2])
        self.put("held_reports_each", ",".join(str(len(r)) for r in runs))
        self.put("held_first_ms", percentile([r[0] for r in runs if r], 0.5))
        self.put("held_first_repeat_ms", percentile([r[1] for r in runs if len(r) > 1], 0.5))
        self.put("held_repeat_interval_ms", percentile(intervals, 0.5))
        self.put("held_times_ms", ",".join(f"{v:.0f}" for v in first[:8]) or "none")


def measure(args, build, out):
    """One build, from a fresh Xvfb and a fresh home to their end."""
    workdir = tempfile.mkdtemp(prefix="tavix-window-bench.")
    server = Xvfb()
    unit = Unit()
    program = window = None
    try:
        program = Program(build, server.name, unit.path, workdir)
        log(f"{build}: pid {program.pid} on {unit.path}, X display {server.name}")
        # Connected: the version request answered, then the main loop's first keep-alive byte.
        if not unit.wait(lambda: unit.requests, 15.0):
            program.alive()
            raise Failure("no version request within 15 s")
        answered = unit.requests[0]
        if not unit.wait(lambda: any(t > answered for t in unit.keep_alives), 15.0):
            program.alive()
            raise Failure("no keep-alive byte after the version answer within 15 s")
        args.display = server.name
        window = Window(server.name, f"T.A.V.I.X - {unit.path}", program)
        window.focus()
        bench = Bench(args, unit, program, window, out)
        bench.put("window", f"{window.width}x{window.height}")
        steps = [
            ("idle", lambda: bench.idle(args.idle_seconds)),
            ("typing", lambda: bench.typing(300)),
            ("tap", lambda: bench.tap(5)),
            ("key_to_wire", lambda: bench.latency_key(args.samples)),
            ("byte_to_window", lambda: bench.latency_draw(args.samples)),
            ("echo", lambda: bench.latency_echo(args.samples)),
            ("held", lambda: bench.held(args.holds)),
            ("animate", lambda: bench.animate(args.animate_seconds)),
            ("intake", lambda: bench.intake(args.stream_bytes)),
            ("stall", lambda: bench.stall()),  # last: the link is lost and found again
        ]
        if args.only:
            steps = [s for s in steps if s[0] in args.only]
        failed = 0
        for name, step in steps:
            log(f"{build}: {name}")
            try:
                program.alive()
                window.focus()
                step()
            except Exception as e:  # a failed measurement: the others still run
                failed += 1
                bench.put(name + "_failed", 1)
                log(f"{build}: {name} failed: {e if isinstance(e, Failure) else repr(e)}")
        return failed
    finally:
        if window:
            window.close()
        if program:
            program.stop()
        unit.close()
        server.stop()
        if program and args.keep:
            log(f"{build}: the program's log and home are in {workdir}")
        else:
            shutil.rmtree(workdir, ignore_errors=True)


SUMMARY = [
    ("typing: letters arrived of 300", "typing_arrived"),
    ("typing: in order", "typing_in_order"),
    ("tap: press then release (of 5 taps)", "tap_press_then_release"),
    ("tap: presses, releases arrived", ("tap_press_arrived", "tap_release_arrived")),
    ("stall: link lost (times)", "stall_link_lost"),
    ("stall: letters arrived of 16", "stall_arrived"),
    ("idle: wake-ups a second", "idle_wakeups_per_s"),
    ("idle: % of a core", "idle_cpu_percent"),
    ("idle: % of a core (scheduler)", "idle_cpu_percent_sched"),
    ("key to wire: median ms", "key_to_wire_p50_ms"),
    ("key to wire: p99 ms", "key_to_wire_p99_ms"),
    ("byte to window: median ms", "byte_to_window_p50_ms"),
    ("byte to window: p99 ms", "byte_to_window_p99_ms"),
    ("echo: median ms", "echo_p50_ms"),
    ("echo: p99 ms", "echo_p99_ms"),
    ("held key: reports in 1 s", "held_reports"),
    ("held key: first, first repeat ms", ("held_first_ms", "held_first_repeat_ms")),
    ("held key: repeat interval ms", "held_repeat_interval_ms"),
    ("animation: % of a core", "animate_cpu_percent"),
    ("animation: wake-ups a second", "animate_wakeups_per_s"),
    ("intake: MB/s", "intake_mb_per_s"),
    ("intake: longest key to report ms", "intake_key_max_ms"),
]


def summary(labels, results):
    def text(v):
        return (f"{v:.1f}" if abs(v) >= 10 else f"{v:.2f}") if isinstance(v, float) else str(v)

    width = max(12, *(len(label) for label in labels))
    lines = [f"{'':36} " + " ".join(f"{label:>{width}}" for label in labels)]
    for title, keys in SUMMARY:
        keys = keys if isinstance(keys, tuple) else (keys,)
        cells = []
        for r in results:
            values = dict(r)
            cells.append(" / ".join(text(values[k]) if k in values else "-" for k in keys))
        lines.append(f"{title:36} " + " ".join(f"{c:>{width}}" for c in cells))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", action="append", required=True,
                        help="a build folder holding tavixDisp (repeat to compare builds)")
    parser.add_argument("--label", action="append", help="a name for each build (default: its folder)")
    parser.add_argument("--quick", action="store_true", help="fewer samples, shorter idle, animation and stream")
    parser.add_argument("--samples", type=int, help="latency samples (200; quick 60)")
    parser.add_argument("--idle-seconds", type=float, help="idle measurement (10; quick 5)")
    parser.add_argument("--animate-seconds", type=float, help="animation measurement (10; quick 5)")
    parser.add_argument("--stream-bytes", type=int, help="intake stream size (2 MiB; quick 1 MiB)")
    parser.add_argument("--keep", action="store_true", help="keep each run's home and program log")
    parser.add_argument("--only", type=lambda v: v.split(","),
                        help="these measurements only, e.g. typing,tap (idle typing tap key_to_wire "
                             "byte_to_window echo held animate intake stall)")
    args = parser.parse_args()
    quick = args.quick
    args.samples = args.samples or (60 if quick else 200)
    args.idle_seconds = args.idle_seconds or (5.0 if quick else 10.0)
    args.animate_seconds = args.animate_seconds or (5.0 if quick else 10.0)
    args.stream_bytes = args.stream_bytes or ((1 if quick else 2) * 1024 * 1024)
    args.holds = 2 if quick else 3
    labels = args.label or [os.path.basename(os.path.normpath(b)) for b in args.build]
    if len(labels) != len(args.build):
        parser.error("give one --label for each --build")
    # The unit's reader must not wait long for the interpreter while the main thread runs.
    sys.setswitchinterval(0.0005)
    results, failed = [], 0
    for build, label in zip(args.build, labels):
        args.prefix = f"{label} " if args.label or len(args.build) > 1 else ""
        out = []
        try:
            failed += measure(args, os.path.abspath(build), out)
        except Failure as e:
            log(f"{build}: {e}")
            failed += 1
        results.append(out)
    print("\n" + summary(labels, results) + "\n(2-core machine shared with other work: expect noise)",
          file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
