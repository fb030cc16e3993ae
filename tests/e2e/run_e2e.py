#!/usr/bin/python3
"""End-to-end scenarios: real Quillo programs, each with its own working
directory and settings file, on a private display, driven as a person
would drive them.

    run_e2e.py --quillo BUILD/quillo SCENARIO...      (ctest runs one each)
    run_e2e.py --quillo BUILD/quillo --build-dir BUILD install

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

# Where each program's main frame sits, so no two overlap.
COLUMNS = [0, 640]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def said(name, text):
    return "%s Says>\n%s\n\n" % (name, text)


class Quillo:
    """One running program in a working directory of its own."""

    def __init__(self, run, label, settings, column=0, workdir=None):
        self.run = run
        self.desk = run.desk
        self.label = label
        self.workdir = workdir or os.path.join(run.scratch, label)
        os.makedirs(self.workdir, exist_ok=True)
        self.settings = dict(settings)
        self.column = column
        self.process = None
        self.frame = None

    # --- life ---------------------------------------------------------------

    def write_settings(self):
        base = {
            "EnableAudio": "FALSE",
            "RememberProgramSettings": "TRUE",
            "RememberFrameSize": "TRUE",
            "MainFrameXPosition": str(COLUMNS[self.column]),
            "MainFrameYPosition": "0",
            "MainFrameWidth": "620",
            "MainFrameHeight": "560",
            "HomeDirectory": os.path.join(self.workdir, "home"),
        }
        base.update(self.settings)
        with open(os.path.join(self.workdir, "quillo.ini"), "wb") as f:
            for key, value in base.items():
                if value is not None:  # None leaves the key to its built-in value
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
        env = dict(os.environ)
        env["HOME"] = self.workdir
        env.pop("QUILLO", None)
        log = open(os.path.join(self.workdir, "program.log"), "ab")
        self.process = self.run.processes.start([self.run.quillo], cwd=self.workdir, env=env,
                                                stdout=log, stderr=log)
        log.close()
        self.frame = wait_for("%s's main frame" % self.label, self._main_frame, limit=20)
        self.chat_button("Host")  # the chat panel is built
        return self

    def _main_frame(self):
        for window in self.desk.frames(self.process.pid):
            if window.name.startswith("Quillo") and not window.name.startswith("Quillo "):
                return window
        return None

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def stop(self):
        if self.process is not None:
            self.run.processes.stop(self.process)

    def wait_exit(self, limit=15):
        wait_for("%s to exit" % self.label, lambda: self.process.poll() is not None, limit=limit)
        return self.process.returncode

    # --- the main frame ---------------------------------------------------

    def chat_button(self, label):
        return self.desk.button(self.frame, label)

    def press(self, label, window=None):
        window = window or self.frame
        self.desk.press(self.process.pid, window, label)

    def conversation_control(self):
        fields = [f for f in self.desk.text_fields(self.frame) if not self.desk.editable(f)]
        if not fields:
            raise Failure("%s: no conversation window" % self.label)
        return fields[0]

    def editable_fields(self, window):
        return [f for f in self.desk.text_fields(window) if self.desk.editable(f)]

    def first_editable_field(self, window, what):
        return wait_for(what, lambda: next(iter(self.editable_fields(window)), None))

    def input_control(self):
        fields = self.editable_fields(self.frame)
        if not fields:
            raise Failure("%s: no input box" % self.label)
        return fields[-1]

    def conversation(self):
        return dk.Desktop.text_of(self.conversation_control())

    def wait_conversation(self, text, count=1, limit=dk.DEFAULT_WAIT):
        return wait_for("%s's conversation to show %r" % (self.label, text),
                        lambda: self.conversation().count(text) >= count, limit=limit)

    def send(self, text, multi_line=False):
        self.desk.check(self.process.pid, self.frame, "Process multi-line text", multi_line)
        box = self.input_control()
        self.desk.type_into(box, text)
        self.press("<Send>")
        wait_for("%s's input box to clear" % self.label,
                 lambda: dk.Desktop.text_of(box) == "", limit=10)

    # --- dialogs and panels ----------------------------------------------

    def panel(self, title, limit=dk.DEFAULT_WAIT):
        return self.desk.frame(self.process.pid, title, limit=limit)

    def dialog(self, title, limit=dk.DEFAULT_WAIT):
        return self.desk.frame(self.process.pid, title, limit=limit)

    def message_box(self, limit=dk.DEFAULT_WAIT):
        """The program's message box ("Program Message"); toolkits name its
        accessible window after its kind (Question, Warning...), not its
        title."""
        alert = self.desk.pyatspi.ROLE_ALERT
        return wait_for("%s's message box" % self.label, lambda: next(
            (w for w in self.desk.frames(self.process.pid) if w.getRole() == alert), None),
            limit=limit)

    def message_text(self, box):
        labels = self.desk.descendants(box, self.desk.pyatspi.ROLE_LABEL)
        return "\n".join(label.name for label in labels)

    def answer(self, button, expect=None):
        """Presses a button of the message box, first checking its text."""
        box = self.message_box()
        shown = self.message_text(box)
        if expect is not None and expect not in shown:
            raise Failure("%s: the message box says %r, not %r" % (self.label, shown, expect))
        self.desk.press(self.process.pid, box, button, x_title="Program Message")
        alert = self.desk.pyatspi.ROLE_ALERT
        wait_for("the message box to close", lambda: all(
            w.getRole() != alert for w in self.desk.frames(self.process.pid)), limit=10)
        return shown

    def connect(self, nickname, address, port, key):
        self.press("Connect")
        panel = self.panel("Quillo Connect Panel")
        self.fill_connect_fields(panel, [nickname, address, str(port), str(key)])
        self.press("Connect", panel)
        return panel

    def close_panel(self, panel):
        """Closes a panel with its Close button, unless it hid itself."""
        try:
            showing = self.desk.showing(panel)
        except Exception:
            showing = False
        if showing:
            self.press("Close", panel)
            wait_for("the panel to hide", lambda: not self.desk.showing(panel), limit=5)

    def connect_fields(self, panel):
        return self.editable_fields(panel)[:4]

    def fill_connect_fields(self, panel, values):
        for field, value in zip(self.connect_fields(panel), values):
            self.desk.type_into(field, value)

    def stats_text(self):
        self.press("Stats")
        panel = self.panel("Quillo Online Stats")
        fields = self.desk.text_fields(panel)
        text = "\n".join(dk.Desktop.text_of(f) for f in fields)
        labels = self.desk.descendants(panel, self.desk.pyatspi.ROLE_LABEL)
        text += "\n" + "\n".join(label.name for label in labels)
        return panel, text

    def close_window(self):
        """Asks the window manager to close the main frame, as its title
        bar's close button would, until the program asks its question or
        ends (a key pressed while the window is still being activated can
        be lost)."""
        alert = self.desk.pyatspi.ROLE_ALERT

        def asked_or_gone():
            if self.process.poll() is not None:
                return True
            return any(w.getRole() == alert for w in self.desk.frames(self.process.pid))
        for _ in range(4):
            dk.XTool.activate_window_of(self.process.pid, self.frame.name)
            dk.XTool.key("alt+F4")
            try:
                return wait_for("%s to answer the close request" % self.label, asked_or_gone,
                                limit=3)
            except Failure:
                continue
        raise Failure("%s did not react to the close request" % self.label)

    def menu(self, *path):
        """Opens a menu and picks an item with real clicks."""
        bar = wait_for("%s's menu bar" % self.label,
                       lambda: next(iter(self.desk.descendants(
                           self.frame, self.desk.pyatspi.ROLE_MENU_BAR)), None))
        node = bar
        for i, name in enumerate(path):
            role = self.desk.pyatspi.ROLE_MENU if i == 0 else None
            item = wait_for("menu entry %r" % name, lambda: next(
                (c for c in self._menu_children(node, role) if c.name.replace("_", "") == name),
                None), limit=10)
            if i == 0:
                self.desk.click(self.process.pid, self.frame, item)
            else:
                x, y, w, h = self.desk.extents(item)
                dk.XTool.click(x + min(w // 2, 40), y + h // 2)
            node = item

    def _menu_children(self, node, role):
        out = []
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None and (role is None or child.getRole() == role):
                out.append(child)
        return out


class Run:
    def __init__(self, quillo, scratch, build_dir):
        self.quillo = quillo
        self.scratch = scratch
        self.build_dir = build_dir
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
                windows = [(w.name, w.getRoleName()) for w in self.desk.frames(prog.process.pid)]
                print("--- %s's windows: %r" % (prog.label, windows))
                for w in self.desk.frames(prog.process.pid):
                    if w.getRole() == self.desk.pyatspi.ROLE_ALERT:
                        print("    message box: %r" % prog.message_text(w))
                print("--- %s's conversation:\n%s" % (prog.label, prog.conversation()))
            except Exception as error:
                print("--- %s: %s" % (prog.label, error))


# --- scenarios ---------------------------------------------------------------

KEY = 4242


def host(run, port, key=KEY, column=0, **settings):
    ann = run.program("ann", column, ScreenName="Ann", QuilloPortNumber=port, EncryptionKey=key,
                      **settings)
    ann.start()
    ann.press("Host")
    ann.wait_conversation("Listening on port %d\n" % port)
    return ann


def guest(run, name, port, key=KEY, column=1):
    return run.program(name.lower(), column, ScreenName=name, QuilloPortNumber=port,
                       EncryptionKey=key).start()


def connect(prog, port, key=KEY, nickname="annsline"):
    panel = prog.connect(nickname, "127.0.0.1", port, key)
    prog.wait_conversation("Welcome to the Ann")
    prog.close_panel(panel)


def talking_pair(run):
    """Ann hosting on a fresh port and Bob in conversation with her."""
    port = free_port()
    ann = host(run, port)
    bob = guest(run, "Bob", port)
    connect(bob, port)
    ann.wait_conversation("Bob has established a connection\n")
    return port, ann, bob


def guest_ends(bob, ann):
    """Bob presses End; both sides see him go."""
    bob.press("End")
    bob.wait_conversation("All Quillo services have been shutdown")
    ann.wait_conversation("Bob has signed off\n")


def scenario_conversation(run):
    port, ann, bob = talking_pair(run)

    lines = []
    for i in range(10):
        lines.append(("Ann", ann, "line %d from Ann" % i, False))
        lines.append(("Bob", bob, "line %d from Bob" % i, False))
    lines[4] = ("Ann", ann, "first row\nsecond row\nthird row", True)
    lines[7] = ("Bob", bob, "Grüße, café, naïve – ☺", False)
    for name, prog, text, multi in lines:
        prog.send(text, multi_line=multi)
    for name, prog, text, multi in lines:
        for side in (ann, bob):
            side.wait_conversation(said(name, text))
    # Each sender's lines appear in the order they were sent (the two
    # directions may interleave differently on the two screens).
    for side in (ann, bob):
        transcript = side.conversation()
        for sender in ("Ann", "Bob"):
            positions = [transcript.find(said(name, text)) for name, _, text, _ in lines
                         if name == sender]
            if positions != sorted(positions):
                raise Failure("%s shows %s's lines out of order" % (side.label, sender))

    for side, expect in ((ann, "You are configured as Quillo server"),
                         (bob, "You are connected to a Quillo server")):
        panel, text = side.stats_text()
        for part in (expect, "Port Number: %d" % port, "Encryption Key: %d" % KEY):
            if part not in text:
                raise Failure("%s's statistics lack %r: %r" % (side.label, part, text))
        side.press("Close", panel)

    # A third program calling while Bob is connected is told the line is busy.
    cay = guest(run, "Cay", port, column=1)
    cay.connect("annsline", "127.0.0.1", port, KEY)
    cay.wait_conversation("Ann Quillo line is currently busy.\nSigning off...\n")
    ann.wait_conversation("Cay has requested a connection\n")
    cay.stop()

    # Bob ends; Ann's line is free again and takes the next caller.
    guest_ends(bob, ann)
    bob.stop()
    dan = guest(run, "Dan", port)
    connect(dan, port)
    ann.wait_conversation("Dan has established a connection\n")
    dan.send("hello after Bob")
    ann.wait_conversation(said("Dan", "hello after Bob"))


def scenario_wrong_key(run):
    port = free_port()
    ann = host(run, port, key=4242)
    # Bob has no screen name yet: Connect asks for one first and keeps it.
    bob = run.program("bob", 1, ScreenName=None, QuilloPortNumber=port,
                      EncryptionKey=31337).start()
    bob.press("Connect")
    prompt = bob.dialog("Screen name input")
    name = bob.first_editable_field(prompt, "the screen name field")
    bob.desk.type_into(name, "Bob")
    bob.press("OK", prompt)
    panel = bob.panel("Quillo Connect Panel")
    wait_for("the screen name in the settings file",
             lambda: "ScreenName=Bob\r\n" in bob.settings_file(), limit=10)
    bob.fill_connect_fields(panel, ["annsline", "127.0.0.1", str(port), "31337"])
    bob.press("Connect", panel)
    bob.wait_conversation("Welcome to the Ann")
    bob.close_panel(panel)
    ann.wait_conversation("Bob has established a connection\n")
    # Both programs offer private sessions, so the different keys show at
    # once on both sides, before a line can be typed.
    mismatch = "Your partner's key does not match yours. The connection was closed.\n"
    ann.wait_conversation(mismatch)
    bob.wait_conversation(mismatch)
    ann.wait_conversation("A caller from 127.0.0.1 failed the key check (1 so far)\n")
    for prog in (ann, bob):
        if not prog.alive():
            raise Failure("%s ended" % prog.label)
        if "Verification code" in prog.conversation():
            raise Failure("%s shows a private session" % prog.label)

    # Ann ends and does not host again.
    ann.press("End")
    ann.answer("No", expect="Would you like to host another session?")
    ann.wait_conversation("All Quillo services have been shutdown")


def verification_code(prog, partner):
    """The code prog shows for its private session with partner."""
    found = re.search(r"Private session with %s\. Verification code: (\d{4} \d{4})\n" % partner,
                      prog.conversation())
    return found.group(1) if found else None


def scenario_private(run):
    """Two programs that both offer private sessions: the same verification
    code on both screens, lines both ways, and Stats says so."""
    port, ann, bob = talking_pair(run)
    ann.wait_conversation("Private session with Bob. Verification code: ")
    bob.wait_conversation("Private session with Ann. Verification code: ")
    codes = (verification_code(ann, "Bob"), verification_code(bob, "Ann"))
    if codes[0] is None or codes[0] != codes[1]:
        raise Failure("the verification codes differ: %r" % (codes,))
    ann.send("private words from Ann")
    bob.send("Grüße, privately – ☺")
    bob.wait_conversation(said("Ann", "private words from Ann"))
    ann.wait_conversation(said("Bob", "Grüße, privately – ☺"))
    for side in (ann, bob):
        panel, text = side.stats_text()
        if "Privacy: private session" not in text:
            raise Failure("%s's statistics lack the privacy line: %r" %
                          (side.label, text))
        side.press("Close", panel)
    guest_ends(bob, ann)


def scenario_basic_off(run):
    """A program with private sessions off and one that prefers them talk in
    basic mode; the one that offered says the lines are readable."""
    port = free_port()
    ann = host(run, port, PrivateSessions="Off")
    bob = guest(run, "Bob", port)
    connect(bob, port)
    ann.wait_conversation("Bob has established a connection\n")
    bob.wait_conversation("Basic cipher only: Ann's program does not offer private sessions. "
                          "Lines can be read by others on the network.\n")
    ann.send("plain words from Ann")
    bob.send("plain words from Bob")
    bob.wait_conversation(said("Ann", "plain words from Ann"))
    ann.wait_conversation(said("Bob", "plain words from Bob"))
    for side in (ann, bob):
        if "Private session" in side.conversation():
            raise Failure("%s shows a private session" % side.label)
        panel, text = side.stats_text()
        if "Privacy: basic cipher (not private)" not in text:
            raise Failure("%s's statistics lack the basic-cipher line: %r" %
                          (side.label, text))
        side.press("Close", panel)
    guest_ends(bob, ann)


def previous_connections(prog, panel):
    cells = prog.desk.descendants(panel, prog.desk.pyatspi.ROLE_TABLE_CELL)
    cells += prog.desk.descendants(panel, prog.desk.pyatspi.ROLE_LIST_ITEM)
    return cells


def scenario_restart(run):
    port, ann, bob = talking_pair(run)
    guest_ends(bob, ann)

    for lose_index in (False, True):
        bob.close_window()
        bob.wait_exit()
        index = os.path.join(bob.workdir, "prevconn.ihx")
        if not os.path.exists(os.path.join(bob.workdir, "prevconn.ihd")):
            raise Failure("the previous connections book was not written")
        if lose_index:
            os.remove(index)
        bob.start()
        bob.press("Connect")
        panel = bob.panel("Quillo Connect Panel")
        entry = wait_for("the previous connection to be listed", lambda: next(
            (c for c in previous_connections(bob, panel) if "annsline" in c.name), None))
        bob.desk.click(bob.process.pid, panel, entry)
        wait_for("the fields to fill from the entry", lambda: [
            dk.Desktop.text_of(f) for f in bob.connect_fields(panel)
        ] == ["annsline", "127.0.0.1", str(port), str(KEY)], limit=10)
        bob.press("Close", panel)
    if not os.path.exists(index):
        raise Failure("the index was not rebuilt")


class TermProgram:
    """quillo-term on pipes, in a working directory of its own with its
    settings file; what it prints is collected by reader threads."""

    def __init__(self, run, label, arguments, settings):
        import threading
        self.label = label
        self.workdir = os.path.join(run.scratch, label)
        os.makedirs(self.workdir, exist_ok=True)
        with open(os.path.join(self.workdir, "quillo.ini"), "wb") as f:
            for key, value in settings.items():
                f.write(("%s=%s\r\n" % (key, value)).encode("latin-1"))
        env = dict(os.environ, HOME=self.workdir)
        env.pop("QUILLO", None)
        program = os.path.join(os.path.abspath(run.build_dir), "quillo-term")
        self.process = run.processes.start([program] + arguments, cwd=self.workdir, env=env,
                                           stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                           stderr=subprocess.PIPE)
        self.lock = threading.Lock()
        self.streams = {"out": b"", "err": b""}
        self.readers = [threading.Thread(target=self._collect, args=(name, stream), daemon=True)
                        for name, stream in (("out", self.process.stdout),
                                             ("err", self.process.stderr))]
        for reader in self.readers:
            reader.start()

    def _collect(self, name, stream):
        for chunk in iter(lambda: stream.read1(4096), b""):
            with self.lock:
                self.streams[name] += chunk

    def output(self):
        with self.lock:
            return self.streams["out"].decode("utf-8", "replace")

    def errors(self):
        with self.lock:
            return self.streams["err"].decode("utf-8", "replace")

    def wait_output(self, text, limit=dk.DEFAULT_WAIT):
        return wait_for("%s to print %r" % (self.label, text), lambda: text in self.output(),
                        limit=limit)

    def send(self, text):
        self.process.stdin.write(text.encode("utf-8") + b"\n")
        self.process.stdin.flush()

    def close_input(self):
        self.process.stdin.close()

    def wait_exit(self, limit=15):
        wait_for("%s to exit" % self.label, lambda: self.process.poll() is not None, limit=limit)
        for reader in self.readers:
            reader.join(timeout=5)
        return self.process.returncode


def scenario_terminal(run):
    """The desktop program hosts and quillo-term calls it from a script:
    lines both ways, the desktop's statistics, a clean sign-off."""
    port = free_port()
    ann = host(run, port)
    bob = TermProgram(run, "bob", ["connect", "127.0.0.1:%d" % port],
                      {"ScreenName": "Bob", "EncryptionKey": KEY, "EnableAudio": "FALSE"})
    ann.wait_conversation("Bob has established a connection\n")
    bob.wait_output("Welcome to the Ann")

    bob.send("hello from a terminal")
    ann.wait_conversation(said("Bob", "hello from a terminal"))
    ann.send("hello from the desktop")
    bob.wait_output("Ann Says> hello from the desktop\n")
    ann.send("first row\nsecond row", multi_line=True)
    bob.wait_output("Ann Says> first row\n          second row\n")
    bob.send("Grüße, café – ☺")
    ann.wait_conversation(said("Bob", "Grüße, café – ☺"))

    panel, text = ann.stats_text()
    for part in ("You are configured as Quillo server", "Port Number: %d" % port,
                 "Encryption Key: %d" % KEY, "Quillo session started at:"):
        if part not in text:
            raise Failure("Ann's statistics lack %r: %r" % (part, text))
    if "Currently no Quillo clients are connected" in text:
        raise Failure("Ann's statistics lost Bob: %r" % text)
    ann.press("Close", panel)

    # The end of the script's input signs off.
    bob.close_input()
    status = bob.wait_exit()
    if status != 0:
        raise Failure("quillo-term ended with %d:\n%s\n%s" % (status, bob.output(),
                                                               bob.errors()))
    ann.wait_conversation("Bob has signed off\n")
    if "All Quillo services have been shutdown" not in bob.output():
        raise Failure("quillo-term did not end its session:\n" + bob.output())


