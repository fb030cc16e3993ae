#!/usr/bin/python3
"""End-to-end scenarios: real Quillo programs, each with its own working
directory and settings file, on a private display, driven as a person
would drive them. Only what the real programs alone can show is here: two
processes agreeing on a private session, old and new settings talking, the
window under a real window manager, and the installed launcher. The rest
is shown by the engine and in-process window tests.

    run_e2e.py --quillo BUILD/quillo [--build-dir BUILD] SCENARIO...

The script re-runs itself inside `dbus-run-session` on a display of its own
(see desktop.py); every wait is bounded and every process is stopped.
"""

import argparse
import os
import re
import shutil
import socket
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop as dk  # noqa: E402
from desktop import Failure, wait_for  # noqa: E402

SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
RUN_LIMIT = 170  # seconds for one scenario, everything included
COLUMNS = [0, 640]  # where each program's main frame sits, so no two overlap
KEY = 4242


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def said(name, text):
    return "%s Says>\n%s\n\n" % (name, text)


class Quillo:
    """One running program in a working directory of its own."""

    def __init__(self, run, label, settings, column=0):
        self.run, self.desk, self.label = run, run.desk, label
        self.workdir = os.path.join(run.scratch, label)
        os.makedirs(self.workdir, exist_ok=True)
        self.settings = dict(settings)
        self.column = column
        self.process = self.frame = None

    def write_settings(self):
        base = {"EnableAudio": "FALSE", "RememberProgramSettings": "TRUE",
                "RememberFrameSize": "TRUE", "MainFrameXPosition": str(COLUMNS[self.column]),
                "MainFrameYPosition": "0", "MainFrameWidth": "620", "MainFrameHeight": "560",
                "HomeDirectory": os.path.join(self.workdir, "home")}
        base.update(self.settings)
        with open(os.path.join(self.workdir, "quillo.ini"), "wb") as f:
            for key, value in base.items():
                f.write(("%s=%s\r\n" % (key, value)).encode("latin-1"))

    def settings_file(self):
        with open(os.path.join(self.workdir, "quillo.ini"), "rb") as f:
            return f.read().decode("latin-1")

    def start(self):
        self.write_settings()
        for name in ("quillo.html", "activity.wav"):
            target = os.path.join(self.workdir, name)
            if not os.path.exists(target):
                shutil.copy(os.path.join(SOURCE_DIR, "data", name), target)
        env = dict(os.environ, HOME=self.workdir)
        env.pop("QUILLO", None)
        with open(os.path.join(self.workdir, "program.log"), "ab") as log:
            self.process = self.run.processes.start([self.run.quillo], cwd=self.workdir,
                                                    env=env, stdout=log, stderr=log)
        # The main frame's title is "Quillo" and may gain a suffix; panels
        # are "Quillo <panel>".
        self.frame = wait_for("%s's main frame" % self.label, lambda: next(
            (w for w in self.desk.frames(self.process.pid)
             if w.name.startswith("Quillo") and not w.name.startswith("Quillo ")), None),
            limit=20)
        self.desk.button(self.frame, "Host")  # the chat panel is built
        return self

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self):
        wait_for("%s to exit" % self.label, lambda: self.process.poll() is not None)

    def press(self, label, window=None):
        self.desk.press(self.process.pid, window or self.frame, label)

    def editable_fields(self, window):
        return [f for f in self.desk.text_fields(window) if self.desk.editable(f)]

    def conversation(self):
        fields = [f for f in self.desk.text_fields(self.frame) if not self.desk.editable(f)]
        if not fields:
            raise Failure("%s: no conversation window" % self.label)
        return dk.Desktop.text_of(fields[0])

    def wait_conversation(self, text):
        wait_for("%s's conversation to show %r" % (self.label, text),
                 lambda: text in self.conversation())

    def send(self, text):
        box = self.editable_fields(self.frame)[-1]
        self.desk.type_into(box, text)
        self.press("<Send>")
        wait_for("%s's input box to clear" % self.label,
                 lambda: dk.Desktop.text_of(box) == "", limit=10)

    def panel(self, title):
        return self.desk.frame(self.process.pid, title)

    def close_panel(self, panel):
        """Closes a panel with its Close button, unless it hid itself."""
        try:
            showing = self.desk.showing(panel)
        except Exception:
            showing = False
        if showing:
            self.press("Close", panel)
            wait_for("the panel to hide", lambda: not self.desk.showing(panel), limit=5)

    def stats_text(self):
        self.press("Stats")
        panel = self.panel("Quillo Online Stats")
        parts = [dk.Desktop.text_of(f) for f in self.desk.text_fields(panel)]
        parts += [label.name for label in self.desk.descendants(panel,
                                                                self.desk.pyatspi.ROLE_LABEL)]
        self.press("Close", panel)
        return "\n".join(parts)

    def _alerts(self):
        return [w for w in self.desk.frames(self.process.pid)
                if w.getRole() == self.desk.pyatspi.ROLE_ALERT]

    def answer(self, button, expect):
        """Presses a button of the program's message box once it says
        `expect` (toolkits name the box's accessible window after its kind,
        not its title "Program Message")."""
        box = wait_for("%s's message box" % self.label, lambda: next(iter(self._alerts()), None))
        labels = self.desk.descendants(box, self.desk.pyatspi.ROLE_LABEL)
        shown = "\n".join(label.name for label in labels)
        if expect not in shown:
            raise Failure("%s: the message box says %r, not %r" % (self.label, shown, expect))
        self.desk.press(self.process.pid, box, button, x_title="Program Message")
        wait_for("the message box to close", lambda: not self._alerts(), limit=10)

    def close_window(self):
        """Asks the window manager to close the main frame, as its title
        bar's close button would, until the program asks its question or
        ends (a key pressed while the window is still being activated can
        be lost)."""
        for _ in range(4):
            dk.XTool.activate_window_of(self.process.pid, self.frame.name)
            dk.XTool.key("alt+F4")
            try:
                return wait_for("%s to answer the close request" % self.label,
                                lambda: self.process.poll() is not None or self._alerts(),
                                limit=3)
            except Failure:
                continue
        raise Failure("%s did not react to the close request" % self.label)

    def menu(self, *path):
        """Opens a menu and picks an item with real clicks."""
        pyatspi = self.desk.pyatspi
        node = wait_for("%s's menu bar" % self.label, lambda: next(
            iter(self.desk.descendants(self.frame, pyatspi.ROLE_MENU_BAR)), None))
        for i, name in enumerate(path):
            def entry():
                for k in range(node.childCount):
                    child = node.getChildAtIndex(k)
                    if (child is not None and (i > 0 or child.getRole() == pyatspi.ROLE_MENU)
                            and child.name.replace("_", "") == name):
                        return child
            item = wait_for("menu entry %r" % name, entry, limit=10)
            if i == 0:
                self.desk.click(self.process.pid, self.frame, item)
            else:
                x, y, w, h = self.desk.extents(item)
                dk.XTool.click(x + min(w // 2, 40), y + h // 2)
            node = item


class Run:
    def __init__(self, quillo, scratch, build_dir):
        self.quillo, self.scratch, self.build_dir = quillo, scratch, build_dir
        self.processes = dk.Processes()
        self.desk = dk.Desktop(self.processes)
        self.programs = []

    def program(self, label, column=0, **settings):
        prog = Quillo(self, label, settings, column)
        self.programs.append(prog)
        return prog

    def report(self):
        """What each program shows, for the log of a failed scenario."""
        for prog in self.programs:
            if not prog.alive():
                continue
            try:
                print("--- %s's windows: %r" % (prog.label, [
                    (w.name, w.getRoleName()) for w in self.desk.frames(prog.process.pid)]))
                print("--- %s's conversation:\n%s" % (prog.label, prog.conversation()))
            except Exception as error:
                print("--- %s: %s" % (prog.label, error))


# --- scenarios ---------------------------------------------------------------


def host(run, port, **settings):
    ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port, EncryptionKey=KEY,
                      **settings).start()
    ann.press("Host")
    ann.wait_conversation("Listening on port %d\n" % port)
    return ann


def guest(run, name, port):
    return run.program(name.lower(), 1, ScreenName=name, QuilloPortNumber=port,
                       EncryptionKey=KEY).start()


def connect(prog, port, nickname="annsline"):
    prog.press("Connect")
    panel = prog.panel("Quillo Connect Panel")
    for field, value in zip(prog.editable_fields(panel), [nickname, "127.0.0.1", port, KEY]):
        prog.desk.type_into(field, str(value))
    prog.press("Connect", panel)
    prog.wait_conversation("Welcome to the Ann")
    prog.close_panel(panel)


def talk(run, privacy, check, **host_settings):
    """Ann hosts, Bob calls and check(ann, bob) looks at the start; then
    lines both ways, both sides' statistics name the privacy, and Bob ends."""
    port = free_port()
    ann = host(run, port, **host_settings)
    bob = guest(run, "Bob", port)
    connect(bob, port)
    ann.wait_conversation("Bob has established a connection\n")
    check(ann, bob)
    ann.send("words from Ann")
    bob.send("Grüße, café – ☺")
    bob.wait_conversation(said("Ann", "words from Ann"))
    ann.wait_conversation(said("Bob", "Grüße, café – ☺"))
    for side in (ann, bob):
        text = side.stats_text()
        if "Privacy: " + privacy not in text:
            raise Failure("%s's statistics lack the privacy %r: %r" % (side.label, privacy, text))
    bob.press("End")
    bob.wait_conversation("All Quillo services have been shutdown")
    ann.wait_conversation("Bob has signed off\n")


def scenario_private(run):
    """Two programs that both offer private sessions show the same
    verification code."""
    def same_code(ann, bob):
        codes = []
        for prog, partner in ((ann, "Bob"), (bob, "Ann")):
            line = "Private session with %s. Verification code: " % partner
            prog.wait_conversation(line)
            codes.append(re.search(re.escape(line) + r"(\d{4} \d{4})\n",
                                   prog.conversation()).group(1))
        if codes[0] != codes[1]:
            raise Failure("the verification codes differ: %r" % (codes,))
    talk(run, "private session", same_code)


def scenario_basic_off(run):
    """A program with private sessions off and one that prefers them talk in
    basic mode; the one that offered says the lines are readable."""
    def basic(ann, bob):
        bob.wait_conversation("Basic cipher only: Ann's program does not offer private "
                              "sessions. Lines can be read by others on the network.\n")
        for side in (ann, bob):
            if "Private session" in side.conversation():
                raise Failure("%s shows a private session" % side.label)
    talk(run, "basic cipher (not private)", basic, PrivateSessions="Off")


def launch(run, launcher, env):
    """Starts the installed launcher and waits for the program's window."""
    started = run.processes.start([launcher], cwd=run.scratch, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the installed program's window",
             lambda: any(w.name == "Quillo" for w in run.desk.frames(started.pid)), limit=20)
    return started


def scenario_install(run):
    """`cmake --install`, the menu entry, and the launcher giving each user
    a working directory of their own."""
    prefix = os.path.join(run.scratch, "prefix")
    result = subprocess.run(["cmake", "--install", run.build_dir, "--prefix", prefix],
                            capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise Failure("cmake --install failed:\n" + result.stdout + result.stderr)
    for path in ("bin/quillo", "bin/quillo-term", "share/quillo/quillo.html",
                 "share/quillo/activity.wav", "share/icons/hicolor/32x32/apps/quillo.png",
                 "share/icons/hicolor/16x16/apps/quillo.png",
                 "share/icons/hicolor/scalable/apps/quillo.svg"):
        if not os.path.exists(os.path.join(prefix, path)):
            raise Failure("not installed: " + path)
    entry_path = os.path.join(prefix, "share/applications/quillo.desktop")
    entry = open(entry_path).read()
    launcher = os.path.join(prefix, "bin/quillo-launcher")
    if "Exec=%s" % launcher not in entry or "Icon=quillo" not in entry:
        raise Failure("the menu entry does not name the launcher and icon:\n" + entry)
    check = subprocess.run(["desktop-file-validate", entry_path], capture_output=True, text=True,
                           timeout=30)
    if check.returncode != 0:
        raise Failure("the menu entry is not valid:\n" + check.stdout + check.stderr)

    # The first start makes $HOME/quillo with the help page and sound and
    # runs the program there; a second keeps the user's own files.
    env = dict(os.environ, HOME=os.path.join(run.scratch, "home"))
    env.pop("QUILLO", None)
    workdir = os.path.join(env["HOME"], "quillo")
    started = launch(run, launcher, env)
    if os.path.realpath(os.readlink("/proc/%d/cwd" % started.pid)) != os.path.realpath(workdir):
        raise Failure("the launcher did not start the program in $HOME/quillo")
    for name in ("quillo.html", "activity.wav"):
        if open(os.path.join(workdir, name), "rb").read() != open(
                os.path.join(prefix, "share/quillo", name), "rb").read():
            raise Failure("%s was not copied into the working directory" % name)
    run.processes.stop(started)
    with open(os.path.join(workdir, "quillo.html"), "w") as f:
        f.write("mine")
    run.processes.stop(launch(run, launcher, env))
    if open(os.path.join(workdir, "quillo.html")).read() != "mine":
        raise Failure("the launcher overwrote the user's help page")


# What GTK, GDK and GLib print on standard error when a window is laid out
# below its minimum or misused.
TOOLKIT_WARNING = re.compile(r"^(?:\(\S+:\d+\): )?[\w-]+-(WARNING|CRITICAL) \*\*.*$", re.M)


def quiet_checker():
    """check(step, *progs) fails the step after which a program's log holds
    a new toolkit warning (a warning printed late may be charged to the
    next step)."""
    seen = {}

    def check(step, *progs):
        for prog in progs:
            with open(os.path.join(prog.workdir, "program.log"), "rb") as f:
                log = f.read().decode("utf-8", "replace")
            warnings = [m.group(0) for m in TOOLKIT_WARNING.finditer(log)]
            new, seen[prog.label] = warnings[seen.get(prog.label, 0):], len(warnings)
            if new:
                raise Failure("%s: the toolkit warned after %s:\n%s" % (prog.label, step,
                                                                        "\n".join(new)))
    return check


def settled_size(window, wanted=None, limit=10):
    """The window's size once it holds still for a moment (and is the
    wanted size, when one is given)."""
    seen = []

    def steady():
        out = dk.XTool.run("getwindowgeometry", "--shell", window).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        seen.append((int(values["WIDTH"]), int(values["HEIGHT"])))
        return len(seen) >= 4 and len(set(seen[-4:])) == 1 and (
            wanted is None or seen[-1] == wanted) and seen[-1]
    try:
        return wait_for("window %s to settle" % window, steady, limit=limit, step=0.15)
    except Failure:
        raise Failure("window %s did not settle at %r; last sizes %r" % (
            window, wanted or "any size", seen[-4:]))


def started_window(prog):
    prog.start()
    window = dk.XTool.window_of(prog.process.pid, "Quillo")
    if not window:
        raise Failure("%s has no window" % prog.label)
    settled_size(window)
    return window


def scenario_window(run):
    """Start, resize to the smallest and the whole screen, open every panel
    and close, under a window manager, without a toolkit warning; and the
    remembered geometry and sash come back exactly."""
    geometry = {"MainFrameWidth": 620, "MainFrameHeight": 560, "SplitterPosition": 150}
    port = free_port()
    ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port, EncryptionKey=KEY,
                      MailServer="127.0.0.1", ReturnEmailAddress="ann@example.org", **geometry)
    quiet = quiet_checker()
    # Started and closed untouched, the window leaves its geometry as it was.
    started_window(ann)
    time.sleep(1)  # activation, the clock's ticks
    ann.menu("File", "Exit")
    ann.wait_exit()
    text = ann.settings_file()
    stored = {key: int(re.search(r"^%s=(-?\d+)\r$" % key, text, re.M).group(1))
              for key in geometry}
    if stored != geometry:
        raise Failure("the geometry moved from %r to %r" % (geometry, stored))
    quiet("a start and an exit", ann)

    frame = started_window(ann)
    # The smallest size the window allows, then the whole screen and back.
    # Shrunk twice: a layout that follows the first shrink can raise the
    # minimum by a few pixels, and leaving full screen restores the raised one.
    for _ in range(2):
        dk.XTool.run("windowsize", frame, 100, 100)
        smallest = settled_size(frame)
    if smallest[0] <= 100 or smallest[1] <= 100:
        raise Failure("the window shrank to %r, below its controls" % (smallest,))
    quiet("the smallest size", ann)
    for change, size in (("add", (1280, 1024)), ("remove", smallest)):
        subprocess.run(["wmctrl", "-i", "-r", frame, "-b", change + ",fullscreen"], timeout=15,
                       check=True)
        settled_size(frame, size)
        quiet("full screen " + change, ann)
    dk.XTool.run("windowsize", frame, 1000, 720)
    settled_size(frame)
    quiet("1000x720", ann)

    # Every panel, opened and closed as a person would.
    for button, title in (("Connect", "Quillo Connect Panel"), ("Config", "Quillo Config Panel"),
                          ("Stats", "Quillo Online Stats"), (None, "Page Setup"),
                          ("Invite", "Quillo Invitation Panel")):
        if button is None:
            ann.menu("Print", title)
        else:
            if button == "Invite":  # offered while hosting
                ann.press("Host")
                ann.wait_conversation("Listening on port %d\n" % port)
            ann.press(button)
        ann.close_panel(ann.panel(title))
        quiet("the panel %r" % title, ann)
    # Bob's event window shows the progress of his call until it is through.
    bob = guest(run, "Bob", port)
    connect(bob, port)
    ann.wait_conversation("Bob has established a connection\n")
    quiet("a call and its event window", ann, bob)

    # Closed mid-conversation, each asks first.
    for prog, doing in ((bob, "connected to"), (ann, "hosting")):
        prog.close_window()
        prog.answer("Yes", "You are currently %s Quillo services." % doing)
        prog.wait_exit()
    quiet("closing", ann, bob)


SCENARIOS = {
    "private": scenario_private,
    "basic_off": scenario_basic_off,
    "install": scenario_install,
    "window": scenario_window,
}


def inner(args):
    dk.stop_on_sigterm()
    failures = 0
    for name in args.scenarios:
        scratch = dk.scratch_directory(name)
        run = None
        began = time.monotonic()
        try:
            run = Run(args.quillo, scratch, args.build_dir)
            SCENARIOS[name](run)
            print("e2e %s: passed in %.1f s" % (name, time.monotonic() - began), flush=True)
        except Exception:
            failures += 1
            print("e2e %s: FAILED after %.1f s" % (name, time.monotonic() - began), flush=True)
            traceback.print_exc()
            if run is not None:
                run.report()
            for prog in run.programs if run is not None else []:
                log = os.path.join(prog.workdir, "program.log")
                tail = open(log, "rb").read()[-2000:] if os.path.exists(log) else b""
                if tail.strip():
                    print("--- %s's program.log\n%s" % (prog.label,
                                                        tail.decode("utf-8", "replace")))
        finally:
            if run is not None:
                run.processes.stop_all()
            if failures == 0 or not args.keep:
                dk.remove_directory(scratch)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quillo", required=True)
    parser.add_argument("--build-dir", default="")
    parser.add_argument("--inner", action="store_true")
    parser.add_argument("--keep", action="store_true", help="keep the scratch files of failures")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    args.quillo = os.path.abspath(args.quillo)
    if args.inner:
        return inner(args)
    argv = ["--quillo", args.quillo, "--build-dir", args.build_dir] + (
        ["--keep"] if args.keep else []) + args.scenarios
    return dk.outer_main(os.path.abspath(sys.argv[0]), argv, RUN_LIMIT * len(args.scenarios))


if __name__ == "__main__":
    sys.exit(main())
