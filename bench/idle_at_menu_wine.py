#!/usr/bin/env python3
"""What the Windows door costs its node under Wine while a caller sits at the main menu.

Starts the Windows build's bbs_launcher.exe under Wine (it accepts this caller on 127.0.0.1 and
hands the socket to bbsglimra.exe through DOOR32.SYS), waits for the menu, then reads from /proc
the door process's CPU time and voluntary context switches (all its threads) over the given
number of seconds. Under Wine every wait and every socket call is a request to the Wine server,
so a switch is not always a wake-up: the door's own wake-ups are its waits that return, counted
in bench/README.md with a build that counts them.

Usage: bench/idle_at_menu_wine.py [WINDOWS_BUILD_DIR [SECONDS]]   (default build/windows-test, 60)
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def sample(pid, threads):
    cpu = 0.0
    voluntary = 0
    for tid in threads:
        with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
            cpu += int(f.read().split()[0]) / 1e9
        with open(f"/proc/{pid}/task/{tid}/status") as f:
            for line in f:
                if line.startswith("voluntary_ctxt_switches:"):
                    voluntary += int(line.split()[1])
    return cpu, voluntary


def door_pid():
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/cmdline", "rb") as f:
                    if b"bbsglimra.exe" in f.read().split(b"\0")[0]:
                        return int(entry)
            except OSError:
                pass
    return None


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/windows-test")
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all")
    work = tempfile.mkdtemp(prefix="glimra-idle-")
    os.makedirs(env["WINEPREFIX"], exist_ok=True)  # made by tools/wine-ctest; Wine fills it
    subprocess.run(["wineserver", "-p"], env=env, check=True)
    try:
        subprocess.run(["wine", os.path.join(build, "makedb.exe"), "--setup", os.path.relpath(work, ROOT)],
                       cwd=ROOT, env=env, check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        wine_dir = "Z:" + work.replace("/", "\\")
        launcher = subprocess.Popen(
            ["wine", os.path.join(build, "bbs_launcher.exe"), wine_dir,
             "Z:" + os.path.join(build, "bbsglimra.exe").replace("/", "\\"), "Idler"],
            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, text=True)
        port = int(launcher.stdout.readline().split()[1])
        caller = socket.create_connection(("127.0.0.1", port))
        seen = b""
        caller.settimeout(20)
        while b"Play Glimra" not in seen:
            seen += caller.recv(65536)
        time.sleep(2)  # the menu's last drawing and the first event passes
        pid = door_pid()
        threads = os.listdir(f"/proc/{pid}/task")
        before = sample(pid, threads)
        caller.settimeout(0.2)
        end = time.monotonic() + seconds
        while time.monotonic() < end:  # keep reading what the door sends (its status bar)
            try:
                caller.recv(65536)
            except socket.timeout:
                pass
        after = sample(pid, threads)
        print(f"{len(threads)} thread(s): {(after[1] - before[1]) / seconds:.2f} voluntary context "
              f"switches per second, {100 * (after[0] - before[0]) / seconds:.4f} % CPU")
        caller.sendall(b"q")
        caller.settimeout(10)
        while b"BACK AT THE BBS" not in seen:
            seen += caller.recv(65536)
        caller.sendall(b"bye\r\n")
        launcher.wait(timeout=30)
    finally:
        subprocess.run(["wineserver", "-k"], env=env)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
