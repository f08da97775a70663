#!/usr/bin/env python3
"""Times whole processes against each other, taken in turn so that all meet the same load.

compare_processes.py [--runs K] [--warmup W] COMMAND BASELINE [COMMAND ...]

Each COMMAND is one shell word list in quotes, run with its output to /dev/null. Prints,
per command, the best and the median wall time, the best processor time (user + system of
the child) and the best wall time's ratio to BASELINE's.
"""
import argparse
import os
import shlex
import statistics
import subprocess
import time


def time_once(argv):
    start = time.perf_counter()
    before = os.times()
    subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    after = os.times()
    wall = time.perf_counter() - start
    cpu = (after.children_user - before.children_user) + (after.children_system - before.children_system)
    return wall * 1000.0, cpu * 1000.0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--warmup", type=int, default=1)
    parser.add_argument("commands", nargs="+")
    options = parser.parse_args()
    commands = [shlex.split(c) for c in options.commands]
    for _ in range(options.warmup):
        for argv in commands:
            time_once(argv)
    walls = [[] for _ in commands]
    cpus = [[] for _ in commands]
    for _ in range(options.runs):
        for index, argv in enumerate(commands):
            wall, cpu = time_once(argv)
            walls[index].append(wall)
            cpus[index].append(cpu)
    baseline = min(walls[1]) if len(commands) > 1 else min(walls[0])
    for index, text in enumerate(options.commands):
        print(f"{text}\tbest_ms {min(walls[index]):.1f}\tmedian_ms {statistics.median(walls[index]):.1f}"
              f"\tbest_cpu_ms {min(cpus[index]):.1f}\tratio {min(walls[index]) / baseline:.3f}")


if __name__ == "__main__":
    main()
