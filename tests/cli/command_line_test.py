#!/usr/bin/env python3
"""The program on the command line, run as a user would in a terminal without a display.

usage: command_line_test.py BULKON MAKE_TREE

Makes its trees in a temporary folder of its own and removes them at the end. Exits 0 when
every check held, 1 otherwise, naming each check that failed.
"""
import base64
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time

BULKON, MAKE_TREE = sys.argv[1], sys.argv[2]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def no_display_environment():
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    return env


def run(*arguments, user=()):
    return subprocess.run([*user, BULKON, *arguments], capture_output=True,
                          env=no_display_environment(), timeout=600)


def make_tree(folder, files):
    manifest = folder + ".manifest"
    subprocess.run([MAKE_TREE, folder, str(files), "--manifest", manifest], check=True,
                   stdout=subprocess.DEVNULL)
    sizes = {}
    with open(manifest, "rb") as lines:
        for line in lines:
            size, path = line.rstrip(b"\n").split(b"\t", 1)
            sizes[path] = int(size)
    return sizes


def local_time_text(path):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(os.lstat(path).st_mtime))


def check_arguments_and_exit_statuses(work):
    """Help, version and wrong arguments answer at once, need no display, open no window."""
    usage = run("--help")
    check(usage.returncode == 0 and b"bulkon --list [--json] FOLDER" in usage.stdout
          and usage.stderr == b"", "--help prints the usage and exits 0")
    version = run("--version")
    check(version.returncode == 0 and version.stdout.startswith(b"bulkon ")
          and version.stderr == b"", "--version prints the version and exits 0")

    missing = os.path.join(work, "missing")
    wrong = {
        ("--bogus",): b"unknown option '--bogus'",
        (missing,): b"no such folder",
        ("--list", missing): b"no such folder",
        ("--list",): b"--list needs a folder",
        ("--json", work): b"--json goes with --list",
    }
    for arguments, says in wrong.items():
        result = run(*arguments)
        check(result.returncode == 2 and says in result.stderr and result.stdout == b""
              and b"--help" in result.stderr,
              "%s: exit 2 with %r on the error stream, got %d %r"
              % (arguments, says, result.returncode, result.stderr))


def check_list_against_the_tree(work):
    """Text and JSON list the 100 largest files of a generated tree, largest first."""
    root = os.path.join(work, "tree")
    sizes = make_tree(root, 3000)
    # A name that is not UTF-8, above every generated size, dated exactly at local midnight
    # (the window shows the date alone then; the list always has the time); and a file just
    # above 4 GiB, whose size must not wrap at 32 bits.
    odd = os.path.join(root.encode(), b"caf\xe9 \xff.bin")
    with open(odd, "wb") as f:
        f.truncate(200 * 2**30)
    midnight = time.mktime((2021, 5, 4, 0, 0, 0, 0, 0, -1))
    os.utime(odd, (midnight, midnight))
    big = os.path.join(root.encode(), b"just over 4 GiB.iso")
    with open(big, "wb") as f:
        f.truncate(2**32 + 1)
    sizes[odd] = 200 * 2**30
    sizes[big] = 2**32 + 1
    largest = sorted(sizes.values(), reverse=True)[:100]

    text = run("--list", root)
    check(text.returncode == 0, "--list exits 0 after a whole scan, got %d" % text.returncode)
    check(text.stderr == b"", "nothing on a error stream that is no terminal: %r" % text.stderr[:200])
    lines = text.stdout.split(b"\n")
    check(lines[-1] == b"", "the text ends with a line end")
    rows = [line.split(b"\t") for line in lines[:-1]]
    check([int(row[0]) for row in rows] == largest, "the text lists the 100 largest, largest first")
    for size, date, path in rows:
        if sizes.get(path) != int(size) or date.decode() != local_time_text(path):
            check(False, "text line %r %r %r matches the file on disk" % (size, date, path))
            break
    check(rows[0] == [b"%d" % (200 * 2**30), b"2021-05-04 00:00:00", odd],
          "a name that is not UTF-8 is written as its bytes, midnight with its time: %r" % rows[0])

    listed = run("--list", "--json", root)
    check(listed.returncode == 0, "--list --json exits 0")
    document = json.loads(listed.stdout)
    files = document["files"]
    check(document["root"] == root and document["completed"] is True
          and document["files_counted"] == len(sizes), "the JSON's root, completion and count")
    paths = [base64.b64decode(f["path_base64"]) if "path_base64" in f else f["path"].encode()
             for f in files]
    check([f["size"] for f in files] == largest, "the JSON lists the 100 largest, largest first")
    check(paths == [row[2] for row in rows] and [f["modified"] for f in files]
          == [row[1].decode() for row in rows], "the JSON lists what the text lists")
    check(files[0]["path"] == odd.decode("utf-8", "replace") and "path_base64" in files[0]
          and all("path_base64" not in f for f in files if f["path"].isprintable()
                  and "\ufffd" not in f["path"]),
          "a name that is not UTF-8 is readable in path and exact in path_base64: %r" % files[0])

    totals = document["totals"]
    listed_mib = sum(size >> 20 for size in largest)
    check(totals["listed_mib"] == listed_mib, "the listed MiB are the listed files' whole MiB")
    check(totals["share_of_capacity_percent"]
          == round(listed_mib * 100 / max(totals["capacity_mib"], 1))
          and totals["share_of_used_space_percent"]
          == round(listed_mib * 100 / max(totals["used_mib"], 1))
          and abs(totals["share_of_files_percent"] - 10000 / len(sizes)) < 0.0005,
          "the shares follow from the figures: %r" % totals)


