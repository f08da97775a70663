#!/usr/bin/env bash
# bulkon --list on a tree where a FUSE file system whose daemon is stopped (SIGSTOP) is
# mounted below the root, and reached again through a link to it, a link to the folder that
# holds it and a recursive bind mount of that folder. The scan must end within seconds with
# every other file listed and name each way in as a folder that did not answer; Ctrl+C while
# the scan waits must print the list and end it. With the frozen mount as the root itself,
# --list must end within seconds saying so, with status 1, and the window must stay
# responsive: closed while the root is asked, it ends at once (under xvfb-run with openbox
# and xdotool; that part is left out without them). Needs root, /dev/fuse and bindfs; skips
# (status 77) otherwise. The daemon is always resumed and everything unmounted, also on
# failure.
#
#   frozen_file_system_test.sh BULKON
set -u

# Inside xvfb-run: opens the window on ROOT, closes it as a user would (Alt+F4 through the
# window manager) while the scan still waits for the root, and tells whether it ended.
if [ "${1-}" = "--window" ]; then
    BULKON=$2 ROOT=$3
    openbox > /dev/null 2>&1 &
    wm=$!
    sleep 0.5
    # The window on this display, whatever platform the suites around choose for theirs.
    env -u QT_QPA_PLATFORM "$BULKON" "$ROOT" > /dev/null 2>&1 &
    app=$!
    window=$(timeout 15 xdotool search --sync --onlyvisible --pid "$app" 2> /dev/null | head -1)
    # The scan starts just after the first paint and waits 2 s for the root: close within it.
    sleep 0.8
    [ -n "$window" ] && xdotool windowactivate --sync "$window" key --clearmodifiers alt+F4
    for _ in $(seq 1 30); do kill -0 "$app" 2> /dev/null || break; sleep 0.05; done
    result="window $([ -n "$window" ] && echo shown || echo "never shown")"
    if kill -0 "$app" 2> /dev/null; then
        result="$result, still open 1.5 s after it was closed"
        kill -KILL "$app"
    else
        result="$result, closed"
    fi
    wait "$app" 2> /dev/null
    kill "$wm" 2> /dev/null
    echo "$result"
    exit 0
fi

