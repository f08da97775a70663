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

BULKON, MAKE_TREE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def no_display_environment(language="C.UTF-8", **more):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_MESSAGES", "LANG"):
        env.pop(name, None)
    env["LC_ALL"] = language
    env.update(more)
    return env


def run(*arguments, user=(), cwd=None, stdout=subprocess.PIPE, env=None):
    return subprocess.run([*user, BULKON, *arguments], stdout=stdout, stderr=subprocess.PIPE,
                          env=env or no_display_environment(), timeout=600, cwd=cwd)


def as_nobody():
    """The prefix that runs the program as nobody when the test runs as root, whom permission
    bits do not stop."""
    return ("setpriv", "--reuid=65534", "--regid=65534", "--clear-groups") if os.geteuid() == 0 else ()


def escaped(path):
    """A path as the text list writes it."""
    out = b""
    for character in path.decode("utf-8", "surrogateescape"):
        code = ord(character)
        if character == "\\":
            out += b"\\\\"
        elif character == "\n":
            out += b"\\n"
        elif character == "\t":
            out += b"\\t"
        elif 0xDC80 <= code <= 0xDCFF:
            out += b"\\x%02x" % (code - 0xDC00)
        elif code < 0x20 or code == 0x7F:
            out += b"\\x%02x" % code
        elif 0x80 <= code < 0xA0:
            out += b"".join(b"\\x%02x" % byte for byte in character.encode())
        else:
            out += character.encode()
    return out


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
    check(usage.returncode == 0 and b"bulkon --list [--json | --null] FOLDER" in usage.stdout
          and b"\\xHH" in usage.stdout and usage.stderr == b"", "--help prints the usage and exits 0")
    german = run("--help", env=no_display_environment("de_DE.UTF-8"))
    check(german.returncode == 0 and b"bulkon --list [--json | --null] ORDNER" in german.stdout,
          "--help is German for a German user: %r" % german.stdout[:80])
    version = run("--version")
    check(version.returncode == 0 and version.stdout.startswith(b"bulkon ")
          and version.stderr == b"", "--version prints the version and exits 0")
    # Output that cannot be written is said, not passed over: a full disk, a closed output.
    with open("/dev/full", "wb") as full:
        for option in ("--help", "--version"):
            result = run(option, stdout=full)
            check(result.returncode == 1 and b"cannot write" in result.stderr,
                  "%s to a full disk: exit 1 with a message, got %d %r"
                  % (option, result.returncode, result.stderr))
        result = run("--list", os.path.dirname(BULKON), stdout=full)
        check(result.returncode == 1 and b"cannot write the list" in result.stderr,
              "--list to a full disk: exit 1 with a message: %r" % result.stderr)
    closed = subprocess.run([BULKON, "--help"], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            env=no_display_environment(), timeout=60,
                            preexec_fn=lambda: os.close(1))
    check(closed.returncode == 1 and b"cannot write" in closed.stderr,
          "--help to a closed output: exit 1 with a message: %r" % closed.stderr)
    # A reader that goes away ends the program at once, by SIGPIPE or with a message.
    reader = subprocess.Popen([BULKON, "--list", os.path.dirname(BULKON)], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=no_display_environment())
    reader.stdout.close()
    status = reader.wait(timeout=120)
    said = reader.stderr.read()
    check(status == -signal.SIGPIPE or (status == 1 and b"Broken pipe" in said),
          "a reader that goes away: SIGPIPE or a message, got %d %r" % (status, said))

    missing = os.path.join(work, "missing")
    wrong = {
        ("--bogus",): b"unknown option '--bogus'",
        (missing,): b"no such folder",
        ("--list", missing): b"no such folder",
        ("--list",): b"--list needs a folder",
        ("--json", work): b"--json goes with --list",
        ("--list", "--null", "--json", work): b"--json and --null do not go together",
        ("--list", ""): b"the folder's name is empty",
        ("--list", "-"): b"no such folder: '-'",
        ("--list", "--"): b"--list needs a folder",
        ("--list", os.path.join(BULKON, "x")): b"no such folder",
        ("--list", BULKON): b"not a folder",
        ("--list", "/proc"): b"/proc is not scanned",
        ("--list", "--json", "/sys/kernel"): b"/sys/kernel is not scanned",
        ("--list", "/dev"): b"/dev is not scanned",
    }
    for arguments, says in wrong.items():
        result = run(*arguments)
        check(result.returncode == 2 and says in result.stderr and result.stdout == b""
              and b"--help" in result.stderr,
              "%s: exit 2 with %r on the error stream, got %d %r"
              % (arguments, says, result.returncode, result.stderr))
    german = run("--bogus", env=no_display_environment("de_DE.UTF-8"))
    check(german.returncode == 2 and b"unbekannte Option '--bogus'" in german.stderr
          and b"bulkon --help" in german.stderr, "messages are German for a German user: %r"
          % german.stderr)


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
    check(rows[0] == [b"%d" % (200 * 2**30), b"2021-05-04 00:00:00", escaped(odd)],
          "a name that is not UTF-8 is escaped, midnight with its time: %r" % rows[0])
    records = run("--list", "-0", root)
    check(records.returncode == 0 and records.stdout.endswith(b"\0"), "--null exits 0")
    rows = [record.split(b"\t", 2) for record in records.stdout.split(b"\0")[:-1]]
    for size, date, path in rows:
        if sizes.get(path) != int(size) or date.decode() != local_time_text(path):
            check(False, "record %r %r %r matches the file on disk" % (size, date, path))
            break
    check([row[0] for row in rows] == [line.split(b"\t")[0] for line in lines[:-1]]
          and [escaped(row[2]) for row in rows] == [line.split(b"\t")[2] for line in lines[:-1]],
          "--null lists what the text lists, with the paths as their bytes")

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
          == [row[1].decode() for row in rows] and all(f["modified_unix"] == int(os.lstat(path).st_mtime)
                                                       for f, path in zip(files, paths)),
          "the JSON lists what the text lists, with the raw seconds")
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