def check_unreadable_folders_are_named(work):
    """A folder that cannot be read is named at the end; a root that cannot be read is an
    error, not an empty list. Root reads every folder, so then the program runs as nobody."""
    user = ()
    if os.geteuid() == 0:
        user = ("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups")
        os.chmod(work, 0o755)
    root = os.path.join(work, "partly")
    os.makedirs(os.path.join(root, "open"))
    os.makedirs(os.path.join(root, "locked"))
    for name, size in (("open/seen.bin", 3000), ("locked/hidden.bin", 5000)):
        with open(os.path.join(root, name), "wb") as f:
            f.truncate(size)
    locked = os.path.join(root, "locked")
    os.chmod(locked, 0)
    try:
        text = run("--list", root, user=user)
        check(text.returncode == 0 and text.stdout.endswith(b"\t" + root.encode() + b"/open/seen.bin\n")
              and text.stdout.count(b"\n") == 1,
              "the readable part is listed, exit 0: %d %r" % (text.returncode, text.stdout))
        check(text.stderr == b"bulkon: 1 folder could not be read:\n  " + locked.encode() + b"\n",
              "the folder that could not be read is named: %r" % text.stderr)
        listed = run("--list", "--json", root, user=user)
        check(json.loads(listed.stdout)["unreadable_folders"] == 1, "the JSON counts it")
        refused = run("--list", locked, user=user)
        check(refused.returncode == 1 and refused.stdout == b"" and b"cannot read" in refused.stderr,
              "a root that cannot be read: exit 1, no list: %d %r" % (refused.returncode,
                                                                       refused.stderr))
    finally:
        os.chmod(locked, 0o755)