BULKON=$1
skip() { echo "skipped: $1"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root to mount"
[ -c /dev/fuse ] || skip "no /dev/fuse"
command -v bindfs > /dev/null || skip "bindfs is not installed"

W=$(mktemp -d /tmp/bulkon-frozen.XXXXXX)
PID=""
cleanup() {
    [ -n "$PID" ] && kill -CONT "$PID" 2> /dev/null
    umount -R -l "$W/root/bind" 2> /dev/null
    fusermount3 -u "$W/root/b/mnt" 2> /dev/null || umount -l "$W/root/b/mnt" 2> /dev/null
    rm -rf "$W"
}
trap cleanup EXIT
mkdir -p "$W/src/inside" "$W/root/a" "$W/root/b/mnt" "$W/root/c" "$W/root/bind"
for i in $(seq 1 40); do head -c $((i * 1000)) /dev/zero > "$W/root/a/f$i"; done
head -c 777 /dev/zero > "$W/root/b/beside"
head -c 5000 /dev/zero > "$W/src/inside/hidden"
ln -s ../b/mnt "$W/root/c/to-mount"
ln -s ../b "$W/root/c/to-parent"
bindfs "$W/src" "$W/root/b/mnt" 2> /dev/null || skip "FUSE cannot be mounted here"
PID=$(pgrep -n -f "bindfs $W/src")
[ -n "$PID" ] || skip "the FUSE daemon was not found"
mount --rbind "$W/root/b" "$W/root/bind" || skip "no bind mounts here"
ls "$W/root/b/mnt" > /dev/null
kill -STOP "$PID"

failed=0
check() { if ! eval "$1"; then echo "FAILED: $2"; failed=1; fi; }
# bulkon --list ROOT into $W/out and $W/err, cut off after 30 s: sets status and took (s).
list_timed() {
    local start
    start=$(date +%s)
    timeout 30 "$BULKON" --list "$1" > "$W/out" 2> "$W/err"
    status=$?
    took=$(($(date +%s) - start))
}

list_timed "$W/root"
check '[ $status -eq 0 ]' "the scan ends normally (status $status)"
check '[ $took -le 10 ]' "the scan ends within seconds ($took s)"
check '[ "$(wc -l < "$W/out")" -eq 41 ]' "every other file is listed: $(wc -l < "$W/out") lines"
check 'grep -q "folders did not answer" "$W/err"' "the error stream names what did not answer: $(cat "$W/err")"
check 'grep -q "/b/mnt$" "$W/err"' "the mount point did not answer"
check 'grep -q "/c/to-mount$" "$W/err"' "the link to it did not answer"

# Ctrl+C while the scan waits for the frozen daemon, as a terminal sends it.
set -m
"$BULKON" --list "$W/root" > "$W/out" 2> "$W/err" &
scan=$!
set +m
sleep 0.3
kill -INT "$scan"
for _ in $(seq 1 40); do kill -0 "$scan" 2> /dev/null || break; sleep 0.05; done
if kill -0 "$scan" 2> /dev/null; then
    echo "FAILED: Ctrl+C did not end the scan within 2 s"
    failed=1
    kill -KILL "$scan"
fi
wait "$scan"
status=$?
check '[ $status -eq 130 ]' "Ctrl+C gives status 130, got $status"

# The frozen mount as the root: nothing is listed, and the root is named as not answering.
list_timed "$W/root/b/mnt"
check '[ $status -eq 1 ]' "a root that does not answer gives status 1, got $status"
check '[ $took -le 10 ]' "a root that does not answer ends the scan within seconds ($took s)"
check '[ ! -s "$W/out" ]' "nothing is listed: $(cat "$W/out")"
check 'grep -q "^bulkon: The folder .*/b/mnt did not answer\.$" "$W/err"' \
    "the error stream says the root did not answer: $(cat "$W/err")"
LANGUAGE=de LANG=de_DE.UTF-8 timeout 30 "$BULKON" --list "$W/root/b/mnt" > /dev/null 2> "$W/err"
check 'grep -q "^bulkon: Der Ordner .*/b/mnt hat nicht geantwortet\.$" "$W/err"' \
    "in German too: $(cat "$W/err")"

# Ctrl+C while the scan waits for that root: a stop, said as such, not the end of the process
# by the signal in some other thread. The scan waits once four threads run: the one still
# stuck in the argument check, the program's own, the signal's and the scan's question.
set -m
"$BULKON" --list "$W/root/b/mnt" > "$W/out" 2> "$W/err" &
scan=$!
set +m
for _ in $(seq 1 200); do
    [ "$(ls "/proc/$scan/task" 2> /dev/null | wc -l)" -ge 4 ] && break
    sleep 0.05
done
kill -INT "$scan"
wait "$scan"
status=$?
check '[ $status -eq 130 ]' "Ctrl+C while the root is asked gives status 130, got $status"
check 'grep -q "^bulkon: stopped; " "$W/err"' "Ctrl+C while the root is asked stops the scan: $(cat "$W/err")"

if command -v xvfb-run > /dev/null && command -v xdotool > /dev/null &&
    command -v openbox > /dev/null; then
    # The window writes its start page to the temporary folder: keep it in ours.
    mkdir -p "$W/tmp"
    shown=$(TMPDIR=$W/tmp timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
        bash "$0" --window "$BULKON" "$W/root/b/mnt" 2> /dev/null)
    check '[ "$shown" = "window shown, closed" ]' "the window on a frozen root closes when asked: $shown"
else
    echo "the window on a frozen root: left out (needs xvfb-run, xdotool and openbox)"
fi
exit $failed
