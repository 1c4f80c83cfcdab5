#!/usr/bin/env python3
"""A tool stopped by SIGTERM, SIGHUP or SIGINT while its job runs on a port
leaves the port as it found it: the same `stty -a` as before, exclusive use
(TIOCEXCL) and the lock gone; and it ends as killed by that signal.
The port is a pseudo-terminal slave, so no real port is touched.
Wirelet, whose port is COM1, gets the pty bound over every serial device in a
private mount namespace, with a console list of its own.
Usage: signal_close_test.py [--wirelet] PROGRAM..."""
import fcntl, os, signal, subprocess, sys, tempfile, time

TIOCGEXCL = 0x80045440


def stty(path):
    return subprocess.run(["stty", "-a", "-F", path], capture_output=True, text=True).stdout


def locked_by_other(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return False
    except BlockingIOError:
        return True
    finally:
        os.close(fd)


def exclusive(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    try:
        return int.from_bytes(fcntl.ioctl(fd, TIOCGEXCL, b"\0\0\0\0"), "little") != 0
    finally:
        os.close(fd)


def command(program, path, directory):
    if not WIRELET:
        return [program]
    empty = os.path.join(directory, "no-console")
    open(empty, "w").close()
    # Wirelet's COM1 is the first serial device it finds: every one it could
    # find leads to the pty, so no real port of this machine is opened.
    return ["unshare", "-m", "sh", "-c",
            f"for d in /dev/[Cc][Oo][Mm]* /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do [ ! -c \"$d\" ] || mount --bind '{path}' \"$d\" || exit 1; done; "
            f"[ ! -d /dev/serial ] || mount -t tmpfs none /dev/serial || exit 1; "
            f"mount --bind '{empty}' /sys/class/tty/console/active && exec '{program}'"]


def run(tool, sig, directory):
    master, slave = os.openpty()
    path = os.ttyname(slave)
    # A terminal as a person leaves it: line editing, echo, 38400 baud.
    subprocess.run(["stty", "-F", path, "sane", "38400"], check=True)
    before = stty(path)
    with open(os.path.join(directory, "Preferences.ini"), "w") as f:
        f.write(f"ComPortName = {path}\nVantrel_Delay = 0\n")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CACHE_HOME=os.path.join(directory, "cache"))
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    child = subprocess.Popen(command(tool, path, directory), cwd=directory, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    problems = []
    deadline = time.monotonic() + 5
    while not locked_by_other(path):
        if time.monotonic() > deadline or child.poll() is not None:
            problems.append("the tool never took the port")
            break
        time.sleep(0.01)
    if not problems:
        time.sleep(0.2)  # inside the job's first wait, or Wirelet's event loop
        child.send_signal(sig)
    status = child.wait(timeout=10)
    if not problems:
        if status != -sig:
            problems.append(f"ended with {status}, not by signal {sig}")
        after = stty(path)
        if after != before:
            problems.append(f"stty -a before:\n{before}after:\n{after}")
        if exclusive(path):
            problems.append("TIOCEXCL left set")
        if locked_by_other(path):
            problems.append("lock left held")
    os.close(slave)
    os.close(master)
    return problems


WIRELET = False


def main():
    global WIRELET
    if sys.argv[1:2] == ["--wirelet"]:
        WIRELET = True
        del sys.argv[1]
        if subprocess.run(["unshare", "-m", "true"], capture_output=True).returncode != 0:
            print("no private mount namespace here: skipped")
            return 77
    failed = False
    with tempfile.TemporaryDirectory() as directory:
        for tool in sys.argv[1:]:
            for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
                for problem in run(tool, sig, directory):
                    failed = True
                    print(f"{os.path.basename(tool)} {sig.name}: {problem}")
    if not failed:
        print("every program closed the port on every signal")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