def process_waits_on_error_stream(pid):
    """True when the process sleeps in a system call on descriptor 2: the progress line's
    write, held up by the stopped terminal. The walk's own calls work on other descriptors.
    Where the system call cannot be seen, sleeping is taken as the sign: a walk over a tree
    in the page cache does not sleep otherwise."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            state = f.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    try:
        with open("/proc/%d/syscall" % pid) as f:
            fields = f.read().split()
    except OSError:
        return state == "S"
    return state == "S" and len(fields) > 1 and fields[1] == "0x2"


def check_interrupt_keeps_the_partial_list(work):
    """Ctrl+C stops the walk, prints what was found so far and exits 130.

    The error stream is a terminal, so the list draws its progress line there. The terminal
    is stopped first (Ctrl+S), so the first progress line holds the program inside its walk
    until the terminal is started again (Ctrl+Q): the interrupt arrives during the walk
    whatever the machine's speed."""
    root = os.path.join(work, "interrupted")
    sizes = make_tree(root, 3000)
    master, terminal = os.openpty()
    attributes = termios.tcgetattr(terminal)
    attributes[0] |= termios.IXON
    termios.tcsetattr(terminal, termios.TCSANOW, attributes)
    os.write(master, b"\x13")  # Ctrl+S
    program = subprocess.Popen([BULKON, "--list", root], stdout=subprocess.PIPE,
                               stderr=terminal, env=no_display_environment())
    os.close(terminal)
    while program.poll() is None and not process_waits_on_error_stream(program.pid):
        time.sleep(0.01)
    check(program.poll() is None, "the walk waits on its first progress line")
    program.send_signal(signal.SIGINT)
    os.write(master, b"\x11")  # Ctrl+Q
    shown = b""
    while True:
        ready, _, _ = select.select([master], [], [], 600)
        if not ready:
            break
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the program has ended and closed its side
            break
        if not chunk:
            break
        shown += chunk
    output = program.stdout.read()
    status = program.wait()
    os.close(master)

    check(status == 130, "Ctrl+C gives exit status 130, got %d" % status)
    check(b"\r" in shown and b" files  " + root.encode() in shown and b"stopped" in shown,
          "progress and the stop are on the terminal: %r" % shown[-300:])
    counted = int(shown.split(b"the largest of the ")[1].split()[0]) if b"largest of" in shown else 0
    rows = [line.split(b"\t") for line in output.split(b"\n")[:-1]]
    check(0 < counted < len(sizes), "the walk stopped midway (%d of %d files)" % (counted, len(sizes)))
    check(len(rows) == min(counted, 100), "every file found is listed, up to 100: %d" % len(rows))
    check(all(sizes.get(row[2]) == int(row[0]) for row in rows)
          and [int(row[0]) for row in rows] == sorted((int(row[0]) for row in rows), reverse=True),
          "the partial list holds files of the tree, largest first")


def check_window_without_display_says_how_to_run_it(work):
    """The window without a display: the installed program's name and xvfb-run, in the
    user's language, and no build folder."""
    # A DISPLAY naming a server that is not there reads the same, instead of Qt's abort.
    gone = ":%d" % (4000 + os.getpid() % 1000)
    for language, says, display in (("en_US.UTF-8", b"no display found", None),
                                    ("de_DE.UTF-8", b"kein Bildschirm gefunden", None),
                                    ("en_US.UTF-8", b"no display found", gone)):
        env = no_display_environment()
        env["LC_ALL"] = language
        if display is not None:
            env["DISPLAY"] = display
        result = subprocess.run([BULKON, work], capture_output=True, env=env, timeout=60)
        check(result.returncode == 1 and says in result.stderr
              and b"xvfb-run -a bulkon" in result.stderr and b"bulkon --list" in result.stderr
              and b"build/" not in result.stderr and b"./dev" not in result.stderr
              and b"reinstalling" not in result.stderr.lower(),
              "%s, DISPLAY %s: the window without a display names bulkon, xvfb-run and "
              "bulkon --list, got %d %r" % (language, display, result.returncode, result.stderr))


def main():
    with tempfile.TemporaryDirectory(prefix="bulkon-cli-") as work:
        check_window_without_display_says_how_to_run_it(work)
        check_arguments_and_exit_statuses(work)
        check_list_against_the_tree(work)
        check_unreadable_folders_are_named(work)
        check_interrupt_keeps_the_partial_list(work)
    if failures:
        print("%d check(s) failed" % len(failures), file=sys.stderr)
        return 1
    print("all checks passed")
    return 0


sys.exit(main())
