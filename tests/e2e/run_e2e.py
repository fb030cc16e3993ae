#!/usr/bin/python3
"""Real Quillo programs, each in a working directory of its own, on a private
display (desktop.py), driven as a person would; only what real programs alone
show. `measure` (not a test) gives the README's start-up and idle figures.
    run_e2e.py --quillo BUILD/quillo [--keep] SCENARIO...
"""

import argparse
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop as dk  # noqa: E402
from desktop import Failure, wait_for  # noqa: E402

SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
RUN_LIMIT = 170  # seconds for one scenario, everything included
KEY = 4242


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Quillo:

    def __init__(self, run, label, settings, column, ini):
        self.run, self.desk, self.label, self.ini = run, run.desk, label, ini
        self.workdir = os.path.join(run.scratch, label)
        os.makedirs(self.workdir, exist_ok=True)
        # Each program's frame sits in a column of its own, so no two overlap.
        self.settings = {"EnableAudio": "FALSE", "RememberProgramSettings": "TRUE",
                         "RememberFrameSize": "TRUE", "MainFrameXPosition": 640 * column,
                         "MainFrameYPosition": 0, "MainFrameWidth": 620, "MainFrameHeight": 560,
                         "HomeDirectory": os.path.join(self.workdir, "home")}
        self.settings.update(settings)
        self.process = self.frame = None

    def write_settings(self):
        with open(os.path.join(self.workdir, self.ini), "wb") as f:
            f.write("".join("%s=%s\r\n" % kv for kv in self.settings.items()).encode("latin-1"))

    def start(self):
        self.write_settings()
        for name in ("quillo.html", "activity.wav"):
            shutil.copy(os.path.join(SOURCE_DIR, "data", name), self.workdir)
        env = dict(os.environ, HOME=self.workdir)
        env.pop("QUILLO", None)
        # Another settings file is named by "quillo ANYTHING PATH", which the
        # toolkit's own option parsing must not turn away.
        argv = [self.run.quillo] + (["ANYTHING", self.ini] if self.ini != "quillo.ini" else [])
        with open(os.path.join(self.workdir, "program.log"), "ab") as log:
            self.process = self.run.processes.start(argv, cwd=self.workdir, env=env, stdout=log,
                                                    stderr=log)
        # The main frame is "Quillo" (maybe with a suffix); panels "Quillo <panel>".
        self.frame = wait_for("%s's main frame" % self.label, lambda: next(
            (w for w in self.desk.frames(self.process.pid)
             if w.name.startswith("Quillo") and not w.name.startswith("Quillo ")), None), 20)
        self.desk.button(self.frame, "Host")  # the chat panel is built
        return self

    def wait_exit(self):
        wait_for("%s to exit" % self.label, lambda: self.process.poll() is not None)

    def press(self, label, window=None):
        self.desk.press(self.process.pid, window or self.frame, label)

    def editable_fields(self, window):
        return [f for f in self.desk.text_fields(window) if self.desk.editable(f)]

    def conversation(self):
        fields = [f for f in self.desk.text_fields(self.frame) if not self.desk.editable(f)]
        return dk.text_of(fields[0]) if fields else ""

    def wait_conversation(self, text):
        wait_for("%s's conversation to show %r" % (self.label, text),
                 lambda: text in self.conversation())

    def send(self, text):
        box = self.editable_fields(self.frame)[-1]
        self.desk.type_into(box, text)
        self.press("<Send>")
        wait_for("%s's input box to clear" % self.label, lambda: dk.text_of(box) == "", 10)

    def panel(self, title):
        return wait_for("window %r" % title, lambda: next(
            (w for w in self.desk.frames(self.process.pid) if w.name == title), None))

    def _alerts(self):
        return [w for w in self.desk.frames(self.process.pid)
                if w.getRole() == self.desk.pyatspi.ROLE_ALERT]

    def answer(self, button, expect):
        """Presses a button of the message box once it says `expect` (its
        accessible window is named after its kind, not "Program Message")."""
        box = wait_for("%s's message box" % self.label, lambda: next(iter(self._alerts()), None))
        shown = "\n".join(n.name for n in self.desk.descendants(box, self.desk.pyatspi.ROLE_LABEL))
        if expect not in shown:
            raise Failure("%s: the message box says %r, not %r" % (self.label, shown, expect))
        self.desk.press(self.process.pid, box, button, x_title="Program Message")
        wait_for("the message box to close", lambda: not self._alerts(), 10)

    def close_window(self):
        """Alt+F4 through the window manager until the program asks or ends
        (a key pressed while the window is being activated can be lost)."""
        for _ in range(4):
            dk.activate_window_of(self.process.pid, self.frame.name)
            dk.xdotool("key", "--clearmodifiers", "alt+F4")
            try:
                return wait_for("%s to answer the close request" % self.label,
                                lambda: self.process.poll() is not None or self._alerts(), 3)
            except Failure:
                continue
        raise Failure("%s did not react to the close request" % self.label)


