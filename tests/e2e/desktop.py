"""A private desktop for end-to-end runs: Xvfb, openbox and a D-Bus session
with the accessibility bus, and real Quillo programs driven through AT-SPI
as a person would drive them: buttons found by their labels and clicked,
text typed into fields, window text read back.

Every wait here has a limit and every process started here is stopped by
its own id when the run ends.
"""

import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

DEFAULT_WAIT = 15.0
PR_SET_PDEATHSIG = 1


class Failure(AssertionError):
    pass


def wait_for(what, probe, limit=DEFAULT_WAIT, step=0.1):
    """Calls probe until it returns something true; raises Failure naming
    `what` (and the last value seen) when limit seconds pass first."""
    deadline = time.monotonic() + limit
    last = None
    while True:
        try:
            last = probe()
        except Exception as error:  # the tree changes under us while windows come and go
            last = error
        else:
            if last:
                return last
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for %s (last: %r)" % (what, last))
        time.sleep(step)


def _own_group_and_die_with_parent():
    """Runs in each child before exec: a process group of its own (so it can
    be stopped with everything it starts) and, should this script itself be
    killed, a SIGKILL for the child too."""
    os.setsid()
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)
    except OSError:
        pass


def stop_on_sigterm():
    """Turns SIGTERM (from the outer run or ctest) into an exit that runs
    every `finally`, so the processes of the run are stopped."""
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))


class Processes:
    """The processes of one run, stopped in reverse order of starting."""

    def __init__(self):
        self.started = []

    def start(self, argv, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        process = subprocess.Popen(argv, preexec_fn=_own_group_and_die_with_parent, **kwargs)
        self.started.append(process)
        return process

    def stop(self, process, grace=5.0):
        for sig in (signal.SIGTERM, signal.SIGKILL):
            if process.poll() is not None:
                break
            try:
                os.killpg(process.pid, sig)
            except ProcessLookupError:
                pass
            try:
                process.wait(grace)
            except subprocess.TimeoutExpired:
                continue
        if process in self.started:
            self.started.remove(process)

    def stop_all(self):
        for process in reversed(list(self.started)):
            self.stop(process)


def start_display(processes):
    """Starts Xvfb on the first free display and returns its name."""
    read_end, write_end = os.pipe()
    processes.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 20
    while not number.endswith(b"\n"):
        if time.monotonic() > deadline:
            raise Failure("Xvfb did not report its display")
        chunk = os.read(read_end, 16)
        if not chunk:
            raise Failure("Xvfb ended before reporting its display")
        number += chunk
    os.close(read_end)
    return ":" + number.decode().strip()


def outer_main(script, argv, limit):
    """Runs `script argv` inside a D-Bus session on a display of its own;
    returns its exit status. The display outlives the bus, so the
    accessibility bus launcher can say goodbye to it."""
    stop_on_sigterm()
    processes = Processes()
    runtime = tempfile.mkdtemp(prefix="quillo-e2e-runtime-")
    try:
        display = start_display(processes)
        # The programs must load the accessibility bridge and use this
        # display; the accessibility bus keeps its socket in `runtime`, not
        # in the user's own runtime directory or ~/.cache.
        env = dict(os.environ, DISPLAY=display, GDK_BACKEND="x11", XDG_RUNTIME_DIR=runtime)
        env.pop("NO_AT_BRIDGE", None)
        env.pop("WAYLAND_DISPLAY", None)
        bus_daemon = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                  "session-bus-daemon")
        child = processes.start(["dbus-run-session", "--dbus-daemon=" + bus_daemon, "--",
                                 "/usr/bin/python3", script, "--inner"] + argv, env=env)
        try:
            return child.wait(limit)
        except subprocess.TimeoutExpired:
            print("e2e: the run took longer than %d s and was stopped" % limit, file=sys.stderr)
            return 1
    finally:
        processes.stop_all()
        remove_directory(runtime)