SMTP_SERVER = r"""
import asyncio, sys
from aiosmtpd.controller import Controller

class Keep:
    async def handle_DATA(self, server, session, envelope):
        with open(sys.argv[2], "ab") as f:
            f.write(b"MAIL FROM " + envelope.mail_from.encode() + b"\n")
            for rcpt in envelope.rcpt_tos:
                f.write(b"RCPT TO " + rcpt.encode() + b"\n")
            f.write(envelope.original_content or envelope.content)
            f.write(b"\n.END.\n")
        return "250 OK"

controller = Controller(Keep(), hostname="127.0.0.1", port=int(sys.argv[1]))
controller.start()
print("ready", flush=True)
try:
    sys.stdin.read()
finally:
    controller.stop()
"""


def scenario_invite(run):
    port = free_port()
    smtp_port = free_port()
    mailbox = os.path.join(run.scratch, "mailbox.txt")
    server = run.processes.start(["/usr/bin/python3", "-c", SMTP_SERVER, str(smtp_port), mailbox],
                                 stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    wait_for("the SMTP server", lambda: server.stdout.readline().strip() == b"ready", limit=15)

    ann = host(run, port, MailServer="127.0.0.1", MailServerPortNumber=smtp_port,
               ReturnEmailAddress="ann@example.org")
    ann.press("Invite")
    panel = ann.panel("Quillo Invitation Panel")
    fields = ann.editable_fields(panel)
    ann.desk.type_into(fields[0], "bob")
    ann.desk.type_into(fields[1], "bob@example.org")
    ann.press("Add", panel)
    entry = wait_for("the recipient to be listed", lambda: next(
        (c for c in previous_connections(ann, panel) if "bob@example.org" in c.name), None))
    ann.desk.click(ann.process.pid, panel, entry)
    message = dk.Desktop.text_of(fields[-1]) if len(fields) > 2 else ""
    ann.press("Send", panel)
    text = wait_for("the invitation to arrive", lambda: os.path.exists(mailbox) and b".END." in
                    open(mailbox, "rb").read() and open(mailbox, "rb").read(), limit=20)
    text = text.decode("latin-1")
    for expected in ("RCPT TO bob@example.org", "MAIL FROM ann@example.org", str(port),
                     str(KEY), "Quillo Invitation from Ann"):
        if expected not in text:
            raise Failure("the mail lacks %r:\n%s" % (expected, text))
    if message:
        for line in message.splitlines():
            if line.strip() and line.strip() not in text:
                raise Failure("the mail lacks the invitation line %r:\n%s" % (line, text))
    server.stdin.close()
    run.processes.stop(server)


def scenario_save(run):
    port, ann, bob = talking_pair(run)
    ann.send("to be kept on disk")
    bob.send("me too, café")
    ann.wait_conversation(said("Bob", "me too, café"))
    target = os.path.join(run.scratch, "kept-session.txt")
    ann.menu("File", "Save Session")
    dialog = ann.dialog("Save this session:")
    name = ann.first_editable_field(dialog, "the file name field")
    ann.desk.type_into(name, target)
    # Enter in the name field saves, as a person would finish typing; a
    # completion popup of the typed path may take the first one.
    for _ in range(4):
        dk.XTool.activate_window_of(ann.process.pid, "Save this session:")
        dk.XTool.key("Return")
        try:
            wait_for("the file dialog to close", lambda: all(
                w.name != "Save this session:" for w in ann.desk.frames(ann.process.pid)),
                limit=3)
            break
        except Failure:
            continue
    data = wait_for("the saved file", lambda: os.path.exists(target) and
                    os.path.getsize(target) > 0 and open(target, "rb").read(), limit=10)
    shown = ann.conversation()
    for text in (said("Ann", "to be kept on disk"), said("Bob", "me too, café")):
        if text.replace("\n", "") not in data.decode("utf-8", "replace").replace(
                "\r", "").replace("\n", "") and text.encode("latin-1", "replace") not in data:
            raise Failure("the saved file lacks %r:\n%r" % (text, data))
    if "Listening on port" in shown and b"Listening on port" not in data:
        raise Failure("the saved file does not hold the transcript")


def scenario_close(run):
    port, ann, bob = talking_pair(run)
    ann.close_window()
    ann.answer("Yes", expect="You are currently hosting Quillo services.")
    ann.wait_exit()
    bob.wait_conversation("Ann has signed off\n")
    if not bob.alive():
        raise Failure("Bob ended with Ann")


def scenario_install(run):
    prefix = os.path.join(run.scratch, "prefix")
    result = subprocess.run(["cmake", "--install", run.build_dir, "--prefix", prefix],
                            capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise Failure("cmake --install failed:\n" + result.stdout + result.stderr)
    for path in ("bin/quillo", "bin/quillo-term", "bin/quillo-launcher", "share/quillo/quillo.html",
                 "share/quillo/activity.wav", "share/applications/quillo.desktop",
                 "share/icons/hicolor/32x32/apps/quillo.png",
                 "share/icons/hicolor/16x16/apps/quillo.png",
                 "share/icons/hicolor/scalable/apps/quillo.svg"):
        if not os.path.exists(os.path.join(prefix, path)):
            raise Failure("not installed: " + path)
    entry = open(os.path.join(prefix, "share/applications/quillo.desktop")).read()
    launcher = os.path.join(prefix, "bin/quillo-launcher")
    if "Exec=%s" % launcher not in entry or "Icon=quillo" not in entry:
        raise Failure("the menu entry does not name the launcher and icon:\n" + entry)
    if shutil.which("desktop-file-validate"):
        check = subprocess.run(["desktop-file-validate",
                                os.path.join(prefix, "share/applications/quillo.desktop")],
                               capture_output=True, text=True, timeout=30)
        if check.returncode != 0:
            raise Failure("the menu entry is not valid:\n" + check.stdout + check.stderr)

    # The launcher: first start makes $HOME/quillo with the help page and
    # sound, and runs the program there.
    home = os.path.join(run.scratch, "home")
    os.makedirs(home)
    env = dict(os.environ, HOME=home)
    env.pop("QUILLO", None)
    started = run.processes.start([launcher], cwd=run.scratch, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    workdir = os.path.join(home, "quillo")
    desk = run.desk
    wait_for("the installed program's window",
             lambda: any(w.name == "Quillo" for w in desk.frames(started.pid)), limit=20)
    if os.path.realpath(os.readlink("/proc/%d/cwd" % started.pid)) != os.path.realpath(workdir):
        raise Failure("the launcher did not start the program in $HOME/quillo")
    for name in ("quillo.html", "activity.wav"):
        copied = os.path.join(workdir, name)
        if open(copied, "rb").read() != open(os.path.join(prefix, "share/quillo", name),
                                             "rb").read():
            raise Failure("%s was not copied into the working directory" % name)
    run.processes.stop(started)

    # A second start keeps the user's own files.
    with open(os.path.join(workdir, "quillo.html"), "w") as f:
        f.write("mine")
    started = run.processes.start([launcher], cwd=run.scratch, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the installed program's window again",
             lambda: any(w.name == "Quillo" for w in desk.frames(started.pid)), limit=20)
    run.processes.stop(started)
    if open(os.path.join(workdir, "quillo.html")).read() != "mine":
        raise Failure("the launcher overwrote the user's help page")

    # From a terminal the program works in the current directory as before.
    here = os.path.join(run.scratch, "terminal")
    os.makedirs(here)
    started = run.processes.start([os.path.join(prefix, "bin/quillo")], cwd=here, env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_for("the program started from a terminal",
             lambda: any(w.name == "Quillo" for w in desk.frames(started.pid)), limit=20)
    if os.path.realpath(os.readlink("/proc/%d/cwd" % started.pid)) != os.path.realpath(here):
        raise Failure("started from a terminal, the program left the current directory")
    run.processes.stop(started)


def storm(port, seconds, per_second):
    """Hostile and busy callers at a real host for a while: silent ones
    (that give up after a fifth of a second), ones that close at once, ones
    announcing a 4 GiB line, garbage, and well-formed callers. Returns how
    many well-formed callers were told the line is busy."""
    import select
    import struct
    silent, others, busy = [], [], []
    began = time.monotonic()
    n = 0
    while time.monotonic() - began < seconds:
        now = time.monotonic()
        while silent and now - silent[0][0] > 0.2:
            silent.pop(0)[1].close()
        kind = n % 5
        n += 1
        time.sleep(1.0 / per_second)
        try:
            c = socket.create_connection(("127.0.0.1", port), timeout=0.5)
        except OSError:
            continue
        name = ("Caller%d" % n).encode().ljust(25, b"\0")
        try:
            if kind == 0:
                silent.append((now, c))
            elif kind == 1:
                c.close()
            elif kind == 2:
                c.sendall(name + struct.pack("<II", ord("S"), 0xFFFFFFFF) + b"x" * 64)
                others.append(c)
            elif kind == 3:
                c.sendall(os.urandom(200))
                others.append(c)
            else:
                c.sendall(name + struct.pack("<II", ord("C"), 0))
                busy.append(c)
        except OSError:
            c.close()
    for _, c in silent:
        c.close()
    for c in others:
        c.close()
    replies = {c: b"" for c in busy}
    waiting = list(busy)
    deadline = time.monotonic() + 10
    while waiting and time.monotonic() < deadline:
        ready, _, _ = select.select(waiting, [], [], 0.2)
        for c in ready:
            try:
                data = c.recv(4096)
            except OSError:
                data = b""
            replies[c] += data
            if not data:
                waiting.remove(c)
    told = sum(1 for reply in replies.values()
               if len(reply) >= 33 and struct.unpack("<I", reply[25:29])[0] == ord("B"))
    for c in busy:
        c.close()
    return told, len(busy)


def scenario_hostile(run):
    port, ann, bob = talking_pair(run)
    told, callers = storm(port, seconds=4, per_second=50)
    print("hostile: %d of %d well-formed callers were told the line is busy" % (told, callers),
          flush=True)
    if told == 0:
        raise Failure("no well-formed caller was told the line is busy")
    ann.wait_conversation("has requested a connection\n", count=told)
    # The conversation goes on as if nothing had happened.
    ann.send("still talking")
    bob.send("me too")
    bob.wait_conversation(said("Ann", "still talking"))
    ann.wait_conversation(said("Bob", "me too"))
    panel, text = ann.stats_text()
    if "Currently no Quillo clients are connected" in text:
        raise Failure("Ann's statistics lost Bob: %r" % text)
    ann.press("Close", panel)
    for prog in (ann, bob):
        if not prog.alive():
            raise Failure("%s ended" % prog.label)


# What GTK, GDK and GLib print on standard error when a window is laid out
# below its minimum or misused.
TOOLKIT_WARNING = re.compile(r"^(?:\(\S+:\d+\): )?[\w-]+-(WARNING|CRITICAL) \*\*.*$", re.M)


def toolkit_warnings(prog):
    with open(os.path.join(prog.workdir, "program.log"), "rb") as f:
        return [m.group(0) for m in TOOLKIT_WARNING.finditer(f.read().decode("utf-8", "replace"))]


def x_window(prog, title="Quillo"):
    found = dk.XTool.run("search", "--all", "--onlyvisible", "--pid", prog.process.pid, "--name",
                         "^%s$" % title)
    ids = found.stdout.split()
    if not ids:
        raise Failure("%s has no window %r" % (prog.label, title))
    return ids[-1]


def window_size(window):
    out = dk.XTool.run("getwindowgeometry", "--shell", window).stdout
    values = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(values["WIDTH"]), int(values["HEIGHT"])


def settled_size(window, wanted=None, limit=10):
    """The window's size once it holds still for a moment (and is the
    wanted size, when one is given)."""
    seen = []

    def steady():
        seen.append(window_size(window))
        return len(seen) >= 4 and len(set(seen[-4:])) == 1 and (
            wanted is None or seen[-1] == wanted) and seen[-1]
    return wait_for("window %s to settle at %r" % (window, wanted or "any size"), steady,
                    limit=limit, step=0.15)


def stored_geometry(prog):
    text = prog.settings_file()
    return {key: int(re.search(r"^%s=(-?\d+)\r$" % key, text, re.M).group(1))
            for key in ("MainFrameWidth", "MainFrameHeight", "SplitterPosition")}


def exit_from_menu(prog):
    prog.menu("File", "Exit")
    prog.wait_exit()


class QuietSteps:
    """Fails the step after which a program's log holds a new toolkit
    warning (a warning printed late may be charged to the next step)."""

    def __init__(self):
        self.seen = {}

    def check(self, step, *progs):
        for prog in progs:
            warnings = toolkit_warnings(prog)
            new = warnings[self.seen.get(prog.label, 0):]
            self.seen[prog.label] = len(warnings)
            if new:
                raise Failure("%s: the toolkit warned after %s:\n%s" % (prog.label, step,
                                                                        "\n".join(new)))


def scenario_window(run):
    """Start, resize to the smallest and the whole screen, open every panel
    and close, under a window manager, without a toolkit warning; and the
    remembered geometry and sash come back exactly."""
    geometry = {"MainFrameWidth": 620, "MainFrameHeight": 560, "SplitterPosition": 150}
    port = free_port()
    ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port, EncryptionKey=KEY,
                      MailServer="127.0.0.1", ReturnEmailAddress="ann@example.org", **geometry)
    quiet = QuietSteps()
    # Started and closed untouched, the window leaves its geometry as it was.
    ann.start()
    frame = x_window(ann)
    settled_size(frame)
    time.sleep(1)  # activation, the clock's ticks
    exit_from_menu(ann)
    if stored_geometry(ann) != geometry:
        raise Failure("the geometry moved from %r to %r" % (geometry, stored_geometry(ann)))
    quiet.check("a start and an exit", ann)

    ann.start()
    frame = x_window(ann)
    settled_size(frame)
    # The smallest size the window allows, then the whole screen and back.
    dk.XTool.run("windowsize", frame, 100, 100)
    smallest = settled_size(frame)
    if smallest[0] <= 100 or smallest[1] <= 100:
        raise Failure("the window shrank to %r, below its controls" % (smallest,))
    quiet.check("the smallest size", ann)
    subprocess.run(["wmctrl", "-i", "-r", frame, "-b", "add,fullscreen"], timeout=15, check=True)
    settled_size(frame, (1280, 1024))
    quiet.check("full screen", ann)
    subprocess.run(["wmctrl", "-i", "-r", frame, "-b", "remove,fullscreen"], timeout=15,
                   check=True)
    settled_size(frame, smallest)
    quiet.check("leaving full screen", ann)
    dk.XTool.run("windowsize", frame, 1000, 720)
    settled_size(frame)
    quiet.check("1000x720", ann)

    # Every panel, opened and closed as a person would.
    for button, title in (("Connect", "Quillo Connect Panel"), ("Config", "Quillo Config Panel"),
                          ("Stats", "Quillo Online Stats")):
        ann.press(button)
        ann.close_panel(ann.panel(title))
        quiet.check("the panel %r" % title, ann)
    ann.menu("Print", "Page Setup")
    ann.close_panel(ann.panel("Page Setup"))
    quiet.check("Page Setup", ann)
    ann.press("Host")
    ann.wait_conversation("Listening on port %d\n" % port)
    ann.press("Invite")
    ann.close_panel(ann.panel("Quillo Invitation Panel"))
    quiet.check("the Invitation panel", ann)
    # Bob's event window shows the progress of his call until it is through.
    bob = guest(run, "Bob", port)
    connect(bob, port)
    ann.wait_conversation("Bob has established a connection\n")
    quiet.check("a call and its event window", ann, bob)

    bob.close_window()
    bob.answer("Yes", expect="You are currently connected to Quillo services.")
    bob.wait_exit()
    ann.close_window()
    ann.answer("Yes", expect="You are currently hosting Quillo services.")
    ann.wait_exit()
    quiet.check("closing", ann, bob)


SCENARIOS = {
    "conversation": scenario_conversation,
    "wrong_key": scenario_wrong_key,
    "restart": scenario_restart,
    "invite": scenario_invite,
    "save": scenario_save,
    "close": scenario_close,
    "hostile": scenario_hostile,
    "install": scenario_install,
    "terminal": scenario_terminal,
    "window": scenario_window,
    "private": scenario_private,
    "basic_off": scenario_basic_off,
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
            for log in sorted(os.popen("find %s -name program.log" % scratch).read().split()):
                tail = open(log, "rb").read()[-2000:].decode("utf-8", "replace")
                if tail.strip():
                    print("--- %s\n%s" % (log, tail))
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