class Run:
    def __init__(self, quillo, scratch):
        self.quillo, self.scratch = quillo, scratch
        self.processes = dk.Processes()
        self.desk = dk.Desktop(self.processes)
        self.programs = []

    def program(self, label, column=0, ini="quillo.ini", **settings):
        self.programs.append(Quillo(self, label, settings, column, ini))
        return self.programs[-1]


# --- scenarios ---------------------------------------------------------------


def guest(run, name, port):
    """The caller, on a settings file named on its command line: the partner
    sees its name only if start-up read that file."""
    bob = run.program(name.lower(), 1, ini=name.lower() + ".ini", ScreenName=name,
                      QuilloPortNumber=port, EncryptionKey=KEY).start()
    bob.press("Connect")
    panel = bob.panel("Quillo Connect Panel")
    for field, value in zip(bob.editable_fields(panel), ["annsline", "127.0.0.1", port, KEY]):
        bob.desk.type_into(field, str(value))
    bob.press("Connect", panel)  # the panel closes itself
    bob.wait_conversation("Welcome to the Ann")
    return bob


def scenario_private(run):
    """Two programs that both offer private sessions show the same code, and
    lines go both ways until Bob ends."""
    port = free_port()
    ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port,
                      EncryptionKey=KEY).start()
    ann.press("Host")
    ann.wait_conversation("Listening on port %d\n" % port)
    bob = guest(run, "Bob", port)
    ann.wait_conversation("Bob has established a connection\n")
    codes = []
    for prog, partner in ((ann, "Bob"), (bob, "Ann")):
        line = "Private session with %s. Verification code: " % partner
        prog.wait_conversation(line)
        found = re.search(re.escape(line) + r"(\d{4} \d{4})\n", prog.conversation())
        codes.append(found.group(1))
    if codes[0] != codes[1]:
        raise Failure("the verification codes differ: %r" % (codes,))
    ann.send("words from Ann")
    bob.send("Grüße, café – ☺")
    bob.wait_conversation("Ann Says>\nwords from Ann\n\n")
    ann.wait_conversation("Bob Says>\nGrüße, café – ☺\n\n")
    bob.press("End")
    bob.wait_conversation("All Quillo services have been shutdown")
    ann.wait_conversation("Bob has signed off\n")


# What GTK, GDK and GLib print when a window is laid out below its minimum
# or misused.
TOOLKIT_WARNING = re.compile(r"^(?:\(\S+:\d+\): )?[\w-]+-(?:WARNING|CRITICAL) \*\*.*$", re.M)


