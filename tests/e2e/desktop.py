"""A private desktop for end-to-end runs: Xvfb, openbox and a D-Bus session
with the accessibility bus; controls found through AT-SPI and driven with
real pointer clicks. Every wait has a limit and every process started here
is stopped by its own id when the run ends."""

import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time


class Failure(AssertionError):
    pass


def wait_for(what, probe, limit=15.0, step=0.1):
    """Calls probe until it returns something true; Failure after `limit` s."""
    deadline, last = time.monotonic() + limit, None
    while True:
        try:
            last = probe()
        except Exception as error:  # the tree changes while windows come and go
            last = error
        else:
            if last:
                return last
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for %s (last: %r)" % (what, last))
        time.sleep(step)


def _own_group_and_die_with_parent():  # in each child: killed with its group or this script
    os.setsid()
    try:
        ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    except OSError:
        pass


def stop_on_sigterm():
    """SIGTERM (from the outer run or ctest) exits through every `finally`."""
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
                process.wait(grace)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                continue
        self.started = [p for p in self.started if p is not process]

    def stop_all(self):
        for process in reversed(self.started):
            self.stop(process)


def start_display(processes):
    """Starts Xvfb on the first free display and returns its name."""
    read_end, write_end = os.pipe()
    processes.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number, deadline = b"", time.monotonic() + 20
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk or time.monotonic() > deadline:
            raise Failure("Xvfb did not report its display")
        number += chunk
    os.close(read_end)
    return ":" + number.decode().strip()


def outer_main(script, argv, limit):
    """Runs `script --inner argv` inside a D-Bus session on a display of its
    own; returns its exit status. The display outlives the bus, so the
    accessibility bus launcher can say goodbye to it."""
    stop_on_sigterm()
    processes = Processes()
    runtime = tempfile.mkdtemp(prefix="quillo-e2e-runtime-")
    try:
        # The programs load the accessibility bridge on this display; the
        # accessibility bus keeps its socket in `runtime`.
        env = dict(os.environ, DISPLAY=start_display(processes), GDK_BACKEND="x11",
                   XDG_RUNTIME_DIR=runtime)
        for name in ("NO_AT_BRIDGE", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        bus_daemon = os.path.join(os.path.dirname(os.path.abspath(__file__)), "session-bus-daemon")
        child = processes.start(["dbus-run-session", "--dbus-daemon=" + bus_daemon, "--",
                                 "/usr/bin/python3", script, "--inner"] + argv, env=env)
        try:
            return child.wait(limit)
        except subprocess.TimeoutExpired:
            print("e2e: the run took longer than %d s and was stopped" % limit, file=sys.stderr)
            return 1
    finally:
        processes.stop_all()
        shutil.rmtree(runtime, ignore_errors=True)


# Real pointer and keyboard input through xdotool.
def xdotool(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True,
                          timeout=15)


def window_of(pid, title):
    """The X window of the process with this title, or None."""
    found = xdotool("search", "--all", "--onlyvisible", "--pid", pid, "--name", "^%s$" % title)
    return (found.stdout.split() or [None])[-1]


def activate_window_of(pid, title):
    window = window_of(pid, title)
    if window:
        xdotool("windowactivate", "--sync", window)
        xdotool("windowraise", window)


def text_of(node):
    text = node.queryText()
    return text.getText(0, text.characterCount)


class Desktop:
    """The window manager, AT-SPI, and finding and driving controls."""

    def __init__(self, processes):
        processes.start(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                        stderr=subprocess.DEVNULL)
        import pyatspi  # needs the session bus of dbus-run-session
        self.pyatspi = pyatspi
        wait_for("the window manager", lambda: xdotool("getactivewindow").returncode in (0, 1),
                 10)
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

    def showing(self, node):
        return node.getState().contains(self.pyatspi.STATE_SHOWING)

    def editable(self, node):
        return node.getState().contains(self.pyatspi.STATE_EDITABLE)

    def descendants(self, node, role=None, name=None, depth=40):
        """Depth-first list of the showing descendants with the role and name."""
        out = []
        for child in (node.getChildAtIndex(i) for i in range(node.childCount if depth else 0)):
            try:
                if child is None or not self.showing(child):
                    continue
                if role in (None, child.getRole()) and name in (None, child.name):
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
        """The window's text controls, top to bottom, then left to right."""
        fields = self.descendants(window, self.pyatspi.ROLE_TEXT)
        fields += self.descendants(window, self.pyatspi.ROLE_ENTRY)
        return sorted(fields, key=lambda node: self.extents(node)[1::-1])

    def extents(self, node):
        box = node.queryComponent().getExtents(self.pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def press(self, pid, window, label, x_title=None):
        """A real click in the middle of the button, its window raised first
        (found by x_title when its X title differs from its accessible name)."""
        button = self.button(window, label)
        activate_window_of(pid, x_title or window.name)
        x, y, w, h = self.extents(button)
        xdotool("mousemove", x + w // 2, y + h // 2)  # --sync would wait forever when already there
        time.sleep(0.05)
        xdotool("click", "1")

    def type_into(self, node, text):
        """Puts text into an editable control as typing would leave it."""
        node.queryEditableText().setTextContents(text)
        wait_for("typed text to show", lambda: text_of(node) == text, 5)
