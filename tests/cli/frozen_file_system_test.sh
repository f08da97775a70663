#!/usr/bin/env bash
# bulkon --list on a tree where a FUSE file system whose daemon is stopped (SIGSTOP) is
# mounted below the root, and reached again through a link to it, a link to the folder that
# holds it and a recursive bind mount of that folder. The scan must end within seconds with
# every other file listed and name each way in as a folder that did not answer; Ctrl+C while
# the scan waits must print the list and end it. Needs root, /dev/fuse and bindfs; skips
# (status 77) otherwise. The daemon is always resumed and everything unmounted, also on
# failure.
#
#   frozen_file_system_test.sh BULKON
set -u
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

start=$(date +%s)
timeout 30 "$BULKON" --list "$W/root" > "$W/out" 2> "$W/err"
status=$?
took=$(($(date +%s) - start))
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
exit $failed
