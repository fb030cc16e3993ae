#!/usr/bin/python3
"""Start-up time and idle processor use of the real program, on the same
private desktop as the end-to-end scenarios (not part of `make test`).

    measure.py --quillo BUILD/quillo [--seconds 20]

Start-up: from starting the process until its main window is mapped on
the display (median of five starts). Idle processor use: the program's own
user and system time over a quiet interval, as a share of one core,
waiting (no session), hosting with nobody connected, and hosting and
connected on both ends of a conversation.
"""

import argparse
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import desktop as dk  # noqa: E402
import run_e2e as e2e  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS  # utime, stime


def idle_share(programs, seconds):
    """Processor time of each program over `seconds`, in % of one core."""
    before = [cpu_seconds(p.process.pid) for p in programs]
    began = time.monotonic()
    time.sleep(seconds)
    spent = time.monotonic() - began
    return [100.0 * (cpu_seconds(p.process.pid) - b) / spent for p, b in zip(programs, before)]


def startup_seconds(run, quillo, tries=5):
    times = []
    for i in range(tries):
        prog = run.program("start%d" % i, ScreenName="Ann")
        prog.write_settings()
        began = time.monotonic()
        process = run.processes.start([quillo], cwd=prog.workdir,
                                      env=dict(os.environ, HOME=prog.workdir),
                                      stdout=open(os.devnull, "wb"), stderr=open(os.devnull, "wb"))
        dk.wait_for("the main window", lambda: dk.XTool.window_of(process.pid, "Quillo"),
                    limit=30, step=0.005)
        times.append(time.monotonic() - began)
        run.processes.stop(process)
    return statistics.median(times), min(times), max(times)


def measure(args):
    dk.stop_on_sigterm()
    scratch = dk.scratch_directory("measure")
    run = e2e.Run(args.quillo, scratch, "")
    try:
        median, low, high = startup_seconds(run, args.quillo)
        print("start-up to a mapped main window: median %.0f ms (%.0f to %.0f ms, 5 starts)"
              % (median * 1000, low * 1000, high * 1000))

        port = e2e.free_port()
        ann = run.program("ann", 0, ScreenName="Ann", QuilloPortNumber=port,
                          EncryptionKey=e2e.KEY).start()
        time.sleep(1)
        print("idle, waiting (no session): %.2f %% of one core" % idle_share([ann],
                                                                          args.seconds)[0])
        ann.press("Host")
        ann.wait_conversation("Listening on port %d\n" % port)
        time.sleep(1)
        print("idle, hosting with nobody connected: %.2f %% of one core"
              % idle_share([ann], args.seconds)[0])
        bob = e2e.guest(run, "Bob", port)
        e2e.connect(bob, port)
        ann.wait_conversation("Bob has established a connection\n")
        time.sleep(1)
        host_share, guest_share = idle_share([ann, bob], args.seconds)
        print("idle, connected: host %.2f %%, guest %.2f %% of one core"
              % (host_share, guest_share))
        return 0
    finally:
        run.processes.stop_all()
        dk.remove_directory(scratch)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quillo", required=True)
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--inner", action="store_true")
    args = parser.parse_args()
    args.quillo = os.path.abspath(args.quillo)
    if args.inner:
        return measure(args)
    return dk.outer_main(os.path.abspath(__file__),
                         ["--quillo", args.quillo, "--seconds", str(args.seconds)],
                         int(args.seconds * 3 + 120))


if __name__ == "__main__":
    sys.exit(main())