def check_names_cannot_forge_lines(work):
    """A name with line ends, tabs and terminal commands stays one escaped line; --null gives
    the bytes to xargs -0. (The dates at the edges are the cli suite's: disks cut them.)"""
    root = os.path.join(work, "hostile")
    forged = os.path.join(root.encode(), b"x", b"spoof\n77777777777\t2020-01-01 00:00:00\t",
                          b"etc", b"passwd")
    titled = os.path.join(root.encode(), b"x", b"\x1b]0;owned\x07 \xc2\x9b31m \\n.txt")
    broken = os.path.join(root.encode(), b"x", b"two\nlines\n")
    os.makedirs(os.path.dirname(forged))
    for path, size in ((forged, 3000), (titled, 2000), (broken, 1000)):
        with open(path, "wb") as f:
            f.truncate(size)
    text = run("--list", root)
    lines = text.stdout.split(b"\n")[:-1]
    check(text.returncode == 0 and len(lines) == 3 and b"\t/etc/passwd" not in text.stdout
          and [line.split(b"\t")[2] for line in lines] == [escaped(p) for p in (forged, titled, broken)]
          and all(byte >= 0x20 or byte == 9 for byte in text.stdout.replace(b"\n", b""))
          and sorted(lines, reverse=True)[0].endswith(escaped(forged)),
          "each file is one line, escaped, without control bytes: %r" % text.stdout)
    # What a shell user would write: the paths of the list, to a command, as they are.
    shell = subprocess.run("%s --list --null %s | cut -z -f3- | xargs -0 stat -c %%s" % (BULKON, root),
                           shell=True, capture_output=True, env=no_display_environment(), timeout=60)
    check(shell.stdout == b"3000\n2000\n1000\n" and shell.stderr == b"",
          "--null feeds xargs -0 the exact names: %r %r" % (shell.stdout, shell.stderr))


def check_deep_root_starts_at_once(work):
    """A root of 10,000 levels given as "." from inside it: the volume and the root's checks
    cost a few calls, so it lists at once. (How fast is measured in bench/README.md.)"""
    root = os.path.join(work, "deep")
    os.mkdir(root)
    here = os.open(".", os.O_RDONLY)
    try:
        os.chdir(root)
        for _ in range(10000):
            os.mkdir("d")
            os.chdir("d")
        with open("f.bin", "wb") as f:
            f.truncate(4242)
        text = run("--list", ".", cwd=".")
        listing = run("--list", "--json", ".", cwd=".")
        # Removed from the bottom up: a recursive removal would go 10,000 calls deep.
        os.remove("f.bin")
        for _ in range(10000):
            os.chdir("..")
            os.rmdir("d")
    finally:
        os.fchdir(here)
        os.close(here)
    expected = os.path.join(root, *["d"] * 10000, "f.bin").encode()
    check(text.returncode == 0 and text.stdout.split(b"\t")[0] == b"4242"
          and text.stdout.split(b"\t")[2] == expected + b"\n",
          "the deep root is listed with its full path: %d %r" % (text.returncode, text.stdout[-80:]))
    document = json.loads(listing.stdout or b"{}")
    check(document.get("volume", "").startswith("/") and document.get("completed") is True,
          "the deep root's volume is found: %r" % document.get("volume"))