def quiet_checker():
    """check(step, *progs) fails the step after which a program's log holds
    a new toolkit warning (one printed late may be charged to the next)."""
    seen = {}

    def check(step, *progs):
        for prog in progs:
            with open(os.path.join(prog.workdir, "program.log"), "rb") as f:
                warnings = TOOLKIT_WARNING.findall(f.read().decode("utf-8", "replace"))
            new, seen[prog.label] = warnings[seen.get(prog.label, 0):], len(warnings)
            if new:
                raise Failure("%s: the toolkit warned after %s:\n%s" % (prog.label, step,
                                                                        "\n".join(new)))
    return check


def settled_size(window, wanted=None):
    """The window's size once it holds still (at `wanted`, when given)."""
    seen = []

    def steady():
        out = dk.xdotool("getwindowgeometry", "--shell", window).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        seen.append((int(values["WIDTH"]), int(values["HEIGHT"])))
        return len(seen) >= 4 and len(set(seen[-4:])) == 1 and (
            wanted is None or seen[-1] == wanted) and seen[-1]
    try:
        return wait_for("window %s to settle" % window, steady, 10, step=0.15)
    except Failure:
        raise Failure("window %s did not settle at %r; last sizes %r" % (window, wanted,
                                                                           seen[-4:]))


def started_window(prog):
    prog.start()
    window = dk.window_of(prog.process.pid, "Quillo")
    settled_size(window)
    return window


def scenario_window(run):
    """Under a window manager, without a toolkit warning: the remembered geometry
    and sash kept exactly, smallest size, full screen and back, the panels, a
    call in basic mode (Ann has private sessions off, Bob's program offers
    them: his side says the lines are readable) with a line each way, and
    closing with the question."""
    geometry = {"MainFrameWidth": 620, "MainFrameHeight": 560, "SplitterPosition": 150}
    port = free_port()
    ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port, EncryptionKey=KEY,
                      MailServer="127.0.0.1", ReturnEmailAddress="ann@example.org",
                      PrivateSessions="Off", **geometry)
    quiet = quiet_checker()
    started_window(ann)
    time.sleep(1)  # activation, the clock's ticks
    ann.close_window()
    ann.wait_exit()
    text = open(os.path.join(ann.workdir, "quillo.ini"), "rb").read().decode("latin-1")
    stored = {k: int(re.search(r"^%s=(-?\d+)\r$" % k, text, re.M).group(1)) for k in geometry}
    if stored != geometry:
        raise Failure("the geometry moved from %r to %r" % (geometry, stored))
    quiet("a start and an exit", ann)

    frame = started_window(ann)
    # Shrunk twice: a layout that follows the first shrink can raise the
    # minimum, and leaving full screen restores the raised one.
    for _ in range(2):
        dk.xdotool("windowsize", frame, 100, 100)
        smallest = settled_size(frame)
    if smallest[0] <= 100 or smallest[1] <= 100:
        raise Failure("the window shrank to %r, below its controls" % (smallest,))
    for change, size in (("add", (1280, 1024)), ("remove", smallest)):
        subprocess.run(["wmctrl", "-i", "-r", frame, "-b", change + ",fullscreen"], timeout=15,
                       check=True)
        settled_size(frame, size)
    dk.xdotool("windowsize", frame, 1000, 720)
    settled_size(frame)
    quiet("resizing", ann)

    for button, title in (("Connect", "Quillo Connect Panel"), ("Config", "Quillo Config Panel"),
                          ("Stats", "Quillo Online Stats"), ("Invite", "Quillo Invitation Panel")):
        if button == "Invite":  # offered while hosting
            ann.press("Host")
            ann.wait_conversation("Listening on port %d\n" % port)
        ann.press(button)
        panel = ann.panel(title)
        ann.press("Close", panel)
        wait_for("the panel to hide", lambda: not ann.desk.showing(panel), 5)
        quiet("the panel %r" % title, ann)
    bob = guest(run, "Bob", port)  # his event window shows the call's progress
    ann.wait_conversation("Bob has established a connection\n")
    bob.wait_conversation("Basic cipher only: Ann's program does not offer private sessions. "
                          "Lines can be read by others on the network.\n")
    if any("Private session" in side.conversation() for side in (ann, bob)):
        raise Failure("a side shows a private session")
    ann.send("basic words from Ann")
    bob.send("basic words from Bob")
    bob.wait_conversation("Ann Says>\nbasic words from Ann\n\n")
    ann.wait_conversation("Bob Says>\nbasic words from Bob\n\n")
    for prog, doing in ((bob, "connected to"), (ann, "hosting")):
        prog.close_window()
        prog.answer("Yes", "You are currently %s Quillo services." % doing)
        prog.wait_exit()
    quiet("a call and closing", ann, bob)


