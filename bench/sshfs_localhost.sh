#!/bin/bash
# Times the walk over an sshfs mount of this machine with sshfs's caches off, so that every
# listing and every look at an entry is a round trip to the ssh server, as on a network share.
# Runs as root. Starts sshd on 127.0.0.1 only if none runs (and stops it again), adds a key of
# its own to root's authorized_keys for the run (and removes that line again), and always
# unmounts, also when a step fails or the run is interrupted.
#
#   bench/sshfs_localhost.sh [BUILD] [FILES] [INVOCATIONS]
#   bench/sshfs_localhost.sh --elsewhere N TREE [BUILD] [INVOCATIONS]
#
# BUILD defaults to build, FILES to 20000, INVOCATIONS to 3. Needs openssh-server and sshfs.
# With --elsewhere, N sshfs mounts of a small folder are made under /tmp/mnt16 (outside
# TREE), and scan_bench over TREE (workers, --threads 1, --window) is timed without and with
# them, in turn.
set -u
elsewhere=0
if [ "${1:-}" = --elsewhere ]; then
    elsewhere=$2
    tree=$3
    shift 3
    set -- "${1:-build}" 0 "${2:-3}"
fi
build=${1:-build}
files=${2:-20000}
invocations=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
src=/tmp/ssh-src
mnt=/tmp/ssh-mnt
work=$(mktemp -d /tmp/sshfs-bench.XXXXXX)
marker="bulkon-sshfs-bench-$$"
authorized=/root/.ssh/authorized_keys
sshd_pid=""
made_src=""
made_authorized=""
made_ssh_dir=""
mounted=""
elsewhere_root=/tmp/mnt16
elsewhere_mounted=()

clean_up() {
    if [ -n "$mounted" ]; then fusermount3 -u "$mnt" || fusermount3 -uz "$mnt"; fi
    rmdir "$mnt" 2>/dev/null
    for point in "${elsewhere_mounted[@]}"; do fusermount3 -u "$point" || fusermount3 -uz "$point"; done
    [ "$elsewhere" -gt 0 ] && rm -rf "$elsewhere_root/src" && rmdir "$elsewhere_root"/m* "$elsewhere_root" 2>/dev/null
    if [ -f "$authorized" ]; then
        grep -v -F "$marker" "$authorized" >"$work/authorized" || true
        cat "$work/authorized" >"$authorized"
        [ -n "$made_authorized" ] && [ ! -s "$authorized" ] && rm -f "$authorized"
    fi
    [ -n "$made_ssh_dir" ] && rmdir /root/.ssh 2>/dev/null
    if [ -n "$sshd_pid" ]; then kill "$sshd_pid" 2>/dev/null; wait "$sshd_pid" 2>/dev/null; fi
    if [ -n "$made_src" ]; then rm -rf "$src"; fi
    rm -rf "$work"
}
trap clean_up EXIT
trap 'exit 130' INT TERM

fail() { echo "sshfs_localhost: $*" >&2; exit 1; }
command -v sshfs >/dev/null || fail "sshfs is missing (apt-get install sshfs)"
[ -x /usr/sbin/sshd ] || fail "sshd is missing (apt-get install openssh-server)"
[ "$(id -u)" = 0 ] || fail "runs as root (the key is root's)"

if ! pgrep -x sshd >/dev/null; then
    mkdir -p /run/sshd
    ssh-keygen -q -t ed25519 -N '' -f "$work/host_key" || fail "no host key"
    /usr/sbin/sshd -D -e -h "$work/host_key" -o ListenAddress=127.0.0.1 -o Port=22 \
        -o PidFile=none 2>"$work/sshd.log" &
    sshd_pid=$!
    sleep 0.5
    kill -0 "$sshd_pid" 2>/dev/null || fail "sshd did not start: $(cat "$work/sshd.log")"
fi

ssh-keygen -q -t ed25519 -N '' -C "$marker" -f "$work/key" || fail "no key"
[ -d /root/.ssh ] || { mkdir -m 700 /root/.ssh && made_ssh_dir=1; }
[ -e "$authorized" ] || made_authorized=1
cat "$work/key.pub" >>"$authorized"
chmod 600 "$authorized"

mount_sshfs() { # what, where
    sshfs -o IdentityFile="$work/key",StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null \
        -o dir_cache=no,attr_timeout=0,entry_timeout=0 root@127.0.0.1:"$1" "$2"
}

if [ "$elsewhere" -gt 0 ]; then
    [ -d "$tree" ] || fail "no tree $tree"
    mkdir -p "$elsewhere_root/src"
    echo small >"$elsewhere_root/src/file"
    time_tree() { # label
        for option in "" "--threads 1" "--window"; do
            echo "== $1 scan_bench $option, $(uptime | sed 's/.*load/load/')"
            QT_QPA_PLATFORM=offscreen "$build/bench/scan_bench" --runs 5 $option "$tree" 2>/dev/null |
                grep -E '^(engine_ms|plain_ms|ratio|max_gap_ms) '
        done
    }
    for i in $(seq "$invocations"); do
        time_tree "without mounts, invocation $i,"
        for k in $(seq 0 $((elsewhere - 1))); do
            mkdir -p "$elsewhere_root/m$k"
            mount_sshfs "$elsewhere_root/src" "$elsewhere_root/m$k" || fail "sshfs did not mount m$k"
            elsewhere_mounted+=("$elsewhere_root/m$k")
        done
        echo "$(grep -c ' fuse.sshfs ' /proc/mounts) sshfs mounts"
        time_tree "with $elsewhere mounts, invocation $i,"
        for point in "${elsewhere_mounted[@]}"; do fusermount3 -u "$point"; done
        elsewhere_mounted=()
    done
    exit 0
fi

if [ ! -d "$src" ]; then
    "$build/bench/make_tree" "$src" "$files" >/dev/null || fail "make_tree failed"
    made_src=1
fi
mkdir -p "$mnt"
mount_sshfs "$src" "$mnt" || fail "sshfs did not mount"
mounted=1
grep " $mnt " /proc/mounts

for i in $(seq "$invocations"); do
    echo "== bulkon --list against plain_walk, invocation $i, $(uptime | sed 's/.*load/load/')"
    python3 "$here/compare_processes.py" --runs 3 \
        "$build/app/bulkon --list $mnt" "$build/bench/plain_walk $mnt"
done
for threads in default 1 16; do
    for i in $(seq "$invocations"); do
        option=""; [ "$threads" = default ] || option="--threads $threads"
        echo "== scan_bench $option, invocation $i, $(uptime | sed 's/.*load/load/')"
        "$build/bench/scan_bench" --runs 3 $option "$mnt" 2>/dev/null |
            grep -E '^(threads|files|engine_ms|plain_ms|ratio) '
    done
done