class XTool:
    """Real pointer and keyboard input through xdotool."""

    @staticmethod
    def run(*args):
        return subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True,
                              text=True, timeout=15)

    @classmethod
    def window_of(cls, pid, title):
        """The X window of the process with this title, or None."""
        found = cls.run("search", "--all", "--onlyvisible", "--pid", pid, "--name", "^%s$" % title)
        return (found.stdout.split() or [None])[-1]

    @classmethod
    def activate_window_of(cls, pid, title):
        window = cls.window_of(pid, title)
        if window:
            cls.run("windowactivate", "--sync", window)
            cls.run("windowraise", window)

    @classmethod
    def click(cls, x, y):
        # --sync would wait forever when the pointer is already there.
        cls.run("mousemove", x, y)
        time.sleep(0.05)
        cls.run("click", "1")

    @classmethod
    def key(cls, *keys):
        cls.run("key", "--clearmodifiers", *keys)


class Desktop:
    """The inner side of a run: the window manager, AT-SPI, and helpers to
    find and drive controls of the programs."""

    def __init__(self, processes):
        self.processes = processes
        self.processes.start(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        import pyatspi  # needs the session bus of dbus-run-session
        self.pyatspi = pyatspi
        wait_for("the window manager", lambda: XTool.run("getactivewindow").returncode in (0, 1),
                 limit=10)
        time.sleep(0.3)

    def frames(self, pid):
        """The showing top-level windows of the program with this pid."""
        windows = []
        desktop = self.pyatspi.Registry.getDesktop(0)
        for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
            try:
                if app is None or app.get_process_id() != pid:
                    continue
            except Exception:
                continue
            windows += [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                        if w is not None and self.showing(w)]
        return windows

    def frame(self, pid, title):
        return wait_for("window %r" % title,
                        lambda: next((w for w in self.frames(pid) if w.name == title), None))

    def showing(self, node):
        return node.getState().contains(self.pyatspi.STATE_SHOWING)

    def descendants(self, node, role=None, name=None, depth=40):
        """Depth-first list of the showing descendants with the role and name."""
        out = []
        if depth == 0 or node is None:
            return out
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            try:
                if not self.showing(child):
                    continue
                if (role is None or child.getRole() == role) and (name is None
                                                                   or child.name == name):
                    out.append(child)
            except Exception:
                continue
            out.extend(self.descendants(child, role, name, depth - 1))
        return out

    def button(self, window, label):
        role = self.pyatspi.ROLE_PUSH_BUTTON
        return wait_for("button %r" % label,
                        lambda: next(iter(self.descendants(window, role, label)), None))

    def text_fields(self, window):
        """The window's text controls in reading order (top to bottom, then
        left to right)."""
        fields = self.descendants(window, self.pyatspi.ROLE_TEXT)
        fields += self.descendants(window, self.pyatspi.ROLE_ENTRY)
        return sorted(fields, key=lambda node: self.extents(node)[1::-1])

    def extents(self, node):
        box = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    @staticmethod
    def text_of(node):
        text = node.queryText()
        return text.getText(0, text.characterCount)

    def editable(self, node):
        return node.getState().contains(self.pyatspi.STATE_EDITABLE)

    def click(self, pid, window, node, x_title=None):
        """A real click in the middle of the control, its window raised first
        (found by x_title when its accessible name differs, as a message
        box's does)."""
        XTool.activate_window_of(pid, x_title or window.name)
        x, y, w, h = self.extents(node)
        XTool.click(x + w // 2, y + h // 2)

    def press(self, pid, window, label, x_title=None):
        self.click(pid, window, self.button(window, label), x_title)

    def type_into(self, node, text):
        """Puts text into an editable control as typing would leave it."""
        editable = node.queryEditableText()
        editable.setTextContents(text)
        wait_for("typed text to show", lambda: self.text_of(node) == text, limit=5)


def scratch_directory(name):
    return tempfile.mkdtemp(prefix="quillo-e2e-%s-" % name)


def remove_directory(path):
    shutil.rmtree(path, ignore_errors=True)