def idle_share(programs, seconds=20):
    """Each program's own processor time over `seconds`, in % of one core."""
    def cpu(prog):
        with open("/proc/%d/stat" % prog.process.pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")  # utime, stime
    time.sleep(1)
    before, began = [cpu(p) for p in programs], time.monotonic()
    time.sleep(seconds)
    spent = time.monotonic() - began
    return tuple(100.0 * (cpu(p) - b) / spent for p, b in zip(programs, before))


def scenario_measure(run):
    """Start-up until the main window is mapped (five starts), then idle
    use waiting, hosting with nobody connected, and on both ends of a call."""
    times = []
    for i in range(5):
        prog = run.program("start%d" % i, ScreenName="Ann")
        prog.write_settings()
        began = time.monotonic()
        process = run.processes.start([run.quillo], cwd=prog.workdir, stdout=subprocess.DEVNULL,
                                      env=dict(os.environ, HOME=prog.workdir),
                                      stderr=subprocess.DEVNULL)
        wait_for("the main window", lambda: dk.window_of(process.pid, "Quillo"), 30,
                 step=0.005)
        times.append(1000 * (time.monotonic() - began))
        run.processes.stop(process)
    print("start-up to a mapped main window: median %.0f ms (%.0f to %.0f ms, 5 starts)"
          % (statistics.median(times), min(times), max(times)))
    port = free_port()
    ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port, EncryptionKey=KEY).start()
    print("idle, waiting (no session): %.2f %% of one core" % idle_share([ann]))
    ann.press("Host")
    ann.wait_conversation("Listening on port %d\n" % port)
    print("idle, hosting with nobody connected: %.2f %% of one core" % idle_share([ann]))
    guest(run, "Bob", port)
    ann.wait_conversation("Bob has established a connection\n")
    print("idle, connected: host %.2f %%, guest %.2f %% of one core"
          % idle_share(run.programs[-2:]))


SCENARIOS = {"private": scenario_private, "window": scenario_window, "measure": scenario_measure}


def inner(args):
    dk.stop_on_sigterm()
    failures = 0
    for name in args.scenarios:
        scratch = tempfile.mkdtemp(prefix="quillo-e2e-%s-" % name)
        began, run = time.monotonic(), None
        try:
            run = Run(args.quillo, scratch)
            SCENARIOS[name](run)
            print("e2e %s: passed in %.1f s" % (name, time.monotonic() - began), flush=True)
        except Exception:
            failures += 1
            print("e2e %s: FAILED after %.1f s" % (name, time.monotonic() - began), flush=True)
            traceback.print_exc()
        finally:
            if run is not None:
                run.processes.stop_all()
            if failures == 0 or not args.keep:
                shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quillo", required=True)
    parser.add_argument("--inner", action="store_true")
    parser.add_argument("--keep", action="store_true", help="keep the scratch files of failures")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    args.quillo = os.path.abspath(args.quillo)
    if args.inner:
        return inner(args)
    argv = ["--quillo", args.quillo] + ["--keep"] * args.keep + args.scenarios
    return dk.outer_main(os.path.abspath(sys.argv[0]), argv, RUN_LIMIT * len(args.scenarios))


if __name__ == "__main__":
    sys.exit(main())