def check_unreadable_roots_are_no_result(work):
    """A root that can be listed but not entered, one behind a folder the user may not search,
    and a working folder deleted meanwhile: each ends with a message, never an empty list."""
    user = as_nobody()
    os.chmod(work, 0o755)
    listed = os.path.join(work, "listed-only")
    behind = os.path.join(work, "locked-above", "inner")
    gone = os.path.join(work, "gone")
    for folder in (listed, behind, gone):
        os.makedirs(folder)
        with open(os.path.join(folder, "f.bin"), "wb") as f:
            f.truncate(100)
    os.chmod(listed, 0o744 if user else 0o644)
    os.chmod(os.path.dirname(behind), 0o700 if user else 0o600)
    try:
        for root in (listed, behind):
            for form in ((), ("--json",), ("-0",)):
                result = run("--list", *form, root, user=user)
                check(result.returncode == 1 and result.stdout == b""
                      and result.stderr == b"bulkon: The folder %s could not be read.\n" % root.encode(),
                      "%s %s: exit 1, could not be read, no list: %d %r %r"
                      % (root, form, result.returncode, result.stdout[:100], result.stderr))
        loop = os.path.join(work, "loop")
        os.symlink("loop", loop)
        result = run("--list", loop)
        check(result.returncode == 1 and result.stdout == b"" and b"could not be read" in result.stderr,
              "a link loop as the root: exit 1, could not be read: %d %r"
              % (result.returncode, result.stderr))
        german = run("--list", listed, user=user, env=no_display_environment("de_DE.UTF-8"))
        check(b"konnte nicht gelesen werden" in german.stderr, "in German: %r" % german.stderr)
    finally:
        os.chmod(listed, 0o755)
        os.chmod(os.path.dirname(behind), 0o755)
    os.remove(os.path.join(gone, "f.bin"))
    program = subprocess.Popen(["sh", "-c", 'cd "$1" && rmdir "$1" && exec "$2" --list .', "sh",
                                gone, BULKON], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               env=no_display_environment())
    output, said = program.communicate(timeout=60)
    check(program.returncode == 2 and output == b"" and b"was deleted" in said,
          "a deleted working folder: exit 2 with a message: %d %r" % (program.returncode, said))


def check_unreadable_folders_are_named(work):
    """A folder that cannot be read is named at the end; a root that cannot be read is an
    error, not an empty list. Root reads every folder, so then the program runs as nobody."""
    user = as_nobody()
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
        check(refused.returncode == 1 and refused.stdout == b"" and b"could not be read" in refused.stderr,
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


def check_the_program_loads_no_toolkit(work):
    """The program needs no Qt library: the list starts without loading one. Copied away from
    the window program, it still lists, and a window asked for says what is missing."""
    dynamic = subprocess.run(["readelf", "-d", BULKON], capture_output=True, timeout=60).stdout
    needed = [line for line in dynamic.split(b"\n") if b"(NEEDED)" in line]
    check(needed and not any(b"libQt" in line for line in needed),
          "the program needs no Qt library: %r" % needed)
    alone = os.path.join(work, "alone")
    os.mkdir(alone)
    copy = os.path.join(alone, "bulkon")
    subprocess.run(["cp", BULKON, copy], check=True)
    listed = subprocess.run([copy, "--list", alone], capture_output=True,
                            env=no_display_environment(), timeout=120)
    check(listed.returncode == 0 and listed.stdout.endswith(b"\t" + copy.encode() + b"\n"),
          "the program alone lists: %d %r" % (listed.returncode, listed.stderr))
    expected = os.path.join(alone, "../libexec/bulkon/bulkon-window").encode()
    for language, says in (("en_US.UTF-8", b"could not be started"),
                           ("de_DE.UTF-8", b"nicht starten")):
        window = subprocess.run([copy, work], capture_output=True, timeout=60,
                                env=no_display_environment(language, DISPLAY=":0"))
        check(window.returncode == 1 and says in window.stderr and expected in window.stderr
              and b"bulkon --list" in window.stderr,
              "%s: a window without the window program says so: %d %r"
              % (language, window.returncode, window.stderr))


def main():
    with tempfile.TemporaryDirectory(prefix="bulkon-cli-") as work:
        check_window_without_display_says_how_to_run_it(work)
        check_the_program_loads_no_toolkit(work)
        check_arguments_and_exit_statuses(work)
        check_list_against_the_tree(work)
        check_unreadable_folders_are_named(work)
        check_unreadable_roots_are_no_result(work)
        check_names_cannot_forge_lines(work)
        check_deep_root_starts_at_once(work)
        check_interrupt_keeps_the_partial_list(work)
    if failures:
        print("%d check(s) failed" % len(failures), file=sys.stderr)
        return 1
    print("all checks passed")
    return 0


sys.exit(main())
