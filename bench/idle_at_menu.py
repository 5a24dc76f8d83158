#!/usr/bin/env python3
"""What the whole door costs its node while a caller sits at the main menu.

Plays the BBS: builds a working directory (makedb, art, configuration), accepts a TCP caller on
127.0.0.1, starts bbsglimra with the accepted socket inherited through DOOR32.SYS, waits for
the menu, then reads the door's CPU time and voluntary context switches from /proc over the
given number of seconds. Targets: at most 0.1 wake-ups per second, under 0.1 % CPU.

Usage: bench/idle_at_menu.py [BUILD_DIR [SECONDS]]   (default build/release, 60)
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def sample(pid):
    with open(f"/proc/{pid}/schedstat") as f:
        cpu = int(f.read().split()[0]) / 1e9
    voluntary = 0
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("voluntary_ctxt_switches:"):
                voluntary = int(line.split()[1])
    return cpu, voluntary


def read_until(sock, marker, limit):
    seen = b""
    deadline = time.monotonic() + limit
    while marker not in seen:
        sock.settimeout(max(0.1, deadline - time.monotonic()))
        chunk = sock.recv(65536)
        if not chunk or time.monotonic() > deadline:
            raise SystemExit("the menu never came")
        seen += chunk


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/release"))
    seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 60
    work = tempfile.mkdtemp(prefix="glimra-idle-")
    try:
        subprocess.run([os.path.join(build, "makedb"), "-o", os.path.join(work, "glimradb.db"),
                        "--schema", os.path.join(ROOT, "data/schema.sql"),
                        "--answers", os.path.join(ROOT, "data/words/answers.txt"),
                        "--allowed", os.path.join(ROOT, "data/words/allowed.txt")],
                       check=True, stdout=subprocess.DEVNULL)
        for art in ("header.ans", "del_glimra.ans", "menu.ans", "box.ans"):
            shutil.copy(os.path.join(ROOT, "data/art", art), work)
        with open(os.path.join(work, "bbsglimra.cfg"), "w") as f:
            f.write(f"0\n{seconds + 600}\n\n")

        listener = socket.create_server(("127.0.0.1", 0))
        caller = socket.create_connection(listener.getsockname())
        bbs_side, _ = listener.accept()
        fd = bbs_side.fileno()
        with open(os.path.join(work, "DOOR32.SYS"), "w") as f:
            f.write(f"2\r\n{fd}\r\n38400\r\nBench BBS\r\n1\r\nIdle Caller\r\nIdle\r\n10\r\n"
                    f"{seconds // 60 + 30}\r\n1\r\n1\r\n")
        door = subprocess.Popen([os.path.join(build, "bbsglimra"), "-DDOOR32.SYS"], cwd=work,
                                pass_fds=[fd], stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        read_until(caller, b"Version 2024.10.2", 30)
        time.sleep(1)
        cpu0, vol0 = sample(door.pid)
        time.sleep(seconds)
        cpu1, vol1 = sample(door.pid)
        caller.sendall(b"q")
        code = door.wait(30)
        wakeups = (vol1 - vol0) / seconds
        cpu_pct = 100 * (cpu1 - cpu0) / seconds
        print(f"idle at the menu for {seconds} s: {vol1 - vol0} voluntary context switches "
              f"({wakeups:.2f}/s), {1000 * (cpu1 - cpu0):.1f} ms CPU ({cpu_pct:.4f} %), "
              f"exit code {code}")
        return 0 if wakeups <= 0.1 and cpu_pct < 0.1 and code == 0 else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
